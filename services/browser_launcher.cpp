#include "services/browser_launcher.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "services/browser_command.h"
#include "services/win32_handles.h"

namespace {
// Where Windows 8 and later keep the user's choice of browser for a scheme; the htmlfile
// command is Internet Explorer's registration there, which only serves when no choice is made.
constexpr char kUserChoiceKeyStart[] =
    "Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\";
constexpr char kUserChoiceKeyEnd[] = "\\UserChoice";
constexpr char kOpenCommandKeyEnd[] = "\\shell\\open\\command";
constexpr char kHtmlFileCommandKey[] = "htmlfile\\shell\\open\\command";
constexpr char kNoBrowserMessage[] = "Cannot find default Internet browser";
constexpr char kMessageTitle[] = "Varnholt";
// A value or an environment that keeps growing between the size query and the read is
// given up on rather than chased forever.
constexpr int kReadAttempts = 4;

struct RegistryValue {
    Text bytes;
    DWORD type = REG_NONE;
};

// A value at whatever length it has: its size is asked for first. NoBrowser when the key or
// the value is not there.
BrowserLookup ReadRegistryValue(HKEY root, const Text& keyPath, const char* valueName,
                                RegistryValue& value) {
    RegistryKey key;
    if (RegOpenKeyExA(root, keyPath.Data(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) {
        return BrowserLookup::NoBrowser;
    }
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExA(key.Get(), valueName, nullptr, &value.type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return BrowserLookup::NoBrowser;
        }
        if (!value.bytes.Resize(size)) return BrowserLookup::NoMemory;
        const LONG result = RegQueryValueExA(key.Get(), valueName, nullptr, &value.type,
                                             reinterpret_cast<BYTE*>(value.bytes.MutableData()), &size);
        if (result == ERROR_SUCCESS) {
            // What was read: never more than the buffer (a null one, for an empty value, takes
            // nothing), so this cannot fail.
            value.bytes.Resize(std::min<size_t>(size, value.bytes.Size()));
            return BrowserLookup::Found;
        }
        if (result != ERROR_MORE_DATA) return BrowserLookup::NoBrowser;
    }
    return BrowserLookup::NoBrowser;
}

bool ExpandEnvironmentReferences(const Text& text, Text& expanded) {
    DWORD size = ExpandEnvironmentStringsA(text.Data(), nullptr, 0);
    for (int attempt = 0; size != 0 && attempt < kReadAttempts; ++attempt) {
        // One byte more than asked for: the ANSI form may need it in a double-byte code page.
        if (!expanded.Resize(size + 1)) return false;
        const DWORD needed = ExpandEnvironmentStringsA(text.Data(), expanded.MutableData(), size + 1);
        if (needed == 0) break;
        if (needed <= size + 1) {
            expanded.Resize(std::strlen(expanded.Data()));  // shorter: cannot fail
            return true;
        }
        size = needed;
    }
    expanded.Resize(0);
    return true;
}

void StartProcess(Text& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    // A browser that cannot be started is not reported, so the system must not report it either.
    const UINT previousErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const BOOL started =
        CreateProcessA(nullptr, commandLine.MutableData(), nullptr, nullptr, TRUE,
                       NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process);
    SetErrorMode(previousErrorMode);
    // Whatever a failed call left there is not ours to close. The browser is never waited
    // for, so both handles go as soon as the process exists.
    if (!started) return;
    const KernelHandle thread(process.hThread);
    const KernelHandle browser(process.hProcess);
}

// The command line from one registered open command: Found, or NoBrowser when that key holds
// no usable command.
BrowserLookup BuildCommandLineFrom(const Text& commandKey, std::string_view url, Text& commandLine) {
    RegistryValue value;
    const BrowserLookup lookup = ReadRegistryValue(HKEY_CLASSES_ROOT, commandKey, "", value);
    if (lookup != BrowserLookup::Found) return lookup;
    return BuildBrowserCommandLine(value.bytes.Data(), value.bytes.Size(), value.type, url,
                                   ExpandEnvironmentReferences, commandLine);
}

// The open command key of the ProgId the user chose for the URL's scheme; NoBrowser when no
// choice is recorded, or it is not a plain ProgId.
BrowserLookup FindUserChoiceCommandKey(std::string_view url, Text& commandKey) {
    const size_t colon = url.find(':');
    const std::string_view scheme = url.substr(0, colon);
    if (colon == std::string_view::npos || scheme.empty() ||
        scheme.find_first_of(std::string_view("\\\0", 2)) != std::string_view::npos) {
        return BrowserLookup::NoBrowser;
    }
    Text choiceKey;
    if (!choiceKey.Assign(kUserChoiceKeyStart) || !choiceKey.Append(scheme) ||
        !choiceKey.Append(kUserChoiceKeyEnd)) {
        return BrowserLookup::NoMemory;
    }
    RegistryValue progId;
    const BrowserLookup lookup = ReadRegistryValue(HKEY_CURRENT_USER, choiceKey, "ProgId", progId);
    if (lookup != BrowserLookup::Found) return lookup;
    const std::string_view name = progId.bytes.Data();  // up to its first NUL
    if (progId.type != REG_SZ || name.empty() || name.find('\\') != std::string_view::npos) {
        return BrowserLookup::NoBrowser;
    }
    return commandKey.Assign(name) && commandKey.Append(kOpenCommandKeyEnd) ? BrowserLookup::Found
                                                                            : BrowserLookup::NoMemory;
}

// The user's chosen browser when it has a usable command, otherwise the htmlfile command.
BrowserLookup BuildDefaultBrowserCommandLine(std::string_view url, Text& commandLine) {
    Text commandKey;
    BrowserLookup lookup = FindUserChoiceCommandKey(url, commandKey);
    if (lookup == BrowserLookup::Found) lookup = BuildCommandLineFrom(commandKey, url, commandLine);
    if (lookup != BrowserLookup::NoBrowser) return lookup;
    if (!commandKey.Assign(kHtmlFileCommandKey)) return BrowserLookup::NoMemory;
    return BuildCommandLineFrom(commandKey, url, commandLine);
}
}  // namespace

void OpenUrlInDefaultBrowser(std::string_view url) {
    Text commandLine;
    switch (BuildDefaultBrowserCommandLine(url, commandLine)) {
        case BrowserLookup::Found: StartProcess(commandLine); break;
        case BrowserLookup::NoBrowser:
            MessageBoxA(nullptr, kNoBrowserMessage, kMessageTitle, MB_OK | MB_ICONHAND);
            break;
        case BrowserLookup::NoMemory: break;  // like a browser that cannot be started
    }
}
