#include "controls/link_label.h"

#include <objbase.h>

#include <algorithm>

#include "controls/gdi_guards.h"

LinkLabelStateAllocator linkLabelStateAllocator = CoTaskMemAlloc;

namespace {

constexpr char kClassName[] = "QXHL32";
constexpr UINT_PTR kHoverTimerId = 1;
constexpr UINT kHoverTimerIntervalMs = 100;
constexpr COLORREF kNormalColor = RGB(0, 0, 255);
constexpr COLORREF kHoverColor = RGB(255, 0, 0);
constexpr COLORREF kDisabledColor = RGB(0, 0, 0);
constexpr UINT kEnableRedrawFlags = RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | RDW_UPDATENOW;

HCURSOR arrowCursor;
HCURSOR handCursor;
// The font of the latest WM_SETFONT to any link label: lent by its sender, never deleted here.
HFONT plainFont;

// Only the first 255 characters are measured and drawn.
struct LabelText {
    char chars[256];
};

LabelText ReadLabelText(HWND window) {
    LabelText text{};
    GetWindowTextA(window, text.chars, sizeof text.chars);
    return text;
}

LinkLabelState* StateOf(HWND window) {
    return reinterpret_cast<LinkLabelState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void ReleaseState(HWND window, LinkLabelState* state) {
    // Cleared first, so that the messages still to come find no state to touch.
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (state->linkFont) DeleteObject(state->linkFont);
    if (state->backBrush) DeleteObject(state->backBrush);
    if (state->hoverTimerId) KillTimer(window, state->hoverTimerId);
    CoTaskMemFree(state);
}

// Without a state block the control cannot work, so the window is not created at all.
LRESULT CreateState(HWND window, WPARAM wParam, LPARAM lParam) {
    auto* state = static_cast<LinkLabelState*>(linkLabelStateAllocator(sizeof(LinkLabelState)));
    if (!state) return FALSE;
    *state = LinkLabelState{};
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    if (DefWindowProcA(window, WM_NCCREATE, wParam, lParam)) return TRUE;
    // The creation fails now and no WM_DESTROY will come to release the block.
    ReleaseState(window, state);
    return FALSE;
}

void InitState(LinkLabelState& state) {
    state.textColor = kNormalColor;
    state.backColor = GetSysColor(COLOR_BTNFACE);
    state.backBrush = CreateSolidBrush(state.backColor);
}

void MeasureHotArea(HWND window, LinkLabelState& state) {
    const LabelText text = ReadLabelText(window);
    WindowDC dc(window);
    SelectedObject font(dc, state.linkFont);
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.chars, lstrlenA(text.chars), &extent);
    RECT client{};
    GetClientRect(window, &client);
    state.hotWidth = std::min(client.right, extent.cx);
    state.hotHeight = std::min(client.bottom, extent.cy);
}

// A handle GetObjectA cannot describe leaves the description zero: an underlined default font.
void TakeFont(HWND window, LinkLabelState& state, HFONT font) {
    plainFont = font;
    LOGFONTA description{};
    GetObjectA(font, sizeof description, &description);
    description.lfUnderline = TRUE;
    if (state.linkFont) DeleteObject(state.linkFont);
    state.linkFont = CreateFontIndirectA(&description);
    MeasureHotArea(window, state);
}

// The text and its place stay the same, so the new colour is drawn over the old one.
void Recolor(HWND window, LinkLabelState& state, COLORREF color) {
    state.textColor = color;
    InvalidateRect(window, nullptr, FALSE);
}

void EndHover(HWND window, LinkLabelState& state) {
    Recolor(window, state, kNormalColor);
    if (state.hoverTimerId) KillTimer(window, state.hoverTimerId);
    state.hoverTimerId = 0;
}

void TrackHover(HWND window, LinkLabelState& state, LPARAM position) {
    const LONG x = LOWORD(position);
    const LONG y = HIWORD(position);
    if (x < state.hotWidth && y < state.hotHeight) {
        SetCursor(handCursor);
        if (state.textColor == kHoverColor) return;
        Recolor(window, state, kHoverColor);
        // The timer notices a pointer that left too fast for a WM_MOUSEMOVE outside.
        state.hoverTimerId = SetTimer(window, kHoverTimerId, kHoverTimerIntervalMs, nullptr);
    } else {
        SetCursor(arrowCursor);
        if (state.textColor != kNormalColor) EndHover(window, state);
    }
}

void CheckHover(HWND window, LinkLabelState& state) {
    POINT pointer{};
    RECT frame{};
    GetCursorPos(&pointer);
    GetWindowRect(window, &frame);
    const bool overText = pointer.x >= frame.left && pointer.x < frame.left + state.hotWidth &&
                          pointer.y >= frame.top && pointer.y < frame.top + state.hotHeight;
    if (!overText) EndHover(window, state);
}

// Reported like a push button's click (notification code 0), posted so that the parent
// acts once the press has been handled.
void PostClick(HWND window) {
    const HWND parent = reinterpret_cast<HWND>(GetWindowLongPtrA(window, GWLP_HWNDPARENT));
    const WORD id = LOWORD(GetWindowLongPtrA(window, GWLP_ID));
    PostMessageA(parent, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(window));
}

LRESULT EraseBackground(HWND window, const LinkLabelState& state, HDC dc) {
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, state.backBrush);
    return 1;
}

// Before any WM_SETFONT there is no font of ours, and the DC's own font draws the text.
void Paint(HWND window, const LinkLabelState& state) {
    const LabelText text = ReadLabelText(window);
    PaintDC dc(window);
    const bool enabled = IsWindowEnabled(window);
    SelectedObject font(dc, enabled ? state.linkFont : plainFont);
    RECT client{};
    GetClientRect(window, &client);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? state.textColor : kDisabledColor);
    DrawTextA(dc, text.chars, -1, &client, DT_SINGLELINE);
}

}  // namespace

ATOM RegisterLinkLabelClass() {
    arrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    handCursor = LoadCursorA(nullptr, IDC_HAND);
    if (!handCursor) handCursor = arrowCursor;

    WNDCLASSA linkLabelClass{};
    linkLabelClass.style = CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS;
    linkLabelClass.lpfnWndProc = LinkLabelWndProc;
    linkLabelClass.hInstance = GetModuleHandleA(nullptr);
    // No class cursor: the control sets the pointer itself on every WM_MOUSEMOVE.
    linkLabelClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    linkLabelClass.lpszClassName = kClassName;
    return RegisterClassA(&linkLabelClass);
}

LRESULT CALLBACK LinkLabelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) return CreateState(window, wParam, lParam);
    LinkLabelState* state = StateOf(window);
    // Messages before WM_NCCREATE or after WM_DESTROY have no state to work on.
    if (!state) return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE: InitState(*state); break;
    case WM_SETFONT: TakeFont(window, *state, reinterpret_cast<HFONT>(wParam)); return 0;
    case WM_MOUSEMOVE: TrackHover(window, *state, lParam); break;
    case WM_LBUTTONDOWN: PostClick(window); return 0;
    case WM_TIMER: CheckHover(window, *state); return 0;
    case WM_ENABLE: RedrawWindow(window, nullptr, nullptr, kEnableRedrawFlags); break;
    case WM_PAINT: Paint(window, *state); return 0;
    case WM_ERASEBKGND: return EraseBackground(window, *state, reinterpret_cast<HDC>(wParam));
    case WM_DESTROY: ReleaseState(window, state); break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
