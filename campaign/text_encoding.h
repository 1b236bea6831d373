#pragma once
// Keyword files in the encodings spreadsheets and editors save: UTF-8 (with or without a
// byte-order mark), UTF-16 in either byte order (Excel's "Unicode Text"), and Windows-1252
// (old Western European exports). Everything is turned into UTF-8 before it is split into
// lines, so that every rule after that sees one encoding.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "campaign/campaign.h"
#include "support/text.h"

bool IsValidUtf8(std::string_view text);

// Writes the code point as UTF-8 into `out` (room for 4 bytes); returns the bytes written.
size_t EncodeUtf8(uint32_t codePoint, char* out);

// The file's first bytes, read before anything is converted: enough to see a byte-order mark,
// and where a NUL byte tells a file that is no text.
inline constexpr size_t kHeadSize = 8192;
inline constexpr size_t kNoNulByte = ~size_t{0};

// A read function that gives UTF-8: the file's bytes read through `read`, with a byte-order
// mark taken off and UTF-16 or Windows-1252 converted. Data that is not valid UTF-16 (a lone
// surrogate, an odd last byte) becomes U+FFFD, as Windows' own conversion makes it, but marked
// so that the line holding it can be told: see RestoreReplacementCharacters.
struct DecodingReader {
    ReadFunction read = nullptr;
    void* source = nullptr;
    InputEncoding encoding = InputEncoding::kAuto;  // resolved from the first bytes when auto
    bool started = false;
    bool atEnd = false;
    bool readFailed = false;  // told once the bytes read before the failure are passed on
    // Read as UTF-8 or Windows-1252, where the head's first NUL byte stands (counted from the
    // file's first byte), and whether its NUL bytes stand in every other byte, as in UTF-16 of
    // Latin text: all at even or all at odd offsets, and in at least half of those.
    size_t firstNulByte = kNoNulByte;
    bool nulBytesAlternate = false;
    // Bytes read but not yet converted, from `rawStart` to `rawEnd`: the head after the start,
    // later the last read's rest, or a UTF-16 unit or surrogate pair it cut.
    char raw[kHeadSize];
    size_t rawStart = 0;
    size_t rawEnd = 0;
};

DecodingReader MakeDecodingReader(ReadFunction read, void* source, InputEncoding encoding);
// Reads the head, resolves the encoding and takes off its byte-order mark. The first read
// calls it when nobody has.
void StartDecoding(DecodingReader* reader);
// A ReadFunction over a DecodingReader: UTF-8 bytes, 0 at the end, -1 when the file's read
// failed. Reads ask for at least 6 bytes (a surrogate pair's room).
long ReadDecoded(void* decodingReader, char* into, size_t size);
// Whether the bytes are taken as they are, so that a line may hold bytes that are not UTF-8.
bool KeepsBytesAsTheyAre(const DecodingReader& reader);
// A converted line's marked U+FFFD made plain; true when it held any, that is, when its input
// was broken.
bool RestoreReplacementCharacters(char* line, size_t size);
