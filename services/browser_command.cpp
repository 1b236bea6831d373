#include "services/browser_command.h"

#include <cstring>
#include <utility>

namespace {
constexpr std::string_view kDocumentPlaceholder = "%1";
constexpr std::string_view kBlanks = " \t";

std::string_view TextUpToFirstNul(const char* bytes, size_t size) {
    if (size == 0) return {};
    const void* nul = std::memchr(bytes, '\0', size);
    return {bytes, nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : size};
}

bool EndsWithBlank(std::string_view text) {
    return !text.empty() && kBlanks.find(text.back()) != std::string_view::npos;
}

// The URL goes where the command expects its document; it is inserted, never rescanned, so
// a "%1" inside the URL stays as it is. `line` starts empty; false when memory cannot be had.
bool InsertUrl(std::string_view command, std::string_view url, Text& line) {
    size_t from = 0;
    size_t at = command.find(kDocumentPlaceholder);
    if (at == std::string_view::npos) {
        return line.Append(command) && (EndsWithBlank(command) || line.Append(" ")) &&
               line.Append(url);
    }
    for (; at != std::string_view::npos; at = command.find(kDocumentPlaceholder, from)) {
        if (!line.Append({command.data() + from, at - from}) || !line.Append(url)) return false;
        from = at + kDocumentPlaceholder.size();
    }
    return line.Append({command.data() + from, command.size() - from});
}
}  // namespace

BrowserLookup BuildBrowserCommandLine(const char* valueBytes, size_t valueSize,
                                      unsigned long valueType, std::string_view url,
                                      EnvironmentExpander expand, Text& commandLine) {
    if (valueType != kRegistryString && valueType != kRegistryExpandableString) {
        return BrowserLookup::NoBrowser;
    }
    Text command;
    if (!command.Assign(TextUpToFirstNul(valueBytes, valueSize))) return BrowserLookup::NoMemory;
    // Expanded before the URL goes in: the URL's own %-escapes are not environment references.
    if (valueType == kRegistryExpandableString) {
        Text expanded;
        if (!expand(command, expanded)) return BrowserLookup::NoMemory;
        command = std::move(expanded);
    }
    if (command.View().find_first_not_of(kBlanks) == std::string_view::npos) {
        return BrowserLookup::NoBrowser;
    }
    Text line;
    if (!InsertUrl(command.View(), url, line)) return BrowserLookup::NoMemory;
    commandLine = std::move(line);
    return BrowserLookup::Found;
}
