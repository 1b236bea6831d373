// The command-line program's parts: its command line, the keyword file's lines and fields,
// Google Ads' limits and CSV fields.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli/csv_field.h"
#include "cli/input_reader.h"
#include "cli/keyword_limits.h"
#include "cli/options.h"

namespace {

ParsedCommandLine Parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "varnholt-cli");
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), "\n");
}

TEST(CommandLine, FollowsTheGnuConventions) {
    for (const auto& arguments : std::vector<std::vector<const char*>>{
             {"--format", "csv", "a", "b"}, {"--format=csv", "a", "b"}, {"-f", "csv", "a", "b"},
             {"-fcsv", "a", "b"}, {"a", "--form=csv", "b"}, {"a", "b", "-f", "csv"}}) {
        const ParsedCommandLine parsed = Parse(arguments);
        EXPECT_TRUE(parsed.usageError.IsEmpty()) << parsed.usageError.View();
        EXPECT_EQ(parsed.options.format, OutputFormat::kCsv);
        EXPECT_EQ(parsed.options.keywordArguments, 2);
        EXPECT_EQ(parsed.options.keywords[0], "a");
        EXPECT_EQ(parsed.options.keywords[1], "b");
    }

    // Options after the keywords, combined flags, the last of two contrary options winning.
    const ParsedCommandLine combined = Parse({"blue", "running", "shoes", "-bs", "--crlf", "--strict"});
    EXPECT_TRUE(combined.usageError.IsEmpty());
    EXPECT_EQ(combined.options.delimiters.open, '[');
    EXPECT_TRUE(combined.options.includeSubsets);
    EXPECT_TRUE(combined.options.strict);
    EXPECT_EQ(combined.options.lineEnd, "\r\n");
    EXPECT_EQ(combined.options.keywordArguments, 3);
    EXPECT_EQ(Parse({"a", "b", "-b", "--quotes", "--crlf", "--lf"}).options.delimiters.open, '"');
    EXPECT_EQ(Parse({"a", "b", "--crlf", "--lf"}).options.lineEnd, "\n");
    EXPECT_EQ(Parse({"a", "b"}).options.lineEnd, "\n");

    // "--" ends the options, so keywords may begin with "-"; a lone "-" is a keyword too.
    const ParsedCommandLine dashes = Parse({"-s", "--", "-minus", "--plus", "-"});
    EXPECT_TRUE(dashes.usageError.IsEmpty());
    EXPECT_TRUE(dashes.options.includeSubsets);
    EXPECT_EQ(dashes.options.keywords[0], "-minus");
    EXPECT_EQ(dashes.options.keywords[1], "--plus");
    EXPECT_EQ(dashes.options.keywords[2], "-");

    const ParsedCommandLine file =
        Parse({"--input", "sets.csv", "--input-format=csv", "-o", "out.csv", "-f", "csv", "--campaign", "Spring"});
    EXPECT_TRUE(file.usageError.IsEmpty());
    EXPECT_STREQ(file.options.inputPath, "sets.csv");
    EXPECT_STREQ(file.options.outputPath, "out.csv");
    EXPECT_EQ(file.options.inputFormat, InputFormat::kCsv);
    EXPECT_TRUE(file.options.hasCampaign);
    EXPECT_EQ(file.options.campaign, "Spring");
    EXPECT_EQ(file.options.keywordArguments, 0);

    // Help and version need nothing else.
    EXPECT_TRUE(Parse({"--help"}).options.help);
    EXPECT_TRUE(Parse({"-h"}).usageError.IsEmpty());
    EXPECT_TRUE(Parse({"--vers"}).options.version);
}

TEST(CommandLine, UsageErrorsSayWhatIsWrong) {
    const struct {
        std::vector<const char*> arguments;
        const char* message;
    } cases[] = {
        {{"--bogus", "a", "b"}, "unknown option '--bogus'"},
        {{"-x", "a", "b"}, "unknown option '-x'"},
        {{"-bx", "a", "b"}, "unknown option '-x'"},
        {{"--in", "f"}, "option '--in' is ambiguous"},
        {{"a", "b", "--format"}, "option '--format' needs a value"},
        {{"a", "b", "-f"}, "option '-f' needs a value"},
        {{"a", "b", "--subsets=yes"}, "option '--subsets' takes no value"},
        {{"a", "b", "--format", "xml"}, "unknown format 'xml' (text or csv)"},
        {{"--input", "f", "--input-format", "json"}, "unknown input format 'json' (tsv or csv)"},
        {{"a", "b", "--input", "f"}, "keywords and --input together: give one or the other"},
        {{"-s"}, "no keywords: give two to four, or --input FILE"},
        {{"a", "b", "c", "d", "e"}, "too many keywords (at most four)"},
        {{"a", "b", "--campaign", "Spring"}, "--campaign needs --format csv"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Parse(c.arguments).usageError.View(), c.message);
    }
}

// The fields of one line, unquoted, as strings.
std::vector<std::string> Fields(std::string line, InputFormat format, const char** reason = nullptr) {
    LineFields fields;
    const char* problem = SplitFields(&line[0], line.size(), format, &fields);
    if (reason) *reason = problem;
    if (problem) return {};
    return std::vector<std::string>(fields.fields, fields.fields + fields.count);
}

const char* Problem(const std::string& line, InputFormat format) {
    const char* reason = nullptr;
    Fields(line, format, &reason);
    return reason;
}

TEST(InputFields, TabSeparatedSplitsOnTabsOnly) {
    EXPECT_EQ(Fields("blue\trunning shoes\t\t\tSpring, \"sale\"", InputFormat::kTsv),
              (std::vector<std::string>{"blue", "running shoes", "", "", "Spring, \"sale\""}));
    EXPECT_EQ(Fields("a\tb", InputFormat::kTsv), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Fields(" a \t\"b\"\tc\rd", InputFormat::kTsv), (std::vector<std::string>{" a ", "\"b\"", "c\rd"}));
    EXPECT_STREQ(Problem("a\tb\tc\td\tgroup\textra", InputFormat::kTsv), "more than five fields");
    EXPECT_STREQ(Problem("a\tb\tc\td\tgroup\t", InputFormat::kTsv), "more than five fields");

    // An empty spreadsheet row, however wide, is empty.
    LineFields fields;
    std::string row = "\t\t\t\t\t\t\t";
    EXPECT_EQ(SplitFields(&row[0], row.size(), InputFormat::kTsv, &fields), nullptr);
    EXPECT_TRUE(AllFieldsEmpty(fields));
    std::string empty;
    EXPECT_EQ(SplitFields(&empty[0], 0, InputFormat::kTsv, &fields), nullptr);
    EXPECT_TRUE(AllFieldsEmpty(fields));
}

TEST(InputFields, CommaSeparatedFollowsRfc4180) {
    EXPECT_EQ(Fields("blue,\"running, fast\",\"say \"\"hi\"\"\",,\" group \"", InputFormat::kCsv),
              (std::vector<std::string>{"blue", "running, fast", "say \"hi\"", "", " group "}));
    EXPECT_EQ(Fields("a,b,", InputFormat::kCsv), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(Fields("\"\",\"\"", InputFormat::kCsv), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(Fields("a\tb,c", InputFormat::kCsv), (std::vector<std::string>{"a\tb", "c"}));
    // A quote inside an unquoted field is data, as spreadsheets read it.
    EXPECT_EQ(Fields("5\" screen,x", InputFormat::kCsv), (std::vector<std::string>{"5\" screen", "x"}));

    EXPECT_STREQ(Problem("a,\"b,c", InputFormat::kCsv), "a quoted field does not end on its line");
    EXPECT_STREQ(Problem("a,\"b\"\"", InputFormat::kCsv), "a quoted field does not end on its line");
    EXPECT_STREQ(Problem("a,\"b\rc\",d", InputFormat::kCsv), "a quoted field holds a line break");
    EXPECT_STREQ(Problem("a,\"b\"c,d", InputFormat::kCsv), "text after the closing quote of a field");
    EXPECT_STREQ(Problem("a,b,c,d,e,f", InputFormat::kCsv), "more than five fields");
    EXPECT_EQ(Problem(",,,,,,,,", InputFormat::kCsv), nullptr);
}

struct Chunks {
    std::string bytes;
    size_t chunk;
    size_t at = 0;
    bool failAtEnd = false;
};

long ReadChunk(void* source, char* into, size_t size) {
    Chunks* chunks = static_cast<Chunks*>(source);
    if (chunks->at == chunks->bytes.size()) return chunks->failAtEnd ? -1 : 0;
    const size_t count = std::min({size, chunks->chunk, chunks->bytes.size() - chunks->at});
    std::memcpy(into, chunks->bytes.data() + chunks->at, count);
    chunks->at += count;
    return static_cast<long>(count);
}

// Every line with its number, or the result that ended the reading.
std::vector<std::string> Lines(Chunks* chunks, ReadLineResult* ending = nullptr) {
    LineReader reader = MakeLineReader(ReadChunk, chunks);
    std::vector<std::string> lines;
    for (;;) {
        char* line;
        size_t size;
        const ReadLineResult result = ReadLine(&reader, &line, &size);
        if (result != ReadLineResult::kLine) {
            if (ending) *ending = result;
            return lines;
        }
        lines.push_back(std::to_string(reader.lineNumber) + ":" + std::string(line, size));
    }
}

TEST(LineReader, SplitsLinesEndedByLfOrCrLfWhateverTheReadSizes) {
    const std::string file = "\xEF\xBB\xBF" "one\r\ntwo\n\n\r\nfour\rstill four\n\xEF\xBB\xBF" "six";
    const std::vector<std::string> expected{"1:one", "2:two", "3:", "4:", "5:four\rstill four", "6:\xEF\xBB\xBFsix"};
    for (size_t chunk : {1u, 2u, 3u, 7u, 1000u}) {
        Chunks chunks{file, chunk};
        EXPECT_EQ(Lines(&chunks), expected) << "read " << chunk << " bytes at a time";
    }
    Chunks ended{"last\n", 2};
    EXPECT_EQ(Lines(&ended), (std::vector<std::string>{"1:last"}));
    Chunks bomOnly{"\xEF\xBB\xBF", 1};
    EXPECT_EQ(Lines(&bomOnly), std::vector<std::string>{});
    Chunks shortFile{"ab", 1};
    EXPECT_EQ(Lines(&shortFile), (std::vector<std::string>{"1:ab"}));

    // A line longer than any buffer so far is held whole.
    const std::string longLine(300000, 'k');
    Chunks longFile{"x\n" + longLine + "\ny", 65536};
    EXPECT_EQ(Lines(&longFile), (std::vector<std::string>{"1:x", "2:" + longLine, "3:y"}));

    ReadLineResult ending;
    Chunks failing{"a\nb", 10, 0, true};
    EXPECT_EQ(Lines(&failing, &ending), (std::vector<std::string>{"1:a"}));
    EXPECT_EQ(ending, ReadLineResult::kReadFailed);
}

TEST(KeywordLimits, CountsUtf8CharactersAndBlankSeparatedWords) {
    const auto characters = [](std::string_view text) { return MeasureKeyword(text).characters; };
    const auto words = [](std::string_view text) { return MeasureKeyword(text).words; };
    EXPECT_EQ(characters("running shoes"), 13u);
    EXPECT_EQ(characters("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x91\x9F"), 8u);  // café € 👟
    // Bytes that are no valid UTF-8 count one each: Latin-1, a lone continuation byte, an
    // overlong form, a surrogate, a cut sequence, a code point past U+10FFFF.
    EXPECT_EQ(characters("caf\xE9"), 4u);
    EXPECT_EQ(characters("\x80"), 1u);
    EXPECT_EQ(characters("\xC0\xAF"), 2u);
    EXPECT_EQ(characters("\xED\xA0\x80"), 3u);
    EXPECT_EQ(characters("\xE2\x82"), 2u);
    EXPECT_EQ(characters("\xF4\x90\x80\x80"), 4u);
    EXPECT_EQ(characters(std::string_view("a\0b", 3)), 3u);

    EXPECT_EQ(words("running shoes"), 2u);
    EXPECT_EQ(words("  two \t  words  "), 2u);
    EXPECT_EQ(words("   "), 0u);
    EXPECT_EQ(words(""), 0u);
    EXPECT_EQ(words("one"), 1u);

    // A phrase's size is its keywords' sizes plus the joining blanks.
    const std::string keywords[] = {" lead", "mid\xC3\xA9 ", "  ", "x\xE2\x82"};
    std::string phrase;
    KeywordSize sum{3, 0};
    for (const std::string& keyword : keywords) {
        phrase += (phrase.empty() ? "" : " ") + keyword;
        sum.characters += MeasureKeyword(keyword).characters;
        sum.words += MeasureKeyword(keyword).words;
    }
    EXPECT_EQ(MeasureKeyword(phrase).characters, sum.characters);
    EXPECT_EQ(MeasureKeyword(phrase).words, sum.words);
}

TEST(CsvField, QuotesOnlyWhatNeedsIt) {
    const auto field = [](std::string_view text) {
        Text out;
        AppendCsvField(&out, text);
        return std::string(out.View());
    };
    EXPECT_EQ(field("blue shoes"), "blue shoes");
    EXPECT_EQ(field(""), "");
    EXPECT_EQ(field("a,b"), "\"a,b\"");
    EXPECT_EQ(field("5\" screen"), "\"5\"\" screen\"");
    EXPECT_EQ(field("\"\""), "\"\"\"\"\"\"");
    EXPECT_EQ(field("line\rend"), "\"line\rend\"");
    EXPECT_EQ(field("line\nend"), "\"line\nend\"");
    EXPECT_EQ(field("[x] 'y'\t"), "[x] 'y'\t");
}

}  // namespace
