#pragma once
// The link label: a window class that draws its text like a web link (blue, underlined,
// red with a hand pointer while hovered) and posts a button-style WM_COMMAND to its parent
// on every left-button press.

#include <windows.h>

// Per-window state, hung off the window's user-data slot from WM_NCCREATE to WM_DESTROY.
struct LinkLabelState {
    HBRUSH backBrush;      // solid brush of backColor; owned
    HFONT linkFont;        // underlined copy of the font given by WM_SETFONT; owned
    COLORREF backColor;    // COLOR_BTNFACE as read at WM_CREATE
    COLORREF textColor;    // blue normally, red while hovered
    UINT_PTR hoverTimerId; // 0 while no hover timer runs
    LONG hotWidth;         // the hot area starts at the client origin, measured at WM_SETFONT
    LONG hotHeight;
};

// Where the state blocks come from; CoTaskMemAlloc unless a test swaps it to provoke
// an allocation failure. Blocks are always released with CoTaskMemFree.
using LinkLabelStateAllocator = LPVOID(WINAPI*)(SIZE_T size);
extern LinkLabelStateAllocator linkLabelStateAllocator;

// Loads the cursors and registers the class "QXHL32"; the class atom, 0 on failure.
ATOM RegisterLinkLabelClass();

LRESULT CALLBACK LinkLabelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
