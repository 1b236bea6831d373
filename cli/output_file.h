#pragma once
// Where the output goes, and the promises made for an output file: it never replaces the
// input, it is written only where the shell's `>` could write it, and it is replaced only when
// the whole run succeeded, through a temporary file beside it that no failure or signal
// leaves behind. Platform-free: the system calls are console_io's.

#include "cli/console_io.h"

struct OutputTarget {
    intptr_t handle = -1;
    bool ownsHandle = false;
    Text temporaryPath;  // empty unless the output is renamed into place
    Text destination;
};

void OpenStandardOutput(OutputTarget* output);

enum class OpenOutputResult {
    kOpened,
    kRefused,      // no file can be written there: `reason` says why
    kSameAsInput,  // the name reaches the file `input` reads
};

// Prepares writing to `path`: a device or a pipe is written directly, a regular file (or a
// new one) through a temporary file in its folder. `input` null: the input is no stream.
OpenOutputResult OpenOutputFile(const char* path, const InputStream* input, OutputTarget* output, Text* reason);

// The run succeeded: the written bytes are put on the disk and the temporary file replaces the
// destination. False with `reason` when that fails; the destination then keeps what it had.
bool CommitOutput(OutputTarget* output, Text* reason);
// The run failed: the temporary file goes, the destination keeps what it had.
void AbandonOutput(OutputTarget* output);
