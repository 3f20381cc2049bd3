#pragma once

#include "config/ConfigDatabase.h"
#include "util/Clock.h"
#include "util/FileOps.h"
#include "util/Work.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mallow {

/// Where compaction and back-up report progress: the main window's status panels.
class StatusPanels
{
public:
    virtual ~StatusPanels() = default;
    virtual void SetStatusPanel(int index, const std::string& text) = 0;
};

/// Compacting and backing up one database. Every failure is caught here and becomes a failed
/// log row and an outcome text in LastResultText; callers see an error only when the log row
/// itself cannot be written.
class Compact
{
public:
    Compact(ConfigDatabase& config, const Clock& clock, StatusPanels& status,
            std::string& lastResultText)
        : config(config), clock(clock), status(status), lastResultText(lastResultText)
    {
    }

    /// Compacts the database at `path` where it lies, with its security settings, and logs
    /// the outcome. Every client of the database, ours or any other SQLite program, sees the
    /// old content or the compacted one, and keeps working; the file stays the same file.
    /// True when the database was compacted.
    bool CompactApplication(long appId, const std::string& path, const std::string& password,
                            const std::string& workgroupFile, const std::string& userName,
                            const std::string& userPassword, bool backUp);

    /// Copies `source` into the folder of `target` under a date-stamped name, then deletes the
    /// database's back-ups older than the retention days. True when the copy is on disk under
    /// its name, even if an expired copy could not be deleted (the outcome says which). When
    /// the disk is too full for the copy, expired copies are deleted first and it is tried
    /// once more.
    /// With `compacted`, `source` must still be that file (the one just compacted): a path
    /// that leads elsewhere now fails the back-up and nothing is copied.
    bool BackupApplication(long appId, const std::string& source, const std::string& target,
                           const std::optional<FileIdentity>& compacted = std::nullopt);

    /// The lengths of the database before and after the last compaction; -1 where they were not
    /// measured (a missing file, a failed compaction).
    std::int64_t LastSizeBefore = -1;
    std::int64_t LastSizeAfter = -1;

    /// The back-up folder of the current maintenance pass.
    std::string BackupFolder;
    /// The outcome of the last back-up (its text is replaced in LastResultText when the
    /// back-up follows a compaction); nothing before the first.
    std::optional<bool> LastBackupSucceeded;
    std::string LastBackupText;

    /// Who else holds the database open on its file server, as "user' on machine 'computer",
    /// or "" for nobody (or a database on a local disk). Programs on other machines that reach
    /// a database through a network mount are seen by no lock the engine can test, so the
    /// server is asked before the database is compacted. Unset: nobody is asked.
    std::function<std::string(const std::string& path)> HeldOnServer;

    /// Where the long work runs (the compaction, the copy, the server's questions) and where it
    /// reports its progress: by default where it is called.
    WorkRunner* Work = &InlineRunner();

    /// Called after every step that changes a file, with the step's name; lets a test stop
    /// the process at exactly that point.
    std::function<void(const char* step)> OnStep;

    /// "<folder of target><name of target without extension>mm-dd-yyyy.mdb"
    static std::string BackupPathFor(const std::string& target, double today);
    /// The day in the name of a back-up of the database with base name `baseName`, when the
    /// file name is one.
    static std::optional<double> BackupDate(const std::string& fileName,
                                            const std::string& baseName);
    /// The newest back-up of `baseName` among `names`, or "" when there is none.
    static std::string NewestBackup(const std::vector<std::string>& names,
                                    const std::string& baseName);
    /// Whether a file name in the back-up folder is a back-up of the database with base name
    /// `baseName` made before `today - keepDays`.
    static bool IsExpiredBackup(const std::string& fileName, const std::string& baseName,
                                double today, long keepDays);
    /// The expired back-ups of `baseName` among `names`, never `keep`, oldest first.
    static std::vector<std::string> ExpiredBackups(const std::vector<std::string>& names,
                                                   const std::string& baseName, double today,
                                                   long keepDays, const std::string& keep);
    /// Deletes the expired back-ups of `baseName` among the `names` of files in `folder`,
    /// never `keep`, and never anything but a regular file.
    static void DeleteExpiredBackups(Folder& folder, const std::vector<std::string>& names,
                                     const std::string& baseName, double today, long keepDays,
                                     const std::string& keep);

private:
    std::string TimeStamp() const;
    void Step(const char* name) const
    {
        if (OnStep)
            OnStep(name);
    }

    ConfigDatabase& config;
    const Clock& clock;
    StatusPanels& status;
    std::string& lastResultText;
};

} // namespace mallow
