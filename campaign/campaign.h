#pragma once
// The campaign engine: keyword sets in (a keyword file's bytes, or four keywords), the
// window's phrases out, as text, as Google Ads Editor CSV rows or as Microsoft Advertising's
// bulk file, in every match type asked for. Platform-free: it never touches a file or a
// console. Bytes come from a read function, the output goes to a sink, and messages for the
// user to another; the front ends (the command line, the page) give all three.

#include <cstddef>
#include <string_view>

enum class MatchType : unsigned char { kExact, kPhrase, kBroad };

// The match types in the order their lines are written for each set.
struct MatchTypeList {
    MatchType types[3] = {MatchType::kPhrase};
    size_t count = 1;
};

// "exact,phrase,broad" or any of them in any order, each at most once; false when the list
// holds anything else.
bool ParseMatchTypes(std::string_view list, MatchTypeList* types);

// kCsv is Google Ads Editor's CSV; kMicrosoft is Microsoft Advertising's bulk file.
enum class OutputFormat { kText, kCsv, kMicrosoft };
// What the rows' negative keywords belong to; kNone writes keywords.
enum class NegativeLevel { kNone, kAdGroup, kCampaign };
enum class InputFormat { kTsv, kCsv };
enum class InputEncoding { kAuto, kUtf8, kUtf16Le, kUtf16Be, kWindows1252 };

// "auto", "utf-8", "utf-16le", "utf-16be", "windows-1252"; false for anything else.
bool ParseInputEncoding(std::string_view name, InputEncoding* encoding);

// How a front end names its own controls where a message of the engine points the user to
// one: the command line its options, the page its controls.
struct ControlNames {
    // Ends "not UTF-8 (the output keeps these bytes; ...)".
    std::string_view windows1252 = "--input-encoding windows-1252 converts them";
    // Ends "FILE: not a text file (a NUL byte at offset N; ...)" when the NULs stand at every
    // other byte.
    std::string_view utf16 = "it may be UTF-16 without a byte-order mark: try --input-encoding utf-16le or utf-16be";
    // Ends "FILE:1: this line names columns; ...".
    std::string_view header = "give --header to read it as headings";
    // End "FILE: no line has a keyword 2, and the lines hold commas: if they separate the
    // columns, ..." (and the same with semicolons).
    std::string_view commas = "give --input-format csv";
    std::string_view semicolons = "give --input-format csv --separator ';'";
    // Ends "FILE:LINE: no campaign for its campaign negatives; ..." (and the same for Microsoft
    // Advertising's bulk file).
    std::string_view campaign = "give --campaign NAME or a Campaign column";
};

struct CampaignOptions {
    MatchTypeList matchTypes;
    bool includeSubsets = false;
    OutputFormat format = OutputFormat::kText;
    InputFormat inputFormat = InputFormat::kTsv;
    char csvSeparator = ',';     // InputFormat::kCsv: ',' or ';'
    InputEncoding inputEncoding = InputEncoding::kAuto;
    bool header = false;         // the first line names the columns
    NegativeLevel negative = NegativeLevel::kNone;  // rows of negative keywords
    bool mix = false;            // "|" in a keyword separates alternatives
    bool unique = false;         // a phrase already written for the ad group is left out
    uint64_t hashSeed = 0;       // for unique's hashes: something a file made beforehand cannot know
    bool strict = false;         // a phrase over Google Ads' limits is an error
    bool byteOrderMark = false;  // the output starts with a UTF-8 byte-order mark
    // Rows: a Campaign column holding `campaign`, on the rows of lines whose Campaign column is
    // empty (or on every row, without the column). Microsoft Advertising's bulk file and
    // campaign negatives need a campaign on every row.
    bool hasCampaign = false;
    std::string_view campaign;
    std::string_view lineEnd = "\n";
    // Messages about lines shown before the rest are only counted; 0 shows every one.
    size_t maxMessages = 100;
    ControlNames controlNames;
};

// Fills `into` with up to `size` bytes: the count, 0 at the end, -1 on a read error.
using ReadFunction = long (*)(void* source, char* into, size_t size);

// Takes the next output bytes; false when they cannot be written (the run then stops).
struct OutputSink {
    bool (*write)(void* context, const char* bytes, size_t size);
    void* context;
};

// Takes one message for the user ("FILE:LINE: reason", "arguments: warning: ..."), without
// a line end.
struct MessageSink {
    void (*report)(void* context, std::string_view message);
    void* context;
};

enum class CampaignResult {
    kWritten,        // everything written; warnings may have been reported
    kInvalidInput,   // invalid lines, or a phrase over the limits under strict: each reported
    kReadFailed,     // the read function failed
    kOutputStopped,  // the sink refused bytes
    kOutOfMemory,
    kNoKeywordSets,  // the input held no keyword set: warned about, the rest as kWritten
};

// Whether the options ask Microsoft Advertising's bulk file for broad negatives, which it does
// not have: the engine then writes nothing and says so.
bool AsksForBroadNegatives(const CampaignOptions& options);

// Every line of a keyword file: `inputName` names the lines in messages ("FILE:LINE").
// With `header`, the first line names the columns (any order): Keyword 1 to Keyword 4, Ad group,
// Campaign, and columns of the user's own, whose cells follow the engine's on every row (a
// Max CPC column fills the bulk file's Bid).
// After an invalid line the remaining lines are still checked and reported, but nothing more
// is written.
CampaignResult WriteCampaignFromFile(const CampaignOptions& options, ReadFunction read, void* source,
                                     std::string_view inputName, OutputSink output, MessageSink messages);

// One keyword set given as four keywords (missing ones empty), named "arguments" in messages.
CampaignResult WriteCampaignFromKeywords(const CampaignOptions& options, const std::string_view keywords[4],
                                         OutputSink output, MessageSink messages);

// Whether the input's first line (empty ones skipped), read as the options say, names columns as
// a heading row does: it holds the headings Keyword 1 and Keyword 2, or at least two filled
// fields and every one Keyword 1 to Keyword 4, Ad group or Campaign (compared as headings are). Without `header` such a line is an invalid line, so that a
// front end can offer to read it as headings.
bool InputStartsWithHeadings(const CampaignOptions& options, ReadFunction read, void* source);
