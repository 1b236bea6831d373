#pragma once
// The golden cases shared with the page's tests, tests/golden/keyword_sets.tsv: the worked
// example and how many lines a set gives. Its path comes from the build (VARNHOLT_GOLDEN_CASES),
// so that the tests find it from any build folder, under Wine too.

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>
#include <vector>

namespace golden {

using Keywords = std::array<std::string, 4>;

// The records of one kind, each as its fields after the kind.
inline std::vector<std::vector<std::string>> Records(const std::string& kind) {
    std::ifstream file(VARNHOLT_GOLDEN_CASES, std::ios::binary);
    EXPECT_TRUE(file) << "cannot open " << VARNHOLT_GOLDEN_CASES;
    std::vector<std::vector<std::string>> records;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        for (size_t start = 0;;) {
            const size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (fields[0] == kind) records.emplace_back(fields.begin() + 1, fields.end());
    }
    return records;
}

inline Keywords KeywordsOf(const std::vector<std::string>& fields) {
    return {fields.at(0), fields.at(1), fields.at(2), fields.at(3)};
}

// The worked example: its keywords and its lines with Brackets and Include Subsets.
struct WorkedExample {
    Keywords keywords;
    std::vector<std::string> lines;
};

inline WorkedExample ReadWorkedExample() {
    const std::vector<std::vector<std::string>> records = Records("example");
    EXPECT_EQ(records.size(), 1u);
    if (records.empty()) return {};
    return {KeywordsOf(records[0]), {records[0].begin() + 4, records[0].end()}};
}

// The lines joined by `lineEnd`, with one after the last too when `endLastLine`.
inline std::string Joined(const std::vector<std::string>& lines, const std::string& lineEnd, bool endLastLine) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += lines[i] + (i + 1 < lines.size() || endLastLine ? lineEnd : "");
    return text;
}

struct LineCount {
    Keywords keywords;
    size_t lines;
    size_t linesWithSubsets;
};

inline std::vector<LineCount> ReadLineCounts() {
    std::vector<LineCount> counts;
    for (const std::vector<std::string>& fields : Records("lines")) {
        counts.push_back({KeywordsOf(fields), std::stoul(fields.at(4)), std::stoul(fields.at(5))});
    }
    EXPECT_FALSE(counts.empty());
    return counts;
}

// The count for the first case whose first `keywordCount` keywords are given.
inline size_t LinesFor(int keywordCount, bool subsets) {
    for (const LineCount& count : ReadLineCounts()) {
        int given = 0;
        while (given < 4 && !count.keywords[given].empty()) ++given;
        if (given == keywordCount) return subsets ? count.linesWithSubsets : count.lines;
    }
    ADD_FAILURE() << "no line count for " << keywordCount << " keywords";
    return 0;
}

}  // namespace golden
