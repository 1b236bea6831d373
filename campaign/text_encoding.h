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

// The length of the valid UTF-8 sequence at the start of `text` (RFC 3629: no overlong forms,
// no surrogates, nothing past U+10FFFF), or 0 when it does not start with one.
size_t Utf8SequenceLength(std::string_view text);

bool IsValidUtf8(std::string_view text);

// Writes the code point as UTF-8 into `out` (room for 4 bytes); returns the bytes written.
size_t EncodeUtf8(uint32_t codePoint, char* out);

// A read function that gives UTF-8: the file's bytes read through `read`, with a byte-order
// mark taken off and UTF-16 or Windows-1252 converted. Data that is not valid UTF-16 (a lone
// surrogate, an odd last byte) becomes U+FFFD, as Windows' own conversion makes it.
struct DecodingReader {
    ReadFunction read = nullptr;
    void* source = nullptr;
    InputEncoding encoding = InputEncoding::kAuto;  // resolved from the first bytes when auto
    bool started = false;
    bool atEnd = false;
    // Bytes read but not yet converted: the file's first bytes while the mark is looked for,
    // and a UTF-16 unit or surrogate pair cut by a read.
    unsigned char pending[4] = {};
    size_t pendingCount = 0;
    char raw[4096];
};

DecodingReader MakeDecodingReader(ReadFunction read, void* source, InputEncoding encoding);
// A ReadFunction over a DecodingReader: UTF-8 bytes, 0 at the end, -1 when the file's read failed.
long ReadDecoded(void* decodingReader, char* into, size_t size);
// Whether the bytes are taken as they are, so that a line may hold bytes that are not UTF-8.
bool KeepsBytesAsTheyAre(const DecodingReader& reader);
