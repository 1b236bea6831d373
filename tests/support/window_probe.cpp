// Looks at a running Varnholt from another process, for the end-to-end scripts:
//   window            the main window: "visible x y width height" (screen pixels)
//   controls          one line per control: "id centre-x centre-y checked text"
//   close-button      a screen point on the caption's close button: "x y"
//   focus             the id of the control with the keyboard focus while the main window is
//                     the foreground window, else "none": keys sent before that go elsewhere
//   boxes             one line per open message box: "caption|text|icon or none|ok-x ok-y"
//   clipboard FILE    writes the clipboard's CF_TEXT block (terminating NUL included) to FILE
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

HWND MainWindow() {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", "Varnholt"))) {
        if (GetDlgItem(window, 1009)) return window;
    }
    return nullptr;
}

POINT Centre(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Asked of the window itself: GetWindowText does not ask another process's windows.
std::string Text(HWND window) {
    char buffer[1024] = {};
    SendMessageA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

int PrintWindow(HWND main) {
    RECT rect{};
    GetWindowRect(main, &rect);
    std::printf("%d %ld %ld %ld %ld\n", IsWindowVisible(main) ? 1 : 0, rect.left, rect.top,
                rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

int PrintControls(HWND main) {
    for (HWND control = GetWindow(main, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        const POINT centre = Centre(control);
        const LRESULT checked = SendMessageA(control, BM_GETCHECK, 0, 0);
        std::printf("%d %ld %ld %d %s\n", GetDlgCtrlID(control), centre.x, centre.y,
                    checked == BST_CHECKED, Text(control).c_str());
    }
    return 0;
}

int PrintCloseButton(HWND main) {
    RECT rect{};
    GetWindowRect(main, &rect);
    for (LONG y = rect.top; y < rect.top + 40; ++y) {
        for (LONG x = rect.right - 1; x > rect.right - 60; --x) {
            if (SendMessageA(main, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                std::printf("%ld %ld\n", x - 4, y + 4);
                return 0;
            }
        }
    }
    return 1;
}

int PrintFocus(HWND main) {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    const bool focused = GetForegroundWindow() == main &&
                         GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &thread) &&
                         thread.hwndFocus && IsChild(main, thread.hwndFocus);
    if (focused) {
        std::printf("%d\n", GetDlgCtrlID(thread.hwndFocus));
    } else {
        std::printf("none\n");
    }
    return 0;
}

bool ShowsIcon(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
            SendMessageA(child, STM_GETICON, 0, 0)) {
            return true;
        }
    }
    return false;
}

int PrintBoxes(HWND main) {
    HWND box = nullptr;
    while ((box = FindWindowExA(nullptr, box, "#32770", nullptr))) {
        if (box == main || !IsWindowVisible(box) || !GetDlgItem(box, 0xFFFF)) continue;
        const POINT ok = Centre(GetDlgItem(box, IDOK));
        std::printf("%s|%s|%s|%ld %ld\n", Text(box).c_str(), Text(GetDlgItem(box, 0xFFFF)).c_str(),
                    ShowsIcon(box) ? "icon" : "none", ok.x, ok.y);
    }
    return 0;
}

int WriteClipboard(const char* path) {
    if (!OpenClipboard(nullptr)) return 1;
    std::string bytes;
    if (HANDLE block = GetClipboardData(CF_TEXT)) {
        if (const char* data = static_cast<const char*>(GlobalLock(block))) {
            bytes.assign(data, std::strlen(data) + 1);
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    FILE* out = std::fopen(path, "wb");
    if (!out) return 1;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string command = argv[1];
    if (command == "clipboard") return argc > 2 ? WriteClipboard(argv[2]) : 2;
    HWND main = MainWindow();
    if (command == "boxes") return PrintBoxes(main);
    if (!main) return 1;
    if (command == "window") return PrintWindow(main);
    if (command == "controls") return PrintControls(main);
    if (command == "close-button") return PrintCloseButton(main);
    if (command == "focus") return PrintFocus(main);
    return 2;
}
