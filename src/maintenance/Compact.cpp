#include "Compact.h"

#include "engine/DBEngine.h"
#include "engine/JetError.h"
#include "util/Dates.h"
#include "util/FileOps.h"
#include "util/MallowError.h"
#include "util/Paths.h"
#include "util/Work.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace mallow {

namespace {

const char* const CRLF = "\r\n";

std::string WithoutLastFour(const std::string& text)
{
    if (text.size() < 4)
        throw MallowError(5, "Compact", RuntimeErrorText(5));
    return text.substr(0, text.size() - 4);
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string FolderForSync(const std::string& path)
{
    const std::string folder = FolderOfPath(path);
    return folder == "-1" ? "." : folder;
}

struct Failure
{
    long number = 0;
    std::string description;
};

} // namespace

std::string Compact::TimeStamp() const
{
    return dates::Format(clock.Now(), "mm/dd/yyyy hh:mm:ss AMPM");
}

bool Compact::CompactApplication(long appId, const std::string& path, const std::string& password,
                                 const std::string& workgroupFile, const std::string& userName,
                                 const std::string& userPassword, bool backUp)
{
    // While the database is worked on, the window goes on: the work runs where Work puts it,
    // and the log rows and texts are written here once it is done.
    const BusyScope busy(*Work);
    Work->progress.ClearStop();
    LastBackupSucceeded.reset();
    LastBackupText.clear();
    LastSizeBefore = LastSizeAfter = -1;
    std::optional<Failure> failure;
    std::int64_t sizeBefore = 0;
    // The file the path leads to now is the one compacted and then backed up: a path swapped
    // for another file in between is refused, never worked on.
    std::optional<FileIdentity> database;
    try {
        status.SetStatusPanel(1, "Compacting ...");
        status.SetStatusPanel(2, CurrentApplicationText(path));
        config.ReplaceLogRecordset();
        Work->Run([&] {
            ReportPhase("Compacting", true);
            if (!FileExists(path))
                RaiseRuntimeError(err::PathNotFound, "Compact");
            database = IdentityOf(path);
            sizeBefore = FileLength(path);
            LastSizeBefore = sizeBefore;

            engine::DBEngine& dbEngine = engine::Engine();
            if (!workgroupFile.empty()) {
                dbEngine.SystemDB = workgroupFile;
                dbEngine.DefaultUser = userName;
                dbEngine.DefaultPassword = userPassword;
            }
            if (HeldOnServer) {
                if (const std::string holder = HeldOnServer(path); !holder.empty())
                    engine::RaiseJet(engine::jet::OpenedExclusively, holder);
            }
            if (StopRequested())
                RaiseStopped("Compact");
            // The database is compacted where it lies, under SQLite's own locks: a file renamed
            // over it would leave every program that has it open writing into a file no path
            // names any more.
            if (password.empty())
                dbEngine.CompactDatabaseInPlace(path, "", database);
            else
                dbEngine.CompactDatabaseInPlace(path, ";pwd=" + Trim(password), database);
        });
        Step("compacted");
    } catch (const MallowError& e) {
        failure = Failure{e.Number(), e.Description()};
    } catch (const std::exception& e) {
        failure = Failure{err::PathFileAccess, e.what()};
    }

    if (failure) {
        auto& log = *config.LogRecordset;
        log.AddNew();
        log.SetField("App ID", appId);
        log.SetField("Application", path);
        log.SetField("Successful", false);
        log.SetField("TimeLogged", engine::Value::Date(clock.Now()));
        if (failure->number != err::FileNotFound && failure->number != err::PathNotFound)
            log.SetField("Size Before", static_cast<long long>(sizeBefore));
        log.SetField("Comments", std::to_string(failure->number) + " : " + failure->description);
        log.Update();
        lastResultText = TimeStamp() + CRLF + path + " compact was unsuccessful." + CRLF +
                         std::to_string(failure->number) + " : " + failure->description;
        return false;
    }

    if (backUp)
        BackupApplication(
            appId, path, BackupFolder + SeparatorOf(BackupFolder) + FileNameOfPath(path), database);
    std::int64_t sizeAfter = 0;
    Work->Run([&] { sizeAfter = FileLength(path); });
    LastSizeAfter = sizeAfter;
    auto& log = *config.LogRecordset;
    log.AddNew();
    log.SetField("App ID", appId);
    log.SetField("Application", path);
    log.SetField("Successful", true);
    log.SetField("TimeLogged", engine::Value::Date(clock.Now()));
    log.SetField("Size Before", static_cast<long long>(sizeBefore));
    log.SetField("Size After", static_cast<long long>(sizeAfter));
    log.Update();
    lastResultText = TimeStamp() + CRLF + path + " compact was successful." + CRLF +
                     "Size Before = " + std::to_string(sizeBefore) + CRLF +
                     "Size After = " + std::to_string(sizeAfter);
    return true;
}

std::string Compact::BackupPathFor(const std::string& target, double today)
{
    return FolderOfPath(target) + WithoutLastFour(FileNameOfPath(target)) +
           dates::Format(today, "mm-dd-yyyy") + ".mdb";
}

std::optional<double> Compact::BackupDate(const std::string& fileName, const std::string& baseName)
{
    if (fileName.size() <= 14)
        return std::nullopt;
    const auto date = dates::ParseDate(fileName.substr(fileName.size() - 14, 10));
    if (!date || fileName.substr(0, fileName.size() - 14) != baseName)
        return std::nullopt;
    return dates::DateOnly(*date);
}

bool Compact::IsExpiredBackup(const std::string& fileName, const std::string& baseName,
                              double today, long keepDays)
{
    const auto date = BackupDate(fileName, baseName);
    return date && *date < dates::DateOnly(today) - keepDays;
}

std::vector<std::string> Compact::ExpiredBackups(const std::vector<std::string>& names,
                                                 const std::string& baseName, double today,
                                                 long keepDays, const std::string& keep)
{
    std::vector<std::pair<double, std::string>> dated;
    for (const std::string& name : names) {
        if (name != keep && IsExpiredBackup(name, baseName, today, keepDays))
            dated.emplace_back(*BackupDate(name, baseName), name);
    }
    std::sort(dated.begin(), dated.end());
    std::vector<std::string> expired;
    for (auto& [date, name] : dated)
        expired.push_back(std::move(name));
    return expired;
}

void Compact::DeleteExpiredBackups(Folder& folder, const std::vector<std::string>& names,
                                   const std::string& baseName, double today, long keepDays,
                                   const std::string& keep)
{
    for (const std::string& name : ExpiredBackups(names, baseName, today, keepDays, keep))
        folder.RemoveRegularFile(name);
}

bool Compact::BackupApplication(long appId, const std::string& source, const std::string& target,
                                const std::optional<FileIdentity>& compacted)
{
    const BusyScope busy(*Work);
    std::optional<Failure> failure;
    std::string backupPath;
    // Expired copies that could not be deleted, each with its error; the back-up itself stands.
    std::string notDeleted;
    try {
        const double today = clock.Now();
        const std::string baseName = WithoutLastFour(FileNameOfPath(target));
        backupPath = BackupPathFor(target, today);

        config.ScheduleRecordset->MoveFirst();
        const engine::Value days = config.ScheduleRecordset->Field("BUDays");
        if (days.IsNull())
            throw MallowError(94, "Compact", "Invalid use of Null");
        const long keepDays = static_cast<long>(days.ToLong());
        Work->Run([&] {
            ReportPhase("Backing up", false);

            // The folder is opened once and read first: a missing folder fails here, before
            // anything is written. Everything after works through it, so that a folder or a link
            // put in place of its name, or of a name in it, is never followed: only its regular
            // files are back-ups, and only they are ever deleted.
            Folder backups(FolderForSync(backupPath));
            const std::vector<std::string> names = backups.RegularFileNames();
            std::vector<std::string> expired =
                ExpiredBackups(names, baseName, today, keepDays, FileNameOfPath(backupPath));

            // The new copy is written under a name no back-up has and flushed to disk before it
            // takes the back-up's name, so that a good copy of the same name is never replaced by
            // one that is not whole, and a copy that the disk failed to write is no success.
            const std::string partial = "~" + FileNameOfPath(backupPath) + ".partial";
            if (backups.Holds(partial))
                backups.RemoveEntry(partial);
            try {
                engine::CopyDatabaseFile(source, backups, partial, Flush::Now, compacted);
            } catch (const MallowError& e) {
                // Room is made by the expired copies, oldest first; the newest back-up of the
                // database stays whatever its age, so that a copy failing again leaves one.
                std::erase(expired, NewestBackup(names, baseName));
                if (e.Number() != err::DiskFull || expired.empty())
                    throw;
                while (!expired.empty()) {
                    backups.RemoveRegularFile(expired.front());
                    expired.erase(expired.begin());
                }
                Step("made room");
                engine::CopyDatabaseFile(source, backups, partial, Flush::Now, compacted);
            }
            Step("copied");
            backups.Rename(partial, FileNameOfPath(backupPath));
            backups.Sync();
            Step("renamed");

            for (const std::string& name : expired) {
                try {
                    backups.RemoveRegularFile(name);
                } catch (const MallowError& e) {
                    notDeleted += CRLF + std::string("Could not delete the expired back up ") +
                                  name + ": " + std::to_string(e.Number()) + " : " +
                                  e.Description();
                }
            }
            Step("expired deleted");
        });
    } catch (const MallowError& e) {
        failure = Failure{e.Number(), e.Description()};
    } catch (const std::exception& e) {
        failure = Failure{err::PathFileAccess, e.what()};
    }

    auto& log = *config.LogBackupRecordset;
    log.AddNew();
    log.SetField("App ID", appId);
    log.SetField("Application", source);
    log.SetField("Successful", !failure);
    log.SetField("TimeLogged", engine::Value::Date(clock.Now()));
    if (failure) {
        log.SetField("Comments", std::to_string(failure->number) + " : " + failure->description);
        log.Update();
        lastResultText = TimeStamp() + CRLF + FileNameOfPath(source) +
                         " back up was unsuccessful." + CRLF + std::to_string(failure->number) +
                         " : " + failure->description;
        LastBackupSucceeded = false;
        LastBackupText = lastResultText;
        return false;
    }
    if (!notDeleted.empty())
        log.SetField("Comments", notDeleted.substr(2));
    log.Update();
    lastResultText = TimeStamp() + CRLF + FileNameOfPath(source) + " back up was successful." +
                     CRLF + "Backed up to " + backupPath + notDeleted;
    LastBackupSucceeded = true;
    LastBackupText = lastResultText;
    return true;
}

std::string Compact::NewestBackup(const std::vector<std::string>& names,
                                  const std::string& baseName)
{
    std::optional<std::pair<double, std::string>> newest;
    for (const std::string& name : names) {
        if (const auto date = BackupDate(name, baseName)) {
            if (!newest || std::pair(*date, name) > *newest)
                newest = std::pair(*date, name);
        }
    }
    return newest ? newest->second : std::string();
}

} // namespace mallow
