// Varnholt's entry: COM for the thread (the link label allocates its state with the task
// allocator), the link label class, then the main dialog until the user closes it.
#include <windows.h>
#include <objbase.h>

#include "app/main_dialog.h"
#include "controls/link_label.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const HRESULT com = CoInitialize(nullptr);
    RegisterLinkLabelClass();
    CreateMainDialog(nullptr);
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
