#include "EngineTestSupport.h"

#include "util/MallowError.h"

#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace mallow::test {

void MakeDatabase(const std::string& path, const std::string& script)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
        throw std::runtime_error("cannot create " + path);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message);
    const std::string text = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error(text);
}

std::map<std::string, std::string> FolderContents(const std::string& folder)
{
    std::map<std::string, std::string> contents;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        contents[entry.path().filename().string()] = ReadFile(entry.path().string());
    return contents;
}

long ErrorNumberOf(const std::function<void()>& body)
{
    try {
        body();
    } catch (const MallowError& error) {
        return error.Number();
    }
    return 0;
}

long ErrorNumberUnprivileged(const std::function<void()>& body)
{
    int channel[2];
    if (pipe(channel) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        long number = -1;
        // Root may write anywhere; "nobody" is held to the permissions.
        if (geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0))
            number = ErrorNumberOf(body);
        [[maybe_unused]] auto written = write(channel[1], &number, sizeof number);
        _exit(0);
    }
    close(channel[1]);
    long number = -1;
    if (child < 0 || read(channel[0], &number, sizeof number) != sizeof number)
        number = -1;
    close(channel[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return number;
}

int Mallowdb(const std::vector<std::string>& arguments)
{
    std::string program = MALLOW_MALLOWDB;
    std::vector<std::string> args = arguments;
    std::vector<char*> argv = {program.data()};
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int rc = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

LockHolder::LockHolder(const std::string& databasePath)
{
    int in[2];
    int out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        throw std::runtime_error("no pipes");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string program = MALLOW_LOCK_HOLDER;
    std::string path = databasePath;
    char* argv[] = {program.data(), path.data(), nullptr};
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    toChild = in[1];
    fromChild = out[0];
    if (rc != 0)
        throw std::runtime_error("cannot start " + program);
}

LockHolder::~LockHolder()
{
    if (pid > 0)
        Kill();
    if (toChild >= 0)
        close(toChild);
    if (fromChild >= 0)
        close(fromChild);
}

std::string LockHolder::FirstLine()
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p = {fromChild, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char c = 0;
        if (read(fromChild, &c, 1) != 1 || c == '\n')
            break;
        line += c;
    }
    return line;
}

int LockHolder::Release()
{
    [[maybe_unused]] auto written = write(toChild, "\n", 1);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void LockHolder::Kill()
{
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

} // namespace mallow::test
