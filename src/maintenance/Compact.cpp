#include "Compact.h"

#include "engine/DBEngine.h"
#include "util/Dates.h"
#include "util/FileOps.h"
#include "util/MallowError.h"
#include "util/Paths.h"

#include <optional>

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

std::string Compact::CompactedCopyName(const std::string& path)
{
    return WithoutLastFour(path) + "MLW.mdb";
}

std::string Compact::SetAsideName(const std::string& path)
{
    return WithoutLastFour(path) + "MLWOrigDY.mdb";
}

std::string Compact::TimeStamp() const
{
    return dates::Format(clock.Now(), "mm/dd/yyyy hh:mm:ss AMPM");
}

void Compact::CompactApplication(long appId, const std::string& path, const std::string& password,
                                 const std::string& workgroupFile, const std::string& userName,
                                 const std::string& userPassword, bool backUp)
{
    std::optional<Failure> failure;
    std::int64_t sizeBefore = 0;
    try {
        status.SetStatusPanel(1, "Compacting ...");
        status.SetStatusPanel(2, CurrentApplicationText(path));
        config.ReplaceLogRecordset();

        const std::string compacted = CompactedCopyName(path);
        const std::string setAside = SetAsideName(path);
        if (!FileExists(path))
            RaiseRuntimeError(err::PathNotFound, "Compact");
        if (FileExists(compacted)) {
            DeleteFile(compacted);
            Step("old copy deleted");
        }
        sizeBefore = FileLength(path);

        engine::DBEngine& dbEngine = engine::Engine();
        if (!workgroupFile.empty()) {
            dbEngine.SystemDB = workgroupFile;
            dbEngine.DefaultUser = userName;
            dbEngine.DefaultPassword = userPassword;
        }
        {
            // No other client may have the database open from the copy to the swap: a client
            // still writing to the old file would lose its work.
            engine::ExclusiveHold hold(path);
            if (password.empty())
                dbEngine.CompactDatabase(path, compacted);
            else
                dbEngine.CompactDatabase(path, compacted, "", 0, ";pwd=" + Trim(password));
            Step("compacted");

            // A journal left beside the file would be played back into the compacted copy.
            for (const char* journal : {"-journal", "-wal"}) {
                if (FileExists(path + journal))
                    throw MallowError(err::PathFileAccess, "Compact",
                                      "Path/File access error: an unfinished transaction is "
                                      "still recorded in '" + path + journal + "'.");
            }
            if (FileExists(setAside)) {
                DeleteFile(setAside);
                Step("old set-aside deleted");
            }
            // The old file keeps a second name until the compacted one has taken its place,
            // so the path never names anything but a whole database.
            LinkOrCopyFile(path, setAside);
            Step("set aside");
            RenameFile(compacted, path);
            Step("swapped");
            SyncFolder(FolderForSync(path));
            Step("synced");
        }
        DeleteFile(setAside);
        Step("set-aside deleted");
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
        return;
    }

    if (backUp)
        BackupApplication(appId, path,
                          BackupFolder + SeparatorOf(BackupFolder) + FileNameOfPath(path));
    const std::int64_t sizeAfter = FileLength(path);
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
}

std::string Compact::BackupPathFor(const std::string& target, double today)
{
    return FolderOfPath(target) + WithoutLastFour(FileNameOfPath(target)) +
           dates::Format(today, "mm-dd-yyyy") + ".mdb";
}

bool Compact::IsExpiredBackup(const std::string& fileName, const std::string& baseName,
                              double today, long keepDays)
{
    if (fileName.size() <= 14)
        return false;
    const std::string stamp = fileName.substr(fileName.size() - 14, 10);
    const auto date = dates::ParseDate(stamp);
    if (!date)
        return false;
    if (fileName.substr(0, fileName.size() - 14) != baseName)
        return false;
    return dates::DateOnly(*date) < dates::DateOnly(today) - keepDays;
}

std::vector<std::string> Compact::ExpiredBackups(const std::vector<std::string>& names,
                                                 const std::string& baseName, double today,
                                                 long keepDays, const std::string& keep)
{
    std::vector<std::string> expired;
    for (const std::string& name : names) {
        if (name != keep && IsExpiredBackup(name, baseName, today, keepDays))
            expired.push_back(name);
    }
    return expired;
}

void Compact::DeleteExpiredBackups(const std::string& folder,
                                   const std::vector<std::string>& names,
                                   const std::string& baseName, double today, long keepDays,
                                   const std::string& keep)
{
    for (const std::string& name : ExpiredBackups(names, baseName, today, keepDays, keep))
        DeleteFile(folder + name);
}

bool Compact::BackupApplication(long appId, const std::string& source, const std::string& target)
{
    std::optional<Failure> failure;
    std::string backupPath;
    try {
        const double today = clock.Now();
        const std::string folder = FolderOfPath(target);
        const std::string baseName = WithoutLastFour(FileNameOfPath(target));
        backupPath = BackupPathFor(target, today);

        config.ScheduleRecordset->MoveFirst();
        const engine::Value days = config.ScheduleRecordset->Field("BUDays");
        if (days.IsNull())
            throw MallowError(94, "Compact", "Invalid use of Null");
        const long keepDays = static_cast<long>(days.ToLong());

        // The folder is read first: a missing folder fails here, before anything is written.
        const std::vector<std::string> names = FolderFileNames(folder);

        // The new copy comes first, under a name no back-up has, and takes the back-up's name
        // only when complete; old copies go only after that, so a failed copy loses nothing.
        const std::string partial = folder + "~" + FileNameOfPath(backupPath) + ".partial";
        if (FileExists(partial))
            DeleteFile(partial);
        engine::CopyDatabaseFile(source, partial, Flush::Later);
        Step("copied");
        RenameFile(partial, backupPath);
        Step("renamed");

        // The copy is as safe as any copied file from the moment it has its name. Before an
        // older copy is deleted the new one must be on disk, so that losing power just then
        // cannot leave the folder with neither.
        const std::vector<std::string> expired =
            ExpiredBackups(names, baseName, today, keepDays, FileNameOfPath(backupPath));
        if (!expired.empty()) {
            SyncFile(backupPath);
            SyncFolder(FolderForSync(backupPath));
            Step("synced");
        }
        for (const std::string& name : expired)
            DeleteFile(folder + name);
        Step("expired deleted");
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
        return false;
    }
    log.Update();
    lastResultText = TimeStamp() + CRLF + FileNameOfPath(source) + " back up was successful." +
                     CRLF + "Backed up to " + backupPath;
    return true;
}

} // namespace mallow
