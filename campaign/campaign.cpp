#include "campaign/campaign.h"

#include <cstring>

#include "campaign/csv_field.h"
#include "campaign/duplicates.h"
#include "campaign/keyword_file.h"
#include "campaign/keyword_limits.h"
#include "campaign/message_text.h"
#include "campaign/text_encoding.h"
#include "campaign/word_lists.h"
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
    std::string_view criterion, negativeCriterion;
};

constexpr MatchTypeStyle kStyles[] = {
    {"exact", "[", "]", "Exact", "Negative Exact"},
    {"phrase", "\"", "\"", "Phrase", "Negative Phrase"},
    {"broad", "", "", "Broad", "Negative Broad"},
};

const MatchTypeStyle& StyleOf(MatchType type) {
    return kStyles[static_cast<int>(type)];
}

// The line a keyword set came from, for messages ("FILE:LINE"); the arguments have none.
constexpr size_t kArguments = 0;
constexpr size_t kNoLine = static_cast<size_t>(-1);

// The set's orderings to write, one bit per ordering in table order (at most 60).
using LineMask = uint64_t;
constexpr LineMask kAllLines = ~LineMask{0};

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
    Text formulaName;       // the ad group last warned about as a formula
};

enum class Severity { kInvalidLine, kWarning };

struct Writer {
    Writer(const CampaignOptions& runOptions, OutputSink runOutput, MessageSink runMessages)
        : options(runOptions), output(runOutput), messages(runMessages) {}

    const CampaignOptions& options;
    OutputSink output;
    MessageSink messages;
    Text buffer;
    size_t used = 0;
    bool stopped = false;      // the sink refused bytes, or memory ran out
    bool outOfMemory = false;
    bool invalid = false;      // invalid input or a limit under strict: nothing more is written
    // Reused from set to set, so that a set allocates nothing once they have grown.
    Text rowStart, rowFinish, escaped[4], adGroup;
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
    StartMessage(w);
    Add(w, log.source.View());
    Add(w, ": ");
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

// False, with one message, when one of the keywords or the ad group (the fifth field) holds a
// control character.
bool CheckControlCharacters(Writer* w, const std::string_view* fields, size_t count, size_t line) {
    for (size_t f = 0; f < count; ++f) {
        const uint32_t character = FirstControlCharacter(fields[f]);
        if (character == kNoControlCharacter) continue;
        w->invalid = true;
        if (StartLineMessage(w, line, Severity::kInvalidLine)) {
            if (f < 4) {
                Add(w, "keyword ");
                AddNumber(w, f + 1);
            } else {
                Add(w, "the ad group");
            }
            AddControlCharacter(w, character);
            SendMessage(w);
        }
        return false;
    }
    return true;
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

// Once for each ad group while its lines follow each other (other names between them do not
// count): remembering every name ever warned about would grow with the file.
void CheckAdGroupName(Writer* w, std::string_view adGroup, size_t line) {
    MessageLog& log = w->log;
    if (!LooksLikeFormula(adGroup) || log.formulaName.View() == adGroup) return;
    if (!log.formulaName.Assign(adGroup)) {
        RunOutOfMemory(w);
        return;
    }
    if (!StartLineMessage(w, line, Severity::kWarning)) return;
    AddFormulaWarning(w, "the ad group", adGroup);
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
    } else if (w->options.format == OutputFormat::kCsv && LooksLikeFormula(campaign)) {
        StartMessage(w);
        AddFormulaWarning(w, "the campaign name", campaign);
        SendMessage(w);
    }
}

// Which of kRefusedKeywordCharacters a byte is, as one bit; a table, since every byte of every
// keyword is looked up.
struct RefusedCharacterTable {
    uint32_t bits[256];
};

constexpr RefusedCharacterTable MakeRefusedCharacterTable() {
    RefusedCharacterTable table{};
    for (size_t c = 0; c < kRefusedKeywordCharacters.size(); ++c) {
        table.bits[static_cast<unsigned char>(kRefusedKeywordCharacters[c])] = 1u << c;
    }
    return table;
}

constexpr RefusedCharacterTable kRefusedCharacterBits = MakeRefusedCharacterTable();

uint32_t RefusedCharacters(std::string_view keyword) {
    uint32_t found = 0;
    for (const char c : keyword) found |= kRefusedCharacterBits.bits[static_cast<unsigned char>(c)];
    return found;
}

void AddLimit(Writer* w, size_t limit, std::string_view unit, size_t actual) {
    AddNumber(w, limit);
    Add(w, unit);
    AddNumber(w, actual);
    Add(w, ")");
}

// Every phrase over Google Ads' limits or with characters it refuses gets one message; under
// strict they fail the run.
void CheckPhrases(Writer* w, const KeywordList& keywords, int keywordCount, LineMask lines, size_t setLine) {
    KeywordSize sizes[4];
    uint32_t refused[4];
    KeywordSize whole{static_cast<size_t>(keywordCount - 1), 0};
    uint32_t anyRefused = 0;
    for (int k = 0; k < keywordCount; ++k) {
        sizes[k] = MeasureKeyword(keywords.words[k]);
        refused[k] = RefusedCharacters(keywords.words[k]);
        whole.characters += sizes[k].characters;
        whole.words += sizes[k].words;
        anyRefused |= refused[k];
    }
    // The full-length phrases are the longest: when they fit, every phrase does.
    if (whole.characters <= kMaxKeywordCharacters && whole.words <= kMaxKeywordWords && !anyRefused) return;

    const MatchTypeStyle& style = StyleOf(w->options.matchTypes.types[0]);
    size_t index = 0;
    for (const KeywordOrdering& line : PermutationOrderings(keywordCount, w->options.includeSubsets)) {
        if (!(lines >> index++ & 1)) continue;
        KeywordSize phrase{line.count - 1u, 0};
        uint32_t phraseRefused = 0;
        for (size_t k = 0; k < line.count; ++k) {
            phrase.characters += sizes[line.keywords[k]].characters;
            phrase.words += sizes[line.keywords[k]].words;
            phraseRefused |= refused[line.keywords[k]];
        }
        const bool tooLong = phrase.characters > kMaxKeywordCharacters;
        const bool tooManyWords = phrase.words > kMaxKeywordWords;
        if (!tooLong && !tooManyWords && !phraseRefused) continue;
        if (w->options.strict) w->invalid = true;
        if (!StartLineMessage(w, setLine, w->options.strict ? Severity::kInvalidLine : Severity::kWarning)) continue;
        Add(w, w->options.strict ? "error: " : "warning: ");
        Add(w, style.open);
        EscapedText quoted{&w->log.text, kQuotedCharacters};
        for (size_t k = 0; k < line.count; ++k) {
            if (k > 0) AddEscaped(w, &quoted, " ");
            AddEscaped(w, &quoted, keywords.words[line.keywords[k]]);
        }
        if (quoted.cut) Add(w, "...");
        Add(w, style.close);
        if (tooLong || tooManyWords) {
            Add(w, tooLong && tooManyWords ? " is over Google Ads' limits of " : " is over Google Ads' limit of ");
            if (tooLong) AddLimit(w, kMaxKeywordCharacters, " characters (", phrase.characters);
            if (tooLong && tooManyWords) Add(w, " and ");
            if (tooManyWords) AddLimit(w, kMaxKeywordWords, " words (", phrase.words);
        }
        if (phraseRefused) {
            Add(w, tooLong || tooManyWords ? " and holds" : " holds");
            Add(w, " characters that Google Ads does not accept in keywords:");
            for (size_t c = 0; c < kRefusedKeywordCharacters.size(); ++c) {
                if (!(phraseRefused >> c & 1)) continue;
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

// One line, as the builder lays it out.
void WriteLine(Writer* w, const KeywordList& keywords, const KeywordOrdering& line, const LineLayout& layout) {
    size_t length = layout.lineStart.size() + layout.lineFinish.size() + layout.lineEnd.size() + line.count - 1;
    for (size_t k = 0; k < line.count; ++k) length += keywords.words[line.keywords[k]].size();
    char* at = Reserve(w, length);
    if (!at) return;
    const auto put = [&at](std::string_view bytes) {
        std::memcpy(at, bytes.data(), bytes.size());
        at += bytes.size();
    };
    put(layout.lineStart);
    for (size_t k = 0; k < line.count; ++k) {
        if (k > 0) put(" ");
        put(keywords.words[line.keywords[k]]);
    }
    put(layout.lineFinish);
    put(layout.lineEnd);
}

void WriteLines(Writer* w, const KeywordList& keywords, int keywordCount, LineMask lines, const LineLayout& layout) {
    if (lines == kAllLines) {
        const size_t length = LaidOutTextLength(keywords, w->options.includeSubsets, layout);
        if (length == kPermutationTextTooLong) {
            RunOutOfMemory(w);
            return;
        }
        if (char* at = Reserve(w, length)) WriteLaidOutText(keywords, w->options.includeSubsets, layout, at);
        return;
    }
    size_t index = 0;
    for (const KeywordOrdering& line : PermutationOrderings(keywordCount, w->options.includeSubsets)) {
        if (lines >> index++ & 1) WriteLine(w, keywords, line, layout);
    }
}

// One row per phrase: [Campaign,]Ad group,Keyword,Criterion Type. The keyword is the phrase
// without marks, so the rows are the builder's lines with the row's other fields as the line
// start and finish.
void WriteCsvRows(Writer* w, const KeywordList& keywords, int keywordCount, std::string_view adGroup,
                  LineMask lines) {
    Text& start = w->rowStart;
    start.Resize(0);
    bool built = !w->options.hasCampaign || (AppendCsvField(&start, w->options.campaign) && start.Append(","));
    built = built && AppendCsvField(&start, adGroup) && start.Append(",");

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
        if (!finish.Append(quoted ? "\"," : ",") ||
            !finish.Append(w->options.negative ? style.negativeCriterion : style.criterion)) {
            RunOutOfMemory(w);
            return;
        }
        WriteLines(w, rowKeywords, keywordCount, lines, {start.View(), finish.View(), w->options.lineEnd, true});
    }
}

// Checks one keyword set and writes its phrases in every match type.
void WriteSet(Writer* w, const KeywordList& keywords, int keywordCount, std::string_view adGroup, size_t line) {
    // --unique names such an ad group itself, without the copy.
    if (adGroup.empty() && w->options.format == OutputFormat::kCsv) {
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
    if (w->options.format == OutputFormat::kCsv) CheckAdGroupName(w, adGroup, line);
    LineMask lines = kAllLines;
    const std::string_view campaign = w->options.hasCampaign ? w->options.campaign : std::string_view();
    if (w->options.unique && !KeepNewLines(w, campaign, adGroup, keywords, keywordCount, &lines)) return;
    CheckPhrases(w, keywords, keywordCount, lines, line);
    if (w->invalid) return;
    if (w->options.format == OutputFormat::kCsv) {
        WriteCsvRows(w, keywords, keywordCount, adGroup, lines);
        return;
    }
    for (size_t t = 0; t < w->options.matchTypes.count; ++t) {
        const MatchTypeStyle& style = StyleOf(w->options.matchTypes.types[t]);
        WriteLines(w, keywords, keywordCount, lines, {style.open, style.close, w->options.lineEnd, true});
    }
}

const char* MissingKeywordMessage(const std::string_view fields[4]) {
    if (fields[0].empty()) return kNeedKeyword1;
    return fields[1].empty() ? kNeedKeyword2 : nullptr;
}

// One line's fields, or the arguments: every keyword set they stand for.
void WriteFields(Writer* w, const std::string_view fields[4], std::string_view adGroup, size_t line) {
    KeywordList keywords{{fields[0], fields[1], fields[2], fields[3]}};
    const int keywordCount = CountKeywords(keywords);
    if (!w->options.mix) {
        WriteSet(w, keywords, keywordCount, adGroup, line);
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
        WriteSet(w, keywords, keywordCount, adGroup, line);
    } while (!w->stopped && NextCombination(&odometer));
}

bool StartOutput(Writer* w) {
    if (!w->buffer.Resize(kOutputBufferSize)) return RunOutOfMemory(w);
    if (w->options.byteOrderMark) Put(w, kByteOrderMark);
    if (w->options.format != OutputFormat::kCsv) return true;
    if (w->options.hasCampaign) Put(w, "Campaign,");
    Put(w, "Ad group,Keyword,Criterion Type");
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

CampaignResult WriteCampaignFromFile(const CampaignOptions& options, ReadFunction read, void* source,
                                     std::string_view inputName, OutputSink output, MessageSink messages) {
    Writer w(options, output, messages);
    EscapedText name{&w.log.source};
    if (!AppendEscaped(&name, inputName)) return CampaignResult::kOutOfMemory;
    DecodingReader decoder = MakeDecodingReader(read, source, options.inputEncoding);
    StartDecoding(&decoder);
    if (decoder.firstNulByte != kNoNulByte) {
        // Binary data read as text would give a message for nearly every line: one for the file.
        StartMessage(&w);
        Add(&w, w.log.source.View());
        Add(&w, ": not a text file (a NUL byte at offset ");
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
    if (!StartOutput(&w)) return Finish(&w);
    LineReader reader = MakeLineReader(ReadDecoded, &decoder, options.inputFormat);
    bool anyLine = false;  // other than an empty one
    while (!w.stopped) {
        char* bytes;
        size_t size;
        const ReadLineResult result = ReadLine(&reader, &bytes, &size);
        if (result == ReadLineResult::kEnd && anyLine) return Finish(&w);
        if (result == ReadLineResult::kEnd) {
            StartMessage(&w);
            Add(&w, w.log.source.View());
            Add(&w, ": no keyword sets");
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
        LineFields fields;
        if (const char* reason = SplitFields(bytes, size, options.inputFormat, &fields)) {
            anyLine = true;
            ReportInvalidLine(&w, line, reason);
            continue;
        }
        if (AllFieldsEmpty(fields)) continue;
        anyLine = true;
        if (!CheckControlCharacters(&w, fields.fields, fields.count, line)) continue;
        if (const char* missing = MissingKeywordMessage(fields.fields)) {
            ReportInvalidLine(&w, line, missing);
            continue;
        }
        WriteFields(&w, fields.fields, fields.fields[4], line);
    }
    return Finish(&w);
}

CampaignResult WriteCampaignFromKeywords(const CampaignOptions& options, const std::string_view keywords[4],
                                         OutputSink output, MessageSink messages) {
    Writer w(options, output, messages);
    if (!w.log.source.Assign("arguments")) return CampaignResult::kOutOfMemory;
    // Before anything is written; a missing keyword as the window says it.
    CheckCampaignName(&w);
    if (CheckControlCharacters(&w, keywords, 4, kArguments)) {
        if (const char* missing = MissingKeywordMessage(keywords)) {
            w.invalid = true;
            StartMessage(&w);
            Add(&w, missing);
            SendMessage(&w);
        }
    }
    if (!w.invalid && StartOutput(&w)) WriteFields(&w, keywords, {}, kArguments);
    return Finish(&w);
}
