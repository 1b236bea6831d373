#include "generator/permutation_text.h"

#include <cstring>

namespace {

// Each entry names the keywords of one line by their indexes, in line order. The order of the
// lines is fixed (users compare lists across runs), so it is stored rather than computed. The
// subset lines of each count follow its full-length lines, so that one list serves both.
constexpr KeywordOrdering kOrderings2[] = {{2, {0, 1}}, {2, {1, 0}}};

constexpr KeywordOrdering kOrderings3[] = {
    {3, {0, 1, 2}}, {3, {0, 2, 1}}, {3, {2, 0, 1}}, {3, {2, 1, 0}}, {3, {1, 2, 0}}, {3, {1, 0, 2}},
    // subsets
    {2, {1, 2}}, {2, {2, 1}}, {2, {0, 1}}, {2, {1, 0}}, {2, {2, 0}}, {2, {0, 2}},
};

constexpr KeywordOrdering kOrderings4[] = {
    {4, {0, 1, 2, 3}}, {4, {0, 1, 3, 2}}, {4, {0, 3, 1, 2}}, {4, {0, 3, 2, 1}}, {4, {0, 2, 3, 1}}, {4, {0, 2, 1, 3}},
    {4, {2, 0, 1, 3}}, {4, {2, 0, 3, 1}}, {4, {2, 3, 0, 1}}, {4, {2, 3, 1, 0}}, {4, {2, 1, 3, 0}}, {4, {2, 1, 0, 3}},
    {4, {1, 2, 0, 3}}, {4, {1, 2, 3, 0}}, {4, {1, 3, 2, 0}}, {4, {1, 3, 0, 2}}, {4, {1, 0, 3, 2}}, {4, {1, 0, 2, 3}},
    {4, {3, 0, 1, 2}}, {4, {3, 0, 2, 1}}, {4, {3, 2, 0, 1}}, {4, {3, 2, 1, 0}}, {4, {3, 1, 2, 0}}, {4, {3, 1, 0, 2}},
    // subsets: three keywords
    {3, {1, 2, 3}}, {3, {1, 3, 2}}, {3, {3, 1, 2}}, {3, {3, 2, 1}}, {3, {2, 3, 1}}, {3, {2, 1, 3}},
    {3, {0, 1, 3}}, {3, {0, 3, 1}}, {3, {3, 0, 1}}, {3, {3, 1, 0}}, {3, {1, 3, 0}}, {3, {1, 0, 3}},
    {3, {2, 0, 3}}, {3, {2, 3, 0}}, {3, {3, 2, 0}}, {3, {3, 0, 2}}, {3, {0, 3, 2}}, {3, {0, 2, 3}},
    {3, {0, 1, 2}}, {3, {0, 2, 1}}, {3, {2, 0, 1}}, {3, {2, 1, 0}}, {3, {1, 2, 0}}, {3, {1, 0, 2}},
    // subsets: two keywords
    {2, {2, 3}}, {2, {3, 2}}, {2, {1, 2}}, {2, {2, 1}}, {2, {3, 1}}, {2, {1, 3}},
    {2, {0, 1}}, {2, {1, 0}}, {2, {3, 0}}, {2, {0, 3}}, {2, {2, 0}}, {2, {0, 2}},
};

// How many of a list's first entries are full-length orderings.
constexpr size_t kFullOrderings3 = 6;
constexpr size_t kFullOrderings4 = 24;

template <size_t N>
constexpr OrderingList ListOf(const KeywordOrdering (&entries)[N], size_t count = N) {
    return {entries, count};
}

}  // namespace

int CountKeywords(const KeywordList& keywords) {
    if (keywords.words[2].empty()) return 2;
    return keywords.words[3].empty() ? 3 : 4;
}

OrderingList PermutationOrderings(int keywordCount, bool includeSubsets) {
    switch (keywordCount) {
        case 2: return ListOf(kOrderings2);
        case 3: return includeSubsets ? ListOf(kOrderings3) : ListOf(kOrderings3, kFullOrderings3);
        default: return includeSubsets ? ListOf(kOrderings4) : ListOf(kOrderings4, kFullOrderings4);
    }
}

size_t PermutationTextLength(const KeywordList& keywords, bool includeSubsets,
                             const LineFormat& format) {
    const OrderingList lines = PermutationOrderings(CountKeywords(keywords), includeSubsets);
    // Counted per keyword first: a sum of at most 192 uses of each cannot overflow unless the
    // keywords themselves are near the size type's limit, which the checks below catch.
    size_t uses[4] = {};
    size_t fixed = (lines.count - (format.endLastLine ? 0 : 1)) * format.lineEnd.size();
    for (const KeywordOrdering& line : lines) {
        fixed += 2 + (line.count - 1u);  // the delimiters and the blanks between keywords
        for (size_t k = 0; k < line.count; ++k) ++uses[line.keywords[k]];
    }
    size_t length = fixed;
    for (size_t k = 0; k < 4; ++k) {
        const size_t size = keywords.words[k].size();
        if (uses[k] && size > (kPermutationTextTooLong - 1 - length) / uses[k]) {
            return kPermutationTextTooLong;
        }
        length += uses[k] * size;
    }
    return length;
}

char* WritePermutationText(const KeywordList& keywords, bool includeSubsets,
                           const LineFormat& format, char* out) {
    const OrderingList lines = PermutationOrderings(CountKeywords(keywords), includeSubsets);
    for (size_t i = 0; i < lines.count; ++i) {
        const KeywordOrdering& line = lines.entries[i];
        *out++ = format.delimiters.open;
        for (size_t k = 0; k < line.count; ++k) {
            if (k) *out++ = ' ';
            const std::string_view word = keywords.words[line.keywords[k]];
            if (!word.empty()) std::memcpy(out, word.data(), word.size());
            out += word.size();
        }
        *out++ = format.delimiters.close;
        if (i + 1 < lines.count || format.endLastLine) {
            std::memcpy(out, format.lineEnd.data(), format.lineEnd.size());
            out += format.lineEnd.size();
        }
    }
    return out;
}

Text BuildPermutationText(const KeywordList& keywords, DelimiterPair delimiters,
                          bool includeSubsets) {
    const LineFormat format{delimiters, kClipboardLineEnd, false};
    const size_t length = PermutationTextLength(keywords, includeSubsets, format);
    Text text;
    // Sized up front: one allocation, however long the keywords are.
    if (length == kPermutationTextTooLong || !text.Resize(length)) return Text();
    WritePermutationText(keywords, includeSubsets, format, text.MutableData());
    return text;
}
