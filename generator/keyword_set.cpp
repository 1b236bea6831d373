#include "generator/keyword_set.h"

#include "generator/permutation_text.h"

int CountKeywords(const KeywordList& keywords) {
    if (keywords.words[2].empty()) return 2;
    return keywords.words[3].empty() ? 3 : 4;
}

MissingKeyword FindMissingKeyword(const KeywordList& keywords) {
    if (keywords.words[0].empty()) return MissingKeyword::kKeyword1;
    return keywords.words[1].empty() ? MissingKeyword::kKeyword2 : MissingKeyword::kNone;
}

size_t CountLines(const KeywordList& keywords, bool includeSubsets) {
    return PermutationOrderings(CountKeywords(keywords), includeSubsets).count;
}
