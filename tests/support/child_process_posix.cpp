#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>

extern char** environ;

namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) == 0) {
            read = ends[0];
            write = ends[1];
        }
    }
};

void CloseEnd(int* fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input) {
    // A child that stops reading must not end the test with SIGPIPE; the child itself gets the
    // default handling back.
    signal(SIGPIPE, SIG_IGN);
    Pipe in, out, err;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.read, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, 1);
    posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    ProcessResult result;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    CloseEnd(&in.read);
    CloseEnd(&out.write);
    CloseEnd(&err.write);
    if (spawned != 0) {
        CloseEnd(&in.write);
        CloseEnd(&out.read);
        CloseEnd(&err.read);
        result.err = "cannot start " + program;
        return result;
    }

    size_t fed = 0;
    if (input.empty()) CloseEnd(&in.write);
    else fcntl(in.write, F_SETFL, O_NONBLOCK);
    while (out.read >= 0 || err.read >= 0) {
        pollfd polled[3] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}, {in.write, POLLOUT, 0}};
        if (poll(polled, 3, -1) < 0) continue;
        if (polled[2].revents) {
            const ssize_t written = write(in.write, input.data() + fed, input.size() - fed);
            if (written > 0) fed += static_cast<size_t>(written);
            if (written < 0 || fed == input.size()) CloseEnd(&in.write);
        }
        int* readers[2] = {&out.read, &err.read};
        std::string* into[2] = {&result.out, &result.err};
        for (int i = 0; i < 2; ++i) {
            if (!polled[i].revents) continue;
            char buffer[65536];
            const ssize_t got = read(*readers[i], buffer, sizeof buffer);
            if (got > 0) into[i]->append(buffer, static_cast<size_t>(got));
            else CloseEnd(readers[i]);
        }
    }
    CloseEnd(&in.write);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::string TestProgramDirectory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string program(path, length > 0 ? static_cast<size_t>(length) : 0);
    return program.substr(0, program.rfind('/'));
}
