#pragma once
// The keyword file: one keyword set per line, split into fields as tab-separated values (what
// copying cells from a spreadsheet gives) or as CSV. Platform-free: the bytes come from a
// read function, so that the tests and the fuzzer can feed their own.

#include <cstddef>
#include <string_view>

#include "support/text.h"

// Fills `into` with up to `size` bytes: the count, 0 at the end, -1 on a read error.
using ReadFunction = long (*)(void* source, char* into, size_t size);

// Lines end in LF or CR LF; a last line without one counts. A UTF-8 byte-order mark at the
// start is skipped. A line is held whole, so the longest line bounds the memory used.
struct LineReader {
    ReadFunction read = nullptr;
    void* source = nullptr;
    Text buffer;
    size_t lineStart = 0;  // of the next line in `buffer`
    size_t filled = 0;     // bytes of `buffer` holding input
    size_t lineNumber = 0;
    bool atEnd = false;
    bool startChecked = false;
};

enum class ReadLineResult { kLine, kEnd, kReadFailed, kOutOfMemory };

LineReader MakeLineReader(ReadFunction read, void* source);
// The next line without its line end, in memory the reader owns and the caller may change,
// valid until the next call.
ReadLineResult ReadLine(LineReader* reader, char** line, size_t* size);

enum class InputFormat { kTsv, kCsv };

inline constexpr size_t kMaxFields = 5;  // four keywords and the ad group

struct LineFields {
    std::string_view fields[kMaxFields];  // missing trailing fields are empty
    size_t count = 0;
};

// Splits one line. CSV fields may be quoted; a doubled quote inside quotes is a quote, which
// is why the line is unquoted in place. Null when the line is valid, else why it is not.
const char* SplitFields(char* line, size_t size, InputFormat format, LineFields* fields);

bool AllFieldsEmpty(const LineFields& fields);
