#include "services/browser_launcher.h"

#include <windows.h>

#include <new>
#include <optional>
#include <vector>

#include "services/browser_command.h"

namespace {
constexpr char kBrowserCommandKey[] = "htmlfile\\shell\\open\\command";
constexpr char kNoBrowserMessage[] = "Cannot find default Internet browser";
constexpr char kMessageTitle[] = "Varnholt";
// A value or an environment that keeps growing between the size query and the read is
// given up on rather than chased forever.
constexpr int kReadAttempts = 4;

struct RegistryKey {
    HKEY handle = nullptr;
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (handle) RegCloseKey(handle);
    }
};

// The browser is never waited for, so both handles go as soon as the process exists.
struct ProcessHandles {
    PROCESS_INFORMATION info{};
    ProcessHandles() = default;
    ProcessHandles(const ProcessHandles&) = delete;
    ProcessHandles& operator=(const ProcessHandles&) = delete;
    ~ProcessHandles() {
        if (info.hThread) CloseHandle(info.hThread);
        if (info.hProcess) CloseHandle(info.hProcess);
    }
};

struct RegistryValue {
    std::vector<char> bytes;
    DWORD type = REG_NONE;
};

// The key's default value at whatever length it has: its size is asked for first.
std::optional<RegistryValue> ReadBrowserCommandValue() {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kBrowserCommandKey, 0, KEY_QUERY_VALUE, &key.handle) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryValue value;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExA(key.handle, "", nullptr, &value.type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        value.bytes.resize(size);
        const LONG result = RegQueryValueExA(key.handle, "", nullptr, &value.type,
                                             reinterpret_cast<BYTE*>(value.bytes.data()), &size);
        if (result == ERROR_SUCCESS) {
            value.bytes.resize(size);
            return value;
        }
        if (result != ERROR_MORE_DATA) return std::nullopt;
    }
    return std::nullopt;
}

std::string ExpandEnvironmentReferences(const std::string& text) {
    DWORD size = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    for (int attempt = 0; size != 0 && attempt < kReadAttempts; ++attempt) {
        // One byte more than asked for: the ANSI form may need it in a double-byte code page.
        std::string buffer(size + 1, '\0');
        const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), buffer.data(), size + 1);
        if (needed == 0) return {};
        if (needed <= size + 1) return buffer.c_str();
        size = needed;
    }
    return {};
}

void StartProcess(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    ProcessHandles process;
    // A browser that cannot be started is not reported, so the system must not report it either.
    const UINT previousErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const BOOL started =
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                       nullptr, nullptr, &startup, &process.info);
    SetErrorMode(previousErrorMode);
    if (!started) process.info = {};  // whatever a failed call left there is not ours to close
}
}  // namespace

void OpenUrlInDefaultBrowser(const std::string& url) {
    std::optional<std::string> commandLine;
    try {
        if (std::optional<RegistryValue> value = ReadBrowserCommandValue()) {
            commandLine = BuildBrowserCommandLine(value->bytes.data(), value->bytes.size(),
                                                  value->type, url, ExpandEnvironmentReferences);
        }
    } catch (const std::bad_alloc&) {
        return;  // like a browser that cannot be started: nothing started, nothing said
    }
    if (!commandLine) {
        MessageBoxA(nullptr, kNoBrowserMessage, kMessageTitle, MB_OK | MB_ICONHAND);
        return;
    }
    StartProcess(std::move(*commandLine));
}
