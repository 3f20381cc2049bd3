#include "LockFile.h"

#include "JetError.h"
#include "util/Paths.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace mallow::engine {

namespace {

// Registering and leaving take a short lock on this byte, far past any record, so that a
// client never registers in a file the last one is just removing.
constexpr off_t GuardOffset = off_t{1} << 40;
constexpr std::size_t MaxClients = 1 << 20;

// Open-file-description locks belong to the open file, not the process: two connections of
// one process are two clients, and closing any other descriptor keeps them.
bool Lock(int fd, short type, off_t start, off_t length, bool wait)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    for (;;) {
        if (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool IsLocked(int fd, std::size_t slot)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(slot * LockRecordSize);
    lock.l_len = static_cast<off_t>(LockRecordSize);
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return false;
    return lock.l_type != F_UNLCK;
}

// The registrations of this process, so that readers can tell them from other clients.
struct OwnRegistrations
{
    std::mutex mutex;
    std::multiset<std::tuple<dev_t, ino_t, std::size_t>> slots;
};

OwnRegistrations& Own()
{
    static OwnRegistrations own;
    return own;
}

std::string NameField(const unsigned char* bytes)
{
    std::string name;
    for (std::size_t i = 0; i < LockNameSize; ++i) {
        if (bytes[i] != 0)
            name += static_cast<char>(bytes[i]);
    }
    const auto first = name.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

// Copies at most 32 bytes of a name without cutting a UTF-8 character in two.
void PutName(unsigned char* field, const std::string& name)
{
    std::size_t length = std::min(name.size(), LockNameSize);
    while (length > 0 && length < name.size() &&
           (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
        --length;
    std::copy_n(name.begin(), length, field);
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd; }
    int Release() { return std::exchange(fd, -1); }

private:
    int fd;
};

struct Snapshot
{
    std::vector<LockRecord> records;
    int live = 0;
    int own = 0;
};

Snapshot Inspect(std::string_view databasePath)
{
    Snapshot snapshot;
    const std::string lockPath = LockFilePathFor(databasePath);
    Descriptor fd(open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return snapshot;
        RaiseJet(jet::FileInUse, lockPath);
    }
    // A shared hold of the guard waits out a client that is registering or leaving.
    Lock(fd.Get(), F_RDLCK, GuardOffset, 1, true);
    struct stat st = {};
    fstat(fd.Get(), &st);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            pread(fd.Get(), bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);

    std::set<std::size_t> ownSlots;
    {
        std::lock_guard lock(Own().mutex);
        for (const auto& [device, inode, slot] : Own().slots) {
            if (device == st.st_dev && inode == st.st_ino)
                ownSlots.insert(slot);
        }
    }
    // A partial record at the end may still be locked by a client that is writing it.
    const std::size_t slots = (bytes.size() + LockRecordSize - 1) / LockRecordSize;
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const bool live = IsLocked(fd.Get(), slot);
        if (live) {
            ++snapshot.live;
            if (ownSlots.count(slot))
                ++snapshot.own;
        }
        if ((slot + 1) * LockRecordSize <= bytes.size()) {
            const unsigned char* record = bytes.data() + slot * LockRecordSize;
            snapshot.records.push_back({NameField(record), NameField(record + LockNameSize), live});
        }
    }
    return snapshot;
}

} // namespace

std::string LockFilePathFor(std::string_view databasePath)
{
    std::string path = NativePath(databasePath);
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        path.resize(dot);
    return path + ".ldb";
}

std::vector<LockRecord> ReadLockRecords(std::string_view databasePath)
{
    return Inspect(databasePath).records;
}

int LiveClients(std::string_view databasePath)
{
    return Inspect(databasePath).live;
}

int OtherLiveClients(std::string_view databasePath)
{
    const Snapshot snapshot = Inspect(databasePath);
    return snapshot.live - snapshot.own;
}

bool HeldByOthers(std::string_view databasePath)
{
    return OtherLiveClients(databasePath) > 0;
}

std::string LockComputerName()
{
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return "LOCALHOST";
    std::string name = host;
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

LockRegistration::LockRegistration(std::string_view databasePath, const std::string& userName,
                                   const std::string& displayPath)
    : lockPath(LockFilePathFor(databasePath))
{
    // The last client removes the file by this name, whatever its working folder is by then.
    std::error_code ec;
    if (const auto absolute = std::filesystem::absolute(lockPath, ec); !ec)
        lockPath = absolute.string();
    const auto fail = [&] { RaiseJet(jet::FileInUse, displayPath); };
    struct stat database = {};
    const mode_t mode =
        stat(NativePath(databasePath).c_str(), &database) == 0 ? (database.st_mode & 0666) : 0666;
    for (int attempt = 0;; ++attempt) {
        if (attempt == 100)
            fail();
        bool created = false;
        int raw = open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
        if (raw < 0 && errno == ENOENT) {
            raw = open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            created = raw >= 0;
            if (raw < 0 && errno == EEXIST)
                continue;
        }
        if (raw < 0)
            fail();
        Descriptor file(raw);
        // Whoever may write the database may register in its lock file.
        if (created)
            fchmod(file.Get(), mode);
        if (!Lock(file.Get(), F_WRLCK, GuardOffset, 1, true))
            fail();
        // The last client may have removed the file between our open and the guard.
        struct stat held = {};
        struct stat named = {};
        if (fstat(file.Get(), &held) != 0 || stat(lockPath.c_str(), &named) != 0 ||
            held.st_dev != named.st_dev || held.st_ino != named.st_ino)
            continue;

        std::size_t candidate = 0;
        while (IsLocked(file.Get(), candidate) ||
               !Lock(file.Get(), F_WRLCK, static_cast<off_t>(candidate * LockRecordSize),
                     static_cast<off_t>(LockRecordSize), false)) {
            if (++candidate == MaxClients)
                fail();
        }

        unsigned char record[LockRecordSize] = {};
        PutName(record, LockComputerName());
        PutName(record + LockNameSize, userName.empty() ? std::string("Admin") : userName);
        if (pwrite(file.Get(), record, LockRecordSize,
                   static_cast<off_t>(candidate * LockRecordSize)) !=
            static_cast<ssize_t>(LockRecordSize)) {
            // Nobody else is registered when we made the file: take it away again.
            if (created)
                unlink(lockPath.c_str());
            fail();
        }
        Lock(file.Get(), F_UNLCK, GuardOffset, 1, false);

        slot = candidate;
        device = held.st_dev;
        inode = held.st_ino;
        fd = file.Release();
        std::lock_guard lock(Own().mutex);
        Own().slots.emplace(device, inode, slot);
        return;
    }
}

LockRegistration::~LockRegistration()
{
    {
        std::lock_guard lock(Own().mutex);
        const auto it = Own().slots.find({device, inode, slot});
        if (it != Own().slots.end())
            Own().slots.erase(it);
    }
    Lock(fd, F_WRLCK, GuardOffset, 1, true);
    Lock(fd, F_UNLCK, static_cast<off_t>(slot * LockRecordSize), static_cast<off_t>(LockRecordSize),
         false);
    struct stat held = {};
    struct stat named = {};
    const bool stillNamed = fstat(fd, &held) == 0 && stat(lockPath.c_str(), &named) == 0 &&
                            held.st_dev == named.st_dev && held.st_ino == named.st_ino;
    if (stillNamed) {
        const auto slots =
            (static_cast<std::size_t>(held.st_size) + LockRecordSize - 1) / LockRecordSize;
        bool anyone = false;
        for (std::size_t i = 0; i < slots && !anyone; ++i)
            anyone = IsLocked(fd, i);
        if (!anyone)
            unlink(lockPath.c_str());
    }
    close(fd); // releases the guard
}

} // namespace mallow::engine
