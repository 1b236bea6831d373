#include "dialog/dialog_host.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

#include "support/handle_guard.h"

namespace {

constexpr DWORD kDefaultDialogStyle =
    WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK;
constexpr DWORD kAddedDialogStyle = DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK;
constexpr DWORD kRemovedDialogStyle = WS_VISIBLE | DS_SYSMODAL;
constexpr WORD kFontPointSize = 8;
constexpr char kFontFace[] = "MS Sans Serif";
constexpr int kCentred = -1;

using OwnedIcon = HandleGuard<HICON, DestroyIcon>;

// What the layer keeps for each of its dialogs, in the dialog's DWLP_USER slot from
// creation until WM_NCDESTROY.
struct DialogRecord {
    DialogCallback callback = nullptr;  // attached by RunDialogModal
    int* result = nullptr;              // RunDialogModal's result slot
    int showCommand = SW_SHOW;
    HFONT font = nullptr;  // made and freed by the platform; lent to the controls
    OwnedIcon bigIcon;
    OwnedIcon smallIcon;
};

// Records live in the C library's heap: new and delete would bring the C++ runtime's
// allocation functions into the program for this one use.
void FreeRecord(DialogRecord* record) {
    record->~DialogRecord();
    std::free(record);
}
using OwnedRecord = HandleGuard<DialogRecord*, FreeRecord>;

OwnedRecord NewRecord() {
    void* memory = std::malloc(sizeof(DialogRecord));
    return OwnedRecord(memory ? new (memory) DialogRecord : nullptr);
}

HWND activeDialog = nullptr;

// Only windows running DialogHostProc carry a record; any other window's DWLP_USER slot
// belongs to someone else.
DialogRecord* FindRecord(HWND dialog) {
    if (!dialog || reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC)) != DialogHostProc) {
        return nullptr;
    }
    return reinterpret_cast<DialogRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

HWND OwnerOf(HWND dialog) {
    return reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, GWLP_HWNDPARENT));
}

void Append(DialogTemplate& dialogTemplate, WORD word) {
    dialogTemplate.words[dialogTemplate.size++] = word;
}

void AppendDword(DialogTemplate& dialogTemplate, DWORD value) {
    Append(dialogTemplate, LOWORD(value));
    Append(dialogTemplate, HIWORD(value));
}

DWORD TemplateStyle(DWORD requested, int x, int y) {
    DWORD style = (requested ? requested : kDefaultDialogStyle) | kAddedDialogStyle;
    style &= ~kRemovedDialogStyle;
    if (x == kCentred || y == kCentred) style |= DS_CENTER;
    return style;
}

// Converted from the system code page, the one the platform's ANSI functions show the text
// in, so that every letter of the caption appears as itself.
void AppendCaption(DialogTemplate& dialogTemplate, std::string_view caption) {
    // No character takes more than four bytes, so this many bytes hold every character kept.
    constexpr size_t kMaxBytes = kMaxDialogCaption * 4;
    const size_t nul = caption.find('\0');
    const int length = static_cast<int>(std::min({nul, caption.size(), kMaxBytes}));
    WCHAR wide[kMaxBytes];
    const int wideLength =
        length ? MultiByteToWideChar(CP_ACP, 0, caption.data(), length, wide, kMaxBytes) : 0;
    if (wideLength == 0) Append(dialogTemplate, L' ');
    for (int i = 0; i < wideLength && i < static_cast<int>(kMaxDialogCaption); ++i) {
        Append(dialogTemplate, wide[i]);
    }
    Append(dialogTemplate, 0);
}

int ShowCommandFor(DWORD requestedStyle) {
    if (requestedStyle & WS_MINIMIZE) return SW_MINIMIZE;
    if (requestedStyle & WS_MAXIMIZE) return SW_SHOWMAXIMIZED;
    return SW_SHOW;
}

WPARAM SizeTypeFor(int showCommand) {
    switch (showCommand) {
        case SW_SHOWMAXIMIZED: return SIZE_MAXIMIZED;
        case SW_MINIMIZE: return SIZE_MINIMIZED;
        default: return SIZE_RESTORED;
    }
}

// Style rules of the platform's control kinds. The button types are forced (typeMask
// BS_TYPEMASK) so that an option button stays an option button whatever else is passed.
struct ControlKindRule {
    ControlKind kind;
    const char* className;
    DWORD defaultStyle;
    DWORD addedStyle;
    DWORD typeMask;
    DWORD forcedType;
};

constexpr DWORD kChildVisible = WS_CHILD | WS_VISIBLE;

constexpr ControlKindRule kControlKindRules[] = {
    {ControlKind::EditBox, "EDIT", kChildVisible | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
     kChildVisible, 0, 0},
    {ControlKind::Label, "STATIC", kChildVisible, kChildVisible, 0, 0},
    {ControlKind::PushButton, "BUTTON", kChildVisible | WS_TABSTOP, kChildVisible, 0, 0},
    {ControlKind::OptionButton, "BUTTON", kChildVisible | WS_TABSTOP | BS_AUTORADIOBUTTON,
     kChildVisible, BS_TYPEMASK, BS_AUTORADIOBUTTON},
    {ControlKind::CheckBox, "BUTTON", kChildVisible | WS_TABSTOP | BS_AUTOCHECKBOX,
     kChildVisible, BS_TYPEMASK, BS_AUTOCHECKBOX},
};

struct ControlWindow {
    const char* className;
    DWORD style;
    DWORD exStyle;
};

// The class and styles the control is created with; false for an unknown kind.
bool ResolveControlWindow(const ControlSpec& control, ControlWindow& window) {
    if (control.kind == ControlKind::NamedClass) {
        window = {control.className, control.style, control.exStyle};
        return true;
    }
    for (const ControlKindRule& rule : kControlKindRules) {
        if (rule.kind != control.kind) continue;
        window = {rule.className, control.style ? control.style : rule.defaultStyle, control.exStyle};
        // A default border is drawn as the sunken edge of the platform's 3D look instead.
        if (control.style == 0 && (window.style & WS_BORDER)) {
            window.style &= ~WS_BORDER;
            window.exStyle |= WS_EX_CLIENTEDGE;
        }
        window.style = (window.style & ~rule.typeMask) | rule.forcedType | rule.addedStyle;
        return true;
    }
    return false;
}

// The record owns the new icon before the window sees it, so that it is freed with the
// record whatever happens during WM_SETICON; the replaced one goes once the window has let
// go of it.
bool ReplaceIcon(HWND dialog, OwnedIcon& slot, const char* resourceName, WPARAM which, int size) {
    HICON icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), resourceName, IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    if (!icon) return false;
    OwnedIcon replaced = std::exchange(slot, OwnedIcon(icon));
    SendMessageA(dialog, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    return true;
}

// Calls the attached callback, if any. The record may be gone when this returns: the
// callback can destroy the window.
INT_PTR CallCallback(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const DialogRecord* record = FindRecord(window);
    if (!record || !record->callback) return 0;
    return record->callback(window, message, wParam, lParam);
}

void SendOpeningMessages(HWND dialog, DialogCallback callback, int showCommand) {
    if (!callback) return;
    callback(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog), 0);
    RECT client{};
    GetClientRect(dialog, &client);
    callback(dialog, WM_SIZE, SizeTypeFor(showCommand), MAKELPARAM(client.right, client.bottom));
}

// Polls rather than blocks, sleeping 1 ms whenever the queue is empty, until the dialog
// is gone.
void RunMessagesUntilDestroyed(HWND dialog, HWND owner) {
    for (;;) {
        MSG message;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            // A message sent from another thread, or the owner's idle handler, can destroy
            // the dialog without anything being posted afterwards.
            if (!IsWindow(dialog)) return;
            if (owner) SendMessageA(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(dialog));
            Sleep(1);
            continue;
        }
        if (!IsWindow(dialog) || !IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (!IsWindow(dialog)) return;
    }
}

INT_PTR OnActivate(HWND window, WPARAM wParam) {
    if (LOWORD(wParam) != WA_INACTIVE) {
        activeDialog = window;
    } else if (activeDialog == window) {
        activeDialog = nullptr;
    }
    return TRUE;
}

INT_PTR OnNcDestroy(HWND window, WPARAM wParam, LPARAM lParam) {
    CallCallback(window, WM_NCDESTROY, wParam, lParam);
    const OwnedRecord record(FindRecord(window));
    SetWindowLongPtrA(window, DWLP_USER, 0);
    if (activeDialog == window) activeDialog = nullptr;
    // Always left to the platform too, which frees its own dialog data (the font) only then.
    return FALSE;
}

// The callback's nonzero result becomes the message result, unless the callback stored one
// itself; FALSE leaves the message to the platform's default dialog processing.
INT_PTR ForwardToCallback(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const INT_PTR handled = CallCallback(window, message, wParam, lParam);
    if (!handled) return FALSE;
    if (GetWindowLongPtrA(window, DWLP_MSGRESULT) == 0) SetWindowLongPtrA(window, DWLP_MSGRESULT, handled);
    return handled;
}

INT_PTR OnSysCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    if (const INT_PTR handled = ForwardToCallback(window, WM_SYSCOMMAND, wParam, lParam)) return handled;
    // The low four bits of a system command are the platform's own.
    if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
    EndDialogWithResult(window, 0);
    return TRUE;
}

}  // namespace

DialogTemplate BuildDialogTemplate(std::string_view caption, int x, int y, int width,
                                   int height, DWORD style, DWORD exStyle) {
    DialogTemplate dialogTemplate{};
    AppendDword(dialogTemplate, TemplateStyle(style, x, y));
    AppendDword(dialogTemplate, exStyle);
    Append(dialogTemplate, 0);  // no controls in the template; AddControl makes them
    Append(dialogTemplate, static_cast<WORD>(x));
    Append(dialogTemplate, static_cast<WORD>(y));
    Append(dialogTemplate, static_cast<WORD>(width));
    Append(dialogTemplate, static_cast<WORD>(height));
    Append(dialogTemplate, 0);  // no menu
    Append(dialogTemplate, 0);  // the platform's dialog class
    AppendCaption(dialogTemplate, caption);
    Append(dialogTemplate, kFontPointSize);
    for (const char* letter = kFontFace; *letter; ++letter) Append(dialogTemplate, static_cast<WORD>(*letter));
    Append(dialogTemplate, 0);
    return dialogTemplate;
}

HWND CreateDialogWindow(HWND parent, std::string_view caption, int x, int y, int width,
                        int height, DWORD style, DWORD exStyle) {
    const DialogTemplate dialogTemplate = BuildDialogTemplate(caption, x, y, width, height, style, exStyle);
    HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.words),
                                             parent, DialogHostProc, 0);
    if (!dialog) return nullptr;
    OwnedRecord record = NewRecord();
    if (!record) {
        DestroyWindow(dialog);
        return nullptr;
    }
    record.Get()->showCommand = ShowCommandFor(style);
    record.Get()->font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(record.HandOver()));
    return dialog;
}

HWND AddControl(HWND dialog, const ControlSpec& control) {
    const DialogRecord* record = FindRecord(dialog);
    ControlWindow window;
    if (!record || !ResolveControlWindow(control, window)) return nullptr;
    const HFONT font = record->font;
    RECT bounds{control.x, control.y, control.x + control.width, control.y + control.height};
    MapDialogRect(dialog, &bounds);
    HWND created = CreateWindowExA(window.exStyle, window.className, control.text, window.style,
                                   bounds.left, bounds.top, bounds.right - bounds.left,
                                   bounds.bottom - bounds.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                   GetModuleHandleA(nullptr), nullptr);
    if (!created) return nullptr;
    SendMessageA(created, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (control.kind == ControlKind::PushButton && (window.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
        SendMessageA(dialog, DM_SETDEFID, static_cast<WPARAM>(control.id), 0);
    }
    return created;
}

void SetDialogIcon(HWND dialog, const char* resourceName) {
    DialogRecord* record = FindRecord(dialog);
    if (!record || !ReplaceIcon(dialog, record->bigIcon, resourceName, ICON_BIG, 32)) return;
    // WM_SETICON may have run the callback, which may have destroyed the window.
    if ((record = FindRecord(dialog))) ReplaceIcon(dialog, record->smallIcon, resourceName, ICON_SMALL, 16);
}

void RunDialogModal(HWND dialog, DialogCallback callback, int* result) {
    const DialogRecord* beforeOpening = FindRecord(dialog);
    SendOpeningMessages(dialog, callback, beforeOpening ? beforeOpening->showCommand : SW_SHOW);
    // Looked up again: the opening calls may have closed the dialog.
    DialogRecord* record = FindRecord(dialog);
    if (!record) return;
    record->callback = callback;
    record->result = result;
    const int showCommand = record->showCommand;
    const HWND owner = OwnerOf(dialog);
    bool ownerDisabledHere = false;
    if (owner) {
        SendMessageA(owner, WM_CANCELMODE, 0, 0);
        ownerDisabledHere = !EnableWindow(owner, FALSE);
    }
    ShowWindow(dialog, showCommand);
    RunMessagesUntilDestroyed(dialog, owner);
    if (owner) {
        // A dialog destroyed some other way than EndDialogWithResult would leave it disabled.
        if (ownerDisabledHere) EnableWindow(owner, TRUE);
        SetFocus(owner);
    }
}

void EndDialogWithResult(HWND dialog, int result) {
    // Taken first: the callback may destroy the window while it handles WM_CLOSE.
    const DialogRecord* record = FindRecord(dialog);
    int* const slot = record ? record->result : nullptr;
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    const HWND owner = OwnerOf(dialog);
    const bool ownerWasDisabled = owner && EnableWindow(owner, TRUE);
    if (slot) *slot = result;
    if (!DestroyWindow(dialog) && ownerWasDisabled) EnableWindow(owner, FALSE);
}

HWND ActiveDialogWindow() {
    return activeDialog;
}

INT_PTR CALLBACK DialogHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE: return OnActivate(window, wParam);
        case WM_SYSCOMMAND: return OnSysCommand(window, wParam, lParam);
        case WM_NCDESTROY: return OnNcDestroy(window, wParam, lParam);
        // The WM_CTLCOLOR messages too: FALSE keeps the platform's colours.
        default: return ForwardToCallback(window, message, wParam, lParam);
    }
}
