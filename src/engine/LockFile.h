#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace mallow::engine {

/// Clients that have a database open register in its lock file: one 64-byte record each
/// (computer name, user name, 32 bytes apiece, zero-padded), holding a lock on the bytes of
/// that record for as long as they keep the database open. A record whose lock is gone
/// belongs to a client that left (or died) and its place is free for the next one.
inline constexpr std::size_t LockRecordSize = 64;
inline constexpr std::size_t LockNameSize = 32;
/// The most clients a database admits, and so the most records of a lock file that are read;
/// a longer file is read no further.
inline constexpr std::size_t LockFileMaxRecords = 255;

/// The lock file of a database: the extension of its file name replaced by "ldb"
/// (app.mdb gives app.ldb), or ".ldb" appended when the name has no extension.
/// Either separator may be used; the result uses "/".
std::string LockFilePathFor(std::string_view databasePath);

struct LockRecord
{
    std::string computerName; ///< zero bytes dropped, blanks trimmed
    std::string userName;
    bool live = false; ///< a client holds the record's lock
};

/// Every complete record of the database's lock file among its first LockFileMaxRecords, in
/// file order; empty when there is no lock file. Raises 3051 when it exists but cannot be
/// read, or is not a regular file (a symbolic link, a pipe or a device is never opened
/// through).
std::vector<LockRecord> ReadLockRecords(std::string_view databasePath);
/// The clients that have the database open now, this process's own connections included.
int LiveClients(std::string_view databasePath);
/// The clients that have the database open now other than this process's own connections.
int OtherLiveClients(std::string_view databasePath);
/// Whether a client other than this process has the database open.
bool HeldByOthers(std::string_view databasePath);
/// Whether this process holds the database for itself (a LockFileHold of it is alive).
bool HeldByThisProcess(std::string_view databasePath);

/// The name this machine registers under: the host name, upper-cased.
std::string LockComputerName();

/// Holds a database for this process alone, from construction to destruction: raises 3356
/// (naming the user and machine of the first other live record) when a client of another
/// process, or another connection of this one, has it open; while held, clients of other
/// processes cannot register (their Open raises 3051). Connections of this process still may,
/// so that work on the held file (compacting it) can open it.
class LockFileHold
{
public:
    LockFileHold(std::string_view databasePath, const std::string& displayPath);
    ~LockFileHold();
    LockFileHold(const LockFileHold&) = delete;
    LockFileHold& operator=(const LockFileHold&) = delete;

private:
    std::string lockPath;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
};

/// One client's registration, from construction to destruction. The last client to leave
/// removes the lock file.
class LockRegistration
{
public:
    /// Raises 3051 (naming `displayPath`) when the lock file cannot be created or written.
    LockRegistration(std::string_view databasePath, const std::string& userName,
                     const std::string& displayPath);
    ~LockRegistration();
    LockRegistration(const LockRegistration&) = delete;
    LockRegistration& operator=(const LockRegistration&) = delete;

    const std::string& LockPath() const { return lockPath; }
    std::size_t Slot() const { return slot; }

private:
    std::string lockPath;
    int fd = -1;
    std::size_t slot = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

} // namespace mallow::engine
