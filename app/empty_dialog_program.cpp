// The start-up floors for startup_benchmark: a program that only shows an empty dialog and,
// built with VARNHOLT_WITH_CONTROLS and the program's manifest, one that also creates the same
// thirteen kinds of controls with Common Controls 6, which is the platform's share of the cost.
#include <windows.h>

namespace {
#ifdef VARNHOLT_WITH_CONTROLS
constexpr WCHAR kCaption[] = L"Controls dialog";
constexpr DWORD kFontStyle = DS_SETFONT;  // the window's own dialog font

void CreateControls(HWND dialog) {
    struct Control { const char* windowClass; DWORD style; };
    constexpr Control kControls[] = {
        {"EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP}, {"STATIC", SS_LEFT}, {"STATIC", SS_LEFT},
        {"EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP}, {"STATIC", SS_LEFT},
        {"EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP}, {"STATIC", SS_LEFT},
        {"EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP}, {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP},
        {"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP}, {"BUTTON", BS_AUTORADIOBUTTON},
        {"STATIC", SS_NOTIFY | WS_GROUP | WS_TABSTOP}, {"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP},
    };
    const HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    int row = 0;
    for (const Control& control : kControls) {
        HWND created = CreateWindowExA(0, control.windowClass, "Keyword", WS_CHILD | WS_VISIBLE | control.style,
                                       8, 4 + 14 * row++, 160, 13, dialog, nullptr, nullptr, nullptr);
        SendMessageA(created, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}
#else
constexpr WCHAR kCaption[] = L"Empty dialog";
constexpr DWORD kFontStyle = 0;
#endif

INT_PTR CALLBACK EmptyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
#ifdef VARNHOLT_WITH_CONTROLS
    if (message == WM_INITDIALOG) CreateControls(dialog);
#endif
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
    return FALSE;
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    struct alignas(4) {
        DLGTEMPLATE header;
        WORD menu, windowClass;
        WCHAR caption[sizeof kCaption / sizeof *kCaption];
        WORD pointSize;
        WCHAR font[14];
    } dialog{{WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | kFontStyle, 0, 0, 69, 74, 195, 117}, 0, 0, {}, 8,
             L"MS Sans Serif"};
    for (size_t i = 0; i < sizeof kCaption / sizeof *kCaption; ++i) dialog.caption[i] = kCaption[i];
    return static_cast<int>(DialogBoxIndirectParamA(instance, &dialog.header, nullptr, EmptyDialogProc, 0));
}
