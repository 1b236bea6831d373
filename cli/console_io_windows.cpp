#include "cli/console_io.h"

#include <windows.h>

#include <cstring>

namespace {

// The temporary output file, for the console control handler to remove; guarded, because the
// handler runs on a thread of its own.
CRITICAL_SECTION temporaryFileLock;
const char* temporaryFileToRemove = nullptr;

struct LockedTemporaryFile {
    LockedTemporaryFile() { EnterCriticalSection(&temporaryFileLock); }
    ~LockedTemporaryFile() { LeaveCriticalSection(&temporaryFileLock); }
};

void SetReason(Text* reason, DWORD error) {
    char* description = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<char*>(&description), 0, nullptr);
    std::string_view text(description ? description : "", length);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == '.')) text.remove_suffix(1);
    if (text.empty()) text = "system error";
    reason->Assign(text);
    if (description) LocalFree(description);
}

HANDLE HandleOf(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

intptr_t ValueOf(HANDLE handle) {
    return reinterpret_cast<intptr_t>(handle);
}

// Ctrl+C, Ctrl+Break, a closed console window, log-off or shut-down: the temporary file goes,
// then the default handling ends the process. The file was opened for shared deletion, so it
// disappears when the process's handle on it is closed.
BOOL WINAPI RemoveTemporaryFileOnConsoleEvent(DWORD) {
    const LockedTemporaryFile locked;
    if (temporaryFileToRemove) DeleteFileA(temporaryFileToRemove);
    temporaryFileToRemove = nullptr;
    return FALSE;
}

bool AppendNumber(Text* text, unsigned long number) {
    char digits[16];
    size_t at = sizeof digits;
    do digits[--at] = static_cast<char>('0' + number % 10);
    while ((number /= 10) > 0);
    return text->Append(std::string_view(digits + at, sizeof digits - at));
}

// What a handle names: a file on a disk, or something else (a device, a pipe, the console).
bool IsDiskFile(HANDLE handle) {
    return GetFileType(handle) == FILE_TYPE_DISK;
}

}  // namespace

void PrepareStandardStreams() {
    InitializeCriticalSection(&temporaryFileLock);
    // Nothing to do for the streams themselves: output goes through WriteFile, which neither
    // translates line ends nor writes to a handle the process does not have.
}

char** Utf8Arguments(int*, char** argv) {
    return argv;
}

std::string_view NativeLineEnd() {
    return "\r\n";
}

bool OpenInput(const char* path, InputStream* input, Text* reason) {
    if (std::strcmp(path, "-") == 0) {
        *input = {ValueOf(GetStdHandle(STD_INPUT_HANDLE)), false};
        return true;
    }
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetReason(reason, GetLastError());
        return false;
    }
    *input = {ValueOf(file), true};
    return true;
}

long ReadInput(InputStream* input, char* into, size_t size, Text* reason) {
    const DWORD wanted = size > 1u << 30 ? 1u << 30 : static_cast<DWORD>(size);
    DWORD got = 0;
    if (ReadFile(HandleOf(input->handle), into, wanted, &got, nullptr)) return static_cast<long>(got);
    const DWORD error = GetLastError();
    // A pipe whose writer has finished ends like a file.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    SetReason(reason, error);
    return -1;
}

void CloseInput(InputStream* input) {
    if (input->ownsHandle) CloseHandle(HandleOf(input->handle));
    *input = {};
}

void OpenStandardOutput(OutputTarget* output) {
    output->handle = ValueOf(GetStdHandle(STD_OUTPUT_HANDLE));
    output->ownsHandle = false;
}

bool OpenOutputFile(const char* path, OutputTarget* output, Text* reason) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason->Assign("it is a folder");
        return false;
    }
    if (!output->destination.Assign(path)) {
        SetReason(reason, ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    // A device (NUL, CON, a pipe) cannot be replaced: it is written as a stream.
    const HANDLE existing = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (existing != INVALID_HANDLE_VALUE) {
        if (!IsDiskFile(existing)) {
            output->handle = ValueOf(existing);
            output->ownsHandle = true;
            return true;
        }
        CloseHandle(existing);
    }

    SetConsoleCtrlHandler(RemoveTemporaryFileOnConsoleEvent, TRUE);
    for (unsigned attempt = 0;; ++attempt) {
        if (!output->temporaryPath.Assign(path) || !output->temporaryPath.Append(".tmp.") ||
            !AppendNumber(&output->temporaryPath, GetCurrentProcessId()) || !output->temporaryPath.Append(".") ||
            !AppendNumber(&output->temporaryPath, attempt)) {
            SetReason(reason, ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        const LockedTemporaryFile locked;
        const HANDLE file = CreateFileA(output->temporaryPath.Data(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            temporaryFileToRemove = output->temporaryPath.Data();
            output->handle = ValueOf(file);
            output->ownsHandle = true;
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS || attempt == 100) {
            SetReason(reason, error);
            output->temporaryPath.Resize(0);
            return false;
        }
    }
}

WriteResult WriteOutput(OutputTarget* output, const char* bytes, size_t size, Text* reason) {
    while (size > 0) {
        const DWORD chunk = size > 1u << 30 ? 1u << 30 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(HandleOf(output->handle), bytes, chunk, &written, nullptr)) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE) return WriteResult::kPipeClosed;
            SetReason(reason, error);
            return WriteResult::kFailed;
        }
        bytes += written;
        size -= written;
    }
    return WriteResult::kWritten;
}

bool CommitOutput(OutputTarget* output, Text* reason) {
    if (!output->ownsHandle) return true;
    const HANDLE file = HandleOf(output->handle);
    const bool replacing = !output->temporaryPath.IsEmpty();
    // On the disk before the move, so that a crash leaves the old file or the whole new one.
    if (replacing && !FlushFileBuffers(file)) {
        SetReason(reason, GetLastError());
        AbandonOutput(output);
        return false;
    }
    output->ownsHandle = false;
    CloseHandle(file);
    if (!replacing) return true;
    const LockedTemporaryFile locked;
    const bool moved = MoveFileExA(output->temporaryPath.Data(), output->destination.Data(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!moved) {
        SetReason(reason, GetLastError());
        DeleteFileA(output->temporaryPath.Data());
    }
    temporaryFileToRemove = nullptr;
    output->temporaryPath.Resize(0);
    return moved;
}

void AbandonOutput(OutputTarget* output) {
    if (output->ownsHandle) CloseHandle(HandleOf(output->handle));
    output->ownsHandle = false;
    if (output->temporaryPath.IsEmpty()) return;
    const LockedTemporaryFile locked;
    DeleteFileA(output->temporaryPath.Data());
    temporaryFileToRemove = nullptr;
    output->temporaryPath.Resize(0);
}

void WriteToStandardError(std::string_view message) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    while (!message.empty()) {
        DWORD written = 0;
        if (!WriteFile(error, message.data(), static_cast<DWORD>(message.size()), &written, nullptr) || !written) return;
        message.remove_prefix(written);
    }
}
