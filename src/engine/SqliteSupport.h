#pragma once

// Small owners and helpers for the engine's own work on SQLite handles (compaction and copies).

#include <sqlite3.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "util/Work.h"

namespace mallow::engine::support {

/// An SQLite handle of the engine's own work, closed when it goes.
class Handle
{
public:
    Handle() = default;
    ~Handle() { sqlite3_close_v2(db); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    sqlite3** Out() { return &db; }
    sqlite3* Get() const { return db; }
    void Close() { sqlite3_close_v2(std::exchange(db, nullptr)); }

private:
    sqlite3* db = nullptr;
};

class Prepared
{
public:
    Prepared(sqlite3* db, const char* sql, int& rc)
    {
        rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    }
    ~Prepared() { sqlite3_finalize(stmt); }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    sqlite3_stmt* Get() const { return stmt; }

private:
    sqlite3_stmt* stmt = nullptr;
};

/// A file this call made, removed again (with a journal SQLite may have left) unless kept. With
/// a folder's descriptor the name is removed through that folder: a link put in its place is
/// removed itself, never what it leads to.
class CreatedFile
{
public:
    explicit CreatedFile(std::string path, int folder = AT_FDCWD)
        : path(std::move(path)), folder(folder)
    {
    }
    ~CreatedFile()
    {
        if (!kept) {
            unlinkat(folder, path.c_str(), 0);
            unlinkat(folder, (path + "-journal").c_str(), 0);
        }
    }
    CreatedFile(const CreatedFile&) = delete;
    CreatedFile& operator=(const CreatedFile&) = delete;
    void Keep() { kept = true; }

private:
    std::string path;
    int folder;
    bool kept = false;
};

/// A descriptor this code opened, closed when it goes.
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

using Deadline = std::chrono::steady_clock::time_point;

/// SQLite's progress handler for work that the user may stop: interrupts the statement once a
/// stop was asked for.
inline int InterruptWhenStopped(void* /*context*/)
{
    return StopRequested() ? 1 : 0;
}

/// A busy handler that tries again every millisecond until the deadline it is handed: SQLite's
/// own wait backs off to a tenth of a second between tries and can miss, time after time, the
/// short moments between the commits of a busy writer.
inline int RetryUntilDeadline(void* deadline, int /*attempts*/)
{
    // A user who asked the work to stop does not wait for it.
    if (std::chrono::steady_clock::now() >= *static_cast<const Deadline*>(deadline) ||
        StopRequested())
        return 0;
    usleep(1000);
    return 1;
}

/// SQLite reads a name that starts with "file:" as a URI; an absolute path never does.
inline std::string AbsolutePath(const std::string& native)
{
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(native, ec);
    return ec ? native : absolute.lexically_normal().string();
}

inline std::string FolderOf(const std::string& native)
{
    const auto slash = native.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : native.substr(0, slash);
}

inline bool Exists(const std::string& native)
{
    struct stat st = {};
    return lstat(native.c_str(), &st) == 0;
}

inline bool Run(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

/// The first column of the first row of a query, or nothing when it fails or has no row.
inline std::optional<std::string> QueryText(sqlite3* db, const char* sql)
{
    int rc = SQLITE_OK;
    Prepared stmt(db, sql, rc);
    if (rc != SQLITE_OK || sqlite3_step(stmt.Get()) != SQLITE_ROW)
        return std::nullopt;
    const auto* text = sqlite3_column_text(stmt.Get(), 0);
    return std::string(text ? reinterpret_cast<const char*>(text) : "");
}

/// Reads the schema, which rolls back a transaction an interrupted writer left in a hot
/// journal and proves the file is a database. Returns the SQLite result.
inline int ProbeSchema(sqlite3* db)
{
    int rc = SQLITE_OK;
    Prepared probe(db, "SELECT count(*) FROM sqlite_master", rc);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(probe.Get());
    return rc == SQLITE_ROW ? SQLITE_OK : rc;
}

/// Whether SQLite's full check finds the database sound.
inline bool IsSound(sqlite3* db)
{
    const std::optional<std::string> verdict = QueryText(db, "PRAGMA integrity_check(1)");
    return verdict && *verdict == "ok";
}

// The descriptor of SQLite's unix file object for the main database, when it proves to be the
// very file `st` describes: copying through it keeps the locks SQLite holds on the file, which
// closing a descriptor of our own would drop for the whole process.
inline int SqliteDescriptor(sqlite3_file* file, const struct stat& st)
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

} // namespace mallow::engine::support
