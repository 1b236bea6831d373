#include "generator/keyword_limits.h"

#include "support/text.h"

namespace {

// Which of kRefusedKeywordCharacters a byte is, as one bit; a table, since every byte of every
// keyword is looked up.
struct RefusedCharacterTable {
    uint32_t bits[256];
};

constexpr RefusedCharacterTable MakeRefusedCharacterTable() {
    RefusedCharacterTable table{};
    for (size_t c = 0; c < kRefusedKeywordCharacters.size(); ++c) {
        table.bits[static_cast<unsigned char>(kRefusedKeywordCharacters[c])] = 1u << c;
    }
    return table;
}

constexpr RefusedCharacterTable kRefusedCharacterBits = MakeRefusedCharacterTable();

}  // namespace

KeywordSize MeasureKeyword(std::string_view text) {
    KeywordSize size{0, 0, 0};
    bool inWord = false;
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const bool blank = c == ' ' || c == '\t';
        if (!blank && !inWord) ++size.words;
        size.refused |= kRefusedCharacterBits.bits[c];  // all of them ASCII, so never inside a sequence
        inWord = !blank;
        const size_t sequence = c < 0x80 ? 1 : Utf8SequenceLength(TextFrom(text, at));
        at += sequence ? sequence : 1;
        ++size.characters;
    }
    return size;
}

KeywordSize MeasurePhrase(const KeywordSize sizes[4], const KeywordOrdering& line) {
    KeywordSize phrase{line.count - 1u, 0, 0};
    for (size_t k = 0; k < line.count; ++k) {
        const KeywordSize& keyword = sizes[line.keywords[k]];
        phrase.characters += keyword.characters;
        phrase.words += keyword.words;
        phrase.refused |= keyword.refused;
    }
    return phrase;
}

PhraseVerdict JudgePhrase(const KeywordSize& phrase) {
    return {phrase.characters > kMaxKeywordCharacters, phrase.words > kMaxKeywordWords, phrase.refused};
}

PhraseVerdict JudgeMicrosoftPhrase(const KeywordSize& phrase) {
    return {phrase.characters > kMaxMicrosoftKeywordCharacters, false, 0};
}
