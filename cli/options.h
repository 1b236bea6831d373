#pragma once
// varnholt-cli's command line, read the GNU way: options anywhere among the keywords, long
// options with their value after "=" or as the next argument (or any unambiguous beginning of
// their name), short flags combined ("-bs"), and "--" ending the options.

#include <string_view>

#include "cli/input_reader.h"
#include "generator/permutation_text.h"
#include "support/text.h"

enum class OutputFormat { kText, kCsv };

struct CliOptions {
    DelimiterPair delimiters = kQuoteDelimiters;
    bool includeSubsets = false;
    OutputFormat format = OutputFormat::kText;
    InputFormat inputFormat = InputFormat::kTsv;
    bool hasCampaign = false;
    std::string_view campaign;
    const char* inputPath = nullptr;  // null: the keywords are the arguments; "-" standard input
    const char* outputPath = nullptr;  // null: standard output
    std::string_view lineEnd;
    bool strict = false;
    bool help = false;
    bool version = false;
    std::string_view keywords[4];
    int keywordArguments = 0;
};

struct ParsedCommandLine {
    CliOptions options;
    Text usageError;  // empty when the command line is valid
};

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv, std::string_view defaultLineEnd);

// The synopsis --help prints.
extern const char kUsage[];
