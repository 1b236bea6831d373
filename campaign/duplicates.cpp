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

// Eight bytes at a time. Every match is confirmed on the bytes, so the hash only has to
// spread them.
uint64_t HashOf(std::string_view bytes) {
    uint64_t hash = Mix(bytes.size() + kMultiplier);
    size_t at = 0;
    for (; bytes.size() - at >= 8; at += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, bytes.data() + at, 8);
        hash = Mix(hash ^ chunk);
    }
    uint64_t tail = 0;
    for (size_t i = at; i < bytes.size(); ++i) tail = tail << 8 | static_cast<unsigned char>(bytes[i]);
    return Mix(hash ^ tail);
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
// Growing a table costs more than its memory: an ad group's words start with room for many.
template <typename Slot>
bool MakeRoom(HashSlots<Slot>* table, uint32_t firstCapacity = 16) {
    if ((size_t{table->count} + 1) * 2 <= table->capacity) return true;
    if (table->capacity >= uint32_t{1} << 30) return false;
    const uint32_t capacity = table->capacity ? table->capacity * 2 : firstCapacity;
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

// Sizes in the names and sets: seven bits a byte, the high bit set on all bytes but the last.
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

uint32_t NextSet(const WrittenPhrases& w, uint32_t set) {
    uint32_t next;
    std::memcpy(&next, w.sets.items + set, sizeof next);
    return next;
}

// A kept set's keyword count and forms.
int ReadSet(const WrittenPhrases& w, uint32_t set, std::string_view forms[4]) {
    const char* at = w.sets.items + set + sizeof(uint32_t);
    const int keywordCount = *at++;
    size_t sizes[4];
    for (int k = 0; k < keywordCount; ++k) at = GetSize(at, &sizes[k]);
    for (int k = 0; k < keywordCount; ++k) {
        forms[k] = {at, sizes[k]};
        at += sizes[k];
    }
    return keywordCount;
}

// The set at hand stored as the newest of its group; its offset, or 0 when memory cannot be had.
uint32_t StoreSet(WrittenPhrases* w, GroupPhrases* group, int keywordCount) {
    const size_t at = w->sets.count ? w->sets.count : 1;  // offset 0 is none
    const size_t most = sizeof(uint32_t) + 1 + kMostSizeBytes * keywordCount + w->forms.Size();
    if (at + most > UINT32_MAX || !Reserve(&w->sets, at + most - w->sets.count)) return 0;
    char* put = w->sets.items + at;
    std::memcpy(put, &group->newestSet, sizeof group->newestSet);
    put += sizeof group->newestSet;
    *put++ = static_cast<char>(keywordCount);
    for (int k = 0; k < keywordCount; ++k) put = PutSize(put, w->formSizes[k]);
    std::memcpy(put, w->forms.Data(), w->forms.Size());
    w->sets.count = static_cast<size_t>(put - w->sets.items) + w->forms.Size();
    group->newestSet = static_cast<uint32_t>(at);
    return group->newestSet;
}

bool IsNamed(const WrittenPhrases& w, const GroupPhrases& group, std::string_view campaign, std::string_view adGroup) {
    size_t campaignSize, adGroupSize;
    const char* name = GetSize(GetSize(w.names.items + group.name, &campaignSize), &adGroupSize);
    return std::string_view(name, campaignSize) == campaign &&
           std::string_view(name + campaignSize, adGroupSize) == adGroup;
}

uint32_t HashOfGroup(const WrittenPhrases& w, std::string_view campaign, std::string_view adGroup) {
    return Narrow(w.hashMask & (Mix(HashOf(campaign) ^ kMultiplier) ^ HashOf(adGroup)));
}

// The campaign's ad group, added when it is new; null when memory cannot be had.
GroupPhrases* GroupOf(WrittenPhrases* w, std::string_view campaign, std::string_view adGroup, uint32_t hash) {
    if (!MakeRoom(&w->groupIndex)) return nullptr;
    size_t at = StartOf(w->groupIndex, hash);
    for (; Occupied(w->groupIndex.slots[at]); at = NextOf(w->groupIndex, at)) {
        const GroupSlot& slot = w->groupIndex.slots[at];
        if (slot.hash == hash && IsNamed(*w, w->groups.items[slot.group - 1], campaign, adGroup)) {
            w->lastGroup = slot.group;
            return &w->groups.items[slot.group - 1];
        }
    }
    const size_t name = w->names.count;
    const size_t nameSize = 2 * kMostSizeBytes + campaign.size() + adGroup.size();
    if (name + nameSize > UINT32_MAX || w->groups.count >= UINT32_MAX - 1 || !Reserve(&w->names, nameSize) ||
        !Push(&w->groups, GroupPhrases{static_cast<uint32_t>(name), 0, 0, 0})) {
        return nullptr;
    }
    char* put = PutSize(PutSize(w->names.items + name, campaign.size()), adGroup.size());
    if (!campaign.empty()) std::memcpy(put, campaign.data(), campaign.size());
    if (!adGroup.empty()) std::memcpy(put + campaign.size(), adGroup.data(), adGroup.size());
    w->names.count = static_cast<size_t>(put - w->names.items) + campaign.size() + adGroup.size();
    w->lastGroup = static_cast<uint32_t>(w->groups.count);
    w->groupIndex.slots[at] = {hash, w->lastGroup};
    ++w->groupIndex.count;
    return &w->groups.items[w->lastGroup - 1];
}

// Each keyword's shape and, in order, its words' hashes.
bool DescribeKeywords(const std::string_view forms[4], int keywordCount, uint64_t hashMask, KeywordShape shapes[4],
                      Array<uint64_t>* words) {
    words->count = 0;
    for (int k = 0; k < keywordCount; ++k) {
        const std::string_view form = forms[k];
        KeywordShape& shape = shapes[k];
        shape = {0, 1, !form.empty() && form.front() == ' ', !form.empty() && form.back() == ' ', 0};
        for (size_t at = 0; at < form.size();) {
            if (form[at] == ' ') {
                ++at;
                continue;
            }
            size_t end = at + 1;
            while (end < form.size() && form[end] != ' ') ++end;
            const uint64_t hash = hashMask & HashOf({form.data() + at, end - at});
            if (!Push(words, hash)) return false;
            shape.hash = shape.hash * kWordBase + hash;
            shape.power *= kWordBase;
            at = end;
        }
        shape.wordsEnd = words->count;
    }
    return true;
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
            if (!MakeRoom(table, 256)) return -1;
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
    std::string_view forms[4];
    const KeywordOrdering& line = PermutationOrderings(ReadSet(w, set, forms), true).entries[ordering];
    out->Resize(0);
    ComparableForm form{out};
    for (size_t k = 0; k < line.count; ++k) {
        if ((k > 0 && !form.Append(" ")) || !form.Append(forms[line.keywords[k]])) return false;
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

// The group's tables, with the words of the sets it kept so far.
GroupTables* OpenTables(WrittenPhrases* w, GroupPhrases* group) {
    if (!Push(&w->tables, GroupTables{})) return nullptr;
    group->tables = static_cast<uint32_t>(w->tables.count);
    GroupTables* tables = &w->tables.items[group->tables - 1];
    KeywordShape shapes[4];
    std::string_view forms[4];
    for (uint32_t set = group->newestSet; set; set = NextSet(*w, set)) {
        const int keywordCount = ReadSet(*w, set, forms);
        if (!DescribeKeywords(forms, keywordCount, w->hashMask, shapes, &w->keptWords) ||
            AddWords(&tables->words, w->keptWords, shapes, keywordCount) < 0) {
            return nullptr;
        }
    }
    return tables;
}

// Puts the phrases of the group's sets that are not yet in its table there.
bool AddPhrasesOfKeptSets(WrittenPhrases* w, GroupPhrases* group, GroupTables* tables, bool includeSubsets) {
    KeywordShape shapes[4];
    std::string_view forms[4];
    for (uint32_t set = group->newestSet; set != group->newestSetInPhrases; set = NextSet(*w, set)) {
        const int keywordCount = ReadSet(*w, set, forms);
        if (!DescribeKeywords(forms, keywordCount, w->hashMask, shapes, &w->keptWords)) return false;
        uint32_t index = 0;
        for (const KeywordOrdering& line : PermutationOrderings(keywordCount, includeSubsets)) {
            const uint32_t hash = PhraseHash(shapes, line, w->hashMask);
            if (InsertPhrase(w, &tables->phrases, hash, set, index++) == Insertion::kOutOfMemory) return false;
        }
    }
    group->newestSetInPhrases = group->newestSet;
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
    std::free(groups.items);
    std::free(groupIndex.slots);
    std::free(names.items);
    std::free(sets.items);
    std::free(words.items);
    std::free(keptWords.items);
}

bool KeepNewOrderings(WrittenPhrases* w, std::string_view campaign, std::string_view adGroup,
                      const KeywordList& keywords, int keywordCount, bool includeSubsets, uint64_t* newOrderings) {
    *newOrderings = ~uint64_t{0};
    // An ad group's lines mostly follow each other. A new one is looked up after the set's
    // words are hashed, which gives the memory time to come.
    const bool sameGroup = w->lastGroup && IsNamed(*w, w->groups.items[w->lastGroup - 1], campaign, adGroup);
    const uint32_t groupHash = sameGroup ? 0 : HashOfGroup(*w, campaign, adGroup);
    if (!sameGroup && w->groupIndex.slots) __builtin_prefetch(&w->groupIndex.slots[StartOf(w->groupIndex, groupHash)]);

    w->forms.Resize(0);
    for (int k = 0; k < keywordCount; ++k) {
        const size_t before = w->forms.Size();
        if (!ComparableForm{&w->forms}.Append(keywords.words[k]) || w->forms.Size() > UINT32_MAX) return false;
        w->formSizes[k] = static_cast<uint32_t>(w->forms.Size() - before);
    }
    std::string_view forms[4];
    size_t at = 0;
    for (int k = 0; k < keywordCount; at += w->formSizes[k++]) forms[k] = {w->forms.Data() + at, w->formSizes[k]};
    if (!DescribeKeywords(forms, keywordCount, w->hashMask, w->shapes, &w->words)) return false;

    GroupPhrases* group = sameGroup ? &w->groups.items[w->lastGroup - 1] : GroupOf(w, campaign, adGroup, groupHash);
    if (!group) return false;
    // A phrase holding a word its group never had is new there. So when a word of each of
    // all but one of the keywords is new, every phrase of the set is, and it is only stored.
    GroupTables* tables = group->tables ? &w->tables.items[group->tables - 1] : nullptr;
    if (!tables && group->newestSet && !(tables = OpenTables(w, group))) return false;
    int known = 0;
    if (tables && (known = AddWords(&tables->words, w->words, w->shapes, keywordCount)) < 0) return false;
    if (known < 2 && WordsAllDiffer(w->words, w->shapes, keywordCount)) return StoreSet(w, group, keywordCount) != 0;

    // Otherwise its phrases are looked up among all of the group's.
    if (!tables && (!(tables = OpenTables(w, group)) || AddWords(&tables->words, w->words, w->shapes, keywordCount) < 0)) {
        return false;
    }
    if (!AddPhrasesOfKeptSets(w, group, tables, includeSubsets)) return false;
    const size_t storedSize = w->sets.count;
    const uint32_t newestBefore = group->newestSet;
    const uint32_t set = StoreSet(w, group, keywordCount);
    if (!set) return false;
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
        // A set whose every phrase was written keeps nothing new.
        w->sets.count = storedSize;
        group->newestSet = newestBefore;
        *newOrderings = 0;
        return true;
    }
    group->newestSetInPhrases = set;
    if (kept != (~uint64_t{0} >> (64 - lines.count))) *newOrderings = kept;
    return true;
}
