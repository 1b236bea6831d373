#pragma once
// The keyword file: one keyword set per line, split into fields as tab-separated values (what
// copying cells from a spreadsheet gives) or as CSV. Platform-free: the bytes (UTF-8 by now,
// see text_encoding.h) come from a read function, so that the tests and the fuzzer can feed
// their own.

#include <cstddef>
#include <string_view>

#include "campaign/campaign.h"
#include "support/text.h"

// How far the next line has been searched for its end, kept across reads so that no byte is
// searched twice: a long line read in many pieces, or lone CRs after it, take linear time.
struct LineEndSearch {
    // TSV: no LF before `from` (where a search found one, it stands there) and no CR before
    // `carriageReturnFrom`. CSV: no line end before `from`, where the quotes stand as
    // `csvState` says.
    size_t from = 0;
    size_t carriageReturnFrom = 0;
    unsigned char csvState = 0;
    size_t bytesSearched = 0;  // in all, for the tests: about twice the bytes read at most
};

// Lines end in LF, CR LF or a lone CR (old Mac exports); a last line without one counts. In
// CSV a CR inside a quoted field does not end the line: the field holds it. A line is held
// whole, so the longest line bounds the memory used. Reads ask for at least 64 bytes.
struct LineReader {
    ReadFunction read = nullptr;
    void* source = nullptr;
    InputFormat format = InputFormat::kTsv;
    Text buffer;
    size_t lineStart = 0;  // of the next line in `buffer`
    size_t filled = 0;     // bytes of `buffer` holding input
    size_t lineNumber = 0;
    bool atEnd = false;
    LineEndSearch search;  // offsets in `buffer`
};

enum class ReadLineResult { kLine, kEnd, kReadFailed, kOutOfMemory };

LineReader MakeLineReader(ReadFunction read, void* source, InputFormat format);
// The next line without its line end, in memory the reader owns and the caller may change,
// valid until the next call.
ReadLineResult ReadLine(LineReader* reader, char** line, size_t* size);

inline constexpr size_t kMaxFields = 5;  // four keywords and the ad group

struct LineFields {
    std::string_view fields[kMaxFields];  // missing trailing fields are empty
    size_t count = 0;
};

// Splits one line. CSV fields may be quoted; a doubled quote inside quotes is a quote, which
// is why the line is unquoted in place. Null when the line is valid, else why it is not.
const char* SplitFields(char* line, size_t size, InputFormat format, LineFields* fields);

bool AllFieldsEmpty(const LineFields& fields);
