#pragma once
// A keyword sheet's heading row: which column holds what. Headings are compared as Google Ads
// Editor compares its own: ignoring case, blanks, underscores and hyphens ("Keyword 1",
// "keyword1" and "KEYWORD_1" are one).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "campaign/growing_array.h"
#include "campaign/keyword_file.h"

enum class ColumnKind : unsigned char {
    kKeyword1, kKeyword2, kKeyword3, kKeyword4, kAdGroup, kCampaign,
    kOutputColumn,  // "Keyword", "Criterion Type": columns the output has of its own
    kUnnamed,       // an empty heading: the column's cells must be empty
    kOwn,           // any other: the user's own column, copied onto the CSV rows
};

ColumnKind KindOfHeading(std::string_view heading);

// Whether the heading's comparable form is `comparable` (lower case, nothing ignored in it).
bool HeadingIs(std::string_view heading, std::string_view comparable);

// The heading as written, without the blanks at its ends.
std::string_view TrimmedHeading(std::string_view heading);

// Whether a line names columns rather than a keyword set: it holds the headings Keyword 1 and
// Keyword 2, or at least two filled fields and every one a heading the engine reads (Keyword 1
// to Keyword 4, Ad group, Campaign).
bool FieldsNameColumns(const LineFields& fields);

inline constexpr size_t kNoColumn = SIZE_MAX;

// Where a line's fields go, columns counted from 0. Without a heading row: keyword 1 to 4 and
// the ad group, by position.
struct SheetColumns {
    size_t count = kMaxFields;  // the fields a line may have
    size_t keyword[4] = {0, 1, 2, 3};
    size_t adGroup = 4;
    size_t campaign = kNoColumn;
    OwnedArray<size_t> own;      // the user's own columns, in input order
    OwnedArray<size_t> unnamed;  // columns without a heading
};

// What makes a heading row unusable.
struct HeadingFault {
    enum Kind : unsigned char { kRepeated, kOutputColumn, kNoKeyword1, kNoKeyword2 } kind;
    size_t column;       // kRepeated, kOutputColumn
    size_t firstColumn;  // kRepeated: where the same heading stands first
};

// Reads the heading row into `columns`, and into `faults` what makes it unusable (in column
// order, the missing keyword columns last). `outputHeadings` are the comparable forms of further
// columns the output writes itself (an output format's own), refused as Keyword is. False when
// memory cannot be had.
bool ReadHeadingRow(const LineFields& headings, SheetColumns* columns, Array<HeadingFault>* faults,
                    const std::string_view* outputHeadings = nullptr, size_t outputHeadingCount = 0);
