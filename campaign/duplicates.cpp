#include "campaign/duplicates.h"

#include <cstdlib>
#include <cstring>

#include "campaign/text_encoding.h"

namespace {

// FNV-1a: the forms are short, and a hash that needs no table keeps this small.
uint64_t HashOf(std::string_view bytes) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    return hash;
}

bool InRange(uint32_t codePoint, uint32_t first, uint32_t last) {
    return codePoint >= first && codePoint <= last;
}

// Latin Extended-A, Cyrillic's extended letters: capitals on the even or the odd code points
// of a range, each followed by its small letter.
uint32_t FoldPair(uint32_t codePoint, uint32_t first, uint32_t last, bool capitalsEven) {
    if (!InRange(codePoint, first, last) || (codePoint % 2 == 0) != capitalsEven) return 0;
    return codePoint + 1;
}

bool Grow(PhraseSet* set) {
    const size_t capacity = set->capacity ? set->capacity * 2 : 64;
    auto* slots = static_cast<PhraseSet::Slot*>(std::calloc(capacity, sizeof(PhraseSet::Slot)));
    if (!slots) return false;
    for (size_t i = 0; i < set->capacity; ++i) {
        const PhraseSet::Slot& slot = set->slots[i];
        if (slot.offset == 0) continue;
        size_t at = slot.hash & (capacity - 1);
        while (slots[at].offset != 0) at = (at + 1) & (capacity - 1);
        slots[at] = slot;
    }
    std::free(set->slots);
    set->slots = slots;
    set->capacity = capacity;
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

PhraseSet::~PhraseSet() {
    std::free(slots);
}

PhraseInsert InsertPhrase(PhraseSet* set, std::string_view form) {
    // At most half full, so that probes stay short.
    if ((set->count + 1) * 2 > set->capacity && !Grow(set)) return PhraseInsert::kOutOfMemory;
    const uint64_t hash = HashOf(form);
    size_t at = hash & (set->capacity - 1);
    for (; set->slots[at].offset != 0; at = (at + 1) & (set->capacity - 1)) {
        const PhraseSet::Slot& slot = set->slots[at];
        if (slot.hash == hash && slot.length == form.size() &&
            std::memcmp(set->forms.Data() + slot.offset - 1, form.data(), form.size()) == 0) {
            return PhraseInsert::kPresent;
        }
    }
    const size_t offset = set->forms.Size();
    if (offset + form.size() >= UINT32_MAX || !set->forms.Append(form)) return PhraseInsert::kOutOfMemory;
    set->slots[at] = {hash, static_cast<uint32_t>(offset + 1), static_cast<uint32_t>(form.size())};
    ++set->count;
    return PhraseInsert::kNew;
}

void ClearPhrases(PhraseSet* set) {
    if (set->count == 0) return;
    std::memset(set->slots, 0, set->capacity * sizeof(PhraseSet::Slot));
    set->count = 0;
    set->forms.Resize(0);
}
