#include "cli/keyword_limits.h"

namespace {

// The length of the valid UTF-8 sequence at the start of `text` (RFC 3629: no overlong forms,
// no surrogates, nothing past U+10FFFF), or 0 when it does not start with one.
size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

KeywordSize MeasureKeyword(std::string_view text) {
    KeywordSize size{0, 0};
    bool inWord = false;
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const bool blank = c == ' ' || c == '\t';
        if (!blank && !inWord) ++size.words;
        inWord = !blank;
        const size_t sequence = c < 0x80 ? 1 : Utf8SequenceLength({text.data() + at, text.size() - at});
        at += sequence ? sequence : 1;
        ++size.characters;
    }
    return size;
}
