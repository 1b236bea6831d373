#pragma once
// The dialog host layer: dialogs built from in-memory templates, their controls, icons,
// and a modal loop of the program's own that hands the dialog's messages to a callback.

#include <windows.h>

#include <string>

// The callback sees the dialog's messages (all but WM_ACTIVATE). Nonzero: handled;
// 0: the layer's and the platform's defaults apply.
using DialogCallback = INT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

enum class ControlKind { EditBox, Label, PushButton, OptionButton, CheckBox, NamedClass };

// One control as its creator describes it. Positions and sizes are dialog units;
// style 0 means the kind's default; className is used by NamedClass only.
struct ControlSpec {
    ControlKind kind;
    const char* className;
    int id;
    const char* text;
    int x, y, width, height;
    DWORD style;
    DWORD exStyle;
};

// Creates the dialog hidden and modeless; null when the platform refuses it.
// x or y of -1 centres it.
HWND CreateDialogWindow(HWND parent, const std::string& caption, int x, int y, int width,
                        int height, DWORD style, DWORD exStyle);

// Creates the control with the kind's style rules and gives it the dialog's font.
HWND AddControl(HWND dialog, const ControlSpec& control);

// Loads the icon resource at 32x32 and 16x16 as the window's big and small icon.
void SetDialogIcon(HWND dialog, const char* resourceName);

// Calls the callback with WM_INITDIALOG and WM_SIZE, shows the dialog and runs its messages
// until the window is gone; the end result lands in *result.
void RunDialogModal(HWND dialog, DialogCallback callback, int* result);

// Closes the dialog: WM_CLOSE to the callback, the result stored, the window destroyed.
void EndDialogWithResult(HWND dialog, int result);

INT_PTR CALLBACK DialogHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
