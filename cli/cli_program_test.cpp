// The built varnholt-cli as users run it: real processes, real files, exact bytes. Built for
// every platform, so that the Windows console program runs them under Wine too.
#include <gtest/gtest.h>

#include "cli/cli_test_support.h"
#include "tests/support/golden_cases.h"
#include "tests/support/reference_orderings.h"
#include "varnholt_version.h"

namespace {

using cli_test::ReadFile;
using cli_test::RunProgram;
using cli_test::TestFolder;
using cli_test::WriteFile;

#ifdef _WIN32
constexpr char kNativeLineEnd[] = "\r\n";
#else
constexpr char kNativeLineEnd[] = "\n";
#endif


std::string WithLineEnds(std::string text, const std::string& lineEnd) {
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += lineEnd.size()) {
        text.replace(at, 1, lineEnd);
    }
    return text;
}

std::string Quoted(std::string text) {
    for (char& c : text) {
        if (c == '[' || c == ']') c = '"';
    }
    return text;
}

TEST(Program, WorkedExampleInBothDelimiterStylesAndLineEnds) {
    const std::string kWorkedExample = golden::Joined(golden::ReadWorkedExample().lines, "\n", true);
    const ProcessResult brackets = RunProgram({"blue", "running", "shoes", "-b", "-s"});
    EXPECT_EQ(brackets.exitCode, 0);
    EXPECT_EQ(brackets.out, WithLineEnds(kWorkedExample, kNativeLineEnd));
    EXPECT_EQ(brackets.err, "");

    EXPECT_EQ(RunProgram({"-bs", "--lf", "blue", "running", "shoes"}).out, kWorkedExample);
    EXPECT_EQ(RunProgram({"--subsets", "--quotes", "--lf", "blue", "running", "shoes"}).out, Quoted(kWorkedExample));
    // With CR LF, one set is the window's clipboard text and one CR LF more.
    for (const DelimiterPair delimiters : {kBracketDelimiters, kQuoteDelimiters}) {
        const std::string style = delimiters.open == '[' ? "--brackets" : "--quotes";
        const ProcessResult crlf = RunProgram({style, "--crlf", "-s", "blue", "running", "shoes"});
        EXPECT_EQ(crlf.out, reference::BuiltText(reference::KeywordStore{{"blue", "running", "shoes", ""}},
                                                 delimiters, true) + "\r\n");
        EXPECT_EQ(crlf.out, WithLineEnds(delimiters.open == '[' ? kWorkedExample : Quoted(kWorkedExample), "\r\n"));
    }
}

TEST(Program, EveryTableMatchesTheReferenceOrderings) {
    const std::vector<std::string> keywords{"k1", "k2", "k3", "k4"};
    for (int n = 2; n <= 4; ++n) {
        for (bool subsets : {false, true}) {
            std::vector<std::string> arguments(keywords.begin(), keywords.begin() + n);
            arguments.push_back("--lf");
            if (subsets) arguments.push_back("--subsets");
            reference::KeywordStore store;
            for (int k = 0; k < n; ++k) store.words[k] = keywords[k];
            EXPECT_EQ(RunProgram(arguments).out, reference::ExpectedLaidOutText(store, subsets, {"\"", "\"", "\n", true}))
                << n << " keywords" << (subsets ? " with subsets" : "");
        }
    }
}

TEST(Program, KeywordCountRuleFromTheArguments) {
    // Keyword 3 empty: two keywords, keyword 4 ignored.
    EXPECT_EQ(RunProgram({"--lf", "-s", "alpha", "beta", "", "delta"}).out, "\"alpha beta\"\n\"beta alpha\"\n");
    // Blanks are keywords; bytes are used exactly; "--" lets a keyword begin with "-".
    EXPECT_EQ(RunProgram({"--lf", "-b", "--", "-5%", " Sale ", " "}).out.substr(0, 15), "[-5%  Sale   ]\n");

    const ProcessResult noKeyword1 = RunProgram({"", "shoes"});
    EXPECT_EQ(noKeyword1.exitCode, 1);
    EXPECT_EQ(noKeyword1.out, "");
    EXPECT_EQ(noKeyword1.err, "Need to enter Keyword 1.  Try again.\n");
    const ProcessResult noKeyword2 = RunProgram({"blue", "", "shoes"});
    EXPECT_EQ(noKeyword2.exitCode, 1);
    EXPECT_EQ(noKeyword2.err, "Need at least two keywords. Enter Keyword 2.\n");
    const ProcessResult oneKeyword = RunProgram({"blue"});
    EXPECT_EQ(oneKeyword.exitCode, 1);
    EXPECT_EQ(oneKeyword.err, "Need at least two keywords. Enter Keyword 2.\n");
}

TEST(Program, KeywordFilesInBothInputFormats) {
    const auto folder = TestFolder("input_formats");
    // BOM, CR LF and LF, an empty and an all-empty line, keyword 4 without keyword 3, a fifth
    // field, and a last line without its line end.
    WriteFile(folder / "sets.tsv", "\xEF\xBB\xBF" "blue\tshoes\r\n\r\n\t\t\t\t\n"
                                   "red\tboots\t\tignored\tBoots\n"
                                   "a\tb\tc\n"
                                   "x\ty");
    const std::string expected = "[blue shoes]\n[shoes blue]\n[red boots]\n[boots red]\n"
                                 "[a b c]\n[a c b]\n[c a b]\n[c b a]\n[b c a]\n[b a c]\n[x y]\n[y x]\n";
    const ProcessResult tsv = RunProgram({"--input", (folder / "sets.tsv").string(), "-b", "--lf"});
    EXPECT_EQ(tsv.exitCode, 0);
    EXPECT_EQ(tsv.err, "");
    EXPECT_EQ(tsv.out, expected);

    WriteFile(folder / "sets.csv", "\xEF\xBB\xBF" "\"blue\",shoes\r\n,,,,\n\"red\",\"boots\",\"\",\"ignored\",Boots\r\n"
                                   "a,b,c\n\"x\",y");
    EXPECT_EQ(RunProgram({"--input", (folder / "sets.csv").string(), "--input-format", "csv", "-b", "--lf"}).out, expected);

    // Quoting: commas, blanks and doubled quotes inside quotes are data.
    const ProcessResult quoted = RunProgram({"--input", "-", "--input-format=csv", "--lf"},
                                     "\"5\"\" screen\",\" tv, hd \"\n");
    EXPECT_EQ(quoted.out, "\"5\" screen  tv, hd \"\n\" tv, hd  5\" screen\"\n");
    // Standard input, tab-separated by default.
    EXPECT_EQ(RunProgram({"--input", "-", "--lf"}, "one\ttwo\n").out, "\"one two\"\n\"two one\"\n");
}

// Files that spreadsheets and old exports write: a lone CR at the very end, CR-only line ends,
// Excel's UTF-16 "Unicode Text"; and the campaign engine's options reaching it.
TEST(Program, FilesOfEveryLineEndAndEncodingAndTheCampaignOptions) {
    const auto folder = TestFolder("encodings");
    const std::string expected = "[a b]\n[b a]\n[c d]\n[d c]\n";
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"lone-cr-at-end.tsv", "a\tb\nc\td\r"},
        {"cr-only.tsv", "a\tb\rc\td\r"},
        {"utf-16.txt", std::string("\xFF\xFE" "a\0\t\0b\0\r\0\n\0c\0\t\0d\0\r\0\n\0", 22)},
    };
    for (const auto& file : files) {
        WriteFile(folder / file.name, file.bytes);
        const ProcessResult run = RunProgram({"--input", (folder / file.name).string(), "-b", "--lf"});
        EXPECT_EQ(run.exitCode, 0) << file.name;
        EXPECT_EQ(run.err, "") << file.name;
        EXPECT_EQ(run.out, expected) << file.name;
    }
    const ProcessResult mixed = RunProgram({"--mix", "-u", "--bom", "--lf", "-m", "broad,exact", "buy|order", "Buy"});
    EXPECT_EQ(mixed.exitCode, 0);
    EXPECT_EQ(mixed.out, "\xEF\xBB\xBF" "buy Buy\n[buy Buy]\norder Buy\nBuy order\n[order Buy]\n[Buy order]\n");
    const ProcessResult negative = RunProgram({"-nfcsv", "--lf", "a", "b"});
    EXPECT_EQ(negative.out, "Ad group,Keyword,Criterion Type\na b,a b,Negative Phrase\na b,b a,Negative Phrase\n");
}

TEST(Program, InvalidLinesAreReportedByFileAndLineAndNothingIsWritten) {
    const auto folder = TestFolder("invalid_lines");
    const std::string sets = (folder / "sets.csv").string();
    WriteFile(sets, "good,set\n,missing one\nmissing two\na,b,c,d,e,f\n\"open,quote\nafter,\"quote\"x\nfine,too\n");
    WriteFile(folder / "out.txt", "old content\n");
    const ProcessResult result =
        RunProgram({"--input", sets, "--input-format", "csv", "--output", (folder / "out.txt").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, sets + ":2: Need to enter Keyword 1.  Try again.\n" +
                          sets + ":3: Need at least two keywords. Enter Keyword 2.\n" +
                          sets + ":4: more than five fields\n" +
                          sets + ":5: a quoted field does not end on its line\n" +
                          sets + ":6: text after the closing quote of a field\n");
    // The existing file is kept as it was, and no temporary file is left beside it.
    EXPECT_EQ(ReadFile(folder / "out.txt"), "old content\n");
    EXPECT_EQ(cli_test::FileNames(folder), (std::vector<std::string>{"out.txt", "sets.csv"}));

    const ProcessResult stdinSet = RunProgram({"--input", "-"}, "\tb\n");
    EXPECT_EQ(stdinSet.exitCode, 1);
    EXPECT_EQ(stdinSet.err, "(standard input):1: Need to enter Keyword 1.  Try again.\n");
}

TEST(Program, CsvOutputForGoogleAdsEditor) {
    const ProcessResult one = RunProgram({"-f", "csv", "--lf", "blue", "shoes"});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_EQ(one.out, "Ad group,Keyword,Criterion Type\nblue shoes,blue shoes,Phrase\nblue shoes,shoes blue,Phrase\n");

    const ProcessResult rows =
        RunProgram({"--format=csv", "--crlf", "-b", "--campaign", "Spring, 2026", "--input", "-"},
            "5\" screen\tcase\t\t\tScreens\nred\tboots\n");
    EXPECT_EQ(rows.out,
              "Campaign,Ad group,Keyword,Criterion Type\r\n"
              "\"Spring, 2026\",Screens,\"5\"\" screen case\",Exact\r\n"
              "\"Spring, 2026\",Screens,\"case 5\"\" screen\",Exact\r\n"
              "\"Spring, 2026\",red boots,red boots,Exact\r\n"
              "\"Spring, 2026\",red boots,boots red,Exact\r\n");
}

// Microsoft Advertising's bulk file, here of campaign negatives: the byte-order mark, the heading
// and version rows, the platform's line ends, into a file.
TEST(Program, MicrosoftAdvertisingBulkFileOfCampaignNegatives) {
    const auto folder = TestFolder("microsoft");
    const std::string out = (folder / "bulk.csv").string();
    const ProcessResult run = RunProgram({"-f", "microsoft", "--negative=campaign", "--campaign", "Spring", "-m",
                                          "exact,phrase", "-o", out, "blue", "shoes"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFile(out),
              WithLineEnds("\xEF\xBB\xBF" "Type,Status,Id,Parent Id,Campaign,Ad Group,Client Id,Modified Time,Keyword,"
                           "Match Type,Bid,Name\n"
                           "Format Version,,,,,,,,,,,6.0\n"
                           "Campaign Negative Keyword,Active,,,Spring,,,,blue shoes,Exact,,\n"
                           "Campaign Negative Keyword,Active,,,Spring,,,,shoes blue,Exact,,\n"
                           "Campaign Negative Keyword,Active,,,Spring,,,,blue shoes,Phrase,,\n"
                           "Campaign Negative Keyword,Active,,,Spring,,,,shoes blue,Phrase,,\n",
                           kNativeLineEnd));
}

// A sheet as people keep it: a heading row, a campaign per row, columns of their own, semicolons.
TEST(Program, SheetWithHeadingRowAndSemicolons) {
    const ProcessResult run =
        RunProgram({"--input", "-", "--input-format", "csv", "--separator", ";", "-H", "-f", "csv", "--lf",
                    "--campaign", "Default"},
                   "Campaign;Keyword 1;Keyword 2;Max CPC;Labels\nSpring;blue;shoes;0,50;\"a;b\"\n;red;\"boots\";;\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "Campaign,Ad group,Keyword,Criterion Type,Max CPC,Labels\n"
              "Spring,blue shoes,blue shoes,Phrase,\"0,50\",a;b\nSpring,blue shoes,shoes blue,Phrase,\"0,50\",a;b\n"
              "Default,red boots,red boots,Phrase,,\nDefault,red boots,boots red,Phrase,,\n");
}

TEST(Program, UsageErrorsEndWithStatus2AndAPointerToHelp) {
    const auto folder = TestFolder("usage");
    const struct {
        std::vector<std::string> arguments;
        std::string firstLine;
    } cases[] = {
        {{"--bogus", "a", "b"}, "varnholt-cli: unknown option '--bogus'"},
        {{"a", "b", "--input", "sets.tsv"}, "varnholt-cli: keywords and --input together: give one or the other"},
        {{"--subsets"}, "varnholt-cli: no keywords: give two to four, or --input FILE"},
        {{"-f", "xml", "a", "b"}, "varnholt-cli: unknown format 'xml' (text, csv or microsoft)"},
        {{"--input", (folder / "missing.tsv").string()}, "varnholt-cli: cannot open " + (folder / "missing.tsv").string() + ": "},
        {{"--input", folder.string()}, "varnholt-cli: cannot open " + folder.string() + ": "},
        {{"a", "b", "-o", ""}, "varnholt-cli: option '--output' needs a file name"},
        {{"a", "b", "-o", (folder / "no folder" / "out.txt").string()},
         "varnholt-cli: cannot write " + (folder / "no folder" / "out.txt").string() + ": "},
    };
    for (const auto& c : cases) {
        const ProcessResult result = RunProgram(c.arguments);
        EXPECT_EQ(result.exitCode, 2) << c.firstLine;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.substr(0, c.firstLine.size()), c.firstLine);
        const std::string pointer = "\nTry 'varnholt-cli --help'.\n";
        ASSERT_GE(result.err.size(), pointer.size());
        EXPECT_EQ(result.err.substr(result.err.size() - pointer.size()), pointer) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
    }
}

TEST(Program, OutputFileIsReplacedOnlyWhenTheRunSucceeds) {
    const auto folder = TestFolder("output_file");
    const std::string out = (folder / "phrases.txt").string();
    EXPECT_EQ(RunProgram({"--lf", "-o", out, "a", "b"}).exitCode, 0);
    EXPECT_EQ(ReadFile(out), "\"a b\"\n\"b a\"\n");
    EXPECT_EQ(RunProgram({"--lf", "--output=" + out, "c", "d"}).exitCode, 0);
    EXPECT_EQ(ReadFile(out), "\"c d\"\n\"d c\"\n");

    // A phrase over the limits under --strict, and a missing keyword: the file stays.
    const std::string tooLong(81, 'x');
    const ProcessResult strict = RunProgram({"--strict", "-o", out, tooLong, "y"});
    EXPECT_EQ(strict.exitCode, 1);
    EXPECT_EQ(RunProgram({"-o", out, "", "y"}).exitCode, 1);
    EXPECT_EQ(ReadFile(out), "\"c d\"\n\"d c\"\n");
    EXPECT_EQ(cli_test::FileNames(folder), std::vector<std::string>{"phrases.txt"});
    // And a file that is not there is not made.
    EXPECT_EQ(RunProgram({"--strict", "-o", (folder / "new.txt").string(), tooLong, "y"}).exitCode, 1);
    EXPECT_EQ(cli_test::FileNames(folder), std::vector<std::string>{"phrases.txt"});
}

TEST(Program, AnOutputFileThatIsTheInputIsRefused) {
    const auto folder = TestFolder("output_is_input");
    const auto sets = folder / "sets.tsv";
    WriteFile(sets, "a\tb\n");
    std::filesystem::create_hard_link(sets, folder / "hard link.tsv");
    for (const auto& output : {sets, folder / "." / "sets.tsv", folder / "hard link.tsv"}) {
        const ProcessResult run = RunProgram({"--input", sets.string(), "-f", "csv", "-o", output.string()});
        EXPECT_EQ(run.exitCode, 2) << output;
        EXPECT_EQ(run.err, "varnholt-cli: --output " + output.string() + " is the same file as the input " +
                               sets.string() + "\nTry 'varnholt-cli --help'.\n");
        EXPECT_EQ(ReadFile(sets), "a\tb\n");
    }
    EXPECT_EQ(cli_test::FileNames(folder), (std::vector<std::string>{"hard link.tsv", "sets.tsv"}));
}

#ifdef _WIN32
TEST(Program, AReadOnlyOutputFileIsRefused) {
    const auto folder = TestFolder("read_only");
    const auto out = folder / "kept.txt";
    WriteFile(out, "old content\n");
    const auto readOnly = std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                          std::filesystem::perms::others_read;
    std::filesystem::permissions(out, readOnly);
    const ProcessResult run = RunProgram({"a", "b", "-o", out.string()});
    // Writable again, so that the next run can empty the folder.
    std::filesystem::permissions(out, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    EXPECT_EQ(run.exitCode, 2);
    const std::string refusal = "varnholt-cli: cannot write " + out.string() + ": ";
    EXPECT_EQ(run.err.substr(0, refusal.size()), refusal);
    EXPECT_EQ(ReadFile(out), "old content\n");
    EXPECT_EQ(cli_test::FileNames(folder), std::vector<std::string>{"kept.txt"});
}
#endif

TEST(Program, PhrasesOverGoogleAdsLimitsAreWarnedAboutOrWithStrictRefused) {
    const std::string long40(40, 'l');
    const ProcessResult warned = RunProgram({"--lf", "-b", long40, long40});
    EXPECT_EQ(warned.exitCode, 0);
    EXPECT_EQ(warned.out, "[" + long40 + " " + long40 + "]\n[" + long40 + " " + long40 + "]\n");
    const std::string warning = "arguments: warning: [" + long40 + " " + long40 +
                                "] is over Google Ads' limit of 80 characters (81)\n";
    EXPECT_EQ(warned.err, warning + warning);

    // Eleven words in the full orderings only; "é" counts as one character.
    const ProcessResult words = RunProgram({"--input", "-", "-s", "--lf"},
                                    "one two three\tfour five six\tseven eight nine ten eleven\tcaf\xC3\xA9\n");
    EXPECT_EQ(words.exitCode, 0);
    EXPECT_EQ(std::count(words.out.begin(), words.out.end(), '\n'), 60);
    // The 24 full orderings and the 6 orderings of the first three keywords have 12 and 11 words.
    EXPECT_EQ(std::count(words.err.begin(), words.err.end(), '\n'), 30) << words.err;
    EXPECT_EQ(words.err.substr(0, words.err.find('\n') + 1),
              "(standard input):1: warning: \"one two three four five six seven eight nine ten eleven caf\xC3\xA9\" "
              "is over Google Ads' limit of 10 words (12)\n");
    const ProcessResult both = RunProgram({"--lf", std::string(79, 'w'), "x y z a b c d e f g"});
    EXPECT_NE(both.err.find("is over Google Ads' limits of 80 characters (99) and 10 words (11)\n"), std::string::npos);

    const ProcessResult strict = RunProgram({"--strict", "--lf", long40, long40});
    EXPECT_EQ(strict.exitCode, 1);
    EXPECT_EQ(strict.out, "");
    EXPECT_EQ(strict.err.substr(0, 18), "arguments: error: ");
    EXPECT_EQ(RunProgram({"--strict", "--lf", long40, std::string(39, 'l')}).exitCode, 0);
}

TEST(Program, UnicodeArgumentsFileNamesAndMessagesStayUtf8) {
    // Letters of the ANSI code page and letters outside it. On Windows they cross the wide
    // command line and the wide file calls; elsewhere they are bytes all the way.
    const std::string cafe = "caf\xC3\xA9";
    const std::string greece = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1";
    const std::string phrases = "\"" + cafe + " " + greece + "\"" + kNativeLineEnd + "\"" + greece + " " + cafe +
                                "\"" + kNativeLineEnd;
    const ProcessResult arguments = RunProgram({cafe, greece});
    EXPECT_EQ(arguments.exitCode, 0);
    EXPECT_EQ(arguments.out, phrases);
    EXPECT_EQ(arguments.err, "");

    // A folder, a keyword file and an existing output file named so; the temporary file beside
    // the output lives in that folder too.
    const auto folder = TestFolder("unicode") / std::filesystem::u8path(greece + " " + cafe);
    std::filesystem::create_directory(folder);
    const auto input = folder / std::filesystem::u8path("\xCE\xBB\xCE\xAD\xCE\xBE\xCE\xB5\xCE\xB9\xCF\x82 "
                                                        "\xC3\xBC.tsv");
    const auto output = folder / std::filesystem::u8path("\xCF\x86\xCF\x81\xCE\xAC\xCF\x83\xCE\xB5\xCE\xB9\xCF\x82 "
                                                         "\xC3\xB1.txt");
    WriteFile(input, cafe + "\t" + greece + "\n");
    WriteFile(output, "old content\n");
    const ProcessResult files = RunProgram({"--input", input.u8string(), "-o", output.u8string()});
    EXPECT_EQ(files.exitCode, 0);
    EXPECT_EQ(files.err, "");
    EXPECT_EQ(ReadFile(output), phrases);
    EXPECT_EQ(cli_test::FileNames(folder), (std::vector<std::string>{input.filename().u8string(),
                                                                      output.filename().u8string()}));

    // A message names the file as it was given.
    const auto missing = folder / std::filesystem::u8path(greece + ".tsv");
    const ProcessResult unopened = RunProgram({"--input", missing.u8string()});
    EXPECT_EQ(unopened.exitCode, 2);
    const std::string named = "varnholt-cli: cannot open " + missing.u8string() + ": ";
    EXPECT_EQ(unopened.err.substr(0, named.size()), named);
}

TEST(Program, HelpAndVersion) {
    const ProcessResult help = RunProgram({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: varnholt-cli [OPTIONS] KEYWORD1 KEYWORD2 [KEYWORD3 [KEYWORD4]]\n", 0), 0u);
    EXPECT_NE(help.out.find("  -s, --subsets          follow each set's full orderings"), std::string::npos);
    EXPECT_NE(help.out.find("\n  -h, --help             show this help and exit\n"
                            "      --version          show the program's version and exit\n"), std::string::npos);
    EXPECT_EQ(RunProgram({"-h"}).out, help.out);
    const ProcessResult version = RunProgram({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "varnholt-cli " VARNHOLT_VERSION_TEXT "\n");
}

}  // namespace
