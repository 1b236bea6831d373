// varnholt-cli where only a POSIX system can put it: a full disk, a closed standard output, a
// reader that goes away, signals in the middle of a run, devices and links as the output, and
// a campaign file read back by an independent CSV reader.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli/cli_test_support.h"

extern char** environ;

namespace {

using cli_test::ReadFile;
using cli_test::RunProgram;
using cli_test::TestFolder;
using cli_test::WriteFile;

// A running program: its standard input is the test's pipe; its standard error a socket that
// keeps each write a record of its own, so that the writes can be counted.
struct Started {
    pid_t pid = -1;
    int input = -1;
    int errors = -1;
};

enum class StandardOutput { kClosed, kDescriptor };

// Starts the program with its standard output closed or on `outputFd`; `defaultSigpipe` false
// leaves SIGPIPE ignored, as a shell's `trap '' PIPE` does.
Started Start(const std::vector<std::string>& arguments, StandardOutput output, int outputFd = -1,
              bool defaultSigpipe = true) {
    signal(SIGPIPE, SIG_IGN);
    int in[2], err[2];
    EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, err), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    if (output == StandardOutput::kClosed) posix_spawn_file_actions_addclose(&actions, 1);
    else posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    if (defaultSigpipe) sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const std::string program = cli_test::ProgramPath();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    Started started;
    EXPECT_EQ(posix_spawn(&started.pid, program.c_str(), &actions, &attributes, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(in[0]);
    close(err[1]);
    started.input = in[1];
    started.errors = err[0];
    return started;
}

void Feed(Started* started, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        const ssize_t written = write(started->input, bytes.data() + at, bytes.size() - at);
        if (written <= 0) break;
        at += static_cast<size_t>(written);
    }
}

// Closes the input, reads the errors to their end and waits: the exit status, or 128 + N for
// an end by signal N. `writes` counts the program's writes to its standard error.
int Finish(Started* started, std::string* errors, int* writes = nullptr) {
    if (started->input >= 0) close(started->input);
    started->input = -1;
    std::vector<char> record(1 << 20);
    for (ssize_t got; (got = read(started->errors, record.data(), record.size())) > 0;) {
        errors->append(record.data(), got);
        if (writes) ++*writes;
    }
    close(started->errors);
    int status = 0;
    waitpid(started->pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Keyword sets of four keywords with subsets: 60 lines each.
std::string ManySets(int count) {
    std::string sets;
    for (int i = 0; i < count; ++i) {
        sets += "alpha" + std::to_string(i) + "\tbeta\tgamma\tdelta\n";
    }
    return sets;
}

TEST(UnixProgram, FailedWritesToStandardOutputAreErrors) {
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    for (const bool manySets : {false, true}) {
        Started started = Start({"--input", "-", "-s"}, StandardOutput::kDescriptor, full);
        Feed(&started, manySets ? ManySets(5000) : "a\tb\n");
        std::string errors;
        EXPECT_EQ(Finish(&started, &errors), 1);
        EXPECT_EQ(errors, "varnholt-cli: cannot write standard output: No space left on device\n");
    }
    close(full);

    Started closed = Start({"a", "b"}, StandardOutput::kClosed);
    std::string errors;
    EXPECT_EQ(Finish(&closed, &errors), 1);
    EXPECT_EQ(errors, "varnholt-cli: cannot write standard output: Bad file descriptor\n");
    // Named as the output file, the closed standard output fails the same way.
    Started named = Start({"-o", "/dev/stdout", "a", "b"}, StandardOutput::kClosed);
    errors.clear();
    EXPECT_EQ(Finish(&named, &errors), 1);
    EXPECT_EQ(errors, "varnholt-cli: cannot write /dev/stdout: Bad file descriptor\n");

    // A device named as the output is written as it is, not replaced.
    const ProcessResult device = RunProgram({"-o", "/dev/full", "a", "b"});
    EXPECT_EQ(device.exitCode, 1);
    EXPECT_EQ(device.err, "varnholt-cli: cannot write /dev/full: No space left on device\n");
}

TEST(UnixProgram, AReaderThatGoesAwayEndsTheProgramQuietly) {
    for (const bool defaultSigpipe : {true, false}) {
        int ends[2];
        ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
        Started started = Start({"--input", "-", "-s"}, StandardOutput::kDescriptor, ends[1], defaultSigpipe);
        close(ends[1]);
        // The reader has gone before the program writes its first block, as `head` would have
        // after its lines; the program stops then, whether or not it has read all its input.
        close(ends[0]);
        Feed(&started, ManySets(2000));
        std::string errors;
        const int status = Finish(&started, &errors);
        // Ended by SIGPIPE as every filter is, or, with SIGPIPE ignored, by a failure status.
        EXPECT_EQ(status, defaultSigpipe ? 128 + SIGPIPE : 1);
        EXPECT_EQ(errors, "");
    }
}

TEST(UnixProgram, ASignalInTheMiddleOfARunLeavesTheOutputFileAsItWas) {
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGALRM}) {
        SCOPED_TRACE(strsignal(signalNumber));
        const auto folder = TestFolder("signal");
        const std::string out = (folder / "phrases.txt").string();
        WriteFile(out, "old content\n");
        Started started = Start({"--input", "-", "-s", "-o", out}, StandardOutput::kClosed);
        // Enough sets for the program to have written to its temporary file, which it is
        // still writing while it waits for more input.
        Feed(&started, ManySets(1000));
        bool writing = false;
        for (int wait = 0; wait < 1000 && !writing; ++wait) {
            for (const std::string& name : cli_test::FileNames(folder)) {
                if (name.rfind("phrases.txt.tmp.", 0) == 0 && std::filesystem::file_size(folder / name) > 0) writing = true;
            }
            if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(writing);
        kill(started.pid, signalNumber);
        std::string errors;
        EXPECT_EQ(Finish(&started, &errors), 128 + signalNumber);
        EXPECT_EQ(ReadFile(out), "old content\n");
        EXPECT_EQ(cli_test::FileNames(folder), std::vector<std::string>{"phrases.txt"});
    }
}

TEST(UnixProgram, DevicesAndLinksAsTheOutput) {
    EXPECT_EQ(RunProgram({"-o", "/dev/null", "a", "b"}).exitCode, 0);
    struct stat device;
    ASSERT_EQ(stat("/dev/null", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));

    // A link's file gets the new content and keeps its permissions; the link stays a link.
    const auto folder = TestFolder("link");
    const auto target = folder / "target.txt";
    WriteFile(target, "old\n");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    std::filesystem::create_symlink(target, folder / "link.txt");
    EXPECT_EQ(RunProgram({"--lf", "-o", (folder / "link.txt").string(), "a", "b"}).exitCode, 0);
    EXPECT_EQ(ReadFile(target), "\"a b\"\n\"b a\"\n");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.txt"));
    struct stat file;
    ASSERT_EQ(stat(target.c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 07777, 0640u);
    EXPECT_EQ(cli_test::FileNames(folder), (std::vector<std::string>{"link.txt", "target.txt"}));
}

TEST(UnixProgram, AFileSizeLimitIsAFailedWrite) {
    const auto folder = TestFolder("size_limit");
    const std::string sets = (folder / "sets.tsv").string();
    const std::string out = (folder / "phrases.txt").string();
    WriteFile(sets, ManySets(1000));
    WriteFile(out, "old content\n");
    const ProcessResult run = RunProcess("/bin/sh", {"-c", "ulimit -f 100 && exec \"$0\" \"$@\"", cli_test::ProgramPath(),
                                                     "--input", sets, "-s", "-o", out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "varnholt-cli: cannot write " + out + ": File too large\n");
    EXPECT_EQ(ReadFile(out), "old content\n");
    EXPECT_EQ(cli_test::FileNames(folder), (std::vector<std::string>{"phrases.txt", "sets.tsv"}));
}

// Where the tests run as root, the program runs as nobody, so that permissions apply to it.
ProcessResult RunAsOrdinaryUser(const std::vector<std::string>& arguments) {
    if (geteuid() != 0) return RunProgram(arguments);
    std::vector<std::string> command{"--reuid=65534", "--regid=65534", "--clear-groups", cli_test::ProgramPath()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return RunProcess("/usr/bin/setpriv", command);
}

TEST(UnixProgram, TheOutputFileIsWrittenOnlyWhereTheShellWouldWriteIt) {
    const auto folder = TestFolder("permissions");
    // A folder anyone may write in, holding a file only its owner may write.
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    const std::string kept = (folder / "kept.txt").string();
    WriteFile(kept, "old content\n");
    ASSERT_EQ(chmod(kept.c_str(), 0444), 0);
    const ProcessResult refused = RunAsOrdinaryUser({"a", "b", "-o", kept});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err, "varnholt-cli: cannot write " + kept + ": Permission denied\nTry 'varnholt-cli --help'.\n");
    EXPECT_EQ(ReadFile(kept), "old content\n");
    EXPECT_EQ(cli_test::FileNames(folder), std::vector<std::string>{"kept.txt"});

    // A replaced file keeps its permissions, but neither set-user-ID nor set-group-ID.
    const std::string replaced = (folder / "replaced").string();
    WriteFile(replaced, "old content\n");
    if (geteuid() == 0) ASSERT_EQ(chown(replaced.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(replaced.c_str(), 06755), 0);
    EXPECT_EQ(RunProgram({"a", "b", "-o", replaced}).exitCode, 0);
    struct stat status;
    ASSERT_EQ(stat(replaced.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0755u);
}

TEST(UnixProgram, TheInputReachedThroughALinkOrStandardInputIsNotReplaced) {
    const auto folder = TestFolder("input_links");
    const std::string sets = (folder / "sets.tsv").string();
    WriteFile(sets, "a\tb\n");
    std::filesystem::create_symlink("sets.tsv", folder / "link.tsv");
    const std::string link = (folder / "link.tsv").string();
    const ProcessResult linked = RunProgram({"--input", sets, "-o", link});
    EXPECT_EQ(linked.exitCode, 2);
    EXPECT_EQ(linked.err, "varnholt-cli: --output " + link + " is the same file as the input " + sets +
                              "\nTry 'varnholt-cli --help'.\n");
    const ProcessResult redirected = RunProcess("/bin/sh", {"-c", "exec \"$0\" --input - -o \"$1\" < \"$1\"",
                                                            cli_test::ProgramPath(), sets});
    EXPECT_EQ(redirected.exitCode, 2);
    EXPECT_EQ(redirected.err, "varnholt-cli: --output " + sets + " is the same file as the input (standard input)"
                              "\nTry 'varnholt-cli --help'.\n");
    EXPECT_EQ(ReadFile(sets), "a\tb\n");
    EXPECT_EQ(cli_test::FileNames(folder), (std::vector<std::string>{"link.tsv", "sets.tsv"}));
}

TEST(UnixProgram, ADanglingLinkAsTheOutputCreatesTheFileItNames) {
    const auto folder = TestFolder("dangling");
    std::filesystem::create_symlink("new.txt", folder / "link.txt");
    EXPECT_EQ(RunProgram({"--lf", "-o", (folder / "link.txt").string(), "a", "b"}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.txt"));
    EXPECT_EQ(ReadFile(folder / "new.txt"), "\"a b\"\n\"b a\"\n");
    EXPECT_EQ(cli_test::FileNames(folder), (std::vector<std::string>{"link.txt", "new.txt"}));
}

TEST(UnixProgram, MessagesAreWrittenInBlocks) {
    std::string sets;
    for (int i = 0; i < 100; ++i) sets += "a!\tb\n";
    Started started = Start({"--input", "-", "--max-messages", "0", "-o", "/dev/null"}, StandardOutput::kClosed);
    Feed(&started, sets);
    std::string errors;
    int writes = 0;
    EXPECT_EQ(Finish(&started, &errors, &writes), 0);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 200);
    EXPECT_EQ(writes, 1);
}

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) hex += {digits[c >> 4], digits[c & 15]};
    return hex;
}

// Every combination of one alternative per keyword, the last keyword's varying fastest.
std::vector<std::vector<std::string>> Combinations(const std::vector<std::string>& keywords) {
    std::vector<std::vector<std::string>> combinations{{}};
    for (const std::string& keyword : keywords) {
        std::vector<std::vector<std::string>> longer;
        for (const auto& start : combinations) {
            std::istringstream alternatives(keyword);
            for (std::string alternative; std::getline(alternatives, alternative, '|');) {
                longer.push_back(start);
                longer.back().push_back(alternative);
            }
        }
        combinations = longer;
    }
    return combinations;
}

TEST(UnixProgram, ACampaignFileBecomesCsvRowsOfExactlyTheWindowsPhrases) {
    // Keywords with what CSV must quote, blanks, UTF-8 and Latin-1 bytes and word lists; two to
    // four per set, some sets with an ad group of their own; two match types.
    const std::vector<std::string> pool{"blue", "running shoes", "5\" screen", "red, white", "caf\xC3\xA9",
                                        " padded ", "\"quoted\"", "buy|order", "na\xEFve|x", "[sale]"};
    const auto folder = TestFolder("campaign");
    struct Set {
        std::vector<std::string> keywords;
        std::string adGroup;
    };
    std::vector<Set> sets;
    std::string file;
    unsigned seed = 7;
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int row = 0; row < 3000; ++row) {
        Set set;
        const size_t count = 2 + next() % 3;
        for (size_t k = 0; k < count; ++k) set.keywords.push_back(pool[next() % pool.size()]);
        if (next() % 4 == 0) set.adGroup = "Group, \"" + std::to_string(row) + "\"";
        std::string line;
        for (size_t k = 0; k < 4; ++k) line += (k ? "\t" : "") + (k < count ? set.keywords[k] : "");
        file += line + (set.adGroup.empty() ? "" : "\t" + set.adGroup) + (row % 2 ? "\r\n" : "\n");
        sets.push_back(set);
    }
    WriteFile(folder / "campaign.tsv", file);
    const std::string csv = (folder / "campaign.csv").string();
    const ProcessResult run = RunProgram({"--input", (folder / "campaign.tsv").string(), "-f", "csv", "-s", "--mix",
                                          "--match=exact,broad", "--campaign", "Spring, \"26\"", "-o", csv});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const ProcessResult read = RunProcess("/usr/bin/env", {"python3", VARNHOLT_CSV_READER, csv});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    std::vector<std::string> expected{Hex("Campaign") + "\t" + Hex("Ad group") + "\t" + Hex("Keyword") + "\t" +
                                      Hex("Criterion Type")};
    for (const Set& set : sets) {
        for (const std::vector<std::string>& keywords : Combinations(set.keywords)) {
            std::string joined;
            for (const std::string& keyword : keywords) joined += (joined.empty() ? "" : " ") + keyword;
            const std::string adGroup = set.adGroup.empty() ? joined : set.adGroup;
            const std::string lines = cli_test::WindowLines(keywords, kBracketDelimiters, true, "\n");
            for (const char* type : {"Exact", "Broad"}) {
                for (size_t start = 0, end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
                    // The window's line without its delimiters.
                    const std::string phrase = lines.substr(start + 1, end - start - 2);
                    expected.push_back(Hex("Spring, \"26\"") + "\t" + Hex(adGroup) + "\t" + Hex(phrase) + "\t" +
                                       Hex(type));
                }
            }
        }
    }
    std::vector<std::string> rows;
    std::istringstream lines(read.out);
    for (std::string line; std::getline(lines, line);) rows.push_back(line);
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i], expected[i]) << "row " << i;
}

}  // namespace
