#pragma once
// Turns the default browser's registered command and an address into the command line that
// starts the browser on it. No platform dependency, so it is built and tested natively too.

#include <cstddef>
#include <optional>
#include <string>

// The registry's value type numbers that hold a command as text.
inline constexpr unsigned long kRegistryString = 1;            // REG_SZ
inline constexpr unsigned long kRegistryExpandableString = 2;  // REG_EXPAND_SZ

// Replaces the environment references (%NAME%) in a text; yields an empty text on failure.
using EnvironmentExpander = std::string (*)(const std::string& text);

// valueBytes/valueSize are the registered value exactly as read (a terminating NUL may be
// missing; the text ends at its first NUL and no byte past valueSize is read). An expandable
// string goes through expand first. Each "%1" of the command is replaced by the URL; a command
// without one gets the URL appended after a blank. Returns no command line when no browser is
// registered: a value that is not a string, or a command that is empty or only blanks.
std::optional<std::string> BuildBrowserCommandLine(const char* valueBytes, size_t valueSize,
                                                   unsigned long valueType, const std::string& url,
                                                   EnvironmentExpander expand);
