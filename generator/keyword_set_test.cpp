#include "generator/keyword_set.h"

#include <gtest/gtest.h>

#include "tests/support/golden_cases.h"

namespace {

TEST(KeywordSet, CountedKeywordsAndMissingKeyword) {
    const struct {
        KeywordList keywords;
        int counted;
        MissingKeyword missing;
    } cases[] = {
        {{{"alpha", "beta"}}, 2, MissingKeyword::kNone},
        // Keyword 4 counts only after a keyword 3.
        {{{"alpha", "beta", "", "delta"}}, 2, MissingKeyword::kNone},
        {{{"a", "b", " "}}, 3, MissingKeyword::kNone},
        {{{"a", "b", "c", " "}}, 4, MissingKeyword::kNone},
        // Keyword 1 is named first, whatever else is missing; a blank is a keyword.
        {{{"", "", "c", "d"}}, 4, MissingKeyword::kKeyword1},
        {{{"", "b"}}, 2, MissingKeyword::kKeyword1},
        {{{"a", "", "c"}}, 3, MissingKeyword::kKeyword2},
        {{{" ", ""}}, 2, MissingKeyword::kKeyword2},
        {{{std::string_view("\0", 1), "b"}}, 2, MissingKeyword::kNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.keywords.words[0] << "\" \"" << c.keywords.words[1] << "\" \""
                                        << c.keywords.words[2] << "\" \"" << c.keywords.words[3] << '"');
        EXPECT_EQ(CountKeywords(c.keywords), c.counted);
        EXPECT_EQ(FindMissingKeyword(c.keywords), c.missing);
    }
}

TEST(KeywordSet, LinesOfTheGoldenCases) {
    for (const golden::LineCount& c : golden::ReadLineCounts()) {
        const KeywordList keywords{{c.keywords[0], c.keywords[1], c.keywords[2], c.keywords[3]}};
        SCOPED_TRACE(testing::Message() << '"' << c.keywords[0] << "\" \"" << c.keywords[1] << "\" \""
                                        << c.keywords[2] << "\" \"" << c.keywords[3] << '"');
        EXPECT_EQ(CountLines(keywords, false), c.lines);
        EXPECT_EQ(CountLines(keywords, true), c.linesWithSubsets);
    }
    // A NUL byte is data like any other, which the text file cannot hold.
    EXPECT_EQ(CountLines({{std::string_view("\0", 1), "b"}}, true), 2u);
}

}  // namespace
