#include "support/startup.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string TailOf(std::string commandLine) {
    return CommandLineTail(&commandLine[0]);
}

TEST(Startup, CommandLineTailFollowsTheProgramNameAndItsBlanks) {
    EXPECT_EQ(TailOf("varnholt.exe"), "");
    EXPECT_EQ(TailOf("varnholt.exe /brackets  --subsets"), "/brackets  --subsets");
    EXPECT_EQ(TailOf("varnholt.exe \t keyword "), "keyword ");
    EXPECT_EQ(TailOf("C:\\Tools\\varnholt.exe\t\"a b\""), "\"a b\"");
    // A quoted name ends at the next quote, blanks and all, and what follows it directly is tail.
    EXPECT_EQ(TailOf("\"C:\\Program Files\\Varnholt\\varnholt.exe\" one two"), "one two");
    EXPECT_EQ(TailOf("\"C:\\Program Files\\varnholt.exe\"x"), "x");
    EXPECT_EQ(TailOf("\"C:\\Program Files\\varnholt.exe\""), "");
    EXPECT_EQ(TailOf("\"unclosed name with blanks"), "");
    EXPECT_EQ(TailOf(""), "");
    EXPECT_EQ(TailOf("   leading"), "leading");
}

TEST(Startup, ShowCommandIsTheStartersOnlyWhenItSaysSo) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    EXPECT_EQ(StartupShowCommand(startup), SW_SHOWDEFAULT);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    EXPECT_EQ(StartupShowCommand(startup), SW_SHOWMINNOACTIVE);
    startup.wShowWindow = SW_HIDE;
    EXPECT_EQ(StartupShowCommand(startup), SW_HIDE);
    startup.dwFlags = STARTF_USESTDHANDLES;
    EXPECT_EQ(StartupShowCommand(startup), SW_SHOWDEFAULT);
}

}  // namespace
