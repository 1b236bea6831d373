// Random bytes as a keyword file in both input formats, read in random pieces: never a crash,
// at most five fields, and every valid line's fields written as CSV and read back unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/csv_field.h"
#include "cli/input_reader.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const InputFormat format = input.ConsumeBool() ? InputFormat::kCsv : InputFormat::kTsv;
    Pieces pieces;
    for (int i = input.ConsumeIntegralInRange(0, 4); i > 0; --i) pieces.sizes.push_back(input.ConsumeIntegralInRange<size_t>(1, 64));
    pieces.bytes = input.ConsumeRemainingBytesAsString();

    LineReader reader = MakeLineReader(ReadPiece, &pieces);
    char* line;
    size_t lineSize;
    size_t lines = 0;
    while (ReadLine(&reader, &line, &lineSize) == ReadLineResult::kLine) {
        Require(++lines == reader.lineNumber);
        Require(std::memchr(line, '\n', lineSize) == nullptr);
        LineFields fields;
        if (SplitFields(line, lineSize, format, &fields)) continue;
        Require(fields.count >= 1 && fields.count <= kMaxFields);

        // Written as a CSV row and read back. Fields with a line break are left out: written
        // quoted they are valid CSV, which a line-based reader rejects on purpose.
        Text row;
        bool lineBreak = false;
        for (size_t i = 0; i < fields.count; ++i) {
            lineBreak |= fields.fields[i].find_first_of("\r\n") != std::string_view::npos;
            if (i) row.Append(",");
            AppendCsvField(&row, fields.fields[i]);
        }
        if (lineBreak) continue;
        std::string copy(row.View());
        LineFields readBack;
        Require(SplitFields(&copy[0], copy.size(), InputFormat::kCsv, &readBack) == nullptr);
        Require(readBack.count == fields.count);
        for (size_t i = 0; i < fields.count; ++i) Require(readBack.fields[i] == fields.fields[i]);
    }
    return 0;
}
