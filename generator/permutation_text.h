#pragma once
// The permutation builder: the keywords and output options in, the phrase lines out. Pure
// C++ with no platform dependency: the window, the command-line program, the tests, the
// fuzzer and the benchmark all build their text with it.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "generator/keyword_set.h"
#include "support/text.h"

// The marks put around every output line.
struct DelimiterPair {
    char open;
    char close;
};

inline constexpr DelimiterPair kQuoteDelimiters{'"', '"'};
inline constexpr DelimiterPair kBracketDelimiters{'[', ']'};

// One line: the keywords it is made of, as indexes into KeywordList::words, in line order.
struct KeywordOrdering {
    unsigned char count;
    unsigned char keywords[4];
};

struct OrderingList {
    const KeywordOrdering* entries;
    size_t count;
    const KeywordOrdering* begin() const { return entries; }
    const KeywordOrdering* end() const { return entries + count; }
};

// The lines for this many keywords, in text order: every full-length ordering, then, with
// includeSubsets and three or four keywords, the orderings of the smaller selections.
OrderingList PermutationOrderings(int keywordCount, bool includeSubsets);

// How the lines are laid out, for the window's text as for CSV rows: lineStart before each
// line's first keyword, lineFinish after its last one, lineEnd between the lines and, when
// endLastLine is set, after the last one too. The keywords of a line are joined by single
// blanks.
struct LineLayout {
    std::string_view lineStart;
    std::string_view lineFinish;
    std::string_view lineEnd;
    bool endLastLine;
};

// Lines wrapped in the delimiters, which must outlive the layout that looks at them.
inline LineLayout DelimitedLines(const DelimiterPair& delimiters, std::string_view lineEnd, bool endLastLine) {
    return {{&delimiters.open, 1}, {&delimiters.close, 1}, lineEnd, endLastLine};
}

// The clipboard's layout: lines joined by CR LF, none after the last.
inline constexpr std::string_view kClipboardLineEnd = "\r\n";

// What LaidOutTextLength gives when the text would not fit in memory's size type.
inline constexpr size_t kPermutationTextTooLong = static_cast<size_t>(-1);

// Which of a set's lines to lay out: bit i for line i of PermutationOrderings (at most 60).
using LineMask = uint64_t;
inline constexpr LineMask kAllLines = ~LineMask{0};

// The size of the text for this layout, kPermutationTextTooLong when it would not fit in
// memory's size type, and the writer, whose `out` holds that many bytes and which returns the
// end of what it wrote. Only the chosen lines are laid out, the last of them ended as the
// layout says. Meant to be called once per keyword set: nothing is allocated, and the lines
// are laid out from the tables ahead of time, so a set costs little more than copying its
// bytes.
size_t LaidOutTextLength(const KeywordList& keywords, bool includeSubsets, const LineLayout& layout,
                         LineMask lines = kAllLines);
char* WriteLaidOutText(const KeywordList& keywords, bool includeSubsets, const LineLayout& layout,
                       char* out, LineMask lines = kAllLines);

// The window's text: every ordering of the keywords, one delimited line each, lines joined by
// CR LF with none after the last; with includeSubsets (three or four keywords) the orderings
// of the smaller selections follow. Empty only when memory for the result cannot be had.
Text BuildPermutationText(const KeywordList& keywords, DelimiterPair delimiters,
                          bool includeSubsets);
