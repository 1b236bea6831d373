#include "controls/link_label.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/support/win_test_support.h"

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr int kLabelId = 1012;
constexpr int kLabelWidth = 240;
constexpr char kLabelText[] = "Freeware from example.com";
// Where the real pointer waits, so that it sends the test windows no mouse messages.
constexpr POINT kFarAway{1000, 740};

std::vector<MSG> commandsToParent;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) commandsToParent.push_back({window, message, wParam, lParam, 0, {}});
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateParent() {
    WNDCLASSA parentClass{};
    parentClass.lpfnWndProc = ParentProc;
    parentClass.hInstance = GetModuleHandleA(nullptr);
    // Not the label's face colour, so that only the label's own erasing paints that.
    parentClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    parentClass.lpszClassName = "LinkLabelTestParent";
    RegisterClassA(&parentClass);
    return CreateWindowExA(0, "LinkLabelTestParent", "", WS_POPUP | WS_VISIBLE, 100, 100, 320, 60,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// A top-level label (no parent) gets no identifier: its HMENU would be taken for a menu.
HWND CreateLabel(HWND parent, int width = kLabelWidth) {
    const DWORD style = parent ? 0x50030000 : WS_POPUP;  // child: WS_VISIBLE|WS_GROUP|WS_TABSTOP
    return CreateWindowExA(0, "QXHL32", kLabelText, style, 10, 10, width, 20, parent,
                           parent ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelId)) : nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

LinkLabelState* StateOf(HWND label) {
    return reinterpret_cast<LinkLabelState*>(GetWindowLongPtrA(label, GWLP_USERDATA));
}

// The client area as shown, row by row.
struct Pixels {
    int width;
    std::vector<COLORREF> colors;

    int Count(COLORREF color) const { return std::count(colors.begin(), colors.end(), color); }
    // An underline fills most of one row.
    int WidestRow(COLORREF color) const {
        int widest = 0;
        for (auto row = colors.begin(); row != colors.end(); row += width) {
            widest = std::max<int>(widest, std::count(row, row + width, color));
        }
        return widest;
    }
};

Pixels Capture(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    Pixels pixels{client.right, {}};
    HDC dc = GetDC(window);
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) pixels.colors.push_back(GetPixel(dc, x, y));
    }
    ReleaseDC(window, dc);
    return pixels;
}

// A posted WM_COMMAND waits in the queue as soon as PostMessage returns.
std::vector<MSG> TakePostedCommands(HWND parent) {
    std::vector<MSG> commands;
    for (MSG message; PeekMessageA(&message, parent, WM_COMMAND, WM_COMMAND, PM_REMOVE);) {
        commands.push_back(message);
    }
    return commands;
}

InstalledHook HookThisThread(int type, HOOKPROC proc) {
    return InstalledHook(SetWindowsHookExA(type, proc, nullptr, GetCurrentThreadId()));
}

HWND watched;
std::vector<UINT> retrievedByWatched;  // messages the watched window took from the queue
LONG_PTR slotAtDestroy = -1;
LONG_PTR slotAtNcDestroy = -1;

LRESULT CALLBACK RecordRetrieved(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message->hwnd == watched) {
        retrievedByWatched.push_back(message->message);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int Retrieved(UINT message) {
    return std::count(retrievedByWatched.begin(), retrievedByWatched.end(), message);
}

// Runs before the window procedure, so it sees the slot as the previous message left it.
LRESULT CALLBACK RecordSlotOnDestroy(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == watched) {
        if (sent->message == WM_DESTROY) slotAtDestroy = GetWindowLongPtrA(watched, GWLP_USERDATA);
        if (sent->message == WM_NCDESTROY) slotAtNcDestroy = GetWindowLongPtrA(watched, GWLP_USERDATA);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int allocationAttempts = 0;

LPVOID WINAPI RefuseAllocation(SIZE_T) {
    ++allocationAttempts;
    return nullptr;
}

// Wine's GetGuiResources counts no GDI objects at all, so DCs are counted by pointing this
// executable's import slots (used by the control's code) at counting wrappers.
int acquiredDCs = 0;
int heldDCs = 0;
decltype(&GetDC) realGetDC;
decltype(&ReleaseDC) realReleaseDC;
decltype(&BeginPaint) realBeginPaint;
decltype(&EndPaint) realEndPaint;
HDC WINAPI CountedGetDC(HWND window) {
    HDC dc = realGetDC(window);
    acquiredDCs += dc != nullptr;
    heldDCs += dc != nullptr;
    return dc;
}
int WINAPI CountedReleaseDC(HWND window, HDC dc) {
    const int released = realReleaseDC(window, dc);
    heldDCs -= released;
    return released;
}
HDC WINAPI CountedBeginPaint(HWND window, PAINTSTRUCT* paint) {
    HDC dc = realBeginPaint(window, paint);
    acquiredDCs += dc != nullptr;
    heldDCs += dc != nullptr;
    return dc;
}
BOOL WINAPI CountedEndPaint(HWND window, const PAINTSTRUCT* paint) {
    --heldDCs;
    return realEndPaint(window, paint);
}

// Points the executable's import slot of the named function at the target; the old target.
template <typename Function>
Function RedirectImport(const char* name, Function target) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports); dll->Name; ++dll) {
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
            DWORD protection = 0;
            VirtualProtect(&slots->u1.Function, sizeof(ULONG_PTR), PAGE_READWRITE, &protection);
            const auto previous = reinterpret_cast<Function>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(target);
            VirtualProtect(&slots->u1.Function, sizeof(ULONG_PTR), protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

class LinkLabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterLinkLabelClass();
        commandsToParent.clear();
        retrievedByWatched.clear();
        SetCursorPos(kFarAway.x, kFarAway.y);
        parent = CreateParent();
        font = CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma");
        label = CreateLabel(parent);
        ASSERT_NE(label, nullptr);
        SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        UpdateWindow(parent);
        state = StateOf(label);
        ASSERT_NE(state, nullptr);
        ASSERT_LT(state->hotWidth + 10, kLabelWidth);
    }
    void TearDown() override {
        DestroyWindow(parent);
        DeleteObject(font);
    }

    LPARAM InsideText() const { return MAKELPARAM(state->hotWidth / 2, state->hotHeight / 2); }
    LPARAM RightOfText() const { return MAKELPARAM(state->hotWidth + 10, state->hotHeight / 2); }
    POINT OnScreen(LPARAM point) const {
        POINT screen{LOWORD(point), HIWORD(point)};
        ClientToScreen(label, &screen);
        return screen;
    }

    HWND parent = nullptr;
    HFONT font = nullptr;  // not antialiased: every text pixel has exactly the text colour
    HWND label = nullptr;
    LinkLabelState* state = nullptr;
};

TEST_F(LinkLabelTest, StateAndUnderlinedFontAfterCreation) {
    EXPECT_EQ(state->textColor, kBlue);
    EXPECT_EQ(state->backColor, GetSysColor(COLOR_BTNFACE));
    LOGBRUSH brush{};
    ASSERT_EQ(GetObjectA(state->backBrush, sizeof brush, &brush), static_cast<int>(sizeof brush));
    EXPECT_EQ(brush.lbColor, state->backColor);
    EXPECT_EQ(state->hoverTimerId, 0u);

    LOGFONTA given{}, underlined{};
    GetObjectA(font, sizeof given, &given);
    GetObjectA(state->linkFont, sizeof underlined, &underlined);
    EXPECT_EQ(underlined.lfUnderline, 1);
    EXPECT_EQ(underlined.lfHeight, given.lfHeight);
    EXPECT_STREQ(underlined.lfFaceName, given.lfFaceName);

    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, state->linkFont);
    SIZE extent{};
    GetTextExtentPoint32A(screen, kLabelText, sizeof kLabelText - 1, &extent);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(state->hotWidth, extent.cx);
    EXPECT_EQ(state->hotHeight, std::min(20L, extent.cy));

    // The next font replaces the underlined copy, which is deleted; the given one is only lent.
    const HFONT firstCopy = state->linkFont;
    EXPECT_EQ(SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE), 0);
    EXPECT_EQ(GetObjectType(firstCopy), 0u);
    EXPECT_EQ(GetObjectType(state->linkFont), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));

    // A text wider than the control: the hot area ends at the control's right edge.
    HWND narrow = CreateLabel(parent, 40);
    SendMessageA(narrow, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EXPECT_EQ(StateOf(narrow)->hotWidth, 40);
}

TEST_F(LinkLabelTest, PaintsBlueRedOrBlackAsPointerAndEnablingChange) {
    ASSERT_NE(GetSysColor(COLOR_WINDOW), state->backColor);
    const Pixels normal = Capture(label);
    const int textPixels = normal.Count(kBlue);
    ASSERT_GT(textPixels, 0);
    EXPECT_EQ(normal.Count(state->backColor) + textPixels, static_cast<int>(normal.colors.size()));
    EXPECT_GE(normal.WidestRow(kBlue), state->hotWidth * 9 / 10);

    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    SendMessageA(label, WM_MOUSEMOVE, 0, InsideText());
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
    UpdateWindow(label);
    const Pixels hovered = Capture(label);
    EXPECT_EQ(hovered.Count(kRed), textPixels);  // drawn over the blue, which is all covered
    EXPECT_EQ(hovered.Count(kBlue), 0);

    // Disabling repaints at once, black and not underlined; the hover state stays.
    EnableWindow(label, FALSE);
    const Pixels disabled = Capture(label);
    EXPECT_GT(disabled.Count(kBlack), 0);
    EXPECT_EQ(disabled.Count(kBlack) + disabled.Count(state->backColor), static_cast<int>(disabled.colors.size()));
    EXPECT_LT(disabled.WidestRow(kBlack), state->hotWidth / 2);
    EnableWindow(label, TRUE);
    EXPECT_EQ(Capture(label).Count(kRed), textPixels);

    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    SendMessageA(label, WM_MOUSEMOVE, 0, RightOfText());
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(state->hoverTimerId, 0u);
    EXPECT_FALSE(KillTimer(label, 1));  // already stopped
    UpdateWindow(label);
    EXPECT_EQ(Capture(label).Count(kBlue), textPixels);
}

TEST_F(LinkLabelTest, HoverTimerRestoresBlueAfterPointerJumpsAway) {
    watched = label;
    const InstalledHook hook = HookThisThread(WH_GETMESSAGE, RecordRetrieved);
    const POINT overText = OnScreen(InsideText());
    SetCursorPos(overText.x, overText.y);
    SendMessageA(label, WM_MOUSEMOVE, 0, InsideText());
    EXPECT_EQ(state->hoverTimerId, 1u);
    // While the pointer stays over the text the timer keeps running and the text stays red.
    ASSERT_TRUE(PumpUntil([] { return Retrieved(WM_TIMER) >= 3; }, 5000));
    EXPECT_EQ(state->textColor, kRed);

    // A jump off the control brings no WM_MOUSEMOVE outside the text; the timer notices.
    const int ticksBeforeJump = Retrieved(WM_TIMER);
    SetCursorPos(kFarAway.x, kFarAway.y);
    ASSERT_TRUE(PumpUntil([&] { return state->textColor == kBlue; }, 5000));
    EXPECT_GT(Retrieved(WM_TIMER), ticksBeforeJump);
    EXPECT_EQ(state->hoverTimerId, 0u);
    EXPECT_FALSE(KillTimer(label, 1));  // already stopped
    UpdateWindow(label);
    EXPECT_EQ(Capture(label).Count(kRed), 0);
}

TEST_F(LinkLabelTest, EveryLeftPressPostsOneCommandToParent) {
    // Outside the hot area still counts; no capture is taken; releasing does nothing.
    EXPECT_EQ(SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, RightOfText()), 0);
    EXPECT_NE(GetCapture(), label);
    SendMessageA(label, WM_LBUTTONUP, 0, RightOfText());
    std::vector<MSG> commands = TakePostedCommands(parent);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(kLabelId, 0));
    EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(label));

    // A real double click: the class takes no double clicks, so it is two presses.
    watched = label;
    const InstalledHook hook = HookThisThread(WH_GETMESSAGE, RecordRetrieved);
    const POINT rightOfText = OnScreen(RightOfText());
    SetCursorPos(rightOfText.x, rightOfText.y);
    INPUT clicks[4] = {};
    for (int i = 0; i < 4; ++i) {
        clicks[i].type = INPUT_MOUSE;
        clicks[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    }
    ASSERT_EQ(SendInput(4, clicks, sizeof(INPUT)), 4u);
    // Posted messages come before input, so both commands are in by the second release.
    ASSERT_TRUE(PumpUntil([] { return Retrieved(WM_LBUTTONUP) == 2; }, 5000));
    EXPECT_EQ(Retrieved(WM_LBUTTONDBLCLK), 0);
    ASSERT_EQ(commandsToParent.size(), 2u);
    EXPECT_EQ(commandsToParent[1].wParam, MAKEWPARAM(kLabelId, 0));
    EXPECT_EQ(commandsToParent[1].lParam, reinterpret_cast<LPARAM>(label));
}

TEST_F(LinkLabelTest, StateLivesFromCreationToDestroyOnly) {
    SendMessageA(label, WM_MOUSEMOVE, 0, InsideText());  // with the hover timer running
    const HFONT linkFont = state->linkFont;
    const HBRUSH backBrush = state->backBrush;
    watched = label;
    {
        const InstalledHook hook = HookThisThread(WH_CALLWNDPROC, RecordSlotOnDestroy);
        ASSERT_TRUE(DestroyWindow(label));
    }
    EXPECT_EQ(slotAtDestroy, reinterpret_cast<LONG_PTR>(state));
    EXPECT_EQ(slotAtNcDestroy, 0);
    EXPECT_EQ(GetObjectType(linkFont), 0u);
    EXPECT_EQ(GetObjectType(backBrush), 0u);

    // Without a state block there is no control; top-level windows get WM_GETMINMAXINFO first.
    const LinkLabelStateAllocator saved = linkLabelStateAllocator;
    linkLabelStateAllocator = RefuseAllocation;
    HWND refusedChild = CreateLabel(parent);
    HWND refusedTopLevel = CreateLabel(nullptr);
    linkLabelStateAllocator = saved;
    EXPECT_EQ(refusedChild, nullptr);
    EXPECT_EQ(refusedTopLevel, nullptr);
    EXPECT_EQ(allocationAttempts, 2);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);

    HWND topLevel = CreateLabel(nullptr);
    ASSERT_NE(topLevel, nullptr);
    EXPECT_EQ(StateOf(topLevel)->textColor, kBlue);
    DestroyWindow(topLevel);
}

TEST_F(LinkLabelTest, PaintsBeforeAnyFontAndWithAnUndescribableOne) {
    MoveWindow(label, 10, 32, kLabelWidth, 20, TRUE);  // out of the way of the new one
    HWND fontless = CreateLabel(parent);
    UpdateWindow(parent);
    EXPECT_GT(Capture(fontless).Count(kBlue), 0);  // in the DC's own font
    LinkLabelState* fontlessState = StateOf(fontless);
    EXPECT_EQ(fontlessState->hotWidth, 0);
    SendMessageA(fontless, WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
    EXPECT_EQ(fontlessState->textColor, kBlue);

    // A null font: an underlined default font, and the DC's own font when disabled.
    SendMessageA(fontless, WM_SETFONT, 0, FALSE);
    LOGFONTA underlined{};
    GetObjectA(fontlessState->linkFont, sizeof underlined, &underlined);
    EXPECT_EQ(underlined.lfUnderline, 1);
    EXPECT_GT(fontlessState->hotWidth, 0);
    EnableWindow(fontless, FALSE);
    EXPECT_GT(Capture(fontless).Count(kBlack), 0);
}

TEST_F(LinkLabelTest, NoGdiObjectsOrDCsLeftAfterManyCycles) {
    realGetDC = RedirectImport("GetDC", &CountedGetDC);
    realReleaseDC = RedirectImport("ReleaseDC", &CountedReleaseDC);
    realBeginPaint = RedirectImport("BeginPaint", &CountedBeginPaint);
    realEndPaint = RedirectImport("EndPaint", &CountedEndPaint);
    ASSERT_TRUE(realGetDC && realReleaseDC && realBeginPaint && realEndPaint);
    int objectsLeft = 0;
    for (int cycle = 0; cycle < 300; ++cycle) {
        HWND cycled = CreateLabel(parent);
        SendMessageA(cycled, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        const HFONT replaced = StateOf(cycled)->linkFont;
        SendMessageA(cycled, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageA(cycled, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
        EnableWindow(cycled, FALSE);  // paints at once
        EnableWindow(cycled, TRUE);
        const HFONT linkFont = StateOf(cycled)->linkFont;
        const HBRUSH backBrush = StateOf(cycled)->backBrush;
        DestroyWindow(cycled);  // hovered, so with its timer running
        objectsLeft += (GetObjectType(replaced) != 0) + (GetObjectType(linkFont) != 0) + (GetObjectType(backBrush) != 0);
    }
    RedirectImport("GetDC", realGetDC);
    RedirectImport("ReleaseDC", realReleaseDC);
    RedirectImport("BeginPaint", realBeginPaint);
    RedirectImport("EndPaint", realEndPaint);
    EXPECT_EQ(objectsLeft, 0);
    EXPECT_GE(acquiredDCs, 300 * 3);  // measuring twice and painting at least once per cycle
    EXPECT_EQ(heldDCs, 0);
}

}  // namespace
