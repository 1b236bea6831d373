#pragma once
// Input text in the engine's messages. A message goes to a terminal or a page, so the input
// it quotes never carries a control character, a byte-order mark or a byte that is not UTF-8
// there raw; and a quoted phrase is cut, since a keyword may be a million characters long.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/text.h"

inline constexpr uint32_t kNoControlCharacter = 0xFFFFFFFF;

// The first control character (U+0000-U+001F, U+007F-U+009F) or byte-order mark (U+FEFF) in
// the text, or kNoControlCharacter. Bytes that are not UTF-8 are left to the not-UTF-8 warning.
uint32_t FirstControlCharacter(std::string_view text);

// Appends "U+001B": a code point up to U+FFFF in four hexadecimal digits. False when memory
// cannot be had.
bool AppendCodePoint(Text* out, uint32_t codePoint);

// How many characters of a phrase or name a message quotes before "...".
inline constexpr size_t kQuotedCharacters = 100;

// Appends input text escaped: NUL as \0, the other C0 controls and DEL as \x1B, the C1
// controls and U+FEFF as \u0085, a byte that is not UTF-8 as \xFF; at most `left` characters
// of it (a UTF-8 sequence is one character, a byte that is not UTF-8 one, and a sequence is
// never cut), fewer by as many. Pieces of one phrase share `left`; `cut` says that something
// was left out. False when memory cannot be had.
struct EscapedText {
    Text* out;
    size_t left = static_cast<size_t>(-1);
    bool cut = false;
};
bool AppendEscaped(EscapedText* escaped, std::string_view text);
