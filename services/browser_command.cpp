#include "services/browser_command.h"

#include <cstring>

namespace {
constexpr char kDocumentPlaceholder[] = "%1";
constexpr char kBlanks[] = " \t";

std::string TextUpToFirstNul(const char* bytes, size_t size) {
    if (size == 0) return {};
    const void* nul = std::memchr(bytes, '\0', size);
    return std::string(bytes, nul ? static_cast<const char*>(nul) - bytes : size);
}

bool EndsWithBlank(const std::string& text) {
    return !text.empty() && std::strchr(kBlanks, text.back()) != nullptr;
}

// The URL goes where the command expects its document; it is inserted, never rescanned, so
// a "%1" inside the URL stays as it is.
std::string InsertUrl(const std::string& command, const std::string& url) {
    if (command.find(kDocumentPlaceholder) == std::string::npos) {
        return EndsWithBlank(command) ? command + url : command + ' ' + url;
    }
    const size_t placeholderLength = sizeof kDocumentPlaceholder - 1;
    std::string line;
    size_t from = 0;
    for (size_t at; (at = command.find(kDocumentPlaceholder, from)) != std::string::npos;
         from = at + placeholderLength) {
        line.append(command, from, at - from).append(url);
    }
    return line.append(command, from, std::string::npos);
}
}  // namespace

std::optional<std::string> BuildBrowserCommandLine(const char* valueBytes, size_t valueSize,
                                                   unsigned long valueType, const std::string& url,
                                                   EnvironmentExpander expand) {
    if (valueType != kRegistryString && valueType != kRegistryExpandableString) {
        return std::nullopt;
    }
    std::string command = TextUpToFirstNul(valueBytes, valueSize);
    // Expanded before the URL goes in: the URL's own %-escapes are not environment references.
    if (valueType == kRegistryExpandableString) command = expand(command);
    if (command.find_first_not_of(kBlanks) == std::string::npos) return std::nullopt;
    return InsertUrl(command, url);
}
