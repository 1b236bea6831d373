#include "cli/input_reader.h"

#include <cstring>

bool AllFieldsEmpty(const LineFields& fields) {
    for (size_t i = 0; i < fields.count; ++i) {
        if (!fields.fields[i].empty()) return false;
    }
    return true;
}

namespace {

constexpr size_t kFirstBufferSize = 64 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

LineReader MakeLineReader(ReadFunction read, void* source) {
    LineReader reader;
    reader.read = read;
    reader.source = source;
    return reader;
}

ReadLineResult ReadLine(LineReader* reader, char** line, size_t* size) {
    for (;;) {
        char* data = reader->buffer.MutableData();
        const size_t available = reader->filled - reader->lineStart;
        if (!reader->startChecked && (available >= kByteOrderMark.size() || reader->atEnd)) {
            reader->startChecked = true;
            if (available >= kByteOrderMark.size() &&
                std::memcmp(data + reader->lineStart, kByteOrderMark.data(), kByteOrderMark.size()) == 0) {
                reader->lineStart += kByteOrderMark.size();
                continue;
            }
        }
        if (reader->startChecked) {
            char* begin = data + reader->lineStart;
            const void* lineFeed = std::memchr(begin, '\n', available);
            if (lineFeed || (reader->atEnd && available > 0)) {
                const size_t length = lineFeed ? static_cast<size_t>(static_cast<const char*>(lineFeed) - begin)
                                               : available;
                reader->lineStart += lineFeed ? length + 1 : length;
                *line = begin;
                *size = lineFeed && length > 0 && begin[length - 1] == '\r' ? length - 1 : length;
                ++reader->lineNumber;
                return ReadLineResult::kLine;
            }
            if (reader->atEnd) return ReadLineResult::kEnd;
        }

        // The line goes on past the bytes read so far: keep its start, make room, read more.
        if (reader->lineStart > 0) {
            std::memmove(data, data + reader->lineStart, available);
            reader->filled = available;
            reader->lineStart = 0;
        }
        if (reader->filled == reader->buffer.Size()) {
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

