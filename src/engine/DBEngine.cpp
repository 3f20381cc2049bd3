#include "DBEngine.h"

#include "JetError.h"
#include "LockFile.h"
#include "Security.h"
#include "InPlaceCompaction.h"
#include "SqliteSupport.h"
#include "util/FileOps.h"
#include "util/MallowError.h"
#include "util/Paths.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace mallow::engine {

namespace {

using namespace support;

// Names the first live client of a database's lock file, as 3356 describes it.
std::string LiveClientName(const std::string& native)
{
    for (const LockRecord& record : ReadLockRecords(native)) {
        if (record.live)
            return (record.userName.empty() ? std::string("Admin") : record.userName) +
                   "' on machine '" + record.computerName;
    }
    return "Admin' on machine '" + LockComputerName();
}


// The engine's error for a failed step of a compaction of `display`. A database that another
// client keeps busy beyond the wait is in use; so is one that cannot be opened for writing.
[[noreturn]] void RaiseCompactFailure(int rc, const std::string& native, const std::string& display,
                                      int systemError = 0)
{
    // Work the user stopped fails in whatever step it was; it changed nothing.
    if (StopRequested())
        RaiseStopped("DBEngine.CompactDatabase");
    // SQLite reports a write refused for lack of room as an I/O error of the file it met it in.
    if (systemError == ENOSPC || systemError == EDQUOT)
        RaiseJet(jet::DiskFull);
    switch (rc & 0xFF) {
    case SQLITE_NOTADB:
        RaiseJet(jet::UnrecognizedFormat, display);
    case SQLITE_FULL:
        RaiseJet(jet::DiskFull);
    case SQLITE_IOERR:
        RaiseJet(jet::DiskIo);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        RaiseJet(jet::OpenedExclusively, LiveClientName(native));
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
        RaiseJet(jet::FileInUse, display);
    default:
        RaiseJet(jet::CannotOpenDatabase, display);
    }
}

// Opens the written copy afresh and runs SQLite's full check over it.
void CheckCopy(const std::string& native, const std::string& display)
{
    Handle copy;
    if (sqlite3_open_v2(native.c_str(), copy.Out(), SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        !IsSound(copy.Get()))
        RaiseJet(jet::CannotOpenDatabase, display);
}

// Flushes the copy's data and then the folder entry that names it; answers errno, 0 when both
// are on disk.
int FlushToDisk(int fd, const std::string& native)
{
    if (fsync(fd) != 0)
        return errno;
    const int folder = open(FolderOf(native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return errno;
    int rc = 0;
    // Some file systems cannot flush a folder; its entries are then as safe as they get.
    if (fsync(folder) != 0 && errno != EINVAL && errno != EROFS)
        rc = errno;
    close(folder);
    return rc;
}

void RaiseFlushError(int rc)
{
    if (rc == ENOSPC || rc == EDQUOT)
        RaiseJet(jet::DiskFull);
    if (rc != 0)
        RaiseJet(jet::DiskIo);
}

// The work a compaction holds from its start to its end: the database held against the
// engine's other clients, and an SQLite handle on it whose access checks have passed.
struct CompactionSource
{
    std::string native;
    struct stat st = {};
    std::optional<LockFileHold> hold;
    Handle db;
    Deadline deadline;
};

// Opens a database for compaction as `user` of the workgroup `workgroupId` with the password
// of `sourceLocale`. Raises 3024 for a missing file, 3356 while another client of the engine
// has it open, 3343 for a file that is no database and the access checks' errors.
void OpenForCompaction(CompactionSource& source, const std::string& path,
                       const std::string& workgroupId, const std::string& user,
                       const std::string& sourceLocale, int lockWaitMs,
                       const std::optional<FileIdentity>& expected = std::nullopt)
{
    source.native = NativePath(path);
    const std::string& native = source.native;
    if (stat(native.c_str(), &source.st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            RaiseJet(jet::CouldNotFindFile, path);
        RaiseJet(jet::FileInUse, path);
    }
    if (S_ISDIR(source.st.st_mode))
        RaiseJet(jet::CouldNotFindFile, path);
    // The work is done on one file from its first look to its end: a path that leads to
    // another file than the caller looked at, or than SQLite opened below, is refused.
    if (expected && *expected != FileIdentity{static_cast<std::uint64_t>(source.st.st_dev),
                                              static_cast<std::uint64_t>(source.st.st_ino)})
        RaiseJet(jet::FileInUse, path);

    // Outside a hold of its own the compaction takes one for its length; inside it, only
    // this process could have registered since, and any such client still counts.
    if (HeldByThisProcess(native)) {
        if (LiveClients(native) > 0)
            RaiseJet(jet::OpenedExclusively, LiveClientName(native));
    } else {
        source.hold.emplace(native, path);
    }

    if (source.st.st_size == 0)
        RaiseJet(jet::UnrecognizedFormat, path);
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(AbsolutePath(native).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    *source.db.Out() = raw;
    if (rc != SQLITE_OK)
        RaiseCompactFailure(rc, native, path);
    sqlite3_file* file = nullptr;
    sqlite3_file_control(raw, "main", SQLITE_FCNTL_FILE_POINTER, &file);
    if (SqliteDescriptor(file, source.st) < 0)
        RaiseJet(jet::FileInUse, path);
    sqlite3_extended_result_codes(raw, 1);
    // Clients that keep no lock file are kept out by SQLite's own locks: the compaction waits
    // for them a bounded time, trying every millisecond.
    source.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockWaitMs);
    sqlite3_busy_handler(raw, RetryUntilDeadline, &source.deadline);
    if ((rc = ProbeSchema(raw)) != SQLITE_OK)
        RaiseCompactFailure(rc, native, path, sqlite3_system_errno(raw));
    security::CheckDatabaseAccess(security::ReadDatabaseSecurity(raw, path), workgroupId, user,
                                  security::PasswordOfLocale(sourceLocale));
}

// Compacting in place builds the compacted database as a temporary file before it copies it
// back. Where the machine's memory file system has room for it (the file is small beside the
// memory, and /dev/shm has twice its size free), the temporary file lies there: its pages then
// never go through a disk file system. SQLite names its temporary folder in one variable for the
// whole process; the engine sets it only around its own work, on the one thread that runs it.
class TemporaryFolderInMemory
{
public:
    explicit TemporaryFolderInMemory(off_t fileSize)
    {
        struct statvfs shm = {};
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long pageSize = sysconf(_SC_PAGESIZE);
        if (statvfs("/dev/shm", &shm) != 0 || pages <= 0 || pageSize <= 0)
            return;
        const auto free = static_cast<unsigned long long>(shm.f_bavail) * shm.f_frsize;
        const auto memory =
            static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize);
        const auto size = static_cast<unsigned long long>(fileSize);
        if (size > memory / 8 || free < 2 * size || access("/dev/shm", W_OK) != 0)
            return;
        previous = sqlite3_temp_directory;
        sqlite3_temp_directory = sqlite3_mprintf("%s", "/dev/shm");
        set = true;
    }
    ~TemporaryFolderInMemory()
    {
        if (!set)
            return;
        sqlite3_free(sqlite3_temp_directory);
        sqlite3_temp_directory = previous;
    }
    TemporaryFolderInMemory(const TemporaryFolderInMemory&) = delete;
    TemporaryFolderInMemory& operator=(const TemporaryFolderInMemory&) = delete;

private:
    char* previous = nullptr;
    bool set = false;
};

// The check of a compacted database reads every page once: through a memory map the pages come
// straight from the system's cache, without a read call and a copy each.
void MapForCheck(sqlite3* db, off_t fileSize)
{
    const std::string map = "PRAGMA mmap_size = " + std::to_string(fileSize);
    Run(db, map.c_str());
}

} // namespace

void DBEngine::CompactDatabase(const std::string& source, const std::string& destination,
                               const std::string& /*destinationLocale*/, int /*options*/,
                               const std::string& sourceLocale)
{
    const std::string workgroupId = WorkgroupLogOn();
    const std::string target = AbsolutePath(NativePath(destination));
    if (Exists(target))
        RaiseJet(jet::DatabaseExists);
    CompactionSource held;
    OpenForCompaction(held, source, workgroupId, CurrentUser(), sourceLocale,
                      LockWaitMilliseconds);
    const std::string& native = held.native;
    const struct stat& st = held.st;
    sqlite3* const db = held.db.Get();

    // The copy is made under an exclusive create, so two compactions never share a target.
    const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST)
            RaiseJet(jet::DatabaseExists);
        if (errno == ENOENT || errno == ENOTDIR)
            RaiseJet(jet::InvalidPath, destination);
        if (errno == ENOSPC || errno == EDQUOT)
            RaiseJet(jet::DiskFull);
        RaiseJet(jet::FileInUse, destination);
    }
    // Kept open until SQLite has let go of the copy: closing a descriptor of a file drops the
    // locks SQLite holds on it in this process.
    OwnedFd copyFd(fd);
    CreatedFile created(target);
    // The copy is never more open than the database.
    fchmod(fd, st.st_mode & 0777);

    // The copy is flushed to disk once, whole, after it is written; SQLite's own flushes of
    // the new file while it writes it would only add waits. The source is not written from
    // here on.
    Run(db, "PRAGMA synchronous = OFF");
    {
        // While SQLite writes the copy, the disk is kept busy writing what is written so far,
        // so that the flush at the end has little left to wait for.
        std::jthread writeBehind([fd = copyFd.Get()](std::stop_token stop) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            const auto stopped = [&] { return stop.stop_requested(); };
            while (!wake.wait_for(lock, stop, std::chrono::milliseconds(100), stopped))
                sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        });
        int prc = SQLITE_OK;
        Prepared vacuum(db, "VACUUM INTO ?", prc);
        if (prc == SQLITE_OK)
            prc = sqlite3_bind_text(vacuum.Get(), 1, target.c_str(), -1, SQLITE_TRANSIENT);
        if (prc == SQLITE_OK) {
            prc = sqlite3_step(vacuum.Get());
            prc = prc == SQLITE_DONE ? SQLITE_OK : sqlite3_extended_errcode(db);
        }
        if (prc != SQLITE_OK)
            RaiseCompactFailure(prc, native, source, sqlite3_system_errno(db));
    }
    held.db.Close();

    // The disk writes the copy while the check reads it back from memory: the flush waits on
    // the disk and the check on the processor, so each runs on a thread of its own.
    int flushed = 0;
    {
        std::jthread flusher([&] { flushed = FlushToDisk(copyFd.Get(), target); });
        CheckCopy(target, destination);
    }
    RaiseFlushError(flushed);
    created.Keep();
}

void DBEngine::CompactDatabaseInPlace(const std::string& path, const std::string& sourceLocale,
                                      const std::optional<FileIdentity>& expected)
{
    const std::string workgroupId = WorkgroupLogOn();
    CompactionSource held;
    OpenForCompaction(held, path, workgroupId, CurrentUser(), sourceLocale, LockWaitMilliseconds,
                      expected);
    sqlite3* const db = held.db.Get();

    // SQLite rewrites the file under its write lock and journals the copy-back: every client,
    // whether it keeps a lock file or not, sees the old content or the new one, and the file
    // keeps its inode, owner, mode, links and journal mode.
    const auto journalMode = QueryText(db, "PRAGMA journal_mode");
    if (journalMode && *journalMode != "wal") {
        const CompactionOutcome outcome = CompactThroughSnapshot(db, held.native, held.st.st_size);
        if (outcome.kind == CompactionOutcome::Compacted)
            return;
        if (outcome.kind == CompactionOutcome::Stopped)
            RaiseStopped("DBEngine.CompactDatabase");
        if (outcome.kind == CompactionOutcome::Unsound)
            RaiseJet(jet::CannotOpenDatabase, path);
        if (outcome.kind == CompactionOutcome::Failed)
            RaiseCompactFailure(outcome.rc, held.native, path, outcome.systemError);
        // A database that other programs keep changing is compacted by SQLite's own VACUUM,
        // which keeps them out from its start to its end.
        held.deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(LockWaitMilliseconds);
    }
    {
        // SQLite's own VACUUM says nothing of how far it has come; it can be stopped until it
        // commits.
        ReportPhase("Compacting", true);
        const TemporaryFolderInMemory temporary(held.st.st_size);
        sqlite3_progress_handler(db, 1000, InterruptWhenStopped, nullptr);
        const bool vacuumed = Run(db, "VACUUM");
        sqlite3_progress_handler(db, 0, nullptr, nullptr);
        if (!vacuumed)
            RaiseCompactFailure(sqlite3_extended_errcode(db), held.native, path,
                                sqlite3_system_errno(db));
    }
    ReportPhase("Checking", false);
    // A database in write-ahead-log mode holds the new content in its log until a checkpoint;
    // one that readers keep from completing leaves it there, which is no failure.
    if (journalMode && *journalMode == "wal") {
        held.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        Run(db, "PRAGMA wal_checkpoint(TRUNCATE)");
    }
    held.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LockWaitMilliseconds);
    MapForCheck(db, held.st.st_size);
    if (!IsSound(db))
        RaiseJet(jet::CannotOpenDatabase, path);
}

std::string DBEngine::WorkgroupLogOn() const
{
    // Without a workgroup file the engine works as the default account, whatever the user
    // and password settings hold.
    return SystemDB.empty() ? std::string()
                            : security::LogOn(NativePath(SystemDB), DefaultUser, DefaultPassword);
}

std::string DBEngine::CurrentUser() const
{
    return SystemDB.empty() ? std::string(security::DefaultAccount) : DefaultUser;
}

std::string DBEngine::Version() const
{
    return "3.6";
}

DBEngine& Engine()
{
    static DBEngine engine;
    return engine;
}

struct ExclusiveHold::Impl
{
    explicit Impl(const std::string& path) : hold(NativePath(path), path) {}
    LockFileHold hold;
};

ExclusiveHold::ExclusiveHold(const std::string& path) : impl(new Impl(path)) {}

ExclusiveHold::~ExclusiveHold()
{
    delete impl;
}

} // namespace mallow::engine
