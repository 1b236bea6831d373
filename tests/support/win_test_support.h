#pragma once
// Helpers for the Windows tests: bounded message pumping and capture of message boxes.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "services/registry_key.h"

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
    HHOOK hook_;
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

// The default browser's registered command (HKCR htmlfile\shell\open\command) as the test
// found it, read and written back as stored, and put back however the test ends.
class SavedBrowserCommand {
public:
    SavedBrowserCommand();
    ~SavedBrowserCommand();
    SavedBrowserCommand(const SavedBrowserCommand&) = delete;
    SavedBrowserCommand& operator=(const SavedBrowserCommand&) = delete;

private:
    bool keyExisted_ = false;
    bool valueExisted_ = false;
    DWORD type_ = REG_NONE;
    std::vector<BYTE> value_;
};

// The process's private committed bytes, for tests that check that nothing leaks.
SIZE_T PrivateBytesInUse();
