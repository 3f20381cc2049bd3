#include "MaintenanceRun.h"

#include "util/MallowError.h"

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace mallow {

namespace {

// Runs one step of the pass; an error ends that step only.
template <typename Step>
void Ignoring(Step&& step)
{
    try {
        step();
    } catch (const std::exception&) {
        // The pass goes on with its next step; the compaction logs its own failures.
    }
}

std::string TextOf(engine::Recordset& rows, const char* column)
{
    const engine::Value value = rows.Field(column);
    return value.IsNull() ? std::string() : value.ToText();
}

// The lock file of a database: the extension of its file name replaced by "ldb".
std::string LockFileOf(const std::string& path)
{
    const auto separator = path.find_last_of("\\/");
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
        return path + ".ldb";
    return path.substr(0, dot) + ".ldb";
}

} // namespace

long MaintenanceRun::DelaySeconds(const std::string& text)
{
    try {
        std::size_t used = 0;
        const double value = std::stod(text, &used);
        if (text.find_first_not_of(" \t", used) != std::string::npos || !std::isfinite(value))
            return 0;
        // Whole seconds, halves to the even one, as a conversion to an integer rounds.
        return static_cast<long>(std::nearbyint(std::clamp(value, -1e9, 1e9)));
    } catch (const std::exception&) {
        return 0;
    }
}

void MaintenanceRun::WaitBeforeDisconnecting()
{
    // Measured on a clock that only moves forward; the box is read afresh at every check, so
    // an edit during the wait counts, and a box that holds no number ends the wait.
    const double start = host.ElapsedSeconds();
    while (host.ElapsedSeconds() < start + static_cast<double>(DelaySeconds(host.DelayText())))
        host.ProcessPendingEvents(50);
}

void MaintenanceRun::RunMaintenance(bool backUp)
{
    // The pass is one piece of work from its start to its end; the questions to the servers
    // and the compactions run where the Compact module runs its work.
    const BusyScope busy(*compact.Work);
    WorkRunner& work = *compact.Work;
    host.SetTimerEnabled(false);
    host.SetBusy(true);
    continueRun = true;
    int position = 0;

    std::string message;
    long sendFlag = 0;
    Ignoring([&] {
        auto& schedule = *config.ScheduleRecordset;
        schedule.MoveFirst();
        compact.BackupFolder = TextOf(schedule, "Backup");
        const engine::Value flag = schedule.Field("SendDisconnectMsg");
        sendFlag = flag.IsNull() ? 0 : static_cast<long>(flag.ToLong());
        message = TextOf(schedule, "DisconnectMessage");
    });
    int count = 0;
    Ignoring([&] { count = static_cast<int>(config.AppsRecordset->RecordCount()); });
    host.ClearSummary();
    lastResultText.clear();

    // The pass walks a cursor of its own over the applications, so that a command the user
    // gives while the pass lets events through (Add, Remove, Import) cannot move it.
    engine::Recordset apps;
    bool atEnd = true;
    Ignoring([&] {
        apps = config.AppsRecordset->Clone();
        apps.MoveFirst();
        atEnd = apps.Eof();
    });
    while (!atEnd) {
        PassRecord record;
        record.position = ++position;
        record.count = count;
        status.SetStatusPanel(3, std::to_string(position) + " of " + std::to_string(count));

        long appId = 0;
        std::string password;
        std::string workgroup;
        std::string user;
        std::string userPassword;
        bool disconnect = false;
        Ignoring([&] {
            appId = static_cast<long>(apps.Field("App ID").ToLong());
            record.path = TextOf(apps, "App");
            password = TextOf(apps, "Password");
            workgroup = TextOf(apps, "MDW");
            user = TextOf(apps, "UserName");
            userPassword = TextOf(apps, "UserPassword");
            const engine::Value logOff = apps.Field("LogUsersOff");
            disconnect = !logOff.IsNull() && logOff.ToLong() == 1;
        });

        if (disconnect) {
            // A check that fails (a database on a local disk) finds nobody to disconnect.
            Ignoring([&] { work.Run([&] { record.usersFound = users.AnyUsers(record.path); }); });
            if (record.usersFound) {
                if (sendFlag == 1) {
                    Ignoring([&] {
                        work.Run([&] { users.SendMessageToUsers(record.path, message); });
                        record.messaged = true;
                    });
                    WaitBeforeDisconnecting();
                }
                Ignoring([&] {
                    work.Run([&] { record.disconnected = users.CloseFileAllUsers(record.path); });
                    record.usersDisconnected = users.DisconnectedUsers();
                });
                Ignoring([&] {
                    work.Run([&] { users.CloseFileAllUsers(LockFileOf(record.path)); });
                });
            }
        }

        Ignoring([&] {
            record.compacted = compact.CompactApplication(appId, record.path, password, workgroup,
                                                          user, userPassword, backUp);
        });
        record.outcome = lastResultText;
        record.sizeBefore = compact.LastSizeBefore;
        record.sizeAfter = compact.LastSizeAfter;
        record.backedUp = compact.LastBackupSucceeded;
        record.backupOutcome = compact.LastBackupText;
        if (OnDatabaseDone)
            OnDatabaseDone(record);

        host.ProcessPendingEvents();
        if (!continueRun)
            break;
        bool moved = false;
        Ignoring([&] {
            apps.MoveNext();
            moved = true;
        });
        atEnd = true;
        if (moved)
            Ignoring([&] { atEnd = apps.Eof(); });
    }

    host.ResetStatusPanels();
    host.SetBusy(false);
    host.SetTimerEnabled(true);
}

PassLock::PassLock(const std::string& folder)
{
    fd = open(folder.empty() ? "." : folder.c_str(),
              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        fd = -1;
    }
}

PassLock::~PassLock()
{
    if (fd >= 0)
        close(fd);
}

} // namespace mallow
