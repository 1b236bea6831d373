#include "campaign/word_lists.h"

#include "support/text.h"

namespace {

constexpr char kSeparator = '|';

std::string_view FirstAlternative(std::string_view field) {
    return field.substr(0, field.find(kSeparator));
}

}  // namespace

WordListRefusal StartWordLists(WordListOdometer* odometer, const std::string_view fields[4], int keywordCount,
                               int* refusedKeyword) {
    *odometer = WordListOdometer();
    odometer->keywordCount = keywordCount;
    size_t combinations = 1;
    for (int k = 0; k < keywordCount; ++k) {
        const std::string_view field = fields[k];
        size_t alternatives = 1;
        bool emptyAlternative = field.empty() || field.front() == kSeparator || field.back() == kSeparator;
        for (size_t at = field.find(kSeparator); at != std::string_view::npos; at = field.find(kSeparator, at + 1)) {
            ++alternatives;
            emptyAlternative |= at + 1 < field.size() && field[at + 1] == kSeparator;
        }
        if (emptyAlternative) {
            *refusedKeyword = k + 1;
            return WordListRefusal::kEmptyAlternative;
        }
        // Saturating: only whether the limit is passed matters.
        combinations = alternatives > kMaxCombinations / combinations ? kMaxCombinations + 1
                                                                       : combinations * alternatives;
        odometer->fields[k] = field;
        odometer->current[k] = FirstAlternative(field);
    }
    return combinations > kMaxCombinations ? WordListRefusal::kTooManyCombinations : WordListRefusal::kNone;
}

bool NextCombination(WordListOdometer* odometer) {
    for (int k = odometer->keywordCount - 1; k >= 0; --k) {
        const std::string_view field = odometer->fields[k];
        std::string_view& current = odometer->current[k];
        const size_t end = static_cast<size_t>(current.data() - field.data()) + current.size();
        if (end < field.size()) {
            current = FirstAlternative(TextFrom(field, end + 1));
            return true;
        }
        current = FirstAlternative(field);  // wraps, and the keyword before it moves on
    }
    return false;
}
