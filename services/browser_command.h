#pragma once
// Turns the default browser's registered command and an address into the command line that
// starts the browser on it. No platform dependency, so it is built and tested natively too.

#include <cstddef>
#include <string_view>

#include "support/text.h"

// The registry's value type numbers that hold a command as text.
inline constexpr unsigned long kRegistryString = 1;            // REG_SZ
inline constexpr unsigned long kRegistryExpandableString = 2;  // REG_EXPAND_SZ

// What became of a look-up: a result, no browser registered, or memory that cannot be had (which
// ends the look-up quietly, like a browser that cannot be started).
enum class BrowserLookup { Found, NoBrowser, NoMemory };

// Puts the text with its environment references (%NAME%) replaced into `expanded`, which is
// left empty when the platform cannot expand it; false when memory cannot be had.
using EnvironmentExpander = bool (*)(const Text& text, Text& expanded);

// valueBytes/valueSize are the registered value exactly as read (a terminating NUL may be
// missing; the text ends at its first NUL and no byte past valueSize is read). An expandable
// string goes through expand first. Each "%1" of the command is replaced by the URL; a command
// without one gets the URL appended after a blank. The command line lands in `commandLine`
// only when Found. NoBrowser: a value that is not a string, or a command that is empty or
// only blanks.
BrowserLookup BuildBrowserCommandLine(const char* valueBytes, size_t valueSize,
                                      unsigned long valueType, std::string_view url,
                                      EnvironmentExpander expand, Text& commandLine);
