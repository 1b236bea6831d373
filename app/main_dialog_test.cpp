#include "app/main_dialog.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <vector>

#include "app/control_ids.h"
#include "controls/link_label.h"
#include "generator/permutation_text.h"
#include "tests/support/win_test_support.h"

namespace {

class MainDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CoInitialize(nullptr);
        RegisterLinkLabelClass();
    }
    void SetUp() override { dialog_ = BuildMainDialog(nullptr); ASSERT_NE(dialog_, nullptr); }
    void TearDown() override { if (IsWindow(dialog_)) DestroyWindow(dialog_); }

    RECT DialogUnits(int x, int y, int width, int height) const {
        RECT rect{x, y, x + width, y + height};
        MapDialogRect(dialog_, &rect);
        return rect;
    }

    HWND dialog_ = nullptr;
};

// Stores a value that is no command as the browser registration, so that opening the site
// shows its message box and starts nothing.
void RegisterNoBrowser() {
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, key.Receive(), nullptr),
              ERROR_SUCCESS);
    const DWORD notACommand = 1;
    ASSERT_EQ(RegSetValueExA(key.Get(), "", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&notACommand),
                             sizeof notACommand),
              ERROR_SUCCESS);
}

TEST_F(MainDialog, WindowIsPlacedStyledAndIconedHidden) {
    EXPECT_EQ(WindowTextOf(dialog_), "Varnholt");
    EXPECT_FALSE(IsWindowVisible(dialog_));
    EXPECT_EQ(GetWindowLongA(dialog_, GWL_STYLE) & ~WS_CLIPSIBLINGS, static_cast<LONG>(0x80CA0054));
    EXPECT_TRUE(GetWindowLongA(dialog_, GWL_EXSTYLE) & WS_EX_WINDOWEDGE);
    EXPECT_EQ(GetWindow(dialog_, GW_OWNER), nullptr);

    // Position and client size are converted separately, as the platform does.
    const RECT position = DialogUnits(69, 74, 0, 0);
    const RECT size = DialogUnits(0, 0, 195, 117);
    POINT clientOrigin{0, 0};
    ClientToScreen(dialog_, &clientOrigin);
    RECT client{};
    GetClientRect(dialog_, &client);
    EXPECT_EQ(clientOrigin.x, position.left);
    EXPECT_EQ(clientOrigin.y, position.top);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    const SIZE big = IconSize(reinterpret_cast<HICON>(SendMessageA(dialog_, WM_GETICON, ICON_BIG, 0)));
    const SIZE small = IconSize(reinterpret_cast<HICON>(SendMessageA(dialog_, WM_GETICON, ICON_SMALL, 0)));
    EXPECT_EQ(big.cx, 32);
    EXPECT_EQ(big.cy, 32);
    EXPECT_EQ(small.cx, 16);
    EXPECT_EQ(small.cy, 16);
}

TEST_F(MainDialog, ControlsAreCreatedInTableOrderWithTheirLookAndStates) {
    const struct {
        int id;
        const char* className;
        const char* text;
        int x, y, width, height;
        LONG style, exStyle;
    } expected[] = {
        {IDC_KEYWORD1, "EDIT", "", 55, 5, 120, 15, 0x50010080, WS_EX_CLIENTEDGE},
        {IDC_LABEL1, "STATIC", "Keyword 1", 5, 5, 45, 15, 0x50000000, 0},
        {IDC_LABEL2, "STATIC", "Keyword 2", 5, 20, 45, 15, 0x50000000, 0},
        {IDC_KEYWORD2, "EDIT", "", 55, 20, 120, 15, 0x50010080, WS_EX_CLIENTEDGE},
        {IDC_LABEL3, "STATIC", "Keyword 3", 5, 35, 45, 15, 0x50000000, 0},
        {IDC_KEYWORD3, "EDIT", "", 55, 35, 120, 15, 0x50010080, WS_EX_CLIENTEDGE},
        {IDC_LABEL4, "STATIC", "Keyword 4", 5, 50, 45, 15, 0x50000000, 0},
        {IDC_KEYWORD4, "EDIT", "", 55, 50, 120, 15, 0x50010080, WS_EX_CLIENTEDGE},
        {IDC_PASTE, "BUTTON", "Paste permutations in Clipboard", 55, 70, 120, 25, 0x50010000, 0},
        {IDC_QUOTES, "BUTTON", "Quotes", 5, 70, 45, 15, 0x50030D09, 0},
        {IDC_BRACKETS, "BUTTON", "Brackets", 5, 85, 45, 15, 0x50010009, 0},
        {IDC_SITELINK, "QXHL32", "Freeware from example.com", 5, 100, 110, 15, 0x50030000, 0},
        {IDC_SUBSETS, "BUTTON", "Include Subsets", 125, 100, 65, 15, 0x50010003, 0},
    };
    const HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0));
    HWND control = GetWindow(dialog_, GW_CHILD);
    for (const auto& row : expected) {
        SCOPED_TRACE(row.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetDlgCtrlID(control), row.id);
        EXPECT_EQ(UpperClassNameOf(control), row.className);
        EXPECT_EQ(WindowTextOf(control), row.text);
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&rect), 2);
        const RECT place = DialogUnits(row.x, row.y, row.width, row.height);
        EXPECT_TRUE(EqualRect(&rect, &place));
        // The button control keeps WS_TABSTOP only on the checked option button.
        const LONG tabStopMovedByPlatform = row.id == IDC_BRACKETS ? WS_TABSTOP : 0;
        const LONG ignored = WS_CLIPSIBLINGS | tabStopMovedByPlatform;
        EXPECT_EQ(GetWindowLongA(control, GWL_STYLE) & ~ignored, row.style & ~ignored);
        EXPECT_EQ(GetWindowLongA(control, GWL_EXSTYLE), row.exStyle);
        if (row.className != std::string("QXHL32")) {
            EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), dialogFont);
        }
        control = GetWindow(control, GW_HWNDNEXT);
    }
    EXPECT_EQ(control, nullptr);

    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_QUOTES), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_BRACKETS), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_SUBSETS), BST_UNCHECKED);
    const LRESULT defaultButton = SendMessageA(dialog_, DM_GETDEFID, 0, 0);
    EXPECT_FALSE(HIWORD(defaultButton) == DC_HASDEFID && LOWORD(defaultButton) == IDC_PASTE);

    // Tab walks the tab stops in creation order; the option group is one stop, its checked button.
    std::vector<int> tabOrder;
    HWND stop = GetDlgItem(dialog_, IDC_KEYWORD1);
    for (int i = 0; i < 8; ++i) {
        tabOrder.push_back(GetDlgCtrlID(stop));
        stop = GetNextDlgTabItem(dialog_, stop, FALSE);
    }
    EXPECT_EQ(tabOrder, (std::vector<int>{IDC_KEYWORD1, IDC_KEYWORD2, IDC_KEYWORD3, IDC_KEYWORD4,
                                          IDC_PASTE, IDC_QUOTES, IDC_SITELINK, IDC_SUBSETS}));
    EXPECT_EQ(GetDlgCtrlID(stop), IDC_KEYWORD1);
}

TEST_F(MainDialog, RoutesOnlyThePasteButtonAndTheLink) {
    SavedBrowserRegistration savedRegistration;
    RegisterNoBrowser();
    MessageBoxCapture capture;
    PutSentinelOnClipboard("sentinel");
    const auto command = [&](int id, int code) {
        return MainDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(id, code),
                              reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
    };

    // Ignored: every other control, IDOK, IDCANCEL, unknown identifiers, other messages.
    const int ignoredIds[] = {IDC_KEYWORD1, IDC_KEYWORD2, IDC_KEYWORD3, IDC_KEYWORD4, IDC_LABEL1,
                              IDC_QUOTES, IDC_BRACKETS, IDC_SUBSETS, IDOK, IDCANCEL, 4242};
    for (int id : ignoredIds) {
        for (int code : {0, 1, EN_CHANGE, EN_SETFOCUS}) EXPECT_EQ(command(id, code), 0);
    }
    EXPECT_EQ(command(IDC_PASTE, 2), 0);
    EXPECT_EQ(MainDialogProc(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_EQ(MainDialogProc(dialog_, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(capture.boxes.empty());
    EXPECT_EQ(ReadClipboardTextBlock(), std::string("sentinel", 9));
    EXPECT_TRUE(IsWindow(dialog_));

    // The paste button generates for codes 0 and 1 (empty keywords: the keyword 1 message).
    EXPECT_EQ(command(IDC_PASTE, 0), 0);
    EXPECT_EQ(command(IDC_PASTE, 1), 0);
    // The link opens the site whatever the code (no browser here: its message).
    for (int code : {0, 1, 7, 0xFFFF}) EXPECT_EQ(command(IDC_SITELINK, code), 0);
    std::vector<std::string> texts;
    for (const CapturedMessageBox& box : capture.boxes) texts.push_back(box.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Need to enter Keyword 1.  Try again.", "Need to enter Keyword 1.  Try again.",
                         "Cannot find default Internet browser", "Cannot find default Internet browser",
                         "Cannot find default Internet browser", "Cannot find default Internet browser"}));

    // A full press reads the dialog's own controls.
    SetDlgItemTextA(dialog_, IDC_KEYWORD1, "blue");
    SetDlgItemTextA(dialog_, IDC_KEYWORD2, "running");
    SetDlgItemTextA(dialog_, IDC_KEYWORD3, "shoes");
    CheckRadioButton(dialog_, IDC_QUOTES, IDC_BRACKETS, IDC_BRACKETS);
    CheckDlgButton(dialog_, IDC_SUBSETS, BST_CHECKED);
    command(IDC_PASTE, BN_CLICKED);
    const std::string expected(
        BuildPermutationText(KeywordList{{"blue", "running", "shoes", ""}}, kBracketDelimiters, true).View());
    EXPECT_EQ(ReadClipboardTextBlock(), expected + '\0');
    EXPECT_EQ(capture.boxes.back().text, "The text is in the clipboard (ready for pasting).");
}

// Closes the main dialog from inside its own modal loop once it is up and visible.
HWND shownDialog = nullptr;
bool wasVisible = false;
void CALLBACK CloseWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowA("#32770", "Varnholt");
    if (!dialog) return;
    KillTimer(nullptr, timer);
    shownDialog = dialog;
    wasVisible = IsWindowVisible(dialog);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

TEST_F(MainDialog, RunsModallyUntilClosedAndEndsWithZero) {
    DestroyWindow(dialog_);
    SetTimer(nullptr, 0, 20, CloseWhenShown);
    EXPECT_EQ(CreateMainDialog(nullptr), 0);
    EXPECT_TRUE(wasVisible);
    EXPECT_FALSE(IsWindow(shownDialog));
}

}  // namespace
