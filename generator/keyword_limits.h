#pragma once
// Google Ads' limits on one keyword (a phrase without its delimiters), and each phrase's
// verdict on them, for every front end that checks phrases.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "generator/permutation_text.h"

inline constexpr size_t kMaxKeywordCharacters = 80;
inline constexpr size_t kMaxKeywordWords = 10;

// Microsoft Advertising's one limit on a keyword, its characters ("The text can contain a maximum
// of 100 characters", the Keyword record of its bulk file); it names no characters it refuses.
inline constexpr size_t kMaxMicrosoftKeywordCharacters = 100;

// What Google Ads does not accept in a keyword ("Google Ads does not support these characters in
// keywords", Search Ads 360 help, CLEAN_KEYWORD).
inline constexpr std::string_view kRefusedKeywordCharacters = "!@%^*()={};~`<>?\\|";

// Characters are UTF-8 characters where the bytes are valid UTF-8, otherwise one per byte;
// words are runs of bytes other than blanks and tabs. Both add up over text joined by blanks,
// so a phrase's size is the sum of its keywords' sizes and its joining blanks. `refused` has
// bit c set for kRefusedKeywordCharacters[c] found in the text.
struct KeywordSize {
    size_t characters;
    size_t words;
    uint32_t refused;
};

KeywordSize MeasureKeyword(std::string_view text);

// The size of the phrase made of these keywords, joined by blanks, from their own sizes.
KeywordSize MeasurePhrase(const KeywordSize sizes[4], const KeywordOrdering& line);

struct PhraseVerdict {
    bool tooManyCharacters;
    bool tooManyWords;
    uint32_t refused;  // as in KeywordSize

    bool OverLimits() const { return tooManyCharacters || tooManyWords; }
    bool Accepted() const { return !OverLimits() && !refused; }
};

PhraseVerdict JudgePhrase(const KeywordSize& phrase);
// The same on Microsoft Advertising's limit: never too many words, no refused characters.
PhraseVerdict JudgeMicrosoftPhrase(const KeywordSize& phrase);
