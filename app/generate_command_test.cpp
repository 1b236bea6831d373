#include "app/generate_command.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/main_dialog.h"
#include "generator/permutation_text.h"
#include "support/text.h"
#include "tests/support/clipboard_holder_process.h"
#include "tests/support/golden_cases.h"
#include "tests/support/rationed_text_memory.h"
#include "tests/support/reference_orderings.h"
#include "tests/support/win_test_support.h"

namespace {

using namespace std::string_literals;
using reference::KeywordStore;

const std::string kSentinel = "left by the test";
const char kNeedKeyword1[] = "Need to enter Keyword 1.  Try again.";
const char kNeedKeyword2[] = "Need at least two keywords. Enter Keyword 2.";
const char kConfirmation[] = "The text is in the clipboard (ready for pasting).";
const char kCopyFailed[] =
    "Cannot put the text in the clipboard. Close any program that is using it and try again.";

// The main dialog, as the program builds it, hidden.
class KeywordDialog {
public:
    HWND Window() const { return window_.Get(); }

    void SetKeywords(const KeywordStore& keywords) {
        const int ids[] = {IDC_KEYWORD1, IDC_KEYWORD2, IDC_KEYWORD3, IDC_KEYWORD4};
        for (size_t k = 0; k < 4; ++k) SetDlgItemTextA(Window(), ids[k], keywords.words[k].c_str());
    }
    void SetCheck(int id, bool checked) {
        SendDlgItemMessageA(Window(), id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    bool IsChecked(int id) const { return IsDlgButtonChecked(Window(), id) == BST_CHECKED; }
    std::string Text(int id) const {
        char text[256] = {};
        GetDlgItemTextA(Window(), id, text, sizeof text);
        return text;
    }

private:
    OwnedWindow window_{BuildMainDialog(nullptr)};
};

KeywordStore Keywords(std::string k1, std::string k2, std::string k3 = "", std::string k4 = "") {
    return KeywordStore{{std::move(k1), std::move(k2), std::move(k3), std::move(k4)}};
}

struct ShownBox {
    CapturedMessageBox box;
    bool stopIcon;
};

// The box shows the platform's stop icon (and no other). Its icon is in place by the time the
// box is activated, which is when the capture hands it over.
bool ShowsStopIcon(HWND box) {
    const HICON stop = LoadIconA(nullptr, IDI_HAND);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)) == stop) {
            return true;
        }
    }
    return false;
}

// One press of the button with the given notification code; every box it opens is closed.
std::vector<ShownBox> Press(const KeywordDialog& dialog, int notificationCode = BN_CLICKED) {
    std::vector<ShownBox> shown;
    MessageBoxCapture capture;
    capture.onShow = [&](const CapturedMessageBox& box) {
        shown.push_back({box, ShowsStopIcon(box.window)});
        MessageBoxCapture::Close(box.window);
    };
    GeneratePermutations(dialog.Window(), notificationCode);
    return shown;
}

void ExpectOnlyBox(const std::vector<ShownBox>& shown, const char* text, bool stopIcon) {
    ASSERT_EQ(shown.size(), 1u) << "expected only: " << text;
    EXPECT_EQ(shown[0].box.text, text);
    EXPECT_EQ(shown[0].box.caption, "Varnholt");
    EXPECT_EQ(shown[0].box.owner, nullptr);
    EXPECT_EQ(shown[0].box.hasIcon, stopIcon);
    EXPECT_EQ(shown[0].stopIcon, stopIcon);
}

size_t CountLines(const std::string& text) {
    size_t lines = 1;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    return lines;
}

std::string WithNul(const std::string& text) { return text + '\0'; }

TEST(GenerateCommand, MissingKeywordsAreRejectedWithTheirMessage) {
    KeywordDialog dialog;
    PutSentinelOnClipboard(kSentinel);

    ExpectOnlyBox(Press(dialog), kNeedKeyword1, true);
    dialog.SetKeywords(Keywords("", "two", "three", "four"));
    ExpectOnlyBox(Press(dialog), kNeedKeyword1, true);
    dialog.SetKeywords(Keywords("one", "", "three", "four"));
    ExpectOnlyBox(Press(dialog), kNeedKeyword2, true);
    dialog.SetCheck(IDC_SUBSETS, true);
    ExpectOnlyBox(Press(dialog, 1), kNeedKeyword2, true);

    EXPECT_EQ(ReadClipboardTextBlock(), WithNul(kSentinel));
    // A rejection changes no control.
    EXPECT_EQ(dialog.Text(IDC_KEYWORD1), "one");
    EXPECT_EQ(dialog.Text(IDC_KEYWORD2), "");
    EXPECT_EQ(dialog.Text(IDC_KEYWORD4), "four");
    EXPECT_TRUE(dialog.IsChecked(IDC_QUOTES));
    EXPECT_TRUE(dialog.IsChecked(IDC_SUBSETS));
}

TEST(GenerateCommand, RunsForClickAndAcceleratorCodesOnly) {
    KeywordDialog dialog;
    dialog.SetKeywords(Keywords("alpha", "beta"));
    PutSentinelOnClipboard(kSentinel);
    for (int ignoredCode : {2, BN_SETFOCUS, BN_KILLFOCUS, 0x300}) {
        EXPECT_TRUE(Press(dialog, ignoredCode).empty()) << "code " << ignoredCode;
        EXPECT_EQ(ReadClipboardTextBlock(), WithNul(kSentinel)) << "code " << ignoredCode;
    }
    for (int code : {BN_CLICKED, 1}) {
        PutSentinelOnClipboard(kSentinel);
        ExpectOnlyBox(Press(dialog, code), kConfirmation, false);
        EXPECT_EQ(ReadClipboardTextBlock(), "\"alpha beta\"\r\n\"beta alpha\"\0"s) << "code " << code;
    }
}

TEST(GenerateCommand, ClipboardGetsExactlyTheBuiltText) {
    KeywordDialog dialog;

    // Keyword 4 without keyword 3 is not used: two lines.
    dialog.SetKeywords(Keywords("blue", "running", "", "shoes"));
    ExpectOnlyBox(Press(dialog), kConfirmation, false);
    EXPECT_EQ(ReadClipboardTextBlock(), "\"blue running\"\r\n\"running blue\"\0"s);

    dialog.SetKeywords(Keywords("blue", "running", "shoes"));
    dialog.SetCheck(IDC_SUBSETS, true);
    ExpectOnlyBox(Press(dialog), kConfirmation, false);
    std::string text = ReadClipboardTextBlock();
    EXPECT_EQ(text, WithNul(reference::BuiltText(Keywords("blue", "running", "shoes"),
                                                 kQuoteDelimiters, true)));
    EXPECT_EQ(CountLines(text), golden::LinesFor(3, true));

    // Brackets whenever "Quotes" is clear, whatever "Brackets" says.
    const KeywordStore four = Keywords("a", "bb", "ccc", "dddd");
    dialog.SetKeywords(four);
    dialog.SetCheck(IDC_QUOTES, false);
    dialog.SetCheck(IDC_BRACKETS, false);
    ExpectOnlyBox(Press(dialog), kConfirmation, false);
    text = ReadClipboardTextBlock();
    EXPECT_EQ(text, WithNul(reference::BuiltText(four, kBracketDelimiters, true)));
    EXPECT_EQ(CountLines(text), golden::LinesFor(4, true));
    dialog.SetCheck(IDC_QUOTES, true);
    dialog.SetCheck(IDC_BRACKETS, true);
    dialog.SetCheck(IDC_SUBSETS, false);
    ExpectOnlyBox(Press(dialog), kConfirmation, false);
    text = ReadClipboardTextBlock();
    EXPECT_EQ(text, WithNul(reference::BuiltText(four, kQuoteDelimiters, false)));
    EXPECT_EQ(CountLines(text), golden::LinesFor(4, false));

    // Blanks are text; bytes above 0x7F arrive unchanged.
    dialog.SetKeywords(Keywords("  ", " "));
    ExpectOnlyBox(Press(dialog), kConfirmation, false);
    EXPECT_EQ(ReadClipboardTextBlock(), "\"    \"\r\n\"    \"\0"s);
    dialog.SetKeywords(Keywords("Gr\xFC\xDF" "e", "caf\xE9"));
    ExpectOnlyBox(Press(dialog), kConfirmation, false);
    EXPECT_EQ(ReadClipboardTextBlock(), "\"Gr\xFC\xDF" "e caf\xE9\"\r\n\"caf\xE9 Gr\xFC\xDF" "e\"\0"s);

    // A success changes no control either.
    EXPECT_EQ(dialog.Text(IDC_KEYWORD2), "caf\xE9");
    EXPECT_TRUE(dialog.IsChecked(IDC_QUOTES));
    EXPECT_FALSE(dialog.IsChecked(IDC_SUBSETS));
}

TEST(GenerateCommand, FailedCopyIsReportedInsteadOfConfirmed) {
    KeywordDialog dialog;
    dialog.SetKeywords(Keywords("held", "clipboard"));
    PutSentinelOnClipboard(kSentinel);
    {
        ClipboardHolderProcess holder;
        ASSERT_TRUE(holder.IsHolding());
        ExpectOnlyBox(Press(dialog), kCopyFailed, true);
    }
    EXPECT_EQ(ReadClipboardTextBlock(), WithNul(kSentinel));
}

TEST(GenerateCommand, MemoryThatCannotBeHadIsReportedAsFailedCopy) {
    KeywordDialog dialog;
    const KeywordStore keywords = Keywords("red", "wool", "socks", "warm");
    dialog.SetKeywords(keywords);
    dialog.SetCheck(IDC_SUBSETS, true);
    // A press takes one allocation for each keyword it reads and one for the text: refused the
    // first, the second and so on, it fails at each step in turn, never calling a keyword
    // missing and never touching the clipboard.
    for (int allowed = 0; allowed < 5; ++allowed) {
        SCOPED_TRACE(allowed);
        PutSentinelOnClipboard(kSentinel);
        std::vector<ShownBox> shown;
        {
            RationedTextMemory memory(allowed);
            shown = Press(dialog);
            EXPECT_EQ(RationedTextMemory::Refused(), 1);
        }
        ExpectOnlyBox(shown, kCopyFailed, true);
        EXPECT_EQ(ReadClipboardTextBlock(), WithNul(kSentinel));
    }
    std::vector<ShownBox> shown;
    {
        RationedTextMemory memory(5);
        shown = Press(dialog);
        EXPECT_EQ(RationedTextMemory::Refused(), 0);
    }
    ExpectOnlyBox(shown, kConfirmation, false);
    EXPECT_EQ(ReadClipboardTextBlock(), WithNul(reference::BuiltText(keywords, kQuoteDelimiters, true)));
}

// What the second press, made from inside the first press's confirmation, found and did.
struct NestedPress {
    HWND dialog;
    HWND firstBox;
    bool firstBoxOpen;
    bool dialogEnabled;
    std::string clipboardAfterward;
};
NestedPress* nestedPress = nullptr;

void CALLBACK PressAgain(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    NestedPress& press = *nestedPress;
    press.firstBoxOpen = IsWindow(press.firstBox) && IsWindowVisible(press.firstBox);
    press.dialogEnabled = IsWindowEnabled(press.dialog);
    SetDlgItemTextA(press.dialog, IDC_KEYWORD1, "inner");
    GeneratePermutations(press.dialog, BN_CLICKED);
    press.clipboardAfterward = ReadClipboardTextBlock();
    MessageBoxCapture::Close(press.firstBox);
}

TEST(GenerateCommand, SecondPressWhileConfirmationIsOpenRunsAgain) {
    KeywordDialog dialog;
    dialog.SetKeywords(Keywords("outer", "press"));
    NestedPress press{dialog.Window(), nullptr, false, false, ""};
    nestedPress = &press;
    {
        MessageBoxCapture capture;
        capture.onShow = [&](const CapturedMessageBox& box) {
            if (!press.firstBox) {
                // The second press arrives through the first box's own message loop.
                press.firstBox = box.window;
                SetTimer(nullptr, 0, 10, PressAgain);
            } else if (box.window != press.firstBox) {
                MessageBoxCapture::Close(box.window);
            }  // else the first box is active again; PressAgain closes it.
        };
        GeneratePermutations(dialog.Window(), BN_CLICKED);
        std::set<HWND> distinctBoxes;
        for (const CapturedMessageBox& box : capture.boxes) {
            distinctBoxes.insert(box.window);
            EXPECT_EQ(box.text, kConfirmation);
            EXPECT_EQ(box.owner, nullptr);
        }
        EXPECT_EQ(distinctBoxes.size(), 2u);
    }
    nestedPress = nullptr;
    EXPECT_TRUE(press.firstBoxOpen);
    EXPECT_TRUE(press.dialogEnabled);
    EXPECT_EQ(press.clipboardAfterward, "\"inner press\"\r\n\"press inner\"\0"s);
    EXPECT_EQ(ReadClipboardTextBlock(), press.clipboardAfterward);
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

size_t CountThreadWindows() {
    size_t count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST(GenerateCommand, HundredsOfPressesLeaveNothingBehind) {
    KeywordDialog dialog;
    // Texts of about half a megabyte, so that a block or a copy kept per press would show.
    const std::string word(2048, 'w');
    dialog.SetKeywords(Keywords(word, word + "x", word + "y", word + "z"));
    dialog.SetCheck(IDC_SUBSETS, true);
    for (int press = 0; press < 20; ++press) Press(dialog);

    const size_t windowsBefore = CountThreadWindows();
    const SIZE_T memoryBefore = PrivateBytesInUse();
    ASSERT_GT(memoryBefore, 0u);
    size_t confirmations = 0;
    for (int press = 0; press < 300; ++press) {
        for (const ShownBox& shown : Press(dialog)) confirmations += shown.box.text == kConfirmation;
    }
    EXPECT_EQ(confirmations, 300u);
    EXPECT_EQ(CountThreadWindows(), windowsBefore);
    EXPECT_LT(PrivateBytesInUse(), memoryBefore + 16 * 1024 * 1024);
}

}  // namespace
