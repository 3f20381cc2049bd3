#include "platform/SambaSession.h"

#include "platform/ExchangeWatch.h"
#include "platform/MessageTexts.h"
#include "platform/SambaOutput.h"
#include "platform/SambaStatus.h"
#include "platform/Utf16.h"
#include "util/FileOps.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <netapi.h>
#include <talloc.h>

// The libraries' frame for temporary memory (Samba's util library); calls into the library
// that do not open one themselves leak what they allocate meanwhile.
TALLOC_CTX* _talloc_stackframe(const char* location);
}

namespace mallow::platform {

namespace {

using Clock = std::chrono::steady_clock;

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

/// The host part of a server argument: blanks and leading backslashes go; empty means this
/// machine, which the library reaches as "localhost".
std::string HostOf(const char16_t* server)
{
    std::string host = Trim(ToUtf8(server));
    host.erase(0, host.find_first_not_of('\\'));
    return host.empty() ? "localhost" : host;
}

bool IsLocal(const char16_t* server)
{
    return Trim(ToUtf8(server)).find_first_not_of('\\') == std::string::npos;
}

/// A loopback name: a connection there is refused at once when nothing listens, so it needs
/// no reachability probe.
bool IsLoopback(const std::string& host)
{
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

// Codes that mean the connection was found dead, so that a cached connection is the likely
// cause. A timeout or a failed call is not among them: the request may have been carried out,
// and asking again could do it twice.
bool IsTransportFailure(NET_API_STATUS code)
{
    switch (code) {
    case 59:   // unexpected network error
    case 64:   // network name no longer available
    case 109:  // broken pipe
    case 232:  // pipe being closed
    case 233:  // no process on the other end of the pipe
    case 240:  // session cancelled
    case 1003: // cannot complete this function (connection failed)
    case 1722: // RPC server unavailable
    case 2152: // library's report of a pipe it could not open
        return true;
    default:
        return false;
    }
}

/// A code for the caller: the library's raw NT statuses and its report of a pipe it could not
/// open become the codes a Windows client gets; a code without a text in Mallow's tables
/// becomes the unexpected network error, the code itself going to the debug log.
NET_API_STATUS Normalize(NET_API_STATUS code)
{
    if (code >= 0xC0000000)
        return CodeOfNtStatus(code, RPC_S_CALL_FAILED);
    if (code == NERR_DestNotFound)
        return RPC_S_SERVER_UNAVAILABLE;
    if (code != NERR_Success && !HasPlatformText(code)) {
        WriteDebugLog("The server library answered code " + std::to_string(code) +
                      ", which Mallow has no text for.");
        return ERROR_UNEXP_NET_ERR;
    }
    return code;
}

/// The process-wide libnetapi context: the library keeps one per process, with its cache of
/// connections to servers.
class SharedContext
{
public:
    // Made first, the libraries' hold outlives the context.
    SharedContext() { UseSambaLibraries(); }
    ~SharedContext() { Reset(); }

    libnetapi_ctx* Get(const NetCredentials& credentials)
    {
        if (ctx && credentials != applied)
            Reset();
        if (!ctx) {
            if (libnetapi_init(&ctx) != 0) {
                ctx = nullptr;
                return nullptr;
            }
            Apply(credentials);
            applied = credentials;
            used = false;
        }
        return ctx;
    }
    bool Used() const { return ctx && used; }
    void MarkUsed() { used = true; }
    bool Answered(const std::string& host) const { return answered.count(host) != 0; }
    void MarkAnswered(const std::string& host) { answered.insert(host); }
    /// The SMB sockets the library holds: its cached connections.
    const std::set<ino_t>& LibrarySockets() const { return sockets; }
    void SetLibrarySockets(std::set<ino_t> held) { sockets = std::move(held); }
    bool Stalled(const std::string& host, Clock::time_point now) const
    {
        const auto found = stalledUntil.find(host);
        return found != stalledUntil.end() && now < found->second;
    }
    void MarkStalled(const std::string& host, Clock::time_point until)
    {
        stalledUntil[host] = until;
    }
    /// Drops the context and with it every cached connection.
    void Reset()
    {
        if (ctx)
            libnetapi_free(ctx);
        ctx = nullptr;
        used = false;
        answered.clear();
        sockets.clear();
    }
    std::mutex& Mutex() { return mutex; }

private:
    void Apply(const NetCredentials& handedIn)
    {
        std::optional<NetCredentials> credentials;
        if (!handedIn.user.empty())
            credentials = handedIn;
        else
            credentials = ReadCredentialsFile();
        if (credentials) {
            if (!credentials->domain.empty())
                libnetapi_set_workgroup(ctx, credentials->domain.c_str());
            libnetapi_set_username(ctx, credentials->user.c_str());
            libnetapi_set_password(ctx, credentials->password.c_str());
        }
        // Without a password the library would prompt on the terminal; an empty one makes it
        // try a ticket or the guest account instead.
        const char* password = nullptr;
        libnetapi_get_password(ctx, &password);
        if (!password)
            libnetapi_set_password(ctx, "");
    }

    libnetapi_ctx* ctx = nullptr;
    NetCredentials applied;
    bool used = false;
    std::set<std::string> answered;
    std::set<ino_t> sockets;
    std::map<std::string, Clock::time_point> stalledUntil;
    std::mutex mutex;
};

SharedContext& Shared()
{
    static SharedContext context;
    return context;
}

/// The library's frame for the temporary memory of one exchange.
class TallocFrame
{
public:
    TallocFrame() : frame(_talloc_stackframe(__FILE__)) {}
    ~TallocFrame() { talloc_free(frame); }
    TallocFrame(const TallocFrame&) = delete;
    TallocFrame& operator=(const TallocFrame&) = delete;

private:
    TALLOC_CTX* frame;
};

unsigned RemainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<unsigned>(std::max<long long>(0, left));
}

} // namespace

std::string CredentialsFilePath()
{
    if (const char* explicitPath = std::getenv("MALLOW_SMB_CREDENTIALS"); explicitPath && *explicitPath)
        return explicitPath;
    // A service's credentials, handed to it by systemd (LoadCredential=smb-credentials:FILE).
    if (const char* handed = std::getenv("CREDENTIALS_DIRECTORY"); handed && *handed) {
        const std::string path = std::string(handed) + "/smb-credentials";
        if (access(path.c_str(), F_OK) == 0)
            return path;
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/mallow/smb-credentials";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/mallow/smb-credentials";
    return {};
}

std::string CredentialsFileProblem(const std::string& path, int fd)
{
    struct stat st = {};
    if (fstat(fd, &st) != 0)
        return path + " cannot be read: " + std::strerror(errno) + ".";
    if (st.st_uid != geteuid())
        return path + " does not belong to you; Mallow does not use it (it must be yours and "
                      "readable by you alone).";
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return path + " may be read or changed by others (mode " + mode +
               "); Mallow does not use it. Make it readable by you alone: chmod 600 " + path;
    }
    return {};
}

std::optional<NetCredentials> ReadCredentialsFile()
{
    const std::string path = CredentialsFilePath();
    if (path.empty())
        return std::nullopt;
    // Checked as ssh checks keys: only a file of the user's own that nobody else may read or
    // change holds the user's password.
    const int fd = OpenRegularFile(path, O_RDONLY);
    std::string problem;
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        problem = errno == ELOOP    ? path + " is a symbolic link; Mallow does not use it."
                  : errno == EINVAL ? path + " is not a file; Mallow does not use it."
                                    : path + " cannot be read: " + std::strerror(errno) + ".";
    } else {
        problem = CredentialsFileProblem(path, fd);
    }
    if (!problem.empty()) {
        if (fd >= 0)
            close(fd);
        // Said once per file for the life of the program, on standard error and in the log.
        static std::mutex mutex;
        static std::set<std::string> said;
        std::lock_guard lock(mutex);
        if (said.insert(path).second) {
            std::fprintf(stderr, "mallow: %s\n", problem.c_str());
            WriteDebugLog(problem);
        }
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || text.size() > 65536)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    std::istringstream in(text);
    NetCredentials credentials;
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = Trim(line.substr(0, eq));
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const std::string value = Trim(line.substr(eq + 1));
        if (key == "username")
            credentials.user = value;
        else if (key == "password")
            credentials.password = value;
        else if (key == "domain")
            credentials.domain = value;
    }
    if (credentials.user.empty())
        return std::nullopt;
    return credentials;
}

std::optional<bool> SmbServerAnswers(const std::string& host, unsigned timeoutMs)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), "445", &hints, &found) != 0 || !found)
        return std::nullopt;
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);

    // A negotiation offering NT LM 0.12 and SMB 2: every SMB server answers it.
    static const std::uint8_t negotiate[] = {
        0x00, 0x00, 0x00, 0x45, 0xFF, 'S',  'M',  'B',  0x72, 0x00, 0x00, 0x00, 0x00, 0x18, 0x53,
        0xC8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
        0xFE, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x22, 0x00, 0x02, 'N',  'T',  ' ',  'L',  'M',
        ' ',  '0',  '.',  '1',  '2',  0x00, 0x02, 'S',  'M',  'B',  ' ',  '2',  '.',  '0',  '0',
        '2',  0x00, 0x02, 'S',  'M',  'B',  ' ',  '2',  '.',  '?',  '?',  '?',  0x00};

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto remainingMs = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<long long>(0, left.count()));
    };
    for (addrinfo* a = addresses.get(); a; a = a->ai_next) {
        const int fd =
            socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        std::unique_ptr<int, void (*)(int*)> guard(new int(fd), [](int* p) {
            close(*p);
            delete p;
        });
        if (connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS)
            continue;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, remainingMs()) != 1)
            continue;
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            continue;
        if (send(fd, negotiate, sizeof negotiate, MSG_NOSIGNAL) != sizeof negotiate)
            continue;
        // The answer must look like SMB: a session message whose header starts with the
        // SMB 1 or SMB 2 signature. Anything else (a proxy, another service) is no server.
        std::uint8_t header[8];
        std::size_t got = 0;
        while (got < sizeof header) {
            p = {fd, POLLIN, 0};
            if (poll(&p, 1, remainingMs()) != 1)
                break;
            const ssize_t n = recv(fd, header + got, sizeof header - got, 0);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        if (got == sizeof header && header[0] == 0 && (header[4] == 0xFF || header[4] == 0xFE) &&
            header[5] == 'S' && header[6] == 'M' && header[7] == 'B')
            return true;
    }
    return false;
}

NET_API_STATUS CallServer(const SambaNetApi::Options& options, const char16_t* server,
                          const LibraryCall& call, Retry retry)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
    const std::string host = HostOf(server);
    const bool probe = !IsLocal(server) && !IsLoopback(host);
    auto& shared = Shared();
    std::lock_guard lock(shared.Mutex());
    // One user action may ask a server several times; once the server has let an exchange run
    // out of time, the rest of that action does not wait for it again.
    if (shared.Stalled(host, Clock::now()))
        return ERROR_SEM_TIMEOUT;
    for (int attempt = 0;; ++attempt) {
        const bool hadConnections = shared.Used();
        libnetapi_ctx* ctx = nullptr;
        // A named server is first checked to answer SMB at all, once per cached connection,
        // while the library prepares its context.
        if (probe && !shared.Answered(host)) {
            std::optional<bool> answered;
            std::thread prober(
                [&] { answered = SmbServerAnswers(host, std::max(1u, RemainingMs(deadline))); });
            ctx = shared.Get(options.credentials);
            prober.join();
            if (answered == false)
                return ERROR_BAD_NETPATH;
            if (answered)
                shared.MarkAnswered(host);
        } else {
            ctx = shared.Get(options.credentials);
        }
        if (!ctx)
            return ERROR_NOT_ENOUGH_MEMORY;

        SambaOutputCapture output;
        // Level 1 makes the library say why a connection failed; other libraries of the
        // process may have set the shared level back.
        libnetapi_set_debuglevel(ctx, "1");
        NET_API_STATUS status = 0;
        bool late = false;
        {
            const TallocFrame frame;
            ExchangeWatch watch(deadline, shared.LibrarySockets());
            status = call(ctx, host);
            late = watch.Stop();
            if (!late)
                shared.SetLibrarySockets(watch.LibrarySockets());
        }
        shared.MarkUsed();
        if (late) {
            // The connection was cut to end the wait: it goes with the context.
            shared.Reset();
            shared.MarkStalled(host, Clock::now() + std::chrono::milliseconds(options.timeoutMs));
            return status == NERR_Success ? status : ERROR_SEM_TIMEOUT;
        }
        // A connection that could not be made says why only in what the library printed.
        if (status == ERROR_CAN_NOT_COMPLETE)
            status = ConnectionFailureCode(output.Text()).value_or(status);
        if (status != 0 && IsTransportFailure(status) && hadConnections) {
            shared.Reset();
            if (retry == Retry::OnDeadConnection && attempt == 0)
                continue;
        }
        return Normalize(status);
    }
}

} // namespace mallow::platform
