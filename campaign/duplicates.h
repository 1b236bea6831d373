#pragma once
// Duplicate phrases as Google Ads Editor judges them within an ad group: equal after case
// folding and with every run of blanks taken as one blank.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "campaign/growing_array.h"
#include "generator/permutation_text.h"
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

// An open-addressing hash table of 32-bit hashes: a slot whose `Occupied` is false is free.
// At most half full.
template <typename Slot>
struct HashSlots {
    Slot* slots = nullptr;
    uint32_t capacity = 0;  // a power of two
    uint32_t count = 0;
};

// A phrase written for an ad group: its kept set (an offset into WrittenPhrases::sets) and
// its ordering, an index into PermutationOrderings.
struct PhraseSlot {
    uint32_t hash;
    uint32_t set;  // 0 for a free slot
    uint32_t ordering;
};

// A campaign's ad group, an index into WrittenPhrases::groups plus one (0 for a free slot).
struct GroupSlot {
    uint32_t hash;
    uint32_t group;
};

// What an ad group keeps to answer for a set once it has more than one: its words' hashes
// (with the lowest bit set, so that none is 0) and the phrases of its sets that might be
// repeated.
struct GroupTables {
    HashSlots<uint32_t> words;
    HashSlots<PhraseSlot> phrases;
};

// A campaign's ad group and the sets kept for it, the newest first, each linked to the one
// before; sets are offsets into WrittenPhrases::sets, 0 for none.
struct GroupPhrases {
    uint32_t name;                // into WrittenPhrases::names
    uint32_t newestSet;
    uint32_t newestSetInPhrases;  // this set and those before it are in the phrases table
    uint32_t tables;              // into WrittenPhrases::tables plus one, 0 for none yet
};

// A keyword's comparable form summed up, so that the hash of any ordering of a set comes from
// its keywords' without reading their bytes again: a polynomial over the hashes of the words.
struct KeywordShape {
    uint64_t hash;
    uint64_t power;  // the polynomial's base to the number of words
    bool startsWithBlank, endsWithBlank;
    size_t wordsEnd;  // the end of this keyword's word hashes in the list of the set's words
};

// What --unique remembers over the whole input: every campaign's ad groups and the keyword sets
// they kept, in their comparable forms. A set is kept when at least one of its phrases was new,
// so memory grows with the distinct phrases written, at a few bytes each: a set that cannot
// repeat anything of its ad group (a word of each of all but one of its keywords is new there)
// is only stored, and the hash table of an ad group's phrases is filled only once a set could
// repeat one. A hash match is always confirmed on the comparable forms.
struct WrittenPhrases {
    HashSlots<GroupSlot> groupIndex;
    Array<GroupPhrases> groups;
    Array<GroupTables> tables;
    uint32_t lastGroup = 0;  // the group of the set before, plus one
    // Each group's campaign and ad group: their sizes (as in AppendSize), then their bytes.
    Array<char> names;
    // Kept sets: the next older set of the group (4 bytes), the keyword count (1 byte), the
    // forms' sizes and the forms. Offset 0 is none.
    Array<char> sets;
    // For the set at hand: its forms, and its keywords' shapes and word hashes; the same for a
    // kept set read again.
    Text forms;
    uint32_t formSizes[4] = {};
    KeywordShape shapes[4] = {};
    Array<uint64_t> words, keptWords;
    Text left, right;  // two phrases being compared
    // All ones; a test clears bits to make hashes collide.
    uint64_t hashMask = ~uint64_t{0};

    WrittenPhrases() = default;
    WrittenPhrases(const WrittenPhrases&) = delete;
    WrittenPhrases& operator=(const WrittenPhrases&) = delete;
    ~WrittenPhrases();
};

// Which of a keyword set's orderings (bit i for entry i of PermutationOrderings) the campaign's
// ad group has not had yet; those are remembered as written. includeSubsets must be the same
// for every set. False when memory cannot be had.
bool KeepNewOrderings(WrittenPhrases* written, std::string_view campaign, std::string_view adGroup,
                      const KeywordList& keywords, int keywordCount, bool includeSubsets, uint64_t* newOrderings);
