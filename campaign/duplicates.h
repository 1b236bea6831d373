#pragma once
// Duplicate phrases as Google Ads Editor judges them within an ad group: equal after case
// folding and with every run of blanks taken as one blank.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/text.h"

// The code point in the case it is compared in: the simple case folding of ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters; every other code point is itself.
uint32_t FoldCase(uint32_t codePoint);

// Appends text in the form it is compared in: case folded where it is valid UTF-8 (other bytes
// are kept as they are), a run of blanks or tabs as one blank, also across the pieces of one
// phrase. False when memory cannot be had.
struct ComparableForm {
    Text* out;
    bool afterBlank = false;
    bool Append(std::string_view text);
};

// The comparable forms of one ad group's phrases: an open-addressing hash set. Memory grows
// with the largest group and is kept from group to group.
struct PhraseSet {
    struct Slot {
        uint64_t hash;
        uint32_t offset;  // of the form in `forms`, plus one; 0 for an empty slot
        uint32_t length;
    };
    Text forms;
    Slot* slots = nullptr;
    size_t capacity = 0;  // a power of two
    size_t count = 0;

    PhraseSet() = default;
    PhraseSet(const PhraseSet&) = delete;
    PhraseSet& operator=(const PhraseSet&) = delete;
    ~PhraseSet();
};

enum class PhraseInsert { kNew, kPresent, kOutOfMemory };

PhraseInsert InsertPhrase(PhraseSet* set, std::string_view form);
void ClearPhrases(PhraseSet* set);
