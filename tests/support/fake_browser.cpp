// Stands in for the web browser in the launcher's tests: records how it was started, then
// exits. The record goes to the file that VARNHOLT_FAKE_BROWSER_RECORD names: "name=value"
// items, each ended by a NUL byte. command is GetCommandLineA; flags and show come from its
// STARTUPINFO; directory is its current directory; event is 1 when it could signal the event
// whose handle value VARNHOLT_FAKE_BROWSER_EVENT holds, which only an inherited handle allows;
// then one arg item for each argument as the C runtime parsed it.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {
std::string Environment(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? value : "";
}

bool SignalInheritedEvent() {
    const std::string handleValue = Environment("VARNHOLT_FAKE_BROWSER_EVENT");
    if (handleValue.empty()) return false;
    const auto handle = reinterpret_cast<HANDLE>(std::strtoull(handleValue.c_str(), nullptr, 10));
    return SetEvent(handle) != FALSE;
}

void AddItem(std::string& record, const char* name, const std::string& value) {
    record.append(name).append("=").append(value).push_back('\0');
}
}  // namespace

int main(int argc, char** argv) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof directory, directory);

    std::string record;
    AddItem(record, "command", GetCommandLineA());
    AddItem(record, "flags", std::to_string(startup.dwFlags));
    AddItem(record, "show", std::to_string(startup.wShowWindow));
    AddItem(record, "directory", directory);
    AddItem(record, "event", SignalInheritedEvent() ? "1" : "0");
    for (int i = 0; i < argc; ++i) AddItem(record, "arg", argv[i]);

    // Written aside and renamed into place, so that the waiting test never reads half a record.
    const std::string path = Environment("VARNHOLT_FAKE_BROWSER_RECORD");
    if (path.empty()) return 1;
    const std::string partial = path + ".partial";
    HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    if (!wrote || written != record.size()) return 1;
    return MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
