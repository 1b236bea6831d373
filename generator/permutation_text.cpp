#include "generator/permutation_text.h"

#include <new>

namespace {

// Each entry names the keywords of one line by their numbers, in line order. The order of the
// lines is fixed (users compare lists across runs), so it is stored rather than computed.
constexpr const char* kFullOrderings2[] = {"12", "21"};

constexpr const char* kFullOrderings3[] = {"123", "132", "312", "321", "231", "213"};

constexpr const char* kFullOrderings4[] = {
    "1234", "1243", "1423", "1432", "1342", "1324",  //
    "3124", "3142", "3412", "3421", "3241", "3214",  //
    "2314", "2341", "2431", "2413", "2143", "2134",  //
    "4123", "4132", "4312", "4321", "4231", "4213",
};

constexpr const char* kSubsetOrderings3[] = {"23", "32", "12", "21", "31", "13"};

constexpr const char* kSubsetOrderings4[] = {
    "234", "243", "423", "432", "342", "324",  //
    "124", "142", "412", "421", "241", "214",  //
    "314", "341", "431", "413", "143", "134",  //
    "123", "132", "312", "321", "231", "213",  //
    "34",  "43",  "23",  "32",  "42",  "24",   //
    "12",  "21",  "41",  "14",  "31",  "13",
};

struct LineTable {
    const char* const* entries;
    size_t count;
};

template <size_t N>
constexpr LineTable TableOf(const char* const (&entries)[N]) {
    return {entries, N};
}

LineTable FullOrderings(int keywordCount) {
    switch (keywordCount) {
        case 2: return TableOf(kFullOrderings2);
        case 3: return TableOf(kFullOrderings3);
        default: return TableOf(kFullOrderings4);
    }
}

LineTable SubsetOrderings(int keywordCount) {
    switch (keywordCount) {
        case 3: return TableOf(kSubsetOrderings3);
        case 4: return TableOf(kSubsetOrderings4);
        default: return {nullptr, 0};
    }
}

const std::string& KeywordAt(const KeywordList& keywords, char number) {
    return keywords.words[static_cast<size_t>(number - '1')];
}

size_t LineLength(const KeywordList& keywords, const char* entry) {
    size_t length = 2;  // the delimiters
    for (const char* number = entry; *number; ++number) {
        length += KeywordAt(keywords, *number).size() + (number == entry ? 0 : 1);
    }
    return length;
}

void AppendLines(std::string& text, const KeywordList& keywords, DelimiterPair delimiters,
                 LineTable table) {
    for (size_t i = 0; i < table.count; ++i) {
        if (!text.empty()) text.append("\r\n", 2);
        text.push_back(delimiters.open);
        for (const char* number = table.entries[i]; *number; ++number) {
            if (number != table.entries[i]) text.push_back(' ');
            text.append(KeywordAt(keywords, *number));
        }
        text.push_back(delimiters.close);
    }
}

size_t TextLength(const KeywordList& keywords, LineTable full, LineTable subsets) {
    size_t length = 0;
    for (LineTable table : {full, subsets}) {
        for (size_t i = 0; i < table.count; ++i) length += LineLength(keywords, table.entries[i]);
    }
    const size_t lines = full.count + subsets.count;
    return length + 2 * (lines - 1);
}

}  // namespace

int CountKeywords(const KeywordList& keywords) {
    if (keywords.words[2].empty()) return 2;
    return keywords.words[3].empty() ? 3 : 4;
}

std::string BuildPermutationText(const KeywordList& keywords, DelimiterPair delimiters,
                                 bool includeSubsets) {
    const int keywordCount = CountKeywords(keywords);
    const LineTable full = FullOrderings(keywordCount);
    const LineTable subsets = includeSubsets ? SubsetOrderings(keywordCount) : LineTable{nullptr, 0};
    std::string text;
    try {
        // Sized up front: one allocation, however long the keywords are.
        text.reserve(TextLength(keywords, full, subsets));
    } catch (const std::bad_alloc&) {
        return {};
    }
    AppendLines(text, keywords, delimiters, full);
    AppendLines(text, keywords, delimiters, subsets);
    return text;
}
