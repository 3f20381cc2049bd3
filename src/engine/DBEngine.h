#pragma once

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

    /// Writes a compacted copy of `source` to `destination`. `sourceLocale` may carry
    /// ";pwd=<database password>". The copy is complete, checked and on disk when this returns.
    /// Raises 3024 when the source is missing, 3343 when it is no database, 3356 when another
    /// live client holds it open, 3031 for a wrong database password, 3028 when the workgroup
    /// file is missing or no workgroup file, 3029 for a wrong account or password, 3204 when
    /// the destination exists. A failure leaves no destination file behind.
    void CompactDatabase(const std::string& source, const std::string& destination,
                         const std::string& destinationLocale = "", int options = 0,
                         const std::string& sourceLocale = "");

    std::string Version() const;
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

/// Copies a database file to `destination` as one consistent state: while the bytes are
/// copied no client can write to it (a pending rollback of an interrupted writer is done
/// first). Any other file is copied as it is. Raises the runtime's file errors (53, 70, 76, 61).
/// With Flush::Later the copy may still wait in the system's cache when the call returns.
void CopyDatabaseFile(const std::string& source, const std::string& destination,
                      Flush flush = Flush::Now);

} // namespace mallow::engine
