#pragma once
// The line orderings derived from their structural rules, independently of the builder's
// own tables, for the tests and the fuzzer to check the builder against.

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "generator/permutation_text.h"

namespace reference {

// Keywords kept alive for the KeywordList that only looks at them.
struct KeywordStore {
    std::array<std::string, 4> words;
    operator KeywordList() const { return {{words[0], words[1], words[2], words[3]}}; }
};

// The builder's window text as a std::string, for comparisons.
inline std::string BuiltText(const KeywordList& keywords, DelimiterPair delimiters, bool subsets) {
    return std::string(BuildPermutationText(keywords, delimiters, subsets).View());
}

using Ordering = std::vector<int>;  // keyword numbers, 1 to 4

// a b c, a c b, c a b, c b a, b c a, b a c: each step swaps two neighbours.
inline std::vector<Ordering> ThreeKeywordPattern(int a, int b, int c) {
    std::vector<Ordering> lines{{a, b, c}};
    for (int step = 0; step < 5; ++step) {
        Ordering next = lines.back();
        const int first = step % 2 == 0 ? 1 : 0;
        std::swap(next[first], next[first + 1]);
        lines.push_back(next);
    }
    return lines;
}

inline std::vector<Ordering> FullOrderings(int n) {
    if (n == 2) return {{1, 2}, {2, 1}};
    if (n == 3) return ThreeKeywordPattern(1, 2, 3);
    const struct { int lead, a, b, c; } blocks[] = {{1, 2, 3, 4}, {3, 1, 2, 4}, {2, 3, 1, 4}, {4, 1, 2, 3}};
    std::vector<Ordering> lines;
    for (const auto& block : blocks) {
        for (Ordering tail : ThreeKeywordPattern(block.a, block.b, block.c)) {
            tail.insert(tail.begin(), block.lead);
            lines.push_back(tail);
        }
    }
    return lines;
}

inline std::vector<Ordering> WithoutLeader(const std::vector<Ordering>& lines, bool skipRepeats) {
    std::vector<Ordering> shorter;
    for (const Ordering& line : lines) {
        Ordering tail(line.begin() + 1, line.end());
        if (skipRepeats && std::find(shorter.begin(), shorter.end(), tail) != shorter.end()) continue;
        shorter.push_back(tail);
    }
    return shorter;
}

inline std::vector<Ordering> SubsetOrderings(int n) {
    if (n == 2) return {};
    std::vector<Ordering> lines = WithoutLeader(FullOrderings(n), false);
    if (n == 4) {
        const std::vector<Ordering> pairs = WithoutLeader(lines, true);
        lines.insert(lines.end(), pairs.begin(), pairs.end());
    }
    return lines;
}

inline int KeywordCount(const KeywordList& keywords) {
    if (keywords.words[2].empty()) return 2;
    return keywords.words[3].empty() ? 3 : 4;
}

// The text the builder must produce for any layout, assembled line by line from the derived
// orderings.
inline std::string ExpectedLaidOutText(const KeywordList& keywords, bool subsets, const LineLayout& layout,
                                       LineMask chosen = kAllLines) {
    const int n = KeywordCount(keywords);
    std::vector<Ordering> all = FullOrderings(n);
    if (subsets) {
        const std::vector<Ordering> more = SubsetOrderings(n);
        all.insert(all.end(), more.begin(), more.end());
    }
    std::vector<Ordering> lines;
    for (size_t i = 0; i < all.size(); ++i) {
        if (chosen >> i & 1) lines.push_back(all[i]);
    }
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        text += layout.lineStart;
        for (size_t k = 0; k < lines[i].size(); ++k) {
            if (k > 0) text += ' ';
            text += keywords.words[lines[i][k] - 1];
        }
        text += layout.lineFinish;
        if (i + 1 < lines.size() || layout.endLastLine) text += layout.lineEnd;
    }
    return text;
}

// The window's text: delimited lines joined by CR LF.
inline std::string ExpectedText(const KeywordList& keywords, DelimiterPair delimiters, bool subsets) {
    const std::string open(1, delimiters.open);
    const std::string close(1, delimiters.close);
    return ExpectedLaidOutText(keywords, subsets, {open, close, "\r\n", false});
}

}  // namespace reference
