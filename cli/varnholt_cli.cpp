// varnholt-cli: the window's phrases from the command line, for one keyword set given as
// arguments or for every line of a file, as text or as CSV for Google Ads Editor.
#include <cstring>

#include "cli/console_io.h"
#include "cli/csv_field.h"
#include "cli/input_reader.h"
#include "cli/keyword_limits.h"
#include "cli/options.h"
#include "generator/permutation_text.h"

namespace {

constexpr char kVersionLine[] = "varnholt-cli 1.00.0001\n";
// The window's own texts for a missing keyword.
constexpr char kNeedKeyword1[] = "Need to enter Keyword 1.  Try again.";
constexpr char kNeedKeyword2[] = "Need at least two keywords. Enter Keyword 2.";

// Large writes; a text larger than this (very long keywords) grows it for as long as it takes.
constexpr size_t kOutputBufferSize = 256 * 1024;

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsageError = 2 };

void AppendNumber(Text* text, size_t number) {
    char digits[24];
    size_t at = sizeof digits;
    do digits[--at] = static_cast<char>('0' + number % 10);
    while ((number /= 10) > 0);
    text->Append(std::string_view(digits + at, sizeof digits - at));
}

void ReportProblem(std::string_view what, std::string_view name, std::string_view reason) {
    Text message("varnholt-cli: ");
    message.Append(what);
    message.Append(name);
    if (!reason.empty()) {
        message.Append(": ");
        message.Append(reason);
    }
    message.Append("\n");
    WriteToStandardError(message.View());
}

int UsageError(std::string_view what, std::string_view name = {}, std::string_view reason = {}) {
    ReportProblem(what, name, reason);
    WriteToStandardError("Try 'varnholt-cli --help'.\n");
    return kUsageError;
}

// The window's message for a set without keyword 1 or keyword 2; null when it has both.
const char* MissingKeywordMessage(const LineFields& fields) {
    if (fields.fields[0].empty()) return kNeedKeyword1;
    return fields.fields[1].empty() ? kNeedKeyword2 : nullptr;
}

// Output collected into large writes.
struct OutputBuffer {
    OutputTarget target;
    std::string_view name;  // for messages
    Text bytes;
    size_t used = 0;
    bool stopped = false;  // a write failed, or the reader went away
};

void Flush(OutputBuffer* out) {
    if (out->stopped || out->used == 0) return;
    Text reason;
    const WriteResult result = WriteOutput(&out->target, out->bytes.Data(), out->used, &reason);
    out->used = 0;
    if (result == WriteResult::kWritten) return;
    out->stopped = true;
    if (result == WriteResult::kFailed) ReportProblem("cannot write ", out->name, reason.View());
}

// Room for `size` more bytes, or null when the output has stopped.
char* Reserve(OutputBuffer* out, size_t size) {
    if (out->stopped) return nullptr;
    if (out->bytes.Size() - out->used < size) {
        Flush(out);
        if (out->stopped) return nullptr;
        if (out->bytes.Size() < size && !out->bytes.Resize(size)) {
            ReportProblem("out of memory", {}, {});
            out->stopped = true;
            return nullptr;
        }
    }
    char* at = out->bytes.MutableData() + out->used;
    out->used += size;
    return at;
}

void Put(OutputBuffer* out, std::string_view bytes) {
    if (char* at = Reserve(out, bytes.size())) std::memcpy(at, bytes.data(), bytes.size());
}

// Where a keyword set came from, for messages: "FILE:LINE" or "arguments".
struct SetName {
    std::string_view file;  // empty for the arguments
    size_t line;
};

void AppendSetName(Text* text, const SetName& set) {
    if (set.file.empty()) {
        text->Append("arguments");
        return;
    }
    text->Append(set.file);
    text->Append(":");
    AppendNumber(text, set.line);
}

void ReportForSet(const SetName& set, std::string_view kind, std::string_view message) {
    Text line;
    AppendSetName(&line, set);
    line.Append(": ");
    line.Append(kind);
    line.Append(message);
    line.Append("\n");
    WriteToStandardError(line.View());
}

struct Generator {
    const CliOptions& options;
    OutputBuffer out;
    LineLayout textLayout;
    std::string_view criterionType;
    bool failed = false;  // invalid input or a limit under --strict: nothing more is written
    // Reused from set to set, so that a set allocates nothing once they have grown.
    Text rowStart;
    Text rowFinish;
    Text escaped[4];
    Text adGroup;
};

Generator MakeGenerator(const CliOptions& options) {
    const DelimiterPair& delimiters = options.delimiters;
    return Generator{options,
                     {},
                     DelimitedLines(delimiters, options.lineEnd, true),
                     delimiters.open == kBracketDelimiters.open ? "Exact" : "Phrase",
                     false,
                     {},
                     {},
                     {},
                     {}};
}

// Every phrase over Google Ads' limits gets one message; under --strict they fail the run.
void CheckLimits(Generator* g, const KeywordList& keywords, int keywordCount, const SetName& set) {
    KeywordSize sizes[4];
    KeywordSize whole{static_cast<size_t>(keywordCount - 1), 0};
    for (int k = 0; k < keywordCount; ++k) {
        sizes[k] = MeasureKeyword(keywords.words[k]);
        whole.characters += sizes[k].characters;
        whole.words += sizes[k].words;
    }
    // The full-length phrases are the longest: when they fit, every phrase does.
    if (whole.characters <= kMaxKeywordCharacters && whole.words <= kMaxKeywordWords) return;

    for (const KeywordOrdering& line : PermutationOrderings(keywordCount, g->options.includeSubsets)) {
        KeywordSize phrase{line.count - 1u, 0};
        Text text(std::string_view(&g->options.delimiters.open, 1));
        for (size_t k = 0; k < line.count; ++k) {
            phrase.characters += sizes[line.keywords[k]].characters;
            phrase.words += sizes[line.keywords[k]].words;
            if (k > 0) text.Append(" ");
            text.Append(keywords.words[line.keywords[k]]);
        }
        const bool tooLong = phrase.characters > kMaxKeywordCharacters;
        const bool tooManyWords = phrase.words > kMaxKeywordWords;
        if (!tooLong && !tooManyWords) continue;
        text.Append(std::string_view(&g->options.delimiters.close, 1));
        text.Append(tooLong && tooManyWords ? " is over Google Ads' limits of " : " is over Google Ads' limit of ");
        if (tooLong) {
            AppendNumber(&text, kMaxKeywordCharacters);
            text.Append(" characters (");
            AppendNumber(&text, phrase.characters);
            text.Append(")");
        }
        if (tooLong && tooManyWords) text.Append(" and ");
        if (tooManyWords) {
            AppendNumber(&text, kMaxKeywordWords);
            text.Append(" words (");
            AppendNumber(&text, phrase.words);
            text.Append(")");
        }
        ReportForSet(set, g->options.strict ? "error: " : "warning: ", text.View());
        if (g->options.strict) g->failed = true;
    }
}

void WriteText(Generator* g, const KeywordList& keywords, bool includeSubsets, const LineLayout& layout) {
    const size_t length = LaidOutTextLength(keywords, includeSubsets, layout);
    if (length == kPermutationTextTooLong) {
        ReportProblem("out of memory", {}, {});
        g->out.stopped = true;
        return;
    }
    if (char* at = Reserve(&g->out, length)) WriteLaidOutText(keywords, includeSubsets, layout, at);
}

// One row per phrase: [Campaign,]Ad group,Keyword,Criterion Type. The keyword is the phrase
// without delimiters, so the rows are the builder's lines with the row's other fields as the
// line start and finish.
void WriteCsvRows(Generator* g, const KeywordList& keywords, int keywordCount, std::string_view adGroup) {
    Text& start = g->rowStart;
    start.Resize(0);
    if (g->options.hasCampaign) {
        AppendCsvField(&start, g->options.campaign);
        start.Append(",");
    }
    if (adGroup.empty()) {
        g->adGroup.Resize(0);
        for (int k = 0; k < keywordCount; ++k) {
            if (k > 0) g->adGroup.Append(" ");
            g->adGroup.Append(keywords.words[k]);
        }
        adGroup = g->adGroup.View();
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
            g->escaped[k].Resize(0);
            AppendCsvEscaped(&g->escaped[k], keywords.words[k]);
            rowKeywords.words[k] = g->escaped[k].View();
        }
    }
    Text& finish = g->rowFinish;
    finish.Resize(0);
    finish.Append(quoted ? "\"," : ",");
    finish.Append(g->criterionType);
    WriteText(g, rowKeywords, g->options.includeSubsets, {start.View(), finish.View(), g->options.lineEnd, true});
}

void WriteCsvHeader(Generator* g) {
    if (g->options.format != OutputFormat::kCsv) return;
    if (g->options.hasCampaign) Put(&g->out, "Campaign,");
    Put(&g->out, "Ad group,Keyword,Criterion Type");
    Put(&g->out, g->options.lineEnd);
}

// Checks one keyword set and writes its phrases; false when it is invalid.
bool GenerateSet(Generator* g, const LineFields& fields, const SetName& set) {
    if (const char* missing = MissingKeywordMessage(fields)) {
        ReportForSet(set, {}, missing);
        g->failed = true;
        return false;
    }
    const KeywordList keywords{{fields.fields[0], fields.fields[1], fields.fields[2], fields.fields[3]}};
    const int keywordCount = CountKeywords(keywords);
    CheckLimits(g, keywords, keywordCount, set);
    if (g->failed) return true;
    if (g->options.format == OutputFormat::kText) {
        WriteText(g, keywords, g->options.includeSubsets, g->textLayout);
    } else {
        WriteCsvRows(g, keywords, keywordCount, fields.fields[4]);
    }
    return true;
}

struct InputSource {
    InputStream stream;
    Text reason;
};

long ReadFromInput(void* source, char* into, size_t size) {
    InputSource* input = static_cast<InputSource*>(source);
    return ReadInput(&input->stream, into, size, &input->reason);
}

void GenerateFromFile(Generator* g, InputSource* input, std::string_view name) {
    LineReader reader = MakeLineReader(ReadFromInput, input);
    for (;;) {
        char* line;
        size_t size;
        const ReadLineResult result = ReadLine(&reader, &line, &size);
        if (result == ReadLineResult::kEnd) return;
        if (result != ReadLineResult::kLine) {
            if (result == ReadLineResult::kReadFailed) ReportProblem("cannot read ", name, input->reason.View());
            else ReportProblem("out of memory", {}, {});
            g->failed = true;
            return;
        }
        const SetName set{name, reader.lineNumber};
        LineFields fields;
        if (const char* reason = SplitFields(line, size, g->options.inputFormat, &fields)) {
            ReportForSet(set, {}, reason);
            g->failed = true;
            continue;
        }
        if (AllFieldsEmpty(fields)) continue;
        GenerateSet(g, fields, set);
        if (g->out.stopped) return;
    }
}

// Ends the run: the output is kept only when everything succeeded.
int Finish(Generator* g) {
    Flush(&g->out);
    if (g->failed || g->out.stopped) {
        AbandonOutput(&g->out.target);
        return kFailure;
    }
    Text reason;
    if (!CommitOutput(&g->out.target, &reason)) {
        ReportProblem("cannot write ", g->out.name, reason.View());
        return kFailure;
    }
    return kSuccess;
}

int WriteToStandardOutput(std::string_view text) {
    OutputTarget target;
    OpenStandardOutput(&target);
    Text reason;
    const WriteResult result = WriteOutput(&target, text.data(), text.size(), &reason);
    if (result == WriteResult::kFailed) ReportProblem("cannot write ", "standard output", reason.View());
    return result == WriteResult::kWritten ? kSuccess : kFailure;
}

int RunCli(int argc, const char* const* argv) {
    PrepareStandardStreams();
    const ParsedCommandLine parsed = ParseCommandLine(argc, argv, NativeLineEnd());
    const CliOptions& options = parsed.options;
    if (!parsed.usageError.IsEmpty()) return UsageError(parsed.usageError.View());
    if (options.help) return WriteToStandardOutput(kUsage);
    if (options.version) return WriteToStandardOutput(kVersionLine);

    // Missing arguments count as empty keywords, as missing fields of a line do.
    LineFields arguments;
    arguments.count = static_cast<size_t>(options.keywordArguments);
    for (size_t k = 0; k < 4; ++k) arguments.fields[k] = options.keywords[k];
    const char* missing = options.inputPath ? nullptr : MissingKeywordMessage(arguments);
    if (missing) {
        WriteToStandardError(missing);
        WriteToStandardError("\n");
        return kFailure;
    }

    InputSource input;
    Text reason;
    const bool fromStandardInput = options.inputPath && std::strcmp(options.inputPath, "-") == 0;
    const std::string_view inputName = fromStandardInput ? "(standard input)" : options.inputPath ? options.inputPath : "";
    if (options.inputPath && !OpenInput(options.inputPath, &input.stream, &reason)) {
        return UsageError("cannot open ", options.inputPath, reason.View());
    }

    Generator generator = MakeGenerator(options);
    OutputBuffer& out = generator.out;
    if (options.outputPath) {
        out.name = options.outputPath;
        if (!OpenOutputFile(options.outputPath, &out.target, &reason)) {
            CloseInput(&input.stream);
            return UsageError("cannot write ", options.outputPath, reason.View());
        }
    } else {
        out.name = "standard output";
        OpenStandardOutput(&out.target);
    }
    if (!out.bytes.Resize(kOutputBufferSize)) {
        ReportProblem("out of memory", {}, {});
        AbandonOutput(&out.target);
        return kFailure;
    }

    WriteCsvHeader(&generator);
    if (options.inputPath) {
        GenerateFromFile(&generator, &input, inputName);
        CloseInput(&input.stream);
    } else {
        GenerateSet(&generator, arguments, {{}, 0});
    }
    return Finish(&generator);
}

}  // namespace

int main(int argc, char** argv) {
    char** arguments = Utf8Arguments(&argc, argv);
    if (!arguments) {
        WriteToStandardError("varnholt-cli: out of memory\n");
        return kFailure;
    }
    return RunCli(argc, arguments);
}
