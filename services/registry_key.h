#pragma once
// A registry key handle, closed when the guard goes, on every path out of the scope that
// opened it.

#include <windows.h>

struct RegistryKey {
    HKEY handle = nullptr;
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (handle) RegCloseKey(handle);
    }
};
