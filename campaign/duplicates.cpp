#include "campaign/duplicates.h"

#include <cstdlib>
#include <cstring>

#include "campaign/eight_bytes.h"
#include "campaign/text_encoding.h"

namespace {

bool InRange(uint32_t codePoint, uint32_t first, uint32_t last) {
    return codePoint >= first && codePoint <= last;
}

// Latin Extended-A, Cyrillic's extended letters: capitals on the even or the odd code points
// of a range, each followed by its small letter.
uint32_t FoldPair(uint32_t codePoint, uint32_t first, uint32_t last, bool capitalsEven) {
    if (!InRange(codePoint, first, last) || (codePoint % 2 == 0) != capitalsEven) return 0;
    return codePoint + 1;
}

// Eight bytes at a time, for the common keyword: bytes of ASCII that are no blanks.
bool HasZeroByte(uint64_t chunk) {
    return ((chunk - kEveryByte) & ~chunk & kHighBits) != 0;
}

bool IsPlainAscii(uint64_t chunk) {
    return !(chunk & kHighBits) && !HasZeroByte(chunk ^ (kEveryByte * ' ')) && !HasZeroByte(chunk ^ (kEveryByte * '\t'));
}

// Bytes below 0x80, so that no addition carries into the next byte.
uint64_t LowerCaseAscii(uint64_t chunk) {
    const uint64_t fromA = chunk + kEveryByte * (0x80 - 'A');
    const uint64_t pastZ = chunk + kEveryByte * (0x80 - 'Z' - 1);
    return chunk | ((fromA & ~pastZ & kHighBits) >> 2);
}

uint32_t Load4(const char* at) {
    uint32_t chunk;
    std::memcpy(&chunk, at, 4);
    return chunk;
}

// Keywords and names are mostly a few bytes long, where a call to the library's memcmp costs
// more than the bytes: compared in words, the last one overlapping the one before.
bool SameBytes(std::string_view a, std::string_view b) {
    const size_t size = a.size();
    if (size != b.size()) return false;
    if (size >= 8) {
        for (size_t at = 0; at + 8 < size; at += 8) {
            if (EightBytesAt(a.data() + at) != EightBytesAt(b.data() + at)) return false;
        }
        return EightBytesAt(a.data() + size - 8) == EightBytesAt(b.data() + size - 8);
    }
    if (size >= 4) {
        return Load4(a.data()) == Load4(b.data()) && Load4(a.data() + size - 4) == Load4(b.data() + size - 4);
    }
    return size == 0 || (a[0] == b[0] && a[size / 2] == b[size / 2] && a[size - 1] == b[size - 1]);
}

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
// The base of the polynomial over a phrase's word hashes: odd, so that no power of it is 0.
constexpr uint64_t kWordBase = 0xD6E8FEB86659FD93ull;

// A bijection that spreads every bit over the high and the low ones.
uint64_t Mix(uint64_t x) {
    x ^= x >> 32;
    x *= kMultiplier;
    return x ^ (x >> 29);
}

// One step of HashOf: eight bytes, one multiplication.
uint64_t HashStep(uint64_t hash, uint64_t chunk) {
    hash = (hash ^ chunk) * kMultiplier;
    return hash ^ (hash >> 29);
}

// A run's seed goes into every hash, so that lines made to collide under one run's hashes do
// not under another's.
uint64_t HashStart(size_t size, uint64_t seed) {
    return (size + 1) * kMultiplier ^ seed;
}

// The last one to eight bytes of a text, the first in the lowest byte, read without reading
// past them and without a branch on each byte: keywords are mostly shorter than eight bytes.
uint64_t LoadTail(const char* at, size_t size) {
    if (size >= 4) return Load4(at) | uint64_t{Load4(at + size - 4)} << (size - 4) * 8;
    const auto byte = [&](size_t i) { return uint64_t{static_cast<unsigned char>(at[i])} << i * 8; };
    return byte(0) | byte(size / 2) | byte(size - 1);
}

// Eight bytes at a time. Every match is confirmed on the bytes, so the hash only has to spread them.
uint64_t HashOf(std::string_view bytes, uint64_t seed) {
    uint64_t hash = HashStart(bytes.size(), seed);
    size_t at = 0;
    for (; bytes.size() - at > 8; at += 8) hash = HashStep(hash, EightBytesAt(bytes.data() + at));
    const uint64_t tail = at < bytes.size() ? LoadTail(bytes.data() + at, bytes.size() - at) : 0;
    return Mix(hash ^ tail);
}

// HashOf a keyword's comparable form where that is its bytes in small letters, as for most
// keywords: one word of ASCII without blanks; *hadCapitals tells whether that differs from its
// bytes. False for any other keyword, which is folded first.
bool HashOfPlainWord(std::string_view keyword, uint64_t seed, uint64_t* hash, bool* hadCapitals) {
    if (keyword.empty()) return false;
    uint64_t h = HashStart(keyword.size(), seed);
    uint64_t capitals = 0;
    size_t at = 0;
    for (uint64_t chunk;; at += 8) {
        const bool last = keyword.size() - at <= 8;
        chunk = last ? LoadTail(keyword.data() + at, keyword.size() - at) : EightBytesAt(keyword.data() + at);
        if (!IsPlainAscii(chunk)) return false;
        const uint64_t lower = LowerCaseAscii(chunk);
        capitals |= lower ^ chunk;
        if (last) {
            *hash = Mix(h ^ lower);
            break;
        }
        h = HashStep(h, lower);
    }
    *hadCapitals = capitals != 0;
    return true;
}

// The hashes of text's pieces between single blanks, in order, as a polynomial; *power is the
// base to their number. An ad group's name is hashed so, so that a group named after its
// keywords gets its hash from theirs.
uint64_t HashOfPieces(std::string_view text, uint64_t seed, uint64_t* power) {
    uint64_t hash = 0;
    *power = 1;
    for (size_t start = 0;;) {
        size_t end = start;
        while (end < text.size() && text[end] != ' ') ++end;
        hash = hash * kWordBase + HashOf({text.data() + start, end - start}, seed);
        *power *= kWordBase;
        if (end == text.size()) return hash;
        start = end + 1;
    }
}

// What the tables keep of a hash.
uint32_t Narrow(uint64_t hash) {
    return static_cast<uint32_t>(hash >> 32);
}

bool Occupied(uint32_t slot) {
    return slot != 0;
}
bool Occupied(const PhraseSlot& slot) {
    return slot.set != 0;
}
bool Occupied(const GroupSlot& slot) {
    return slot.group != 0;
}
uint32_t HashIn(uint32_t slot) {
    return slot;
}
// The bits of a phrase's slot that hold its ordering (there are at most 60) or its keywords.
constexpr uint32_t kOrderingBits = 63;
uint32_t HashIn(const PhraseSlot& slot) {
    return slot.hashAndOrdering & ~kOrderingBits;
}
uint32_t HashIn(const GroupSlot& slot) {
    return slot.hash;
}

// Where a hash's probe starts: its place in the table's order of hashes, so that a grown table
// is filled from start to end rather than all over (the words' table marks occupied slots with
// a hash's lowest bit).
template <typename Slot>
size_t StartOf(const HashSlots<Slot>& table, uint32_t hash) {
    return static_cast<size_t>((uint64_t{hash} * table.capacity) >> 32);
}

template <typename Slot>
size_t NextOf(const HashSlots<Slot>& table, size_t at) {
    return (at + 1) & (table.capacity - 1);
}

// Puts a slot in the first free place of its probe.
template <typename Slot>
void PutSlot(HashSlots<Slot>* table, const Slot& slot) {
    size_t at = StartOf(*table, HashIn(slot));
    while (Occupied(table->slots[at])) at = NextOf(*table, at);
    table->slots[at] = slot;
    ++table->count;
}

// What else is made as a table grows: nothing.
struct NothingAlongside {
    bool Start(uint32_t /*capacity*/) { return true; }
    template <typename Slot>
    void Add(const Slot& /*slot*/) {}
};

// Room for `more` slots, the table at most half full, or four in five slots taken where lookups
// are few (`dense`); false when memory cannot be had. A table is made or grown to at least
// `leastCapacity` slots, and doubles as it grows. Slots are in the order of their hashes, so a
// grown table fills from start to end. `alongside` is started with the new capacity and given
// every slot as it moves.
template <typename Slot, typename Alongside = NothingAlongside>
bool MakeRoom(HashSlots<Slot>* table, size_t more, uint32_t leastCapacity = 16, bool dense = false,
              Alongside alongside = {}) {
    const auto fits = [&](size_t capacity) {
        const size_t taken = size_t{table->count} + more;
        return dense ? taken * 5 <= capacity * 4 : taken * 2 <= capacity;
    };
    if (table->slots && fits(table->capacity)) return true;
    uint32_t capacity = table->capacity > leastCapacity ? table->capacity : leastCapacity;
    while (!fits(capacity)) {
        if (capacity >= uint32_t{1} << 30) return false;
        capacity <<= 1;
    }
    HashSlots<Slot> grown{static_cast<Slot*>(std::calloc(capacity, sizeof(Slot))), capacity, 0};
    if (!grown.slots || !alongside.Start(capacity)) {
        std::free(grown.slots);
        return false;
    }
    for (size_t i = 0; i < table->capacity; ++i) {
        if (!Occupied(table->slots[i])) continue;
        PutSlot(&grown, table->slots[i]);
        alongside.Add(table->slots[i]);
    }
    std::free(table->slots);
    *table = grown;
    return true;
}

// Sizes in the records: seven bits a byte, the high bit set on all bytes but the last.
char* PutSize(char* at, size_t size) {
    for (; size >= 0x80; size >>= 7) *at++ = static_cast<char>(size | 0x80);
    *at++ = static_cast<char>(size);
    return at;
}

const char* GetSize(const char* at, size_t* size) {
    *size = 0;
    for (int shift = 0;; shift += 7) {
        const unsigned char byte = static_cast<unsigned char>(*at++);
        *size |= size_t{byte & 0x7Fu} << shift;
        if (byte < 0x80) return at;
    }
}

constexpr size_t kMostSizeBytes = (sizeof(size_t) * 8 + 6) / 7;

uint32_t Load(const WrittenPhrases& w, uint32_t at) {
    uint32_t value;
    std::memcpy(&value, w.records.items + at, sizeof value);
    return value;
}

void Store(WrittenPhrases* w, uint32_t at, uint32_t value) {
    std::memcpy(w->records.items + at, &value, sizeof value);
}

// Where a group record's fields stand.
constexpr uint32_t kTables = 0, kGroupName = 4;

// A group's campaign and ad group, as stored (the ad group has no size when it is named after
// the keywords of the group's first set); where its first set starts.
struct GroupName {
    std::string_view campaign, adGroup;
    bool namedAfterKeywords;
    uint32_t firstSet;
};

GroupName NameOf(const WrittenPhrases& w, uint32_t group) {
    const char* start = w.records.items + group + kGroupName;
    size_t campaignSize, adGroupSize;
    const char* at = GetSize(GetSize(start, &campaignSize), &adGroupSize);
    const size_t storedSize = adGroupSize ? adGroupSize - 1 : 0;
    GroupName name{{at, campaignSize}, {at + campaignSize, storedSize}, adGroupSize == 0, 0};
    name.firstSet = static_cast<uint32_t>(at + campaignSize + storedSize - w.records.items);
    return name;
}

// The set kept before `set` in its group, 0 when it is the group's first.
uint32_t OlderSet(const WrittenPhrases& w, uint32_t firstSet, uint32_t set) {
    return set == firstSet ? 0 : Load(w, set - sizeof(uint32_t));
}

// A kept set's keyword count and keywords.
int ReadSet(const WrittenPhrases& w, uint32_t set, std::string_view keywords[4]) {
    const char* at = w.records.items + set;
    const int keywordCount = *at++;
    size_t sizes[4];
    for (int k = 0; k < keywordCount; ++k) at = GetSize(at, &sizes[k]);
    for (int k = 0; k < keywordCount; ++k) {
        keywords[k] = {at, sizes[k]};
        at += sizes[k];
    }
    return keywordCount;
}

size_t MostSetSize(const KeywordList& keywords, int keywordCount) {
    size_t size = 1 + kMostSizeBytes * keywordCount;
    for (int k = 0; k < keywordCount; ++k) size += keywords.words[k].size();
    return size;
}

char* PutSet(char* at, const KeywordList& keywords, int keywordCount) {
    *at++ = static_cast<char>(keywordCount);
    for (int k = 0; k < keywordCount; ++k) at = PutSize(at, keywords.words[k].size());
    for (int k = 0; k < keywordCount; ++k) {
        CopyShort(at, keywords.words[k].data(), keywords.words[k].size());
        at += keywords.words[k].size();
    }
    return at;
}

// Room for `size` more bytes of records, their offsets within 32 bits; the offset they start
// at (never 0), or 0 when memory cannot be had.
uint32_t RecordRoom(WrittenPhrases* w, size_t size) {
    const size_t at = w->records.count ? w->records.count : 1;  // offset 0 is none
    if (at + size > UINT32_MAX || !Reserve(&w->records, at + size - w->records.count)) return 0;
    w->records.count = at;
    return static_cast<uint32_t>(at);
}

// The set at hand stored as the newest of its group; its offset, or 0 when memory cannot be had.
uint32_t StoreSet(WrittenPhrases* w, GroupTables* tables, const KeywordList& keywords, int keywordCount) {
    const uint32_t at = RecordRoom(w, sizeof(uint32_t) + MostSetSize(keywords, keywordCount));
    if (!at) return 0;
    Store(w, at, tables->newestSet);
    const uint32_t set = at + sizeof(uint32_t);
    w->records.count = static_cast<size_t>(PutSet(w->records.items + set, keywords, keywordCount) - w->records.items);
    tables->newestSet = set;
    return set;
}

// Keywords joined by blanks, read a byte at a time.
struct JoinReader {
    const std::string_view* keywords;
    int count, k = 0;
    size_t at = 0;

    int Next() {  // -1 at the end
        if (k == count) return -1;
        if (at < keywords[k].size()) return static_cast<unsigned char>(keywords[k][at++]);
        at = 0;
        return ++k == count ? -1 : ' ';
    }
};

// Whether two lists of keywords joined by blanks are the same text.
bool SameJoin(const std::string_view* a, int aCount, const std::string_view* b, int bCount) {
    bool sameKeywords = aCount == bCount;
    for (int k = 0; sameKeywords && k < aCount; ++k) sameKeywords = SameBytes(a[k], b[k]);
    if (sameKeywords) return true;
    JoinReader left{a, aCount}, right{b, bCount};
    for (;;) {
        const int byte = left.Next();
        if (byte != right.Next()) return false;
        if (byte < 0) return true;
    }
}

// The ad group of the set at hand: an empty name stands for the keywords joined by blanks.
struct GroupAtHand {
    std::string_view campaign, adGroup;
    const std::string_view* keywords;
    int keywordCount;
};

bool IsNamed(const WrittenPhrases& w, uint32_t group, const GroupAtHand& at) {
    const GroupName name = NameOf(w, group);
    if (!SameBytes(name.campaign, at.campaign)) return false;
    std::string_view stored[4];
    int storedCount = 1;
    if (name.namedAfterKeywords) {
        storedCount = ReadSet(w, name.firstSet, stored);
    } else {
        stored[0] = name.adGroup;
    }
    if (at.adGroup.empty()) return SameJoin(stored, storedCount, at.keywords, at.keywordCount);
    return SameJoin(stored, storedCount, &at.adGroup, 1);
}

uint32_t HashOfGroup(const WrittenPhrases& w, const GroupAtHand& at) {
    uint64_t pieces = 0, power;
    if (!at.adGroup.empty()) {
        pieces = HashOfPieces(at.adGroup, w.hashSeed, &power);
    } else {
        for (int k = 0; k < at.keywordCount; ++k) pieces = pieces * w.shapes[k].namePower + w.shapes[k].nameHash;
    }
    return Narrow(w.hashMask & (Mix(HashOf(at.campaign, w.hashSeed) ^ kMultiplier) ^ Mix(pieces)));
}

// Whether the filter has both bits of a group's hash: a group without them is new.
bool MightHaveGroup(const WrittenPhrases& w, uint32_t hash) {
    const uint64_t bits = uint64_t{1} << (hash & 63) | uint64_t{1} << (hash >> 6 & 63);
    return (w.groupFilter[hash >> w.filterShift] & bits) == bits;
}

void AddToFilter(WrittenPhrases* w, uint32_t hash) {
    w->groupFilter[hash >> w->filterShift] |= uint64_t{1} << (hash & 63) | uint64_t{1} << (hash >> 6 & 63);
}

// The filter made again as the index grows: a byte for each slot, eight bits for each group or
// more.
struct FilterRemade {
    WrittenPhrases* w;

    bool Start(uint32_t capacity) {
        auto* filter = static_cast<uint64_t*>(std::calloc(capacity / 8, sizeof(uint64_t)));
        if (!filter) return false;
        std::free(w->groupFilter);
        w->groupFilter = filter;
        w->filterShift = 32 + 3;
        for (uint32_t size = capacity; size > 1; size >>= 1) --w->filterShift;
        for (size_t i = 0; i < w->newGroupCount; ++i) AddToFilter(w, w->newGroups[i].hash);
        return true;
    }
    void Add(const GroupSlot& slot) { AddToFilter(w, slot.hash); }
};

// Room in the index for `more` groups: the filter keeps most lookups out of it. False when
// memory cannot be had.
bool MakeRoomForGroups(WrittenPhrases* w, size_t more) {
    return MakeRoom(&w->groupIndex, more, 1024, true, FilterRemade{w});
}

// The new groups put in the index, several at a time, so that waiting for the memory of one
// slot overlaps with waiting for the others'. False when memory cannot be had.
bool IndexNewGroups(WrittenPhrases* w) {
    if (!MakeRoomForGroups(w, w->newGroupCount)) return false;
    for (size_t i = 0; i < w->newGroupCount; ++i) {
        __builtin_prefetch(&w->groupIndex.slots[StartOf(w->groupIndex, w->newGroups[i].hash)], 1);
    }
    for (size_t i = 0; i < w->newGroupCount; ++i) PutSlot(&w->groupIndex, w->newGroups[i]);
    w->newGroupCount = 0;
    return true;
}

// The campaign's ad group, or 0 when it is new. False when memory cannot be had.
bool FindGroup(WrittenPhrases* w, const GroupAtHand& groupAtHand, uint32_t hash, uint32_t* group) {
    *group = 0;
    if (!w->groupFilter || !MightHaveGroup(*w, hash)) return true;
    if (!IndexNewGroups(w)) return false;
    for (size_t at = StartOf(w->groupIndex, hash); Occupied(w->groupIndex.slots[at]); at = NextOf(w->groupIndex, at)) {
        const GroupSlot& slot = w->groupIndex.slots[at];
        if (slot.hash == hash && IsNamed(*w, slot.group, groupAtHand)) {
            *group = slot.group;
            return true;
        }
    }
    return true;
}

// A new group with the set at hand as its first; its offset, or 0 when memory cannot be had.
uint32_t AddGroup(WrittenPhrases* w, std::string_view campaign, std::string_view adGroup, bool namedAfterKeywords,
                  uint32_t hash, const KeywordList& keywords, int keywordCount) {
    if (w->newGroupCount == WrittenPhrases::kNewGroupsHeld && !IndexNewGroups(w)) return 0;
    if (!MakeRoomForGroups(w, w->newGroupCount + 1)) return 0;
    const std::string_view storedName = namedAfterKeywords ? std::string_view() : adGroup;
    const uint32_t group = RecordRoom(
        w, kGroupName + 2 * kMostSizeBytes + campaign.size() + storedName.size() + MostSetSize(keywords, keywordCount));
    if (!group) return 0;
    Store(w, group + kTables, 0);
    char* put = PutSize(w->records.items + group + kGroupName, campaign.size());
    put = PutSize(put, namedAfterKeywords ? 0 : adGroup.size() + 1);
    CopyShort(put, campaign.data(), campaign.size());
    CopyShort(put + campaign.size(), storedName.data(), storedName.size());
    put += campaign.size() + storedName.size();
    w->records.count = static_cast<size_t>(PutSet(put, keywords, keywordCount) - w->records.items);
    w->newGroups[w->newGroupCount++] = {hash, group};
    AddToFilter(w, hash);
    return group;
}

// Each keyword's shape and, in order, its words' hashes. Keywords that are not one plain word
// are folded into *folded first. False when memory cannot be had.
bool DescribeKeywords(const std::string_view keywords[4], int keywordCount, uint64_t seed, uint64_t hashMask,
                      Text* folded, KeywordShape shapes[4], Array<uint64_t>* words) {
    words->count = 0;
    for (int k = 0; k < keywordCount; ++k) {
        KeywordShape& shape = shapes[k];
        uint64_t hash;
        bool hadCapitals;
        if (HashOfPlainWord(keywords[k], seed, &hash, &hadCapitals)) {
            if (!Push(words, hash & hashMask)) return false;
            shape = {hash & hashMask, kWordBase, false, false, words->count, hash, kWordBase, true};
            if (hadCapitals) shape.nameHash = HashOf(keywords[k], seed);
            continue;
        }
        folded->Resize(0);
        if (!ComparableForm{folded}.Append(keywords[k])) return false;
        const std::string_view form(folded->Data(), folded->Size());
        shape = {0, 1, !form.empty() && form.front() == ' ', !form.empty() && form.back() == ' ', 0, 0, 1, false};
        shape.nameHash = HashOfPieces(keywords[k], seed, &shape.namePower);
        for (size_t at = 0; at < form.size();) {
            if (form[at] == ' ') {
                ++at;
                continue;
            }
            size_t end = at + 1;
            while (end < form.size() && form[end] != ' ') ++end;
            const uint64_t wordHash = hashMask & HashOf({form.data() + at, end - at}, seed);
            if (!Push(words, wordHash)) return false;
            shape.hash = shape.hash * kWordBase + wordHash;
            shape.power *= kWordBase;
            at = end;
        }
        shape.wordsEnd = words->count;
    }
    return true;
}

// A kept set's shapes and word hashes, in w->keptWords; its keyword count, or -1 when memory
// cannot be had.
int DescribeKeptSet(WrittenPhrases* w, uint32_t set, KeywordShape shapes[4]) {
    std::string_view keywords[4];
    const int keywordCount = ReadSet(*w, set, keywords);
    return DescribeKeywords(keywords, keywordCount, w->hashSeed, w->hashMask, &w->folded, shapes, &w->keptWords)
               ? keywordCount
               : -1;
}

// Whether no two phrases of a set can be equal: every keyword has a word, and no two keywords
// start with the same word. Two orderings that read the same part where they first differ, at
// two keywords that start at the same word. Where each keyword is one word, that is whether the
// words all differ.
bool PhrasesAllDiffer(const Array<uint64_t>& words, const KeywordShape shapes[4], int keywordCount) {
    uint64_t firstWords[4];
    for (int k = 0; k < keywordCount; ++k) {
        const size_t first = k ? shapes[k - 1].wordsEnd : 0;
        if (shapes[k].wordsEnd == first) return false;
        firstWords[k] = words.items[first];
        for (int before = 0; before < k; ++before) {
            if (firstWords[before] == firstWords[k]) return false;
        }
    }
    return true;
}

// Adds a set's words to its group's: how many of its keywords had every word there already,
// or -1 when memory cannot be had.
int AddWords(HashSlots<uint32_t>* table, const Array<uint64_t>& words, const KeywordShape shapes[4],
             int keywordCount) {
    // Most ad groups are small, but growing costs more than the memory: a group's words start
    // with room for two sets, and a group that has more takes room for many at once.
    if (!MakeRoom(table, words.count, table->slots ? 512 : 32)) return -1;
    int known = 0;
    size_t word = 0;
    for (int k = 0; k < keywordCount; ++k) {
        bool allThere = true;
        for (; word < shapes[k].wordsEnd; ++word) {
            const uint32_t marked = Narrow(words.items[word]) | 1;
            size_t at = StartOf(*table, marked);
            while (Occupied(table->slots[at]) && table->slots[at] != marked) at = NextOf(*table, at);
            if (Occupied(table->slots[at])) continue;
            table->slots[at] = marked;
            ++table->count;
            allThere = false;
        }
        known += allThere;
    }
    return known;
}

// The hash of one ordering of a set, from its keywords' shapes.
uint32_t PhraseHash(const KeywordShape shapes[4], const KeywordOrdering& line, uint64_t hashMask) {
    uint64_t hash = 0;
    for (size_t k = 0; k < line.count; ++k) hash = hash * shapes[line.keywords[k]].power + shapes[line.keywords[k]].hash;
    const uint64_t blanks = (shapes[line.keywords[0]].startsWithBlank ? 1 : 0) |
                            (shapes[line.keywords[line.count - 1]].endsWithBlank ? 2 : 0);
    return Narrow(hashMask & Mix(hash ^ blanks));
}

// One ordering of a kept set in its comparable form.
bool PhraseOf(const WrittenPhrases& w, uint32_t set, uint32_t ordering, Text* out) {
    std::string_view keywords[4];
    const KeywordOrdering& line = PermutationOrderings(ReadSet(w, set, keywords), true).entries[ordering];
    out->Resize(0);
    ComparableForm form{out};
    for (size_t k = 0; k < line.count; ++k) {
        if ((k > 0 && !form.Append(" ")) || !form.Append(keywords[line.keywords[k]])) return false;
    }
    return true;
}

enum class Insertion { kNew, kWritten, kOutOfMemory };

// Whether two texts of plain ASCII are the same in small letters.
bool SameInSmallLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    size_t at = 0;
    for (; a.size() - at > 8; at += 8) {
        if (LowerCaseAscii(EightBytesAt(a.data() + at)) != LowerCaseAscii(EightBytesAt(b.data() + at))) return false;
    }
    return at == a.size() || LowerCaseAscii(LoadTail(a.data() + at, a.size() - at)) ==
                                 LowerCaseAscii(LoadTail(b.data() + at, b.size() - at));
}

// Whether the keywords in two masks of two kept sets of plain words are the same words in
// any order.
bool SameWords(const WrittenPhrases& w, uint32_t set, unsigned mask, uint32_t otherSet, unsigned otherMask) {
    std::string_view keywords[4], others[4];
    ReadSet(w, set, keywords);
    ReadSet(w, otherSet, others);
    if (__builtin_popcount(mask) != __builtin_popcount(otherMask)) return false;
    for (int k = 0; k < 4; ++k) {
        if (!(mask >> k & 1)) continue;
        int match = 0;
        while (match < 4 && !(otherMask >> match & 1 && SameInSmallLetters(keywords[k], others[match]))) ++match;
        if (match == 4) return false;
        otherMask &= ~(1u << match);
    }
    return true;
}

// Puts a phrase in its group's table, or where the table holds subsets of plain words, a
// subset (`ordering` then the mask of its keywords); a hash match is confirmed on the words.
Insertion InsertPhrase(WrittenPhrases* w, HashSlots<PhraseSlot>* table, bool bySubset, uint32_t hash, uint32_t set,
                       uint32_t ordering) {
    if (!MakeRoom(table, 1, 256)) return Insertion::kOutOfMemory;
    const PhraseSlot phrase{(hash & ~kOrderingBits) | ordering, set};
    size_t at = StartOf(*table, HashIn(phrase));
    for (; Occupied(table->slots[at]); at = NextOf(*table, at)) {
        const PhraseSlot& slot = table->slots[at];
        if (HashIn(slot) != HashIn(phrase)) continue;
        const uint32_t slotOrdering = slot.hashAndOrdering & kOrderingBits;
        if (bySubset) {
            if (SameWords(*w, slot.set, slotOrdering, set, ordering)) return Insertion::kWritten;
            continue;
        }
        if (!PhraseOf(*w, slot.set, slotOrdering, &w->left) || !PhraseOf(*w, set, ordering, &w->right)) {
            return Insertion::kOutOfMemory;
        }
        if (w->left == w->right) return Insertion::kWritten;
    }
    table->slots[at] = phrase;
    ++table->count;
    return Insertion::kNew;
}

// The keywords an ordering holds, bit k for keyword k.
unsigned MaskOf(const KeywordOrdering& line) {
    unsigned mask = 0;
    for (size_t k = 0; k < line.count; ++k) mask |= 1u << line.keywords[k];
    return mask;
}

// The subsets of keywords a set's orderings hold, each with its orderings (bit i for entry i of
// PermutationOrderings), worked out once for each keyword count.
const SubsetLines& SubsetsOf(WrittenPhrases* w, int keywordCount, bool includeSubsets) {
    SubsetLines& subsets = w->subsetLines[keywordCount];
    if (subsets.count) return subsets;
    size_t index = 0;
    for (const KeywordOrdering& line : PermutationOrderings(keywordCount, includeSubsets)) {
        const unsigned mask = MaskOf(line);
        size_t at = 0;
        while (at < subsets.count && subsets.masks[at] != mask) ++at;
        if (at == subsets.count) subsets.masks[subsets.count++] = static_cast<unsigned char>(mask);
        subsets.lines[at] |= uint64_t{1} << index++;
    }
    return subsets;
}

// The hash of some of a set's keywords whatever their order: their hashes summed.
uint32_t SubsetHash(const KeywordShape shapes[4], unsigned mask, uint64_t hashMask) {
    uint64_t sum = static_cast<uint64_t>(__builtin_popcount(mask));
    for (int k = 0; k < 4; ++k) {
        if (mask >> k & 1) sum += Mix(shapes[k].hash ^ kMultiplier);
    }
    return Narrow(hashMask & Mix(sum));
}

// Whether a set whose phrases all differ is of plain words. Its phrases are then the orderings of
// subsets of its words, and a phrase of such sets was written when its words were all in one
// set before: the group's table holds these subsets, about a fifth of the orderings.
bool AllPlainWords(const KeywordShape shapes[4], int keywordCount) {
    for (int k = 0; k < keywordCount; ++k) {
        if (!shapes[k].plainWord) return false;
    }
    return true;
}

// From a set of other keywords on, the group's table holds each ordering: its kept sets are
// put there again.
void HoldOrderings(GroupTables* tables) {
    std::free(tables->phrases.slots);
    tables->phrases = {};
    tables->newestSetInPhrases = 0;
    tables->bySubset = false;
}

// Puts the words of the group's kept sets in its table of words. False when memory cannot be had.
bool RememberWords(WrittenPhrases* w, GroupTables* tables) {
    KeywordShape shapes[4];
    for (uint32_t set = tables->newestSet; set; set = OlderSet(*w, tables->firstSet, set)) {
        const int keywordCount = DescribeKeptSet(w, set, shapes);
        if (keywordCount < 0 || AddWords(&tables->words, w->keptWords, shapes, keywordCount) < 0) return false;
    }
    return true;
}

// The group's tables, null for a group that has none yet (it has one set).
GroupTables* TablesOf(WrittenPhrases* w, uint32_t group) {
    const uint32_t index = Load(*w, group + kTables);
    return index ? &w->tables.items[index - 1] : nullptr;
}

// The group's tables, with the words of its first set; null when memory cannot be had.
GroupTables* OpenTables(WrittenPhrases* w, uint32_t group) {
    const uint32_t firstSet = NameOf(*w, group).firstSet;
    if (!Push(&w->tables, GroupTables{{}, {}, firstSet, firstSet, 0, true, false})) return nullptr;
    Store(w, group + kTables, static_cast<uint32_t>(w->tables.count));
    GroupTables* tables = &w->tables.items[w->tables.count - 1];
    return RememberWords(w, tables) ? tables : nullptr;
}

// The lines of another group follow the group's. Most groups' lines all follow each other, so
// its tables are given up, unless its lines were apart before: memory holds the tables of the
// group at hand and of groups whose lines are apart, and the next group's tables take over
// memory the cache holds. A group that comes back has them made again from its kept sets.
void SetAside(WrittenPhrases* w, uint32_t group) {
    GroupTables* tables = TablesOf(w, group);
    if (!tables || tables->cameBack) return;
    std::free(tables->words.slots);
    tables->words = {};
    HoldOrderings(tables);
    tables->bySubset = true;  // decided again from its sets when they are put back
}

// A group that comes back after another's lines: its tables are kept from now on, and their
// words put back if they were given up. False when memory cannot be had.
bool TakeBack(WrittenPhrases* w, uint32_t group) {
    GroupTables* tables = TablesOf(w, group);
    if (!tables) return true;
    tables->cameBack = true;
    return tables->words.slots || RememberWords(w, tables);
}

// Every ordering of a keyword count (bit i for entry i of PermutationOrderings).
uint64_t AllOrderings(int keywordCount, bool includeSubsets) {
    return ~uint64_t{0} >> (64 - PermutationOrderings(keywordCount, includeSubsets).count);
}

// Puts a kept set's phrases in its group's table, or its subsets where the table holds those;
// *newLines gets the orderings that were new there (bit i for entry i of PermutationOrderings).
// False when memory cannot be had.
bool PutPhrases(WrittenPhrases* w, GroupTables* tables, uint32_t set, const KeywordShape shapes[4], int keywordCount,
                bool includeSubsets, uint64_t* newLines) {
    *newLines = 0;
    if (tables->bySubset) {
        // A subset's orderings are new or written together.
        const SubsetLines& subsets = SubsetsOf(w, keywordCount, includeSubsets);
        for (size_t i = 0; i < subsets.count; ++i) {
            const uint32_t hash = SubsetHash(shapes, subsets.masks[i], w->hashMask);
            const Insertion inserted = InsertPhrase(w, &tables->phrases, true, hash, set, subsets.masks[i]);
            if (inserted == Insertion::kOutOfMemory) return false;
            if (inserted == Insertion::kNew) *newLines |= subsets.lines[i];
        }
        return true;
    }
    uint32_t index = 0;
    for (const KeywordOrdering& line : PermutationOrderings(keywordCount, includeSubsets)) {
        const uint32_t hash = PhraseHash(shapes, line, w->hashMask);
        const Insertion inserted = InsertPhrase(w, &tables->phrases, false, hash, set, index);
        if (inserted == Insertion::kOutOfMemory) return false;
        if (inserted == Insertion::kNew) *newLines |= uint64_t{1} << index;
        ++index;
    }
    return true;
}

// Puts the phrases of the group's sets that are not yet in its table there.
bool AddPhrasesOfKeptSets(WrittenPhrases* w, GroupTables* tables, bool includeSubsets) {
    KeywordShape shapes[4];
    for (uint32_t set = tables->newestSet; set != tables->newestSetInPhrases;) {
        const int keywordCount = DescribeKeptSet(w, set, shapes);
        if (keywordCount < 0) return false;
        if (tables->bySubset &&
            !(AllPlainWords(shapes, keywordCount) && PhrasesAllDiffer(w->keptWords, shapes, keywordCount))) {
            HoldOrderings(tables);  // and every kept set put there again
            set = tables->newestSet;
            continue;
        }
        uint64_t newLines;
        if (!PutPhrases(w, tables, set, shapes, keywordCount, includeSubsets, &newLines)) return false;
        set = OlderSet(*w, tables->firstSet, set);
    }
    tables->newestSetInPhrases = tables->newestSet;
    return true;
}

// Which of the stored set's phrases are new in its group's table, which then has them; a set
// with none is taken back from the records. False when memory cannot be had.
bool KeepNewPhrases(WrittenPhrases* w, GroupTables* tables, uint32_t set, int keywordCount, bool includeSubsets,
                    uint64_t* newOrderings) {
    uint64_t kept;
    if (!PutPhrases(w, tables, set, w->shapes, keywordCount, includeSubsets, &kept)) return false;
    if (kept == 0) {
        // A set whose every phrase was written keeps nothing new (a group's first set always
        // does).
        tables->newestSet = Load(*w, set - sizeof(uint32_t));
        w->records.count = set - sizeof(uint32_t);
        *newOrderings = 0;
        return true;
    }
    tables->newestSetInPhrases = set;
    if (kept != AllOrderings(keywordCount, includeSubsets)) *newOrderings = kept;
    return true;
}

// Which orderings of a stored set are not repeats of one another, for a set that repeats no
// phrase of its group's: its group needs no tables for it. The table is the set's alone, emptied
// again. False when memory cannot be had.
bool KeepOrderingsNewInSet(WrittenPhrases* w, uint32_t set, int keywordCount, bool includeSubsets,
                           uint64_t* newOrderings) {
    GroupTables* alone = &w->setAlone;
    uint64_t kept;
    const bool put = PutPhrases(w, alone, set, w->shapes, keywordCount, includeSubsets, &kept);
    if (alone->phrases.slots) std::memset(alone->phrases.slots, 0, alone->phrases.capacity * sizeof(PhraseSlot));
    alone->phrases.count = 0;
    if (!put) return false;
    if (kept != AllOrderings(keywordCount, includeSubsets)) *newOrderings = kept;
    return true;
}

}  // namespace

uint32_t FoldCase(uint32_t c) {
    if (c < 0x80) return InRange(c, 'A', 'Z') ? c + 32 : c;
    if (InRange(c, 0xC0, 0xDE) && c != 0xD7) return c + 32;
    if (c == 0xB5) return 0x3BC;  // the micro sign folds to mu
    if (c < 0x100) return c;
    if (c <= 0x17F) {
        if (c == 0x130) return 'i';
        if (c == 0x178) return 0xFF;
        if (c == 0x17F) return 's';
        if (const uint32_t small = FoldPair(c, 0x100, 0x137, true)) return small;
        if (const uint32_t small = FoldPair(c, 0x139, 0x148, false)) return small;
        if (const uint32_t small = FoldPair(c, 0x14A, 0x177, true)) return small;
        if (const uint32_t small = FoldPair(c, 0x179, 0x17E, false)) return small;
        return c;
    }
    if (InRange(c, 0x370, 0x3FF)) {
        if (c == 0x386) return 0x3AC;
        if (InRange(c, 0x388, 0x38A)) return c + 37;
        if (c == 0x38C) return 0x3CC;
        if (InRange(c, 0x38E, 0x38F)) return c + 63;
        if (InRange(c, 0x391, 0x3AB) && c != 0x3A2) return c + 32;
        if (c == 0x3C2) return 0x3C3;  // final sigma
        return c;
    }
    if (InRange(c, 0x400, 0x52F)) {
        if (c <= 0x40F) return c + 80;
        if (c <= 0x42F) return c + 32;
        if (c == 0x4C0) return 0x4CF;
        if (const uint32_t small = FoldPair(c, 0x460, 0x481, true)) return small;
        if (const uint32_t small = FoldPair(c, 0x48A, 0x4BF, true)) return small;
        if (const uint32_t small = FoldPair(c, 0x4C1, 0x4CE, false)) return small;
        if (const uint32_t small = FoldPair(c, 0x4D0, 0x52F, true)) return small;
    }
    return c;
}

bool ComparableForm::Append(std::string_view text) {
    // Gathered on the stack and appended in pieces: a keyword is folded for every set.
    char folded[256];
    size_t used = 0;
    for (size_t at = 0; at < text.size();) {
        if (used + 8 > sizeof folded) {
            if (!out->Append({folded, used})) return false;
            used = 0;
        }
        uint64_t chunk;
        if (text.size() - at >= 8 && (std::memcpy(&chunk, text.data() + at, 8), IsPlainAscii(chunk))) {
            chunk = LowerCaseAscii(chunk);
            std::memcpy(folded + used, &chunk, 8);
            used += 8;
            at += 8;
            afterBlank = false;
            continue;
        }
        const unsigned char lead = static_cast<unsigned char>(text[at]);
        if (lead == ' ' || lead == '\t') {
            if (!afterBlank) folded[used++] = ' ';
            afterBlank = true;
            ++at;
            continue;
        }
        afterBlank = false;
        if (lead < 0x80) {
            folded[used++] = static_cast<char>(FoldCase(lead));
            ++at;
            continue;
        }
        const size_t length = Utf8SequenceLength(TextFrom(text, at));
        if (length == 0) {  // a byte that is no UTF-8 is kept as it is
            folded[used++] = static_cast<char>(lead);
            ++at;
            continue;
        }
        uint32_t codePoint = lead & (0xFF >> (length + 1));
        for (size_t i = 1; i < length; ++i) codePoint = (codePoint << 6) | (text[at + i] & 0x3F);
        used += EncodeUtf8(FoldCase(codePoint), folded + used);
        at += length;
    }
    return out->Append({folded, used});
}

WrittenPhrases::~WrittenPhrases() {
    std::free(setAlone.phrases.slots);
    for (size_t t = 0; t < tables.count; ++t) {
        std::free(tables.items[t].words.slots);
        std::free(tables.items[t].phrases.slots);
    }
    std::free(tables.items);
    std::free(groupIndex.slots);
    std::free(groupFilter);
    std::free(records.items);
    std::free(words.items);
    std::free(keptWords.items);
}

bool KeepNewOrderings(WrittenPhrases* w, std::string_view campaign, std::string_view adGroup,
                      const KeywordList& keywords, int keywordCount, bool includeSubsets, uint64_t* newOrderings) {
    *newOrderings = ~uint64_t{0};
    if (!DescribeKeywords(keywords.words.data(), keywordCount, w->hashSeed, w->hashMask, &w->folded, w->shapes,
                          &w->words)) {
        return false;
    }
    const GroupAtHand groupAtHand{campaign, adGroup, keywords.words.data(), keywordCount};
    // An ad group's lines mostly follow each other: a named one is compared with the group of
    // the set before as it is, one named after its keywords by its hash, which comes from theirs.
    uint32_t group = w->lastGroup;
    uint32_t groupHash = adGroup.empty() ? HashOfGroup(*w, groupAtHand) : 0;
    const bool sameGroup =
        group && (!adGroup.empty() || groupHash == w->lastGroupHash) && IsNamed(*w, group, groupAtHand);
    if (!sameGroup) {
        if (w->lastGroup) SetAside(w, w->lastGroup);
        if (!adGroup.empty()) groupHash = HashOfGroup(*w, groupAtHand);
        if (!FindGroup(w, groupAtHand, groupHash, &group)) return false;
        w->lastGroupHash = groupHash;
        if (!group) {
            // A new group keeps the set as its first; only a set that repeats itself needs tables.
            const bool namedAfterKeywords = adGroup.empty() || SameJoin(&adGroup, 1, keywords.words.data(), keywordCount);
            group = AddGroup(w, campaign, adGroup, namedAfterKeywords, groupHash, keywords, keywordCount);
            if (!(w->lastGroup = group)) return false;
            return PhrasesAllDiffer(w->words, w->shapes, keywordCount) ||
                   KeepOrderingsNewInSet(w, NameOf(*w, group).firstSet, keywordCount, includeSubsets, newOrderings);
        }
        if (!TakeBack(w, group)) return false;
        w->lastGroup = group;
    }
    // A phrase holding a word its group never had is new there. So when a word of each of all
    // but one of the keywords is new, no phrase of the set was written before, and it is only
    // stored; its orderings are compared with each other where its words repeat.
    GroupTables* tables = TablesOf(w, group);
    if (!tables) tables = OpenTables(w, group);
    if (!tables) return false;
    const int known = AddWords(&tables->words, w->words, w->shapes, keywordCount);
    if (known < 0) return false;
    const bool phrasesDiffer = PhrasesAllDiffer(w->words, w->shapes, keywordCount);
    if (known < 2) {
        const uint32_t set = StoreSet(w, tables, keywords, keywordCount);
        return set && (phrasesDiffer || KeepOrderingsNewInSet(w, set, keywordCount, includeSubsets, newOrderings));
    }
    // Otherwise its phrases are looked up among all of the group's.
    if (tables->bySubset && !(phrasesDiffer && AllPlainWords(w->shapes, keywordCount))) HoldOrderings(tables);
    if (!AddPhrasesOfKeptSets(w, tables, includeSubsets)) return false;
    const uint32_t set = StoreSet(w, tables, keywords, keywordCount);
    return set && KeepNewPhrases(w, tables, set, keywordCount, includeSubsets, newOrderings);
}
