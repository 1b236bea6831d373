// Random bytes as a keyword file split by tabs, commas or semicolons, in every encoding, read in
// random pieces: never a crash; converted text is valid UTF-8 once its marked U+FFFD are
// restored; at most five fields kept, and every valid line's fields written as CSV and read back unchanged; word
// lists give as many combinations as their alternatives multiply to, none of them empty or
// holding the separator.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "campaign/csv_field.h"
#include "campaign/keyword_file.h"
#include "campaign/text_encoding.h"
#include "campaign/word_lists.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

struct Pieces {
    std::string bytes;
    std::vector<size_t> sizes;
    size_t at = 0;
    size_t next = 0;
};

long ReadPiece(void* source, char* into, size_t size) {
    Pieces* pieces = static_cast<Pieces*>(source);
    const size_t wanted = pieces->sizes.empty() ? size : pieces->sizes[pieces->next++ % pieces->sizes.size()];
    const size_t count = std::min({size, wanted, pieces->bytes.size() - pieces->at});
    std::memcpy(into, pieces->bytes.data() + pieces->at, count);
    pieces->at += count;
    return static_cast<long>(count);
}

void CheckWordLists(const LineFields& line) {
    const std::string_view fields[4] = {line.Field(0), line.Field(1), line.Field(2), line.Field(3)};
    const int keywordCount = std::min<int>(4, static_cast<int>(line.kept.count));
    WordListOdometer odometer;
    int refusedKeyword = 0;
    const WordListRefusal refusal = StartWordLists(&odometer, fields, keywordCount, &refusedKeyword);
    if (refusal != WordListRefusal::kNone) {
        Require(refusal == WordListRefusal::kTooManyCombinations || (refusedKeyword > 0 && refusedKeyword <= keywordCount));
        return;
    }
    size_t expected = 1;
    for (int k = 0; k < keywordCount; ++k) {
        expected *= 1 + std::count(fields[k].begin(), fields[k].end(), '|');
    }
    size_t combinations = 0;
    do {
        ++combinations;
        for (int k = 0; k < keywordCount; ++k) {
            Require(!odometer.current[k].empty() && odometer.current[k].find('|') == std::string_view::npos);
        }
    } while (NextCombination(&odometer));
    Require(combinations == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    constexpr char kSeparators[] = {kTab, ',', ';'};
    const char separator = kSeparators[input.ConsumeIntegralInRange(0, 2)];
    const InputEncoding encoding = static_cast<InputEncoding>(input.ConsumeIntegralInRange(0, 4));
    Pieces pieces;
    for (int i = input.ConsumeIntegralInRange(0, 4); i > 0; --i) pieces.sizes.push_back(input.ConsumeIntegralInRange<size_t>(1, 64));
    pieces.bytes = input.ConsumeRemainingBytesAsString();

    DecodingReader decoder = MakeDecodingReader(ReadPiece, &pieces, encoding);
    LineReader reader = MakeLineReader(ReadDecoded, &decoder, separator);
    char* line;
    size_t lineSize;
    size_t lines = 0;
    while (ReadLine(&reader, &line, &lineSize) == ReadLineResult::kLine) {
        Require(++lines == reader.lineNumber);
        Require(std::memchr(line, '\n', lineSize) == nullptr);
        if (!KeepsBytesAsTheyAre(decoder)) {
            RestoreReplacementCharacters(line, lineSize);
            Require(IsValidUtf8({line, lineSize}));
        }
        LineFields fields;
        if (SplitFields(line, lineSize, separator, &fields)) continue;
        Require(fields.kept.count >= 1 && fields.kept.count <= kMaxFields && fields.total >= fields.kept.count);
        CheckWordLists(fields);

        // Written as a CSV row and read back. Fields with a line break are left out: written
        // quoted they are valid CSV, which a line-based reader rejects on purpose.
        Text row;
        bool lineBreak = false;
        for (size_t i = 0; i < fields.kept.count; ++i) {
            lineBreak |= fields.Field(i).find_first_of("\r\n") != std::string_view::npos;
            if (i) row.Append(",");
            AppendCsvField(&row, fields.Field(i));
        }
        if (lineBreak) continue;
        std::string copy(row.View());
        LineFields readBack;
        Require(SplitFields(&copy[0], copy.size(), ',', &readBack) == nullptr);
        Require(readBack.kept.count == fields.kept.count);
        for (size_t i = 0; i < fields.kept.count; ++i) Require(readBack.Field(i) == fields.Field(i));
    }
    return 0;
}
