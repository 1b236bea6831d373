#include "cli/console_io.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary output file, for the signal handler to remove; null while there is none.
const char* volatile temporaryFileToRemove = nullptr;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

void SetReason(Text* reason, int error) {
    reason->Assign(strerror(error));
}

int Descriptor(intptr_t handle) {
    return static_cast<int>(handle);
}

// Removes the temporary file and ends the program by the same signal, so that whoever started
// it still sees how it ended. Only async-signal-safe calls.
extern "C" void RemoveTemporaryFileAndReraise(int signalNumber) {
    const char* path = temporaryFileToRemove;
    if (path) unlink(path);
    // The handler was reset on entry; the signal, blocked while the handler runs, arrives again
    // as soon as it returns.
    raise(signalNumber);
}

void InstallCleanupHandlers() {
    for (int signalNumber : kCleanupSignals) {
        struct sigaction previous;
        if (sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryFileAndReraise;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(signalNumber, &action, nullptr);
    }
}

// Keeps the cleanup signals out while the temporary file changes hands.
struct CleanupSignalsBlocked {
    sigset_t previous;
    CleanupSignalsBlocked() {
        sigset_t blocked;
        sigemptyset(&blocked);
        for (int signalNumber : kCleanupSignals) sigaddset(&blocked, signalNumber);
        sigprocmask(SIG_BLOCK, &blocked, &previous);
    }
    ~CleanupSignalsBlocked() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
};

void KeepClosedForWriting(int fd, int flags) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return;
    const int placeholder = open("/dev/null", flags);
    if (placeholder != fd && placeholder >= 0) close(placeholder);
}

}  // namespace

void PrepareStandardStreams() {
    // Opened read-only, the placeholders make writes fail instead of succeeding silently.
    KeepClosedForWriting(0, O_RDONLY);
    KeepClosedForWriting(1, O_RDONLY);
    KeepClosedForWriting(2, O_RDONLY);
}

char** Utf8Arguments(int*, char** argv) {
    return argv;
}

std::string_view NativeLineEnd() {
    return "\n";
}

bool OpenInput(const char* path, InputStream* input, Text* reason) {
    if (std::string_view(path) == "-") {
        *input = {0, false};
        return true;
    }
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetReason(reason, errno);
        return false;
    }
    struct stat status;
    if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(fd);
        SetReason(reason, EISDIR);
        return false;
    }
    *input = {fd, true};
    return true;
}

long ReadInput(InputStream* input, char* into, size_t size, Text* reason) {
    for (;;) {
        const ssize_t got = read(Descriptor(input->handle), into, size);
        if (got >= 0) return static_cast<long>(got);
        if (errno == EINTR) continue;
        SetReason(reason, errno);
        return -1;
    }
}

void CloseInput(InputStream* input) {
    if (input->ownsHandle) close(Descriptor(input->handle));
    *input = {};
}

void OpenStandardOutput(OutputTarget* output) {
    output->handle = 1;
    output->ownsHandle = false;
}

bool OpenOutputFile(const char* path, OutputTarget* output, Text* reason) {
    struct stat status;
    mode_t mode;
    if (stat(path, &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            SetReason(reason, EISDIR);
            return false;
        }
        if (!S_ISREG(status.st_mode)) {
            // A device or a pipe cannot be replaced (and must not be): it is written as a stream.
            const int fd = open(path, O_WRONLY | O_CLOEXEC);
            if (fd < 0) {
                SetReason(reason, errno);
                return false;
            }
            output->handle = fd;
            output->ownsHandle = true;
            return output->destination.Assign(path);
        }
        // A link is followed, so that the file it names gets the new content, and the file
        // keeps its permissions.
        char* resolved = realpath(path, nullptr);
        const bool named = output->destination.Assign(resolved ? resolved : path);
        free(resolved);
        if (!named) return false;
        mode = status.st_mode & 07777;
    } else {
        if (!output->destination.Assign(path)) return false;
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    if (!output->temporaryPath.Assign(output->destination.View()) ||
        !output->temporaryPath.Append(".tmp.XXXXXX")) {
        SetReason(reason, ENOMEM);
        return false;
    }
    InstallCleanupHandlers();
    const CleanupSignalsBlocked blocked;
    const int fd = mkstemp(output->temporaryPath.MutableData());
    if (fd < 0) {
        SetReason(reason, errno);
        output->temporaryPath.Resize(0);
        return false;
    }
    temporaryFileToRemove = output->temporaryPath.Data();
    fchmod(fd, mode);
    output->handle = fd;
    output->ownsHandle = true;
    return true;
}

WriteResult WriteOutput(OutputTarget* output, const char* bytes, size_t size, Text* reason) {
    while (size > 0) {
        const ssize_t written = write(Descriptor(output->handle), bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EPIPE) return WriteResult::kPipeClosed;
            SetReason(reason, errno);
            return WriteResult::kFailed;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return WriteResult::kWritten;
}

bool CommitOutput(OutputTarget* output, Text* reason) {
    if (!output->ownsHandle) return true;
    const int fd = Descriptor(output->handle);
    const bool replacing = !output->temporaryPath.IsEmpty();
    // On the disk before the rename, so that a crash leaves the old file or the whole new one.
    if (replacing && fsync(fd) != 0) {
        SetReason(reason, errno);
        AbandonOutput(output);
        return false;
    }
    output->ownsHandle = false;
    if (close(fd) != 0) {
        SetReason(reason, errno);
        AbandonOutput(output);
        return false;
    }
    if (!replacing) return true;
    const CleanupSignalsBlocked blocked;
    const bool renamed = rename(output->temporaryPath.Data(), output->destination.Data()) == 0;
    if (!renamed) {
        SetReason(reason, errno);
        unlink(output->temporaryPath.Data());
    }
    temporaryFileToRemove = nullptr;
    output->temporaryPath.Resize(0);
    return renamed;
}

void AbandonOutput(OutputTarget* output) {
    if (output->ownsHandle) close(Descriptor(output->handle));
    output->ownsHandle = false;
    if (output->temporaryPath.IsEmpty()) return;
    const CleanupSignalsBlocked blocked;
    unlink(output->temporaryPath.Data());
    temporaryFileToRemove = nullptr;
    output->temporaryPath.Resize(0);
}

void WriteToStandardError(std::string_view message) {
    while (!message.empty()) {
        const ssize_t written = write(2, message.data(), message.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        message.remove_prefix(static_cast<size_t>(written));
    }
}
