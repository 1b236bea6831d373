#include "tests/support/win_test_support.h"

#include <psapi.h>

#include <cstring>

namespace {
thread_local MessageBoxCapture* activeCapture = nullptr;

std::string WindowText(HWND window) {
    char buffer[4096] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

BOOL CALLBACK NoteShownIcon(HWND child, LPARAM found) {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        SendMessageA(child, STM_GETICON, 0, 0) != 0) {
        *reinterpret_cast<bool*>(found) = true;
    }
    return TRUE;
}

bool HasIconControl(HWND box) {
    bool found = false;
    EnumChildWindows(box, NoteShownIcon, reinterpret_cast<LPARAM>(&found));
    return found;
}
}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

MessageBoxCapture::MessageBoxCapture()
    : hook_(SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId())) {
    activeCapture = this;
}

MessageBoxCapture::~MessageBoxCapture() {
    activeCapture = nullptr;
}

void MessageBoxCapture::Close(HWND box) {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

LRESULT CALLBACK MessageBoxCapture::Hook(int code, WPARAM wParam, LPARAM lParam) {
    MessageBoxCapture* capture = activeCapture;
    if (code == HCBT_ACTIVATE && capture) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[64] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::strcmp(className, "#32770") == 0 && GetDlgItem(window, 0xFFFF)) {
            CapturedMessageBox box{window, GetWindow(window, GW_OWNER), WindowText(window),
                                   WindowText(GetDlgItem(window, 0xFFFF)), HasIconControl(window)};
            capture->boxes.push_back(box);
            if (capture->onShow) {
                capture->onShow(box);
            } else {
                Close(window);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string ReadClipboardTextBlock() {
    std::string bytes;
    if (!OpenClipboard(nullptr)) return bytes;
    if (HANDLE block = GetClipboardData(CF_TEXT)) {
        if (const char* data = static_cast<const char*>(GlobalLock(block))) {
            bytes.assign(data, GlobalSize(block));
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return bytes;
}

void PutSentinelOnClipboard(const std::string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    OpenClipboard(nullptr);
    EmptyClipboard();
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
}

SIZE_T PrivateBytesInUse() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    // The same figure as PrivateUsage on Windows; Wine 8 leaves PrivateUsage at 0.
    return counters.PagefileUsage;
}

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return {0, 0};
    BITMAP bitmap{};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, bitmap.bmHeight};
}

SavedRegistryValue::SavedRegistryValue(HKEY root, const wchar_t* key, const wchar_t* name)
    : root_(root), key_(key), name_(name) {
    RegistryKey opened;
    keyExisted_ = RegOpenKeyExW(root_, key_, 0, KEY_QUERY_VALUE, opened.Receive()) == ERROR_SUCCESS;
    DWORD size = 0;
    if (!keyExisted_ ||
        RegQueryValueExW(opened.Get(), name_, nullptr, &type_, nullptr, &size) != ERROR_SUCCESS) {
        return;
    }
    value_.resize(size);
    valueExisted_ = RegQueryValueExW(opened.Get(), name_, nullptr, &type_, value_.data(), &size) ==
                    ERROR_SUCCESS;
    value_.resize(size);
}

SavedRegistryValue::~SavedRegistryValue() {
    if (!keyExisted_) {
        RegDeleteKeyW(root_, key_);
        return;
    }
    RegistryKey opened;
    if (RegCreateKeyExW(root_, key_, 0, nullptr, 0, KEY_SET_VALUE, nullptr, opened.Receive(), nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    if (valueExisted_) {
        RegSetValueExW(opened.Get(), name_, 0, type_, value_.data(), static_cast<DWORD>(value_.size()));
    } else {
        RegDeleteValueW(opened.Get(), name_);
    }
}

SavedBrowserRegistration::SavedBrowserRegistration() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kHttpChoiceKey, L"ProgId");
}

std::string WindowTextOf(HWND window) {
    char buffer[256] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

std::string UpperClassNameOf(HWND window) {
    char buffer[64] = {};
    GetClassNameA(window, buffer, sizeof buffer);
    CharUpperA(buffer);
    return buffer;
}
