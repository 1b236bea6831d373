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

bool StartsWith(const DecodingReader& reader, std::string_view mark) {
    return reader.pendingCount >= mark.size() && std::memcmp(reader.pending, mark.data(), mark.size()) == 0;
}

void DropPending(DecodingReader* reader, size_t count) {
    reader->pendingCount -= count;
    std::memmove(reader->pending, reader->pending + count, reader->pendingCount);
}

// Reads the first bytes, enough to see a byte-order mark, decides the encoding when it is
// auto, and takes the mark off when it is the encoding's own.
bool Start(DecodingReader* reader) {
    reader->started = true;
    while (reader->pendingCount < 3 && !reader->atEnd) {
        const long got = reader->read(reader->source, reinterpret_cast<char*>(reader->pending) + reader->pendingCount,
                                      3 - reader->pendingCount);
        if (got < 0) return false;
        if (got == 0) reader->atEnd = true;
        reader->pendingCount += static_cast<size_t>(got);
    }
    for (const ByteOrderMark& mark : kMarks) {
        if (!StartsWith(*reader, mark.bytes)) continue;
        if (reader->encoding == InputEncoding::kAuto) reader->encoding = mark.encoding;
        if (reader->encoding == mark.encoding) DropPending(reader, mark.bytes.size());
        break;
    }
    if (reader->encoding == InputEncoding::kAuto) reader->encoding = InputEncoding::kUtf8;
    return true;
}

// Raw bytes into `raw` after the pending ones: the count there in all, or -1.
long FillRaw(DecodingReader* reader, size_t wanted) {
    std::memcpy(reader->raw, reader->pending, reader->pendingCount);
    size_t count = reader->pendingCount;
    reader->pendingCount = 0;
    // `wanted` counts the pending bytes too, so that the output never outgrows its room.
    const size_t room = std::min(wanted > count ? wanted - count : 0, sizeof reader->raw - count);
    if (!reader->atEnd && room > 0) {
        const long got = reader->read(reader->source, reader->raw + count, room);
        if (got < 0) return -1;
        if (got == 0) reader->atEnd = true;
        count += static_cast<size_t>(got);
    }
    return static_cast<long>(count);
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

// Converts whole units; a unit or surrogate pair cut by the read waits in `pending`, unless
// the file has ended, when it is no valid character.
size_t DecodeUtf16(DecodingReader* reader, const unsigned char* raw, size_t count, char* out) {
    const bool bigEndian = reader->encoding == InputEncoding::kUtf16Be;
    const auto unitAt = [&](size_t i) {
        return static_cast<uint32_t>(bigEndian ? (raw[i] << 8) | raw[i + 1] : raw[i] | (raw[i + 1] << 8));
    };
    char* at = out;
    size_t i = 0;
    while (i + 2 <= count) {
        const uint32_t unit = unitAt(i);
        uint32_t codePoint = unit;
        size_t used = 2;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 4 > count && !reader->atEnd) break;
            const uint32_t low = i + 4 <= count ? unitAt(i + 2) : 0;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                codePoint = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                used = 4;
            } else {
                codePoint = kReplacementCharacter;
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            codePoint = kReplacementCharacter;
        }
        at += EncodeUtf8(codePoint, at);
        i += used;
    }
    if (i < count && reader->atEnd) {
        at += EncodeUtf8(kReplacementCharacter, at);  // an odd last byte
        i = count;
    }
    reader->pendingCount = count - i;
    std::memcpy(reader->pending, raw + i, reader->pendingCount);
    return static_cast<size_t>(at - out);
}

}  // namespace

size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
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

bool KeepsBytesAsTheyAre(const DecodingReader& reader) {
    return reader.encoding == InputEncoding::kUtf8 || reader.encoding == InputEncoding::kAuto;
}

long ReadDecoded(void* decodingReader, char* into, size_t size) {
    DecodingReader* reader = static_cast<DecodingReader*>(decodingReader);
    if (!reader->started && !Start(reader)) return -1;
    if (KeepsBytesAsTheyAre(*reader)) {
        if (reader->pendingCount > 0) {
            const size_t count = std::min(size, reader->pendingCount);
            std::memcpy(into, reader->pending, count);
            DropPending(reader, count);
            return static_cast<long>(count);
        }
        return reader->atEnd ? 0 : reader->read(reader->source, into, size);
    }
    // Each raw unit grows at most threefold: a UTF-16 unit of two bytes into three, a
    // Windows-1252 byte into three, a surrogate pair of four into four.
    const bool utf16 = reader->encoding != InputEncoding::kWindows1252;
    const size_t wanted = utf16 ? size / 3 * 2 : size / 3;
    for (;;) {
        const long count = FillRaw(reader, wanted);
        if (count < 0) return -1;
        const unsigned char* raw = reinterpret_cast<const unsigned char*>(reader->raw);
        const size_t written = utf16 ? DecodeUtf16(reader, raw, static_cast<size_t>(count), into)
                                     : DecodeWindows1252(raw, static_cast<size_t>(count), into);
        if (written > 0 || (reader->atEnd && reader->pendingCount == 0)) return static_cast<long>(written);
    }
}
