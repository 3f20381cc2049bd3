#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include <sys/types.h>

namespace mallow::platform {

/// The sockets of this process (by inode) that are TCP connections to an SMB port (445 or
/// 139) or TCP sockets still connecting.
std::set<ino_t> SmbSockets();

/// Bounds one exchange of Samba's server library, which has no bound of its own for opening a
/// connection and its pipes: when the exchange has not ended by the deadline, the SMB sockets
/// it uses are shut down, so that the library's waits end at once on a broken connection. The
/// sockets it uses are those it kept from earlier exchanges and those opened meanwhile.
class ExchangeWatch
{
public:
    ExchangeWatch(std::chrono::steady_clock::time_point deadline, std::set<ino_t> kept);
    ~ExchangeWatch();
    ExchangeWatch(const ExchangeWatch&) = delete;
    ExchangeWatch& operator=(const ExchangeWatch&) = delete;

    /// Ends the watch: true when the deadline came first and the sockets were shut down.
    bool Stop();
    /// The SMB sockets the library holds after the exchange: those it kept that are still
    /// open and those it opened.
    std::set<ino_t> LibrarySockets() const;

private:
    void ShutDown();

    std::set<ino_t> kept;
    std::set<ino_t> before;
    std::mutex mutex;
    std::condition_variable changed;
    bool stopped = false;
    bool fired = false;
    std::thread watcher;
};

} // namespace mallow::platform
