#include "campaign/duplicates.h"

#include <cstdlib>
#include <cstring>

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
constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

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

uint64_t HashStart(size_t size) {
    return (size + 1) * kMultiplier;
}

// Eight bytes at a time. Every match is confirmed on the bytes, so the hash only has to spread them.
uint64_t HashOf(std::string_view bytes) {
    uint64_t hash = HashStart(bytes.size());
    size_t at = 0;
    for (; bytes.size() - at >= 8; at += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, bytes.data() + at, 8);
        hash = HashStep(hash, chunk);
    }
    uint64_t tail = 0;
    for (size_t i = at; i < bytes.size(); ++i) tail = tail << 8 | static_cast<unsigned char>(bytes[i]);
    return Mix(hash ^ tail);
}

// HashOf a keyword's comparable form where that is its bytes in small letters, as for most
// keywords: one word of ASCII without blanks. False for any other keyword, which is folded first.
bool HashOfPlainWord(std::string_view keyword, uint64_t* hash) {
    if (keyword.empty()) return false;
    uint64_t h = HashStart(keyword.size());
    size_t at = 0;
    for (; keyword.size() - at >= 8; at += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, keyword.data() + at, 8);
        if (!IsPlainAscii(chunk)) return false;
        h = HashStep(h, LowerCaseAscii(chunk));
    }
    uint64_t tail = 0;
    for (size_t i = at; i < keyword.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(keyword[i]);
        if (byte >= 0x80 || byte == ' ' || byte == '\t') return false;
        tail = tail << 8 | (byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
    }
    *hash = Mix(h ^ tail);
    return true;
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
uint32_t HashIn(const PhraseSlot& slot) {
    return slot.hash;
}
uint32_t HashIn(const GroupSlot& slot) {
    return slot.hash;
}

// Where a hash's probe starts (its lowest bit marks the words' occupied slots).
template <typename Slot>
size_t StartOf(const HashSlots<Slot>& table, uint32_t hash) {
    return (hash >> 1) & (table.capacity - 1);
}

template <typename Slot>
size_t NextOf(const HashSlots<Slot>& table, size_t at) {
    return (at + 1) & (table.capacity - 1);
}

// Room for one more slot, the table at most half full; false when memory cannot be had.
// Growing a table costs more than its memory: an ad group's words start with room for many,
// and the ad groups' table grows four times at a time.
template <typename Slot>
bool MakeRoom(HashSlots<Slot>* table, uint32_t firstCapacity = 16, int growthShift = 1) {
    if ((size_t{table->count} + 1) * 2 <= table->capacity) return true;
    if (table->capacity >= uint32_t{1} << (31 - growthShift)) return false;
    const uint32_t capacity = table->capacity ? table->capacity << growthShift : firstCapacity;
    HashSlots<Slot> grown{static_cast<Slot*>(std::calloc(capacity, sizeof(Slot))), capacity, table->count};
    if (!grown.slots) return false;
    for (size_t i = 0; i < table->capacity; ++i) {
        const Slot& slot = table->slots[i];
        if (!Occupied(slot)) continue;
        size_t at = StartOf(grown, HashIn(slot));
        while (Occupied(grown.slots[at])) at = NextOf(grown, at);
        grown.slots[at] = slot;
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
constexpr uint32_t kNewestSet = 0, kTables = 4, kGroupName = 8;

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

uint32_t NewestSetOf(const WrittenPhrases& w, uint32_t group) {
    const uint32_t newest = Load(w, group + kNewestSet);
    return newest ? newest : NameOf(w, group).firstSet;
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
        if (keywords.words[k].empty()) continue;
        std::memcpy(at, keywords.words[k].data(), keywords.words[k].size());
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
uint32_t StoreSet(WrittenPhrases* w, uint32_t group, const KeywordList& keywords, int keywordCount) {
    const uint32_t at = RecordRoom(w, sizeof(uint32_t) + MostSetSize(keywords, keywordCount));
    if (!at) return 0;
    Store(w, at, NewestSetOf(*w, group));
    const uint32_t set = at + sizeof(uint32_t);
    w->records.count = static_cast<size_t>(PutSet(w->records.items + set, keywords, keywordCount) - w->records.items);
    Store(w, group + kNewestSet, set);
    return set;
}

// Whether text is the keywords joined by blanks.
bool IsJoinOf(std::string_view text, const std::string_view keywords[4], int keywordCount) {
    size_t at = 0;
    for (int k = 0; k < keywordCount; ++k) {
        if (k > 0 && (at == text.size() || text[at++] != ' ')) return false;
        if (text.size() - at < keywords[k].size() || std::string_view(text.data() + at, keywords[k].size()) != keywords[k]) {
            return false;
        }
        at += keywords[k].size();
    }
    return at == text.size();
}

bool IsNamed(const WrittenPhrases& w, uint32_t group, std::string_view campaign, std::string_view adGroup) {
    const GroupName name = NameOf(w, group);
    if (name.campaign != campaign) return false;
    if (!name.namedAfterKeywords) return name.adGroup == adGroup;
    std::string_view keywords[4];
    const int keywordCount = ReadSet(w, name.firstSet, keywords);
    return IsJoinOf(adGroup, keywords, keywordCount);
}

uint32_t HashOfGroup(const WrittenPhrases& w, std::string_view campaign, std::string_view adGroup) {
    return Narrow(w.hashMask & (Mix(HashOf(campaign) ^ kMultiplier) ^ HashOf(adGroup)));
}

// The campaign's ad group, or 0 when it is new; then *freeSlot is where it goes. False when
// memory cannot be had.
bool FindGroup(WrittenPhrases* w, std::string_view campaign, std::string_view adGroup, uint32_t hash,
               uint32_t* group, size_t* freeSlot) {
    if (!MakeRoom(&w->groupIndex, 16, 2)) return false;
    size_t at = StartOf(w->groupIndex, hash);
    for (; Occupied(w->groupIndex.slots[at]); at = NextOf(w->groupIndex, at)) {
        const GroupSlot& slot = w->groupIndex.slots[at];
        if (slot.hash == hash && IsNamed(*w, slot.group, campaign, adGroup)) {
            *group = slot.group;
            return true;
        }
    }
    *group = 0;
    *freeSlot = at;
    return true;
}

// A new group with the set at hand as its first; its offset, or 0 when memory cannot be had.
uint32_t AddGroup(WrittenPhrases* w, std::string_view campaign, std::string_view adGroup, bool namedAfterKeywords,
                  uint32_t hash, size_t slot, const KeywordList& keywords, int keywordCount) {
    const std::string_view storedName = namedAfterKeywords ? std::string_view() : adGroup;
    const uint32_t group = RecordRoom(
        w, kGroupName + 2 * kMostSizeBytes + campaign.size() + storedName.size() + MostSetSize(keywords, keywordCount));
    if (!group) return 0;
    Store(w, group + kNewestSet, 0);
    Store(w, group + kTables, 0);
    char* put = PutSize(w->records.items + group + kGroupName, campaign.size());
    put = PutSize(put, namedAfterKeywords ? 0 : adGroup.size() + 1);
    if (!campaign.empty()) std::memcpy(put, campaign.data(), campaign.size());
    put += campaign.size();
    if (!storedName.empty()) std::memcpy(put, storedName.data(), storedName.size());
    put += storedName.size();
    w->records.count = static_cast<size_t>(PutSet(put, keywords, keywordCount) - w->records.items);
    w->groupIndex.slots[slot] = {hash, group};
    ++w->groupIndex.count;
    return group;
}

// Each keyword's shape and, in order, its words' hashes. Keywords that are not one plain word
// are folded into *folded first. False when memory cannot be had.
bool DescribeKeywords(const std::string_view keywords[4], int keywordCount, uint64_t hashMask, Text* folded,
                      KeywordShape shapes[4], Array<uint64_t>* words) {
    words->count = 0;
    for (int k = 0; k < keywordCount; ++k) {
        KeywordShape& shape = shapes[k];
        uint64_t hash;
        if (HashOfPlainWord(keywords[k], &hash)) {
            if (!Push(words, hash & hashMask)) return false;
            shape = {hash & hashMask, kWordBase, false, false, words->count};
            continue;
        }
        folded->Resize(0);
        if (!ComparableForm{folded}.Append(keywords[k])) return false;
        const std::string_view form(folded->Data(), folded->Size());
        shape = {0, 1, !form.empty() && form.front() == ' ', !form.empty() && form.back() == ' ', 0};
        for (size_t at = 0; at < form.size();) {
            if (form[at] == ' ') {
                ++at;
                continue;
            }
            size_t end = at + 1;
            while (end < form.size() && form[end] != ' ') ++end;
            const uint64_t wordHash = hashMask & HashOf({form.data() + at, end - at});
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
    return DescribeKeywords(keywords, keywordCount, w->hashMask, &w->folded, shapes, &w->keptWords) ? keywordCount : -1;
}

// Whether no two phrases of a set can be equal: every keyword has a word and no word stands in
// two places. A set of many words is not compared word by word and counts as one that can.
bool WordsAllDiffer(const Array<uint64_t>& words, const KeywordShape shapes[4], int keywordCount) {
    constexpr size_t kMostWordsCompared = 32;
    if (words.count > kMostWordsCompared) return false;
    for (int k = 0; k < keywordCount; ++k) {
        if (shapes[k].wordsEnd == (k ? shapes[k - 1].wordsEnd : 0)) return false;
    }
    for (size_t i = 1; i < words.count; ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (words.items[i] == words.items[j]) return false;
        }
    }
    return true;
}

// Adds a set's words to its group's: how many of its keywords had every word there already,
// or -1 when memory cannot be had.
int AddWords(HashSlots<uint32_t>* table, const Array<uint64_t>& words, const KeywordShape shapes[4],
             int keywordCount) {
    int known = 0;
    size_t word = 0;
    for (int k = 0; k < keywordCount; ++k) {
        bool allThere = true;
        for (; word < shapes[k].wordsEnd; ++word) {
            if (!MakeRoom(table, 512)) return -1;
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

Insertion InsertPhrase(WrittenPhrases* w, HashSlots<PhraseSlot>* table, uint32_t hash, uint32_t set,
                       uint32_t ordering) {
    if (!MakeRoom(table)) return Insertion::kOutOfMemory;
    size_t at = StartOf(*table, hash);
    for (; Occupied(table->slots[at]); at = NextOf(*table, at)) {
        const PhraseSlot& slot = table->slots[at];
        if (slot.hash != hash) continue;
        if (!PhraseOf(*w, slot.set, slot.ordering, &w->left) || !PhraseOf(*w, set, ordering, &w->right)) {
            return Insertion::kOutOfMemory;
        }
        if (w->left == w->right) return Insertion::kWritten;
    }
    table->slots[at] = {hash, set, ordering};
    ++table->count;
    return Insertion::kNew;
}

// The group's tables, with the words of the sets it kept so far; null when memory cannot be had.
GroupTables* OpenTables(WrittenPhrases* w, uint32_t group) {
    if (!Push(&w->tables, GroupTables{})) return nullptr;
    Store(w, group + kTables, static_cast<uint32_t>(w->tables.count));
    GroupTables* tables = &w->tables.items[w->tables.count - 1];
    KeywordShape shapes[4];
    const uint32_t firstSet = NameOf(*w, group).firstSet;
    for (uint32_t set = NewestSetOf(*w, group); set; set = OlderSet(*w, firstSet, set)) {
        const int keywordCount = DescribeKeptSet(w, set, shapes);
        if (keywordCount < 0 || AddWords(&tables->words, w->keptWords, shapes, keywordCount) < 0) return nullptr;
    }
    return tables;
}

// Puts the phrases of the group's sets from `newest` on that are not yet in its table there.
bool AddPhrasesOfKeptSets(WrittenPhrases* w, uint32_t group, uint32_t newest, GroupTables* tables,
                          bool includeSubsets) {
    KeywordShape shapes[4];
    const uint32_t firstSet = NameOf(*w, group).firstSet;
    for (uint32_t set = newest; set != tables->newestSetInPhrases; set = OlderSet(*w, firstSet, set)) {
        const int keywordCount = DescribeKeptSet(w, set, shapes);
        if (keywordCount < 0) return false;
        uint32_t index = 0;
        for (const KeywordOrdering& line : PermutationOrderings(keywordCount, includeSubsets)) {
            const uint32_t hash = PhraseHash(shapes, line, w->hashMask);
            if (InsertPhrase(w, &tables->phrases, hash, set, index++) == Insertion::kOutOfMemory) return false;
        }
    }
    tables->newestSetInPhrases = newest;
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
    for (size_t t = 0; t < tables.count; ++t) {
        std::free(tables.items[t].words.slots);
        std::free(tables.items[t].phrases.slots);
    }
    std::free(tables.items);
    std::free(groupIndex.slots);
    std::free(records.items);
    std::free(name.items);
    std::free(words.items);
    std::free(keptWords.items);
}

bool KeepNewOrderings(WrittenPhrases* w, std::string_view campaign, std::string_view adGroup,
                      const KeywordList& keywords, int keywordCount, bool includeSubsets, uint64_t* newOrderings) {
    *newOrderings = ~uint64_t{0};
    const bool namedAfterKeywords = adGroup.empty() || IsJoinOf(adGroup, keywords.words.data(), keywordCount);
    if (adGroup.empty()) {
        w->name.count = 0;
        if (!Reserve(&w->name, MostSetSize(keywords, keywordCount))) return false;
        for (int k = 0; k < keywordCount; ++k) {
            if (k > 0) w->name.items[w->name.count++] = ' ';
            if (keywords.words[k].empty()) continue;
            std::memcpy(w->name.items + w->name.count, keywords.words[k].data(), keywords.words[k].size());
            w->name.count += keywords.words[k].size();
        }
        adGroup = {w->name.items, w->name.count};
    }
    // An ad group's lines mostly follow each other. A new one is looked up after the set's
    // words are hashed, which gives the memory time to come.
    const uint32_t groupHash = HashOfGroup(*w, campaign, adGroup);
    const bool sameGroup =
        w->lastGroup && groupHash == w->lastGroupHash && IsNamed(*w, w->lastGroup, campaign, adGroup);
    if (!sameGroup && w->groupIndex.slots) __builtin_prefetch(&w->groupIndex.slots[StartOf(w->groupIndex, groupHash)]);

    if (!DescribeKeywords(keywords.words.data(), keywordCount, w->hashMask, &w->folded, w->shapes, &w->words)) {
        return false;
    }

    uint32_t group = w->lastGroup;
    size_t freeSlot = 0;
    if (!sameGroup && !FindGroup(w, campaign, adGroup, groupHash, &group, &freeSlot)) return false;
    GroupTables* tables = nullptr;
    uint32_t set = 0;
    if (!group) {
        // A new group keeps the set as its first; only a set that repeats itself needs tables.
        group = AddGroup(w, campaign, adGroup, namedAfterKeywords, groupHash, freeSlot, keywords, keywordCount);
        if (!group) return false;
        w->lastGroup = group;
        w->lastGroupHash = groupHash;
        if (WordsAllDiffer(w->words, w->shapes, keywordCount)) return true;
        if (!(tables = OpenTables(w, group))) return false;
        set = NameOf(*w, group).firstSet;
    } else {
        w->lastGroup = group;
        w->lastGroupHash = groupHash;
        // A phrase holding a word its group never had is new there. So when a word of each of
        // all but one of the keywords is new, every phrase of the set is, and it is only stored.
        const uint32_t tablesIndex = Load(*w, group + kTables);
        if (!(tables = tablesIndex ? &w->tables.items[tablesIndex - 1] : OpenTables(w, group))) return false;
        const int known = AddWords(&tables->words, w->words, w->shapes, keywordCount);
        if (known < 0) return false;
        if (known < 2 && WordsAllDiffer(w->words, w->shapes, keywordCount)) {
            return StoreSet(w, group, keywords, keywordCount) != 0;
        }
        // Otherwise its phrases are looked up among all of the group's.
        if (!AddPhrasesOfKeptSets(w, group, NewestSetOf(*w, group), tables, includeSubsets)) return false;
        if (!(set = StoreSet(w, group, keywords, keywordCount))) return false;
    }
    uint64_t kept = 0;
    uint32_t index = 0;
    const OrderingList lines = PermutationOrderings(keywordCount, includeSubsets);
    for (const KeywordOrdering& line : lines) {
        const Insertion inserted = InsertPhrase(w, &tables->phrases, PhraseHash(w->shapes, line, w->hashMask), set, index);
        if (inserted == Insertion::kOutOfMemory) return false;
        if (inserted == Insertion::kNew) kept |= uint64_t{1} << index;
        ++index;
    }
    if (kept == 0) {
        // A set whose every phrase was written keeps nothing new (a group's first set always
        // does).
        const uint32_t older = Load(*w, set - sizeof(uint32_t));
        w->records.count = set - sizeof(uint32_t);
        Store(w, group + kNewestSet, older);
        *newOrderings = 0;
        return true;
    }
    tables->newestSetInPhrases = set;
    if (kept != (~uint64_t{0} >> (64 - lines.count))) *newOrderings = kept;
    return true;
}
