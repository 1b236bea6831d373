#pragma once
// Google Ads' limits on one keyword (a phrase without its delimiters).

#include <cstddef>
#include <string_view>

inline constexpr size_t kMaxKeywordCharacters = 80;
inline constexpr size_t kMaxKeywordWords = 10;

// What Google Ads does not accept in a keyword ("Google Ads does not support these characters in
// keywords", Search Ads 360 help, CLEAN_KEYWORD).
inline constexpr std::string_view kRefusedKeywordCharacters = "!@%^*()={};~`<>?\\|";

struct KeywordSize {
    size_t characters;
    size_t words;
};

// Characters are UTF-8 characters where the bytes are valid UTF-8, otherwise one per byte;
// words are runs of bytes other than blanks and tabs. Both add up over text joined by blanks,
// so a phrase's size is the sum of its keywords' sizes and its joining blanks.
KeywordSize MeasureKeyword(std::string_view text);
