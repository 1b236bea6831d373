#pragma once
// Word lists: a keyword field such as "buy|order" holds alternatives, and every combination
// of one alternative per keyword is a keyword set of its own.

#include <cstddef>
#include <string_view>

// A typo must not fill a disk: a line with more combinations than this is refused.
inline constexpr size_t kMaxCombinations = 100000;

// Goes through the combinations in odometer order: the last keyword's alternatives vary
// fastest, keyword 1's slowest.
struct WordListOdometer {
    std::string_view fields[4];
    int keywordCount = 0;
    std::string_view current[4];  // the combination at hand
};

enum class WordListRefusal { kNone, kEmptyAlternative, kTooManyCombinations };

// Starts on the first combination of the first `keywordCount` fields (the ones that count),
// or says why the line is refused: a field with an empty alternative (its number, from 1, in
// `refusedKeyword`), or more combinations than the limit.
WordListRefusal StartWordLists(WordListOdometer* odometer, const std::string_view fields[4], int keywordCount,
                               int* refusedKeyword);
// Moves to the next combination; false after the last one.
bool NextCombination(WordListOdometer* odometer);
