// Compacting a database where it lies: a compacted snapshot is made and checked, then copied
// back into the file in one journaled transaction under SQLite's write lock.

#include "InPlaceCompaction.h"

#include "SqliteSupport.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

namespace mallow::engine {

namespace {

using namespace support;

// How often a snapshot is made again when another program committed while it was made.
constexpr int SnapshotAttempts = 3;
// Pages copied back between two looks at the user's stop and two reports of progress.
constexpr int PagesPerStep = 1024;

// While the snapshot is written: the user's stop, and how far the snapshot has grown beside
// the database it comes from.
struct SnapshotWatch
{
    std::string path;
    std::uint64_t expected = 0;
    int calls = 0;
};

int WatchSnapshot(void* context)
{
    auto* watch = static_cast<SnapshotWatch*>(context);
    if (StopRequested())
        return 1;
    if (++watch->calls % 64 == 0) {
        struct stat st = {};
        if (stat(watch->path.c_str(), &st) == 0)
            ReportProgress(
                std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), watch->expected),
                watch->expected);
    }
    return 0;
}

// The file change counter in the database header (bytes 24 to 27), read from the file itself:
// every commit in rollback-journal mode moves it on.
std::optional<std::uint32_t> ChangeCounter(sqlite3* db)
{
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return std::nullopt;
    unsigned char bytes[4] = {};
    if (file->pMethods->xRead(file, bytes, 4, 24) != SQLITE_OK)
        return std::nullopt;
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

// A folder for the snapshot: the memory file system where it has room (the file is small
// beside the memory, and there is twice its size free), else the database's own folder.
std::string SnapshotFolder(const std::string& native, off_t fileSize)
{
    struct statvfs shm = {};
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (statvfs("/dev/shm", &shm) == 0 && pages > 0 && pageSize > 0 &&
        access("/dev/shm", W_OK) == 0) {
        const auto free = static_cast<unsigned long long>(shm.f_bavail) * shm.f_frsize;
        const auto memory =
            static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize);
        const auto size = static_cast<unsigned long long>(fileSize);
        if (size <= memory / 8 && free >= 2 * size)
            return "/dev/shm";
    }
    return FolderOf(native);
}

// A new, empty file for the snapshot, removed when the object goes (or at once, once the
// snapshot is open, so that a crash leaves nothing behind).
class SnapshotFile
{
public:
    explicit SnapshotFile(const std::string& folder)
    {
        std::string pattern = folder + "/.mallow-compact-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0)
            return;
        close(fd);
        path = pattern;
    }
    ~SnapshotFile() { Remove(); }
    SnapshotFile(const SnapshotFile&) = delete;
    SnapshotFile& operator=(const SnapshotFile&) = delete;
    const std::string& Path() const { return path; }
    void Remove()
    {
        if (!path.empty()) {
            unlink(path.c_str());
            unlink((path + "-journal").c_str());
        }
        path.clear();
    }

private:
    std::string path;
};

class Backup
{
public:
    Backup(sqlite3* destination, sqlite3* source)
        : backup(sqlite3_backup_init(destination, "main", source, "main"))
    {
    }
    ~Backup() { Finish(); }
    Backup(const Backup&) = delete;
    Backup& operator=(const Backup&) = delete;
    sqlite3_backup* Get() const { return backup; }
    /// Ends the copy; one that did not run to its end is rolled back.
    int Finish()
    {
        const int rc = backup ? sqlite3_backup_finish(backup) : SQLITE_OK;
        backup = nullptr;
        return rc;
    }

private:
    sqlite3_backup* backup;
};

int OpenReadOnly(const std::string& path, Handle& handle, off_t mapSize)
{
    const int rc = sqlite3_open_v2(path.c_str(), handle.Out(), SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) {
        // Read through a memory map: the pages come straight from the system's cache.
        const std::string map = "PRAGMA mmap_size = " + std::to_string(mapSize);
        Run(handle.Get(), map.c_str());
    }
    return rc;
}

} // namespace

CompactionOutcome CompactThroughSnapshot(sqlite3* db, const std::string& native, off_t fileSize)
{
    for (int attempt = 0; attempt < SnapshotAttempts; ++attempt) {
        SnapshotFile snapshot(SnapshotFolder(native, fileSize));
        if (snapshot.Path().empty())
            return {CompactionOutcome::Failed, SQLITE_CANTOPEN, errno};

        // The snapshot is one committed state of the database; when the counter moved while
        // it was made, it is unknown which, and it is made again.
        const auto before = ChangeCounter(db);
        int prc = SQLITE_OK;
        {
            ReportPhase("Compacting", true);
            SnapshotWatch watch{snapshot.Path(), static_cast<std::uint64_t>(fileSize), 0};
            sqlite3_progress_handler(db, 1000, WatchSnapshot, &watch);
            Prepared into(db, "VACUUM INTO ?", prc);
            if (prc == SQLITE_OK)
                prc =
                    sqlite3_bind_text(into.Get(), 1, snapshot.Path().c_str(), -1, SQLITE_TRANSIENT);
            if (prc == SQLITE_OK && sqlite3_step(into.Get()) != SQLITE_DONE)
                prc = sqlite3_extended_errcode(db);
            sqlite3_progress_handler(db, 0, nullptr, nullptr);
        }
        if (StopRequested())
            return {CompactionOutcome::Stopped, SQLITE_INTERRUPT, 0};
        if (prc != SQLITE_OK)
            return {CompactionOutcome::Failed, prc, sqlite3_system_errno(db)};
        if (!before || ChangeCounter(db) != before)
            continue;

        Handle source;
        Handle checked;
        if (OpenReadOnly(snapshot.Path(), source, fileSize) != SQLITE_OK ||
            OpenReadOnly(snapshot.Path(), checked, fileSize) != SQLITE_OK)
            return {CompactionOutcome::Failed, SQLITE_CANTOPEN, 0};
        snapshot.Remove();

        // The copy takes the database's write lock before it copies a page. Under it no other
        // program can commit: a counter that moved since the snapshot means one did in
        // between, and the copy is abandoned before it changed anything. Waiting for that lock
        // is part of writing back, not of the snapshot, which is done.
        ReportPhase("Writing back", true);
        Backup backup(db, source.Get());
        if (!backup.Get())
            return {CompactionOutcome::Failed, sqlite3_extended_errcode(db), 0};
        int rc = sqlite3_backup_step(backup.Get(), 0);
        if (rc != SQLITE_OK && rc != SQLITE_DONE)
            return {CompactionOutcome::Failed, rc, sqlite3_system_errno(db)};
        if (ChangeCounter(db) != before)
            continue;

        // The snapshot is checked on the other processor while the disk takes the copy; the
        // copy's last page, and with it its commit, waits for the verdict. Until then the copy
        // goes in steps, between which the user may stop it: it is then rolled back.
        std::atomic<bool> sound = false;
        std::atomic<bool> checkedAll = false;
        std::thread check([&] {
            sound = IsSound(checked.Get());
            checkedAll = true;
        });
        const auto stopCheck = [&] {
            sqlite3_interrupt(checked.Get());
            check.join();
        };
        const int pages = sqlite3_backup_pagecount(backup.Get());
        for (int copied = 0; rc == SQLITE_OK && copied < pages - 1;) {
            const int step = std::min(PagesPerStep, pages - 1 - copied);
            rc = sqlite3_backup_step(backup.Get(), step);
            copied += step;
            ReportProgress(static_cast<std::uint64_t>(copied), static_cast<std::uint64_t>(pages));
            if (StopRequested()) {
                stopCheck();
                return {CompactionOutcome::Stopped, SQLITE_INTERRUPT, 0};
            }
        }
        if (rc != SQLITE_OK && rc != SQLITE_DONE) {
            stopCheck();
            return {CompactionOutcome::Failed, rc, sqlite3_system_errno(db)};
        }
        if (!checkedAll)
            ReportPhase("Checking", true);
        while (!checkedAll && !StopRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (StopRequested()) {
            stopCheck();
            return {CompactionOutcome::Stopped, SQLITE_INTERRUPT, 0};
        }
        check.join();
        if (!sound)
            return {CompactionOutcome::Unsound, SQLITE_CORRUPT, 0};
        // From here the copy commits and runs to its end.
        ReportPhase("Writing back", false);
        ReportProgress(static_cast<std::uint64_t>(pages > 1 ? pages - 1 : 0),
                       static_cast<std::uint64_t>(pages));
        rc = sqlite3_backup_step(backup.Get(), -1);
        const int finished = backup.Finish();
        if (rc != SQLITE_DONE)
            return {CompactionOutcome::Failed, rc == SQLITE_OK ? finished : rc,
                    sqlite3_system_errno(db)};
        return {CompactionOutcome::Compacted, SQLITE_OK, 0};
    }
    return {CompactionOutcome::Busy, SQLITE_BUSY, 0};
}

} // namespace mallow::engine
