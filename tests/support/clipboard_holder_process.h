#pragma once
// Runs clipboard_holder (built beside the tests) for as long as the object lives.

#include <windows.h>

#include "services/win32_handles.h"

class ClipboardHolderProcess {
public:
    // Starts the holder and waits, for at most ten seconds, until it has the clipboard open.
    ClipboardHolderProcess();
    // Tells the holder to let the clipboard go and waits for it to end.
    ~ClipboardHolderProcess();
    ClipboardHolderProcess(const ClipboardHolderProcess&) = delete;
    ClipboardHolderProcess& operator=(const ClipboardHolderProcess&) = delete;

    bool IsHolding() const { return holding_; }

private:
    KernelHandle ready_;
    KernelHandle stop_;
    KernelHandle process_;
    KernelHandle thread_;
    bool holding_ = false;
};
