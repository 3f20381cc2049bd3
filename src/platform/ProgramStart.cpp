#include "ProgramStart.h"

#include "util/FileOps.h"
#include "util/MallowError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace mallow::platform {

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    enum class Quote { None, Single, Double } quote = Quote::None;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (quote == Quote::Single) {
            if (c == '\'')
                quote = Quote::None;
            else
                word += c;
            continue;
        }
        if (quote == Quote::Double) {
            if (c == '"') {
                quote = Quote::None;
            } else if (c == '\\' && i + 1 < commandLine.size() &&
                       std::strchr("\"\\$`", commandLine[i + 1])) {
                word += commandLine[++i];
            } else {
                word += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'')
            quote = Quote::Single;
        else if (c == '"')
            quote = Quote::Double;
        else if (c == '\\' && i + 1 < commandLine.size())
            word += commandLine[++i];
        else
            word += c;
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

void StartProgram(const std::string& commandLine)
{
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty())
        RaiseFileError(ENOENT, "StartProgram");
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The program lives on in a session of its own, whatever becomes of Mallow.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0)
        RaiseFileError(rc, "StartProgram");
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
}

} // namespace mallow::platform
