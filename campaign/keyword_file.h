#pragma once
// The keyword file: one keyword set per line, split into fields as tab-separated values (what
// copying cells from a spreadsheet gives) or as CSV. Platform-free: the bytes (UTF-8 by now,
// see text_encoding.h) come from a read function, so that the tests and the fuzzer can feed
// their own.

#include <cstddef>
#include <string_view>

#include "campaign/campaign.h"
#include "campaign/growing_array.h"
#include "support/text.h"

// What separates a line's fields: a tab (tsv: tabs only, no quoting), or a comma or a semicolon
// (csv: RFC 4180 quoting around that separator).
inline constexpr char kTab = '\t';
char FieldSeparator(InputFormat format, char csvSeparator);

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
    char separator = kTab;
    Text buffer;
    size_t lineStart = 0;  // of the next line in `buffer`
    size_t filled = 0;     // bytes of `buffer` holding input
    size_t lineNumber = 0;
    bool atEnd = false;
    LineEndSearch search;  // offsets in `buffer`
};

enum class ReadLineResult { kLine, kEnd, kReadFailed, kOutOfMemory };

LineReader MakeLineReader(ReadFunction read, void* source, char separator);
// The next line without its line end, in memory the reader owns and the caller may change,
// valid until the next call.
ReadLineResult ReadLine(LineReader* reader, char** line, size_t* size);

inline constexpr size_t kMaxFields = 5;  // four keywords and the ad group, without a heading row
inline constexpr size_t kEveryField = static_cast<size_t>(-1);

// A line's fields. Only the first `keep` are kept, so that a line of nothing but separators
// (an empty spreadsheet row however wide) costs no memory per field; the rest are counted.
struct LineFields {
    OwnedArray<std::string_view> kept;
    size_t keep = kMaxFields;
    size_t total = 0;                // every field of the line
    size_t firstFilledPastKept = 0;  // the number (from 1) of the first filled field not kept, 0 for none

    // Field `index` (from 0); empty when the line has no such field (or the index is kEveryField).
    std::string_view Field(size_t index) const { return index < kept.count ? kept.items[index] : std::string_view(); }
};

// SplitFields' answer when memory for the kept fields could not be had.
extern const char kNoMemoryForFields[];

// Splits one line. CSV fields may be quoted; a doubled quote inside quotes is a quote, which
// is why the line is unquoted in place. Null when the line is split, else why it is not: an
// invalid line, or kNoMemoryForFields.
const char* SplitFields(char* line, size_t size, char separator, LineFields* fields);

bool AllFieldsEmpty(const LineFields& fields);
