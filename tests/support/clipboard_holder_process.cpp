#include "tests/support/clipboard_holder_process.h"

#include <string>

namespace {

// The tests live one folder below the build's top, the holder in tests/support.
std::string HolderPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder.erase(folder.find_last_of('\\'));
    folder.erase(folder.find_last_of('\\') + 1);
    return folder + "tests\\support\\clipboard_holder.exe";
}

std::string UniqueEventName(const char* role) {
    static LONG counter = 0;
    return "VarnholtClipboardHolder-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(InterlockedIncrement(&counter)) + "-" + role;
}

}  // namespace

ClipboardHolderProcess::ClipboardHolderProcess() {
    const std::string readyName = UniqueEventName("ready");
    const std::string stopName = UniqueEventName("stop");
    ready_ = KernelHandle(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
    stop_ = KernelHandle(CreateEventA(nullptr, TRUE, FALSE, stopName.c_str()));
    std::string commandLine = "\"" + HolderPath() + "\" " + readyName + " " + stopName;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!ready_ || !stop_ ||
        !CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        return;
    }
    process_ = KernelHandle(process.hProcess);
    thread_ = KernelHandle(process.hThread);
    HANDLE ends[] = {ready_.Get(), process_.Get()};
    holding_ = WaitForMultipleObjects(2, ends, FALSE, 10000) == WAIT_OBJECT_0;
}

ClipboardHolderProcess::~ClipboardHolderProcess() {
    if (stop_) SetEvent(stop_.Get());
    if (process_) WaitForSingleObject(process_.Get(), 10000);
}
