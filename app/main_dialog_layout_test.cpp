// The main dialog as the program's manifest has the platform treat it: this test program
// carries the program's resources, the manifest among them. The suite runs it at 96 DPI;
// tests/e2e/display_scaling.sh runs it again at 144 and 192 DPI (the scaling Wine reads when a
// program starts) and names the scaling it set in VARNHOLT_EXPECTED_DPI.
#include "app/main_dialog.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controls/gdi_guards.h"
#include "controls/link_label.h"
#include "tests/support/win_test_support.h"

namespace {

class MainDialogLayout : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CoInitialize(nullptr);
        RegisterLinkLabelClass();
    }
    void SetUp() override {
        dialog_ = BuildMainDialog(nullptr);
        ASSERT_NE(dialog_, nullptr);
        const char* expected = std::getenv("VARNHOLT_EXPECTED_DPI");
        expectedDpi_ = expected ? std::atoi(expected) : 96;
    }
    void TearDown() override { DestroyWindow(dialog_); }

    HWND dialog_ = nullptr;
    int expectedDpi_ = 96;
};

int ScreenDpi() {
    WindowDC screen(nullptr);
    return GetDeviceCaps(screen, LOGPIXELSY);
}

// A windows setting of the process's manifest as the platform holds it; empty when absent.
std::wstring WindowsSetting(const wchar_t* name) {
    constexpr wchar_t kNamespace[] = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
    wchar_t value[64] = {};
    SIZE_T length = 0;
    if (!QueryActCtxSettingsW(0, nullptr, kNamespace, name, value, ARRAYSIZE(value), &length)) return L"";
    return value;
}

// The font the control draws its text with: the link label its underlined copy of the
// dialog font, every other control the font it was given.
HFONT DrawingFont(HWND control) {
    if (UpperClassNameOf(control) == "QXHL32") {
        return reinterpret_cast<LinkLabelState*>(GetWindowLongPtrA(control, GWLP_USERDATA))->linkFont;
    }
    return reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
}

// The part of the client area the control draws its text in, as the platform lays it out: a
// push button keeps its frame's edge clear; a check box or option button draws its box (12
// pixels and one at 96 DPI, scaled) and half a digit's width of space before the text.
RECT TextArea(HWND control, HDC dc, int dpi) {
    RECT area{};
    GetClientRect(control, &area);
    if (UpperClassNameOf(control) != "BUTTON") return area;
    const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
        InflateRect(&area, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
    } else {
        INT digitWidth = 0;
        GetCharWidth32A(dc, '0', '0', &digitWidth);
        area.left += 12 * dpi / 96 + 1 + digitWidth / 2;
    }
    return area;
}

TEST_F(MainDialogLayout, RunsSystemDpiAwareAtTheDisplayScaleWithCommonControls6) {
    const int dpi = ScreenDpi();
    EXPECT_EQ(dpi, expectedDpi_);
    // As the platform read the program's manifest: aware at system level, not per monitor.
    EXPECT_EQ(WindowsSetting(L"dpiAware"), L"true");
    EXPECT_EQ(WindowsSetting(L"dpiAwareness"), L"");

    // The dialog font is 8 points at the display's scale, so every dialog unit scales too.
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -MulDiv(8, dpi, 72));
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");

    // The program imports no comctl32: the platform loaded it for the controls, as the
    // manifest's dependency asks, from the side-by-side store's version 6 assembly. (Wine's
    // DllGetVersion says 5 there too, so the file is what tells.)
    const HMODULE commonControls = GetModuleHandleA("comctl32.dll");
    ASSERT_NE(commonControls, nullptr);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(commonControls, path, sizeof path);
    CharLowerA(path);
    EXPECT_NE(std::strstr(path, "\\winsxs\\"), nullptr) << path;
    EXPECT_NE(std::strstr(path, "microsoft.windows.common-controls_6595b64144ccf1df_6."), nullptr) << path;
}

TEST_F(MainDialogLayout, EveryTextFitsItsControlInTheControlsOwnFont) {
    const int dpi = ScreenDpi();
    int measured = 0;
    for (HWND control = GetWindow(dialog_, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        const std::string text = WindowTextOf(control);
        if (text.empty()) continue;
        WindowDC dc(control);
        SelectedObject font(dc, DrawingFont(control));
        const RECT area = TextArea(control, dc, dpi);
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        std::printf("%d DPI, \"%s\": text %ldx%ld, room %ldx%ld pixels\n", dpi, text.c_str(), extent.cx,
                    extent.cy, area.right - area.left, area.bottom - area.top);
        SCOPED_TRACE(text);
        EXPECT_LE(extent.cx, area.right - area.left);
        EXPECT_LE(extent.cy, area.bottom - area.top);
        ++measured;
    }
    EXPECT_EQ(measured, 9);  // four labels, the push button, two option buttons, the link, the check box
}

}  // namespace
