#include "generator/keyword_limits.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(KeywordLimits, CountsUtf8CharactersAndBlankSeparatedWords) {
    const auto characters = [](std::string_view text) { return MeasureKeyword(text).characters; };
    const auto words = [](std::string_view text) { return MeasureKeyword(text).words; };
    EXPECT_EQ(characters("running shoes"), 13u);
    EXPECT_EQ(characters("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x91\x9F"), 8u);  // café € 👟
    // Bytes that are no valid UTF-8 count one each: Latin-1, a lone continuation byte, an
    // overlong form, a surrogate, a cut sequence, a code point past U+10FFFF.
    EXPECT_EQ(characters("caf\xE9"), 4u);
    EXPECT_EQ(characters("\x80"), 1u);
    EXPECT_EQ(characters("\xC0\xAF"), 2u);
    EXPECT_EQ(characters("\xED\xA0\x80"), 3u);
    EXPECT_EQ(characters("\xE2\x82"), 2u);
    EXPECT_EQ(characters("\xF4\x90\x80\x80"), 4u);
    EXPECT_EQ(characters(std::string_view("a\0b", 3)), 3u);

    EXPECT_EQ(words("running shoes"), 2u);
    EXPECT_EQ(words("  two \t  words  "), 2u);
    EXPECT_EQ(words("   "), 0u);
    EXPECT_EQ(words(""), 0u);
    EXPECT_EQ(words("one"), 1u);

    // A phrase's size is its keywords' sizes plus the joining blanks.
    const std::string keywords[] = {" lead", "mid\xC3\xA9 ", "  ", "x\xE2\x82"};
    std::string phrase;
    KeywordSize sum{3, 0, 0};
    for (const std::string& keyword : keywords) {
        phrase += (phrase.empty() ? "" : " ") + keyword;
        sum.characters += MeasureKeyword(keyword).characters;
        sum.words += MeasureKeyword(keyword).words;
        sum.refused |= MeasureKeyword(keyword).refused;
    }
    EXPECT_EQ(MeasureKeyword(phrase).characters, sum.characters);
    EXPECT_EQ(MeasureKeyword(phrase).words, sum.words);
    EXPECT_EQ(MeasureKeyword(phrase).refused, sum.refused);
    KeywordSize sizes[4];
    for (size_t k = 0; k < 4; ++k) sizes[k] = MeasureKeyword(keywords[k]);
    const KeywordSize joined = MeasurePhrase(sizes, {4, {0, 1, 2, 3}});
    EXPECT_EQ(joined.characters, sum.characters);
    EXPECT_EQ(joined.words, sum.words);
}

TEST(KeywordLimits, VerdictOnEachLimitAndTheRefusedCharacters) {
    const std::string eighty(80, 'x');
    const struct {
        std::string phrase;
        bool tooManyCharacters, tooManyWords;
        std::string refused;  // in kRefusedKeywordCharacters' order
    } cases[] = {
        {"running shoes", false, false, ""},
        {eighty, false, false, ""},
        {eighty + "x", true, false, ""},
        {"a b c d e f g h i j", false, false, ""},
        {"a b c d e f g h i j k", false, true, ""},
        {eighty + " b c d e f g h i j k", true, true, ""},
        {"shoes! size (42)", false, false, "!()"},
        {"|a\\b ~ | !", false, false, "!~\\|"},
        {"caf\xC3\xA9 \xE2\x82\xAC", false, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.phrase);
        const PhraseVerdict verdict = JudgePhrase(MeasureKeyword(c.phrase));
        EXPECT_EQ(verdict.tooManyCharacters, c.tooManyCharacters);
        EXPECT_EQ(verdict.tooManyWords, c.tooManyWords);
        std::string refused;
        for (size_t r = 0; r < kRefusedKeywordCharacters.size(); ++r) {
            if (verdict.refused >> r & 1) refused += kRefusedKeywordCharacters[r];
        }
        EXPECT_EQ(refused, c.refused);
        EXPECT_EQ(verdict.Accepted(), !c.tooManyCharacters && !c.tooManyWords && c.refused.empty());
    }
}

}  // namespace
