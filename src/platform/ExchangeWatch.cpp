#include "platform/ExchangeWatch.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mallow::platform {

namespace {

struct OpenSocket
{
    int fd;
    ino_t inode;
};

/// Every socket descriptor of this process.
std::vector<OpenSocket> OpenSockets()
{
    std::vector<OpenSocket> sockets;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return sockets;
    const int own = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || end == entry->d_name || fd == own)
            continue;
        char target[64];
        const ssize_t n = readlinkat(own, entry->d_name, target, sizeof target - 1);
        if (n <= 0)
            continue;
        target[n] = '\0';
        const std::string link(target);
        if (link.rfind("socket:[", 0) != 0)
            continue;
        sockets.push_back({static_cast<int>(fd),
                           static_cast<ino_t>(std::strtoull(link.c_str() + 8, nullptr, 10))});
    }
    closedir(dir);
    return sockets;
}

bool IsSmbConnection(int fd)
{
    int protocol = 0;
    socklen_t length = sizeof protocol;
    if (getsockopt(fd, SOL_SOCKET, SO_PROTOCOL, &protocol, &length) != 0 || protocol != IPPROTO_TCP)
        return false;
    sockaddr_storage peer{};
    length = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return errno == ENOTCONN;
    in_port_t port = 0;
    if (peer.ss_family == AF_INET)
        port = ntohs(reinterpret_cast<const sockaddr_in&>(peer).sin_port);
    else if (peer.ss_family == AF_INET6)
        port = ntohs(reinterpret_cast<const sockaddr_in6&>(peer).sin6_port);
    return port == 445 || port == 139;
}

} // namespace

std::set<ino_t> SmbSockets()
{
    std::set<ino_t> found;
    for (const auto& s : OpenSockets())
        if (IsSmbConnection(s.fd))
            found.insert(s.inode);
    return found;
}

ExchangeWatch::ExchangeWatch(std::chrono::steady_clock::time_point deadline, std::set<ino_t> kept)
    : kept(std::move(kept))
{
    for (const auto& s : OpenSockets())
        before.insert(s.inode);
    watcher = std::thread([this, deadline] {
        std::unique_lock lock(mutex);
        if (changed.wait_until(lock, deadline, [this] { return stopped; }))
            return;
        fired = true;
        ShutDown();
    });
}

ExchangeWatch::~ExchangeWatch()
{
    Stop();
}

bool ExchangeWatch::Stop()
{
    {
        std::lock_guard lock(mutex);
        stopped = true;
    }
    changed.notify_all();
    if (watcher.joinable())
        watcher.join();
    return fired;
}

std::set<ino_t> ExchangeWatch::LibrarySockets() const
{
    std::set<ino_t> held;
    for (const auto& s : OpenSockets())
        if ((kept.count(s.inode) || !before.count(s.inode)) && IsSmbConnection(s.fd))
            held.insert(s.inode);
    return held;
}

void ExchangeWatch::ShutDown()
{
    for (const auto& s : OpenSockets()) {
        if (!kept.count(s.inode) && before.count(s.inode))
            continue;
        // A descriptor of our own for the socket, checked to be the one listed: the library
        // may close the number and reuse it meanwhile.
        const int copy = fcntl(s.fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0)
            continue;
        struct stat info
        {
        };
        if (fstat(copy, &info) == 0 && S_ISSOCK(info.st_mode) && info.st_ino == s.inode &&
            IsSmbConnection(copy))
            shutdown(copy, SHUT_RDWR);
        close(copy);
    }
}

} // namespace mallow::platform
