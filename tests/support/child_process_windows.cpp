#include "tests/support/child_process.h"

#include <windows.h>

#include <thread>

namespace {

// One argument as the C runtime's command-line parser reads it back.
void AppendQuoted(std::string* line, const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        *line += argument;
        return;
    }
    *line += '"';
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count double before a quote, which itself is escaped.
        line->append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        *line += c;
    }
    line->append(2 * backslashes, '\\');
    *line += '"';
}

struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    // The child's end is inherited, the test's own end is not.
    explicit Pipe(bool childReads) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        CreatePipe(&read, &write, &inherit, 0);
        SetHandleInformation(childReads ? write : read, HANDLE_FLAG_INHERIT, 0);
    }
};

// The tests' strings are UTF-8; the platform takes UTF-16.
std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0],
                                    static_cast<int>(wide.size())));
    return wide;
}

void CloseEnd(HANDLE* handle) {
    if (*handle) CloseHandle(*handle);
    *handle = nullptr;
}

void ReadAll(HANDLE from, std::string* into) {
    char buffer[65536];
    DWORD got;
    while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) into->append(buffer, got);
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input) {
    std::string commandLine;
    AppendQuoted(&commandLine, program);
    for (const std::string& argument : arguments) {
        commandLine += ' ';
        AppendQuoted(&commandLine, argument);
    }
    Pipe in(true), out(false), err(false);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.read;
    startup.hStdOutput = out.write;
    startup.hStdError = err.write;
    PROCESS_INFORMATION process{};
    ProcessResult result;
    std::wstring wideCommandLine = Wide(commandLine);
    const BOOL started = CreateProcessW(Wide(program).c_str(), &wideCommandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseEnd(&in.read);
    CloseEnd(&out.write);
    CloseEnd(&err.write);
    if (!started) {
        CloseEnd(&in.write);
        CloseEnd(&out.read);
        CloseEnd(&err.read);
        result.err = "cannot start " + program;
        return result;
    }
    std::thread feeder([&] {
        DWORD written;
        if (!input.empty()) WriteFile(in.write, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
        CloseEnd(&in.write);
    });
    std::thread errors([&] { ReadAll(err.read, &result.err); });
    ReadAll(out.read, &result.out);
    feeder.join();
    errors.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    result.exitCode = static_cast<int>(exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseEnd(&out.read);
    CloseEnd(&err.read);
    return result;
}

std::string TestProgramDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::string program(3 * length, '\0');
    program.resize(WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(length), &program[0],
                                       static_cast<int>(program.size()), nullptr, nullptr));
    return program.substr(0, program.find_last_of("\\/"));
}
