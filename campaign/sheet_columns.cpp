#include "campaign/sheet_columns.h"

#include <cstring>

#include "support/text.h"

namespace {

bool IgnoredInHeadings(char c) {
    return c == ' ' || c == '_' || c == '-';
}

char LowerCaseAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Appends the heading in the form headings are compared in. False when memory cannot be had.
bool AppendComparableHeading(Text* out, std::string_view heading) {
    for (const char c : heading) {
        const char lower = LowerCaseAscii(c);
        if (!IgnoredInHeadings(c) && !out->Append({&lower, 1})) return false;
    }
    return true;
}

constexpr struct {
    std::string_view comparable;
    ColumnKind kind;
} kKnownHeadings[] = {
    {"keyword1", ColumnKind::kKeyword1},   {"keyword2", ColumnKind::kKeyword2},
    {"keyword3", ColumnKind::kKeyword3},   {"keyword4", ColumnKind::kKeyword4},
    {"adgroup", ColumnKind::kAdGroup},     {"campaign", ColumnKind::kCampaign},
    {"keyword", ColumnKind::kOutputColumn}, {"criteriontype", ColumnKind::kOutputColumn},
};

struct ComparedHeading {
    const char* form;
    size_t size;
    size_t column;
};

// By form, then by column.
int CompareHeadings(const void* left, const void* right) {
    const auto* a = static_cast<const ComparedHeading*>(left);
    const auto* b = static_cast<const ComparedHeading*>(right);
    const int bytes = std::memcmp(a->form, b->form, a->size < b->size ? a->size : b->size);
    if (bytes != 0) return bytes;
    if (a->size != b->size) return a->size < b->size ? -1 : 1;
    return a->column < b->column ? -1 : a->column > b->column ? 1 : 0;
}

// For each column, the first one with the same heading, or kNoColumn. Sorted, so that a row
// of thousands of headings takes no quadratic time.
bool FindRepeatedHeadings(const LineFields& headings, size_t* firstWithSame) {
    Text forms;
    OwnedArray<size_t> ends;
    OwnedArray<ComparedHeading> sorted;
    for (size_t c = 0; c < headings.kept.count; ++c) {
        firstWithSame[c] = kNoColumn;
        if (TrimmedHeading(headings.kept.items[c]).empty()) continue;
        if (!AppendComparableHeading(&forms, headings.kept.items[c]) || !Push(&ends, forms.Size()) ||
            !Push(&sorted, ComparedHeading{nullptr, 0, c})) {
            return false;
        }
    }
    for (size_t h = 0, start = 0; h < sorted.count; start = ends.items[h++]) {
        sorted.items[h].form = forms.Data() + start;
        sorted.items[h].size = ends.items[h] - start;
    }
    if (sorted.count > 1) std::qsort(sorted.items, sorted.count, sizeof(ComparedHeading), CompareHeadings);
    for (size_t h = 1, first = 0; h < sorted.count; ++h) {
        const ComparedHeading& a = sorted.items[first];
        const ComparedHeading& b = sorted.items[h];
        if (a.size == b.size && std::memcmp(a.form, b.form, a.size) == 0) {
            firstWithSame[b.column] = a.column;
        } else {
            first = h;
        }
    }
    return true;
}

}  // namespace

bool HeadingIs(std::string_view heading, std::string_view comparable) {
    size_t matched = 0;
    for (const char c : heading) {
        if (IgnoredInHeadings(c)) continue;
        if (matched == comparable.size() || LowerCaseAscii(c) != comparable[matched]) return false;
        ++matched;
    }
    return matched == comparable.size();
}

ColumnKind KindOfHeading(std::string_view heading) {
    if (TrimmedHeading(heading).empty()) return ColumnKind::kUnnamed;
    for (const auto& known : kKnownHeadings) {
        if (HeadingIs(heading, known.comparable)) return known.kind;
    }
    return ColumnKind::kOwn;
}

std::string_view TrimmedHeading(std::string_view heading) {
    size_t start = 0, end = heading.size();
    while (start < end && heading[start] == ' ') ++start;
    while (end > start && heading[end - 1] == ' ') --end;
    return {heading.data() + start, end - start};
}

bool FieldsNameColumns(const LineFields& fields) {
    size_t known = 0, filled = 0;
    bool keyword1 = false, keyword2 = false;
    for (size_t c = 0; c < fields.kept.count; ++c) {
        const ColumnKind kind = KindOfHeading(fields.kept.items[c]);
        if (kind == ColumnKind::kUnnamed) continue;
        ++filled;
        known += kind <= ColumnKind::kCampaign;
        keyword1 = keyword1 || kind == ColumnKind::kKeyword1;
        keyword2 = keyword2 || kind == ColumnKind::kKeyword2;
    }
    const bool allKnown = known == filled && fields.firstFilledPastKept == 0;
    return (keyword1 && keyword2) || (filled >= 2 && allKnown);
}

bool ReadHeadingRow(const LineFields& headings, SheetColumns* columns, Array<HeadingFault>* faults,
                    const std::string_view* outputHeadings, size_t outputHeadingCount) {
    const size_t count = headings.kept.count;
    OwnedArray<size_t> firstWithSame;
    if (!Reserve(&firstWithSame, count) || !FindRepeatedHeadings(headings, firstWithSame.items)) return false;
    columns->count = count;
    for (size_t& keyword : columns->keyword) keyword = kNoColumn;
    columns->adGroup = columns->campaign = kNoColumn;
    columns->own.count = columns->unnamed.count = 0;
    for (size_t c = 0; c < count; ++c) {
        ColumnKind kind = KindOfHeading(headings.kept.items[c]);
        for (size_t h = 0; h < outputHeadingCount && kind == ColumnKind::kOwn; ++h) {
            if (HeadingIs(headings.kept.items[c], outputHeadings[h])) kind = ColumnKind::kOutputColumn;
        }
        if (firstWithSame.items[c] != kNoColumn) {
            if (!Push(faults, HeadingFault{HeadingFault::kRepeated, c, firstWithSame.items[c]})) return false;
            continue;
        }
        bool added = true;
        switch (kind) {
            case ColumnKind::kKeyword1:
            case ColumnKind::kKeyword2:
            case ColumnKind::kKeyword3:
            case ColumnKind::kKeyword4: columns->keyword[static_cast<int>(kind)] = c; break;
            case ColumnKind::kAdGroup: columns->adGroup = c; break;
            case ColumnKind::kCampaign: columns->campaign = c; break;
            case ColumnKind::kOutputColumn: added = Push(faults, HeadingFault{HeadingFault::kOutputColumn, c, 0}); break;
            case ColumnKind::kUnnamed: added = Push(&columns->unnamed, c); break;
            case ColumnKind::kOwn: added = Push(&columns->own, c); break;
        }
        if (!added) return false;
    }
    if (columns->keyword[0] == kNoColumn && !Push(faults, HeadingFault{HeadingFault::kNoKeyword1, 0, 0})) return false;
    if (columns->keyword[1] == kNoColumn && !Push(faults, HeadingFault{HeadingFault::kNoKeyword2, 0, 0})) return false;
    return true;
}
