// The campaign engine: keyword files in every encoding and line end, their fields, word
// lists, match types, duplicates and Google Ads' limits, byte for byte.
#include "campaign/campaign.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "campaign/csv_field.h"
#include "campaign/duplicates.h"
#include "campaign/keyword_file.h"
#include "campaign/message_text.h"
#include "campaign/text_encoding.h"
#include "tests/support/rationed_text_memory.h"

namespace {

// The fields of one line, unquoted, as strings.
std::vector<std::string> Fields(std::string line, InputFormat format, const char** reason = nullptr) {
    LineFields fields;
    const char* problem = SplitFields(&line[0], line.size(), FieldSeparator(format, ','), &fields);
    if (reason) *reason = problem;
    if (problem) return {};
    return std::vector<std::string>(fields.kept.items, fields.kept.items + fields.kept.count);
}

const char* Problem(const std::string& line, InputFormat format) {
    const char* reason = nullptr;
    Fields(line, format, &reason);
    return reason;
}

// Fields past the fifth: how many fields in all, and the first filled one past the fifth (the
// engine reports such lines as more than five fields, or more fields than headings).
std::pair<size_t, size_t> FieldsPastTheFifth(std::string line, InputFormat format) {
    LineFields fields;
    EXPECT_EQ(SplitFields(&line[0], line.size(), FieldSeparator(format, ','), &fields), nullptr);
    EXPECT_EQ(fields.kept.count, std::min<size_t>(fields.total, kMaxFields));
    return {fields.total, fields.firstFilledPastKept};
}

TEST(InputFields, TabSeparatedSplitsOnTabsOnly) {
    EXPECT_EQ(Fields("blue\trunning shoes\t\t\tSpring, \"sale\"", InputFormat::kTsv),
              (std::vector<std::string>{"blue", "running shoes", "", "", "Spring, \"sale\""}));
    EXPECT_EQ(Fields("a\tb", InputFormat::kTsv), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Fields(" a \t\"b\"\tc\rd", InputFormat::kTsv), (std::vector<std::string>{" a ", "\"b\"", "c\rd"}));
    EXPECT_EQ(FieldsPastTheFifth("a\tb\tc\td\tgroup\textra", InputFormat::kTsv), std::make_pair(size_t{6}, size_t{6}));
    EXPECT_EQ(FieldsPastTheFifth("a\tb\tc\td\tgroup\t", InputFormat::kTsv), std::make_pair(size_t{6}, size_t{0}));
    EXPECT_EQ(FieldsPastTheFifth("a\tb\tc\td\tgroup\t\tx\ty", InputFormat::kTsv), std::make_pair(size_t{8}, size_t{7}));

    // An empty spreadsheet row, however wide, is empty.
    LineFields fields;
    std::string row = "\t\t\t\t\t\t\t";
    EXPECT_EQ(SplitFields(&row[0], row.size(), kTab, &fields), nullptr);
    EXPECT_TRUE(AllFieldsEmpty(fields));
    std::string empty;
    EXPECT_EQ(SplitFields(&empty[0], 0, kTab, &fields), nullptr);
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
    EXPECT_EQ(FieldsPastTheFifth("a,b,c,d,e,f", InputFormat::kCsv), std::make_pair(size_t{6}, size_t{6}));
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

// Every line with its number, read through the decoder, or the result that ended the reading.
std::vector<std::string> Lines(Chunks* chunks, ReadLineResult* ending = nullptr,
                               InputFormat format = InputFormat::kTsv) {
    DecodingReader decoder = MakeDecodingReader(ReadChunk, chunks, InputEncoding::kAuto);
    LineReader reader = MakeLineReader(ReadDecoded, &decoder, FieldSeparator(format, ','));
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

TEST(LineReader, SplitsLinesEndedByLfCrLfOrALoneCrWhateverTheReadSizes) {
    const std::string file = "\xEF\xBB\xBF" "one\r\ntwo\n\n\r\nfour\rfive\n\xEF\xBB\xBF" "seven\r";
    const std::vector<std::string> expected{"1:one", "2:two", "3:", "4:", "5:four", "6:five", "7:\xEF\xBB\xBFseven"};
    for (size_t chunk : {1u, 2u, 3u, 7u, 1000u}) {
        Chunks chunks{file, chunk};
        EXPECT_EQ(Lines(&chunks), expected) << "read " << chunk << " bytes at a time";
        // In CSV a quoted field keeps its CR (even before an LF); outside quotes a CR ends the line.
        Chunks csv{"a,\"b\rc\",\"d\"\"\re\"\r\"\"\"\rf\r\n", chunk};
        EXPECT_EQ(Lines(&csv, nullptr, InputFormat::kCsv),
                  (std::vector<std::string>{"1:a,\"b\rc\",\"d\"\"\re\"", "2:\"\"\"\rf\r"}))
            << "read " << chunk << " bytes at a time";
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


struct Outcome {
    std::string output;
    std::string messages;  // one per line
    CampaignResult result;
};

bool Collect(void* context, const char* bytes, size_t size) {
    static_cast<std::string*>(context)->append(bytes, size);
    return true;
}

void CollectMessage(void* context, std::string_view message) {
    static_cast<std::string*>(context)->append(message).append("\n");
}

Outcome RunFile(const std::string& bytes, const CampaignOptions& options, size_t chunk = 4096,
                std::string_view name = "f") {
    Outcome run;
    Chunks chunks{bytes, chunk};
    run.result = WriteCampaignFromFile(options, ReadChunk, &chunks, name, {Collect, &run.output},
                                       {CollectMessage, &run.messages});
    return run;
}

Outcome RunKeywords(std::vector<std::string_view> words, const CampaignOptions& options) {
    Outcome run;
    words.resize(4);
    run.result = WriteCampaignFromKeywords(options, words.data(), {Collect, &run.output},
                                           {CollectMessage, &run.messages});
    return run;
}

void ExpectOutcome(const Outcome& run, const Outcome& expected, const std::string& what) {
    EXPECT_EQ(run.output, expected.output) << what;
    EXPECT_EQ(run.messages, expected.messages) << what;
    EXPECT_EQ(run.result, expected.result) << what;
}

// A keyword file through the engine, and what it must give.
struct FileCase {
    const char* what;
    CampaignOptions options;
    std::string input;
    std::string output;
    std::string messages;
    CampaignResult result;
    bool startsWithHeadings = false;  // InputStartsWithHeadings, for the page's check box
};

CampaignOptions Options(const char* matchTypes, OutputFormat format = OutputFormat::kText) {
    CampaignOptions options;
    EXPECT_TRUE(ParseMatchTypes(matchTypes, &options.matchTypes));
    options.format = format;
    return options;
}

TEST(Campaign, EveryMatchTypeInTheOrderGivenWithItsMarksOrCriterion) {
    EXPECT_EQ(RunKeywords({"blue", "shoes"}, Options("exact,phrase,broad")).output,
              "[blue shoes]\n[shoes blue]\n\"blue shoes\"\n\"shoes blue\"\nblue shoes\nshoes blue\n");
    // Set by set, each set's lines in every type before the next set.
    EXPECT_EQ(RunFile("a\tb\nc\td\n", Options("broad,exact")).output, "a b\nb a\n[a b]\n[b a]\nc d\nd c\n[c d]\n[d c]\n");

    CampaignOptions csv = Options("phrase,broad", OutputFormat::kCsv);
    csv.hasCampaign = true;
    csv.campaign = "Spring";
    csv.byteOrderMark = true;
    csv.lineEnd = "\r\n";
    EXPECT_EQ(RunKeywords({"5\" tv", "big"}, csv).output,
              "\xEF\xBB\xBF" "Campaign,Ad group,Keyword,Criterion Type\r\n"
              "Spring,\"5\"\" tv big\",\"5\"\" tv big\",Phrase\r\nSpring,\"5\"\" tv big\",\"big 5\"\" tv\",Phrase\r\n"
              "Spring,\"5\"\" tv big\",\"5\"\" tv big\",Broad\r\nSpring,\"5\"\" tv big\",\"big 5\"\" tv\",Broad\r\n");
    CampaignOptions negative = Options("exact,broad", OutputFormat::kCsv);
    negative.negative = NegativeLevel::kAdGroup;
    EXPECT_EQ(RunFile("a\tb\t\t\tG\n", negative).output,
              "Ad group,Keyword,Criterion Type\nG,a b,Negative Exact\nG,b a,Negative Exact\n"
              "G,a b,Negative Broad\nG,b a,Negative Broad\n");

    MatchTypeList list;
    EXPECT_FALSE(ParseMatchTypes("exact,", &list));
    EXPECT_FALSE(ParseMatchTypes("", &list));
    EXPECT_FALSE(ParseMatchTypes("broad,broad", &list));
}

TEST(Campaign, WordListsGoInOdometerOrderAndRefuseEmptyAlternatives) {
    CampaignOptions mix = Options("exact", OutputFormat::kCsv);
    mix.mix = true;
    EXPECT_EQ(RunFile("buy|order\tshoes|trainers\n", mix).output,
              "Ad group,Keyword,Criterion Type\n"
              "buy shoes,buy shoes,Exact\nbuy shoes,shoes buy,Exact\nbuy trainers,buy trainers,Exact\n"
              "buy trainers,trainers buy,Exact\norder shoes,order shoes,Exact\norder shoes,shoes order,Exact\n"
              "order trainers,order trainers,Exact\norder trainers,trainers order,Exact\n");
    // The fifth field is the ad group of every combination; keyword 4 counts only after keyword 3.
    EXPECT_EQ(RunFile("a|b\tc\t\td|e\tG\n", mix).output,
              "Ad group,Keyword,Criterion Type\nG,a c,Exact\nG,c a,Exact\nG,b c,Exact\nG,c b,Exact\n");

    const Outcome refused = RunFile("a||b\tc\nx\ty|\n|p\tq\nfine\tline\n" + std::string(5, 'k') + "\t" +
                                    std::string("1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17|18|19|20|21|22|23|24|25|26"
                                                "|27|28|29|30|31|32|33|34|35|36|37|38|39|40|41|42|43|44|45|46|47")
                                        .append("\t1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17|18|19|20|21|22|23|24|25"
                                                "|26|27|28|29|30|31|32|33|34|35|36|37|38|39|40|41|42|43|44|45|46|47")
                                        .append("\t1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17|18|19|20|21|22|23|24|25"
                                                "|26|27|28|29|30|31|32|33|34|35|36|37|38|39|40|41|42|43|44|45|46|47\n"),
                                mix);
    EXPECT_EQ(refused.messages,
              "f:1: empty alternative in keyword 1\nf:2: empty alternative in keyword 2\n"
              "f:3: empty alternative in keyword 1\nf:5: more than 100000 combinations of alternatives\n");
    EXPECT_EQ(refused.result, CampaignResult::kInvalidInput);
    EXPECT_EQ(RunKeywords({"a", "b|"}, mix).messages, "arguments: empty alternative in keyword 2\n");

    // Without word lists "|" is a character of the keyword, one Google Ads refuses.
    const Outcome plain = RunKeywords({"a|b", "c"}, Options("phrase"));
    EXPECT_EQ(plain.output, "\"a|b c\"\n\"c a|b\"\n");
    EXPECT_EQ(plain.messages,
              "arguments: warning: \"a|b c\" holds characters that Google Ads does not accept in keywords: |\n"
              "arguments: warning: \"c a|b\" holds characters that Google Ads does not accept in keywords: |\n");
}

TEST(Campaign, UniqueLeavesOutWhatItsAdGroupAndMatchTypeAlreadyHave) {
    CampaignOptions unique = Options("exact,broad");
    unique.unique = true;
    unique.includeSubsets = true;
    // Equal without case and with runs of blanks as one: only the first of each is written.
    EXPECT_EQ(RunKeywords({"Shoes", "shoes", "red  hot"}, unique).output,
              "[Shoes shoes red  hot]\n[Shoes red  hot shoes]\n[red  hot Shoes shoes]\n"
              "[shoes red  hot]\n[red  hot shoes]\n[Shoes shoes]\n"
              "Shoes shoes red  hot\nShoes red  hot shoes\nred  hot Shoes shoes\n"
              "shoes red  hot\nred  hot shoes\nShoes shoes\n");
    // Greek, Cyrillic and accented Latin capitals; a second line of the same ad group; bytes
    // that are no UTF-8 compare exactly.
    CampaignOptions phrase = Options("phrase");
    phrase.unique = true;
    EXPECT_EQ(RunFile("\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1\t\xCE\x95\xCE\x9B\xCE\x9B\xCE\x86\xCE\x94\xCE\x91\n"
                      "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0\t\xC3\x89T\xC3\x89\t\t\tG\n"
                      "\xD0\xBC\xD0\x9E\xD0\xA1\xD0\xBA\xD0\xB2\xD0\xB0\t\xC3\xA9t\xC3\xA9\t\t\tG\n"
                      "\xE9t\xE9\t\xC9T\xC9\t\t\tH\n",
                      phrase)
                  .output,
              "\"\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1 \xCE\x95\xCE\x9B\xCE\x9B\xCE\x86\xCE\x94\xCE\x91\"\n"
              "\"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xC3\x89T\xC3\x89\"\n"
              "\"\xC3\x89T\xC3\x89 \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0\"\n"
              "\"\xE9t\xE9 \xC9T\xC9\"\n\"\xC9T\xC9 \xE9t\xE9\"\n");
    // Without it every line is written, as in the window.
    EXPECT_EQ(RunKeywords({"a", "A"}, Options("broad")).output, "a A\nA a\n");
}

TEST(Campaign, UniqueHoldsAcrossTheWholeFileInEveryMatchType) {
    CampaignOptions unique = Options("exact,broad");
    unique.unique = true;
    // G1 on lines 1, 3, 5 and 8, G2 on lines 2, 4 and 6: each line's phrases in every type.
    EXPECT_EQ(RunFile("blue\tshoes\t\t\tG1\nred\tshoes\t\t\tG2\nblue\tboots\t\t\tG1\nred\tboots\t\t\tG2\n"
                      "shoes\tboots\t\t\tG1\nRED\tSHOES\t\t\tG2\nblue\tshoes\t\t\tG3\nBLUE\tSHOES\t\t\tG1\n",
                      unique)
                  .output,
              "[blue shoes]\n[shoes blue]\nblue shoes\nshoes blue\n[red shoes]\n[shoes red]\nred shoes\nshoes red\n"
              "[blue boots]\n[boots blue]\nblue boots\nboots blue\n[red boots]\n[boots red]\nred boots\nboots red\n"
              "[shoes boots]\n[boots shoes]\nshoes boots\nboots shoes\n"
              "[blue shoes]\n[shoes blue]\nblue shoes\nshoes blue\n");
}

// The phrases of a set that KeepNewOrderings lets through (with subsets), joined by "|".
struct SetSeen {
    const char* campaign;
    const char* adGroup;
    std::vector<std::string_view> keywords;
    const char* kept;
};

std::string KeptPhrases(WrittenPhrases* written, const SetSeen& set) {
    KeywordList keywords{};
    std::copy(set.keywords.begin(), set.keywords.end(), keywords.words.begin());
    const int count = CountKeywords(keywords);
    uint64_t kept = 0;
    EXPECT_TRUE(KeepNewOrderings(written, set.campaign, set.adGroup, keywords, count, true, &kept));
    std::string phrases;
    size_t index = 0;
    for (const KeywordOrdering& line : PermutationOrderings(count, true)) {
        if (!(kept >> index++ & 1)) continue;
        phrases += phrases.empty() ? "" : "|";
        for (size_t k = 0; k < line.count; ++k) phrases.append(k ? " " : "").append(keywords.words[line.keywords[k]]);
    }
    return phrases;
}

TEST(WrittenPhrases, EachCampaignsAdGroupKeepsItsPhrasesWhateverComesBetween) {
    const SetSeen sets[] = {
        {"", "G1", {"blue", "shoes"}, "blue shoes|shoes blue"},
        {"", "G2", {"blue", "shoes"}, "blue shoes|shoes blue"},
        {"", "G1", {"SHOES", "Blue"}, ""},
        {"Spring", "G1", {"blue", "shoes"}, "blue shoes|shoes blue"},
        {"Spr", "ingG1", {"blue", "shoes"}, "blue shoes|shoes blue"},
        {"Spring", "G1", {"Blue", "shoes"}, ""},
        // Phrases are compared word by word, whichever keywords hold the words.
        {"", "G3", {"red  hot", "shoes"}, "red  hot shoes|shoes red  hot"},
        {"", "G3", {"red", "hot shoes"}, "hot shoes red"},
        // A blank at either end is kept as one.
        {"", "G4", {" a", "b"}, " a b|b  a"},
        {"", "G4", {"a", "b\t"}, "a b\t"},
        // Sets that share one keyword with the group, then one made of its known words.
        {"", "G5", {"buy", "shoes"}, "buy shoes|shoes buy"},
        {"", "G5", {"buy", "boots"}, "buy boots|boots buy"},
        {"", "G5", {"boots", "shoes"}, "boots shoes|shoes boots"},
        {"", "G5", {"shoes", "BUY"}, ""},
        // A set that repeats itself, then sets of the same group after it, the last of new words
        // that repeat each other.
        {"", "G6", {"Shoes", "shoes"}, "Shoes shoes"},
        {"", "G6", {"red", "boots"}, "red boots|boots red"},
        {"", "G6", {"boots", "RED"}, ""},
        {"", "G6", {"Hat", "hat", "cap"}, "Hat hat cap|Hat cap hat|cap Hat hat|hat cap|cap hat|Hat hat"},
        // Subsets: a later set of two of a set's three keywords.
        {"", "G7", {"a", "b", "c"}, "a b c|a c b|c a b|c b a|b c a|b a c|b c|c b|a b|b a|c a|a c"},
        {"", "G7", {"c", "a"}, ""},
        {"", "G7", {"d", "c", "a"}, "d c a|d a c|a d c|a c d|c a d|c d a|d c|c d|a d|d a"},
        // Capitals past a word's first eight bytes.
        {"", "G8", {"runningshoes", "sale"}, "runningshoes sale|sale runningshoes"},
        {"", "G8", {"SALE", "runningShoes"}, ""},
        // Sixteen words, then a keyword of one: the word list grows past its first room.
        {"", "G9", {"a b c d e f g h i j k l m n o p", "q"}, "a b c d e f g h i j k l m n o p q|q a b c d e f g h i j k l m n o p"},
        // An empty ad group is named after the set's keywords joined by blanks, whichever
        // keywords hold the blanks, in the set's order.
        {"", "", {"a b", "c"}, "a b c|c a b"},
        {"", "", {"a", "b c"}, "b c a"},
        {"", "a b c", {"c", "A b"}, ""},
        {"", "", {"c", "a b"}, "c a b|a b c"},
        {"Spring", "", {"a b", "c"}, "a b c|c a b"},
        // One-word keywords are compared by the words a phrase holds, in any order; a keyword of
        // two words then has the group compare every ordering, including those of the sets before.
        {"", "G11", {"a", "b", "c"}, "a b c|a c b|c a b|c b a|b c a|b a c|b c|c b|a b|b a|c a|a c"},
        {"", "G11", {"c", "B"}, ""},
        {"", "G11", {"A b", "c"}, ""},
        {"", "G11", {"d", "C a"}, "d C a|C a d"},
        // Named after keywords with capitals, then by the same name given, another group between.
        {"", "", {"Red", "Boots"}, "Red Boots|Boots Red"},
        {"", "G10", {"y", "z"}, "y z|z y"},
        {"", "Red Boots", {"boots", "RED"}, ""},
    };
    // Whatever a run's seed; with every hash the same, every match is decided on the bytes;
    // with the kept bits of every hash the same but words still told apart, so are matches of
    // subsets of words.
    const struct {
        uint64_t seed, mask;
    } hashings[] = {{0, ~uint64_t{0}}, {0x243F6A8885A308D3, ~uint64_t{0}}, {0, 0}, {0, 0xFFFFFFFF}};
    for (const auto& hashing : hashings) {
        WrittenPhrases written;
        written.hashSeed = hashing.seed;
        written.hashMask = hashing.mask;
        for (const SetSeen& set : sets) {
            EXPECT_EQ(KeptPhrases(&written, set), set.kept) << set.campaign << "/" << set.adGroup << " "
                                                            << set.keywords[0] << ", seed " << hashing.seed
                                                            << ", hash mask " << hashing.mask;
        }
    }
}

TEST(WrittenPhrases, ThousandsOfAdGroupsAreEachFoundAgain) {
    WrittenPhrases written;
    constexpr int kGroups = 5000;
    std::vector<std::string> names, words;
    for (int i = 0; i < kGroups; ++i) {
        names.push_back("G" + std::to_string(i));
        words.push_back("w" + std::to_string(i));
    }
    for (int i = 0; i < kGroups; ++i) {
        ASSERT_EQ(KeptPhrases(&written, {"", names[i].c_str(), {words[i], "x"}, nullptr}), words[i] + " x|x " + words[i]);
    }
    for (int i = kGroups - 1; i >= 0; i -= 7) {
        ASSERT_EQ(KeptPhrases(&written, {"", names[i].c_str(), {"X", words[i]}, nullptr}), "") << names[i];
    }
}

// Random sets in a few ad groups, against the rule as plainly as it can be put: a phrase is kept
// when its ad group had no phrase of the same compared form before. First sets of different
// one-word keywords, in small letters or capitals, then keywords of several words and runs of
// blanks among them.
TEST(WrittenPhrases, AgreesWithThePlainRuleOnRandomSets) {
    const char* const words[][2] = {{"a", "A"}, {"b", "B"}, {"red", "Red"}, {"runningshoes", "RunningShoes"},
                                    {"c", "C"}, {"blue shoes", "Blue  shoes"}, {" x", "X"},
                                    {"caf\xC3\xA9", "CAF\xC3\x89"}, {"blue", "BLUE"}, {"shoes", "Shoes"}};
    const char* const adGroups[] = {"", "G1", "g1", "a b"};
    const auto compared = [](std::string phrase) {
        for (size_t at; (at = phrase.find("\xC3\x89")) != std::string::npos;) phrase.replace(at, 2, "\xC3\xA9");
        for (char& c : phrase) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        for (size_t at; (at = phrase.find("  ")) != std::string::npos;) phrase.erase(at, 1);
        return phrase;
    };
    for (const uint64_t hashMask : {~uint64_t{0}, uint64_t{0xFFFFFFFF}}) {
        std::mt19937 random(7);
        WrittenPhrases written;
        written.hashMask = hashMask;
        std::set<std::pair<std::string, std::string>> seen;
        for (int i = 0; i < 600; ++i) {
            SetSeen set{"", adGroups[random() % 4], {}, nullptr};
            unsigned used = 0;
            for (size_t k = 2 + random() % 3; k > 0;) {
                const unsigned word = random() % (i < 300 ? 5 : 10);
                if (i < 300 && (used >> word & 1)) continue;
                used |= 1u << word;
                set.keywords.push_back(words[word][random() % 2]);
                --k;
            }
            std::string group = set.adGroup, expected;
            if (group.empty()) {
                for (const std::string_view keyword : set.keywords) group.append(group.empty() ? "" : " ").append(keyword);
            }
            for (const KeywordOrdering& line : PermutationOrderings(static_cast<int>(set.keywords.size()), true)) {
                std::string phrase;
                for (size_t k = 0; k < line.count; ++k) phrase.append(k ? " " : "").append(set.keywords[line.keywords[k]]);
                if (seen.insert({group, compared(phrase)}).second) expected += (expected.empty() ? "" : "|") + phrase;
            }
            ASSERT_EQ(KeptPhrases(&written, set), expected) << "set " << i << ", hash mask " << hashMask;
        }
    }
}

TEST(Campaign, EveryEncodingAndLineEndGivesTheSameSets) {
    const std::string expected = "\"caf\xC3\xA9 \xE2\x82\xAC\"\n\"\xE2\x82\xAC caf\xC3\xA9\"\n\"x y\"\n\"y x\"\n";
    const auto utf16 = [](std::u16string text, bool bigEndian) {
        std::string bytes;
        for (char16_t unit : text) {
            const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
            bytes += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        return bytes;
    };
    const struct {
        const char* what;
        std::string bytes;
        InputEncoding encoding;
    } files[] = {
        {"UTF-8", "caf\xC3\xA9\t\xE2\x82\xAC\nx\ty\n", InputEncoding::kAuto},
        {"UTF-8 with a mark, CR line ends", "\xEF\xBB\xBF" "caf\xC3\xA9\t\xE2\x82\xAC\rx\ty\r", InputEncoding::kAuto},
        {"UTF-16 LE", utf16(u"\uFEFFcaf\u00E9\t\u20AC\r\nx\ty", false), InputEncoding::kAuto},
        {"UTF-16 BE", utf16(u"\uFEFFcaf\u00E9\t\u20AC\rx\ty\r", true), InputEncoding::kAuto},
        {"UTF-16 LE told", utf16(u"caf\u00E9\t\u20AC\nx\ty\n", false), InputEncoding::kUtf16Le},
        {"Windows-1252", "caf\xE9\t\x80\r\nx\ty", InputEncoding::kWindows1252},
    };
    for (const auto& file : files) {
        for (size_t chunk : {1u, 3u, 4096u}) {
            CampaignOptions options;
            options.inputEncoding = file.encoding;
            const Outcome run = RunFile(file.bytes, options, chunk);
            EXPECT_EQ(run.output, expected) << file.what << ", read " << chunk << " bytes at a time";
            EXPECT_EQ(run.messages, "") << file.what;
        }
    }
    // Bytes that are no UTF-8 are kept, with one warning a line; the five bytes Windows-1252
    // leaves undefined are the C1 controls (which no keyword may hold); broken UTF-16 becomes
    // U+FFFD.
    const Outcome latin1 = RunFile("caf\xE9\tb\n", CampaignOptions());
    EXPECT_EQ(latin1.output, "\"caf\xE9 b\"\n\"b caf\xE9\"\n");
    EXPECT_EQ(latin1.messages,
              "f:1: not UTF-8 (the output keeps these bytes; --input-encoding windows-1252 converts them)\n");
    CampaignOptions cp1252;
    cp1252.inputEncoding = InputEncoding::kWindows1252;
    EXPECT_EQ(RunFile("\x81\tb\n\x8D\tb\n\x8F\tb\n\x90\tb\n\x9D\tb", cp1252).messages,
              "f:1: keyword 1 holds a control character (U+0081)\nf:2: keyword 1 holds a control character (U+008D)\n"
              "f:3: keyword 1 holds a control character (U+008F)\nf:4: keyword 1 holds a control character (U+0090)\n"
              "f:5: keyword 1 holds a control character (U+009D)\n");
    EXPECT_EQ(RunFile(std::string("\xFF\xFE" "a\0\t\0\x00\xDC" "b", 9), CampaignOptions()).output,
              "\"a \xEF\xBF\xBD\xEF\xBF\xBD\"\n\"\xEF\xBF\xBD\xEF\xBF\xBD a\"\n");
}

CampaignOptions Csv(const char* campaign = nullptr) {
    CampaignOptions options = Options("phrase", OutputFormat::kCsv);
    options.hasCampaign = campaign != nullptr;
    options.campaign = campaign ? campaign : "";
    return options;
}

CampaignOptions CsvInput() {
    CampaignOptions options = Options("phrase");
    options.inputFormat = InputFormat::kCsv;
    return options;
}

CampaignOptions Capped(size_t maxMessages, bool strict = false) {
    CampaignOptions options = Options("phrase");
    options.maxMessages = maxMessages;
    options.strict = strict;
    return options;
}

enum class Source { kFile, kArguments };  // the arguments: the keywords separated by tabs

// Input no keyword sheet should hold, and what the engine makes of it.
TEST(HostileInput, Sets) {
    const std::string kCsvHeading = "Ad group,Keyword,Criterion Type\n";
    const std::string k98(98, 'k'), k99(99, 'k');
    const struct {
        const char* what;
        CampaignOptions options;
        Source source;
        std::string input;
        std::string output;
        std::string messages;
        CampaignResult result;
        std::string name = "f";
    } cases[] = {
        // In UTF-16, since a NUL byte in the first 8 KiB of a UTF-8 file makes it no text file.
        {"NUL", Options("phrase"), Source::kFile, std::string("\xFF\xFE" "b\0\0\0\t\0s\0\n\0", 12), "",
         "f:1: keyword 1 holds a control character (U+0000)\n", CampaignResult::kInvalidInput},
        {"ESC in the arguments", Options("phrase"), Source::kArguments, "blue\tsh\x1Boes", "",
         "arguments: keyword 2 holds a control character (U+001B)\n", CampaignResult::kInvalidInput},
        {"DEL in the ad group, after a valid line", Csv(), Source::kFile, "a\tb\t\t\tG\nc\td\t\t\tG\x7F\n",
         kCsvHeading + "G,a b,Phrase\nG,b a,Phrase\n", "f:2: the ad group holds a control character (U+007F)\n",
         CampaignResult::kInvalidInput},
        {"TAB inside a quoted CSV field", CsvInput(), Source::kFile, "\"a\tb\",c\n", "",
         "f:1: keyword 1 holds a control character (U+0009)\n", CampaignResult::kInvalidInput},
        {"C1 control", Options("phrase"), Source::kFile, "a\xC2\x85\tb\n", "",
         "f:1: keyword 1 holds a control character (U+0085)\n", CampaignResult::kInvalidInput},
        {"U+FEFF mid-line", Options("phrase"), Source::kFile, "a\tb\xEF\xBB\xBF\n", "",
         "f:1: keyword 2 holds a byte-order mark (U+FEFF)\n", CampaignResult::kInvalidInput},
        {"ESC in the campaign name", Csv("Spring\x1B"), Source::kFile, "a\tb\n",
         "Campaign," + kCsvHeading, "the campaign name holds a control character (U+001B)\n",
         CampaignResult::kInvalidInput},
        {"the input's name", Options("phrase"), Source::kFile, "x\n", "",
         "in\\0put\\x1B\\u0085\\uFEFF\\xFF:1: Need at least two keywords. Enter Keyword 2.\n",
         CampaignResult::kInvalidInput, std::string("in\0put\x1B\xC2\x85\xEF\xBB\xBF\xFF", 13)},
        {"bytes that are not UTF-8 in a quoted phrase", Options("phrase"), Source::kFile, "caf\xE9!\tb\n",
         "\"caf\xE9! b\"\n\"b caf\xE9!\"\n",
         "f:1: not UTF-8 (the output keeps these bytes; --input-encoding windows-1252 converts them)\n"
         "f:1: warning: \"caf\\xE9! b\" holds characters that Google Ads does not accept in keywords: !\n"
         "f:1: warning: \"b caf\\xE9!\" holds characters that Google Ads does not accept in keywords: !\n",
         CampaignResult::kWritten},
        {"0 bytes", Options("phrase"), Source::kFile, "", "", "f: no keyword sets\n", CampaignResult::kNoKeywordSets},
        {"a byte-order mark only", Csv(), Source::kFile, "\xEF\xBB\xBF", kCsvHeading, "f: no keyword sets\n",
         CampaignResult::kNoKeywordSets},
        {"blank lines only", Options("phrase"), Source::kFile, "\n\r\n\t\t\t\n\r", "", "f: no keyword sets\n",
         CampaignResult::kNoKeywordSets},
        {"formula-like names", Csv("=Spring"), Source::kFile,
         "a\tb\t\t\t@SUM(1+1)\nc\td\t\t\t@SUM(1+1)\n+e\tf\n",
         "Campaign," + kCsvHeading +
             "=Spring,@SUM(1+1),a b,Phrase\n=Spring,@SUM(1+1),b a,Phrase\n=Spring,@SUM(1+1),c d,Phrase\n"
             "=Spring,@SUM(1+1),d c,Phrase\n=Spring,+e f,+e f,Phrase\n=Spring,+e f,f +e,Phrase\n",
         "warning: the campaign name \"=Spring\" begins with =, so a spreadsheet opening the file would take it "
         "for a formula\n"
         "f:1: warning: the ad group \"@SUM(1+1)\" begins with @, so a spreadsheet opening the file would take it "
         "for a formula\n"
         "f:3: warning: the ad group \"+e f\" begins with +, so a spreadsheet opening the file would take it for a "
         "formula\n",
         CampaignResult::kWritten},
        {"the cap, then how many more", Capped(2), Source::kFile, "a!\tb\nx\nc!\td\n", "\"a! b\"\n\"b a!\"\n",
         "f:1: warning: \"a! b\" holds characters that Google Ads does not accept in keywords: !\n"
         "f:1: warning: \"b a!\" holds characters that Google Ads does not accept in keywords: !\n"
         "f: 3 more messages not shown (1 invalid line, 2 warnings)\n",
         CampaignResult::kInvalidInput},
        {"the cap, warnings only", Capped(1), Source::kArguments, "a!\tb", "\"a! b\"\n\"b a!\"\n",
         "arguments: warning: \"a! b\" holds characters that Google Ads does not accept in keywords: !\n"
         "arguments: 1 more message not shown (1 warning)\n",
         CampaignResult::kWritten},
        {"the cap, one line's errors", Capped(1, true), Source::kFile, "a!\tb\tc\n", "",
         "f:1: error: \"a! b c\" holds characters that Google Ads does not accept in keywords: !\n"
         "f: 5 more messages not shown (1 invalid line)\n",
         CampaignResult::kInvalidInput},
        {"a phrase cut after 100 characters, never inside one", Options("phrase"), Source::kFile,
         k99 + "\xC3\xA9\xC3\xA9\tb\n" + k98 + "\tb\n",
         "\"" + k99 + "\xC3\xA9\xC3\xA9 b\"\n\"b " + k99 + "\xC3\xA9\xC3\xA9\"\n\"" + k98 + " b\"\n\"b " + k98 +
             "\"\n",
         "f:1: warning: \"" + k99 + "\xC3\xA9...\" is over Google Ads' limit of 80 characters (103)\n"
         "f:1: warning: \"b " + std::string(98, 'k') + "...\" is over Google Ads' limit of 80 characters (103)\n"
         "f:2: warning: \"" + k98 + " b\" is over Google Ads' limit of 80 characters (100)\n"
         "f:2: warning: \"b " + k98 + "\" is over Google Ads' limit of 80 characters (100)\n",
         CampaignResult::kWritten},
    };
    for (const auto& c : cases) {
        Outcome run;
        if (c.source == Source::kFile) {
            run = RunFile(c.input, c.options, 4096, c.name);
        } else {
            std::vector<std::string_view> keywords;
            for (size_t start = 0, tab = 0; tab != std::string::npos; start = tab + 1) {
                tab = c.input.find('\t', start);
                keywords.push_back(std::string_view(c.input).substr(start, tab - start));
            }
            run = RunKeywords(keywords, c.options);
        }
        ExpectOutcome(run, {c.output, c.messages, c.result}, c.what);
    }

    // Memory that runs out anywhere ends the run in that error: never a row or message cut short.
    CampaignOptions sheet = Csv("=Spring");
    sheet.header = true;
    const struct {
        std::string file;
        CampaignOptions options;
    } files[] = {
        {"a!\tb\t\t\tG\nc\td\t\t\t" + std::string(5000, 'g') + "\n", Csv("=Spring")},
        {"Keyword 1\tKeyword 2\tCampaign\tMax CPC\tLabels\na!\tb\t=S\t1\t" + std::string(5000, 'l') + "\n", sheet},
    };
    for (const auto& file : files) {
        const Outcome full = RunFile(file.file, file.options);
        ASSERT_EQ(full.result, CampaignResult::kWritten);
        int allowed = 0;
        for (; allowed < 100; ++allowed) {
            Outcome run;
            {
                RationedTextMemory memory(allowed);
                run = RunFile(file.file, file.options);
            }
            if (run.result == CampaignResult::kWritten) {
                EXPECT_EQ(run.output, full.output) << allowed << " allocations";
                EXPECT_EQ(run.messages, full.messages) << allowed << " allocations";
                break;
            }
            EXPECT_EQ(run.result, CampaignResult::kOutOfMemory) << allowed << " allocations";
            EXPECT_EQ(run.output, "") << allowed << " allocations";
            EXPECT_EQ(full.messages.compare(0, run.messages.size(), run.messages), 0) << allowed << " allocations";
        }
        EXPECT_LT(allowed, 100) << "100 allocations were not enough";
    }
}

CampaignOptions Sheet(OutputFormat format = OutputFormat::kCsv, const char* matchTypes = "phrase") {
    CampaignOptions options = Options(matchTypes, format);
    options.header = true;
    return options;
}

CampaignOptions WithCampaign(CampaignOptions options, const char* campaign) {
    options.hasCampaign = true;
    options.campaign = campaign;
    return options;
}

CampaignOptions ReadAs(CampaignOptions options, InputFormat format, char csvSeparator = ',') {
    options.inputFormat = format;
    options.csvSeparator = csvSeparator;
    return options;
}

CampaignOptions Unique(CampaignOptions options) {
    options.unique = true;
    return options;
}

// Sheets as people keep them: a heading row, a campaign per row, columns of their own,
// semicolons; and a heading row given without the option that reads it.
TEST(Sheets, HeadingsAndRows) {
    const std::string kHeading = "Ad group,Keyword,Criterion Type\n";
    const std::string kNoKeyword2 = "Need at least two keywords. Enter Keyword 2.\n";
    const std::string kSemicolonHint =
        "f: no line has a keyword 2, and the lines hold semicolons: if they separate the columns, "
        "give --input-format csv --separator ';'\n";
    const FileCase cases[] = {
        // Without a heading row.
        {"a heading row without --header", Options("phrase"),
         "Keyword 1\tKeyword 2\tKeyword 3\tKeyword 4\tAd group\nblue\tshoes\t\t\tG\n", "",
         "f:1: this line names columns; give --header to read it as headings\n", CampaignResult::kInvalidInput, true},
        {"headings after empty lines, spelled every way, with empty trailing fields", ReadAs(Csv(), InputFormat::kCsv),
         "\n,\nkeyword1,KEYWORD_2,Ad-Group,campaign,,\nblue,shoes\n", kHeading,
         "f:3: this line names columns; give --header to read it as headings\n", CampaignResult::kInvalidInput, true},
        {"a first line of one heading is a keyword set", Options("phrase"), "Campaign\tshoes\n",
         "\"Campaign shoes\"\n\"shoes Campaign\"\n", "", CampaignResult::kWritten},
        {"a heading row only on the first line", Options("phrase"), "a\tb\nKeyword 1\tKeyword 2\n",
         "\"a b\"\n\"b a\"\n\"Keyword 1 Keyword 2\"\n\"Keyword 2 Keyword 1\"\n", "", CampaignResult::kWritten},
        {"more than five fields, tsv", Options("phrase"), "a\tb\tc\td\tgroup\textra\na\tb\tc\td\tgroup\t\n", "",
         "f:1: more than five fields\nf:2: more than five fields\n", CampaignResult::kInvalidInput},
        {"more than five fields, csv", CsvInput(), "a,b,c,d,e,f\n", "", "f:1: more than five fields\n",
         CampaignResult::kInvalidInput},

        // The heading row.
        {"any order, every spelling", Sheet(), "Ad group\tKEYWORD_2\tkeyword1\nG\tshoes\tblue\n",
         kHeading + "G,blue shoes,Phrase\nG,shoes blue,Phrase\n", "", CampaignResult::kWritten, true},
        {"keyword 3 and 4 by heading; keyword 4 counts only after keyword 3", Sheet(OutputFormat::kText, "exact"),
         "Keyword 4\tKeyword 3\tKeyword 2\tKeyword 1\nx\t\tb\ta\n\tshoes\trunning\tblue\n",
         "[a b]\n[b a]\n[blue running shoes]\n[blue shoes running]\n[shoes blue running]\n[shoes running blue]\n"
         "[running shoes blue]\n[running blue shoes]\n",
         "", CampaignResult::kWritten, true},
        {"no Keyword 2 heading", Sheet(), "Keyword 1\tAd group\na\tG\n", "",
         "f:1: no column is headed \"Keyword 2\"\n", CampaignResult::kInvalidInput, true},
        {"a heading written twice", Sheet(), "Keyword 1\tKeyword 2\tMax CPC\tkeyword1\tmax_cpc\na\tb\t1\tc\t2\n",
         "",
         "f:1: column 4 has the same heading as column 1 (\"keyword1\")\n"
         "f:1: column 5 has the same heading as column 3 (\"max_cpc\")\n",
         CampaignResult::kInvalidInput, true},
        {"headings of the output's own columns", Sheet(), "Keyword 1\tKeyword 2\tKeyword\tCriterion_Type\n", "",
         "f:1: column 3 is headed \"Keyword\", a column the output writes itself\n"
         "f:1: column 4 is headed \"Criterion_Type\", a column the output writes itself\n",
         CampaignResult::kInvalidInput, true},
        {"a heading with a control character", Sheet(), "Keyword 1\tKeyword 2\tMax\x1B" "CPC\n", "",
         "f:1: the heading of column 3 holds a control character (U+001B)\n", CampaignResult::kInvalidInput, true},
        {"more fields than headings", Sheet(), "Keyword 1\tKeyword 2\na\tb\t\nc\td\n", kHeading,
         "f:2: more fields than headings\n", CampaignResult::kInvalidInput, true},
        {"a value under a column without heading", Sheet(), "Keyword 1\t\tKeyword 2\na\tx\tb\n", kHeading,
         "f:2: a value in column 2, which has no heading\n", CampaignResult::kInvalidInput, true},
        {"empty trailing columns", Sheet(), "Keyword 1\tKeyword 2\t\t\na\tb\t\t\n\t\t\t\n",
         kHeading + "a b,a b,Phrase\na b,b a,Phrase\n", "", CampaignResult::kWritten, true},
        {"a heading row that cannot be split", ReadAs(Sheet(), InputFormat::kCsv), "\"Keyword 1,Keyword 2\na,b\n", "",
         "f:1: a quoted field does not end on its line\n", CampaignResult::kInvalidInput},
        {"a heading row and nothing else", Sheet(), "Keyword 1\tKeyword 2\tLabels\n",
         "Ad group,Keyword,Criterion Type,Labels\n", "f: no keyword sets\n", CampaignResult::kNoKeywordSets, true},
        {"a heading row with own columns without --header", Options("phrase"), "Keyword 1\tKeyword 2\tMax CPC\n", "",
         "f:1: this line names columns; give --header to read it as headings\n", CampaignResult::kInvalidInput, true},

        // A campaign per row.
        {"a Campaign column, --campaign filling its empty cells", WithCampaign(Sheet(), "Default"),
         "Campaign\tKeyword 1\tKeyword 2\nSpring, 2026\ta\tb\n\tc\td\n",
         "Campaign," + kHeading +
             "\"Spring, 2026\",a b,a b,Phrase\n\"Spring, 2026\",a b,b a,Phrase\nDefault,c d,c d,Phrase\n"
             "Default,c d,d c,Phrase\n",
         "", CampaignResult::kWritten, true},
        {"a Campaign column alone", Sheet(), "Keyword 1\tKeyword 2\tCampaign\na\tb\t\n",
         "Campaign," + kHeading + ",a b,a b,Phrase\n,a b,b a,Phrase\n", "", CampaignResult::kWritten, true},
        {"campaign cells that hold a control character or begin as a formula", Sheet(),
         "Keyword 1\tKeyword 2\tCampaign\na\tb\t=Spring\nc\td\t=Spring\ne\tf\tS\x7F\n",
         "Campaign," + kHeading + "=Spring,a b,a b,Phrase\n=Spring,a b,b a,Phrase\n=Spring,c d,c d,Phrase\n"
             "=Spring,c d,d c,Phrase\n",
         "f:2: warning: the campaign \"=Spring\" begins with =, so a spreadsheet opening the file would take it for "
         "a formula\nf:4: the campaign holds a control character (U+007F)\n",
         CampaignResult::kInvalidInput, true},
        {"--unique within each campaign's ad group", Unique(Sheet(OutputFormat::kCsv, "exact")),
         "Campaign\tAd group\tKeyword 1\tKeyword 2\nA\tG\tblue\tshoes\nB\tG\tblue\tshoes\nA\tG\tSHOES\tblue\n"
         "A\t\tred\tboots\nB\t\tRED\tboots\nB\t\tboots\tred\n",
         "Campaign," + kHeading +
             "A,G,blue shoes,Exact\nA,G,shoes blue,Exact\nB,G,blue shoes,Exact\nB,G,shoes blue,Exact\n"
             "A,red boots,red boots,Exact\nA,red boots,boots red,Exact\n"
             "B,RED boots,RED boots,Exact\nB,RED boots,boots RED,Exact\n"
             "B,boots red,boots red,Exact\nB,boots red,red boots,Exact\n",
         "", CampaignResult::kWritten, true},

        // Columns of the user's own.
        {"own columns after the engine's, in input order, quoted as CSV needs",
         Sheet(OutputFormat::kCsv, "exact,broad"),
         "Keyword 1\t Max CPC \tKeyword 2\tFinal \"URL\"\n"
         "a\t0,50\tb\thttps://x.test/?q=\"1\"\nc\t\td\t\n",
         "Ad group,Keyword,Criterion Type,Max CPC,\"Final \"\"URL\"\"\"\n"
         "a b,a b,Exact,\"0,50\",\"https://x.test/?q=\"\"1\"\"\"\na b,b a,Exact,\"0,50\",\"https://x.test/?q=\"\"1\"\"\"\n"
         "a b,a b,Broad,\"0,50\",\"https://x.test/?q=\"\"1\"\"\"\na b,b a,Broad,\"0,50\",\"https://x.test/?q=\"\"1\"\"\"\n"
         "c d,c d,Exact,,\nc d,d c,Exact,,\nc d,c d,Broad,,\nc d,d c,Broad,,\n",
         "", CampaignResult::kWritten, true},
        {"own columns in text output", Sheet(OutputFormat::kText), "Labels\tKeyword 1\tKeyword 2\nx\ta\tb\n",
         "\"a b\"\n\"b a\"\n", "", CampaignResult::kWritten, true},
        {"an own cell with a control character", Sheet(), "Keyword 1\tKeyword 2\tLabels\na\tb\tx\x07\n",
         "Ad group,Keyword,Criterion Type,Labels\n", "f:2: column 3 holds a control character (U+0007)\n",
         CampaignResult::kInvalidInput, true},

        // Semicolons.
        {"semicolons with quoting", ReadAs(Sheet(), InputFormat::kCsv, ';'),
         "Keyword 1;Keyword 2;Ad group\nx,y;\"b \"\"c\"\"\";\"G;1\"\n",
         kHeading + "G;1,\"x,y b \"\"c\"\"\",Phrase\nG;1,\"b \"\"c\"\" x,y\",Phrase\n", "",
         CampaignResult::kWritten, true},
        {"semicolons read as tabs", Options("phrase"), "a;b\nshoes;0,50\n", "",
         "f:1: " + kNoKeyword2 + "f:2: " + kNoKeyword2 + kSemicolonHint, CampaignResult::kInvalidInput},
        {"semicolons read as commas", CsvInput(), "a;b\n", "", "f:1: " + kNoKeyword2 + kSemicolonHint,
         CampaignResult::kInvalidInput},
        {"commas read as tabs", Options("phrase"), "a,b\n", "",
         "f:1: " + kNoKeyword2 +
             "f: no line has a keyword 2, and the lines hold commas: if they separate the columns, give "
             "--input-format csv\n",
         CampaignResult::kInvalidInput},
        {"a heading row of semicolons read as tabs", Sheet(), "Keyword 1;Keyword 2\na;b\n", "",
         "f:1: no column is headed \"Keyword 1\"\nf:1: no column is headed \"Keyword 2\"\n" + kSemicolonHint,
         CampaignResult::kInvalidInput},
        {"no hint where a line has keyword 2", Options("phrase"), "a;b\nc\td\n", "",
         "f:1: " + kNoKeyword2, CampaignResult::kInvalidInput},
        {"no hint where the lines hold tabs", Options("phrase"), "a;b\t\n", "", "f:1: " + kNoKeyword2,
         CampaignResult::kInvalidInput},
    };
    for (const auto& c : cases) {
        const Outcome run = RunFile(c.input, c.options);
        ExpectOutcome(run, {c.output, c.messages, c.result}, c.what);
        Chunks chunks{c.input, 4096};
        EXPECT_EQ(InputStartsWithHeadings(c.options, ReadChunk, &chunks), c.startsWithHeadings) << c.what;
    }
}

CampaignOptions Negatives(CampaignOptions options, NegativeLevel level) {
    options.negative = level;
    return options;
}

// Rows in a format, their campaign from the options where one is given.
CampaignOptions Rows(OutputFormat format, const char* matchTypes, const char* campaign = nullptr,
                     NegativeLevel negative = NegativeLevel::kNone) {
    CampaignOptions options = Negatives(Options(matchTypes, format), negative);
    return campaign ? WithCampaign(options, campaign) : options;
}

// Campaign negatives, and Microsoft Advertising's bulk file: its heading and version rows, its
// keyword and negative rows, the user's columns it names its own way, and its limits.
TEST(Platforms, CampaignNegativesAndMicrosoftRows) {
    const std::string kBom = "\xEF\xBB\xBF";
    const std::string kMicrosoftStart =
        kBom + "Type,Status,Id,Parent Id,Campaign,Ad Group,Client Id,Modified Time,Keyword,Match Type,Bid,Name\n"
               "Format Version,,,,,,,,,,,6.0\n";
    const std::string kNoCampaign =
        "f:1: no campaign (Microsoft Advertising finds an ad group by its campaign and name); give --campaign NAME "
        "or a Campaign column\n";
    const std::string a50(50, 'a'), b50(50, 'b');
    const FileCase cases[] = {
        // Google Ads Editor's campaign negatives.
        {"campaign negatives: the ad group empty", Rows(OutputFormat::kCsv, "exact,broad", "S", NegativeLevel::kCampaign),
         "a\tb\t\t\tG\n",
         "Campaign,Ad group,Keyword,Criterion Type\nS,,a b,Campaign Negative Exact\nS,,b a,Campaign Negative Exact\n"
         "S,,a b,Campaign Negative Broad\nS,,b a,Campaign Negative Broad\n",
         "", CampaignResult::kWritten},
        {"--unique compares campaign negatives per campaign",
         Negatives(Unique(Sheet(OutputFormat::kCsv, "exact")), NegativeLevel::kCampaign),
         "Campaign\tAd group\tKeyword 1\tKeyword 2\nA\tG1\tblue\tshoes\nA\tG2\tSHOES\tblue\nB\tG1\tblue\tshoes\n",
         "Campaign,Ad group,Keyword,Criterion Type\nA,,blue shoes,Campaign Negative Exact\n"
         "A,,shoes blue,Campaign Negative Exact\nB,,blue shoes,Campaign Negative Exact\n"
         "B,,shoes blue,Campaign Negative Exact\n",
         "", CampaignResult::kWritten},
        {"campaign negatives without a campaign", Rows(OutputFormat::kCsv, "exact", nullptr, NegativeLevel::kCampaign),
         "a\tb\n",
         "Ad group,Keyword,Criterion Type\n",
         "f:1: no campaign for its campaign negatives; give --campaign NAME or a Campaign column\n",
         CampaignResult::kInvalidInput},

        // Microsoft Advertising's bulk file.
        {"keywords in every match type, the byte-order mark always",
         Rows(OutputFormat::kMicrosoft, "exact,phrase,broad", "S"),
         "a\tb\t\t\tG\n",
         kMicrosoftStart +
             "Keyword,Active,,,S,G,,,a b,Exact,,\nKeyword,Active,,,S,G,,,b a,Exact,,\n"
             "Keyword,Active,,,S,G,,,a b,Phrase,,\nKeyword,Active,,,S,G,,,b a,Phrase,,\n"
             "Keyword,Active,,,S,G,,,a b,Broad,,\nKeyword,Active,,,S,G,,,b a,Broad,,\n",
         "", CampaignResult::kWritten},
        {"Max CPC fills Bid, Final URL as Microsoft names it, own columns after, quoted as CSV needs",
         Sheet(OutputFormat::kMicrosoft, "exact"),
         "Campaign\tKeyword 1\tKeyword 2\tmax_cpc\tFinal URL\tLabels\nS, 1\t5\" tv\tbig\t0,5\thttps://x.test\tL\n",
         kBom + "Type,Status,Id,Parent Id,Campaign,Ad Group,Client Id,Modified Time,Keyword,Match Type,Bid,Name,"
                "Final Url,Labels\nFormat Version,,,,,,,,,,,6.0,,\n"
                "Keyword,Active,,,\"S, 1\",\"5\"\" tv big\",,,\"5\"\" tv big\",Exact,\"0,5\",,https://x.test,L\n"
                "Keyword,Active,,,\"S, 1\",\"5\"\" tv big\",,,\"big 5\"\" tv\",Exact,\"0,5\",,https://x.test,L\n",
         "", CampaignResult::kWritten},
        {"ad group negatives, without a bid", Negatives(Sheet(OutputFormat::kMicrosoft), NegativeLevel::kAdGroup),
         "Campaign\tAd group\tKeyword 1\tKeyword 2\tMax CPC\nS\tG\ta\tb\t0.5\n",
         kMicrosoftStart + "Ad Group Negative Keyword,Active,,,S,G,,,a b,Phrase,,\n"
                           "Ad Group Negative Keyword,Active,,,S,G,,,b a,Phrase,,\n",
         "", CampaignResult::kWritten},
        {"campaign negatives", Rows(OutputFormat::kMicrosoft, "exact", "S", NegativeLevel::kCampaign),
         "a\tb\t\t\tG\n",
         kMicrosoftStart + "Campaign Negative Keyword,Active,,,S,,,,a b,Exact,,\n"
                           "Campaign Negative Keyword,Active,,,S,,,,b a,Exact,,\n",
         "", CampaignResult::kWritten},
        {"broad negatives", Rows(OutputFormat::kMicrosoft, "exact,broad", "S", NegativeLevel::kAdGroup),
         "a\tb\n", "", "Microsoft Advertising has no broad negatives\n", CampaignResult::kInvalidInput},
        {"a line without a campaign", Rows(OutputFormat::kMicrosoft, "exact"), "a\tb\n", kMicrosoftStart, kNoCampaign,
         CampaignResult::kInvalidInput},
        {"a heading of the bulk file's own columns", Sheet(OutputFormat::kMicrosoft), "Keyword 1\tKeyword 2\tStatus\n",
         "", "f:1: column 3 is headed \"Status\", a column the output writes itself\n", CampaignResult::kInvalidInput},
        {"100 characters, not Google's 80 characters, 10 words and refused characters",
         Rows(OutputFormat::kMicrosoft, "exact", "S"),
         "1 2 3 4 5 6 7 8 9 10\tx!\t\t\tG\n" + a50 + "\t" + b50 + "\t\t\tG\n",
         kMicrosoftStart + "Keyword,Active,,,S,G,,,1 2 3 4 5 6 7 8 9 10 x!,Exact,,\n"
                           "Keyword,Active,,,S,G,,,x! 1 2 3 4 5 6 7 8 9 10,Exact,,\n"
                           "Keyword,Active,,,S,G,,," + a50 + " " + b50 + ",Exact,,\n"
                           "Keyword,Active,,,S,G,,," + b50 + " " + a50 + ",Exact,,\n",
         "f:2: warning: [" + a50 + " " + b50.substr(1) + "...] is over Microsoft Advertising's limit of 100 characters "
         "(101)\nf:2: warning: [" + b50 + " " + a50.substr(1) + "...] is over Microsoft Advertising's limit of 100 "
         "characters (101)\n",
         CampaignResult::kWritten},
    };
    for (const auto& c : cases) {
        const Outcome run = RunFile(c.input, c.options);
        ExpectOutcome(run, {c.output, c.messages, c.result}, c.what);
    }
}

// Every cell of every line is searched for control characters, eight bytes at a time where it can:
// one is found wherever it stands in a short or a long text, and the printable bytes beside it
// are none.
TEST(ControlCharacters, FoundWhereverTheyStand) {
    const struct {
        std::string character;
        uint32_t found;
    } cases[] = {
        {std::string(1, '\0'), 0}, {"\x1F", 0x1F}, {"\x7F", 0x7F}, {"\xC2\x85", 0x85}, {"\xEF\xBB\xBF", 0xFEFF},
        {" ", kNoControlCharacter}, {"~", kNoControlCharacter}, {"\xC3\xA9", kNoControlCharacter},
    };
    for (const auto& c : cases) {
        for (size_t before = 0; before < 20; ++before) {
            for (const size_t after : {size_t{0}, 20 - before}) {
                const std::string text = std::string(before, 'k') + c.character + std::string(after, '!');
                EXPECT_EQ(FirstControlCharacter(text), c.found) << before << " bytes before, " << after << " after";
            }
        }
    }
}

// Bytes the line reader searched for line ends, the file read in 4096-byte pieces.
size_t BytesSearchedForLineEnds(const std::string& bytes, InputEncoding encoding, InputFormat format) {
    Chunks chunks{bytes, 4096};
    DecodingReader decoder = MakeDecodingReader(ReadChunk, &chunks, encoding);
    LineReader reader = MakeLineReader(ReadDecoded, &decoder, FieldSeparator(format, ','));
    char* line;
    size_t size;
    while (ReadLine(&reader, &line, &size) == ReadLineResult::kLine) {
    }
    return reader.search.bytesSearched;
}

std::string Utf16Le(std::u16string text) {
    std::string bytes;
    for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

TEST(HostileInput, Reading) {
    const std::string set = "\"a b\"\n\"b a\"\n";
    // A spreadsheet row of nothing but separators is skipped however long: only its reading counts.
    const std::string longRow(100000, '\t');
    const std::u16string longRow16(100000, u'\t');
    const std::string loneCarriageReturns(20000, '\r');
    const std::string notText = "f: not a text file (a NUL byte at offset ";
    const std::string maybeUtf16 =
        "; it may be UTF-16 without a byte-order mark: try --input-encoding utf-16le or utf-16be)\n";
    const std::string brokenUtf16 =
        ": not valid UTF-16 (a lone surrogate or an odd last byte; the output has U+FFFD in its place)\n";
    const std::string replacement = "\xEF\xBF\xBD";
    const struct {
        const char* what;
        std::string bytes;
        InputEncoding encoding;
        InputFormat format;
        std::string output;
        std::string messages;
        CampaignResult result;
    } files[] = {
        {"lone CRs after a long line", longRow + loneCarriageReturns + "a\tb", InputEncoding::kAuto,
         InputFormat::kTsv, set, "", CampaignResult::kWritten},
        {"lone CRs after a long CSV line", std::string(100000, ',') + loneCarriageReturns + "a,b",
         InputEncoding::kAuto, InputFormat::kCsv, set, "", CampaignResult::kWritten},
        {"a long UTF-16 line", Utf16Le(u"\uFEFF" + longRow16 + u"\r\na\tb"), InputEncoding::kAuto,
         InputFormat::kTsv, set, "", CampaignResult::kWritten},
        {"a long Windows-1252 line", longRow + "\na\tb", InputEncoding::kWindows1252, InputFormat::kTsv, set, "",
         CampaignResult::kWritten},
        {"a NUL byte", std::string("a\tb\nc\0d\te\n", 11), InputEncoding::kAuto, InputFormat::kTsv, "",
         notText + "5)\n", CampaignResult::kInvalidInput},
        {"a NUL byte counted from the byte-order mark", std::string("\xEF\xBB\xBF" "a\0", 5), InputEncoding::kAuto,
         InputFormat::kTsv, "", notText + "4)\n", CampaignResult::kInvalidInput},
        {"a NUL byte as the head's last byte", "a\tb\n" + std::string(8187, 'x') + '\0', InputEncoding::kWindows1252,
         InputFormat::kTsv, "", notText + "8191)\n", CampaignResult::kInvalidInput},
        {"NUL bytes on both sides of every other byte", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0", 16),
         InputEncoding::kAuto, InputFormat::kTsv, "", notText + "7)\n", CampaignResult::kInvalidInput},
        {"UTF-16 LE without a mark", Utf16Le(u"a\tb\r\n"), InputEncoding::kAuto, InputFormat::kTsv, "",
         notText + "1" + maybeUtf16, CampaignResult::kInvalidInput},
        {"UTF-16 BE without a mark, read as UTF-8", std::string("\0a\0\t\0b", 6), InputEncoding::kUtf8,
         InputFormat::kTsv, "", notText + "0" + maybeUtf16, CampaignResult::kInvalidInput},
        {"broken UTF-16: lone surrogates and an odd last byte, one message a line",
         Utf16Le(u"\uFEFFa\xD800\tb\r\nc\uFFFD\td\r\n\xDC00" u"e\xDC00\tf\r\ng\th") + "\x01",
         InputEncoding::kAuto, InputFormat::kTsv,
         "\"a" + replacement + " b\"\n\"b a" + replacement + "\"\n\"c" + replacement + " d\"\n\"d c" + replacement +
             "\"\n\"" + replacement + "e" + replacement + " f\"\n\"f " + replacement + "e" + replacement +
             "\"\n\"g h" + replacement + "\"\n\"h" + replacement + " g\"\n",
         "f:1" + brokenUtf16 + "f:3" + brokenUtf16 + "f:4" + brokenUtf16, CampaignResult::kWritten},
    };
    for (const auto& file : files) {
        CampaignOptions options;
        options.inputEncoding = file.encoding;
        options.inputFormat = file.format;
        const Outcome run = RunFile(file.bytes, options);
        ExpectOutcome(run, {file.output, file.messages, file.result}, file.what);
        // Linear time: no byte searched more than twice, once for a CR and once for an LF.
        EXPECT_LE(BytesSearchedForLineEnds(file.bytes, file.encoding, file.format), 3 * file.bytes.size())
            << file.what;
    }
}

}  // namespace
