// mallow-run shows how far a database's work has come on a terminal, and only there.

#include "fixtures/ChildProcess.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/ManagedDatabase.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Finished
{
    int status = -1;
    std::string output; ///< standard output and standard error as they arrived
};

// Runs the program with its output on a pseudo-terminal or on a pipe, reading all of it.
Finished RunProgram(const std::string& program, bool onTerminal)
{
    int master = -1;
    int pipeFds[2] = {-1, -1};
    pid_t pid = -1;
    if (onTerminal) {
        pid = forkpty(&master, nullptr, nullptr, nullptr);
    } else {
        if (pipe(pipeFds) != 0)
            return {};
        pid = fork();
        if (pid == 0) {
            dup2(pipeFds[1], STDOUT_FILENO);
            dup2(pipeFds[1], STDERR_FILENO);
            close(pipeFds[0]);
            close(pipeFds[1]);
        }
        master = pipeFds[0];
    }
    if (pid == 0) {
        execl(program.c_str(), program.c_str(), "--no-backup", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (!onTerminal)
        close(pipeFds[1]);
    Finished finished;
    char buffer[4096];
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 30000) <= 0)
            break;
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        finished.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return finished;
}

TEST(HeadlessProgress, ALineOnATerminalAndNothingThroughAPipe)
{
    for (const bool onTerminal : {true, false}) {
        mallow::test::ConfigFixture config;
        const std::string program = config.folder.File("mallow-run");
        fs::copy_file(MALLOW_RUN, program);
        const std::string path = config.folder.File("sales.mdb");
        mallow::test::MakeManagedDatabase(path, 2000, true);
        config.AddApp(path);
        // Another program's transaction keeps the compaction waiting for a moment.
        mallow::test::ChildProcess writer(mallow::test::SqliteClientCommand(path, "delete"));
        ASSERT_EQ(writer.ReadLine()->rfind("ready", 0), 0u);
        ASSERT_EQ(writer.Ask("begin-write"), "ok");
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            writer.Ask("commit");
        });
        const Finished finished = RunProgram(program, onTerminal);
        release.join();
        EXPECT_EQ(finished.status, 0) << finished.output;
        EXPECT_NE(finished.output.find("[1 of 1] OK " + path), std::string::npos)
            << finished.output;
        const bool progressShown = finished.output.find("\r\033[K[1 of 1] ") != std::string::npos &&
                                   finished.output.find(": Writing back") != std::string::npos;
        EXPECT_EQ(progressShown, onTerminal) << finished.output;
        if (!onTerminal) {
            EXPECT_EQ(finished.output.find('\r'), std::string::npos) << finished.output;
        }
    }
}

} // namespace
