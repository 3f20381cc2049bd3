// Copies of database files as one consistent state, for back-ups.

#include "DBEngine.h"

#include "SqliteSupport.h"
#include "util/FileOps.h"
#include "util/MallowError.h"
#include "util/Paths.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace mallow::engine {

namespace {

using namespace support;

constexpr auto CopyLockWait = std::chrono::seconds(10);

// Copies a database file through the reads of SQLite's own file object, for file systems of
// SQLite whose descriptor cannot be reached.
void CopyThroughSqlite(sqlite3_file* file, const std::string& target, Flush flush, mode_t mode)
{
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        RaiseFileError(EIO, "CopyDatabaseFile");
    OwnedFd out(open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.Get() < 0)
        RaiseFileError(errno, "CopyDatabaseFile");
    CreatedFile created(target);
    if (fchmod(out.Get(), mode & 0777) != 0)
        RaiseFileError(errno, "CopyDatabaseFile");
    std::vector<char> buffer(1 << 20);
    for (sqlite3_int64 at = 0; at < size;) {
        const int length = static_cast<int>(
            std::min<sqlite3_int64>(static_cast<sqlite3_int64>(buffer.size()), size - at));
        if (file->pMethods->xRead(file, buffer.data(), length, at) != SQLITE_OK)
            RaiseFileError(EIO, "CopyDatabaseFile");
        for (int done = 0; done < length;) {
            const ssize_t n =
                write(out.Get(), buffer.data() + done, static_cast<size_t>(length - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                RaiseFileError(errno, "CopyDatabaseFile");
            done += static_cast<int>(n);
        }
        at += length;
    }
    if (flush == Flush::Now && fsync(out.Get()) != 0)
        RaiseFileError(errno, "CopyDatabaseFile");
    created.Keep();
}

// The committed state of a database in write-ahead-log mode lives in the log as well as in the
// file: SQLite copies it, as a database of its own in rollback mode.
void CopyThroughBackup(sqlite3* source, const std::string& target, Flush flush, mode_t mode)
{
    {
        OwnedFd fd(open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.Get() < 0)
            RaiseFileError(errno, "CopyDatabaseFile");
        fchmod(fd.Get(), mode & 0777);
    }
    CreatedFile created(target);
    Handle copy;
    if (sqlite3_open_v2(AbsolutePath(target).c_str(), copy.Out(), SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK)
        RaiseFileError(EACCES, "CopyDatabaseFile");
    sqlite3_backup* backup = sqlite3_backup_init(copy.Get(), "main", source, "main");
    if (!backup)
        RaiseFileError(EACCES, "CopyDatabaseFile");
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        RaiseFileError((rc & 0xFF) == SQLITE_FULL ? ENOSPC : EACCES, "CopyDatabaseFile");
    Run(copy.Get(), "PRAGMA journal_mode=DELETE");
    copy.Close();
    if (flush == Flush::Now)
        SyncFile(target);
    created.Keep();
}

// The descriptor of SQLite's unix file object for the main database, when it proves to be the
// very file `st` describes: copying through it keeps the locks SQLite holds on the file, which
// closing a descriptor of our own would drop for the whole process.
int SqliteDescriptor(sqlite3_file* file, const struct stat& st)
{
    // The unix file object keeps its descriptor after its methods, its file system and its
    // lock record.
    struct UnixFileHead
    {
        const sqlite3_io_methods* methods;
        sqlite3_vfs* vfs;
        void* inode;
        int fd;
    };
    if (!file || !file->pMethods)
        return -1;
    const int candidate = reinterpret_cast<const UnixFileHead*>(file)->fd;
    struct stat held = {};
    if (candidate >= 0 && fstat(candidate, &held) == 0 && held.st_dev == st.st_dev &&
        held.st_ino == st.st_ino)
        return candidate;
    return -1;
}

} // namespace

void CopyDatabaseFile(const std::string& source, const std::string& destination, Flush flush)
{
    const std::string native = NativePath(source);
    const std::string target = NativePath(destination);
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
    if (stat(FolderOf(target).c_str(), &folder) != 0)
        RaiseFileError(errno, "CopyDatabaseFile", true);
    // A copy is never more open than the database it copies.
    const mode_t mode = st.st_mode & 0777;

    // Holding a read transaction keeps every writer from changing the file while its bytes
    // are copied.
    Handle db;
    const std::string sqlitePath = AbsolutePath(native);
    int rc = sqlite3_open_v2(sqlitePath.c_str(), db.Out(), SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        db.Close();
        rc = sqlite3_open_v2(sqlitePath.c_str(), db.Out(), SQLITE_OPEN_READONLY, nullptr);
    }
    bool isDatabase = false;
    Deadline deadline = std::chrono::steady_clock::now() + CopyLockWait;
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
        OwnedFd fd(open(native.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.Get() < 0)
            RaiseFileError(errno, "CopyDatabaseFile");
        CopyDescriptorToFile(fd.Get(), destination, flush, mode);
        return;
    }

    const std::optional<std::string> journalMode = QueryText(db.Get(), "PRAGMA journal_mode");
    if (journalMode && *journalMode == "wal") {
        CopyThroughBackup(db.Get(), target, flush, mode);
        return;
    }
    sqlite3_file* file = nullptr;
    sqlite3_file_control(db.Get(), "main", SQLITE_FCNTL_FILE_POINTER, &file);
    if (const int fd = SqliteDescriptor(file, st); fd >= 0) {
        CopyDescriptorToFile(fd, destination, flush, mode);
        return;
    }
    if (!file || !file->pMethods)
        RaiseFileError(EACCES, "CopyDatabaseFile");
    CopyThroughSqlite(file, target, flush, mode);
}

} // namespace mallow::engine
