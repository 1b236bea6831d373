#include "campaign/keyword_limits.h"

#include "campaign/text_encoding.h"

KeywordSize MeasureKeyword(std::string_view text) {
    KeywordSize size{0, 0};
    bool inWord = false;
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const bool blank = c == ' ' || c == '\t';
        if (!blank && !inWord) ++size.words;
        inWord = !blank;
        const size_t sequence = c < 0x80 ? 1 : Utf8SequenceLength(TextFrom(text, at));
        at += sequence ? sequence : 1;
        ++size.characters;
    }
    return size;
}
