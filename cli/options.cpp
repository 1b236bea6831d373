#include "cli/options.h"

#include <cstdint>
#include <cstring>

const char kUsage[] =
    "Usage: varnholt-cli [OPTIONS] KEYWORD1 KEYWORD2 [KEYWORD3 [KEYWORD4]]\n"
    "       varnholt-cli [OPTIONS] --input FILE          FILE \"-\" is standard input\n"
    "Every ordering of the keywords, one phrase per line, as the Varnholt window gives them.\n"
    "\n"
    "  -m, --match LIST       comma-separated match types, in the order given: exact, phrase, broad\n"
    "                         (default phrase); text marks them [..], \"..\" and not at all\n"
    "  -q, --quotes           --match phrase: every phrase in double quotes, as in the window\n"
    "  -b, --brackets         --match exact: every phrase in [ and ]\n"
    "  -s, --subsets          follow each set's full orderings with its subsets (as \"Include Subsets\")\n"
    "  -n, --negative[=LEVEL] csv and microsoft: the rows are negative keywords of their ad group\n"
    "                         (LEVEL ad-group, the default) or of their campaign (campaign)\n"
    "      --mix              a keyword holding \"|\" is a list of alternatives: buy|order\n"
    "  -u, --unique           leave out a phrase already written for its ad group and match type\n"
    "                         (compared without case and with runs of blanks as one)\n"
    "  -f, --format FORMAT    text (default), csv (Google Ads Editor) or microsoft (Microsoft\n"
    "                         Advertising's bulk file, which needs a campaign on every row)\n"
    "      --input-format F   tsv (default) or csv: how the lines of --input are split into fields\n"
    "      --separator SEP    --input-format csv: what separates the fields, \",\" (default) or \";\"\n"
    "  -H, --header           the first line of --input names the columns (Keyword 1 to Keyword 4,\n"
    "                         Ad group, Campaign, and columns of your own for the rows)\n"
    "      --input-encoding E auto (default: by the byte-order mark), utf-8, utf-16le, utf-16be,\n"
    "                         windows-1252\n"
    "      --campaign NAME    csv and microsoft: a Campaign column holding NAME on every row\n"
    "                         (with a Campaign column, on the rows whose cell is empty)\n"
    "  -o, --output FILE      write there instead of standard output; FILE is replaced only when\n"
    "                         the whole run succeeded, and never when it is the input\n"
    "      --crlf | --lf      line ends of the output (default: CR LF on Windows, LF elsewhere)\n"
    "      --bom              start the output with a UTF-8 byte-order mark (for Excel)\n"
    "      --strict           a phrase over the platform's limits is an error instead of a warning\n"
    "      --max-messages N   show at most N messages about lines, then count the rest\n"
    "                         (default 100; 0 shows every one)\n"
    "  -h, --help             show this help and exit\n"
    "      --version          show the program's version and exit\n"
    "\n"
    "Each line of FILE is one keyword set: keyword 1 to keyword 4 and an optional ad group name,\n"
    "separated by tabs (tsv) or commas (csv); with --header, the columns its first line names.\n"
    "Exit status: 0 done (warnings allowed), 1 invalid input, a phrase over the limits with\n"
    "--strict or a failed write, 2 a usage error.\n";

namespace {

enum class Option { kMatch, kQuotes, kBrackets, kSubsets, kNegative, kMix, kUnique, kFormat, kInputFormat,
                    kSeparator, kHeader, kInputEncoding, kCampaign, kOutput, kInput, kCrlf, kLf, kBom, kStrict, kMaxMessages, kHelp,
                    kVersion };

// Whether a long option takes a value; an optional one only after "=", and never in the short
// form, so that "-nu" stays two flags.
enum class Value { kNone, kRequired, kOptional };

struct OptionSpec {
    const char* name;
    char letter;  // 0: no short form
    Value value;
    Option option;
};

constexpr OptionSpec kOptions[] = {
    {"match", 'm', Value::kRequired, Option::kMatch},
    {"quotes", 'q', Value::kNone, Option::kQuotes},
    {"brackets", 'b', Value::kNone, Option::kBrackets},
    {"subsets", 's', Value::kNone, Option::kSubsets},
    {"negative", 'n', Value::kOptional, Option::kNegative},
    {"mix", 0, Value::kNone, Option::kMix},
    {"unique", 'u', Value::kNone, Option::kUnique},
    {"format", 'f', Value::kRequired, Option::kFormat},
    {"input-format", 0, Value::kRequired, Option::kInputFormat},
    {"input-encoding", 0, Value::kRequired, Option::kInputEncoding},
    {"separator", 0, Value::kRequired, Option::kSeparator},
    {"header", 'H', Value::kNone, Option::kHeader},
    {"campaign", 0, Value::kRequired, Option::kCampaign},
    {"output", 'o', Value::kRequired, Option::kOutput},
    {"input", 0, Value::kRequired, Option::kInput},
    {"crlf", 0, Value::kNone, Option::kCrlf},
    {"lf", 0, Value::kNone, Option::kLf},
    {"bom", 0, Value::kNone, Option::kBom},
    {"strict", 0, Value::kNone, Option::kStrict},
    {"max-messages", 0, Value::kRequired, Option::kMaxMessages},
    {"help", 'h', Value::kNone, Option::kHelp},
    {"version", 0, Value::kNone, Option::kVersion},
};

// Decimal digits only; false for anything else or a number too large to count.
bool ParseCount(std::string_view digits, size_t* count) {
    if (digits.empty()) return false;
    size_t value = 0;
    for (const char digit : digits) {
        if (digit < '0' || digit > '9' || value > (SIZE_MAX - (digit - '0')) / 10) return false;
        value = value * 10 + static_cast<size_t>(digit - '0');
    }
    *count = value;
    return true;
}

MatchTypeList OneMatchType(MatchType type) {
    MatchTypeList list;
    list.types[0] = type;
    return list;
}

struct Parser {
    ParsedCommandLine result;

    bool Fail(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
        if (result.usageError.IsEmpty()) {
            result.usageError.Append(a);
            result.usageError.Append(b);
            result.usageError.Append(c);
        }
        return false;
    }

    bool Apply(const OptionSpec& spec, std::string_view value) {
        CliOptions& cli = result.options;
        CampaignOptions& o = cli.campaign;
        switch (spec.option) {
            case Option::kMatch:
                if (!ParseMatchTypes(value, &o.matchTypes)) {
                    return Fail("unknown match types '", value, "' (exact, phrase and broad, comma-separated)");
                }
                break;
            case Option::kQuotes: o.matchTypes = OneMatchType(MatchType::kPhrase); break;
            case Option::kBrackets: o.matchTypes = OneMatchType(MatchType::kExact); break;
            case Option::kSubsets: o.includeSubsets = true; break;
            case Option::kNegative:
                // No value at all (not even an empty one after "=") is the default level.
                if (value.data() == nullptr || value == "ad-group") o.negative = NegativeLevel::kAdGroup;
                else if (value == "campaign") o.negative = NegativeLevel::kCampaign;
                else return Fail("unknown negative level '", value, "' (ad-group or campaign)");
                break;
            case Option::kMix: o.mix = true; break;
            case Option::kUnique: o.unique = true; break;
            case Option::kFormat:
                if (value == "text") o.format = OutputFormat::kText;
                else if (value == "csv") o.format = OutputFormat::kCsv;
                else if (value == "microsoft") o.format = OutputFormat::kMicrosoft;
                else return Fail("unknown format '", value, "' (text, csv or microsoft)");
                break;
            case Option::kInputFormat:
                if (value == "tsv") o.inputFormat = InputFormat::kTsv;
                else if (value == "csv") o.inputFormat = InputFormat::kCsv;
                else return Fail("unknown input format '", value, "' (tsv or csv)");
                break;
            case Option::kSeparator:
                if (value != "," && value != ";") return Fail("unknown separator '", value, "' (',' or ';')");
                o.csvSeparator = value[0];
                cli.separatorGiven = true;
                break;
            case Option::kHeader: o.header = true; break;
            case Option::kInputEncoding:
                if (!ParseInputEncoding(value, &o.inputEncoding)) {
                    return Fail("unknown input encoding '", value, "' (auto, utf-8, utf-16le, utf-16be, windows-1252)");
                }
                break;
            case Option::kCampaign:
                o.hasCampaign = true;
                o.campaign = value;
                break;
            case Option::kOutput:
                // Refused before any work: no file by that name can be written.
                if (value.empty()) return Fail("option '--output' needs a file name");
                cli.outputPath = value.data();
                break;
            case Option::kInput: cli.inputPath = value.data(); break;
            case Option::kCrlf: o.lineEnd = "\r\n"; break;
            case Option::kLf: o.lineEnd = "\n"; break;
            case Option::kBom: o.byteOrderMark = true; break;
            case Option::kStrict: o.strict = true; break;
            case Option::kMaxMessages:
                if (!ParseCount(value, &o.maxMessages)) {
                    return Fail("invalid number of messages '", value, "' (0 or more; 0 shows every one)");
                }
                break;
            case Option::kHelp: cli.help = true; break;
            case Option::kVersion: cli.version = true; break;
        }
        return true;
    }

    const OptionSpec* FindLong(std::string_view name) {
        const OptionSpec* found = nullptr;
        int matches = 0;
        for (const OptionSpec& spec : kOptions) {
            if (name == spec.name) return &spec;
            if (std::strncmp(spec.name, name.data(), name.size()) == 0) {
                found = &spec;
                ++matches;
            }
        }
        if (matches == 1) return found;
        if (matches > 1) Fail("option '--", name, "' is ambiguous");
        else Fail("unknown option '--", name, "'");
        return nullptr;
    }

    // argv[*at] is a long option; a value it takes may be the next argument.
    bool ParseLong(int argc, const char* const* argv, int* at) {
        const std::string_view argument = argv[*at] + 2;
        const size_t equals = argument.find('=');
        const OptionSpec* spec = FindLong({argument.data(), equals == std::string_view::npos ? argument.size() : equals});
        if (!spec) return false;
        if (spec->value != Value::kRequired) {
            if (equals == std::string_view::npos) return Apply(*spec, {});
            if (spec->value == Value::kNone) return Fail("option '--", spec->name, "' takes no value");
            return Apply(*spec, argv[*at] + 2 + equals + 1);
        }
        if (equals != std::string_view::npos) return Apply(*spec, argv[*at] + 2 + equals + 1);
        if (*at + 1 >= argc) return Fail("option '--", spec->name, "' needs a value");
        return Apply(*spec, argv[++*at]);
    }

    bool ParseShort(int argc, const char* const* argv, int* at) {
        const char* flags = argv[*at] + 1;
        for (size_t i = 0; flags[i]; ++i) {
            const OptionSpec* spec = nullptr;
            for (const OptionSpec& candidate : kOptions) {
                if (candidate.letter == flags[i]) spec = &candidate;
            }
            if (!spec) return Fail("unknown option '-", std::string_view(flags + i, 1), "'");
            if (spec->value != Value::kRequired) {
                if (!Apply(*spec, {})) return false;
                continue;
            }
            if (flags[i + 1]) return Apply(*spec, flags + i + 1);
            if (*at + 1 >= argc) return Fail("option '-", std::string_view(flags + i, 1), "' needs a value");
            return Apply(*spec, argv[++*at]);
        }
        return true;
    }

    void Parse(int argc, const char* const* argv) {
        CliOptions& o = result.options;
        bool optionsEnded = false;
        int keywordArguments = 0;
        for (int at = 1; at < argc; ++at) {
            const char* argument = argv[at];
            if (optionsEnded || argument[0] != '-' || argument[1] == '\0') {
                if (keywordArguments < 4) o.keywords[keywordArguments] = argument;
                ++keywordArguments;
                continue;
            }
            if (std::strcmp(argument, "--") == 0) {
                optionsEnded = true;
                continue;
            }
            const bool parsed = argument[1] == '-' ? ParseLong(argc, argv, &at) : ParseShort(argc, argv, &at);
            if (!parsed) return;
        }
        o.keywordArguments = keywordArguments;
        if (o.help || o.version) return;
        if (keywordArguments > 4) {
            Fail("too many keywords (at most four)");
        } else if (keywordArguments > 0 && o.inputPath) {
            Fail("keywords and --input together: give one or the other");
        } else if (keywordArguments == 0 && !o.inputPath) {
            Fail("no keywords: give two to four, or --input FILE");
        } else if (o.campaign.hasCampaign && o.campaign.format == OutputFormat::kText) {
            Fail("--campaign needs --format csv or microsoft");
        } else if (o.campaign.negative != NegativeLevel::kNone && o.campaign.format == OutputFormat::kText) {
            Fail("--negative needs --format csv or microsoft");
        } else if (AsksForBroadNegatives(o.campaign)) {
            Fail("--match broad with --negative: Microsoft Advertising has no broad negatives");
        } else if (keywordArguments > 0 && !o.campaign.hasCampaign && o.campaign.format == OutputFormat::kMicrosoft) {
            Fail("--format microsoft needs --campaign NAME: Microsoft Advertising finds an ad group by its campaign "
                 "and name");
        } else if (keywordArguments > 0 && !o.campaign.hasCampaign && o.campaign.negative == NegativeLevel::kCampaign) {
            Fail("--negative=campaign needs --campaign NAME: campaign negatives belong to a campaign");
        } else if (o.campaign.header && keywordArguments > 0) {
            Fail("--header needs --input FILE: keywords given as arguments have no heading row");
        } else if (o.separatorGiven && o.campaign.inputFormat != InputFormat::kCsv) {
            Fail("--separator needs --input-format csv");
        }
    }
};

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv, std::string_view defaultLineEnd) {
    Parser parser;
    parser.result.options.campaign.lineEnd = defaultLineEnd;
    parser.Parse(argc, argv);
    return parser.result;
}
