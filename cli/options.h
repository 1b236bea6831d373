#pragma once
// varnholt-cli's command line, read the GNU way: options anywhere among the keywords, long
// options with their value after "=" or as the next argument (or any unambiguous beginning of
// their name), short flags combined ("-bs"), and "--" ending the options.

#include <string_view>

#include "campaign/campaign.h"
#include "support/text.h"

struct CliOptions {
    CampaignOptions campaign;
    const char* inputPath = nullptr;  // null: the keywords are the arguments; "-" standard input
    const char* outputPath = nullptr;  // null: standard output
    bool separatorGiven = false;  // --separator, which only CSV input takes
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
