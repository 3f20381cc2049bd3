#include "LockFile.h"

#include "JetError.h"
#include "util/DebugLog.h"
#include "util/FileOps.h"
#include "util/Paths.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace mallow::engine {

namespace {

// Registering and leaving take a short lock on this byte, far past any record, so that a
// client never registers in a file the last one is just removing.
constexpr off_t GuardOffset = off_t{1} << 40;
// A process that holds the database for itself locks this byte for as long as it does.
constexpr off_t HoldOffset = GuardOffset + 1;
// Legitimate clients hold the guard for a moment; anyone who can read the lock file can lock it
// too, so nobody waits for it longer than this.
constexpr auto GuardWait = std::chrono::seconds(5);

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

// Whether an open file other than `fd` holds a lock on the range.
bool IsRangeLocked(int fd, off_t start, off_t length)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return false;
    return lock.l_type != F_UNLCK;
}

// Waits a bounded time for a lock: false when it was not had by then.
bool LockWithin(int fd, short type, off_t start, off_t length)
{
    const auto deadline = std::chrono::steady_clock::now() + GuardWait;
    auto pause = std::chrono::microseconds(100);
    while (!Lock(fd, type, start, length, false)) {
        if ((errno != EAGAIN && errno != EACCES) || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(20));
    }
    return true;
}

bool IsLocked(int fd, std::size_t slot)
{
    return IsRangeLocked(fd, static_cast<off_t>(slot * LockRecordSize),
                         static_cast<off_t>(LockRecordSize));
}

// The records of a lock file that count: never more than a database admits clients, however
// large the file is.
std::size_t SlotsOf(const struct stat& st)
{
    const auto slots =
        (static_cast<std::size_t>(st.st_size) + LockRecordSize - 1) / LockRecordSize;
    return std::min(slots, LockFileMaxRecords);
}

// The registrations and holds of this process, so that they can be told from other clients.
struct OwnRegistrations
{
    std::mutex mutex;
    std::multiset<std::tuple<dev_t, ino_t, std::size_t>> slots;
    std::multiset<std::pair<dev_t, ino_t>> holds;
};

OwnRegistrations& Own()
{
    static OwnRegistrations own;
    return own;
}

bool HeldByThisProcess(const struct stat& st)
{
    std::lock_guard lock(Own().mutex);
    return Own().holds.count({st.st_dev, st.st_ino}) > 0;
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
    explicit Descriptor(int fd = -1) : fd(fd) {}
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        if (this != &other) {
            if (fd >= 0)
                close(fd);
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd; }
    int Release() { return std::exchange(fd, -1); }

private:
    int fd;
};

// The lock file by an absolute name: the last client removes it by this name, whatever its
// working folder is by then.
std::string AbsoluteLockPath(std::string_view databasePath)
{
    std::string path = LockFilePathFor(databasePath);
    std::error_code ec;
    if (const auto absolute = std::filesystem::absolute(path, ec); !ec)
        path = absolute.string();
    return path;
}

bool StillNamed(int fd, const std::string& path, struct stat& held)
{
    struct stat named = {};
    return fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

struct GuardedFile
{
    Descriptor file;
    struct stat held = {};
    bool created = false;
};

// Opens (or creates) the lock file and takes its guard, making sure the file still has its
// name: the last client may have removed it between our open and the guard. Raises 3051.
GuardedFile OpenGuarded(const std::string& lockPath, std::string_view databasePath,
                        const std::string& displayPath)
{
    struct stat database = {};
    const bool databaseKnown = stat(NativePath(databasePath).c_str(), &database) == 0;
    const mode_t mode = databaseKnown ? (database.st_mode & 0666) : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        GuardedFile guarded;
        // Only a regular file is a lock file: a link, a pipe or a device put in its place is
        // never opened through nor waited on.
        int raw = OpenRegularFile(lockPath, O_RDWR);
        if (raw < 0 && errno == ENOENT) {
            raw = OpenRegularFile(lockPath, O_RDWR | O_CREAT | O_EXCL, mode);
            guarded.created = raw >= 0;
            if (raw < 0 && errno == EEXIST)
                continue;
        }
        if (raw < 0)
            break;
        guarded.file = Descriptor(raw);
        // Whoever may write the database may register in its lock file: the file gets the
        // database's bits, and its owner and group when the administrator made it.
        if (guarded.created) {
            fchmod(raw, mode);
            if (databaseKnown && geteuid() == 0)
                (void)!fchown(raw, database.st_uid, database.st_gid);
        }
        if (!LockWithin(raw, F_WRLCK, GuardOffset, 1))
            break;
        if (StillNamed(raw, lockPath, guarded.held))
            return guarded;
    }
    RaiseJet(jet::FileInUse, displayPath);
}

// Under the guard: removes the lock file when no client and no hold is left in it.
void RemoveWhenUnused(int fd, const std::string& lockPath)
{
    struct stat held = {};
    if (!StillNamed(fd, lockPath, held) || IsRangeLocked(fd, HoldOffset, 1))
        return;
    for (std::size_t i = 0; i < SlotsOf(held); ++i) {
        if (IsLocked(fd, i))
            return;
    }
    unlink(lockPath.c_str());
}

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
    Descriptor fd(OpenRegularFile(lockPath, O_RDONLY));
    if (fd.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return snapshot;
        RaiseJet(jet::FileInUse, lockPath);
    }
    // A shared hold of the guard waits out a client that is registering or leaving.
    LockWithin(fd.Get(), F_RDLCK, GuardOffset, 1);
    struct stat st = {};
    fstat(fd.Get(), &st);
    const std::size_t limit = LockFileMaxRecords * LockRecordSize;
    if (static_cast<std::size_t>(st.st_size) > limit)
        WriteDebugLog("The lock file " + lockPath + " holds " + std::to_string(st.st_size) +
                      " bytes; only its first " + std::to_string(LockFileMaxRecords) +
                      " records were read.");
    std::vector<unsigned char> bytes(std::min(static_cast<std::size_t>(st.st_size), limit));
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

bool HeldByThisProcess(std::string_view databasePath)
{
    struct stat st = {};
    return lstat(LockFilePathFor(databasePath).c_str(), &st) == 0 && HeldByThisProcess(st);
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

LockFileHold::LockFileHold(std::string_view databasePath, const std::string& displayPath)
    : lockPath(AbsoluteLockPath(databasePath))
{
    GuardedFile guarded = OpenGuarded(lockPath, databasePath, displayPath);
    const int file = guarded.file.Get();
    const auto refuse = [&](const std::string& who) {
        RemoveWhenUnused(file, lockPath);
        RaiseJet(jet::OpenedExclusively, who);
    };
    if (IsRangeLocked(file, HoldOffset, 1) || !Lock(file, F_WRLCK, HoldOffset, 1, false))
        refuse("Admin' on machine '" + LockComputerName());
    for (std::size_t slot = 0; slot < SlotsOf(guarded.held); ++slot) {
        if (!IsLocked(file, slot))
            continue;
        unsigned char record[LockRecordSize] = {};
        [[maybe_unused]] const auto got =
            pread(file, record, LockRecordSize, static_cast<off_t>(slot * LockRecordSize));
        const std::string user = NameField(record + LockNameSize);
        Lock(file, F_UNLCK, HoldOffset, 1, false);
        refuse((user.empty() ? std::string("Admin") : user) + "' on machine '" + NameField(record));
    }
    Lock(file, F_UNLCK, GuardOffset, 1, false);
    device = guarded.held.st_dev;
    inode = guarded.held.st_ino;
    fd = guarded.file.Release();
    std::lock_guard lock(Own().mutex);
    Own().holds.emplace(device, inode);
}

LockFileHold::~LockFileHold()
{
    {
        std::lock_guard lock(Own().mutex);
        const auto it = Own().holds.find({device, inode});
        if (it != Own().holds.end())
            Own().holds.erase(it);
    }
    // Without the guard the file is left for the next client to remove.
    const bool guarded = LockWithin(fd, F_WRLCK, GuardOffset, 1);
    Lock(fd, F_UNLCK, HoldOffset, 1, false);
    if (guarded)
        RemoveWhenUnused(fd, lockPath);
    close(fd); // releases the guard
}

LockRegistration::LockRegistration(std::string_view databasePath, const std::string& userName,
                                   const std::string& displayPath)
    : lockPath(AbsoluteLockPath(databasePath))
{
    GuardedFile guarded = OpenGuarded(lockPath, databasePath, displayPath);
    const int file = guarded.file.Get();
    const auto fail = [&] {
        RemoveWhenUnused(file, lockPath);
        RaiseJet(jet::FileInUse, displayPath);
    };
    // Another process holds the database for itself.
    if (IsRangeLocked(file, HoldOffset, 1) && !HeldByThisProcess(guarded.held))
        fail();

    std::size_t candidate = 0;
    while (IsLocked(file, candidate) ||
           !Lock(file, F_WRLCK, static_cast<off_t>(candidate * LockRecordSize),
                 static_cast<off_t>(LockRecordSize), false)) {
        if (++candidate == LockFileMaxRecords)
            fail();
    }
    unsigned char record[LockRecordSize] = {};
    PutName(record, LockComputerName());
    PutName(record + LockNameSize, userName.empty() ? std::string("Admin") : userName);
    if (pwrite(file, record, LockRecordSize, static_cast<off_t>(candidate * LockRecordSize)) !=
        static_cast<ssize_t>(LockRecordSize)) {
        Lock(file, F_UNLCK, static_cast<off_t>(candidate * LockRecordSize),
             static_cast<off_t>(LockRecordSize), false);
        fail();
    }
    Lock(file, F_UNLCK, GuardOffset, 1, false);

    slot = candidate;
    device = guarded.held.st_dev;
    inode = guarded.held.st_ino;
    fd = guarded.file.Release();
    std::lock_guard lock(Own().mutex);
    Own().slots.emplace(device, inode, slot);
}

LockRegistration::~LockRegistration()
{
    {
        std::lock_guard lock(Own().mutex);
        const auto it = Own().slots.find({device, inode, slot});
        if (it != Own().slots.end())
            Own().slots.erase(it);
    }
    const bool guarded = LockWithin(fd, F_WRLCK, GuardOffset, 1);
    Lock(fd, F_UNLCK, static_cast<off_t>(slot * LockRecordSize), static_cast<off_t>(LockRecordSize),
         false);
    if (guarded)
        RemoveWhenUnused(fd, lockPath);
    close(fd); // releases the guard
}

} // namespace mallow::engine
