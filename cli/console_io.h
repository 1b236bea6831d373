#pragma once
// The few platform services the console program needs: standard streams, reading a file, and
// an output file that is replaced only when the whole run succeeded. One implementation for
// POSIX systems, one for Windows; everything else of the program is platform-free.

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

// Where the output goes: standard output, a file that is not a regular one (a device, a pipe)
// written directly, or a temporary file beside the destination that replaces it on success.
struct OutputTarget {
    intptr_t handle = -1;
    bool ownsHandle = false;
    Text temporaryPath;  // empty unless the output is renamed into place
    Text destination;
};

void OpenStandardOutput(OutputTarget* output);
// Prepares writing to `path`: for a regular file (or a new one), a temporary file in the same
// folder, removed again if the program is interrupted by a signal. False with `reason` when
// no file can be written there.
bool OpenOutputFile(const char* path, OutputTarget* output, Text* reason);
WriteResult WriteOutput(OutputTarget* output, const char* bytes, size_t size, Text* reason);
// The run succeeded: the written bytes are put on the disk and the temporary file replaces the
// destination. False with `reason` when that fails; the destination then keeps what it had.
bool CommitOutput(OutputTarget* output, Text* reason);
// The run failed: the temporary file goes, the destination keeps what it had.
void AbandonOutput(OutputTarget* output);

// One message, written whole; a failure to write it cannot be reported anywhere.
void WriteToStandardError(std::string_view message);
