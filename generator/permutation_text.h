#pragma once
// The permutation builder: the keywords and output options in, the clipboard text out.
// Pure C++, no platform dependency, so it is built and tested natively too.

#include <array>
#include <string>

// Keyword k (1 to 4) is words[k - 1]: exactly the bytes of its edit box, any byte
// (NUL included) being data. A keyword is empty only when its length is 0.
struct KeywordList {
    std::array<std::string, 4> words;
};

// The marks put around every output line.
struct DelimiterPair {
    char open;
    char close;
};

inline constexpr DelimiterPair kQuoteDelimiters{'"', '"'};
inline constexpr DelimiterPair kBracketDelimiters{'[', ']'};

// 2, 3 or 4: keyword 4 counts only when keyword 3 is present.
int CountKeywords(const KeywordList& keywords);

// Every ordering of the keywords, one delimited line each, lines joined by CR LF with none
// after the last; with includeSubsets (n >= 3) the orderings of the smaller selections follow.
// Returns an empty string only when memory for the result cannot be had.
std::string BuildPermutationText(const KeywordList& keywords, DelimiterPair delimiters,
                                 bool includeSubsets);
