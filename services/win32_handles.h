#pragma once
// The platform's handles that the services and their tests hold, each closed when its guard
// goes, on every path out of the scope that opened it.

#include <windows.h>

#include "support/handle_guard.h"

using RegistryKey = HandleGuard<HKEY, RegCloseKey>;
using KernelHandle = HandleGuard<HANDLE, CloseHandle>;
