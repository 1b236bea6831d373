#pragma once
// The dialog host layer: dialogs built from in-memory templates, their controls, icons,
// and a modal loop of the program's own that hands the dialog's messages to a callback.

#include <windows.h>

#include <cstddef>
#include <string_view>

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

// Longest caption the template carries, in characters; longer ones are cut.
constexpr std::size_t kMaxDialogCaption = 256;

// The in-memory template CreateDialogWindow hands to the platform, as 16-bit words: the
// DLGTEMPLATE header, no menu, the dialog class, the caption and the font ("MS Sans Serif"
// 8). The words start on a DWORD boundary, as the platform requires.
struct DialogTemplate {
    static constexpr std::size_t kCapacity = 9 + 2 + kMaxDialogCaption + 1 + 1 + 14;
    alignas(DWORD) WORD words[kCapacity];
    std::size_t size;  // words in use
};

// The template for these values: style 0 stands for a captioned pop-up with a modal frame;
// the font bits are always set, WS_VISIBLE and DS_SYSMODAL never (the window is created
// hidden); x or y of -1 centres the dialog. The caption ends at its first NUL byte and is
// read in the system code page; an empty one becomes a single blank.
DialogTemplate BuildDialogTemplate(std::string_view caption, int x, int y, int width,
                                   int height, DWORD style, DWORD exStyle);

// Creates the dialog hidden and modeless; null when the platform refuses it.
// x or y of -1 centres it.
HWND CreateDialogWindow(HWND parent, std::string_view caption, int x, int y, int width,
                        int height, DWORD style, DWORD exStyle);

// Creates the control with the kind's style rules and gives it the dialog's font.
// Null when the control cannot be created (for example an unregistered class).
HWND AddControl(HWND dialog, const ControlSpec& control);

// Loads the icon resource at 32x32 and 16x16 as the window's big and small icon; the
// window owns them until it is destroyed. A missing resource leaves the icons as they are.
void SetDialogIcon(HWND dialog, const char* resourceName);

// Calls the callback with WM_INITDIALOG and WM_SIZE, shows the dialog and runs its messages
// until the window is gone; the end result lands in *result. An owner window is disabled
// while the dialog runs.
void RunDialogModal(HWND dialog, DialogCallback callback, int* result);

// Closes the dialog: WM_CLOSE to the callback, the result stored, the window destroyed.
void EndDialogWithResult(HWND dialog, int result);

// The process's active dialog (the last one this layer saw activated), or null.
HWND ActiveDialogWindow();

// The dialogs' dialog procedure: hands every message but WM_ACTIVATE to the attached callback
// and, when the callback leaves it, closes the dialog on the system Close command only.
INT_PTR CALLBACK DialogHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
