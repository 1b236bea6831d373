// The start-up floor for startup_benchmark: a program that only shows an empty dialog.
#include <windows.h>

namespace {
INT_PTR CALLBACK EmptyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
    return FALSE;
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    struct alignas(4) {
        DLGTEMPLATE header;
        WORD menu, windowClass;
        WCHAR caption[13];
    } dialog{{WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0, 69, 74, 195, 117}, 0, 0, L"Empty dialog"};
    return static_cast<int>(DialogBoxIndirectParamA(instance, &dialog.header, nullptr, EmptyDialogProc, 0));
}
