#include "app/main_dialog.h"

#include "app/control_ids.h"
#include "app/generate_command.h"
#include "app/main_dialog_controls.h"
#include "app/site.h"
#include "controls/link_label.h"
#include "dialog/dialog_host.h"
#include "services/browser_launcher.h"

HWND BuildMainDialog(HWND parent) {
    HWND dialog = CreateDialogWindow(parent, kMainDialogCaption, kMainDialogX, kMainDialogY, kMainDialogWidth,
                                     kMainDialogHeight, kMainDialogStyle, kMainDialogExStyle);
    if (!dialog) return nullptr;
    SetDialogIcon(dialog, kMainDialogIcon);
    for (const ControlSpec& control : kMainDialogControls) AddControl(dialog, control);
    CheckRadioButton(dialog, IDC_QUOTES, IDC_BRACKETS, IDC_QUOTES);
    SendDlgItemMessageA(dialog, IDC_SUBSETS, BM_SETCHECK, BST_UNCHECKED, 0);
    return dialog;
}

int CreateMainDialog(HWND parent) {
    int result = 0;
    RunDialogModal(BuildMainDialog(parent), MainDialogProc, &result);
    return result;
}

INT_PTR MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return 0;
    switch (LOWORD(wParam)) {
        case IDC_PASTE: GeneratePermutations(dialog, HIWORD(wParam)); break;
        case IDC_SITELINK: OpenUrlInDefaultBrowser(VARNHOLT_SITE_ADDRESS); break;
    }
    return 0;
}
