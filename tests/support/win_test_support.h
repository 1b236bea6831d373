#pragma once
// Helpers for the Windows tests: bounded message pumping and capture of message boxes.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "services/win32_handles.h"
#include "support/handle_guard.h"

using OwnedWindow = HandleGuard<HWND, DestroyWindow>;
using InstalledHook = HandleGuard<HHOOK, UnhookWindowsHookEx>;

// Dispatches the thread's messages until done() holds or timeoutMs passes; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Dispatches the thread's messages for the given time.
void PumpFor(DWORD milliseconds);

struct CapturedMessageBox {
    HWND window;
    HWND owner;
    std::string caption;
    std::string text;
    bool hasIcon;
};

// While alive, records every message box this thread opens (at its activation, when its
// text and icon are in place) and then closes it with OK, unless onShow is set: onShow then
// runs instead and is responsible for closing the box.
class MessageBoxCapture {
public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    std::vector<CapturedMessageBox> boxes;
    std::function<void(const CapturedMessageBox&)> onShow;

    static void Close(HWND box);

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    InstalledHook hook_;
};

// The clipboard's CF_TEXT block, byte for byte (its terminating NUL included); empty when
// the clipboard holds no text or cannot be opened.
std::string ReadClipboardTextBlock();

// A window's text (its first 255 bytes) and its class name in capitals.
std::string WindowTextOf(HWND window);
std::string UpperClassNameOf(HWND window);

// Puts the text on the clipboard as CF_TEXT (with its NUL) from the test itself, so that a
// test can see whether the code under test replaced it.
void PutSentinelOnClipboard(const std::string& text);

// The width and height of the icon's image; zero for a null or destroyed icon.
SIZE IconSize(HICON icon);

// A registry value as the test found it, read and written back as stored, and put back (or
// taken out again, with its key when the key was new) however the test ends.
class SavedRegistryValue {
public:
    SavedRegistryValue(HKEY root, const wchar_t* key, const wchar_t* name);
    ~SavedRegistryValue();
    SavedRegistryValue(const SavedRegistryValue&) = delete;
    SavedRegistryValue& operator=(const SavedRegistryValue&) = delete;

private:
    HKEY root_;
    const wchar_t* key_;
    const wchar_t* name_;
    bool keyExisted_ = false;
    bool valueExisted_ = false;
    DWORD type_ = REG_NONE;
    std::vector<BYTE> value_;
};

// The browser registrations the launcher reads (HKCR htmlfile\shell\open\command and the
// user's choice for http), saved as the test found them. The user's choice is taken out for
// the test's run, so that the htmlfile command is the one that counts until a test sets one.
class SavedBrowserRegistration {
public:
    static constexpr wchar_t kHtmlFileCommandKey[] = L"htmlfile\\shell\\open\\command";
    static constexpr wchar_t kHttpChoiceKey[] =
        L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
    SavedBrowserRegistration();

private:
    SavedRegistryValue htmlFileCommand_{HKEY_CLASSES_ROOT, kHtmlFileCommandKey, L""};
    SavedRegistryValue httpChoice_{HKEY_CURRENT_USER, kHttpChoiceKey, L"ProgId"};
};

// The process's private committed bytes, for tests that check that nothing leaks.
SIZE_T PrivateBytesInUse();
