#include "cli/console_io.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary output file, for the signal handler to remove; null while there is none.
const char* volatile temporaryFileToRemove = nullptr;

// The standard output and error when the program found them closed: then they hold the read
// end of a pipe of their own (see PrepareStandardStreams).
bool streamFoundClosed[3];

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

// Whether a signal's default action ends the process and a handler can be put in its way.
bool EndsTheProgramCatchably(int signalNumber) {
    switch (signalNumber) {
        case SIGKILL:
        case SIGSTOP:
        case SIGCHLD:
        case SIGCONT:
        case SIGTSTP:
        case SIGTTIN:
        case SIGTTOU:
        case SIGURG:
        case SIGWINCH:
#ifdef SIGINFO
        case SIGINFO:
#endif
            return false;
        default:
            return true;
    }
}

void InstallCleanupHandlers() {
    // A write over the file size limit then fails with EFBIG and is reported like any failed
    // write, rather than ending the program.
    signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryFileAndReraise;
    action.sa_flags = SA_RESETHAND;
    sigfillset(&action.sa_mask);
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        if (!EndsTheProgramCatchably(signalNumber)) continue;
        // Left alone when ignored, or handled already (a sanitizer's crash report).
        struct sigaction previous;
        if (sigaction(signalNumber, nullptr, &previous) != 0 || previous.sa_handler != SIG_DFL) continue;
        sigaction(signalNumber, &action, nullptr);
    }
}

// Keeps signals out while the temporary file changes hands.
struct SignalsBlocked {
    sigset_t previous;
    SignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        sigprocmask(SIG_BLOCK, &all, &previous);
    }
    ~SignalsBlocked() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
};

void KeepClosedForReading(int fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return;
    const int placeholder = open("/dev/null", O_RDONLY);
    if (placeholder != fd && placeholder >= 0) close(placeholder);
}

// The read end of a pipe without a writer: writes to it fail with EBADF, as they did to the
// closed stream, and opening it again by name (/dev/stdout) gives a pipe known to be this one.
void KeepClosedForWriting(int fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return;
    int ends[2];
    if (pipe(ends) != 0) return;
    close(ends[1]);
    streamFoundClosed[fd] = ends[0] == fd;
    if (ends[0] != fd) close(ends[0]);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

void PrepareStandardStreams() {
    // In the order of the descriptors, each placeholder taking the lowest free one.
    KeepClosedForReading(0);
    KeepClosedForWriting(1);
    KeepClosedForWriting(2);
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

intptr_t StandardOutputHandle() {
    return 1;
}

WriteResult WriteOutput(intptr_t handle, const char* bytes, size_t size, Text* reason) {
    while (size > 0) {
        const ssize_t written = write(Descriptor(handle), bytes, size);
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

// A dangling link, followed by its text as open(O_CREAT) follows it, each relative target
// taken from the folder of the link that holds it.
bool FollowDanglingLink(const char* path, Text* file, Text* reason) {
    if (!file->Assign(path)) {
        SetReason(reason, ENOMEM);
        return false;
    }
    char target[PATH_MAX];
    for (int links = 0;; ++links) {
        const ssize_t length = readlink(file->Data(), target, sizeof target);
        if (length < 0) return true;
        if (links == 40) {
            SetReason(reason, ELOOP);
            return false;
        }
        if (static_cast<size_t>(length) == sizeof target) {
            SetReason(reason, ENAMETOOLONG);
            return false;
        }
        const std::string_view link(target, static_cast<size_t>(length));
        const size_t folderEnd = link[0] == '/' ? 0 : file->View().rfind('/') + 1;  // npos + 1: none
        file->Resize(folderEnd);
        if (!file->Append(link)) {
            SetReason(reason, ENOMEM);
            return false;
        }
    }
}

bool ExamineOutputName(const char* path, FileFacts* facts, Text* reason) {
    struct stat status;
    if (stat(path, &status) != 0) {
        facts->kind = FileKind::kMissing;
        return FollowDanglingLink(path, &facts->file, reason);
    }
    if (S_ISDIR(status.st_mode)) {
        SetReason(reason, EISDIR);
        return false;
    }
    // The file the links lead to gets the new content; the links stay. A device or a pipe
    // is opened by the name given (/dev/stdout has no other that opens the same pipe).
    char* resolved = S_ISREG(status.st_mode) ? realpath(path, nullptr) : nullptr;
    const bool named = facts->file.Assign(resolved ? resolved : path);
    free(resolved);
    if (!named) {
        SetReason(reason, ENOMEM);
        return false;
    }
    facts->kind = S_ISREG(status.st_mode) ? FileKind::kRegular : FileKind::kOther;
    facts->identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    facts->permissions = status.st_mode & 07777;
    return true;
}

bool IdentifyInput(const InputStream& input, FileIdentity* identity) {
    struct stat status;
    if (fstat(Descriptor(input.handle), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    *identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    return true;
}

bool MayWrite(const char* file, Text* reason) {
    // By the effective user, as open() decides: root may write a file without write permission.
    if (faccessat(AT_FDCWD, file, W_OK, AT_EACCESS) == 0) return true;
    SetReason(reason, errno);
    return false;
}

bool OpenForWriting(const char* path, intptr_t* handle, Text* reason) {
    int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        SetReason(reason, errno);
        return false;
    }
    struct stat opened, stream;
    for (int closed = 1; closed <= 2; ++closed) {
        if (!streamFoundClosed[closed] || fstat(fd, &opened) != 0 || fstat(closed, &stream) != 0) continue;
        if (!SameFile(opened, stream)) continue;
        close(fd);
        fd = dup(closed);
        if (fd < 0) {
            SetReason(reason, errno);
            return false;
        }
        break;
    }
    *handle = fd;
    return true;
}

bool CreateTemporaryFile(const char* file, const unsigned* permissions, intptr_t* handle, bool* taken,
                         Text* reason) {
    InstallCleanupHandlers();
    const SignalsBlocked blocked;
    const int fd = open(file, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *taken = errno == EEXIST;
        SetReason(reason, errno);
        return false;
    }
    temporaryFileToRemove = file;
    // Exactly the replaced file's bits, whatever the umask.
    if (permissions) fchmod(fd, static_cast<mode_t>(*permissions));
    *handle = fd;
    return true;
}

bool FlushToDisk(intptr_t handle, Text* reason) {
    if (fsync(Descriptor(handle)) == 0) return true;
    SetReason(reason, errno);
    return false;
}

bool CloseOutputHandle(intptr_t handle, Text* reason) {
    if (close(Descriptor(handle)) == 0) return true;
    SetReason(reason, errno);
    return false;
}

bool ReplaceWithTemporaryFile(const char* temporary, const char* destination, Text* reason) {
    const SignalsBlocked blocked;
    if (rename(temporary, destination) != 0) {
        SetReason(reason, errno);
        return false;
    }
    temporaryFileToRemove = nullptr;
    return true;
}

void RemoveTemporaryFile(const char* temporary) {
    const SignalsBlocked blocked;
    unlink(temporary);
    temporaryFileToRemove = nullptr;
}

size_t ProcessNumber() {
    return static_cast<size_t>(getpid());
}

uint64_t UnpredictableNumber() {
    // Where the system has none to give, 0: the hashes are then only as hard to predict as the
    // program's own.
    uint64_t number = 0;
    if (getrandom(&number, sizeof number, GRND_NONBLOCK) != sizeof number) number = 0;
    return number;
}

void WriteToStandardError(std::string_view message) {
    while (!message.empty()) {
        const ssize_t written = write(2, message.data(), message.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        message.remove_prefix(static_cast<size_t>(written));
    }
}
