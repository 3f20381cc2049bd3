// This machine's services for MultiUser: Samba's messenger, the system's resolver, file reads.

#include "MultiUser.h"

#include "platform/LinuxProvider.h"
#include "util/FileOps.h"
#include "util/MallowError.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace mallow::multiuser {

namespace {

constexpr auto ResolveWait = std::chrono::seconds(2);

std::vector<std::string> Resolve(const std::string& name)
{
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::vector<std::string> addresses;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0)
        return addresses;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        char text[NI_MAXHOST];
        if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0,
                        NI_NUMERICHOST) == 0)
            addresses.emplace_back(text);
    }
    freeaddrinfo(found);
    return addresses;
}

// The system's resolver, waited for a bounded time: a name server that does not answer costs
// at most that wait, and the lookup is left to finish on its own.
class SystemResolver : public NameResolver
{
public:
    std::vector<std::string> Addresses(const std::string& computerName) override
    {
        return Addresses(computerName, ResolveWait);
    }

    std::vector<std::string> Addresses(const std::string& computerName,
                                       std::chrono::milliseconds wait) override
    {
        struct Lookup
        {
            std::mutex mutex;
            std::condition_variable done;
            bool finished = false;
            std::vector<std::string> addresses;
        };
        auto lookup = std::make_shared<Lookup>();
        std::thread([lookup, computerName] {
            std::vector<std::string> addresses = Resolve(computerName);
            std::lock_guard lock(lookup->mutex);
            lookup->addresses = std::move(addresses);
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
        std::unique_lock lock(lookup->mutex);
        lookup->done.wait_for(lock, std::min<std::chrono::milliseconds>(wait, ResolveWait),
                              [&] { return lookup->finished; });
        return lookup->addresses;
    }
};

// The "net send" command line taken apart: the computer, then the message between the
// opening quote and the closing one.
bool ParseNetSend(const std::string& commandLine, std::string& computer, std::string& message)
{
    const std::string head = "net send ";
    if (commandLine.compare(0, head.size(), head) != 0 || commandLine.back() != '"')
        return false;
    const auto quote = commandLine.find(" \" ", head.size());
    if (quote == std::string::npos)
        return false;
    computer = commandLine.substr(head.size(), quote - head.size());
    message = commandLine.substr(quote + 3, commandLine.size() - quote - 4);
    return !computer.empty();
}

std::string LocalUserName()
{
    if (const passwd* user = getpwuid(geteuid()); user && user->pw_name)
        return user->pw_name;
    return "mallow";
}

// Delivers messages as WinPopup messages through Samba's smbclient: the program is started
// with its arguments as they are (no shell ever reads them), the message goes on its standard
// input, and it is not waited for.
class SambaMessenger : public MessageSender
{
public:
    explicit SambaMessenger(NameResolver& resolver) : resolver(resolver) {}

    void Send(const std::string& commandLine) override
    {
        std::string computer;
        std::string message;
        if (!ParseNetSend(commandLine, computer, message))
            throw MallowError(5, "MultiUser.SendMessage", "Not a network message: " + commandLine);
        // A name is looked up here, within a bounded wait; an address is used as it is.
        SendTo(commandLine, resolver.Addresses(computer));
    }

    void SendTo(const std::string& commandLine, const std::vector<std::string>& addresses) override
    {
        std::string computer;
        std::string message;
        if (!ParseNetSend(commandLine, computer, message))
            throw MallowError(5, "MultiUser.SendMessage", "Not a network message: " + commandLine);
        std::vector<std::string> args = {"smbclient", "-M", computer, "-U", LocalUserName(), "-N",
                                         "-t", "10"};
        if (!addresses.empty()) {
            args.push_back("-I");
            args.push_back(addresses.front());
        }
        Start(args, message);
    }

private:
    static void Start(std::vector<std::string> args, const std::string& input)
    {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0)
            RaiseFileError(errno, "MultiUser.SendMessage");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[0]);
        if (rc != 0) {
            close(pipeFds[1]);
            throw MallowError(53, "MultiUser.SendMessage",
                              "File not found: smbclient (install Samba's client to send "
                              "network messages)");
        }
        // The message is written and the program reaped on a thread of their own, so that a
        // slow receiver never holds up the caller.
        std::thread([pid, fd = pipeFds[1], input] {
            signal(SIGPIPE, SIG_IGN);
            for (std::size_t done = 0; done < input.size();) {
                const ssize_t n = write(fd, input.data() + done, input.size() - done);
                if (n <= 0)
                    break;
                done += static_cast<std::size_t>(n);
            }
            close(fd);
            waitpid(pid, nullptr, 0);
        }).detach();
    }

    NameResolver& resolver;
};

// Reads local files directly, and a UNC path through the share's mount when one holds it,
// else over SMB.
class ShareFileReader : public FileReader
{
public:
    explicit ShareFileReader(std::function<std::vector<platform::MountEntry>()> mounts)
        : mounts(std::move(mounts))
    {
    }

    std::string Read(const std::string& path, std::size_t maxBytes) override
    {
        const bool unc = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
                         (path[1] == '\\' || path[1] == '/');
        if (!unc)
            return ReadLocal(path, maxBytes);
        if (const auto local = MountedPathOf(path))
            return ReadLocal(*local, maxBytes);
        return platform::ReadShareFile(path, {}, 5000, maxBytes);
    }

private:
    // A lock file is read only when it is a regular file: never through a link, never a pipe
    // or a device that would keep the read waiting.
    static std::string ReadLocal(const std::string& path, std::size_t maxBytes)
    {
        const int fd = OpenRegularFile(path, O_RDONLY);
        if (fd < 0)
            RaiseFileError(errno == ELOOP || errno == EINVAL ? EACCES : errno, "MultiUser.ReadFile");
        std::string bytes;
        char buffer[65536];
        while (bytes.size() < maxBytes) {
            const ssize_t n =
                read(fd, buffer, std::min(sizeof buffer, maxBytes - bytes.size()));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                const int error = errno;
                close(fd);
                RaiseFileError(error, "MultiUser.ReadFile");
            }
            if (n == 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        close(fd);
        return bytes;
    }

    // The local name of \\server\share\rest under a mount of that share, if there is one.
    std::optional<std::string> MountedPathOf(const std::string& unc)
    {
        std::string path = unc;
        std::replace(path.begin(), path.end(), '/', '\\');
        const auto serverEnd = path.find('\\', 2);
        if (serverEnd == std::string::npos)
            return std::nullopt;
        const auto shareEnd = path.find('\\', serverEnd + 1);
        const std::string share = path.substr(0, shareEnd);
        std::string rest = shareEnd == std::string::npos ? "" : path.substr(shareEnd);
        std::replace(rest.begin(), rest.end(), '\\', '/');
        const auto same = [](std::string a, std::string b) {
            std::replace(a.begin(), a.end(), '/', '\\');
            std::replace(b.begin(), b.end(), '/', '\\');
            for (char& c : a)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            for (char& c : b)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return a == b;
        };
        for (const auto& connection : platform::MountedShares(mounts()))
            if (same(connection.remoteName, share))
                return connection.drive + rest;
        return std::nullopt;
    }

    std::function<std::vector<platform::MountEntry>()> mounts;
};

} // namespace

MultiUserServices DefaultMultiUserServices(const net::NetServices& net)
{
    static SystemResolver resolver;
    static SambaMessenger messenger(resolver);
    static ShareFileReader files(platform::ReadMountTable);
    MultiUserServices services;
    services.net = net;
    services.sender = &messenger;
    services.resolver = &resolver;
    services.files = &files;
    services.mounts = platform::ReadMountTable;
    return services;
}

} // namespace mallow::multiuser
