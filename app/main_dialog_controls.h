#pragma once
// The main dialog as its builder makes it: its caption, place, styles, icon and controls. The tests
// and benchmarks that need the same dialog take it from here.

#include <windows.h>

#include "app/control_ids.h"
#include "app/site.h"
#include "dialog/dialog_host.h"

inline constexpr char kMainDialogCaption[] = "Varnholt";
inline constexpr int kMainDialogX = 69;
inline constexpr int kMainDialogY = 74;
inline constexpr int kMainDialogWidth = 195;
inline constexpr int kMainDialogHeight = 117;
inline constexpr DWORD kMainDialogStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK;
inline constexpr DWORD kMainDialogExStyle = WS_EX_WINDOWEDGE;
// The icon's resource, as the resource script numbers it.
inline constexpr char kMainDialogIcon[] = "#102";

// Creation order is the stacking and tab order. Style 0 takes the kind's default.
inline constexpr ControlSpec kMainDialogControls[] = {
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

// The control of the table with this identifier.
constexpr const ControlSpec& MainDialogControl(int id) {
    const ControlSpec* found = kMainDialogControls;
    while (found->id != id) ++found;
    return *found;
}
