// Random keywords, delimiters, layouts and subsets flag against the structural invariants.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>

#include "generator/permutation_text.h"
#include "tests/support/reference_orderings.h"

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}

size_t CountLines(const std::string& text) {
    size_t lines = 1;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    return lines;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const DelimiterPair delimiters = input.ConsumeBool() ? kQuoteDelimiters : kBracketDelimiters;
    const bool subsets = input.ConsumeBool();
    const std::string lineStart = input.ConsumeRandomLengthString(80);
    const std::string lineFinish = input.ConsumeRandomLengthString(16);
    const std::string lineEnd = input.ConsumeRandomLengthString(4);
    const LineLayout layout{lineStart, lineFinish, lineEnd, input.ConsumeBool()};
    reference::KeywordStore keywords;
    for (std::string& word : keywords.words) word = input.ConsumeRandomLengthString(64);
    // The caller never passes an empty keyword 1 or 2.
    for (int k = 0; k < 2; ++k) {
        if (keywords.words[k].empty()) keywords.words[k] = "k";
    }

    const std::string text = reference::BuiltText(keywords, delimiters, subsets);
    const int n = CountKeywords(keywords);
    Require(n == reference::KeywordCount(keywords));
    Require(text == reference::ExpectedText(keywords, delimiters, subsets));
    Require(text.front() == delimiters.open && text.back() == delimiters.close);

    bool lineEndsInKeywords = false;
    for (const std::string& word : keywords.words) {
        lineEndsInKeywords |= word.find('\r') != std::string::npos || word.find('\n') != std::string::npos;
    }
    if (!lineEndsInKeywords) {
        const size_t expected[] = {0, 0, 2, subsets ? 12u : 6u, subsets ? 60u : 24u};
        Require(CountLines(text) == expected[n]);
    }

    // Any layout, written into a buffer of exactly the text's size.
    const size_t length = LaidOutTextLength(keywords, subsets, layout);
    const std::unique_ptr<char[]> laidOut(new char[length]);
    Require(WriteLaidOutText(keywords, subsets, layout, laidOut.get()) == laidOut.get() + length);
    Require(std::string(laidOut.get(), length) == reference::ExpectedLaidOutText(keywords, subsets, layout));
    return 0;
}
