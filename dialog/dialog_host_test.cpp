#include "dialog/dialog_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/main_dialog_controls.h"
#include "tests/support/win_test_support.h"

namespace {

// The template's style for style 0, and the main dialog's as the template carries it (hidden).
constexpr DWORD kDefaultTemplateStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK;
constexpr DWORD kMainDialogTemplateStyle = kMainDialogStyle & ~WS_VISIBLE;

// A message as a callback or window procedure saw it: message, wParam, lParam, and whether
// the window was visible then.
using Call = std::tuple<UINT, WPARAM, LPARAM, bool>;
std::vector<Call> calls, probeCalls;
std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> react;
std::function<void(HWND, UINT, WPARAM, LPARAM)> probeReact;

INT_PTR RecordingCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    calls.emplace_back(message, wParam, lParam, dialog && IsWindowVisible(dialog));
    return react ? react(dialog, message, wParam, lParam) : 0;
}

std::vector<Call> Only(const std::vector<Call>& log, std::initializer_list<UINT> messages) {
    std::vector<Call> kept;
    std::copy_if(log.begin(), log.end(), std::back_inserter(kept), [&](const Call& call) {
        return std::find(messages.begin(), messages.end(), std::get<0>(call)) != messages.end();
    });
    return kept;
}

// A window class of the test's own that logs its messages: a control of a named class, or
// an owner window.
LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    probeCalls.emplace_back(message, wParam, lParam, IsWindowVisible(window) != FALSE);
    if (probeReact) probeReact(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* ProbeClass() {
    static const ATOM atom = [] {
        WNDCLASSA probe{};
        probe.lpfnWndProc = ProbeProc;
        probe.hInstance = GetModuleHandleA(nullptr);
        probe.lpszClassName = "DialogHostProbe";
        return RegisterClassA(&probe);
    }();
    return atom ? "DialogHostProbe" : nullptr;
}

// A control of the main dialog, the link label made of the probe class.
ControlSpec MainControl(int id) {
    ControlSpec control = MainDialogControl(id);
    if (control.kind == ControlKind::NamedClass) control.className = ProbeClass();
    return control;
}

class DialogHost : public ::testing::Test {
protected:
    void SetUp() override { calls.clear(), probeCalls.clear(); }
    void TearDown() override { react = nullptr, probeReact = nullptr; }
};

HWND CreateTestDialog(HWND parent = nullptr, DWORD style = 0) {
    return CreateDialogWindow(parent, "Test", 10, 10, 195, 117, style, WS_EX_WINDOWEDGE);
}

int RunUntilClosed(HWND dialog) {
    int result = -7;
    RunDialogModal(dialog, RecordingCallback, &result);
    return result;
}

HICON IconOf(HWND window, WPARAM which) {
    return reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, which, 0));
}

// The process's live GDI objects. GetGuiResources counts them on Windows but answers 0 under
// Wine, where each live object answers GetObjectType by its table index alone, in 32-bit
// and 64-bit programs alike (only the 64-bit PEB carries the table's address there).
int LiveGdiObjects() {
    if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return counted;
    int live = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index) {
        live += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
    }
    return live;
}

// Bytes handed out by all the process's heaps, which hold everything the layer allocates.
SIZE_T HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD count = std::min<DWORD>(GetProcessHeaps(64, heaps), 64);
    SIZE_T total = 0;
    for (DWORD i = 0; i < count; ++i) {
        HeapLock(heaps[i]);
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) total += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ? entry.cbData : 0;
        HeapUnlock(heaps[i]);
    }
    return total;
}

TEST(DialogTemplate, WordsFollowTheStyleCaptionAndFontRules) {
    const DialogTemplate made = BuildDialogTemplate("Ab", 3, 4, 50, 60, 0, WS_EX_WINDOWEDGE);
    const std::vector<WORD> expected = {0x00D4, 0x80C0, 0x0100, 0, 0, 3, 4, 50, 60, 0, 0, 'A', 'b', 0,
                                        8, 'M', 'S', ' ', 'S', 'a', 'n', 's', ' ', 'S', 'e', 'r', 'i', 'f', 0};
    EXPECT_EQ(std::vector<WORD>(made.words, made.words + made.size), expected);

    auto styleOf = [](int x, int y, DWORD style) {
        const DialogTemplate made = BuildDialogTemplate("x", x, y, 10, 10, style, 0);
        return MAKELONG(made.words[0], made.words[1]);
    };
    EXPECT_EQ(styleOf(kMainDialogX, kMainDialogY, kMainDialogStyle), kMainDialogTemplateStyle);
    EXPECT_EQ(styleOf(0, 0, WS_POPUP | WS_VISIBLE | DS_SYSMODAL), WS_POPUP | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK);
    EXPECT_EQ(styleOf(-1, 5, 0), kDefaultTemplateStyle | DS_CENTER);
    EXPECT_EQ(styleOf(5, -1, 0), kDefaultTemplateStyle | DS_CENTER);
    EXPECT_EQ(styleOf(-2, 5, 0), kDefaultTemplateStyle);

    auto captionOf = [](const std::string& caption) {
        const DialogTemplate made = BuildDialogTemplate(caption, 0, 0, 10, 10, 0, 0);
        return std::wstring(reinterpret_cast<const wchar_t*>(made.words + 11));
    };
    EXPECT_EQ(captionOf(std::string(300, 'x')), std::wstring(256, L'x'));
    EXPECT_EQ(captionOf(""), L" ");
    EXPECT_EQ(captionOf(std::string("ab\0cd", 5)), L"ab");
    if (GetACP() == 1252) {
        EXPECT_EQ(captionOf("\x80 Caf\xE9 \x93x\x94"), L"\u20AC Caf\u00E9 \u201Cx\u201D");
    }
}

TEST_F(DialogHost, WindowIsHiddenWithTheTemplateStyleCaptionFontAndPlace) {
    HWND main = CreateDialogWindow(nullptr, kMainDialogCaption, kMainDialogX, kMainDialogY, kMainDialogWidth,
                                   kMainDialogHeight, kMainDialogStyle, kMainDialogExStyle);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(main, GWL_STYLE)), kMainDialogTemplateStyle | WS_CLIPSIBLINGS);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(main, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    DestroyWindow(main);

    auto captionShown = [](const std::string& caption) {
        HWND dialog = CreateDialogWindow(nullptr, caption, 0, 0, 100, 50, 0, 0);
        char text[1024] = {};
        GetWindowTextA(dialog, text, sizeof text);
        DestroyWindow(dialog);
        return std::string(text);
    };
    EXPECT_EQ(captionShown(std::string(300, 'c')), std::string(256, 'c'));
    EXPECT_EQ(captionShown("\x80 Caf\xE9 \x93x\x94"), "\x80 Caf\xE9 \x93x\x94");

    HWND centred = CreateDialogWindow(nullptr, "Centred", -1, -1, 100, 50, WS_POPUP | WS_VISIBLE | DS_SYSMODAL, 0);
    RECT window{}, work{};
    GetWindowRect(centred, &window);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_FALSE(IsWindowVisible(centred));
    EXPECT_NEAR(window.left + window.right, work.left + work.right, 1);
    EXPECT_NEAR(window.top + window.bottom, work.top + work.bottom, 1);
    DestroyWindow(centred);
}

TEST_F(DialogHost, ControlsGetTheirKindsClassStylesPlaceAndFont) {
    struct Expected { ControlSpec spec; const char* className; DWORD style, exStyle; };
    constexpr DWORD kShownChild = WS_CHILD | WS_VISIBLE;
    const Expected controls[] = {
        {MainControl(IDC_KEYWORD1), "Edit", kShownChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
        // An edit box keeps a passed WS_BORDER to itself and draws it flat.
        {{ControlKind::EditBox, nullptr, 1, "", 5, 5, 9, 9, WS_BORDER | ES_AUTOHSCROLL, 0}, "Edit", kShownChild | ES_AUTOHSCROLL, 0},
        {MainControl(IDC_LABEL1), "Static", kShownChild | SS_LEFT, 0},
        {{ControlKind::Label, nullptr, 2, "c", 5, 5, 9, 9, SS_CENTER, WS_EX_STATICEDGE}, "Static", kShownChild | SS_CENTER, WS_EX_STATICEDGE},
        {MainControl(IDC_PASTE), "Button", kShownChild | WS_TABSTOP | BS_PUSHBUTTON, 0},
        {MainControl(IDC_QUOTES), "Button", kShownChild | WS_GROUP | WS_TABSTOP | BS_LEFT | BS_VCENTER | BS_AUTORADIOBUTTON, 0},
        {MainControl(IDC_BRACKETS), "Button", kShownChild | WS_TABSTOP | BS_AUTORADIOBUTTON, 0},
        {{ControlKind::OptionButton, nullptr, 3, "o", 5, 5, 9, 9, BS_CHECKBOX, 0}, "Button", kShownChild | BS_AUTORADIOBUTTON, 0},
        {{ControlKind::NamedClass, "NoSuchClass", 4, "", 5, 5, 9, 9, WS_CHILD, 0}, nullptr, 0, 0},
        {MainControl(IDC_SITELINK), "DialogHostProbe", kShownChild | WS_GROUP | WS_TABSTOP, 0},
        {{ControlKind::NamedClass, ProbeClass(), 5, "", 5, 5, 9, 9, WS_CHILD, WS_EX_STATICEDGE}, "DialogHostProbe", WS_CHILD, WS_EX_STATICEDGE},
        {MainControl(IDC_SUBSETS), "Button", kShownChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0},
        {{ControlKind::CheckBox, nullptr, 6, "c", 5, 5, 9, 9, WS_TABSTOP | BS_RADIOBUTTON | BS_RIGHT, 0}, "Button", kShownChild | WS_TABSTOP | BS_RIGHT | BS_AUTOCHECKBOX, 0},
    };
    HWND dialog = CreateTestDialog();
    const LRESULT dialogFont = SendMessageA(dialog, WM_GETFONT, 0, 0);
    for (const Expected& expected : controls) {
        SCOPED_TRACE(expected.spec.id);
        HWND control = AddControl(dialog, expected.spec);
        ASSERT_EQ(control != nullptr, expected.className != nullptr);
        if (!control) continue;  // and the next ones are still made
        char className[64] = {};
        GetClassNameA(control, className, sizeof className);
        EXPECT_STRCASEEQ(className, expected.className);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)), expected.style);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE)), expected.exStyle);
        EXPECT_EQ(GetDlgCtrlID(control), expected.spec.id);
        const ControlSpec& spec = expected.spec;
        RECT placed{}, wanted{spec.x, spec.y, spec.x + spec.width, spec.y + spec.height};
        GetWindowRect(control, &placed);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed), 2);
        MapDialogRect(dialog, &wanted);
        EXPECT_TRUE(EqualRect(&placed, &wanted));
        if (spec.kind != ControlKind::NamedClass) {
            EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), dialogFont);
        }
    }
    EXPECT_NE(LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), IDC_PASTE);
    const ControlSpec defaultButton{ControlKind::PushButton, nullptr, 1020, "OK", 5, 5, 9, 9, BS_DEFPUSHBUTTON, 0};
    EXPECT_EQ(GetWindowLongA(AddControl(dialog, defaultButton), GWL_STYLE), kShownChild | BS_DEFPUSHBUTTON);
    EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELONG(1020, DC_HASDEFID));
    DestroyWindow(dialog);
}

TEST_F(DialogHost, NamedClassControlHasTheDialogFontBeforeItsFirstPaint) {
    HWND dialog = CreateTestDialog();
    const WPARAM dialogFont = SendMessageA(dialog, WM_GETFONT, 0, 0);
    AddControl(dialog, MainControl(IDC_SITELINK));
    const std::vector<Call> byAddControl = Only(probeCalls, {WM_SETFONT, WM_PAINT});
    probeReact = [](HWND control, UINT message, WPARAM, LPARAM) {
        if (message == WM_PAINT) PostMessageA(GetParent(control), WM_SYSCOMMAND, SC_CLOSE, 0);
    };
    RunUntilClosed(dialog);
    const std::vector<Call> expected = {{WM_SETFONT, dialogFont, TRUE, false}};
    EXPECT_EQ(byAddControl, expected);
    const std::vector<Call> fontAndPaint = Only(probeCalls, {WM_SETFONT, WM_PAINT});
    ASSERT_GE(fontAndPaint.size(), 2u);
    EXPECT_EQ(std::get<0>(fontAndPaint[1]), static_cast<UINT>(WM_PAINT));
}

// One run driven from inside the loop: Escape and Enter in an edit box, a stray WM_CLOSE,
// callback results, then Alt+F4.
TEST_F(DialogHost, ModalRunShowsAfterTheOpeningCallsAndClosesOnlyOnSystemClose) {
    HWND dialog = CreateTestDialog();
    HWND edit = AddControl(dialog, MainControl(IDC_KEYWORD1));
    HWND label = AddControl(dialog, MainControl(IDC_LABEL1));
    RECT client{};
    GetClientRect(dialog, &client);
    HWND activeWhileRunning = nullptr;
    LRESULT colour = 0, handled = 0, storedByCallback = 0;
    react = [&](HWND, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_APP + 1) return 42;
        if (message == WM_APP + 2) return SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 7), TRUE;
        if (message != WM_APP) return 0;
        if (wParam == 1) {
            SetFocus(edit);
            PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageA(dialog, WM_CLOSE, 0, 0);
            PostMessageA(dialog, WM_APP, 2, 0);
        } else {
            activeWhileRunning = ActiveDialogWindow();
            HDC dc = GetDC(label);
            colour = SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
            ReleaseDC(label, dc);
            handled = SendMessageA(dialog, WM_APP + 1, 0, 0);
            storedByCallback = SendMessageA(dialog, WM_APP + 2, 0, 0);
            PostMessageA(edit, WM_SYSKEYDOWN, VK_F4, 0x203E0001);  // with Alt held
        }
        return 0;
    };
    PostMessageA(dialog, WM_APP, 1, 0);
    EXPECT_EQ(RunUntilClosed(dialog), 0);
    std::vector<Call> seen = Only(calls, {WM_INITDIALOG, WM_SIZE, WM_SHOWWINDOW, WM_ACTIVATE, WM_APP, WM_COMMAND,
                                          WM_CLOSE, WM_SYSCOMMAND, WM_DESTROY, WM_NCDESTROY});
    seen.erase(std::remove_if(seen.begin(), seen.end(), [](const Call& call) {
                   return std::get<0>(call) == WM_COMMAND && LOWORD(std::get<1>(call)) > IDCANCEL;  // edit box news
               }), seen.end());
    const std::vector<Call> expected = {
        {WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog), 0, false},
        {WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom), false},
        {WM_SHOWWINDOW, TRUE, 0, false},
        {WM_APP, 1, 0, true},
        {WM_COMMAND, IDCANCEL, 0, true},
        {WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0, true},
        {WM_CLOSE, 0, 0, true},
        {WM_APP, 2, 0, true},
        {WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0, true},  // the platform's answer to WM_CLOSE
        {WM_SYSCOMMAND, SC_CLOSE, 0, true},
        {WM_CLOSE, 0, 0, true},
        {WM_DESTROY, 0, 0, false},
        {WM_NCDESTROY, 0, 0, false},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(activeWhileRunning, dialog);
    EXPECT_EQ(ActiveDialogWindow(), nullptr);
    EXPECT_EQ(colour, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_3DFACE)));
    EXPECT_EQ(handled, 42);
    EXPECT_EQ(storedByCallback, 7);
}

TEST_F(DialogHost, ShowCommandFollowsTheRequestedStyle) {
    for (const auto& [requested, sizeType] : {std::pair<DWORD, WPARAM>{WS_MAXIMIZE, SIZE_MAXIMIZED}, {WS_MINIMIZE, SIZE_MINIMIZED}}) {
        const DWORD style = requested;
        calls.clear();
        HWND dialog = CreateTestDialog(nullptr, WS_POPUP | WS_CAPTION | WS_SYSMENU | style);
        bool shownThatWay = false;
        react = [&](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
            if (message == WM_APP) shownThatWay = style == WS_MAXIMIZE ? IsZoomed(dialog) : IsIconic(dialog);
            return 0;
        };
        PostMessageA(dialog, WM_APP, 0, 0);
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE | 3, 0);  // the low four bits are the platform's
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        RunUntilClosed(dialog);
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls[1], Call(WM_SIZE, sizeType, std::get<2>(calls[1]), false));
        EXPECT_TRUE(shownThatWay);
        EXPECT_EQ(Only(calls, {WM_SYSCOMMAND}).size(), 1u);
    }
}

TEST_F(DialogHost, OwnerIsDisabledWhileRunningIdledThenEnabledAndFocused) {
    HWND owner = CreateWindowExA(0, ProbeClass(), "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND dialog = CreateTestDialog(owner);
    bool enabledWhileIdle = true;
    probeReact = [&](HWND, UINT message, WPARAM, LPARAM) {
        if (message != WM_ENTERIDLE || Only(probeCalls, {WM_ENTERIDLE}).size() > 1) return;
        enabledWhileIdle = IsWindowEnabled(owner);
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    };
    EXPECT_EQ(RunUntilClosed(dialog), 0);
    std::vector<Call> seen = Only(probeCalls, {WM_CANCELMODE, WM_ENABLE, WM_ENTERIDLE});
    seen.erase(std::unique(seen.begin(), seen.end(), [](const Call& a, const Call& b) {
                   return a == b && std::get<0>(a) == WM_ENTERIDLE;  // may come more than once
               }), seen.end());
    const std::vector<Call> expected = {
        {WM_CANCELMODE, 0, 0, true},
        {WM_CANCELMODE, 0, 0, true},  // EnableWindow sends one more as it disables
        {WM_ENABLE, FALSE, 0, true},
        {WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(dialog), true},
        {WM_ENABLE, TRUE, 0, true},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(enabledWhileIdle);
    EXPECT_EQ(GetFocus(), owner);

    // Destroyed some other way, by the callback or by the owner's idle handler: the loop
    // still ends and the owner is usable again.
    HWND destroyedByCallback = CreateTestDialog(owner);
    react = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        return message == WM_APP && DestroyWindow(dialog);
    };
    PostMessageA(destroyedByCallback, WM_APP, 0, 0);
    EXPECT_EQ(RunUntilClosed(destroyedByCallback), -7);
    EXPECT_TRUE(IsWindowEnabled(owner));
    HWND destroyedWhileIdle = CreateTestDialog(owner);
    probeReact = [](HWND, UINT message, WPARAM, LPARAM lParam) {
        if (message == WM_ENTERIDLE) DestroyWindow(reinterpret_cast<HWND>(lParam));
    };
    RunUntilClosed(destroyedWhileIdle);
    EXPECT_FALSE(IsWindow(destroyedWhileIdle));
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST_F(DialogHost, IconsComeFromTheResourceAndGoWithTheWindow) {
    HWND dialog = CreateTestDialog();
    SetDialogIcon(dialog, "#999");
    EXPECT_EQ(IconOf(dialog, ICON_BIG), nullptr);
    EXPECT_EQ(IconOf(dialog, ICON_SMALL), nullptr);
    SetDialogIcon(dialog, "#102");
    const HICON firstBig = IconOf(dialog, ICON_BIG), firstSmall = IconOf(dialog, ICON_SMALL);
    EXPECT_EQ(IconSize(firstBig).cx, 32);
    EXPECT_EQ(IconSize(firstBig).cy, 32);
    EXPECT_EQ(IconSize(firstSmall).cx, 16);
    EXPECT_EQ(IconSize(firstSmall).cy, 16);
    SetDialogIcon(dialog, "#102");
    const HICON big = IconOf(dialog, ICON_BIG), small = IconOf(dialog, ICON_SMALL);
    EXPECT_EQ(IconSize(firstBig).cx, 0) << "a replaced icon is destroyed";
    EXPECT_EQ(IconSize(firstSmall).cx, 0);
    SetDialogIcon(dialog, "#999");
    EXPECT_EQ(IconOf(dialog, ICON_BIG), big);
    EXPECT_EQ(IconSize(big).cx, 32);
    DestroyWindow(dialog);
    EXPECT_EQ(IconSize(big).cx, 0);
    EXPECT_EQ(IconSize(small).cx, 0);
}

TEST_F(DialogHost, FailedCreationGivesNullAndOnlyTheOpeningCalls) {
    HWND notAWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7FFE));
    ASSERT_FALSE(IsWindow(notAWindow));
    HWND dialog = CreateDialogWindow(notAWindow, "Test", 10, 10, 100, 50, 0, 0);
    EXPECT_EQ(dialog, nullptr);
    EXPECT_EQ(AddControl(dialog, {ControlKind::Label, nullptr, 1, "x", 0, 0, 9, 9, 0, 0}), nullptr);
    SetDialogIcon(dialog, "#102");
    EXPECT_EQ(RunUntilClosed(dialog), -7);
    const std::vector<Call> expected = {{WM_INITDIALOG, 0, 0, false}, {WM_SIZE, SIZE_RESTORED, 0, false}};
    EXPECT_EQ(calls, expected);

    // Closed by the callback during the opening calls: never shown.
    HWND closedEarly = CreateTestDialog();
    react = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) EndDialogWithResult(dialog, 3);
        return 0;
    };
    EXPECT_EQ(RunUntilClosed(closedEarly), -7);
    EXPECT_FALSE(IsWindow(closedEarly));
    EXPECT_TRUE(Only(calls, {WM_SHOWWINDOW}).empty());
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST_F(DialogHost, ManyRunsLeaveGdiObjectsWindowsAndHeapsWhereTheyWere) {
    auto runOnce = [] {
        HWND dialog = CreateDialogWindow(nullptr, kMainDialogCaption, kMainDialogX, kMainDialogY, kMainDialogWidth,
                                         kMainDialogHeight, kMainDialogStyle, kMainDialogExStyle);
        for (const ControlSpec& control : kMainDialogControls) {
            if (control.kind != ControlKind::NamedClass) AddControl(dialog, control);
        }
        SetDialogIcon(dialog, kMainDialogIcon);
        SetDialogIcon(dialog, kMainDialogIcon);
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        int result = 0;
        RunDialogModal(dialog, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return 0; }, &result);
    };
    auto threadWindows = [] {
        int count = 0;
        EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
        return count;
    };
    runOnce();  // the platform's caches fill on the first run
    const int gdiBefore = LiveGdiObjects(), windowsBefore = threadWindows();
    const SIZE_T heapBefore = HeapBytesInUse();
    ASSERT_GT(gdiBefore, 0) << "the handle table cannot be read";
    for (int run = 0; run < 300; ++run) runOnce();
    EXPECT_EQ(LiveGdiObjects(), gdiBefore);
    EXPECT_EQ(threadWindows(), windowsBefore);
    // Not the private-bytes counter: under Wine it grows with every icon loaded and
    // destroyed, by the platform calls alone.
    EXPECT_LE(HeapBytesInUse(), heapBefore + 1024);
}

}  // namespace
