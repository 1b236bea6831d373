#include "campaign/text_encoding.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

// What Windows-1252 puts at 0x80 to 0x9F. The five bytes it leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the C1 controls of the same number, as Windows converts them.
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct ByteOrderMark {
    InputEncoding encoding;
    std::string_view bytes;
};
constexpr ByteOrderMark kMarks[] = {
    {InputEncoding::kUtf8, "\xEF\xBB\xBF"},
    {InputEncoding::kUtf16Le, "\xFF\xFE"},
    {InputEncoding::kUtf16Be, "\xFE\xFF"},
};

// The mark for U+FFFD made of broken input: its UTF-8 with a lead byte that UTF-8 never has,
// so that the line reader passes it on and the line's reader can tell it from a U+FFFD of the
// file's own.
constexpr char kMarkedLeadByte = '\xFF';
constexpr char kReplacementLeadByte = '\xEF';

size_t EncodeMarkedReplacement(char* out) {
    const size_t length = EncodeUtf8(kReplacementCharacter, out);
    out[0] = kMarkedLeadByte;
    return length;
}

// Where the head's NUL bytes stand: a file read byte by byte holds none, unless it is no text,
// or UTF-16 without a mark, whose Latin text has a NUL in every other byte and none between.
void LookForNulBytes(DecodingReader* reader) {
    if (!std::memchr(reader->raw, 0, reader->rawEnd)) return;
    size_t nulBytes[2] = {};  // at even and at odd offsets
    for (size_t at = reader->rawEnd; at-- > 0;) {
        if (reader->raw[at] != 0) continue;
        reader->firstNulByte = at;
        ++nulBytes[at % 2];
    }
    const size_t oddBytes = reader->rawEnd / 2;
    const size_t evenBytes = reader->rawEnd - oddBytes;
    reader->nulBytesAlternate = (nulBytes[1] == 0 && nulBytes[0] * 2 >= evenBytes) ||
                                (nulBytes[0] == 0 && nulBytes[1] * 2 >= oddBytes);
}

// Moves the bytes not yet converted to the start of `raw` and reads more after them.
void ReadRaw(DecodingReader* reader) {
    const size_t held = reader->rawEnd - reader->rawStart;
    std::memmove(reader->raw, reader->raw + reader->rawStart, held);
    reader->rawStart = 0;
    reader->rawEnd = held;
    const long got = reader->read(reader->source, reader->raw + held, sizeof reader->raw - held);
    if (got < 0) {
        reader->readFailed = true;
        return;
    }
    if (got == 0) reader->atEnd = true;
    reader->rawEnd += static_cast<size_t>(got);
}

size_t DecodeWindows1252(const unsigned char* raw, size_t count, char* out) {
    char* at = out;
    for (size_t i = 0; i < count; ++i) {
        const unsigned char byte = raw[i];
        if (byte < 0x80) {
            *at++ = static_cast<char>(byte);
        } else {
            at += EncodeUtf8(byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte, at);
        }
    }
    return static_cast<size_t>(at - out);
}

// Converts whole units and sets `*used` to the bytes they took; a unit or surrogate pair cut at
// the end waits for the next call, unless these are the file's `last` bytes, when it is no
// valid character.
size_t DecodeUtf16(bool bigEndian, const unsigned char* raw, size_t count, bool last, char* out, size_t* used) {
    const auto unitAt = [&](size_t i) {
        return static_cast<uint32_t>(bigEndian ? (raw[i] << 8) | raw[i + 1] : raw[i] | (raw[i + 1] << 8));
    };
    char* at = out;
    size_t i = 0;
    while (i + 2 <= count) {
        const uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 4 > count && !last) break;
            const uint32_t low = i + 4 <= count ? unitAt(i + 2) : 0;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                at += EncodeUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), at);
                i += 4;
                continue;
            }
            at += EncodeMarkedReplacement(at);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            at += EncodeMarkedReplacement(at);
        } else {
            at += EncodeUtf8(unit, at);
        }
        i += 2;
    }
    if (i < count && last) {
        at += EncodeMarkedReplacement(at);  // an odd last byte
        i = count;
    }
    *used = i;
    return static_cast<size_t>(at - out);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        uint64_t eight;  // ASCII eight bytes at a time: most keyword files are mostly ASCII
        if (text.size() - at >= sizeof eight) {
            std::memcpy(&eight, text.data() + at, sizeof eight);
            if ((eight & 0x8080808080808080ull) == 0) {
                at += sizeof eight;
                continue;
            }
        }
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            ++at;
            continue;
        }
        const size_t length = Utf8SequenceLength(TextFrom(text, at));
        if (length == 0) return false;
        at += length;
    }
    return true;
}

size_t EncodeUtf8(uint32_t codePoint, char* out) {
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

DecodingReader MakeDecodingReader(ReadFunction read, void* source, InputEncoding encoding) {
    DecodingReader reader;
    reader.read = read;
    reader.source = source;
    reader.encoding = encoding;
    return reader;
}

void StartDecoding(DecodingReader* reader) {
    reader->started = true;
    while (reader->rawEnd < sizeof reader->raw && !reader->atEnd && !reader->readFailed) ReadRaw(reader);
    for (const ByteOrderMark& mark : kMarks) {
        if (reader->rawEnd < mark.bytes.size() || std::memcmp(reader->raw, mark.bytes.data(), mark.bytes.size()) != 0) {
            continue;
        }
        if (reader->encoding == InputEncoding::kAuto) reader->encoding = mark.encoding;
        if (reader->encoding == mark.encoding) reader->rawStart = mark.bytes.size();
        break;
    }
    if (reader->encoding == InputEncoding::kAuto) reader->encoding = InputEncoding::kUtf8;
    if (reader->encoding == InputEncoding::kUtf8 || reader->encoding == InputEncoding::kWindows1252) {
        LookForNulBytes(reader);
    }
}

bool KeepsBytesAsTheyAre(const DecodingReader& reader) {
    return reader.encoding == InputEncoding::kUtf8 || reader.encoding == InputEncoding::kAuto;
}

long ReadDecoded(void* decodingReader, char* into, size_t size) {
    DecodingReader* reader = static_cast<DecodingReader*>(decodingReader);
    if (!reader->started) StartDecoding(reader);
    if (KeepsBytesAsTheyAre(*reader)) {
        const size_t held = reader->rawEnd - reader->rawStart;
        if (held > 0) {
            const size_t count = std::min(size, held);
            std::memcpy(into, reader->raw + reader->rawStart, count);
            reader->rawStart += count;
            return static_cast<long>(count);
        }
        if (reader->readFailed) return -1;
        return reader->atEnd ? 0 : reader->read(reader->source, into, size);
    }
    // Each raw unit grows at most threefold: a UTF-16 unit of two bytes into three, a
    // Windows-1252 byte into three, a surrogate pair of four into four, an odd last byte into
    // three.
    const bool utf16 = reader->encoding != InputEncoding::kWindows1252;
    const size_t wanted = std::min(utf16 ? size / 3 * 2 : size / 3, sizeof reader->raw);
    for (;;) {
        if (reader->rawEnd - reader->rawStart < wanted && !reader->atEnd && !reader->readFailed) ReadRaw(reader);
        const size_t held = reader->rawEnd - reader->rawStart;
        const size_t count = std::min(wanted, held);
        const unsigned char* raw = reinterpret_cast<const unsigned char*>(reader->raw + reader->rawStart);
        size_t used = count;
        const size_t written =
            utf16 ? DecodeUtf16(reader->encoding == InputEncoding::kUtf16Be, raw, count, reader->atEnd && count == held,
                                into, &used)
                  : DecodeWindows1252(raw, count, into);
        reader->rawStart += used;
        if (written > 0) return static_cast<long>(written);
        if (reader->readFailed) return -1;  // after the bytes read before it
        if (reader->atEnd && reader->rawStart == reader->rawEnd) return 0;
    }
}

bool RestoreReplacementCharacters(char* line, size_t size) {
    bool restored = false;
    for (size_t at = 0; at < size; ++at) {
        if (line[at] != kMarkedLeadByte) continue;
        line[at] = kReplacementLeadByte;
        restored = true;
    }
    return restored;
}
