#include "campaign/campaign.h"

#include <cstring>

#include "campaign/csv_field.h"
#include "campaign/duplicates.h"
#include "campaign/keyword_file.h"
#include "campaign/keyword_limits.h"
#include "campaign/text_encoding.h"
#include "campaign/word_lists.h"
#include "generator/permutation_text.h"

namespace {

// The window's own texts for a missing keyword.
constexpr char kNeedKeyword1[] = "Need to enter Keyword 1.  Try again.";
constexpr char kNeedKeyword2[] = "Need at least two keywords. Enter Keyword 2.";
constexpr char kNotUtf8[] = "not UTF-8 (the output keeps these bytes; --input-encoding windows-1252 converts them)";
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

// Where a keyword set came from, for messages: "FILE:LINE" or "arguments".
struct SetName {
    std::string_view file;  // empty for the arguments
    size_t line;
};

// The set's orderings to write, one bit per ordering in table order (at most 60).
using LineMask = uint64_t;
constexpr LineMask kAllLines = ~LineMask{0};

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
    Text rowStart, rowFinish, escaped[4], adGroup, message;
    WrittenPhrases written;  // for unique
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

void Report(Writer* w, const SetName* set, std::string_view kind, std::string_view text) {
    Text& message = w->message;
    message.Resize(0);
    if (set) {
        if (set->file.empty()) {
            message.Append("arguments");
        } else {
            message.Append(set->file);
            message.Append(":");
            AppendNumber(&message, set->line);
        }
        message.Append(": ");
    }
    message.Append(kind);
    message.Append(text);
    w->messages.report(w->messages.context, message.View());
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

void AppendLimit(Text* text, size_t limit, std::string_view unit, size_t actual) {
    AppendNumber(text, limit);
    text->Append(unit);
    AppendNumber(text, actual);
    text->Append(")");
}

// Every phrase over Google Ads' limits or with characters it refuses gets one message; under
// strict they fail the run.
void CheckPhrases(Writer* w, const KeywordList& keywords, int keywordCount, LineMask lines, const SetName& set) {
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
        Text text(style.open);
        for (size_t k = 0; k < line.count; ++k) {
            if (k > 0) text.Append(" ");
            text.Append(keywords.words[line.keywords[k]]);
        }
        text.Append(style.close);
        if (tooLong || tooManyWords) {
            text.Append(tooLong && tooManyWords ? " is over Google Ads' limits of " : " is over Google Ads' limit of ");
            if (tooLong) AppendLimit(&text, kMaxKeywordCharacters, " characters (", phrase.characters);
            if (tooLong && tooManyWords) text.Append(" and ");
            if (tooManyWords) AppendLimit(&text, kMaxKeywordWords, " words (", phrase.words);
        }
        if (phraseRefused) {
            text.Append(tooLong || tooManyWords ? " and holds" : " holds");
            text.Append(" characters that Google Ads does not accept in keywords:");
            for (size_t c = 0; c < kRefusedKeywordCharacters.size(); ++c) {
                if (!(phraseRefused >> c & 1)) continue;
                text.Append(" ");
                text.Append(std::string_view(&kRefusedKeywordCharacters[c], 1));
            }
        }
        Report(w, &set, w->options.strict ? "error: " : "warning: ", text.View());
        if (w->options.strict) w->invalid = true;
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
    if (w->options.hasCampaign) {
        AppendCsvField(&start, w->options.campaign);
        start.Append(",");
    }
    AppendCsvField(&start, adGroup);
    start.Append(",");

    bool quoted = false;
    for (int k = 0; k < keywordCount; ++k) quoted |= CsvFieldNeedsQuotes(keywords.words[k]);
    KeywordList rowKeywords = keywords;
    if (quoted) {
        // Doubling the quotes keyword by keyword quotes the whole phrase: the blanks joining
        // them need no escaping.
        start.Append("\"");
        for (int k = 0; k < keywordCount; ++k) {
            w->escaped[k].Resize(0);
            AppendCsvEscaped(&w->escaped[k], keywords.words[k]);
            rowKeywords.words[k] = w->escaped[k].View();
        }
    }
    for (size_t t = 0; t < w->options.matchTypes.count; ++t) {
        const MatchTypeStyle& style = StyleOf(w->options.matchTypes.types[t]);
        Text& finish = w->rowFinish;
        finish.Resize(0);
        finish.Append(quoted ? "\"," : ",");
        finish.Append(w->options.negative ? style.negativeCriterion : style.criterion);
        WriteLines(w, rowKeywords, keywordCount, lines, {start.View(), finish.View(), w->options.lineEnd, true});
    }
}

// Checks one keyword set and writes its phrases in every match type.
void WriteSet(Writer* w, const KeywordList& keywords, int keywordCount, std::string_view adGroup, const SetName& set) {
    const bool needsAdGroup = w->options.unique || w->options.format == OutputFormat::kCsv;
    if (adGroup.empty() && needsAdGroup) {
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
    LineMask lines = kAllLines;
    const std::string_view campaign = w->options.hasCampaign ? w->options.campaign : std::string_view();
    if (w->options.unique && !KeepNewLines(w, campaign, adGroup, keywords, keywordCount, &lines)) return;
    CheckPhrases(w, keywords, keywordCount, lines, set);
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
void WriteFields(Writer* w, const std::string_view fields[4], std::string_view adGroup, const SetName& set) {
    KeywordList keywords{{fields[0], fields[1], fields[2], fields[3]}};
    const int keywordCount = CountKeywords(keywords);
    if (!w->options.mix) {
        WriteSet(w, keywords, keywordCount, adGroup, set);
        return;
    }
    WordListOdometer odometer;
    Text reason;
    if (!StartWordLists(&odometer, fields, keywordCount, &reason)) {
        Report(w, &set, {}, reason.View());
        w->invalid = true;
        return;
    }
    do {
        for (int k = 0; k < keywordCount; ++k) keywords.words[k] = odometer.current[k];
        WriteSet(w, keywords, keywordCount, adGroup, set);
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

CampaignResult Finish(Writer* w, CampaignResult failure = CampaignResult::kWritten) {
    Flush(w);
    if (w->outOfMemory) return CampaignResult::kOutOfMemory;
    if (w->stopped) return CampaignResult::kOutputStopped;
    if (failure != CampaignResult::kWritten) return failure;
    return w->invalid ? CampaignResult::kInvalidInput : CampaignResult::kWritten;
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
    if (!StartOutput(&w)) return Finish(&w);
    DecodingReader decoder = MakeDecodingReader(read, source, options.inputEncoding);
    LineReader reader = MakeLineReader(ReadDecoded, &decoder, options.inputFormat);
    for (;;) {
        char* line;
        size_t size;
        const ReadLineResult result = ReadLine(&reader, &line, &size);
        if (result == ReadLineResult::kEnd) return Finish(&w);
        if (result == ReadLineResult::kReadFailed) return Finish(&w, CampaignResult::kReadFailed);
        if (result == ReadLineResult::kOutOfMemory) {
            RunOutOfMemory(&w);
            return Finish(&w);
        }
        const SetName set{inputName, reader.lineNumber};
        if (KeepsBytesAsTheyAre(decoder) && !IsValidUtf8({line, size})) Report(&w, &set, {}, kNotUtf8);
        LineFields fields;
        if (const char* reason = SplitFields(line, size, options.inputFormat, &fields)) {
            Report(&w, &set, {}, reason);
            w.invalid = true;
            continue;
        }
        if (AllFieldsEmpty(fields)) continue;
        if (const char* missing = MissingKeywordMessage(fields.fields)) {
            Report(&w, &set, {}, missing);
            w.invalid = true;
            continue;
        }
        WriteFields(&w, fields.fields, fields.fields[4], set);
        if (w.stopped) return Finish(&w);
    }
}

CampaignResult WriteCampaignFromKeywords(const CampaignOptions& options, const std::string_view keywords[4],
                                         OutputSink output, MessageSink messages) {
    Writer w(options, output, messages);
    // As the window says it, and before anything is written.
    if (const char* missing = MissingKeywordMessage(keywords)) {
        Report(&w, nullptr, {}, missing);
        return CampaignResult::kInvalidInput;
    }
    if (StartOutput(&w)) WriteFields(&w, keywords, {}, {{}, 0});
    return Finish(&w);
}
