#include "services/browser_command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

const std::string kUrl = "http://www.varnholt.example/";

std::string NoExpansionExpected(const std::string&) {
    ADD_FAILURE() << "only an expandable string is expanded";
    return {};
}

int expandCalls = 0;
std::string lastExpandInput;

// Stands in for the platform: %WEBDIR% is the only variable it knows.
std::string ExpandWebDir(const std::string& text) {
    ++expandCalls;
    lastExpandInput = text;
    const std::string reference = "%WEBDIR%";
    std::string expanded = text;
    for (size_t at; (at = expanded.find(reference)) != std::string::npos;) {
        expanded.replace(at, reference.size(), "C:\\Program Files\\Web");
    }
    return expanded;
}

std::string ExpandFails(const std::string&) {
    ++expandCalls;
    return {};
}

// The value lies on the heap exactly as large as it is, with no terminator after it, so that
// the sanitizer catches any read past its size.
std::optional<std::string> Build(const std::string& value, unsigned long type = kRegistryString,
                                 const std::string& url = kUrl,
                                 EnvironmentExpander expand = NoExpansionExpected) {
    const std::vector<char> bytes(value.begin(), value.end());
    return BuildBrowserCommandLine(bytes.data(), bytes.size(), type, url, expand);
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
    EXPECT_EQ(BuildBrowserCommandLine(nullptr, 0, kRegistryString, kUrl, NoExpansionExpected),
              std::nullopt);
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

}  // namespace
