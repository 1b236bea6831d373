#include "cli/console_io.h"

#include <windows.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "support/handle_guard.h"

// Every name and text the program handles is UTF-8; the platform is spoken to only through its
// wide calls, so that no ANSI code page comes between them, on any version of Windows.

// msvcrt's wide counterpart of the argv it gave main(): the same parsing rules, and no other
// DLL to load (shell32's CommandLineToArgvW doubles the start-up time under Wine).
struct CrtStartupInfo {
    int newMode;
};
extern "C" int __cdecl __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment, int expandWildcards,
                                      CrtStartupInfo* startup);

namespace {

void FreeWide(wchar_t* chars) {
    std::free(chars);
}

// A name as the wide calls take it: UTF-16, ended by a NUL; null while there is none.
using WideName = HandleGuard<wchar_t*, FreeWide>;

// A file handle, whose "none" is INVALID_HANDLE_VALUE rather than null.
struct FileHandle {
    HANDLE value = INVALID_HANDLE_VALUE;
    explicit operator bool() const { return value != INVALID_HANDLE_VALUE; }
};

void CloseFile(FileHandle file) {
    CloseHandle(file.value);
}

using OpenedFile = HandleGuard<FileHandle, CloseFile>;

// False when the bytes are not UTF-8 or memory cannot be had, GetLastError saying which.
bool ConvertToWide(std::string_view utf8, WideName* name) {
    *name = WideName();
    if (utf8.size() > INT_MAX) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    const int size = static_cast<int>(utf8.size());
    const int length = size ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0) : 0;
    if (size && !length) return false;
    WideName converted(static_cast<wchar_t*>(std::malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t))));
    if (!converted) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (size) MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, converted.Get(), length);
    converted.Get()[length] = L'\0';
    *name = std::move(converted);
    return true;
}

// The file at a UTF-8 path, as CreateFileW opens it; none when it cannot be, GetLastError saying
// why.
OpenedFile OpenFile(const char* path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error;
    {
        WideName name;
        if (ConvertToWide(path, &name)) {
            file = CreateFileW(name.Get(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        }
        error = GetLastError();
    }
    SetLastError(error);
    return OpenedFile(FileHandle{file});
}

// The temporary output file, for the console control handler to remove; guarded, because the
// handler runs on a thread of its own.
CRITICAL_SECTION temporaryFileLock;
WideName temporaryFile;

void LeaveLock(CRITICAL_SECTION* lock) {
    LeaveCriticalSection(lock);
}

using HeldLock = HandleGuard<CRITICAL_SECTION*, LeaveLock>;

HeldLock LockTemporaryFile() {
    EnterCriticalSection(&temporaryFileLock);
    return HeldLock(&temporaryFileLock);
}

void SetReason(Text* reason, DWORD error) {
    wchar_t* description = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(&description), 0, nullptr);
    while (length > 0 && (description[length - 1] == L'\r' || description[length - 1] == L'\n' ||
                          description[length - 1] == L'.')) {
        --length;
    }
    const int size = length ? WideCharToMultiByte(CP_UTF8, 0, description, static_cast<int>(length), nullptr, 0,
                                                  nullptr, nullptr)
                            : 0;
    if (size && reason->Resize(static_cast<size_t>(size))) {
        WideCharToMultiByte(CP_UTF8, 0, description, static_cast<int>(length), reason->MutableData(), size, nullptr,
                            nullptr);
    } else {
        reason->Assign("system error");
    }
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
    const HeldLock locked = LockTemporaryFile();
    if (temporaryFile) DeleteFileW(temporaryFile.Get());
    return FALSE;
}

// What a handle names: a file on a disk, or something else (a device, a pipe, the console).
bool IsDiskFile(HANDLE handle) {
    return GetFileType(handle) == FILE_TYPE_DISK;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& information) {
    return {information.dwVolumeSerialNumber,
            static_cast<uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow, true};
}

bool IsConsole(HANDLE handle) {
    DWORD mode;
    return GetConsoleMode(handle, &mode);
}

// The start of a UTF-8 sequence that one write to the console ended in the middle of, held
// back until the next write completes it.
struct ConsoleStream {
    char pending[4];
    size_t pendingSize = 0;
};
ConsoleStream outputConsole;
ConsoleStream errorConsole;

// How many bytes at the end begin a sequence that is not complete yet.
size_t IncompleteSequenceSize(const char* bytes, size_t size) {
    for (size_t back = 1; back <= 3 && back <= size; ++back) {
        const unsigned char byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80) continue;
        const size_t sequence = (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3 : (byte & 0xF8) == 0xF0 ? 4 : 1;
        return sequence > back ? back : 0;
    }
    return 0;
}

// A console shows UTF-16 whatever its code page. The program's output always ends with a line
// end, so nothing is left held back when it ends. False with GetLastError on failure.
bool WriteToConsole(HANDLE console, ConsoleStream* stream, const char* bytes, size_t size) {
    char utf8[4096];
    wchar_t utf16[sizeof utf8];  // a byte never gives more than one UTF-16 unit
    do {
        size_t used = stream->pendingSize;
        std::memcpy(utf8, stream->pending, used);
        const size_t taken = size < sizeof utf8 - used ? size : sizeof utf8 - used;
        std::memcpy(utf8 + used, bytes, taken);
        bytes += taken;
        size -= taken;
        used += taken;
        stream->pendingSize = IncompleteSequenceSize(utf8, used);
        used -= stream->pendingSize;
        std::memcpy(stream->pending, utf8 + used, stream->pendingSize);
        const int units = used ? MultiByteToWideChar(CP_UTF8, 0, utf8, static_cast<int>(used), utf16,
                                                     static_cast<int>(sizeof utf16 / sizeof *utf16))
                               : 0;
        for (int at = 0; at < units;) {
            DWORD written = 0;
            if (!WriteConsoleW(console, utf16 + at, static_cast<DWORD>(units - at), &written, nullptr)) return false;
            if (!written) {
                SetLastError(ERROR_WRITE_FAULT);
                return false;
            }
            at += static_cast<int>(written);
        }
    } while (size > 0);
    return true;
}

}  // namespace

void PrepareStandardStreams() {
    InitializeCriticalSection(&temporaryFileLock);
    // Nothing to do for the streams themselves: output goes through WriteFile, which neither
    // translates line ends nor writes to a handle the process does not have; to a console,
    // through WriteConsoleW.
}

// The C runtime's argv went through the ANSI code page, which loses what it cannot hold.
char** Utf8Arguments(int* argc, char**) {
    int count = 0;
    wchar_t** wide = nullptr;
    wchar_t** environment = nullptr;
    CrtStartupInfo startup{0};
    if (__wgetmainargs(&count, &wide, &environment, 0, &startup) < 0 || !wide) return nullptr;
    // One block: the pointers, then the strings they point to.
    size_t size = (static_cast<size_t>(count) + 1) * sizeof(char*);
    for (int k = 0; k < count; ++k) {
        size += static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide[k], -1, nullptr, 0, nullptr, nullptr));
    }
    char** arguments = static_cast<char**>(std::malloc(size));
    if (arguments) {
        char* at = reinterpret_cast<char*>(arguments + count + 1);
        const char* const end = reinterpret_cast<const char*>(arguments) + size;
        for (int k = 0; k < count; ++k) {
            arguments[k] = at;
            at += WideCharToMultiByte(CP_UTF8, 0, wide[k], -1, at, static_cast<int>(end - at), nullptr, nullptr);
        }
        arguments[count] = nullptr;
        *argc = count;
    }
    return arguments;
}

std::string_view NativeLineEnd() {
    return "\r\n";
}

bool OpenInput(const char* path, InputStream* input, Text* reason) {
    if (std::strcmp(path, "-") == 0) {
        *input = {ValueOf(GetStdHandle(STD_INPUT_HANDLE)), false};
        return true;
    }
    OpenedFile file = OpenFile(path, GENERIC_READ, kShareAll, OPEN_EXISTING);
    if (!file) {
        SetReason(reason, GetLastError());
        return false;
    }
    *input = {ValueOf(file.HandOver().value), true};
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

intptr_t StandardOutputHandle() {
    return ValueOf(GetStdHandle(STD_OUTPUT_HANDLE));
}

WriteResult WriteOutput(intptr_t handleValue, const char* bytes, size_t size, Text* reason) {
    const HANDLE handle = HandleOf(handleValue);
    if (IsConsole(handle)) {
        if (WriteToConsole(handle, &outputConsole, bytes, size)) return WriteResult::kWritten;
        SetReason(reason, GetLastError());
        return WriteResult::kFailed;
    }
    while (size > 0) {
        const DWORD chunk = size > 1u << 30 ? 1u << 30 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle, bytes, chunk, &written, nullptr)) {
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

bool ExamineOutputName(const char* path, FileFacts* facts, Text* reason) {
    WideName name;
    if (!ConvertToWide(path, &name) || !facts->file.Assign(path)) {
        SetReason(reason, name ? ERROR_NOT_ENOUGH_MEMORY : GetLastError());
        return false;
    }
    const DWORD attributes = GetFileAttributesW(name.Get());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason->Assign("it is a folder");
        return false;
    }
    // Opened for no access at all, so that a read-only file or one another program has open
    // answers too.
    const OpenedFile file(
        FileHandle{CreateFileW(name.Get(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)});
    if (!file) {
        // A device may want to be asked for writing (CON); opening it so then says whether it can be.
        const DWORD error = GetLastError();
        facts->kind = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileKind::kMissing
                                                                                    : FileKind::kOther;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION information;
    const bool disk = IsDiskFile(file.Get().value);
    const bool identified = disk && GetFileInformationByHandle(file.Get().value, &information);
    const DWORD error = GetLastError();
    if (!disk) {
        facts->kind = FileKind::kOther;
        return true;
    }
    if (!identified) {
        SetReason(reason, error);
        return false;
    }
    facts->kind = FileKind::kRegular;
    facts->identity = IdentityOf(information);
    return true;
}

bool IdentifyInput(const InputStream& input, FileIdentity* identity) {
    const HANDLE handle = HandleOf(input.handle);
    if (!IsDiskFile(handle)) return false;
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(handle, &information)) {
        *identity = IdentityOf(information);
        return true;
    }
    // Wine refuses that for a standard input it was handed as a Unix descriptor (a file the
    // shell redirected), but answers FILE_ID_INFO (Windows 8 and later): the same file index,
    // and no volume.
    struct {
        ULONGLONG volumeSerialNumber;
        BYTE fileId[16];
    } fileIdInformation;
    constexpr auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
    if (!GetFileInformationByHandleEx(handle, kFileIdInfo, &fileIdInformation, sizeof fileIdInformation)) return false;
    uint64_t index;
    std::memcpy(&index, fileIdInformation.fileId, sizeof index);
    *identity = {fileIdInformation.volumeSerialNumber, index, fileIdInformation.volumeSerialNumber != 0};
    return true;
}

bool MayWrite(const char* file, Text* reason) {
    WideName name;
    if (!ConvertToWide(file, &name)) {
        SetReason(reason, GetLastError());
        return false;
    }
    // Writing a read-only file is refused by the system too, but replacing it is not.
    const DWORD attributes = GetFileAttributesW(name.Get());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetReason(reason, ERROR_ACCESS_DENIED);
        return false;
    }
    const OpenedFile opened(FileHandle{
        CreateFileW(name.Get(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)});
    if (!opened) SetReason(reason, GetLastError());
    return static_cast<bool>(opened);
}

bool OpenForWriting(const char* path, intptr_t* handle, Text* reason) {
    OpenedFile opened = OpenFile(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (!opened) {
        SetReason(reason, GetLastError());
        return false;
    }
    // Never a file on a disk: written over in place, it would be neither the old one nor the new.
    if (IsDiskFile(opened.Get().value)) {
        SetReason(reason, ERROR_ACCESS_DENIED);
        return false;
    }
    *handle = ValueOf(opened.HandOver().value);
    return true;
}

// No POSIX permissions here: a new file gets the folder's inherited security.
bool CreateTemporaryFile(const char* file, const unsigned*, intptr_t* handle, bool* taken, Text* reason) {
    SetConsoleCtrlHandler(RemoveTemporaryFileOnConsoleEvent, TRUE);
    const HeldLock locked = LockTemporaryFile();
    const HANDLE created = ConvertToWide(file, &temporaryFile)
                               ? CreateFileW(temporaryFile.Get(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL, nullptr)
                               : INVALID_HANDLE_VALUE;
    if (created == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        temporaryFile = WideName();
        *taken = error == ERROR_FILE_EXISTS;
        SetReason(reason, error);
        return false;
    }
    *handle = ValueOf(created);
    return true;
}

bool FlushToDisk(intptr_t handle, Text* reason) {
    if (FlushFileBuffers(HandleOf(handle))) return true;
    SetReason(reason, GetLastError());
    return false;
}

bool CloseOutputHandle(intptr_t handle, Text* reason) {
    if (CloseHandle(HandleOf(handle))) return true;
    SetReason(reason, GetLastError());
    return false;
}

// The temporary file by the wide name kept for the console control handler.
bool ReplaceWithTemporaryFile(const char*, const char* destination, Text* reason) {
    const HeldLock locked = LockTemporaryFile();
    WideName destinationName;
    if (!ConvertToWide(destination, &destinationName) ||
        !MoveFileExW(temporaryFile.Get(), destinationName.Get(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        SetReason(reason, GetLastError());
        return false;
    }
    temporaryFile = WideName();
    return true;
}

void RemoveTemporaryFile(const char*) {
    const HeldLock locked = LockTemporaryFile();
    if (temporaryFile) DeleteFileW(temporaryFile.Get());
    temporaryFile = WideName();
}

size_t ProcessNumber() {
    return GetCurrentProcessId();
}

uint64_t UnpredictableNumber() {
    // The C library's rand_s takes the system's random numbers, with no other library to load.
    // Where it fails, 0: the hashes are then only as hard to predict as the program's own.
    unsigned high = 0, low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0) return 0;
    return uint64_t{high} << 32 | low;
}

void WriteToStandardError(std::string_view message) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (IsConsole(error)) {
        WriteToConsole(error, &errorConsole, message.data(), message.size());
        return;
    }
    while (!message.empty()) {
        DWORD written = 0;
        if (!WriteFile(error, message.data(), static_cast<DWORD>(message.size()), &written, nullptr) || !written) return;
        message.remove_prefix(written);
    }
}
