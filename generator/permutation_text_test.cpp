#include "generator/permutation_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "tests/support/reference_orderings.h"

namespace {

using reference::Ordering;

KeywordList Keywords(std::string k1, std::string k2, std::string k3 = "", std::string k4 = "") {
    return KeywordList{{std::move(k1), std::move(k2), std::move(k3), std::move(k4)}};
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Reads the builder's lines back as keyword numbers; the keywords are "k1" to "k4".
std::vector<Ordering> ParseOrderings(const std::string& text) {
    std::vector<Ordering> orderings;
    for (const std::string& line : SplitLines(text)) {
        EXPECT_EQ(line.front(), '[');
        EXPECT_EQ(line.back(), ']');
        std::istringstream words(line.substr(1, line.size() - 2));
        Ordering ordering;
        for (std::string word; words >> word;) ordering.push_back(word[1] - '0');
        orderings.push_back(ordering);
    }
    return orderings;
}

std::vector<Ordering> AllOrderingsOf(Ordering selection) {
    std::vector<Ordering> all;
    std::sort(selection.begin(), selection.end());
    do all.push_back(selection);
    while (std::next_permutation(selection.begin(), selection.end()));
    return all;
}

std::set<Ordering> AsSet(const std::vector<Ordering>& orderings) {
    return {orderings.begin(), orderings.end()};
}

TEST(PermutationText, WorkedExampleByteForByte) {
    const KeywordList keywords = Keywords("blue", "running", "shoes");
    EXPECT_EQ(BuildPermutationText(keywords, kBracketDelimiters, true),
              "[blue running shoes]\r\n[blue shoes running]\r\n[shoes blue running]\r\n"
              "[shoes running blue]\r\n[running shoes blue]\r\n[running blue shoes]\r\n"
              "[running shoes]\r\n[shoes running]\r\n[blue running]\r\n"
              "[running blue]\r\n[shoes blue]\r\n[blue shoes]");
    EXPECT_EQ(BuildPermutationText(keywords, kQuoteDelimiters, true),
              "\"blue running shoes\"\r\n\"blue shoes running\"\r\n\"shoes blue running\"\r\n"
              "\"shoes running blue\"\r\n\"running shoes blue\"\r\n\"running blue shoes\"\r\n"
              "\"running shoes\"\r\n\"shoes running\"\r\n\"blue running\"\r\n"
              "\"running blue\"\r\n\"shoes blue\"\r\n\"blue shoes\"");
}

TEST(PermutationText, EveryTableMatchesItsStructuralRuleAndCoversEachOrderingOnce) {
    const KeywordList keywordsByCount[] = {Keywords("k1", "k2"), Keywords("k1", "k2", "k3"),
                                           Keywords("k1", "k2", "k3", "k4")};
    for (const KeywordList& keywords : keywordsByCount) {
        const int n = CountKeywords(keywords);
        SCOPED_TRACE(n);
        const std::vector<Ordering> full = ParseOrderings(BuildPermutationText(keywords, kBracketDelimiters, false));
        const std::vector<Ordering> withSubsets = ParseOrderings(BuildPermutationText(keywords, kBracketDelimiters, true));
        ASSERT_GE(withSubsets.size(), full.size());
        const std::vector<Ordering> subsets(withSubsets.begin() + full.size(), withSubsets.end());

        EXPECT_EQ(full, reference::FullOrderings(n));
        EXPECT_TRUE(std::equal(full.begin(), full.end(), withSubsets.begin()));
        EXPECT_EQ(subsets, reference::SubsetOrderings(n));

        // Coverage, counted on the builder's own output.
        Ordering everyKeyword(n);
        for (int k = 0; k < n; ++k) everyKeyword[k] = k + 1;
        EXPECT_EQ(AsSet(full), AsSet(AllOrderingsOf(everyKeyword)));
        EXPECT_EQ(AsSet(full).size(), full.size());
        std::set<Ordering> expectedSubsets;
        for (int dropped = 1; n > 2 && dropped <= n; ++dropped) {
            Ordering selection;
            for (int k = 1; k <= n; ++k) if (k != dropped) selection.push_back(k);
            for (const Ordering& o : AllOrderingsOf(selection)) expectedSubsets.insert(o);
            for (int other = 1; n == 4 && other <= n; ++other) {
                if (other == dropped) continue;
                Ordering pair;
                for (int k : selection) if (k != other) pair.push_back(k);
                for (const Ordering& o : AllOrderingsOf(pair)) expectedSubsets.insert(o);
            }
        }
        EXPECT_EQ(AsSet(subsets), expectedSubsets);
        EXPECT_EQ(AsSet(subsets).size(), subsets.size());
    }
    EXPECT_EQ(ParseOrderings(BuildPermutationText(keywordsByCount[2], kBracketDelimiters, true)).size(), 60u);
}

TEST(PermutationText, KeywordCountIgnoresKeyword4WithoutKeyword3) {
    const KeywordList keywords = Keywords("alpha", "beta", "", "delta");
    EXPECT_EQ(CountKeywords(keywords), 2);
    for (bool subsets : {false, true}) {
        const std::string text = BuildPermutationText(keywords, kQuoteDelimiters, subsets);
        EXPECT_EQ(text, "\"alpha beta\"\r\n\"beta alpha\"");
        EXPECT_EQ(text.find("delta"), std::string::npos);
    }
    EXPECT_EQ(CountKeywords(Keywords("a", "b", " ")), 3);
    EXPECT_EQ(CountKeywords(Keywords("a", "b", "c", " ")), 4);
}

TEST(PermutationText, LineJoinsHaveNoTrailingOrDoubledLineEnds) {
    const struct { KeywordList keywords; bool subsets; size_t lines; } cases[] = {
        {Keywords("a", "b", "c"), false, 6},
        {Keywords("a", "b", "c"), true, 12},
        {Keywords("a", "b", "c", "d"), false, 24},
        {Keywords("a", "b", "c", "d"), true, 60},
    };
    for (const auto& c : cases) {
        const std::string text = BuildPermutationText(c.keywords, kBracketDelimiters, c.subsets);
        const std::vector<std::string> lines = SplitLines(text);
        EXPECT_EQ(lines.size(), c.lines);
        for (const std::string& line : lines) EXPECT_GE(line.size(), 5u) << "blank line in " << text;
        EXPECT_NE(text.back(), '\n');
        EXPECT_EQ(text.find("\r\n\r\n"), std::string::npos);
    }
    const std::vector<std::string> sixty =
        SplitLines(BuildPermutationText(Keywords("a", "b", "c", "d"), kBracketDelimiters, true));
    EXPECT_EQ(sixty[23], "[d b a c]");
    EXPECT_EQ(sixty[24], "[b c d]");
    EXPECT_EQ(sixty[59], "[a c]");
}

TEST(PermutationText, KeywordBytesAreCarriedUnchanged) {
    // Blanks, delimiters inside keywords, duplicates, case, high bytes and NUL are all data.
    const std::string withNul("n\0l", 3);
    const KeywordList keywords = Keywords("  Blue ", "sa\"y [it]", "  Blue ", withNul);
    const std::string text = BuildPermutationText(keywords, kQuoteDelimiters, false);
    EXPECT_EQ(SplitLines(text)[0], std::string("\"  Blue  sa\"y [it]   Blue  n\0l\"", 31));
    EXPECT_EQ(text, reference::ExpectedText(keywords, kQuoteDelimiters, false));

    const KeywordList highBytes = Keywords("caf\xE9", "\xFF\x80", "   ");
    EXPECT_EQ(SplitLines(BuildPermutationText(highBytes, kBracketDelimiters, true)),
              (std::vector<std::string>{"[caf\xE9 \xFF\x80    ]", "[caf\xE9     \xFF\x80]",
                                        "[    caf\xE9 \xFF\x80]", "[    \xFF\x80 caf\xE9]",
                                        "[\xFF\x80     caf\xE9]", "[\xFF\x80 caf\xE9    ]",
                                        "[\xFF\x80    ]", "[    \xFF\x80]", "[caf\xE9 \xFF\x80]",
                                        "[\xFF\x80 caf\xE9]", "[    caf\xE9]", "[caf\xE9    ]"}));

    const std::string twins = BuildPermutationText(Keywords("x", "x"), kBracketDelimiters, true);
    EXPECT_EQ(twins, "[x x]\r\n[x x]");
}

TEST(PermutationText, LongKeywordsAreCopiedWhole) {
    const KeywordList keywords = Keywords(std::string(32768, 'a'), std::string(32768, 'b'),
                                          std::string(32768, 'c'), std::string(32768, 'd'));
    const std::string text = BuildPermutationText(keywords, kBracketDelimiters, true);
    EXPECT_EQ(text, reference::ExpectedText(keywords, kBracketDelimiters, true));
}

}  // namespace
