#pragma once
// The few platform services the console program needs: standard streams, reading a file, and
// the system calls behind the output file (its policy is cli/output_file.h). One implementation
// for POSIX systems, one for Windows; everything else of the program is platform-free.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/text.h"

// Makes the standard streams safe to use: a closed standard output or error is kept closed for
// writing, so that no file opened later takes its place and a write to it fails. Windows: the
// standard output writes bytes as they are (LF stays LF); a console gets them as UTF-16 text.
void PrepareStandardStreams();

// The program's arguments as UTF-8, *argc updated: on Windows read from the wide command line,
// whatever the system's ANSI code page; elsewhere argv as it is. Null when memory cannot be had.
char** Utf8Arguments(int* argc, char** argv);

// The line end the output uses unless told otherwise: CR LF on Windows, LF elsewhere.
std::string_view NativeLineEnd();

// A file or stream read from start to end.
struct InputStream {
    intptr_t handle = -1;
    bool ownsHandle = false;
};

// Opens the file to read; "-" is standard input. On failure `reason` says why.
bool OpenInput(const char* path, InputStream* input, Text* reason);
// Up to `size` bytes: the count read, 0 at the end, -1 on a read error (then `reason`).
long ReadInput(InputStream* input, char* into, size_t size, Text* reason);
void CloseInput(InputStream* input);

enum class WriteResult {
    kWritten,
    kFailed,      // `reason` says why
    kPipeClosed,  // the reader went away: the program ends quietly
};

// A handle to write the output to: standard output, a device, a pipe or a file.
intptr_t StandardOutputHandle();
WriteResult WriteOutput(intptr_t handle, const char* bytes, size_t size, Text* reason);

// The system's calls behind the output file's policy (cli/output_file.h).

// Which file a name reaches: the same identity is the same file, however named.
struct FileIdentity {
    uint64_t volume = 0;  // the device (POSIX) or the volume's serial number (Windows)
    uint64_t index = 0;   // the inode or the file index
    bool volumeKnown = true;  // false: the system named no volume; the index alone decides
};

enum class FileKind {
    kMissing,  // nothing there yet (or the folder is missing: creating the file says so)
    kRegular,  // a file on a disk: replaced by a temporary file
    kOther,    // a device or a pipe: written as it is
};

struct FileFacts {
    FileKind kind = FileKind::kMissing;
    FileIdentity identity;  // of a regular file
    unsigned permissions = 0;  // of a regular file: POSIX mode bits (0 on Windows)
    Text file;  // the name to write: links followed to the file they name, existing or not
};

// What `path` names, links followed; a folder fails, `reason` saying so.
bool ExamineOutputName(const char* path, FileFacts* facts, Text* reason);
// The identity of the file an input reads; false when it reads no file (a pipe, a console).
bool IdentifyInput(const InputStream& input, FileIdentity* identity);
// Whether the user may write the existing file: what opening it for writing would answer.
bool MayWrite(const char* file, Text* reason);
// Opens a device or pipe to write to. A name of a standard stream that was closed (POSIX
// /dev/stdout) gives a handle that fails every write as that stream does.
bool OpenForWriting(const char* path, intptr_t* handle, Text* reason);
// Creates the file, failing with `*taken` set when the name exists. It is removed if a signal
// (or a console event) ends the program before ReplaceWithTemporaryFile or RemoveTemporaryFile,
// so `file` must stay as it is until then.
// `permissions` null: a new file's default; otherwise these POSIX mode bits exactly.
bool CreateTemporaryFile(const char* file, const unsigned* permissions, intptr_t* handle, bool* taken,
                         Text* reason);
bool FlushToDisk(intptr_t handle, Text* reason);
bool CloseOutputHandle(intptr_t handle, Text* reason);
// Renames the closed temporary file over `destination` in one step.
bool ReplaceWithTemporaryFile(const char* temporary, const char* destination, Text* reason);
void RemoveTemporaryFile(const char* temporary);
// A number no other running process has, for names of temporary files.
size_t ProcessNumber();
// A number that no file made before the run can know, for hashes such a file cannot make collide.
uint64_t UnpredictableNumber();

// One message, written whole; a failure to write it cannot be reported anywhere.
void WriteToStandardError(std::string_view message);
