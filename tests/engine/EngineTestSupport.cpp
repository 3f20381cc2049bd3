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
    : child({MALLOW_LOCK_HOLDER, databasePath})
{
}

LockHolder::~LockHolder() = default;

std::string LockHolder::FirstLine()
{
    return child.ReadLine(std::chrono::seconds(10)).value_or("");
}

int LockHolder::Release()
{
    child.WriteLine("");
    return child.Wait();
}

void LockHolder::Kill()
{
    child.Stop(SIGKILL);
}

} // namespace mallow::test
