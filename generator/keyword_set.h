#pragma once
// A keyword set's own rules, for every front end: which keywords count, which required keyword
// is missing, and how many lines the set gives. Each front end words a missing keyword in its
// own terms.

#include <array>
#include <cstddef>
#include <string_view>

// Keyword k (1 to 4) is words[k - 1]: exactly the bytes that were entered, any byte (NUL
// included) being data. A keyword is empty only when its length is 0. The list only looks at
// the keywords; whoever fills it keeps them alive while it is used.
struct KeywordList {
    std::array<std::string_view, 4> words;
};

// 2, 3 or 4: keywords 1 and 2 always count, keyword 3 when it is there, and keyword 4 only
// after a keyword 3.
int CountKeywords(const KeywordList& keywords);

// The first required keyword that is empty: keyword 1, else keyword 2.
enum class MissingKeyword { kNone, kKeyword1, kKeyword2 };
MissingKeyword FindMissingKeyword(const KeywordList& keywords);

// How many lines the set gives (its orderings), the subsets' lines included when asked for.
size_t CountLines(const KeywordList& keywords, bool includeSubsets);
