#include "campaign/keyword_file.h"

#include <cstring>

bool AllFieldsEmpty(const LineFields& fields) {
    for (size_t i = 0; i < fields.count; ++i) {
        if (!fields.fields[i].empty()) return false;
    }
    return true;
}

namespace {

constexpr size_t kFirstBufferSize = 64 * 1024;
constexpr size_t kLeastRead = 64;

// Where the line that starts at `begin` ends (the CR or LF that ends it), or null when the
// bytes so far hold no line end. A CR inside a quoted CSV field is data.
const char* FindLineEnd(const char* begin, const char* end, InputFormat format) {
    if (begin == end) return nullptr;
    if (format == InputFormat::kTsv) {
        const size_t size = static_cast<size_t>(end - begin);
        const char* lineFeed = static_cast<const char*>(std::memchr(begin, '\n', size));
        const void* carriageReturn = std::memchr(begin, '\r', lineFeed ? static_cast<size_t>(lineFeed - begin) : size);
        return carriageReturn ? static_cast<const char*>(carriageReturn) : lineFeed;
    }
    enum class State { kFieldStart, kUnquoted, kQuoted, kQuoteInQuoted } state = State::kFieldStart;
    for (const char* at = begin; at < end; ++at) {
        const char c = *at;
        if (c == '\n' || (c == '\r' && state != State::kQuoted)) return at;
        switch (state) {
            case State::kQuoted: state = c == '"' ? State::kQuoteInQuoted : State::kQuoted; break;
            case State::kFieldStart:
            case State::kQuoteInQuoted:  // a second quote is a doubled one, inside the field
                if (c == '"') {
                    state = State::kQuoted;
                    break;
                }
                [[fallthrough]];
            case State::kUnquoted: state = c == ',' ? State::kFieldStart : State::kUnquoted; break;
        }
    }
    return nullptr;
}

// Fields past the fifth are counted, not kept: a line of nothing but separators is an empty
// row of a spreadsheet however wide, and is skipped like any empty line.
struct FieldCollector {
    LineFields* fields;
    bool filledFieldPastFifth = false;
    size_t total = 0;

    void Add(std::string_view field) {
        if (total++ < kMaxFields) {
            fields->fields[fields->count++] = field;
        } else if (!field.empty()) {
            filledFieldPastFifth = true;
        }
    }
    const char* Finish() const {
        if (total > kMaxFields && (filledFieldPastFifth || !AllFieldsEmpty(*fields))) return "more than five fields";
        return nullptr;
    }
};

const char* SplitTabSeparated(char* line, size_t size, FieldCollector* fields) {
    size_t start = 0;
    for (;;) {
        const void* tab = std::memchr(line + start, '\t', size - start);
        const size_t end = tab ? static_cast<size_t>(static_cast<const char*>(tab) - line) : size;
        fields->Add(std::string_view(line + start, end - start));
        if (!tab) return fields->Finish();
        start = end + 1;
    }
}

const char* SplitCommaSeparated(char* line, size_t size, FieldCollector* fields) {
    size_t start = 0;
    for (;;) {
        if (start < size && line[start] == '"') {
            // Unquoted into the same bytes: the field never grows.
            size_t read = start + 1;
            size_t write = start;
            for (;;) {
                if (read == size) return "a quoted field does not end on its line";
                const char c = line[read];
                if (c == '"') {
                    if (read + 1 < size && line[read + 1] == '"') {
                        line[write++] = '"';
                        read += 2;
                        continue;
                    }
                    ++read;
                    break;
                }
                if (c == '\r' || c == '\n') return "a quoted field holds a line break";
                line[write++] = c;
                ++read;
            }
            fields->Add(std::string_view(line + start, write - start));
            if (read == size) return fields->Finish();
            if (line[read] != ',') return "text after the closing quote of a field";
            start = read + 1;
            continue;
        }
        const void* comma = std::memchr(line + start, ',', size - start);
        const size_t end = comma ? static_cast<size_t>(static_cast<const char*>(comma) - line) : size;
        fields->Add(std::string_view(line + start, end - start));
        if (!comma) return fields->Finish();
        start = end + 1;
    }
}

}  // namespace

LineReader MakeLineReader(ReadFunction read, void* source, InputFormat format) {
    LineReader reader;
    reader.read = read;
    reader.source = source;
    reader.format = format;
    return reader;
}

ReadLineResult ReadLine(LineReader* reader, char** line, size_t* size) {
    for (;;) {
        char* data = reader->buffer.MutableData();
        char* begin = data + reader->lineStart;
        char* end = data + reader->filled;
        const char* lineEnd = FindLineEnd(begin, end, reader->format);
        // A CR as the last byte so far may be the first half of a CR LF.
        const bool endKnown = lineEnd && (*lineEnd == '\n' || lineEnd + 1 < end || reader->atEnd);
        if (endKnown || (!lineEnd && reader->atEnd && begin < end)) {
            const size_t length = static_cast<size_t>((lineEnd ? lineEnd : end) - begin);
            size_t ending = 0;
            if (lineEnd) ending = *lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n' ? 2 : 1;
            reader->lineStart += length + ending;
            *line = begin;
            *size = length;
            ++reader->lineNumber;
            return ReadLineResult::kLine;
        }
        if (reader->atEnd) return ReadLineResult::kEnd;

        // The line goes on past the bytes read so far: keep its start, make room, read more.
        const size_t kept = static_cast<size_t>(end - begin);
        if (reader->lineStart > 0) {
            std::memmove(data, begin, kept);
            reader->filled = kept;
            reader->lineStart = 0;
        }
        if (reader->buffer.Size() - reader->filled < kLeastRead) {
            const size_t grown = reader->buffer.Size() ? reader->buffer.Size() * 2 : kFirstBufferSize;
            if (grown < reader->buffer.Size() || !reader->buffer.Resize(grown)) return ReadLineResult::kOutOfMemory;
            data = reader->buffer.MutableData();
        }
        const long got = reader->read(reader->source, data + reader->filled, reader->buffer.Size() - reader->filled);
        if (got < 0) return ReadLineResult::kReadFailed;
        if (got == 0) reader->atEnd = true;
        reader->filled += static_cast<size_t>(got);
    }
}

const char* SplitFields(char* line, size_t size, InputFormat format, LineFields* fields) {
    *fields = LineFields();
    FieldCollector collector{fields};
    return format == InputFormat::kTsv ? SplitTabSeparated(line, size, &collector)
                                       : SplitCommaSeparated(line, size, &collector);
}

