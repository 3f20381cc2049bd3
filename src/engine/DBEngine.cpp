#include "DBEngine.h"

#include "JetError.h"
#include "LockFile.h"
#include "Security.h"
#include "util/FileOps.h"
#include "util/MallowError.h"
#include "util/Paths.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace mallow::engine {

namespace {

constexpr int BusyTimeoutMs = 3000;
constexpr auto CopyLockWait = std::chrono::seconds(10);

// Waits for a writer to finish by trying again every millisecond until a deadline: SQLite's
// own wait backs off to a tenth of a second between tries and can miss, time after time, the
// short moments between the commits of a busy writer.
int RetryUntilDeadline(void* deadline, int /*attempts*/)
{
    if (std::chrono::steady_clock::now() >=
        *static_cast<const std::chrono::steady_clock::time_point*>(deadline))
        return 0;
    usleep(1000);
    return 1;
}

// An SQLite handle of the engine's own work, closed when it goes.
class Handle
{
public:
    Handle() = default;
    ~Handle() { sqlite3_close_v2(db); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    sqlite3** Out() { return &db; }
    sqlite3* Get() const { return db; }
    void Close()
    {
        sqlite3_close_v2(std::exchange(db, nullptr));
    }

private:
    sqlite3* db = nullptr;
};

class Prepared
{
public:
    Prepared(sqlite3* db, const char* sql, int& rc) { rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr); }
    ~Prepared() { sqlite3_finalize(stmt); }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    sqlite3_stmt* Get() const { return stmt; }

private:
    sqlite3_stmt* stmt = nullptr;
};

// A file this call made, removed again unless the call succeeds.
class CreatedFile
{
public:
    explicit CreatedFile(std::string path) : path(std::move(path)) {}
    ~CreatedFile()
    {
        if (!kept) {
            unlink(path.c_str());
            unlink((path + "-journal").c_str());
        }
    }
    CreatedFile(const CreatedFile&) = delete;
    CreatedFile& operator=(const CreatedFile&) = delete;
    void Keep() { kept = true; }

private:
    std::string path;
    bool kept = false;
};

// SQLite reads a name that starts with "file:" as a URI; an absolute path never does.
std::string AbsolutePath(const std::string& native)
{
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(native, ec);
    return ec ? native : absolute.lexically_normal().string();
}

std::string FolderOf(const std::string& native)
{
    const auto slash = native.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : native.substr(0, slash);
}

bool Exists(const std::string& native)
{
    struct stat st = {};
    return lstat(native.c_str(), &st) == 0;
}

bool Run(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The first column of the first row of a query, or nothing when it fails or has no row.
std::optional<std::string> QueryText(sqlite3* db, const char* sql)
{
    int rc = SQLITE_OK;
    Prepared stmt(db, sql, rc);
    if (rc != SQLITE_OK || sqlite3_step(stmt.Get()) != SQLITE_ROW)
        return std::nullopt;
    const auto* text = sqlite3_column_text(stmt.Get(), 0);
    return std::string(text ? reinterpret_cast<const char*>(text) : "");
}

// Reads the schema, which rolls back a transaction an interrupted writer left in a hot
// journal and proves the file is a database. Returns the SQLite result.
int ProbeSchema(sqlite3* db)
{
    int rc = SQLITE_OK;
    Prepared probe(db, "SELECT count(*) FROM sqlite_master", rc);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(probe.Get());
    return rc == SQLITE_ROW ? SQLITE_OK : rc;
}

// The engine's error for a failed step of a compaction of `display`.
[[noreturn]] void RaiseCompactFailure(int rc, const std::string& display)
{
    switch (rc & 0xFF) {
    case SQLITE_NOTADB:
        RaiseJet(jet::UnrecognizedFormat, display);
    case SQLITE_FULL:
        RaiseJet(jet::DiskFull);
    case SQLITE_IOERR:
        RaiseJet(jet::DiskIo);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
        RaiseJet(jet::FileInUse, display);
    default:
        RaiseJet(jet::CannotOpenDatabase, display);
    }
}

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

// Leaves the source with its whole state in the main file: a write-ahead log is checkpointed
// and the file switched back to a rollback journal, and a journal that holds nothing to roll
// back is removed, so no file is left beside it that could be played into another file put
// in its place.
void SettleJournals(sqlite3* db, const std::string& native, const std::string& display)
{
    const std::optional<std::string> mode = QueryText(db, "PRAGMA journal_mode");
    if (!mode)
        RaiseCompactFailure(sqlite3_errcode(db), display);
    if (*mode == "wal") {
        if (!Run(db, "PRAGMA wal_checkpoint(TRUNCATE)"))
            RaiseCompactFailure(sqlite3_errcode(db), display);
        const std::optional<std::string> now = QueryText(db, "PRAGMA journal_mode=DELETE");
        if (!now || *now != "delete")
            RaiseJet(jet::FileInUse, display);
    }
    // Under the reserved lock no writer can start a journal, and after the probe above any
    // journal still there is not hot: it holds no transaction.
    if (!Run(db, "BEGIN IMMEDIATE"))
        RaiseCompactFailure(sqlite3_errcode(db), display);
    const std::string journal = native + "-journal";
    if (Exists(journal))
        unlink(journal.c_str());
    Run(db, "COMMIT");
}

// Opens the written copy afresh and runs SQLite's full check over it.
void CheckCopy(const std::string& native, const std::string& display)
{
    Handle copy;
    if (sqlite3_open_v2(native.c_str(), copy.Out(), SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        RaiseJet(jet::CannotOpenDatabase, display);
    int rc = SQLITE_OK;
    Prepared check(copy.Get(), "PRAGMA integrity_check(1)", rc);
    bool sound = false;
    if (rc == SQLITE_OK && sqlite3_step(check.Get()) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(check.Get(), 0);
        sound = text && std::string(reinterpret_cast<const char*>(text)) == "ok";
    }
    if (!sound)
        RaiseJet(jet::CannotOpenDatabase, display);
}

// A descriptor this code opened, closed when it goes.
class OwnedFd
{
public:
    explicit OwnedFd(int fd) : fd(fd) {}
    ~OwnedFd()
    {
        if (fd >= 0)
            close(fd);
    }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    int Get() const { return fd; }

private:
    int fd;
};

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

// Copies a database file through the reads of SQLite's own file object, for file systems of
// SQLite whose descriptor cannot be reached.
void CopyThroughSqlite(sqlite3_file* file, const std::string& target, Flush flush)
{
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        RaiseFileError(EIO, "CopyDatabaseFile");
    const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0)
        RaiseFileError(errno, "CopyDatabaseFile");
    CreatedFile created(target);
    std::vector<char> buffer(1 << 20);
    int error = 0;
    for (sqlite3_int64 at = 0; at < size && error == 0;) {
        const int length = static_cast<int>(
            std::min<sqlite3_int64>(static_cast<sqlite3_int64>(buffer.size()), size - at));
        if (file->pMethods->xRead(file, buffer.data(), length, at) != SQLITE_OK) {
            error = EIO;
            break;
        }
        for (int done = 0; done < length;) {
            const ssize_t n = write(out, buffer.data() + done, static_cast<size_t>(length - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = errno;
                break;
            }
            done += static_cast<int>(n);
        }
        at += length;
    }
    if (error == 0 && flush == Flush::Now && fsync(out) != 0)
        error = errno;
    close(out);
    if (error != 0)
        RaiseFileError(error, "CopyDatabaseFile");
    created.Keep();
}

} // namespace

void DBEngine::CompactDatabase(const std::string& source, const std::string& destination,
                               const std::string& /*destinationLocale*/, int /*options*/,
                               const std::string& sourceLocale)
{
    // Without a workgroup file the engine works as the default account, whatever the user
    // and password settings hold.
    const std::string workgroupId =
        SystemDB.empty() ? std::string()
                         : security::LogOn(NativePath(SystemDB), DefaultUser, DefaultPassword);
    const std::string user = SystemDB.empty() ? std::string(security::DefaultAccount) : DefaultUser;

    const std::string native = NativePath(source);
    const std::string target = AbsolutePath(NativePath(destination));

    struct stat st = {};
    if (stat(native.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            RaiseJet(jet::CouldNotFindFile, source);
        RaiseJet(jet::FileInUse, source);
    }
    if (S_ISDIR(st.st_mode))
        RaiseJet(jet::CouldNotFindFile, source);
    if (Exists(target))
        RaiseJet(jet::DatabaseExists);

    // Outside a hold of its own the compaction takes one for its length; inside it, only
    // this process could have registered since, and any such client still counts.
    std::optional<LockFileHold> hold;
    if (HeldByThisProcess(native)) {
        if (LiveClients(native) > 0)
            RaiseJet(jet::OpenedExclusively, LiveClientName(native));
    } else {
        hold.emplace(native, source);
    }

    if (st.st_size == 0)
        RaiseJet(jet::UnrecognizedFormat, source);
    Handle db;
    const std::string sqlitePath = AbsolutePath(native);
    int rc = sqlite3_open_v2(sqlitePath.c_str(), db.Out(), SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK)
        RaiseCompactFailure(rc, source);
    sqlite3_extended_result_codes(db.Get(), 1);
    sqlite3_busy_timeout(db.Get(), BusyTimeoutMs);
    if ((rc = ProbeSchema(db.Get())) != SQLITE_OK)
        RaiseCompactFailure(rc, source);
    security::CheckDatabaseAccess(security::ReadDatabaseSecurity(db.Get(), source), workgroupId,
                                  user, security::PasswordOfLocale(sourceLocale));

    SettleJournals(db.Get(), sqlitePath, source);

    // The copy is made under an exclusive create, so two compactions never share a target.
    const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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

    // The copy is flushed to disk once, whole, after it is written; SQLite's own flushes of
    // the new file while it writes it would only add waits. The source is not written from
    // here on.
    Run(db.Get(), "PRAGMA synchronous = OFF");
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
        Prepared vacuum(db.Get(), "VACUUM INTO ?", prc);
        if (prc == SQLITE_OK)
            prc = sqlite3_bind_text(vacuum.Get(), 1, target.c_str(), -1, SQLITE_TRANSIENT);
        if (prc == SQLITE_OK) {
            prc = sqlite3_step(vacuum.Get());
            prc = prc == SQLITE_DONE ? SQLITE_OK : sqlite3_extended_errcode(db.Get());
        }
        if (prc != SQLITE_OK)
            RaiseCompactFailure(prc, source);
    }
    db.Close();

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

void CopyDatabaseFile(const std::string& source, const std::string& destination, Flush flush)
{
    const std::string native = NativePath(source);
    struct stat st = {};
    if (stat(native.c_str(), &st) != 0) {
        // A missing folder is a missing path, a missing file in a folder that exists is not.
        struct stat folder = {};
        const bool folderThere = stat(FolderOf(native).c_str(), &folder) == 0;
        RaiseFileError(errno == ENOENT && !folderThere ? ENOTDIR : errno, "CopyDatabaseFile");
    }
    if (S_ISDIR(st.st_mode))
        RaiseFileError(EACCES, "CopyDatabaseFile");
    struct stat folder = {};
    if (stat(FolderOf(NativePath(destination)).c_str(), &folder) != 0)
        RaiseFileError(errno, "CopyDatabaseFile", true);

    // Holding a read transaction keeps every writer from changing the file while its bytes
    // are copied; the copy reads through SQLite's own descriptor, because closing another
    // descriptor of the file would drop the locks SQLite holds on it in this process.
    Handle db;
    const std::string sqlitePath = AbsolutePath(native);
    int rc = sqlite3_open_v2(sqlitePath.c_str(), db.Out(), SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        db.Close();
        rc = sqlite3_open_v2(sqlitePath.c_str(), db.Out(), SQLITE_OPEN_READONLY, nullptr);
    }
    bool isDatabase = false;
    auto deadline = std::chrono::steady_clock::now() + CopyLockWait;
    if (rc == SQLITE_OK && st.st_size > 0) {
        sqlite3_busy_handler(db.Get(), RetryUntilDeadline, &deadline);
        if (!Run(db.Get(), "BEGIN"))
            RaiseFileError(EACCES, "CopyDatabaseFile");
        rc = ProbeSchema(db.Get());
        if (rc == SQLITE_OK)
            isDatabase = true;
        else if ((rc & 0xFF) != SQLITE_NOTADB)
            RaiseFileError((rc & 0xFF) == SQLITE_FULL ? ENOSPC : EACCES, "CopyDatabaseFile");
    }
    if (!isDatabase) {
        db.Close();
        const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            RaiseFileError(errno, "CopyDatabaseFile");
        try {
            CopyDescriptorToFile(fd, destination, flush);
        } catch (...) {
            close(fd);
            throw;
        }
        close(fd);
        return;
    }

    const std::optional<std::string> mode = QueryText(db.Get(), "PRAGMA journal_mode");
    if (mode && *mode == "wal") {
        // The committed state lives in the log as well as the file: SQLite copies it.
        const std::string target = NativePath(destination);
        const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            RaiseFileError(errno, "CopyDatabaseFile");
        close(fd);
        CreatedFile created(target);
        Handle copy;
        if (sqlite3_open_v2(AbsolutePath(target).c_str(), copy.Out(), SQLITE_OPEN_READWRITE,
                            nullptr) != SQLITE_OK)
            RaiseFileError(EACCES, "CopyDatabaseFile");
        sqlite3_backup* backup = sqlite3_backup_init(copy.Get(), "main", db.Get(), "main");
        if (!backup)
            RaiseFileError(EACCES, "CopyDatabaseFile");
        rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            RaiseFileError((rc & 0xFF) == SQLITE_FULL ? ENOSPC : EACCES, "CopyDatabaseFile");
        Run(copy.Get(), "PRAGMA journal_mode=DELETE");
        copy.Close();
        if (flush == Flush::Now)
            SyncFile(target);
        created.Keep();
        return;
    }

    sqlite3_file* file = nullptr;
    sqlite3_file_control(db.Get(), "main", SQLITE_FCNTL_FILE_POINTER, &file);
    // The unix file object of SQLite keeps its descriptor after its methods, its file
    // system and its lock record; it is only used once it proves to be this very file.
    struct UnixFileHead
    {
        const sqlite3_io_methods* methods;
        sqlite3_vfs* vfs;
        void* inode;
        int fd;
    };
    int fd = -1;
    if (file && file->pMethods) {
        const int candidate = reinterpret_cast<const UnixFileHead*>(file)->fd;
        struct stat held = {};
        if (candidate >= 0 && fstat(candidate, &held) == 0 && held.st_dev == st.st_dev &&
            held.st_ino == st.st_ino)
            fd = candidate;
    }
    if (fd >= 0) {
        CopyDescriptorToFile(fd, destination, flush);
        return;
    }
    if (!file || !file->pMethods)
        RaiseFileError(EACCES, "CopyDatabaseFile");
    CopyThroughSqlite(file, NativePath(destination), flush);
}

} // namespace mallow::engine
