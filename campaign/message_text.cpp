#include "campaign/message_text.h"

#include <cstring>

#include "campaign/eight_bytes.h"
#include "campaign/text_encoding.h"

namespace {

bool IsC1Control(unsigned char lead, unsigned char next) {
    return lead == 0xC2 && next >= 0x80 && next <= 0x9F;
}

bool IsByteOrderMark(std::string_view text) {
    return text.size() >= 3 && text[0] == '\xEF' && text[1] == '\xBB' && text[2] == '\xBF';
}

// Whether eight bytes are all printable ASCII (0x20 to 0x7E).
bool IsPrintableAscii(uint64_t chunk) {
    const uint64_t belowBlank = chunk - kEveryByte * 0x20;
    const uint64_t zeroWhereDelete = chunk ^ (kEveryByte * 0x7F);
    return ((chunk | (belowBlank & ~chunk) | ((zeroWhereDelete - kEveryByte) & ~zeroWhereDelete)) & kHighBits) == 0;
}

// Whether the text is all printable ASCII, and so holds no control character: eight bytes at a
// time, the last eight overlapping those before, a shorter text padded with blanks. Every cell of
// every line is checked, and most are such text.
bool IsPrintableAscii(std::string_view text) {
    const size_t size = text.size();
    if (size < 8) {
        uint64_t chunk = kEveryByte * ' ';
        if (size > 0) std::memcpy(&chunk, text.data(), size);
        return IsPrintableAscii(chunk);
    }
    for (size_t at = 0; size - at > 8; at += 8) {
        if (!IsPrintableAscii(EightBytesAt(text.data() + at))) return false;
    }
    return IsPrintableAscii(EightBytesAt(text.data() + size - 8));
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The code point's last four hexadecimal digits into `out`.
void PutHexDigits(uint32_t codePoint, char* out) {
    for (int digit = 0; digit < 4; ++digit) out[digit] = kHexDigits[codePoint >> (12 - 4 * digit) & 0xF];
}

}  // namespace

uint32_t FirstControlCharacter(std::string_view text) {
    if (IsPrintableAscii(text)) return kNoControlCharacter;
    for (size_t at = 0; at < text.size(); ++at) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c < 0x20 || c == 0x7F) return c;
        if (c < 0xC2) continue;
        const unsigned char next = at + 1 < text.size() ? static_cast<unsigned char>(text[at + 1]) : 0;
        if (IsC1Control(c, next)) return next;
        if (IsByteOrderMark(TextFrom(text, at))) return 0xFEFF;
    }
    return kNoControlCharacter;
}

bool AppendEscaped(EscapedText* escaped, std::string_view text) {
    size_t plainStart = 0;  // bytes since the last escape, appended in one piece
    size_t at = 0;
    for (; at < text.size() && escaped->left > 0; --escaped->left) {
        const std::string_view rest = TextFrom(text, at);
        const unsigned char c = static_cast<unsigned char>(rest[0]);
        const size_t length = Utf8SequenceLength(rest);
        char escape[6] = {'\\'};
        size_t escapeLength = 0;
        if (c == 0) {
            escape[1] = '0';
            escapeLength = 2;
        } else if (c < 0x20 || c == 0x7F || length == 0) {
            escape[1] = 'x';
            escape[2] = kHexDigits[c >> 4];
            escape[3] = kHexDigits[c & 0xF];
            escapeLength = 4;
        } else if ((length == 2 && IsC1Control(c, static_cast<unsigned char>(rest[1]))) || IsByteOrderMark(rest)) {
            const uint32_t codePoint = length == 2 ? static_cast<unsigned char>(rest[1]) : 0xFEFF;
            escape[1] = 'u';
            PutHexDigits(codePoint, escape + 2);
            escapeLength = 6;
        }
        if (escapeLength == 0) {
            at += length;
            continue;
        }
        if (!escaped->out->Append(std::string_view(text.data() + plainStart, at - plainStart)) ||
            !escaped->out->Append({escape, escapeLength})) {
            return false;
        }
        at += length ? length : 1;
        plainStart = at;
    }
    escaped->cut |= at < text.size();
    return escaped->out->Append(std::string_view(text.data() + plainStart, at - plainStart));
}

bool AppendCodePoint(Text* out, uint32_t codePoint) {
    char digits[4];
    PutHexDigits(codePoint, digits);
    return out->Append("U+") && out->Append({digits, 4});
}
