#include "campaign/campaign.h"

#include <cstring>
#include <iterator>

#include "campaign/csv_field.h"
#include "campaign/duplicates.h"
#include "campaign/keyword_file.h"
#include "campaign/message_text.h"
#include "campaign/sheet_columns.h"
#include "campaign/text_encoding.h"
#include "campaign/word_lists.h"
#include "generator/keyword_limits.h"
#include "generator/keyword_set.h"
#include "generator/permutation_text.h"

namespace {

// The window's own texts for a missing keyword.
constexpr char kNeedKeyword1[] = "Need to enter Keyword 1.  Try again.";
constexpr char kNeedKeyword2[] = "Need at least two keywords. Enter Keyword 2.";
constexpr char kBrokenUtf16[] =
    "not valid UTF-16 (a lone surrogate or an odd last byte; the output has U+FFFD in its place)";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Large writes to the sink; a text larger than this (very long keywords) grows it for as long
// as it takes.
constexpr size_t kOutputBufferSize = 256 * 1024;

struct MatchTypeStyle {
    std::string_view name;
    std::string_view open, close;  // the marks around a phrase in text
    // Google Ads Editor's Criterion Type for each NegativeLevel; the first is also Microsoft
    // Advertising's Match Type.
    std::string_view criterion[3];
};

constexpr MatchTypeStyle kStyles[] = {
    {"exact", "[", "]", {"Exact", "Negative Exact", "Campaign Negative Exact"}},
    {"phrase", "\"", "\"", {"Phrase", "Negative Phrase", "Campaign Negative Phrase"}},
    {"broad", "", "", {"Broad", "Negative Broad", "Campaign Negative Broad"}},
};

// The Type of a Microsoft Advertising bulk file's row for each NegativeLevel.
constexpr std::string_view kMicrosoftRowTypes[] = {"Keyword", "Ad Group Negative Keyword", "Campaign Negative Keyword"};

// The bulk file's columns: its first row, then the version row that must precede every other.
// Status, Id, Parent Id, Client Id and Modified Time stay empty or as given: Microsoft finds a new
// keyword's ad group by its campaign and name.
constexpr std::string_view kMicrosoftHeadings =
    "Type,Status,Id,Parent Id,Campaign,Ad Group,Client Id,Modified Time,Keyword,Match Type,Bid,Name";
constexpr std::string_view kMicrosoftVersionRow = "Format Version,,,,,,,,,,,6.0";
// Those columns compared as headings are, so that a user's column so headed is refused.
constexpr std::string_view kMicrosoftOwnColumns[] = {
    "type", "status", "id", "parentid", "clientid", "modifiedtime", "matchtype", "bid", "name"};
// A user's column with this heading fills Bid, as Google Ads Editor's Max CPC does a keyword's bid.
constexpr std::string_view kBidHeading = "maxcpc";

bool WritesRows(const CampaignOptions& options) {
    return options.format != OutputFormat::kText;
}

// Microsoft finds an ad group by campaign and name, and campaign negatives belong to one.
bool NeedsCampaign(const CampaignOptions& options) {
    return options.format == OutputFormat::kMicrosoft ||
           (WritesRows(options) && options.negative == NegativeLevel::kCampaign);
}

const MatchTypeStyle& StyleOf(MatchType type) {
    return kStyles[static_cast<int>(type)];
}

// The line a keyword set came from, for messages ("FILE:LINE"); the arguments have none.
constexpr size_t kArguments = 0;
constexpr size_t kNoLine = static_cast<size_t>(-1);

// The messages of a run. Those about lines past the cap are counted instead of built.
struct MessageLog {
    Text source;            // what messages about lines start with: the input's name, or "arguments"
    Text text;              // the message being built
    bool complete = true;   // false once memory for the message ran out
    size_t shown = 0;       // messages about lines
    size_t hidden = 0;
    size_t hiddenInvalidLines = 0;
    size_t hiddenWarnings = 0;
    size_t lastHiddenInvalidLine = kNoLine;  // a line with several errors counts once
    Text formulaAdGroup;    // the ad group last warned about as a formula
    Text formulaCampaign;   // the same for a campaign from the Campaign column
};

// Whether the file was read with the wrong separator: every line lacks keyword 2, and its
// fields hold commas or semicolons but no tabs.
struct SeparatorEvidence {
    bool otherLine = false;  // a line with keyword 2, a line that could not be split, or a tab
    size_t withCommas = 0, withSemicolons = 0;
};

enum class Severity { kInvalidLine, kWarning };

struct Writer {
    Writer(const CampaignOptions& runOptions, OutputSink runOutput, MessageSink runMessages)
        : options(runOptions), output(runOutput), messages(runMessages), campaignColumn(runOptions.hasCampaign) {
        written.hashSeed = runOptions.hashSeed;
    }

    const CampaignOptions& options;
    OutputSink output;
    MessageSink messages;
    Text buffer;
    size_t used = 0;
    bool stopped = false;      // the sink refused bytes, or memory ran out
    bool outOfMemory = false;
    bool invalid = false;      // invalid input or a limit under strict: nothing more is written
    bool outputStarted = false;
    SheetColumns columns;
    bool campaignColumn;  // CSV rows start with the campaign
    Text ownHeadings;     // the user's own columns' headings, each after a comma, as CSV fields
    // Reused from set to set, so that a set allocates nothing once they have grown.
    Text rowStart, rowFinish, escaped[4], adGroup, phrase;
    Text ownCells;        // the line's cells of the user's own columns, as ownHeadings
    size_t bidColumn = kNoColumn;  // Microsoft's Bid: the user's Max CPC column
    Text bid;                      // the line's bid, as a CSV field
    SeparatorEvidence separatorEvidence;
    WrittenPhrases written;  // for unique
    MessageLog log;
};

bool RunOutOfMemory(Writer* w) {
    w->outOfMemory = w->stopped = true;
    return false;
}

void Flush(Writer* w) {
    if (w->stopped || w->used == 0) return;
    if (!w->output.write(w->output.context, w->buffer.Data(), w->used)) w->stopped = true;
    w->used = 0;
}

// Room for `size` more bytes, or null when the output has stopped.
char* Reserve(Writer* w, size_t size) {
    if (w->stopped) return nullptr;
    if (w->buffer.Size() - w->used < size) {
        Flush(w);
        if (w->stopped) return nullptr;
        if (w->buffer.Size() < size && !w->buffer.Resize(size)) {
            RunOutOfMemory(w);
            return nullptr;
        }
    }
    char* at = w->buffer.MutableData() + w->used;
    w->used += size;
    return at;
}

void Put(Writer* w, std::string_view bytes) {
    if (char* at = Reserve(w, bytes.size())) std::memcpy(at, bytes.data(), bytes.size());
}

void StartMessage(Writer* w) {
    w->log.text.Resize(0);
    w->log.complete = true;
}

void Add(Writer* w, std::string_view piece) {
    w->log.complete = w->log.complete && w->log.text.Append(piece);
}

void AddNumber(Writer* w, size_t number) {
    w->log.complete = w->log.complete && AppendNumber(&w->log.text, number);
}

// "3 warnings", "1 warning".
void AddCount(Writer* w, size_t count, std::string_view noun) {
    AddNumber(w, count);
    Add(w, " ");
    Add(w, noun);
    if (count != 1) Add(w, "s");
}

void AddEscaped(Writer* w, EscapedText* escaped, std::string_view input) {
    w->log.complete = w->log.complete && AppendEscaped(escaped, input);
}

// A name or phrase from the input, cut after its first characters.
void AddQuoted(Writer* w, std::string_view input) {
    EscapedText quoted{&w->log.text, kQuotedCharacters};
    AddEscaped(w, &quoted, input);
    if (quoted.cut) Add(w, "...");
}

void AddCodePoint(Writer* w, uint32_t codePoint) {
    w->log.complete = w->log.complete && AppendCodePoint(&w->log.text, codePoint);
}

// A message cut short by memory that ran out is not shown: the run ends in that error.
void SendMessage(Writer* w) {
    if (!w->log.complete) {
        RunOutOfMemory(w);
        return;
    }
    w->messages.report(w->messages.context, w->log.text.View());
}

// Starts a message about the whole input: "FILE: ".
void StartInputMessage(Writer* w) {
    StartMessage(w);
    Add(w, w->log.source.View());
    Add(w, ": ");
}

// Starts a message about a line: "FILE:LINE: " or "arguments: ". False when the cap on them is
// reached: the message is then counted, and the caller builds nothing.
bool StartLineMessage(Writer* w, size_t line, Severity severity) {
    MessageLog& log = w->log;
    if (w->stopped) return false;
    if (w->options.maxMessages == 0 || log.shown < w->options.maxMessages) {
        ++log.shown;
        StartMessage(w);
        Add(w, log.source.View());
        if (line != kArguments) {
            Add(w, ":");
            AddNumber(w, line);
        }
        Add(w, ": ");
        return true;
    }
    ++log.hidden;
    if (severity == Severity::kWarning) {
        ++log.hiddenWarnings;
    } else if (line != log.lastHiddenInvalidLine) {
        ++log.hiddenInvalidLines;
        log.lastHiddenInvalidLine = line;
    }
    return false;
}

void ReportLine(Writer* w, size_t line, Severity severity, std::string_view text) {
    if (!StartLineMessage(w, line, severity)) return;
    Add(w, text);
    SendMessage(w);
}

void ReportInvalidLine(Writer* w, size_t line, std::string_view reason) {
    w->invalid = true;
    ReportLine(w, line, Severity::kInvalidLine, reason);
}

// "FILE: 250 more messages not shown (3 invalid lines, 247 warnings)": a count of 0 is left out.
void ReportHiddenMessages(Writer* w) {
    const MessageLog& log = w->log;
    if (log.hidden == 0) return;
    StartInputMessage(w);
    AddCount(w, log.hidden, "more message");
    Add(w, " not shown (");
    if (log.hiddenInvalidLines > 0) AddCount(w, log.hiddenInvalidLines, "invalid line");
    if (log.hiddenInvalidLines > 0 && log.hiddenWarnings > 0) Add(w, ", ");
    if (log.hiddenWarnings > 0) AddCount(w, log.hiddenWarnings, "warning");
    Add(w, ")");
    SendMessage(w);
}

// " holds a control character (U+001B)": a keyword or name holding one would carry it into
// the output, where it is invisible or breaks the row. A byte-order mark inside a line is as
// invisible.
void AddControlCharacter(Writer* w, uint32_t character) {
    Add(w, character == 0xFEFF ? " holds a byte-order mark (" : " holds a control character (");
    AddCodePoint(w, character);
    Add(w, ")");
}

// What a cell is in messages.
enum class CellKind { kKeyword, kAdGroup, kCampaign, kOwnColumn, kHeading };

// The message "FILE:LINE: keyword 2 holds a control character (U+001B)". `number` counts
// keywords and columns from 1.
void ReportControlCharacter(Writer* w, uint32_t character, size_t line, CellKind kind, size_t number) {
    w->invalid = true;
    if (!StartLineMessage(w, line, Severity::kInvalidLine)) return;
    switch (kind) {
        case CellKind::kKeyword: Add(w, "keyword "); break;
        case CellKind::kAdGroup: Add(w, "the ad group"); break;
        case CellKind::kCampaign: Add(w, "the campaign"); break;
        case CellKind::kOwnColumn: Add(w, "column "); break;
        case CellKind::kHeading: Add(w, "the heading of column "); break;
    }
    if (number != 0) AddNumber(w, number);
    AddControlCharacter(w, character);
    SendMessage(w);
}

// False, with that message, when the cell holds a control character.
bool CheckCell(Writer* w, std::string_view cell, size_t line, CellKind kind, size_t number = 0) {
    const uint32_t character = FirstControlCharacter(cell);
    if (character == kNoControlCharacter) return true;
    ReportControlCharacter(w, character, line, kind, number);
    return false;
}

// Google Ads Editor needs the names as they are, but a spreadsheet opening the CSV would run
// a cell that begins so as a formula.
bool LooksLikeFormula(std::string_view name) {
    return !name.empty() && (name[0] == '=' || name[0] == '+' || name[0] == '-' || name[0] == '@');
}

void AddFormulaWarning(Writer* w, std::string_view what, std::string_view name) {
    Add(w, "warning: ");
    Add(w, what);
    Add(w, " \"");
    AddQuoted(w, name);
    Add(w, "\" begins with ");
    Add(w, std::string_view(name.data(), 1));
    Add(w, ", so a spreadsheet opening the file would take it for a formula");
}

// Once for each ad group or campaign while its lines follow each other (other names between
// them do not count): remembering every name ever warned about would grow with the file.
void CheckName(Writer* w, std::string_view what, std::string_view name, Text* lastWarned, size_t line) {
    if (!LooksLikeFormula(name) || lastWarned->View() == name) return;
    if (!lastWarned->Assign(name)) {
        RunOutOfMemory(w);
        return;
    }
    if (!StartLineMessage(w, line, Severity::kWarning)) return;
    AddFormulaWarning(w, what, name);
    SendMessage(w);
}

// The campaign name comes from the options: checked once, before the first line.
void CheckCampaignName(Writer* w) {
    if (!w->options.hasCampaign) return;
    const std::string_view campaign = w->options.campaign;
    const uint32_t character = FirstControlCharacter(campaign);
    if (character != kNoControlCharacter) {
        w->invalid = true;
        StartMessage(w);
        Add(w, "the campaign name");
        AddControlCharacter(w, character);
        SendMessage(w);
    } else if (WritesRows(w->options) && LooksLikeFormula(campaign)) {
        StartMessage(w);
        AddFormulaWarning(w, "the campaign name", campaign);
        SendMessage(w);
    }
}

void AddLimit(Writer* w, size_t limit, std::string_view unit, size_t actual) {
    AddNumber(w, limit);
    Add(w, unit);
    AddNumber(w, actual);
    Add(w, ")");
}

// Every phrase over the platform's limits (Google Ads', or Microsoft Advertising's for its bulk
// file) or with characters it refuses gets one message; under strict they fail the run.
void CheckPhrases(Writer* w, const KeywordList& keywords, int keywordCount, LineMask lines, size_t setLine) {
    const bool microsoft = w->options.format == OutputFormat::kMicrosoft;
    PhraseVerdict (*const judge)(const KeywordSize&) = microsoft ? JudgeMicrosoftPhrase : JudgePhrase;
    KeywordSize sizes[4];
    for (int k = 0; k < keywordCount; ++k) sizes[k] = MeasureKeyword(keywords.words[k]);
    // The full-length phrases are the longest: when they fit, every phrase does.
    const OrderingList orderings = PermutationOrderings(keywordCount, w->options.includeSubsets);
    if (judge(MeasurePhrase(sizes, orderings.entries[0])).Accepted()) return;

    const MatchTypeStyle& style = StyleOf(w->options.matchTypes.types[0]);
    size_t index = 0;
    for (const KeywordOrdering& line : orderings) {
        const LineMask thisLine = LineMask{1} << index++;
        if (!(lines & thisLine)) continue;
        const KeywordSize phrase = MeasurePhrase(sizes, line);
        const PhraseVerdict verdict = judge(phrase);
        if (verdict.Accepted()) continue;
        if (w->options.strict) w->invalid = true;
        if (!StartLineMessage(w, setLine, w->options.strict ? Severity::kInvalidLine : Severity::kWarning)) continue;
        Text& text = w->phrase;
        const LineLayout bare{{}, {}, {}, false};
        if (!text.Resize(LaidOutTextLength(keywords, w->options.includeSubsets, bare, thisLine))) {
            RunOutOfMemory(w);
            return;
        }
        WriteLaidOutText(keywords, w->options.includeSubsets, bare, text.MutableData(), thisLine);
        Add(w, w->options.strict ? "error: " : "warning: ");
        Add(w, style.open);
        AddQuoted(w, text.View());
        Add(w, style.close);
        if (verdict.OverLimits()) {
            const bool both = verdict.tooManyCharacters && verdict.tooManyWords;
            Add(w, microsoft ? " is over Microsoft Advertising's limit of "
                   : both    ? " is over Google Ads' limits of "
                             : " is over Google Ads' limit of ");
            const size_t maxCharacters = microsoft ? kMaxMicrosoftKeywordCharacters : kMaxKeywordCharacters;
            if (verdict.tooManyCharacters) AddLimit(w, maxCharacters, " characters (", phrase.characters);
            if (both) Add(w, " and ");
            if (verdict.tooManyWords) AddLimit(w, kMaxKeywordWords, " words (", phrase.words);
        }
        if (verdict.refused) {
            Add(w, verdict.OverLimits() ? " and holds" : " holds");
            Add(w, " characters that Google Ads does not accept in keywords:");
            for (size_t c = 0; c < kRefusedKeywordCharacters.size(); ++c) {
                if (!(verdict.refused >> c & 1)) continue;
                Add(w, " ");
                Add(w, std::string_view(&kRefusedKeywordCharacters[c], 1));
            }
        }
        SendMessage(w);
    }
}

// Which of the set's lines are new for the campaign's ad group; the rest were written for it
// already, wherever they stand in the input.
bool KeepNewLines(Writer* w, std::string_view campaign, std::string_view adGroup, const KeywordList& keywords,
                  int keywordCount, LineMask* lines) {
    return KeepNewOrderings(&w->written, campaign, adGroup, keywords, keywordCount, w->options.includeSubsets, lines) ||
           RunOutOfMemory(w);
}

void WriteLines(Writer* w, const KeywordList& keywords, LineMask lines, const LineLayout& layout) {
    const size_t length = LaidOutTextLength(keywords, w->options.includeSubsets, layout, lines);
    if (length == kPermutationTextTooLong) {
        RunOutOfMemory(w);
        return;
    }
    if (char* at = Reserve(w, length)) WriteLaidOutText(keywords, w->options.includeSubsets, layout, at, lines);
}

// The fields before the keyword: [Campaign,]Ad group, in Google Ads Editor's CSV;
// Type,Status,Id,Parent Id,Campaign,Ad Group,Client Id,Modified Time in Microsoft's bulk file.
bool AppendRowStart(Writer* w, Text* start, std::string_view campaign, std::string_view adGroup) {
    if (w->options.format == OutputFormat::kMicrosoft) {
        return start->Append(kMicrosoftRowTypes[static_cast<int>(w->options.negative)]) &&
               start->Append(",Active,,,") && AppendCsvField(start, campaign) && start->Append(",") &&
               AppendCsvField(start, adGroup) && start->Append(",,,");
    }
    return (!w->campaignColumn || (AppendCsvField(start, campaign) && start->Append(","))) &&
           AppendCsvField(start, adGroup) && start->Append(",");
}

// The fields after the keyword for one match type: Criterion Type; or Match Type,Bid,Name, a
// negative keyword having no bid. The user's own columns follow in both.
bool AppendRowFinish(Writer* w, Text* finish, const MatchTypeStyle& style) {
    const NegativeLevel negative = w->options.negative;
    bool built;
    if (w->options.format == OutputFormat::kMicrosoft) {
        built = finish->Append(style.criterion[0]) && finish->Append(",") &&
                (negative != NegativeLevel::kNone || finish->Append(w->bid.View())) && finish->Append(",");
    } else {
        built = finish->Append(style.criterion[static_cast<int>(negative)]);
    }
    return built && finish->Append(w->ownCells.View());
}

// One row per phrase, its fields as AppendRowStart and AppendRowFinish say. The keyword is the
// phrase without marks, so the rows are the builder's lines with the row's other fields as the
// line start and finish.
void WriteRows(Writer* w, const KeywordList& keywords, int keywordCount, std::string_view campaign,
               std::string_view adGroup, LineMask lines) {
    Text& start = w->rowStart;
    start.Resize(0);
    bool built = AppendRowStart(w, &start, campaign, adGroup);

    bool quoted = false;
    for (int k = 0; k < keywordCount; ++k) quoted |= CsvFieldNeedsQuotes(keywords.words[k]);
    KeywordList rowKeywords = keywords;
    if (quoted) {
        // Doubling the quotes keyword by keyword quotes the whole phrase: the blanks joining
        // them need no escaping.
        built = built && start.Append("\"");
        for (int k = 0; k < keywordCount && built; ++k) {
            w->escaped[k].Resize(0);
            built = AppendCsvEscaped(&w->escaped[k], keywords.words[k]);
            rowKeywords.words[k] = w->escaped[k].View();
        }
    }
    if (!built) {
        RunOutOfMemory(w);
        return;
    }
    for (size_t t = 0; t < w->options.matchTypes.count; ++t) {
        const MatchTypeStyle& style = StyleOf(w->options.matchTypes.types[t]);
        Text& finish = w->rowFinish;
        finish.Resize(0);
        if (!finish.Append(quoted ? "\"," : ",") || !AppendRowFinish(w, &finish, style)) {
            RunOutOfMemory(w);
            return;
        }
        WriteLines(w, rowKeywords, lines, {start.View(), finish.View(), w->options.lineEnd, true});
    }
}

// Checks one keyword set and writes its phrases in every match type.
void WriteSet(Writer* w, const KeywordList& keywords, int keywordCount, std::string_view campaign,
              std::string_view adGroup, size_t line) {
    const bool rows = WritesRows(w->options);
    // Campaign negatives have no ad group: with --unique they are compared per campaign.
    const bool campaignNegatives = rows && w->options.negative == NegativeLevel::kCampaign;
    if (campaignNegatives) adGroup = {};
    // --unique names such an ad group itself, without the copy.
    if (adGroup.empty() && !campaignNegatives && rows) {
        Text& joined = w->adGroup;
        joined.Resize(0);
        for (int k = 0; k < keywordCount; ++k) {
            if ((k > 0 && !joined.Append(" ")) || !joined.Append(keywords.words[k])) {
                RunOutOfMemory(w);
                return;
            }
        }
        adGroup = joined.View();
    }
    if (rows) CheckName(w, "the ad group", adGroup, &w->log.formulaAdGroup, line);
    LineMask lines = kAllLines;
    // One key for every campaign negative; without a blank, it is never taken for an ad group
    // named after its keywords, which --unique gets as an empty name.
    constexpr std::string_view kCampaignNegatives = "(campaign)";
    if (w->options.unique &&
        !KeepNewLines(w, campaign, campaignNegatives ? kCampaignNegatives : adGroup, keywords, keywordCount, &lines)) {
        return;
    }
    CheckPhrases(w, keywords, keywordCount, lines, line);
    if (w->invalid) return;
    if (rows) {
        WriteRows(w, keywords, keywordCount, campaign, adGroup, lines);
        return;
    }
    for (size_t t = 0; t < w->options.matchTypes.count; ++t) {
        const MatchTypeStyle& style = StyleOf(w->options.matchTypes.types[t]);
        WriteLines(w, keywords, lines, {style.open, style.close, w->options.lineEnd, true});
    }
}

const char* MissingKeywordMessage(const std::string_view fields[4]) {
    switch (FindMissingKeyword({{fields[0], fields[1], fields[2], fields[3]}})) {
        case MissingKeyword::kKeyword1: return kNeedKeyword1;
        case MissingKeyword::kKeyword2: return kNeedKeyword2;
        default: return nullptr;
    }
}

// One line's fields, or the arguments: every keyword set they stand for.
void WriteFields(Writer* w, const std::string_view fields[4], std::string_view campaign, std::string_view adGroup,
                 size_t line) {
    if (campaign.empty() && NeedsCampaign(w->options)) {
        w->invalid = true;
        if (!StartLineMessage(w, line, Severity::kInvalidLine)) return;
        Add(w, w->options.format == OutputFormat::kMicrosoft
                   ? "no campaign (Microsoft Advertising finds an ad group by its campaign and name); "
                   : "no campaign for its campaign negatives; ");
        Add(w, w->options.controlNames.campaign);
        SendMessage(w);
        return;
    }
    KeywordList keywords{{fields[0], fields[1], fields[2], fields[3]}};
    const int keywordCount = CountKeywords(keywords);
    if (!w->options.mix) {
        WriteSet(w, keywords, keywordCount, campaign, adGroup, line);
        return;
    }
    WordListOdometer odometer;
    int refusedKeyword = 0;
    const WordListRefusal refusal = StartWordLists(&odometer, fields, keywordCount, &refusedKeyword);
    if (refusal != WordListRefusal::kNone) {
        w->invalid = true;
        if (!StartLineMessage(w, line, Severity::kInvalidLine)) return;
        if (refusal == WordListRefusal::kEmptyAlternative) {
            Add(w, "empty alternative in keyword ");
            AddNumber(w, static_cast<size_t>(refusedKeyword));
        } else {
            Add(w, "more than ");
            AddNumber(w, kMaxCombinations);
            Add(w, " combinations of alternatives");
        }
        SendMessage(w);
        return;
    }
    do {
        for (int k = 0; k < keywordCount; ++k) keywords.words[k] = odometer.current[k];
        WriteSet(w, keywords, keywordCount, campaign, adGroup, line);
    } while (!w->stopped && NextCombination(&odometer));
}

bool StartOutput(Writer* w) {
    w->outputStarted = true;
    if (!w->buffer.Resize(kOutputBufferSize)) return RunOutOfMemory(w);
    // "UTF-8 files must include the byte order mark", says Microsoft of its bulk upload.
    if (w->options.byteOrderMark || w->options.format == OutputFormat::kMicrosoft) Put(w, kByteOrderMark);
    if (w->options.format == OutputFormat::kMicrosoft) {
        Put(w, kMicrosoftHeadings);
        Put(w, w->ownHeadings.View());
        Put(w, w->options.lineEnd);
        Put(w, kMicrosoftVersionRow);
        for (size_t o = 0; o < w->columns.own.count; ++o) Put(w, ",");
        Put(w, w->options.lineEnd);
        return !w->stopped;
    }
    if (w->options.format != OutputFormat::kCsv) return true;
    if (w->campaignColumn) Put(w, "Campaign,");
    Put(w, "Ad group,Keyword,Criterion Type");
    Put(w, w->ownHeadings.View());
    Put(w, w->options.lineEnd);
    return !w->stopped;
}

// `ending` is kReadFailed or kNoKeywordSets where the input says so.
CampaignResult Finish(Writer* w, CampaignResult ending = CampaignResult::kWritten) {
    ReportHiddenMessages(w);
    Flush(w);
    if (w->outOfMemory) return CampaignResult::kOutOfMemory;
    if (w->stopped) return CampaignResult::kOutputStopped;
    if (ending == CampaignResult::kReadFailed) return ending;
    return w->invalid ? CampaignResult::kInvalidInput : ending;
}

// The heading row: which column holds what, and the CSV heading row's own columns. False, with
// a message for each fault, when the lines cannot be read by it.
bool ReadHeadings(Writer* w, const LineFields& headings, size_t line) {
    const bool microsoft = w->options.format == OutputFormat::kMicrosoft;
    OwnedArray<HeadingFault> faults;
    if (!ReadHeadingRow(headings, &w->columns, &faults, microsoft ? kMicrosoftOwnColumns : nullptr,
                        microsoft ? std::size(kMicrosoftOwnColumns) : 0)) {
        return RunOutOfMemory(w);
    }
    for (size_t f = 0; f < faults.count; ++f) {
        const HeadingFault& fault = faults.items[f];
        w->invalid = true;
        if (!StartLineMessage(w, line, Severity::kInvalidLine)) continue;
        if (fault.kind == HeadingFault::kNoKeyword1 || fault.kind == HeadingFault::kNoKeyword2) {
            Add(w, fault.kind == HeadingFault::kNoKeyword1 ? "no column is headed \"Keyword 1\""
                                                           : "no column is headed \"Keyword 2\"");
            SendMessage(w);
            continue;
        }
        Add(w, "column ");
        AddNumber(w, fault.column + 1);
        if (fault.kind == HeadingFault::kRepeated) {
            Add(w, " has the same heading as column ");
            AddNumber(w, fault.firstColumn + 1);
            Add(w, " (\"");
        } else {
            Add(w, " is headed \"");
        }
        AddQuoted(w, headings.Field(fault.column));
        Add(w, fault.kind == HeadingFault::kRepeated ? "\")" : "\", a column the output writes itself");
        SendMessage(w);
    }
    bool usable = faults.count == 0;
    OwnedArray<size_t>& own = w->columns.own;
    for (size_t o = 0; o < own.count;) {
        const size_t column = own.items[o];
        std::string_view heading = TrimmedHeading(headings.Field(column));
        usable = CheckCell(w, heading, line, CellKind::kHeading, column + 1) && usable;
        if (microsoft && HeadingIs(heading, kBidHeading)) {
            // Microsoft's own Bid column holds it: no longer a column of the user's own.
            w->bidColumn = column;
            std::memmove(own.items + o, own.items + o + 1, (own.count - o - 1) * sizeof(size_t));
            --own.count;
            continue;
        }
        if (microsoft && HeadingIs(heading, "finalurl")) heading = "Final Url";  // as Microsoft spells it
        if (!w->ownHeadings.Append(",") || !AppendCsvField(&w->ownHeadings, heading)) return RunOutOfMemory(w);
        ++o;
    }
    w->campaignColumn = w->campaignColumn || w->columns.campaign != kNoColumn;
    return usable;
}

// A line that lacks keyword 2 may have been split with the wrong separator.
void NoteSeparatorEvidence(Writer* w, const LineFields& fields, bool lacksKeyword2) {
    SeparatorEvidence& evidence = w->separatorEvidence;
    bool commas = false, semicolons = false;
    for (size_t f = 0; f < fields.kept.count && lacksKeyword2; ++f) {
        const std::string_view field = fields.kept.items[f];
        commas = commas || field.find(',') != std::string_view::npos;
        semicolons = semicolons || field.find(';') != std::string_view::npos;
        evidence.otherLine = evidence.otherLine || field.find(kTab) != std::string_view::npos;
    }
    const bool tabs = FieldSeparator(w->options.inputFormat, w->options.csvSeparator) == kTab && fields.total > 1;
    evidence.otherLine = evidence.otherLine || !lacksKeyword2 || tabs;
    evidence.withCommas += commas;
    evidence.withSemicolons += semicolons;
}

// "FILE: no line has a keyword 2, and the lines hold semicolons: if they separate the columns,
// give --input-format csv --separator ';'". Semicolons first: in a file separated by them,
// commas stand in numbers (0,50).
void ReportSeparatorHint(Writer* w) {
    const SeparatorEvidence& evidence = w->separatorEvidence;
    if (evidence.otherLine || w->stopped) return;
    const char separator = FieldSeparator(w->options.inputFormat, w->options.csvSeparator);
    const bool semicolons = evidence.withSemicolons > 0 && evidence.withSemicolons >= evidence.withCommas &&
                            separator != ';';
    if (!semicolons && (evidence.withCommas == 0 || separator == ',')) return;
    StartInputMessage(w);
    Add(w, semicolons ? "no line has a keyword 2, and the lines hold semicolons: if they separate the columns, "
                      : "no line has a keyword 2, and the lines hold commas: if they separate the columns, ");
    Add(w, semicolons ? w->options.controlNames.semicolons : w->options.controlNames.commas);
    SendMessage(w);
}

// One line of keyword sets, split: its checks, then its sets.
void WriteSetLine(Writer* w, const LineFields& fields, size_t line) {
    const SheetColumns& columns = w->columns;
    std::string_view keywords[4];
    for (int k = 0; k < 4; ++k) keywords[k] = fields.Field(columns.keyword[k]);
    if (!w->separatorEvidence.otherLine) NoteSeparatorEvidence(w, fields, !keywords[0].empty() && keywords[1].empty());
    if (fields.total > columns.count) {
        ReportInvalidLine(w, line, w->options.header ? "more fields than headings" : "more than five fields");
        return;
    }
    for (size_t u = 0; u < columns.unnamed.count; ++u) {
        const size_t column = columns.unnamed.items[u];
        if (fields.Field(column).empty()) continue;
        w->invalid = true;
        if (StartLineMessage(w, line, Severity::kInvalidLine)) {
            Add(w, "a value in column ");
            AddNumber(w, column + 1);
            Add(w, ", which has no heading");
            SendMessage(w);
        }
        return;
    }
    const std::string_view adGroup = fields.Field(columns.adGroup);
    const std::string_view campaignCell = fields.Field(columns.campaign);
    const std::string_view cells[] = {keywords[0], keywords[1], keywords[2], keywords[3], adGroup, campaignCell};
    for (size_t c = 0; c < 6; ++c) {
        const CellKind kind = c < 4 ? CellKind::kKeyword : c == 4 ? CellKind::kAdGroup : CellKind::kCampaign;
        if (!CheckCell(w, cells[c], line, kind, c < 4 ? c + 1 : 0)) return;
    }
    for (size_t o = 0; o < columns.own.count; ++o) {
        const size_t column = columns.own.items[o];
        if (!CheckCell(w, fields.Field(column), line, CellKind::kOwnColumn, column + 1)) return;
    }
    if (const char* missing = MissingKeywordMessage(keywords)) {
        ReportInvalidLine(w, line, missing);
        return;
    }
    const bool rows = WritesRows(w->options);
    if (rows) CheckName(w, "the campaign", campaignCell, &w->log.formulaCampaign, line);
    std::string_view campaign = campaignCell;
    if (campaign.empty() && w->options.hasCampaign) campaign = w->options.campaign;
    if (columns.own.count > 0) w->ownCells.Resize(0);
    for (size_t o = 0; o < columns.own.count && rows; ++o) {
        if (!w->ownCells.Append(",") || !AppendCsvField(&w->ownCells, fields.Field(columns.own.items[o]))) {
            RunOutOfMemory(w);
            return;
        }
    }
    if (w->bidColumn != kNoColumn) {
        const std::string_view bid = fields.Field(w->bidColumn);
        w->bid.Resize(0);
        if (!CheckCell(w, bid, line, CellKind::kOwnColumn, w->bidColumn + 1)) return;
        if (!AppendCsvField(&w->bid, bid)) {
            RunOutOfMemory(w);
            return;
        }
    }
    WriteFields(w, keywords, campaign, adGroup, line);
}

// Refused before anything is read, as no row could be written.
bool RefuseBroadNegatives(Writer* w) {
    if (!AsksForBroadNegatives(w->options)) return false;
    w->invalid = true;
    StartMessage(w);
    Add(w, "Microsoft Advertising has no broad negatives");
    SendMessage(w);
    return true;
}

}  // namespace

bool ParseMatchTypes(std::string_view list, MatchTypeList* types) {
    MatchTypeList parsed;
    parsed.count = 0;
    for (;;) {
        const size_t comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        size_t style = 0;
        while (style < 3 && kStyles[style].name != name) ++style;
        if (style == 3) return false;
        for (size_t t = 0; t < parsed.count; ++t) {
            if (parsed.types[t] == static_cast<MatchType>(style)) return false;
        }
        parsed.types[parsed.count++] = static_cast<MatchType>(style);
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    *types = parsed;
    return true;
}

bool ParseInputEncoding(std::string_view name, InputEncoding* encoding) {
    constexpr struct {
        std::string_view name;
        InputEncoding encoding;
    } kNames[] = {{"auto", InputEncoding::kAuto},         {"utf-8", InputEncoding::kUtf8},
                  {"utf-16le", InputEncoding::kUtf16Le},  {"utf-16be", InputEncoding::kUtf16Be},
                  {"windows-1252", InputEncoding::kWindows1252}};
    for (const auto& known : kNames) {
        if (known.name == name) {
            *encoding = known.encoding;
            return true;
        }
    }
    return false;
}

bool AsksForBroadNegatives(const CampaignOptions& options) {
    if (options.format != OutputFormat::kMicrosoft || options.negative == NegativeLevel::kNone) return false;
    for (size_t t = 0; t < options.matchTypes.count; ++t) {
        if (options.matchTypes.types[t] == MatchType::kBroad) return true;
    }
    return false;
}

CampaignResult WriteCampaignFromFile(const CampaignOptions& options, ReadFunction read, void* source,
                                     std::string_view inputName, OutputSink output, MessageSink messages) {
    Writer w(options, output, messages);
    if (RefuseBroadNegatives(&w)) return Finish(&w);
    EscapedText name{&w.log.source};
    if (!AppendEscaped(&name, inputName)) return CampaignResult::kOutOfMemory;
    DecodingReader decoder = MakeDecodingReader(read, source, options.inputEncoding);
    StartDecoding(&decoder);
    if (decoder.firstNulByte != kNoNulByte) {
        // Binary data read as text would give a message for nearly every line: one for the file.
        StartInputMessage(&w);
        Add(&w, "not a text file (a NUL byte at offset ");
        AddNumber(&w, decoder.firstNulByte);
        if (decoder.nulBytesAlternate) {
            Add(&w, "; ");
            Add(&w, options.controlNames.utf16);
        }
        Add(&w, ")");
        SendMessage(&w);
        return Finish(&w, CampaignResult::kInvalidInput);
    }
    CheckCampaignName(&w);
    // With a heading row, the CSV heading row waits for it.
    if (!options.header && !StartOutput(&w)) return Finish(&w);
    LineReader reader = MakeLineReader(ReadDecoded, &decoder, FieldSeparator(options.inputFormat, options.csvSeparator));
    LineFields fields;
    bool firstLine = true;  // other than an empty one
    bool anyLine = false;   // of keyword sets, other than an empty one
    while (!w.stopped) {
        char* bytes;
        size_t size;
        const ReadLineResult result = ReadLine(&reader, &bytes, &size);
        if (result == ReadLineResult::kEnd) {
            if (!w.outputStarted && !StartOutput(&w)) return Finish(&w);
            if (anyLine) {
                ReportSeparatorHint(&w);
                return Finish(&w);
            }
            StartInputMessage(&w);
            Add(&w, "no keyword sets");
            SendMessage(&w);
            return Finish(&w, CampaignResult::kNoKeywordSets);
        }
        if (result == ReadLineResult::kReadFailed) return Finish(&w, CampaignResult::kReadFailed);
        if (result == ReadLineResult::kOutOfMemory) {
            RunOutOfMemory(&w);
            break;
        }
        const size_t line = reader.lineNumber;
        if (KeepsBytesAsTheyAre(decoder) && !IsValidUtf8({bytes, size}) &&
            StartLineMessage(&w, line, Severity::kWarning)) {
            Add(&w, "not UTF-8 (the output keeps these bytes; ");
            Add(&w, options.controlNames.windows1252);
            Add(&w, ")");
            SendMessage(&w);
        }
        if (!KeepsBytesAsTheyAre(decoder) && RestoreReplacementCharacters(bytes, size)) {
            ReportLine(&w, line, Severity::kWarning, kBrokenUtf16);
        }
        // The first line is kept whole: it may name the columns.
        fields.keep = firstLine ? kEveryField : w.columns.count;
        if (const char* reason = SplitFields(bytes, size, reader.separator, &fields)) {
            if (reason == kNoMemoryForFields) {
                RunOutOfMemory(&w);
                break;
            }
            w.separatorEvidence.otherLine = true;
            ReportInvalidLine(&w, line, reason);
            // Without its heading row, no line of a sheet can be read.
            if (firstLine && options.header) return Finish(&w);
            firstLine = false;
            anyLine = true;
            continue;
        }
        if (AllFieldsEmpty(fields)) continue;
        if (firstLine && options.header) {
            firstLine = false;
            if (!ReadHeadings(&w, fields, line)) {
                // Lacking a keyword column, the separator may be the fault.
                NoteSeparatorEvidence(&w, fields, w.columns.keyword[1] == kNoColumn);
                ReportSeparatorHint(&w);
                return Finish(&w);
            }
            if (!StartOutput(&w)) break;
            continue;
        }
        anyLine = true;
        if (firstLine && FieldsNameColumns(fields)) {
            firstLine = false;
            w.separatorEvidence.otherLine = true;
            w.invalid = true;
            if (StartLineMessage(&w, line, Severity::kInvalidLine)) {
                Add(&w, "this line names columns; ");
                Add(&w, options.controlNames.header);
                SendMessage(&w);
            }
            continue;
        }
        firstLine = false;
        WriteSetLine(&w, fields, line);
    }
    return Finish(&w);
}

CampaignResult WriteCampaignFromKeywords(const CampaignOptions& options, const std::string_view keywords[4],
                                         OutputSink output, MessageSink messages) {
    Writer w(options, output, messages);
    if (!w.log.source.Assign("arguments")) return CampaignResult::kOutOfMemory;
    if (RefuseBroadNegatives(&w)) return Finish(&w);
    // Before anything is written; a missing keyword as the window says it.
    CheckCampaignName(&w);
    bool controlCharacter = false;
    for (int k = 0; k < 4 && !controlCharacter; ++k) {
        controlCharacter = !CheckCell(&w, keywords[k], kArguments, CellKind::kKeyword, static_cast<size_t>(k) + 1);
    }
    if (!controlCharacter) {
        if (const char* missing = MissingKeywordMessage(keywords)) {
            w.invalid = true;
            StartMessage(&w);
            Add(&w, missing);
            SendMessage(&w);
        }
    }
    const std::string_view campaign = options.hasCampaign ? options.campaign : std::string_view();
    if (!w.invalid && StartOutput(&w)) WriteFields(&w, keywords, campaign, {}, kArguments);
    return Finish(&w);
}

bool InputStartsWithHeadings(const CampaignOptions& options, ReadFunction read, void* source) {
    DecodingReader decoder = MakeDecodingReader(read, source, options.inputEncoding);
    StartDecoding(&decoder);
    LineReader reader = MakeLineReader(ReadDecoded, &decoder, FieldSeparator(options.inputFormat, options.csvSeparator));
    LineFields fields;
    fields.keep = kEveryField;
    char* bytes;
    size_t size;
    while (ReadLine(&reader, &bytes, &size) == ReadLineResult::kLine) {
        if (SplitFields(bytes, size, reader.separator, &fields)) return false;
        if (!AllFieldsEmpty(fields)) return FieldsNameColumns(fields);
    }
    return false;
}
