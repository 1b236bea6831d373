// The page's engine: the builder and the campaign engine, exported to the page's JavaScript as
// plain functions over the module's memory. The page writes its inputs into memory it asks
// `allocate` for and reads results where the functions say they are.
// No exceptions and no type information: nothing here throws, and the module stays small.

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "campaign/campaign.h"
#include "generator/keyword_limits.h"
#include "generator/keyword_set.h"
#include "generator/permutation_text.h"
#include "support/text.h"

#define VARNHOLT_EXPORT(name) extern "C" __attribute__((export_name(name)))

namespace {

// The last texts `permutations` and `names` built; the page reads each before the next call.
Text lastText;
Text namesJson;

}  // namespace

VARNHOLT_EXPORT("allocate") char* Allocate(size_t size) {
    return static_cast<char*>(std::malloc(size ? size : 1));
}

VARNHOLT_EXPORT("release") void Release(char* bytes) {
    std::free(bytes);
}

namespace {

KeywordList KeywordsAt(const char* keywords, const size_t* sizes) {
    KeywordList list;
    for (size_t k = 0, at = 0; k < 4; at += sizes[k], ++k) list.words[k] = {keywords + at, sizes[k]};
    return list;
}

}  // namespace

// The window's text for the four keywords laid one after another at `keywords` (UTF-8, sizes
// in `sizes[0..3]`): its length, or -1 when memory for it cannot be had. The text itself is at
// `permutations_text()` until the next call.
VARNHOLT_EXPORT("permutations") long Permutations(const char* keywords, const size_t* sizes, int brackets,
                                                  int includeSubsets) {
    lastText = BuildPermutationText(KeywordsAt(keywords, sizes), brackets ? kBracketDelimiters : kQuoteDelimiters,
                                    includeSubsets != 0);
    // Two keywords always give text, so an empty one means memory ran out.
    if (lastText.IsEmpty()) return -1;
    return static_cast<long>(lastText.Size());
}

VARNHOLT_EXPORT("permutations_text") const char* PermutationsText() {
    return lastText.Data();
}

// The set's own rules for the same four keywords, into `out`: how many keywords count, which
// required one is missing (0 none, 1 or 2) and how many lines the set gives.
VARNHOLT_EXPORT("keyword_set") void KeywordSet(const char* keywords, const size_t* sizes, int includeSubsets,
                                               size_t* out) {
    const KeywordList list = KeywordsAt(keywords, sizes);
    out[0] = static_cast<size_t>(CountKeywords(list));
    const MissingKeyword missing = FindMissingKeyword(list);
    out[1] = missing == MissingKeyword::kKeyword1 ? 1 : missing == MissingKeyword::kKeyword2 ? 2 : 0;
    out[2] = CountLines(list, includeSubsets != 0);
}

// Google Ads' limits as the campaign engine applies them, for the preview to word its marks:
// into `out`, the most characters and words a keyword may have and the size of the characters
// it may not hold, which are returned.
VARNHOLT_EXPORT("keyword_limits") const char* KeywordLimits(size_t* out) {
    out[0] = kMaxKeywordCharacters;
    out[1] = kMaxKeywordWords;
    out[2] = kRefusedKeywordCharacters.size();
    return kRefusedKeywordCharacters.data();
}

// The verdict on those limits, as the campaign engine judges it, for the phrase at `phrase`
// (its size in `size[0]`), into `out`: its characters and words, whether each is over its
// limit (1 or 0), and which refused characters it holds (bit c for keyword_limits' character c).
VARNHOLT_EXPORT("phrase_verdict") void JudgePhraseAt(const char* phrase, const size_t* size, size_t* out) {
    const KeywordSize measured = MeasureKeyword({phrase, size[0]});
    const PhraseVerdict verdict = JudgePhrase(measured);
    out[0] = measured.characters;
    out[1] = measured.words;
    out[2] = verdict.tooManyCharacters;
    out[3] = verdict.tooManyWords;
    out[4] = verdict.refused;
}

// The worker's side of a campaign run: its JavaScript reads the file in slices, keeps the
// output and lists the messages.
extern "C" {
__attribute__((import_module("env"), import_name("read_input"))) long ReadInput(char* into, size_t size);
__attribute__((import_module("env"), import_name("take_output"))) int TakeOutput(const char* bytes, size_t size);
__attribute__((import_module("env"), import_name("take_message"))) void TakeMessage(const char* bytes, size_t size);
}

namespace {

long Read(void*, char* into, size_t size) {
    return ReadInput(into, size);
}

bool Write(void*, const char* bytes, size_t size) {
    return TakeOutput(bytes, size) != 0;
}

void Report(void*, std::string_view message) {
    TakeMessage(message.data(), message.size());
}

// The options that are on or off, as the page sends them.
enum CampaignFlag : unsigned {
    kSubsets = 1u << 0,
    kCsvOutput = 1u << 1,
    kCsvInput = 1u << 2,
    kNegative = 1u << 3,
    kMix = 1u << 4,
    kUnique = 1u << 5,
    kStrict = 1u << 6,
    kByteOrderMark = 1u << 7,
    kCampaignColumn = 1u << 8,
    kCrLf = 1u << 9,
    kCampaignNegative = 1u << 10,
    kSemicolons = 1u << 11,
    kHeader = 1u << 12,
    kMicrosoftOutput = 1u << 13,
};

// Returned for match types or an encoding the engine does not know.
constexpr int kBadOptions = -1;

// The names the page gives the flags and reads the results by, so that the two agree by name
// whatever order the values come in.
struct Name {
    std::string_view name;
    int value;
};

constexpr Name kFlagNames[] = {
    {"subsets", kSubsets}, {"csvOutput", kCsvOutput}, {"csvInput", kCsvInput}, {"negative", kNegative},
    {"mix", kMix}, {"unique", kUnique}, {"strict", kStrict}, {"byteOrderMark", kByteOrderMark},
    {"campaignColumn", kCampaignColumn}, {"crLf", kCrLf}, {"campaignNegative", kCampaignNegative},
    {"semicolons", kSemicolons}, {"header", kHeader}, {"microsoftOutput", kMicrosoftOutput},
};

constexpr Name kResultNames[] = {
    {"written", static_cast<int>(CampaignResult::kWritten)},
    {"invalidInput", static_cast<int>(CampaignResult::kInvalidInput)},
    {"readFailed", static_cast<int>(CampaignResult::kReadFailed)},
    {"outputStopped", static_cast<int>(CampaignResult::kOutputStopped)},
    {"outOfMemory", static_cast<int>(CampaignResult::kOutOfMemory)},
    {"noKeywordSets", static_cast<int>(CampaignResult::kNoKeywordSets)},
    {"badOptions", kBadOptions},
};

template <size_t N>
bool AppendNames(Text* json, std::string_view key, const Name (&names)[N]) {
    bool built = json->Append("\"") && json->Append(key) && json->Append("\":{");
    for (size_t n = 0; n < N && built; ++n) {
        built = (n == 0 || json->Append(",")) && json->Append("\"") && json->Append(names[n].name) &&
                json->Append("\":") && (names[n].value >= 0 || json->Append("-")) &&
                AppendNumber(json, static_cast<size_t>(names[n].value < 0 ? -names[n].value : names[n].value));
    }
    return built && json->Append("}");
}

// Where a message points the user to a control, it names the page's, as the page labels them.
constexpr ControlNames kPageControls = {
    "choose \"Windows-1252\" under \"File encoding\" to convert them",
    "it may be UTF-16 without a byte-order mark: choose \"UTF-16 LE\" or \"UTF-16 BE\" under \"File encoding\"",
    "tick \"First line names the columns\" to read it as headings",
    "choose \"Commas (CSV)\" under \"Columns separated by\"",
    "choose \"Semicolons\" under \"Columns separated by\"",
    "fill in \"Campaign name (optional)\" or add a Campaign column",
};

// What is written, from the page's flags.
void ReadOutputOptions(unsigned flags, CampaignOptions* options) {
    options->format = flags & kMicrosoftOutput ? OutputFormat::kMicrosoft
                      : flags & kCsvOutput     ? OutputFormat::kCsv
                                               : OutputFormat::kText;
    options->negative = flags & kCampaignNegative ? NegativeLevel::kCampaign
                        : flags & kNegative       ? NegativeLevel::kAdGroup
                                                  : NegativeLevel::kNone;
}

// How the input is read, from the page's flags and the encoding's name; false for an encoding
// the engine does not know.
bool ReadInputOptions(unsigned flags, std::string_view encoding, CampaignOptions* options) {
    options->inputFormat = flags & kCsvInput ? InputFormat::kCsv : InputFormat::kTsv;
    options->csvSeparator = flags & kSemicolons ? ';' : ',';
    options->header = (flags & kHeader) != 0;
    return ParseInputEncoding(encoding, &options->inputEncoding);
}

// A sample of the input already in memory, read as a file is.
struct Sample {
    const char* bytes;
    size_t size;
};

long ReadSample(void* source, char* into, size_t size) {
    Sample* sample = static_cast<Sample*>(source);
    const size_t count = size < sample->size ? size : sample->size;
    std::memcpy(into, sample->bytes, count);
    sample->bytes += count;
    sample->size -= count;
    return static_cast<long>(count);
}

}  // namespace

// One campaign from the input that read_input gives: `strings` holds the match types
// ("exact,phrase"), the encoding's name, the campaign's name and the input's name for messages,
// one after another, their sizes in `sizes[0..3]`. Past `maxMessages` messages about lines the
// engine only counts the rest and says how many there were. `seed` goes into the hashes that find
// repeated phrases: the page takes it from the browser's random numbers. The result is a
// CampaignResult, or kBadOptions.
VARNHOLT_EXPORT("campaign")
int Campaign(const char* strings, const size_t* sizes, unsigned flags, size_t maxMessages, uint32_t seed) {
    std::string_view fields[4];
    for (size_t k = 0, at = 0; k < 4; at += sizes[k], ++k) fields[k] = {strings + at, sizes[k]};
    CampaignOptions options;
    if (!ParseMatchTypes(fields[0], &options.matchTypes) || !ReadInputOptions(flags, fields[1], &options)) {
        return kBadOptions;
    }
    options.hasCampaign = (flags & kCampaignColumn) != 0;
    options.campaign = fields[2];
    options.includeSubsets = (flags & kSubsets) != 0;
    ReadOutputOptions(flags, &options);
    options.mix = (flags & kMix) != 0;
    options.unique = (flags & kUnique) != 0;
    options.hashSeed = seed;
    options.strict = (flags & kStrict) != 0;
    options.byteOrderMark = (flags & kByteOrderMark) != 0;
    options.lineEnd = flags & kCrLf ? "\r\n" : "\n";
    options.maxMessages = maxMessages;
    options.controlNames = kPageControls;
    return static_cast<int>(WriteCampaignFromFile(options, Read, nullptr, fields[3], {Write, nullptr}, {Report, nullptr}));
}

// Whether the input's first line names columns, for the page to tick "First line names the
// columns" by itself: `strings` holds the encoding's name and the input's first bytes, their sizes
// in `sizes[0..1]`; `flags` as for `campaign`. 1 or 0, or kBadOptions.
VARNHOLT_EXPORT("starts_with_headings") int StartsWithHeadings(const char* strings, const size_t* sizes, unsigned flags) {
    CampaignOptions options;
    if (!ReadInputOptions(flags, {strings, sizes[0]}, &options)) return kBadOptions;
    Sample sample = {strings + sizes[0], sizes[1]};
    return InputStartsWithHeadings(options, ReadSample, &sample) ? 1 : 0;
}

// Whether the match types (`types`, `size` bytes) and `flags` ask Microsoft Advertising's bulk
// file for broad negatives, which it does not have, for the page to say so before a run: 1 or 0,
// or kBadOptions.
VARNHOLT_EXPORT("asks_for_broad_negatives") int BroadNegatives(const char* types, size_t size, unsigned flags) {
    CampaignOptions options;
    if (!ParseMatchTypes({types, size}, &options.matchTypes)) return kBadOptions;
    ReadOutputOptions(flags, &options);
    return AsksForBroadNegatives(options) ? 1 : 0;
}

// The flags' and results' names and values as JSON, {"flags":{"subsets":1,...},"results":{...}},
// its size into `size`; null when memory for it cannot be had.
VARNHOLT_EXPORT("names") const char* Names(size_t* size) {
    Text& json = namesJson;
    json.Resize(0);
    if (!json.Append("{") || !AppendNames(&json, "flags", kFlagNames) || !json.Append(",") ||
        !AppendNames(&json, "results", kResultNames) || !json.Append("}")) {
        return nullptr;
    }
    *size = json.Size();
    return json.Data();
}
