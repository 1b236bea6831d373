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
    if (at < bytes.size()) std::memcpy(&tail, bytes.data() + at, bytes.size() - at);
    return Mix(hash ^ tail);
}

bool Occupied(uint64_t slot) {
    return slot != 0;
}
bool Occupied(const PhraseSlot& slot) {
    return slot.set != 0;
}
bool Occupied(const GroupSlot& slot) {
    return slot.group != 0;
}
uint64_t HashIn(uint64_t slot) {
    return slot;
}
uint64_t HashIn(const PhraseSlot& slot) {
    return slot.hash;
}
uint64_t HashIn(const GroupSlot& slot) {
    return slot.hash;
}

// Where a hash's probe starts (its lowest bit is the words' marker of an occupied slot).
template <typename Slot>
size_t StartOf(const HashSlots<Slot>& table, uint64_t hash) {
    return static_cast<size_t>(hash >> 1) & (table.capacity - 1);
}

template <typename Slot>
size_t NextOf(const HashSlots<Slot>& table, size_t at) {
    return (at + 1) & (table.capacity - 1);
}

// Room for one more slot, the table at most half full; false when memory cannot be had.
template <typename Slot>
bool MakeRoom(HashSlots<Slot>* table) {
    if ((size_t{table->count} + 1) * 2 <= table->capacity) return true;
    if (table->capacity >= uint32_t{1} << 30) return false;
    const size_t capacity = table->capacity ? size_t{table->capacity} * 2 : 16;
    HashSlots<Slot> grown{static_cast<Slot*>(std::calloc(capacity, sizeof(Slot))), static_cast<uint32_t>(capacity),
                          table->count};
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

template <typename Item>
bool Push(Array<Item>* array, const Item& item) {
    if (array->count == array->capacity) {
        const size_t capacity = array->capacity ? array->capacity * 2 : 16;
        if (capacity > SIZE_MAX / sizeof(Item)) return false;
        auto* items = static_cast<Item*>(std::realloc(array->items, capacity * sizeof(Item)));
        if (!items) return false;
        array->items = items;
        array->capacity = capacity;
    }
    array->items[array->count++] = item;
    return true;
}

// A kept set in WrittenPhrases::sets: this, then its keywords' comparable forms. Read and
// written with memcpy, as sets follow each other unaligned.
struct SetHeader {
    uint32_t next;  // the group's next kept set, 0 for none
    uint32_t keywordCount;
    uint32_t formSizes[4];
};

SetHeader ReadSet(const WrittenPhrases& w, uint32_t set, std::string_view forms[4]) {
    SetHeader header;
    std::memcpy(&header, w.sets.Data() + set, sizeof header);
    const char* form = w.sets.Data() + set + sizeof header;
    for (uint32_t k = 0; k < header.keywordCount; ++k) {
        forms[k] = {form, header.formSizes[k]};
        form += header.formSizes[k];
    }
    return header;
}

// The set at hand stored after the kept ones; its offset, or 0 when memory cannot be had.
uint32_t StoreSet(WrittenPhrases* w, int keywordCount) {
    const size_t at = w->sets.Size() ? w->sets.Size() : 1;  // offset 0 is none
    const size_t end = at + sizeof(SetHeader) + w->forms.Size();
    if (end > UINT32_MAX || !w->sets.Resize(end)) return 0;
    SetHeader header{0, static_cast<uint32_t>(keywordCount), {}};
    std::memcpy(header.formSizes, w->formSizes, sizeof header.formSizes);
    std::memcpy(w->sets.MutableData() + at, &header, sizeof header);
    std::memcpy(w->sets.MutableData() + at + sizeof header, w->forms.Data(), w->forms.Size());
    return static_cast<uint32_t>(at);
}

void LinkSet(WrittenPhrases* w, GroupPhrases* group, uint32_t set) {
    if (group->lastSet) {
        std::memcpy(w->sets.MutableData() + group->lastSet + offsetof(SetHeader, next), &set, sizeof set);
    } else {
        group->firstSet = set;
    }
    group->lastSet = set;
}

bool IsNamed(const WrittenPhrases& w, const GroupPhrases& group, std::string_view campaign, std::string_view adGroup) {
    const char* name = w.names.Data() + group.name;
    return std::string_view(name, group.campaignSize) == campaign &&
           std::string_view(name + group.campaignSize, group.adGroupSize) == adGroup;
}

// The campaign's ad group, added when it is new; null when memory cannot be had.
GroupPhrases* GroupOf(WrittenPhrases* w, std::string_view campaign, std::string_view adGroup) {
    // An ad group's lines mostly follow each other.
    if (w->lastGroup && IsNamed(*w, w->groups.items[w->lastGroup - 1], campaign, adGroup)) {
        return &w->groups.items[w->lastGroup - 1];
    }
    if (!MakeRoom(&w->groupIndex)) return nullptr;
    const uint64_t hash = w->hashMask & (Mix(HashOf(campaign) ^ kMultiplier) ^ HashOf(adGroup));
    size_t at = StartOf(w->groupIndex, hash);
    for (; Occupied(w->groupIndex.slots[at]); at = NextOf(w->groupIndex, at)) {
        const GroupSlot& slot = w->groupIndex.slots[at];
        if (slot.hash == hash && IsNamed(*w, w->groups.items[slot.group - 1], campaign, adGroup)) {
            w->lastGroup = slot.group;
            return &w->groups.items[slot.group - 1];
        }
    }
    const size_t name = w->names.Size();
    if (name + campaign.size() + adGroup.size() > UINT32_MAX || w->groups.count >= UINT32_MAX - 1 ||
        !w->names.Append(campaign) || !w->names.Append(adGroup)) {
        return nullptr;
    }
    const GroupPhrases group{static_cast<uint32_t>(name), static_cast<uint32_t>(campaign.size()),
                             static_cast<uint32_t>(adGroup.size()), 0, 0, 0, nullptr};
    if (!Push(&w->groups, group)) return nullptr;
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
            size_t end = form.find(' ', at);
            if (end == std::string_view::npos) end = form.size();
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
int AddWords(HashSlots<uint64_t>* table, const Array<uint64_t>& words, const KeywordShape shapes[4],
             int keywordCount) {
    int known = 0;
    size_t word = 0;
    for (int k = 0; k < keywordCount; ++k) {
        bool allThere = true;
        for (; word < shapes[k].wordsEnd; ++word) {
            if (!MakeRoom(table)) return -1;
            const uint64_t marked = words.items[word] | 1;
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
uint64_t PhraseHash(const KeywordShape shapes[4], const KeywordOrdering& line, uint64_t hashMask) {
    uint64_t hash = 0;
    for (size_t k = 0; k < line.count; ++k) hash = hash * shapes[line.keywords[k]].power + shapes[line.keywords[k]].hash;
    const uint64_t blanks = (shapes[line.keywords[0]].startsWithBlank ? 1 : 0) |
                            (shapes[line.keywords[line.count - 1]].endsWithBlank ? 2 : 0);
    return hashMask & Mix(hash ^ blanks);
}

// One ordering of a kept set in its comparable form.
bool PhraseOf(const WrittenPhrases& w, uint32_t set, uint32_t ordering, Text* out) {
    std::string_view forms[4];
    const SetHeader header = ReadSet(w, set, forms);
    const KeywordOrdering& line = PermutationOrderings(static_cast<int>(header.keywordCount), true).entries[ordering];
    out->Resize(0);
    ComparableForm form{out};
    for (size_t k = 0; k < line.count; ++k) {
        if ((k > 0 && !form.Append(" ")) || !form.Append(forms[line.keywords[k]])) return false;
    }
    return true;
}

enum class Insertion { kNew, kWritten, kOutOfMemory };

Insertion InsertPhrase(WrittenPhrases* w, HashSlots<PhraseSlot>* table, uint64_t hash, uint32_t set,
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
bool OpenTables(WrittenPhrases* w, GroupPhrases* group) {
    group->tables = static_cast<GroupTables*>(std::calloc(1, sizeof(GroupTables)));
    if (!group->tables) return false;
    KeywordShape shapes[4];
    std::string_view forms[4];
    for (uint32_t set = group->firstSet; set;) {
        const SetHeader header = ReadSet(*w, set, forms);
        const int keywordCount = static_cast<int>(header.keywordCount);
        if (!DescribeKeywords(forms, keywordCount, w->hashMask, shapes, &w->keptWords) ||
            AddWords(&group->tables->words, w->keptWords, shapes, keywordCount) < 0) {
            return false;
        }
        set = header.next;
    }
    return true;
}

// Puts the phrases of the group's sets that are not yet in its table there.
bool AddPhrasesOfKeptSets(WrittenPhrases* w, GroupPhrases* group, bool includeSubsets) {
    KeywordShape shapes[4];
    std::string_view forms[4];
    for (uint32_t set = group->firstSetOutsidePhrases; set;) {
        const SetHeader header = ReadSet(*w, set, forms);
        const int keywordCount = static_cast<int>(header.keywordCount);
        if (!DescribeKeywords(forms, keywordCount, w->hashMask, shapes, &w->keptWords)) return false;
        uint32_t index = 0;
        for (const KeywordOrdering& line : PermutationOrderings(keywordCount, includeSubsets)) {
            const uint64_t hash = PhraseHash(shapes, line, w->hashMask);
            if (InsertPhrase(w, &group->tables->phrases, hash, set, index++) == Insertion::kOutOfMemory) return false;
        }
        set = header.next;
    }
    group->firstSetOutsidePhrases = 0;
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
        if (used + 4 > sizeof folded) {
            if (!out->Append({folded, used})) return false;
            used = 0;
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
    for (size_t g = 0; g < groups.count; ++g) {
        if (GroupTables* tables = groups.items[g].tables) {
            std::free(tables->words.slots);
            std::free(tables->phrases.slots);
            std::free(tables);
        }
    }
    std::free(groups.items);
    std::free(groupIndex.slots);
    std::free(words.items);
    std::free(keptWords.items);
}

bool KeepNewOrderings(WrittenPhrases* w, std::string_view campaign, std::string_view adGroup,
                      const KeywordList& keywords, int keywordCount, bool includeSubsets, uint64_t* newOrderings) {
    *newOrderings = ~uint64_t{0};
    GroupPhrases* group = GroupOf(w, campaign, adGroup);
    if (!group) return false;

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

    // A phrase holding a word its group never had is new there. So when a word of each of
    // all but one of the keywords is new, every phrase of the set is, and it is only stored.
    if (!group->tables && group->firstSet && !OpenTables(w, group)) return false;
    int known = 0;
    if (group->tables && (known = AddWords(&group->tables->words, w->words, w->shapes, keywordCount)) < 0) return false;
    if (known < 2 && WordsAllDiffer(w->words, w->shapes, keywordCount)) {
        const uint32_t set = StoreSet(w, keywordCount);
        if (!set) return false;
        if (!group->firstSetOutsidePhrases) group->firstSetOutsidePhrases = set;
        LinkSet(w, group, set);
        return true;
    }

    // Otherwise its phrases are looked up among all of the group's.
    if (!group->tables && (!OpenTables(w, group) || AddWords(&group->tables->words, w->words, w->shapes, keywordCount) < 0)) {
        return false;
    }
    if (!AddPhrasesOfKeptSets(w, group, includeSubsets)) return false;
    const size_t storedSize = w->sets.Size();
    const uint32_t set = StoreSet(w, keywordCount);
    if (!set) return false;
    uint64_t kept = 0;
    uint32_t index = 0;
    const OrderingList lines = PermutationOrderings(keywordCount, includeSubsets);
    for (const KeywordOrdering& line : lines) {
        const Insertion inserted =
            InsertPhrase(w, &group->tables->phrases, PhraseHash(w->shapes, line, w->hashMask), set, index);
        if (inserted == Insertion::kOutOfMemory) return false;
        if (inserted == Insertion::kNew) kept |= uint64_t{1} << index;
        ++index;
    }
    if (kept == 0) {
        w->sets.Resize(storedSize);  // a set whose every phrase was written keeps nothing new
        *newOrderings = 0;
        return true;
    }
    LinkSet(w, group, set);
    if (kept != (~uint64_t{0} >> (64 - lines.count))) *newOrderings = kept;
    return true;
}
