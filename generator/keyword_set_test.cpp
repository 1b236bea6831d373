#include "generator/keyword_set.h"

#include <gtest/gtest.h>

namespace {

TEST(KeywordSet, CountedKeywordsMissingKeywordAndLines) {
    const struct {
        KeywordList keywords;
        int counted;
        MissingKeyword missing;
        size_t lines, linesWithSubsets;
    } cases[] = {
        {{{"alpha", "beta"}}, 2, MissingKeyword::kNone, 2, 2},
        // Keyword 4 counts only after a keyword 3.
        {{{"alpha", "beta", "", "delta"}}, 2, MissingKeyword::kNone, 2, 2},
        {{{"a", "b", " "}}, 3, MissingKeyword::kNone, 6, 12},
        {{{"a", "b", "c", " "}}, 4, MissingKeyword::kNone, 24, 60},
        // Keyword 1 is named first, whatever else is missing; a blank is a keyword.
        {{{"", "", "c", "d"}}, 4, MissingKeyword::kKeyword1, 24, 60},
        {{{"", "b"}}, 2, MissingKeyword::kKeyword1, 2, 2},
        {{{"a", "", "c"}}, 3, MissingKeyword::kKeyword2, 6, 12},
        {{{" ", ""}}, 2, MissingKeyword::kKeyword2, 2, 2},
        {{{std::string_view("\0", 1), "b"}}, 2, MissingKeyword::kNone, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.keywords.words[0] << "\" \"" << c.keywords.words[1] << "\" \""
                                        << c.keywords.words[2] << "\" \"" << c.keywords.words[3] << '"');
        EXPECT_EQ(CountKeywords(c.keywords), c.counted);
        EXPECT_EQ(FindMissingKeyword(c.keywords), c.missing);
        EXPECT_EQ(CountLines(c.keywords, false), c.lines);
        EXPECT_EQ(CountLines(c.keywords, true), c.linesWithSubsets);
    }
}

}  // namespace
