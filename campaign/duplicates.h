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

// A phrase written for an ad group: the high bits of its hash, its ordering in the low six (an
// index into PermutationOrderings) and its kept set (an offset into WrittenPhrases::records); or
// a subset of a set of plain words, with its keywords in the low bits (bit k for keyword k).
struct PhraseSlot {
    uint32_t hashAndOrdering;
    uint32_t set;  // 0 for a free slot
};

// A campaign's ad group: the offset of its record in WrittenPhrases::records (0 for a free slot).
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
    uint32_t firstSet, newestSet;  // the sets it kept
    uint32_t newestSetInPhrases;   // this set and those before it are in phrases, 0 for none
    bool bySubset;                 // phrases holds subsets, as long as the group's sets are of plain words
    bool cameBack;                 // its lines were apart once: the tables are kept from then on
};

// The subsets of keywords the orderings of a keyword count hold: each one's keywords (bit k for
// keyword k) and its orderings (bit i for entry i of PermutationOrderings).
struct SubsetLines {
    size_t count;
    unsigned char masks[15];
    uint64_t lines[15];
};

// A keyword's comparable form summed up, so that the hash of any ordering of a set comes from
// its keywords' without reading their bytes again: a polynomial over the hashes of the words.
struct KeywordShape {
    uint64_t hash;
    uint64_t power;  // the polynomial's base to the number of words
    bool startsWithBlank, endsWithBlank;
    size_t wordsEnd;  // the end of this keyword's word hashes in the list of the set's words
    // The same over its bytes as they are, split at single blanks: an ad group named after
    // the keywords is hashed from these.
    uint64_t nameHash, namePower;
    bool plainWord;  // one word of ASCII without blanks
};

// What --unique remembers over the whole input: every campaign's ad groups and the keyword sets
// they kept, as they were given. A set is kept when at least one of its phrases was new, so
// memory grows with the distinct phrases written, at about a byte each: an ad group named after
// its keywords does not store its name; a set that cannot repeat anything of its ad group's
// earlier sets (a word of each of all but one of its keywords is new there) is only stored, even
// where its own phrases repeat each other; a group's tables for comparing are made only once it
// has a second set, its words start with room for two sets, and the hash table of its phrases is
// filled only once a set could repeat one; and the tables are given up when another group's
// lines follow, unless the group's lines were apart before (then they take up to about 20 bytes
// a phrase). While the group's sets are of one-word keywords, its table holds the subsets of
// words their orderings hold instead (11 for 60 orderings). A hash match is always confirmed on
// the comparable forms.
struct WrittenPhrases {
    HashSlots<GroupSlot> groupIndex;
    // Bits of the groups' hashes, two a group, in a table small enough to stay in the cache:
    // most groups are new, and a clear bit tells so without looking in the index.
    uint64_t* groupFilter = nullptr;
    int filterShift = 0;  // a hash shifted right by this is its word in the filter
    // New groups not in the index yet, which takes several at a time.
    static constexpr size_t kNewGroupsHeld = 32;
    GroupSlot newGroups[kNewGroupsHeld] = {};
    size_t newGroupCount = 0;
    Array<GroupTables> tables;
    uint32_t lastGroup = 0, lastGroupHash = 0;  // the group of the set before
    // Offset 0 is none. An ad group: its tables (4 bytes, an index into tables plus one, 0 for
    // none: a group has them from its second set on, or once its first repeats itself), the sizes of its
    // campaign and ad group (as in PutSize; the ad group's plus one, 0 when it is named after
    // the keywords of its first set), their bytes, then its first set. A later set: the set
    // kept before it in its group (4 bytes), then the set. A set: its keyword count (1 byte),
    // the keywords' sizes, then their bytes.
    Array<char> records;
    // For the set at hand: a keyword being folded, and its keywords' shapes and word hashes;
    // the same for a kept set read again.
    Text folded;
    KeywordShape shapes[4] = {};
    Array<uint64_t> words, keptWords;
    Text left, right;  // two phrases being compared
    SubsetLines subsetLines[5] = {};  // by keyword count, filled when first needed
    // Goes into every hash: the front ends take it from something a file made beforehand cannot
    // know, so that no file can be made to have its lines' hashes collide.
    uint64_t hashSeed = 0;
    // All ones; a test clears bits to make hashes collide.
    uint64_t hashMask = ~uint64_t{0};
    GroupTables setAlone = {};  // the phrases of one set, for a set compared with itself only

    WrittenPhrases() = default;
    WrittenPhrases(const WrittenPhrases&) = delete;
    WrittenPhrases& operator=(const WrittenPhrases&) = delete;
    ~WrittenPhrases();
};

// Which of a keyword set's orderings (bit i for entry i of PermutationOrderings) the campaign's
// ad group has not had yet; those are remembered as written. An empty ad group is named after
// the set's keywords, joined by blanks. includeSubsets must be the same for every set. False
// when memory cannot be had.
bool KeepNewOrderings(WrittenPhrases* written, std::string_view campaign, std::string_view adGroup,
                      const KeywordList& keywords, int keywordCount, bool includeSubsets, uint64_t* newOrderings);
