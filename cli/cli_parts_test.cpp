// The command-line program's own part: its command line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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
        EXPECT_EQ(parsed.options.campaign.format, OutputFormat::kCsv);
        EXPECT_EQ(parsed.options.keywordArguments, 2);
        EXPECT_EQ(parsed.options.keywords[0], "a");
        EXPECT_EQ(parsed.options.keywords[1], "b");
    }

    // Options after the keywords, combined flags, the last of two contrary options winning.
    const ParsedCommandLine combined = Parse({"blue", "running", "shoes", "-bs", "--crlf", "--strict"});
    EXPECT_TRUE(combined.usageError.IsEmpty());
    EXPECT_EQ(combined.options.campaign.matchTypes.types[0], MatchType::kExact);
    EXPECT_TRUE(combined.options.campaign.includeSubsets);
    EXPECT_TRUE(combined.options.campaign.strict);
    EXPECT_EQ(combined.options.campaign.lineEnd, "\r\n");
    EXPECT_EQ(combined.options.keywordArguments, 3);
    EXPECT_EQ(Parse({"a", "b", "-b", "--quotes", "--crlf", "--lf"}).options.campaign.matchTypes.types[0], MatchType::kPhrase);
    EXPECT_EQ(Parse({"a", "b", "--crlf", "--lf"}).options.campaign.lineEnd, "\n");
    EXPECT_EQ(Parse({"a", "b"}).options.campaign.lineEnd, "\n");

    // The campaign engine's options; -b and -q are one-type lists, and the last list given wins.
    const CampaignOptions engine =
        Parse({"a", "b", "-b", "--match", "broad,exact", "-nu", "--mix", "--bom", "--input-enc=utf-16be", "-fcsv"})
            .options.campaign;
    EXPECT_EQ(engine.matchTypes.count, 2u);
    EXPECT_EQ(engine.matchTypes.types[0], MatchType::kBroad);
    EXPECT_EQ(engine.matchTypes.types[1], MatchType::kExact);
    EXPECT_EQ(engine.negative, NegativeLevel::kAdGroup);
    EXPECT_TRUE(engine.unique && engine.mix && engine.byteOrderMark);
    EXPECT_EQ(engine.inputEncoding, InputEncoding::kUtf16Be);
    EXPECT_EQ(Parse({"a", "b", "-m", "exact,phrase", "-q"}).options.campaign.matchTypes.count, 1u);

    // "--" ends the options, so keywords may begin with "-"; a lone "-" is a keyword too.
    const ParsedCommandLine dashes = Parse({"-s", "--", "-minus", "--plus", "-"});
    EXPECT_TRUE(dashes.usageError.IsEmpty());
    EXPECT_TRUE(dashes.options.campaign.includeSubsets);
    EXPECT_EQ(dashes.options.keywords[0], "-minus");
    EXPECT_EQ(dashes.options.keywords[1], "--plus");
    EXPECT_EQ(dashes.options.keywords[2], "-");

    const ParsedCommandLine file =
        Parse({"--input", "sets.csv", "--input-format=csv", "-o", "out.csv", "-f", "csv", "--campaign", "Spring"});
    EXPECT_TRUE(file.usageError.IsEmpty());
    EXPECT_STREQ(file.options.inputPath, "sets.csv");
    EXPECT_STREQ(file.options.outputPath, "out.csv");
    EXPECT_EQ(file.options.campaign.inputFormat, InputFormat::kCsv);
    EXPECT_TRUE(file.options.campaign.hasCampaign);
    EXPECT_EQ(file.options.campaign.campaign, "Spring");
    EXPECT_EQ(file.options.keywordArguments, 0);

    // Negatives of an ad group (the default, also after "=") or of a campaign, and Microsoft
    // Advertising's bulk file, reach the engine; -n stays a flag among others.
    const struct {
        std::vector<const char*> arguments;
        NegativeLevel negative;
        OutputFormat format;
    } platforms[] = {
        {{"--input", "f", "-fcsv", "--negative"}, NegativeLevel::kAdGroup, OutputFormat::kCsv},
        {{"--input", "f", "-fcsv", "--neg=ad-group"}, NegativeLevel::kAdGroup, OutputFormat::kCsv},
        {{"--input", "f", "-fcsv", "--negative=campaign"}, NegativeLevel::kCampaign, OutputFormat::kCsv},
        {{"--input", "f", "--format", "microsoft", "-nH"}, NegativeLevel::kAdGroup, OutputFormat::kMicrosoft},
        {{"a", "b", "-f", "microsoft", "--campaign", "S"}, NegativeLevel::kNone, OutputFormat::kMicrosoft},
    };
    for (const auto& c : platforms) {
        const ParsedCommandLine parsed = Parse(c.arguments);
        EXPECT_TRUE(parsed.usageError.IsEmpty()) << parsed.usageError.View();
        EXPECT_EQ(parsed.options.campaign.negative, c.negative);
        EXPECT_EQ(parsed.options.campaign.format, c.format);
    }

    // A heading row and semicolons reach the engine.
    const CampaignOptions sheet = Parse({"--input", "f", "--input-format", "csv", "--separator", ";", "-H"}).options.campaign;
    EXPECT_TRUE(sheet.header);
    EXPECT_EQ(sheet.csvSeparator, ';');
    EXPECT_FALSE(Parse({"--input", "f"}).options.campaign.header);

    // The cap on messages about lines reaches the engine.
    EXPECT_EQ(Parse({"a", "b"}).options.campaign.maxMessages, 100u);
    EXPECT_EQ(Parse({"a", "b", "--max-messages", "7"}).options.campaign.maxMessages, 7u);
    EXPECT_EQ(Parse({"a", "b", "--max-messages=0"}).options.campaign.maxMessages, 0u);

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
        {{"a", "b", "--format", "xml"}, "unknown format 'xml' (text, csv or microsoft)"},
        {{"--input", "f", "--input-format", "json"}, "unknown input format 'json' (tsv or csv)"},
        {{"a", "b", "--input", "f"}, "keywords and --input together: give one or the other"},
        {{"-s"}, "no keywords: give two to four, or --input FILE"},
        {{"a", "b", "c", "d", "e"}, "too many keywords (at most four)"},
        {{"a", "b", "--campaign", "Spring"}, "--campaign needs --format csv or microsoft"},
        {{"a", "b", "--negative"}, "--negative needs --format csv or microsoft"},
        {{"a", "b", "-fcsv", "--negative=shared"}, "unknown negative level 'shared' (ad-group or campaign)"},
        {{"a", "b", "-fcsv", "--negative="}, "unknown negative level '' (ad-group or campaign)"},
        {{"a", "b", "-fcsv", "--negative=campaign"},
         "--negative=campaign needs --campaign NAME: campaign negatives belong to a campaign"},
        {{"a", "b", "-f", "microsoft"},
         "--format microsoft needs --campaign NAME: Microsoft Advertising finds an ad group by its campaign and name"},
        {{"--input", "f", "-f", "microsoft", "-n", "-m", "exact,broad"},
         "--match broad with --negative: Microsoft Advertising has no broad negatives"},
        {{"a", "b", "-m", "exact,exact"}, "unknown match types 'exact,exact' (exact, phrase and broad, comma-separated)"},
        {{"a", "b", "--match=Phrase"}, "unknown match types 'Phrase' (exact, phrase and broad, comma-separated)"},
        {{"a", "b", "-o", ""}, "option '--output' needs a file name"},
        {{"a", "b", "--output="}, "option '--output' needs a file name"},
        {{"a", "b", "--max-messages", "-1"}, "invalid number of messages '-1' (0 or more; 0 shows every one)"},
        {{"a", "b", "--max-messages="}, "invalid number of messages '' (0 or more; 0 shows every one)"},
        {{"a", "b", "--max-messages", "99999999999999999999999"},
         "invalid number of messages '99999999999999999999999' (0 or more; 0 shows every one)"},
        {{"a", "b", "--header"}, "--header needs --input FILE: keywords given as arguments have no heading row"},
        {{"--input", "f", "--separator", ";"}, "--separator needs --input-format csv"},
        {{"--input", "f", "--input-format", "csv", "--separator", "|"}, "unknown separator '|' (',' or ';')"},
        {{"--input", "f", "--input-encoding", "latin1"},
         "unknown input encoding 'latin1' (auto, utf-8, utf-16le, utf-16be, windows-1252)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Parse(c.arguments).usageError.View(), c.message);
    }
}

}  // namespace
