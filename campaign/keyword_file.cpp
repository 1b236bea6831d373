#include "campaign/keyword_file.h"

#include <algorithm>
#include <cstring>

const char kNoMemoryForFields[] = "out of memory";

char FieldSeparator(InputFormat format, char csvSeparator) {
    return format == InputFormat::kTsv ? kTab : csvSeparator;
}

bool AllFieldsEmpty(const LineFields& fields) {
    for (size_t i = 0; i < fields.kept.count; ++i) {
        if (!fields.kept.items[i].empty()) return false;
    }
    return fields.firstFilledPastKept == 0;
}

namespace {

constexpr size_t kFirstBufferSize = 64 * 1024;
constexpr size_t kLeastRead = 64;

enum class CsvState : unsigned char { kFieldStart, kUnquoted, kQuoted, kQuoteInQuoted };

// The first `byte` in `data` from `*from` to `end`, or `end`; `*from` is left at it.
size_t FindByte(const char* data, size_t end, char byte, size_t* from, size_t* bytesSearched) {
    const void* found = std::memchr(data + *from, byte, end - *from);
    const size_t at = found ? static_cast<size_t>(static_cast<const char*>(found) - data) : end;
    *bytesSearched += (found ? at + 1 : at) - *from;
    *from = at;
    return at;
}

// Where the line that starts at `lineStart` ends (the CR or LF that ends it), or `end` when the
// bytes so far hold no line end. A CR inside a quoted CSV field is data.
size_t FindLineEnd(const char* data, size_t lineStart, size_t end, char separator, LineEndSearch* search) {
    if (lineStart == end) return end;
    if (separator == kTab) {
        const size_t lineFeed = FindByte(data, end, '\n', &search->from, &search->bytesSearched);
        return FindByte(data, lineFeed, '\r', &search->carriageReturnFrom, &search->bytesSearched);
    }
    CsvState state = static_cast<CsvState>(search->csvState);
    size_t at = search->from;
    for (; at < end; ++at) {
        const char c = data[at];
        if (c == '\n' || (c == '\r' && state != CsvState::kQuoted)) break;
        switch (state) {
            case CsvState::kQuoted: state = c == '"' ? CsvState::kQuoteInQuoted : CsvState::kQuoted; break;
            case CsvState::kFieldStart:
            case CsvState::kQuoteInQuoted:  // a second quote is a doubled one, inside the field
                if (c == '"') {
                    state = CsvState::kQuoted;
                    break;
                }
                [[fallthrough]];
            case CsvState::kUnquoted: state = c == separator ? CsvState::kFieldStart : CsvState::kUnquoted; break;
        }
    }
    search->bytesSearched += (at < end ? at + 1 : at) - search->from;
    search->from = at;
    search->csvState = static_cast<unsigned char>(state);
    return at;
}

// The next line starts at `lineStart`: what was searched before it is behind.
void StartLineSearch(LineEndSearch* search, size_t lineStart) {
    search->from = std::max(search->from, lineStart);
    search->carriageReturnFrom = std::max(search->carriageReturnFrom, lineStart);
    search->csvState = static_cast<unsigned char>(CsvState::kFieldStart);
}

// Keeps the first fields, counts the rest. Null, or kNoMemoryForFields.
const char* AddField(LineFields* fields, std::string_view field) {
    ++fields->total;
    if (fields->kept.count < fields->keep) {
        if (!Push(&fields->kept, field)) return kNoMemoryForFields;
    } else if (!field.empty() && fields->firstFilledPastKept == 0) {
        fields->firstFilledPastKept = fields->total;
    }
    return nullptr;
}

const char* SplitTabSeparated(char* line, size_t size, LineFields* fields) {
    size_t start = 0;
    for (;;) {
        const void* tab = std::memchr(line + start, kTab, size - start);
        const size_t end = tab ? static_cast<size_t>(static_cast<const char*>(tab) - line) : size;
        if (const char* problem = AddField(fields, std::string_view(line + start, end - start))) return problem;
        if (!tab) return nullptr;
        start = end + 1;
    }
}

const char* SplitCommaSeparated(char* line, size_t size, char separator, LineFields* fields) {
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
            if (const char* problem = AddField(fields, std::string_view(line + start, write - start))) return problem;
            if (read == size) return nullptr;
            if (line[read] != separator) return "text after the closing quote of a field";
            start = read + 1;
            continue;
        }
        const void* next = std::memchr(line + start, separator, size - start);
        const size_t end = next ? static_cast<size_t>(static_cast<const char*>(next) - line) : size;
        if (const char* problem = AddField(fields, std::string_view(line + start, end - start))) return problem;
        if (!next) return nullptr;
        start = end + 1;
    }
}

}  // namespace

LineReader MakeLineReader(ReadFunction read, void* source, char separator) {
    LineReader reader;
    reader.read = read;
    reader.source = source;
    reader.separator = separator;
    return reader;
}

ReadLineResult ReadLine(LineReader* reader, char** line, size_t* size) {
    for (;;) {
        char* data = reader->buffer.MutableData();
        const size_t lineEnd = FindLineEnd(data, reader->lineStart, reader->filled, reader->separator, &reader->search);
        const bool found = lineEnd < reader->filled;
        const bool crLf = found && data[lineEnd] == '\r' && lineEnd + 1 < reader->filled && data[lineEnd + 1] == '\n';
        // A CR as the last byte so far may be the first half of a CR LF.
        const bool endKnown = found && (data[lineEnd] == '\n' || lineEnd + 1 < reader->filled || reader->atEnd);
        if (endKnown || (!found && reader->atEnd && reader->lineStart < reader->filled)) {
            *line = data + reader->lineStart;
            *size = lineEnd - reader->lineStart;
            reader->lineStart = lineEnd + (crLf ? 2 : found ? 1 : 0);
            StartLineSearch(&reader->search, reader->lineStart);
            ++reader->lineNumber;
            return ReadLineResult::kLine;
        }
        if (reader->atEnd) return ReadLineResult::kEnd;

        // The line goes on past the bytes read so far: keep its start, make room, read more.
        if (reader->lineStart > 0) {
            const size_t kept = reader->filled - reader->lineStart;
            std::memmove(data, data + reader->lineStart, kept);
            reader->search.from -= reader->lineStart;
            reader->search.carriageReturnFrom -= reader->lineStart;
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

const char* SplitFields(char* line, size_t size, char separator, LineFields* fields) {
    fields->kept.count = 0;
    fields->total = 0;
    fields->firstFilledPastKept = 0;
    return separator == kTab ? SplitTabSeparated(line, size, fields) : SplitCommaSeparated(line, size, separator, fields);
}

