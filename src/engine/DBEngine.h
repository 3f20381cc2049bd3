#pragma once

#include <optional>
#include <string>

#include "util/FileOps.h"

namespace mallow::engine {

/// The engine object: workgroup settings that persist for the program's life, and
/// compaction. Database passwords and workgroup information files are the engine's own access
/// checks (a workgroup file is a database of accounts made with mallowdb), not encryption.
class DBEngine
{
public:
    /// Path of the workgroup information file; empty for none (the default account "Admin"
    /// with an empty password).
    std::string SystemDB;
    std::string DefaultUser;
    std::string DefaultPassword;
    /// How long a compaction waits for clients that keep no lock file (any SQLite program) to
    /// let go of a database before it is refused with 3356.
    int LockWaitMilliseconds = 10000;

    /// Writes a compacted copy of `source` to `destination`, with the source's permission bits.
    /// `sourceLocale` may carry ";pwd=<database password>". The copy is complete, checked and
    /// on disk when this returns; the source is only read.
    /// Raises 3024 when the source is missing, 3343 when it is no database, 3356 when another
    /// live client holds it open, 3031 for a wrong database password, 3028 when the workgroup
    /// file is missing or no workgroup file, 3029 for a wrong account or password, 3204 when
    /// the destination exists. A failure leaves no destination file behind.
    void CompactDatabase(const std::string& source, const std::string& destination,
                         const std::string& destinationLocale = "", int options = 0,
                         const std::string& sourceLocale = "");

    /// Compacts the database at `path` in place, with the checks and errors of
    /// CompactDatabase: SQLite rewrites it under its own write lock with its rollback journal
    /// or write-ahead log, so that every client, whether it keeps a lock file or not, sees the
    /// old content or the new, and a crash at any moment leaves one of the two. The file keeps
    /// its inode, owner, mode, links and journal mode. Raises 3356 when a client of the engine
    /// has the database open, or when another client keeps it busy past LockWaitMilliseconds;
    /// 3026 when the disk is too full for the work, which then leaves the content as it was;
    /// 3049 when the result fails SQLite's integrity check.
    /// With `expected`, the path must still lead to that file (the one the caller looked at);
    /// another file there raises 3051 and nothing is changed.
    void CompactDatabaseInPlace(const std::string& path, const std::string& sourceLocale = "",
                                const std::optional<FileIdentity>& expected = std::nullopt);

    std::string Version() const;

private:
    std::string WorkgroupLogOn() const;
    std::string CurrentUser() const;
};

/// The one engine object, created on first use and kept for the program's life.
DBEngine& Engine();

/// Holds a database for this process alone: raises 3356 when another live client has it open,
/// and keeps any other client from opening it until the hold ends. CompactDatabase of the
/// same file from this process works inside the hold.
class ExclusiveHold
{
public:
    explicit ExclusiveHold(const std::string& path);
    ~ExclusiveHold();
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;

private:
    struct Impl;
    Impl* impl;
};

/// Copies a database file to the new file `destination` as one consistent state: while the
/// bytes are copied no client can write to it (a pending rollback of an interrupted writer is
/// done first). Any other file is copied as it is. The copy has the source's permission bits.
/// Raises the runtime's file errors (53, 57, 58, 61, 70, 76) and leaves no file behind then.
/// With Flush::Later the copy may still wait in the system's cache when the call returns.
void CopyDatabaseFile(const std::string& source, const std::string& destination,
                      Flush flush = Flush::Now);
/// CopyDatabaseFile into the new file `name` of an open folder. With `expected`, the source
/// must still be that file (the one a compaction worked on): a path that leads elsewhere now
/// raises 75 and nothing is copied. Every read is of the file the path led to when the call
/// began.
void CopyDatabaseFile(const std::string& source, Folder& folder, const std::string& name,
                      Flush flush = Flush::Now,
                      const std::optional<FileIdentity>& expected = std::nullopt);

} // namespace mallow::engine
