#include "services/browser_command.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/rationed_text_memory.h"

namespace {

const std::string kUrl = "http://www.varnholt.example/";

bool NoExpansionExpected(const Text&, Text&) {
    ADD_FAILURE() << "only an expandable string is expanded";
    return true;
}

int expandCalls = 0;
std::string lastExpandInput;

// Stands in for the platform: %WEBDIR% is the only variable it knows.
bool ExpandWebDir(const Text& text, Text& expanded) {
    ++expandCalls;
    lastExpandInput = std::string(text.View());
    const std::string reference = "%WEBDIR%";
    std::string result = lastExpandInput;
    for (size_t at; (at = result.find(reference)) != std::string::npos;) {
        result.replace(at, reference.size(), "C:\\Program Files\\Web");
    }
    return expanded.Assign(result);
}

// The platform could not expand the text.
bool ExpandFails(const Text&, Text&) {
    ++expandCalls;
    return true;
}

bool ExpandOutOfMemory(const Text&, Text&) {
    return false;
}

// The value lies on the heap exactly as large as it is, with no terminator after it, so that
// the sanitizer catches any read past its size.
BrowserLookup Look(const std::string& value, unsigned long type, const std::string& url,
                   EnvironmentExpander expand, Text& line) {
    const std::vector<char> bytes(value.begin(), value.end());
    return BuildBrowserCommandLine(bytes.data(), bytes.size(), type, url, expand, line);
}

// The command line built from the value; none when no browser is registered. Memory is never
// short here.
std::optional<std::string> Build(const std::string& value, unsigned long type = kRegistryString,
                                 const std::string& url = kUrl,
                                 EnvironmentExpander expand = NoExpansionExpected) {
    Text line;
    const BrowserLookup lookup = Look(value, type, url, expand, line);
    EXPECT_NE(lookup, BrowserLookup::NoMemory);
    if (lookup == BrowserLookup::Found) return std::string(line.View());
    EXPECT_TRUE(line.IsEmpty()) << "a command line for no browser";
    return std::nullopt;
}

// As the registry usually hands a string over: with its terminating NUL counted in its size.
std::optional<std::string> BuildStored(const std::string& text) {
    return Build(text + '\0');
}

TEST(BrowserCommandLine, UrlReplacesEveryPlaceholder) {
    EXPECT_EQ(BuildStored("\"C:\\windows\\system32\\winebrowser.exe\" \"%1\""),
              "\"C:\\windows\\system32\\winebrowser.exe\" \"" + kUrl + "\"");
    EXPECT_EQ(BuildStored("C:\\Web\\web.exe %1"), "C:\\Web\\web.exe " + kUrl);
    EXPECT_EQ(BuildStored("web.exe -nohome %1 -url=%1 \"%1\""),
              "web.exe -nohome " + kUrl + " -url=" + kUrl + " \"" + kUrl + "\"");
    // A placeholder in the middle keeps what follows it, trailing blank included.
    EXPECT_EQ(BuildStored("web.exe \"%1\" -new-window "), "web.exe \"" + kUrl + "\" -new-window ");
    // Only %1 stands for the document.
    EXPECT_EQ(BuildStored("web.exe %2 %%1"), "web.exe %2 %" + kUrl);
    // The inserted URL is not searched again.
    EXPECT_EQ(Build("web.exe %1%1", kRegistryString, "http://x/%1?"),
              "web.exe http://x/%1?http://x/%1?");
}

TEST(BrowserCommandLine, UrlFollowsCommandWithoutPlaceholderAfterOneBlank) {
    EXPECT_EQ(BuildStored("C:\\Web\\web.exe"), "C:\\Web\\web.exe " + kUrl);
    EXPECT_EQ(BuildStored("\"C:\\Program Files\\Web Browser\\web.exe\" -nohome"),
              "\"C:\\Program Files\\Web Browser\\web.exe\" -nohome " + kUrl);
    EXPECT_EQ(BuildStored("\"C:\\Program Files\\Web Browser\\web.exe\" "),
              "\"C:\\Program Files\\Web Browser\\web.exe\" " + kUrl);
    EXPECT_EQ(BuildStored("web.exe\t"), "web.exe\t" + kUrl);
    EXPECT_EQ(BuildStored("web.exe  "), "web.exe  " + kUrl);
    EXPECT_EQ(BuildStored("web.exe %"), "web.exe % " + kUrl);
}

TEST(BrowserCommandLine, ValueEndsAtItsFirstNulOrItsSize) {
    EXPECT_EQ(Build("web.exe %1"), "web.exe " + kUrl) << "no terminating NUL";
    EXPECT_EQ(Build("web.exe"), "web.exe " + kUrl) << "no terminating NUL";
    EXPECT_EQ(Build(std::string("web.exe %1\0other.exe %1", 24)), "web.exe " + kUrl);
    EXPECT_EQ(Build(std::string("web.exe\0\0\0\0", 11)), "web.exe " + kUrl);
    EXPECT_EQ(Build(std::string("web.exe %1\0", 11), kRegistryExpandableString, kUrl, ExpandWebDir),
              "web.exe " + kUrl);
}

TEST(BrowserCommandLine, EmptyOrBlankCommandRegistersNoBrowser) {
    EXPECT_EQ(Build(""), std::nullopt);
    Text none;
    EXPECT_EQ(BuildBrowserCommandLine(nullptr, 0, kRegistryString, kUrl, NoExpansionExpected, none),
              BrowserLookup::NoBrowser);
    EXPECT_EQ(Build(std::string(1, '\0')), std::nullopt);
    EXPECT_EQ(Build(std::string("\0web.exe %1", 11)), std::nullopt);
    EXPECT_EQ(BuildStored("   "), std::nullopt);
    EXPECT_EQ(BuildStored(" \t "), std::nullopt);
    expandCalls = 0;
    EXPECT_EQ(Build("%NOTHING%", kRegistryExpandableString, kUrl, ExpandFails), std::nullopt);
    EXPECT_EQ(expandCalls, 1);
}

TEST(BrowserCommandLine, LongCommandsAreKeptWhole) {
    for (size_t length : {255u, 256u, 300u, 4096u, 20000u}) {
        const std::string program = "\"C:\\Program Files\\Web Browser\\web.exe\" ";
        const std::string padding(length - program.size() - 4, 'p');
        const std::string stored = program + padding + " %1";
        ASSERT_EQ(stored.size(), length - 1);
        EXPECT_EQ(BuildStored(stored), program + padding + " " + kUrl) << length;
        EXPECT_EQ(Build(stored), program + padding + " " + kUrl) << length << ", no NUL";
    }
    const std::string longUrl = kUrl + "?q=" + std::string(5000, 'u');
    EXPECT_EQ(Build("web.exe \"%1\"", kRegistryString, longUrl), "web.exe \"" + longUrl + "\"");
}

TEST(BrowserCommandLine, ExpandableStringIsExpandedBeforeUrlGoesIn) {
    expandCalls = 0;
    EXPECT_EQ(Build("\"%WEBDIR%\\web.exe\" \"%1\"", kRegistryExpandableString, kUrl, ExpandWebDir),
              "\"C:\\Program Files\\Web\\web.exe\" \"" + kUrl + "\"");
    EXPECT_EQ(lastExpandInput, "\"%WEBDIR%\\web.exe\" \"%1\"");
    // The URL's own %-sequences are left as they are.
    const std::string escapedUrl = "http://x/%WEBDIR%/a%20b";
    EXPECT_EQ(Build(std::string("%WEBDIR%\\web.exe\0junk", 22), kRegistryExpandableString,
                    escapedUrl, ExpandWebDir),
              "C:\\Program Files\\Web\\web.exe " + escapedUrl);
    EXPECT_EQ(lastExpandInput, "%WEBDIR%\\web.exe") << "the expander sees the text up to its NUL";
    EXPECT_EQ(expandCalls, 2);
    // A plain string's references stay unexpanded.
    EXPECT_EQ(BuildStored("%WEBDIR%\\web.exe"), "%WEBDIR%\\web.exe " + kUrl);
}

TEST(BrowserCommandLine, ValuesThatAreNotStringsRegisterNoBrowser) {
    const std::string command = "web.exe %1";
    // REG_NONE, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_LINK, REG_MULTI_SZ,
    // REG_RESOURCE_LIST, REG_QWORD, and numbers no type has.
    for (unsigned long type : {0ul, 3ul, 4ul, 5ul, 6ul, 7ul, 8ul, 11ul, 12ul, 0xFFFFFFFFul}) {
        EXPECT_EQ(Build(command + '\0', type), std::nullopt) << type;
        EXPECT_EQ(Build(std::string("\x01\x00\x00\x00", 4), type), std::nullopt) << type;
    }
}

TEST(BrowserCommandLine, MemoryThatCannotBeHadBuildsNoCommandLine) {
    struct Case {
        std::string value;
        unsigned long type;
        std::string commandLine;
    };
    const Case cases[] = {
        {"web.exe", kRegistryString, "web.exe " + kUrl},
        {"\"%WEBDIR%\\web.exe\" \"%1\" -url=%1", kRegistryExpandableString,
         "\"C:\\Program Files\\Web\\web.exe\" \"" + kUrl + "\" -url=" + kUrl},
    };
    // Refused its first allocation, then its second and so on, each look-up ends for want of
    // memory with no command line; given all it asks for, the line is whole.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        for (int allowed = 0;; ++allowed) {
            ASSERT_LT(allowed, 64) << "never got all the memory it needs";
            Text line;
            BrowserLookup lookup;
            int refused;
            {
                RationedTextMemory memory(allowed);
                lookup = Look(c.value, c.type, kUrl, ExpandWebDir, line);
                refused = RationedTextMemory::Refused();
            }
            if (refused == 0) {
                EXPECT_EQ(lookup, BrowserLookup::Found);
                EXPECT_EQ(line.View(), c.commandLine);
                break;
            }
            EXPECT_EQ(lookup, BrowserLookup::NoMemory) << allowed << " allowed";
            EXPECT_TRUE(line.IsEmpty()) << allowed << " allowed";
        }
    }
    // An expansion that runs out of memory is not taken for a blank command.
    Text line;
    EXPECT_EQ(Look("%WEBDIR%\\web.exe", kRegistryExpandableString, kUrl, ExpandOutOfMemory, line),
              BrowserLookup::NoMemory);
    EXPECT_TRUE(line.IsEmpty());
}

}  // namespace
