// Varnholt's entry: the link label class, then the main dialog until the user closes it.
#include <windows.h>

#include "app/main_dialog.h"
#include "controls/link_label.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RegisterLinkLabelClass();
    CreateMainDialog(nullptr);
    return 0;
}
