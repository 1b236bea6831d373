#include "app/main_dialog.h"

#include "app/control_ids.h"
#include "app/site.h"
#include "controls/link_label.h"
#include "dialog/dialog_host.h"
#include "app/generate_command.h"
#include "services/browser_launcher.h"

namespace {

constexpr char kIconResource[] = "#102";

// Creation order is the stacking and tab order. Style 0 takes the kind's default.
constexpr ControlSpec kControls[] = {
    {ControlKind::EditBox, nullptr, IDC_KEYWORD1, "", 55, 5, 120, 15, 0, 0},
    {ControlKind::Label, nullptr, IDC_LABEL1, "Keyword 1", 5, 5, 45, 15, 0, 0},
    {ControlKind::Label, nullptr, IDC_LABEL2, "Keyword 2", 5, 20, 45, 15, 0, 0},
    {ControlKind::EditBox, nullptr, IDC_KEYWORD2, "", 55, 20, 120, 15, 0, 0},
    {ControlKind::Label, nullptr, IDC_LABEL3, "Keyword 3", 5, 35, 45, 15, 0, 0},
    {ControlKind::EditBox, nullptr, IDC_KEYWORD3, "", 55, 35, 120, 15, 0, 0},
    {ControlKind::Label, nullptr, IDC_LABEL4, "Keyword 4", 5, 50, 45, 15, 0, 0},
    {ControlKind::EditBox, nullptr, IDC_KEYWORD4, "", 55, 50, 120, 15, 0, 0},
    {ControlKind::PushButton, nullptr, IDC_PASTE, "Paste permutations in Clipboard", 55, 70, 120, 25, 0, 0},
    {ControlKind::OptionButton, nullptr, IDC_QUOTES, "Quotes", 5, 70, 45, 15,
     WS_GROUP | WS_TABSTOP | BS_LEFT | BS_VCENTER, 0},
    {ControlKind::OptionButton, nullptr, IDC_BRACKETS, "Brackets", 5, 85, 45, 15, 0, 0},
    {ControlKind::NamedClass, "QXHL32", IDC_SITELINK, VARNHOLT_SITE_LINK_TEXT, 5, 100, 110, 15,
     WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 0},
    {ControlKind::CheckBox, nullptr, IDC_SUBSETS, "Include Subsets", 125, 100, 65, 15, 0, 0},
};

}  // namespace

HWND BuildMainDialog(HWND parent) {
    HWND dialog = CreateDialogWindow(parent, "Varnholt", 69, 74, 195, 117,
                                     WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                                         DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK,
                                     WS_EX_WINDOWEDGE);
    if (!dialog) return nullptr;
    SetDialogIcon(dialog, kIconResource);
    for (const ControlSpec& control : kControls) AddControl(dialog, control);
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
