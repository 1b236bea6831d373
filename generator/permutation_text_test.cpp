#include "generator/permutation_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>

#include "tests/support/golden_cases.h"
#include "tests/support/reference_orderings.h"

namespace {

using reference::KeywordStore;
using reference::Ordering;

KeywordStore Keywords(std::string k1, std::string k2, std::string k3 = "", std::string k4 = "") {
    return KeywordStore{{std::move(k1), std::move(k2), std::move(k3), std::move(k4)}};
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
    const golden::WorkedExample example = golden::ReadWorkedExample();
    const golden::Keywords& words = example.keywords;
    const KeywordStore keywords = Keywords(words[0], words[1], words[2], words[3]);
    EXPECT_EQ(reference::BuiltText(keywords, kBracketDelimiters, true), golden::Joined(example.lines, "\r\n", false));
    std::vector<std::string> quoted = example.lines;
    for (std::string& line : quoted) line.front() = line.back() = '"';
    EXPECT_EQ(reference::BuiltText(keywords, kQuoteDelimiters, true), golden::Joined(quoted, "\r\n", false));
}

TEST(PermutationText, EveryTableMatchesItsStructuralRuleAndCoversEachOrderingOnce) {
    const KeywordStore keywordsByCount[] = {Keywords("k1", "k2"), Keywords("k1", "k2", "k3"),
                                           Keywords("k1", "k2", "k3", "k4")};
    for (const KeywordStore& keywords : keywordsByCount) {
        const int n = CountKeywords(keywords);
        SCOPED_TRACE(n);
        const std::vector<Ordering> full = ParseOrderings(reference::BuiltText(keywords, kBracketDelimiters, false));
        const std::vector<Ordering> withSubsets = ParseOrderings(reference::BuiltText(keywords, kBracketDelimiters, true));
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
    EXPECT_EQ(ParseOrderings(reference::BuiltText(keywordsByCount[2], kBracketDelimiters, true)).size(), 60u);
}

TEST(PermutationText, TextIgnoresKeyword4WithoutKeyword3) {
    const KeywordStore keywords = Keywords("alpha", "beta", "", "delta");
    for (bool subsets : {false, true}) {
        const std::string text = reference::BuiltText(keywords, kQuoteDelimiters, subsets);
        EXPECT_EQ(text, "\"alpha beta\"\r\n\"beta alpha\"");
        EXPECT_EQ(text.find("delta"), std::string::npos);
    }
}

TEST(PermutationText, LineJoinsHaveNoTrailingOrDoubledLineEnds) {
    const struct { KeywordStore keywords; bool subsets; size_t lines; } cases[] = {
        {Keywords("a", "b", "c"), false, 6},
        {Keywords("a", "b", "c"), true, 12},
        {Keywords("a", "b", "c", "d"), false, 24},
        {Keywords("a", "b", "c", "d"), true, 60},
    };
    for (const auto& c : cases) {
        const std::string text = reference::BuiltText(c.keywords, kBracketDelimiters, c.subsets);
        const std::vector<std::string> lines = SplitLines(text);
        EXPECT_EQ(lines.size(), c.lines);
        for (const std::string& line : lines) EXPECT_GE(line.size(), 5u) << "blank line in " << text;
        EXPECT_NE(text.back(), '\n');
        EXPECT_EQ(text.find("\r\n\r\n"), std::string::npos);
    }
    const std::vector<std::string> sixty =
        SplitLines(reference::BuiltText(Keywords("a", "b", "c", "d"), kBracketDelimiters, true));
    EXPECT_EQ(sixty[23], "[d b a c]");
    EXPECT_EQ(sixty[24], "[b c d]");
    EXPECT_EQ(sixty[59], "[a c]");
}

TEST(PermutationText, KeywordBytesAreCarriedUnchanged) {
    // Blanks, delimiters inside keywords, duplicates, case, high bytes and NUL are all data.
    const std::string withNul("n\0l", 3);
    const KeywordStore keywords = Keywords("  Blue ", "sa\"y [it]", "  Blue ", withNul);
    const std::string text = reference::BuiltText(keywords, kQuoteDelimiters, false);
    EXPECT_EQ(SplitLines(text)[0], std::string("\"  Blue  sa\"y [it]   Blue  n\0l\"", 31));
    EXPECT_EQ(text, reference::ExpectedText(keywords, kQuoteDelimiters, false));

    const KeywordStore highBytes = Keywords("caf\xE9", "\xFF\x80", "   ");
    EXPECT_EQ(SplitLines(reference::BuiltText(highBytes, kBracketDelimiters, true)),
              (std::vector<std::string>{"[caf\xE9 \xFF\x80    ]", "[caf\xE9     \xFF\x80]",
                                        "[    caf\xE9 \xFF\x80]", "[    \xFF\x80 caf\xE9]",
                                        "[\xFF\x80     caf\xE9]", "[\xFF\x80 caf\xE9    ]",
                                        "[\xFF\x80    ]", "[    \xFF\x80]", "[caf\xE9 \xFF\x80]",
                                        "[\xFF\x80 caf\xE9]", "[    caf\xE9]", "[caf\xE9    ]"}));

    const std::string twins = reference::BuiltText(Keywords("x", "x"), kBracketDelimiters, true);
    EXPECT_EQ(twins, "[x x]\r\n[x x]");
}

TEST(PermutationText, LongKeywordsAreCopiedWhole) {
    const KeywordStore keywords = Keywords(std::string(32768, 'a'), std::string(32768, 'b'),
                                          std::string(32768, 'c'), std::string(32768, 'd'));
    const std::string text = reference::BuiltText(keywords, kBracketDelimiters, true);
    EXPECT_EQ(text, reference::ExpectedText(keywords, kBracketDelimiters, true));
}

TEST(PermutationText, OrderingListsAreTheTextsLinesForEveryCountAndLayout) {
    const KeywordStore keywords = Keywords("k1", "k2", "k3", "k4");
    for (int n = 2; n <= 4; ++n) {
        for (bool subsets : {false, true}) {
            SCOPED_TRACE(testing::Message() << n << (subsets ? " with subsets" : ""));
            std::vector<Ordering> listed;
            for (const KeywordOrdering& line : PermutationOrderings(n, subsets)) {
                listed.emplace_back(line.keywords, line.keywords + line.count);
                for (int& k : listed.back()) ++k;
            }
            std::vector<Ordering> expected = reference::FullOrderings(n);
            if (subsets) {
                const std::vector<Ordering> more = reference::SubsetOrderings(n);
                expected.insert(expected.end(), more.begin(), more.end());
            }
            EXPECT_EQ(listed, expected);
        }
    }

    // Any line end, after the last line too: the window's text with other joins.
    const KeywordStore three = Keywords("blue", "running", "shoes");
    const struct {
        DelimiterPair delimiters;
        LineLayout layout;
    } formats[] = {{kBracketDelimiters, {"[", "]", "\n", true}},
                   {kQuoteDelimiters, {"\"", "\"", "\r\n", true}},
                   {kBracketDelimiters, {"[", "]", "\n", false}}};
    for (const auto& [delimiters, format] : formats) {
        std::string expected = reference::BuiltText(three, delimiters, true);
        for (size_t at = 0; (at = expected.find("\r\n", at)) != std::string::npos; at += format.lineEnd.size()) {
            expected.replace(at, 2, format.lineEnd);
        }
        if (format.endLastLine) expected += format.lineEnd;
        const size_t length = LaidOutTextLength(three, true, format);
        ASSERT_EQ(length, expected.size());
        std::string written(length + 1, '#');
        EXPECT_EQ(WriteLaidOutText(three, true, format, &written[0]), &written[0] + length);
        EXPECT_EQ(written, expected + '#');
    }
}

TEST(PermutationText, AnyLayoutAndKeywordLengthsAreWrittenExactlyIntoTheirOwnSize) {
    // Lengths on both sides of every size the writer treats differently, and layouts from none
    // at all to CSV rows with a long line start.
    const LineLayout layouts[] = {
        {"\"", "\"", "\n", true},
        {"[", "]", "\r\n", false},
        {"Spring sale,blue shoes,", ",Phrase", "\r\n", true},
        {"", "", "", false},
        {std::string_view("a campaign with a long name,and an ad group with a longer name still,\""), "\",Exact",
         "\n", false},
    };
    for (const size_t length : {1u, 2u, 7u, 8u, 13u, 14u, 15u, 16u, 17u, 29u, 30u, 31u, 32u, 33u, 61u, 62u,
                                63u, 64u, 65u, 200u}) {
        const KeywordStore keywords = Keywords(std::string(length, 'a'), std::string(length / 2 + 1, 'b'),
                                              std::string(length + 1, 'c'), std::string(length, 'd'));
        const KeywordStore three = Keywords(keywords.words[0], keywords.words[1], keywords.words[2]);
        const KeywordStore two = Keywords(keywords.words[0], keywords.words[1]);
        for (const KeywordStore* set : {&two, &three, &keywords}) {
            for (const LineLayout& layout : layouts) {
                for (bool subsets : {false, true}) {
                    SCOPED_TRACE(testing::Message() << "length " << length << ", " << CountKeywords(*set)
                                                    << " keywords, line start " << layout.lineStart.size()
                                                    << (subsets ? ", subsets" : ""));
                    const size_t size = LaidOutTextLength(*set, subsets, layout);
                    const std::string expected = reference::ExpectedLaidOutText(*set, subsets, layout);
                    ASSERT_EQ(size, expected.size());
                    // Exactly as large as the text, so that the sanitizer sees any byte past it.
                    const std::unique_ptr<char[]> text(new char[size]);
                    EXPECT_EQ(WriteLaidOutText(*set, subsets, layout, text.get()), text.get() + size);
                    EXPECT_EQ(std::string(text.get(), size), expected);
                }
            }
        }
    }
}

TEST(PermutationText, OnlyTheChosenLinesAreLaidOutTheLastOfThemEndedAsTheLayoutSays) {
    const LineLayout layouts[] = {{"[", "]", "\n", true}, {"\"", "\"", "\r\n", false}, {"", "", "", false}};
    const LineMask masks[] = {0, 1, LineMask{1} << 1, LineMask{1} << 59, 0x5555555555555555u, ~LineMask{1}, kAllLines};
    for (const size_t length : {1u, 16u, 65u}) {
        const KeywordStore four = Keywords(std::string(length, 'a'), "b", std::string(length + 1, 'c'), "d");
        const KeywordStore three = Keywords(four.words[0], four.words[1], four.words[2]);
        for (const KeywordStore* set : {&three, &four}) {
            for (const LineLayout& layout : layouts) {
                for (const LineMask mask : masks) {
                    SCOPED_TRACE(testing::Message() << "length " << length << ", " << CountKeywords(*set)
                                                    << " keywords, mask " << std::hex << mask);
                    const std::string expected = reference::ExpectedLaidOutText(*set, true, layout, mask);
                    const size_t size = LaidOutTextLength(*set, true, layout, mask);
                    ASSERT_EQ(size, expected.size());
                    const std::unique_ptr<char[]> text(new char[size]);
                    EXPECT_EQ(WriteLaidOutText(*set, true, layout, text.get(), mask), text.get() + size);
                    EXPECT_EQ(std::string(text.get(), size), expected);
                }
            }
        }
    }
}

TEST(PermutationText, TextsTooLongForMemoryGiveAnEmptyText) {
    // Only the sizes are read before the length is known, so no such keyword need exist.
    const char* anywhere = "k";
    const size_t huge = static_cast<size_t>(-1) / 100;
    const KeywordList tooLong{{std::string_view(anywhere, huge), std::string_view(anywhere, huge),
                               std::string_view(anywhere, huge), std::string_view(anywhere, huge)}};
    EXPECT_EQ(LaidOutTextLength(tooLong, true, {"\"", "\"", kClipboardLineEnd, false}), kPermutationTextTooLong);
    EXPECT_TRUE(BuildPermutationText(tooLong, kQuoteDelimiters, true).IsEmpty());

    // Memory refused for a text of ordinary size: empty as well, and nothing half-built.
    SetTextAllocator([](size_t) -> void* { return nullptr; });
    const Text refused = BuildPermutationText(Keywords("blue", "running", "shoes"), kBracketDelimiters, true);
    SetTextAllocator(nullptr);
    EXPECT_TRUE(refused.IsEmpty());
    EXPECT_EQ(reference::BuiltText(Keywords("a", "b"), kBracketDelimiters, false), "[a b]\r\n[b a]");
}

}  // namespace
