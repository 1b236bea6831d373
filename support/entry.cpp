// The process entry. The program links no C runtime start-up: this does the part of one that a
// GUI program needs. The C library functions it calls come from msvcrt.dll, which sets itself up
// when it is loaded.
#include <windows.h>
#include <objbase.h>

#include "support/startup.h"

// The name is the one the linker starts a GUI program at. The platform guarantees a 32-bit
// program's first frame 4-byte alignment only; the compiler assumes 16.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup() {
    // COM for the thread: the link label allocates its state with the task allocator.
    const HRESULT com = CoInitialize(nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const int result = WinMain(GetModuleHandleA(nullptr), nullptr, CommandLineTail(GetCommandLineA()),
                               StartupShowCommand(startup));
    if (SUCCEEDED(com)) CoUninitialize();
    ExitProcess(static_cast<UINT>(result));
}
