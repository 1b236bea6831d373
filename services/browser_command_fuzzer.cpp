// Random registry value bytes, value type and URL against the command line's invariants.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "services/browser_command.h"

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}

// Bounds the URLs that the structural checks follow through the command line; the rest of
// the input never holds it.
constexpr char kUrlMark = '\x01';

int expandCalls = 0;
std::string expandInput;

// Turns %P% into a placeholder and %E% into nothing, so expansion can both add and remove.
std::string ExpandedForFuzzing(const std::string& text) {
    std::string expanded;
    for (size_t at = 0; at < text.size();) {
        if (text.compare(at, 3, "%P%") == 0) {
            expanded += "x %1 x";
            at += 3;
        } else if (text.compare(at, 3, "%E%") == 0) {
            at += 3;
        } else {
            expanded += text[at++];
        }
    }
    return expanded;
}

bool ExpandForFuzzing(const Text& text, Text& expanded) {
    ++expandCalls;
    expandInput = std::string(text.View());
    return expanded.Assign(ExpandedForFuzzing(expandInput));
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++count;
    return count;
}

// The command line cut at each occurrence of the URL.
std::vector<std::string> SplitAtUrl(const std::string& line, const std::string& url) {
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t at; (at = line.find(url, from)) != std::string::npos; from = at + url.size()) {
        pieces.push_back(line.substr(from, at - from));
    }
    pieces.push_back(line.substr(from));
    return pieces;
}

void CheckUrlPlacement(const std::string& command, const std::string& url,
                       const std::string& line) {
    const size_t placeholders = CountOf(command, "%1");
    if (placeholders == 0) {
        const bool endsWithBlank =
            !command.empty() && (command.back() == ' ' || command.back() == '\t');
        Require(line == command + (endsWithBlank ? "" : " ") + url);
        return;
    }
    const std::vector<std::string> pieces = SplitAtUrl(line, url);
    Require(pieces.size() == placeholders + 1);
    std::string rebuilt = pieces.front();
    for (size_t i = 1; i < pieces.size(); ++i) rebuilt += "%1" + pieces[i];
    Require(rebuilt == command);
    for (const std::string& piece : pieces) Require(piece.find("%1") == std::string::npos);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const unsigned long type = input.ConsumeBool()
                                   ? input.ConsumeIntegralInRange<unsigned long>(0, 12)
                                   : input.ConsumeIntegral<uint32_t>();
    std::string url = input.ConsumeRandomLengthString(128);
    const bool markedUrl = input.ConsumeBool();
    if (markedUrl) {
        url.erase(std::remove(url.begin(), url.end(), kUrlMark), url.end());
        url = kUrlMark + url + kUrlMark;
    }
    // Exactly as large as the value, so that the sanitizer sees any read past it.
    const std::vector<char> value = input.ConsumeRemainingBytes<char>();

    expandCalls = 0;
    Text built;
    const BrowserLookup lookup =
        BuildBrowserCommandLine(value.data(), value.size(), type, url, ExpandForFuzzing, built);
    // Memory is never short here.
    Require(lookup != BrowserLookup::NoMemory);
    Require(lookup == BrowserLookup::Found || built.IsEmpty());
    const std::string line(built.View());

    if (type != kRegistryString && type != kRegistryExpandableString) {
        Require(lookup == BrowserLookup::NoBrowser && expandCalls == 0);
        return 0;
    }
    const std::string text(value.begin(), std::find(value.begin(), value.end(), '\0'));
    std::string command = text;
    if (type == kRegistryExpandableString) {
        Require(expandCalls == 1 && expandInput == text);
        command = ExpandedForFuzzing(text);
    } else {
        Require(expandCalls == 0);
    }
    const bool onlyBlanks = command.find_first_not_of(" \t") == std::string::npos;
    Require((lookup == BrowserLookup::Found) != onlyBlanks);
    if (onlyBlanks) return 0;
    Require(line.find(url) != std::string::npos);
    if (markedUrl && command.find(kUrlMark) == std::string::npos) {
        CheckUrlPlacement(command, url, line);
    }
    return 0;
}
