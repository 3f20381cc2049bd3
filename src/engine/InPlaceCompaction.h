#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace mallow::engine {

struct CompactionOutcome
{
    enum Kind
    {
        Compacted,
        /// Other programs committed while each snapshot was made: nothing was changed.
        Busy,
        /// The snapshot failed SQLite's check: nothing was changed.
        Unsound,
        /// An SQLite call failed (`rc`, with the system's error); nothing was changed.
        Failed,
        /// The user asked the work to stop before the copy-back committed; nothing was changed.
        Stopped,
    } kind;
    int rc = SQLITE_OK;
    int systemError = 0;
};

/// Compacts the database of `db` (in rollback-journal mode, at `native`, `fileSize` bytes)
/// where it lies: a compacted snapshot of it is made without keeping other programs out, then
/// copied back into the file in one journaled transaction under SQLite's write lock, while the
/// snapshot is checked on another thread; the copy commits only when the check found it sound,
/// and only when no other program committed since the snapshot was made. `db` must have no
/// transaction open; its busy handler bounds the wait for the write lock. The phases and their
/// progress go to the thread's WorkProgress ("Compacting", "Writing back", "Checking"); until
/// the commit begins, the user may stop the work.
CompactionOutcome CompactThroughSnapshot(sqlite3* db, const std::string& native, off_t fileSize);

} // namespace mallow::engine
