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
void CopyThroughSqlite(sqlite3_file* file, Folder& folder, const std::string& name, Flush flush,
                       mode_t mode)
{
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        RaiseFileError(EIO, "CopyDatabaseFile");
    OwnedFd out(folder.CreateFile(name));
    CreatedFile created(name, folder.Fd());
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
void CopyThroughBackup(sqlite3* source, Folder& folder, const std::string& name, Flush flush,
                       mode_t mode)
{
    OwnedFd out(folder.CreateFile(name));
    CreatedFile created(name, folder.Fd());
    fchmod(out.Get(), mode & 0777);
    // SQLite opens files by name: the new file is named through the folder this copy holds.
    const std::string target = "/proc/self/fd/" + std::to_string(folder.Fd()) + "/" + name;
    Handle copy;
    if (sqlite3_open_v2(target.c_str(), copy.Out(), SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        RaiseFileError(EACCES, "CopyDatabaseFile");
    struct stat made = {};
    sqlite3_file* file = nullptr;
    sqlite3_file_control(copy.Get(), "main", SQLITE_FCNTL_FILE_POINTER, &file);
    if (fstat(out.Get(), &made) != 0 || SqliteDescriptor(file, made) < 0)
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
    if (flush == Flush::Now && fsync(out.Get()) != 0)
        RaiseFileError(errno, "CopyDatabaseFile");
    created.Keep();
}

[[noreturn]] void RaiseNotTheSameFile(const std::string& source)
{
    throw MallowError(err::PathFileAccess, "CopyDatabaseFile",
                      "'" + source +
                          "' is no longer the file it was when the work on it began; it was not "
                          "copied.");
}

} // namespace

void CopyDatabaseFile(const std::string& source, const std::string& destination, Flush flush)
{
    const std::string target = NativePath(destination);
    Folder folder(FolderOf(target));
    const auto slash = target.rfind('/');
    CopyDatabaseFile(source, folder, slash == std::string::npos ? target : target.substr(slash + 1),
                     flush);
}

void CopyDatabaseFile(const std::string& source, Folder& folder, const std::string& name,
                      Flush flush, const std::optional<FileIdentity>& expected)
{
    const std::string native = NativePath(source);
    struct stat st = {};
    if (stat(native.c_str(), &st) != 0) {
        // A missing folder is a missing path, a missing file in a folder that exists is not.
        struct stat parent = {};
        const bool folderThere = stat(FolderOf(native).c_str(), &parent) == 0;
        RaiseFileError(errno == ENOENT && !folderThere ? ENOTDIR : errno, "CopyDatabaseFile");
    }
    if (S_ISDIR(st.st_mode))
        RaiseFileError(EACCES, "CopyDatabaseFile");
    // The file is the one the caller worked on, and every read below is of the file that was
    // looked at here: a path swapped for another file in between is refused, not copied.
    const FileIdentity identity{static_cast<std::uint64_t>(st.st_dev),
                                static_cast<std::uint64_t>(st.st_ino)};
    if (expected && identity != *expected)
        RaiseNotTheSameFile(source);
    const auto same = [&](int fd) {
        struct stat held = {};
        return fstat(fd, &held) == 0 && held.st_dev == st.st_dev && held.st_ino == st.st_ino;
    };
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
        OwnedFd fd(open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (fd.Get() < 0)
            RaiseFileError(errno, "CopyDatabaseFile");
        if (!same(fd.Get()))
            RaiseNotTheSameFile(source);
        CopyDescriptorToFile(fd.Get(), folder, name, flush, mode);
        return;
    }

    sqlite3_file* file = nullptr;
    sqlite3_file_control(db.Get(), "main", SQLITE_FCNTL_FILE_POINTER, &file);
    if (!file || !file->pMethods)
        RaiseFileError(EACCES, "CopyDatabaseFile");
    // SQLite's file is the one looked at, unless the path was swapped in between; only an
    // unusual file system of SQLite's hides its descriptor, and is read through SQLite.
    const int sqliteFd = SqliteDescriptor(file, st);
    const bool unixFiles = std::string(sqlite3_vfs_find(nullptr)->zName).rfind("unix", 0) == 0;
    if (sqliteFd < 0 && unixFiles)
        RaiseNotTheSameFile(source);
    const std::optional<std::string> journalMode = QueryText(db.Get(), "PRAGMA journal_mode");
    if (journalMode && *journalMode == "wal") {
        CopyThroughBackup(db.Get(), folder, name, flush, mode);
        return;
    }
    if (sqliteFd >= 0) {
        CopyDescriptorToFile(sqliteFd, folder, name, flush, mode);
        return;
    }
    CopyThroughSqlite(file, folder, name, flush, mode);
}

} // namespace mallow::engine
