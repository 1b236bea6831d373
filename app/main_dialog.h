#pragma once
// Varnholt's one window: its controls, their initial states and its command routing.

#include <windows.h>

// Builds the main dialog hidden, with its icons, controls and initial states; null when the
// platform refuses the window.
HWND BuildMainDialog(HWND parent);

// Builds the main dialog, runs it modally until it is closed and returns its end result.
int CreateMainDialog(HWND parent);

// The main dialog's callback: the paste button generates, the link opens the site,
// everything else is left to the defaults (it always returns 0).
INT_PTR MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
