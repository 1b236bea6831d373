#pragma once
// Word lists: a keyword field such as "buy|order" holds alternatives, and every combination
// of one alternative per keyword is a keyword set of its own.

#include <cstddef>
#include <string_view>

#include "support/text.h"

// A typo must not fill a disk: a line with more combinations than this is refused.
inline constexpr size_t kMaxCombinations = 100000;

// Goes through the combinations in odometer order: the last keyword's alternatives vary
// fastest, keyword 1's slowest.
struct WordListOdometer {
    std::string_view fields[4];
    int keywordCount = 0;
    std::string_view current[4];  // the combination at hand
};

// Starts on the first combination of the first `keywordCount` fields (the ones that count).
// False, with why in `reason`, when a field has an empty alternative or the line more
// combinations than the limit.
bool StartWordLists(WordListOdometer* odometer, const std::string_view fields[4], int keywordCount, Text* reason);
// Moves to the next combination; false after the last one.
bool NextCombination(WordListOdometer* odometer);
