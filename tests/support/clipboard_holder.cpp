// Holds the clipboard open from a process of its own, so that tests can see how the program
// behaves while another program is using the clipboard.
// Usage: clipboard_holder READY_EVENT STOP_EVENT. Sets READY_EVENT once the clipboard is open
// and keeps it open until STOP_EVENT is set (or a minute passes, should the test die).
#include <windows.h>

#include "services/win32_handles.h"
#include "tests/support/win_test_support.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const KernelHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]));
    const KernelHandle stop(OpenEventA(SYNCHRONIZE, FALSE, argv[2]));
    // Opened with a window: under Wine a second OpenClipboard(NULL) would succeed against a
    // holder that passed NULL too.
    const OwnedWindow window(CreateWindowExA(0, "STATIC", "clipboard holder", WS_POPUP, 0, 0, 1, 1,
                                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    int exitCode = 1;
    if (ready && stop && window && OpenClipboard(window.Get())) {
        SetEvent(ready.Get());
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 60000 &&
               MsgWaitForMultipleObjects(1, &stop.Get(), FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        }
        CloseClipboard();
        exitCode = 0;
    }
    return exitCode;
}
