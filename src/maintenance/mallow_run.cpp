// mallow-run: the maintenance pass without a window, for system timers and cron.

#include "config/ConfigDatabase.h"
#include "maintenance/MaintenanceRun.h"
#include "multiuser/MultiUser.h"
#include "net/NetServices.h"
#include "util/Clock.h"
#include "util/MallowError.h"
#include "util/Paths.h"
#include "util/FileOps.h"
#include "util/Work.h"
#include "engine/LockFile.h"
#include "maintenance/PassReport.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

const char* const Usage = R"(Usage: mallow-run [--backup | --no-backup] [--dry-run] [--json] [--metrics FILE]

Runs Mallow's maintenance pass over every registered database, as "Run Now" does in the
window: users of a database marked "Disconnect Users" are sent the disconnect message (when the
schedule says so), given the delay, and disconnected; then each database is compacted and, when
back-ups are on, backed up into the schedule's folder. Every step is logged in the
configuration database Compact20.mdb (in /var/lib/mallow when installed, beside this
program in a build folder), as the window logs it.

  --backup      back up after compacting, whatever the schedule says
  --no-backup   do not back up, whatever the schedule says
                (without either, the schedule's "Back Up Also" setting decides)
  --dry-run     does everything up to the first change and changes nothing: for every
                database, who holds it open on its server (user, computer, database user),
                whether they would be warned and disconnected, and whether it would be
                compacted; sends no message, closes nothing, compacts nothing, logs nothing
  --json        one JSON object per database and one for the summary instead of the lines
  --metrics FILE  writes the pass's figures for monitoring into FILE at its end (also when
                it failed or was stopped), in the node exporter's text-file format, in one
                step (mode 0644), for example
                /var/lib/prometheus/node-exporter/mallow.prom
  --help        shows this text

One line is printed per database, then a summary. The exit status is 0 when every database was
compacted (and backed up, when asked), 1 when one was not, 2 for a configuration database that
cannot be opened or a wrong argument, 3 when another pass (from the window or another
mallow-run) is running on the same configuration database. A dry run exits 0 when a real pass
would compact every database, 1 when it would not. SIGINT or SIGTERM stop the pass after the
database it is working on. On a terminal a line of progress shows on standard error.
)";

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int)
{
    stopRequested = 1;
}

std::string OneLine(std::string text)
{
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.replace(at, 2, " | ");
    return text;
}

// What the window's status panels would show: the database (panel 2) and its place (3).
struct QuietPanels : mallow::StatusPanels
{
    std::mutex mutex;
    std::string database;
    std::string position;
    void SetStatusPanel(int index, const std::string& text) override
    {
        std::lock_guard lock(mutex);
        if (index == 2)
            database = text;
        else if (index == 3)
            position = text;
    }
};

// Runs the work where it is called; on a terminal, a line on standard error shows how far it
// has come, rewritten in place and cleared at the end. Nothing of it reaches a pipe or the
// journal.
class TerminalRunner : public mallow::WorkRunner
{
public:
    explicit TerminalRunner(QuietPanels& panels)
        : panels(panels), terminal(isatty(STDERR_FILENO) == 1)
    {
    }

    void Run(const std::function<void()>& work) override
    {
        if (!terminal) {
            WorkRunner::Run(work);
            return;
        }
        // The line is shown until the work has ended, however it ends.
        struct Shower
        {
            std::atomic<bool> done = false;
            std::thread thread;
            ~Shower()
            {
                done = true;
                if (thread.joinable())
                    thread.join();
            }
        } shower;
        shower.thread = std::thread([&] {
            bool shown = false;
            while (!shower.done) {
                const auto now = progress.Read();
                if (now.active && now.elapsed >= 0.3) {
                    std::string line;
                    {
                        std::lock_guard lock(panels.mutex);
                        line = "[" + panels.position + "] " + panels.database + ": ";
                    }
                    line += mallow::WorkProgress::Text(now);
                    std::fprintf(stderr, "\r\033[K%s", line.c_str());
                    std::fflush(stderr);
                    shown = true;
                }
                for (int i = 0; i < 4 && !shower.done; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (shown) {
                std::fprintf(stderr, "\r\033[K");
                std::fflush(stderr);
            }
        });
        WorkRunner::Run(work);
    }

private:
    QuietPanels& panels;
    bool terminal;
};

class HeadlessHost : public mallow::PassHost
{
public:
    HeadlessHost(bool& continueRun, std::string delay)
        : continueRun(continueRun), delay(std::move(delay))
    {
    }
    void ProcessPendingEvents(int waitMs) override
    {
        if (waitMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        if (stopRequested)
            continueRun = false;
    }
    // Without a window, the delay is the one the schedule stores.
    std::string DelayText() override { return delay; }
    double ElapsedSeconds() override
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void SetTimerEnabled(bool) override {}
    void SetBusy(bool) override {}
    void ClearSummary() override {}
    void ResetStatusPanels() override {}

private:
    bool& continueRun;
    std::string delay;
};

/// Network errors that the layer reports instead of raising go to standard error.
struct ErrorToStderr : mallow::net::NetErrorReporter
{
    void ShowError(const std::string& routine, const std::string& description) override
    {
        std::fprintf(stderr, "%s\n",
                     OneLine(mallow::net::ErrorReportText(routine, description)).c_str());
    }
};

struct Options
{
    std::optional<bool> backUp;
    bool dryRun = false;
    bool json = false;
    std::string metrics;
};

double Now()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

// What a pass would do to one database, found without changing anything: who holds it open on
// its server, whether they would be warned and disconnected, whether it would be compacted.
mallow::DatabaseReport Preview(mallow::engine::Recordset& apps, mallow::multiuser::MultiUser& users,
                               long sendFlag)
{
    mallow::DatabaseReport report;
    const auto text = [&](const char* column) {
        const mallow::engine::Value value = apps.Field(column);
        return value.IsNull() ? std::string() : value.ToText();
    };
    report.path = text("App");
    const mallow::engine::Value logOff = apps.Field("LogUsersOff");
    const bool disconnect = !logOff.IsNull() && logOff.ToLong() == 1;
    std::string networkError;
    try {
        report.usersFound = users.AnyUsers(report.path);
        if (report.usersFound) {
            for (const mallow::multiuser::UserInfoRow& row : users.GetUserInfo(report.path))
                report.holders.push_back(row.ntUserId + " on " + row.computerName + " as " +
                                         (row.accessUserId.empty() ? "?" : row.accessUserId));
            if (report.holders.empty())
                for (const mallow::multiuser::OpenFileRow& file : users.OpenFiles)
                    report.holders.push_back(file.userName + " (not in the lock file)");
        }
    } catch (const mallow::MallowError& error) {
        networkError = OneLine(error.Description());
    }
    report.server = users.ServerOf(report.path);
    // Clients of Mallow's engine on this machine keep a database from being compacted too.
    std::vector<std::string> engineClients;
    try {
        for (const auto& record : mallow::engine::ReadLockRecords(report.path))
            if (record.live)
                engineClients.push_back(record.userName + " on " + record.computerName);
    } catch (const mallow::MallowError&) {
    }

    std::string refused;
    if (!mallow::FileExists(report.path))
        refused = "the file does not exist";
    else if (!engineClients.empty())
        refused = "open in Mallow by " + Join(engineClients, ", ");
    else if (report.usersFound && !disconnect)
        refused = "kept open";
    else if (report.usersFound && report.holders.empty())
        refused = "kept open by users Mallow cannot disconnect";
    report.warned = disconnect && report.usersFound && sendFlag == 1;
    report.disconnected = disconnect && report.usersFound;
    report.ok = refused.empty();
    std::vector<std::string> steps;
    if (report.warned)
        steps.push_back("warn");
    if (report.disconnected)
        steps.push_back("disconnect");
    if (report.ok) {
        steps.push_back("compact");
        std::string plan = "would ";
        for (std::size_t i = 0; i < steps.size(); ++i)
            plan += (i == 0 ? "" : i + 1 == steps.size() ? " and " : ", ") + steps[i];
        report.plan = plan;
    } else {
        report.plan = "would not compact: " + refused;
    }
    if (!networkError.empty())
        report.plan += " (the server could not be asked: " + networkError + ")";
    return report;
}

std::string HolderText(const mallow::DatabaseReport& report)
{
    if (!report.usersFound)
        return "held by nobody";
    return "held by " + Join(report.holders, ", ");
}

int DryRun(mallow::ConfigDatabase& config, const Options& options)
{
    ErrorToStderr reporter;
    mallow::multiuser::MultiUser users(mallow::multiuser::DefaultMultiUserServices(
        mallow::net::DefaultNetServices(nullptr, &reporter)));
    long sendFlag = 0;
    try {
        auto& schedule = *config.ScheduleRecordset;
        schedule.MoveFirst();
        const mallow::engine::Value flag = schedule.Field("SendDisconnectMsg");
        sendFlag = flag.IsNull() ? 0 : static_cast<long>(flag.ToLong());
    } catch (const mallow::MallowError&) {
    }
    mallow::PassSummary summary;
    summary.dryRun = true;
    mallow::engine::Recordset apps = config.AppsRecordset->Clone();
    summary.count = static_cast<int>(config.AppsRecordset->RecordCount());
    int wouldCompact = 0;
    for (apps.MoveFirst(); !apps.Eof(); apps.MoveNext()) {
        mallow::DatabaseReport report = Preview(apps, users, sendFlag);
        report.position = ++summary.done;
        report.count = summary.count;
        wouldCompact += report.ok;
        if (options.json)
            std::printf("%s\n", mallow::JsonLine(report, true).c_str());
        else
            std::printf("[%d of %d] %s: %s; %s\n", report.position, report.count,
                        report.path.c_str(), HolderText(report).c_str(), report.plan.c_str());
        std::fflush(stdout);
    }
    summary.compacted = wouldCompact;
    summary.exitStatus = wouldCompact == summary.count ? 0 : 1;
    if (options.json)
        std::printf("%s\n", mallow::JsonLine(summary).c_str());
    else
        std::printf("dry run, nothing changed: %d of %d databases would be compacted\n",
                    wouldCompact, summary.count);
    return summary.exitStatus;
}

void WriteMetrics(const Options& options, const std::vector<mallow::DatabaseReport>& reports,
                  const mallow::PassSummary& summary)
{
    if (options.metrics.empty())
        return;
    try {
        mallow::WriteFileInOneStep(options.metrics, mallow::MetricsText(reports, summary));
    } catch (const mallow::MallowError& error) {
        std::fprintf(stderr, "mallow-run: cannot write %s: %ld : %s\n", options.metrics.c_str(),
                     error.Number(), error.Description().c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (argument == "--backup") {
            options.backUp = true;
        } else if (argument == "--no-backup") {
            options.backUp = false;
        } else if (argument == "--dry-run") {
            options.dryRun = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--metrics" && i + 1 < argc && argv[i + 1][0] != '\0') {
            options.metrics = argv[++i];
        } else if (argument.rfind("--metrics=", 0) == 0 && argument.size() > 10) {
            options.metrics = argument.substr(10);
        } else {
            std::fprintf(stderr, "mallow-run: unknown argument '%s'\n\n%s", argv[i], Usage);
            return 2;
        }
    }
    if (options.dryRun && !options.metrics.empty()) {
        std::fprintf(stderr, "mallow-run: a dry run writes no figures (--metrics)\n");
        return 2;
    }
    const double started = Now();
    mallow::PassSummary summary;
    std::vector<mallow::DatabaseReport> reports;
    const auto end = [&](int status) {
        summary.exitStatus = status;
        summary.endedAt = Now();
        summary.durationSeconds = summary.endedAt - started;
        WriteMetrics(options, reports, summary);
        return status;
    };

    const std::string stateFolder = mallow::StateFolder();
    // A dry run changes nothing, so it may look while a pass works.
    std::optional<mallow::PassLock> lock;
    if (!options.dryRun) {
        lock.emplace(stateFolder);
        if (!lock->Held()) {
            std::fprintf(stderr, "mallow-run: another maintenance pass is running on %s\n",
                         mallow::ConfigDatabase::DatabasePath(stateFolder).c_str());
            summary.error = "another pass is running";
            return end(3);
        }
    }
    mallow::ConfigDatabase config;
    bool backUp = false;
    std::string delay;
    try {
        config.Open(stateFolder);
        auto& schedule = *config.ScheduleRecordset;
        schedule.MoveFirst();
        const mallow::engine::Value enabled = schedule.Field("BUEnabled");
        backUp = options.backUp.value_or(!enabled.IsNull() && enabled.ToLong() == 1);
        const mallow::engine::Value wait = schedule.Field("DelayBeforeDisconnect");
        delay = wait.IsNull() ? std::string() : wait.ToText();
    } catch (const mallow::MallowError& error) {
        std::fprintf(stderr, "mallow-run: %s: %s\n",
                     mallow::ConfigDatabase::DatabasePath(stateFolder).c_str(),
                     OneLine(error.Description()).c_str());
        summary.error = OneLine(error.Description());
        return options.dryRun ? 2 : end(2);
    }
    if (options.dryRun) {
        try {
            return DryRun(config, options);
        } catch (const mallow::MallowError& error) {
            std::fprintf(stderr, "mallow-run: %s\n", OneLine(error.Description()).c_str());
            return 2;
        }
    }

    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    bool continueRun = true;
    std::string lastResult;
    mallow::SystemClock clock;
    QuietPanels panels;
    mallow::Compact compact(config, clock, panels, lastResult);
    TerminalRunner runner(panels);
    compact.Work = &runner;
    HeadlessHost host(continueRun, delay);
    ErrorToStderr reporter;
    mallow::multiuser::MultiUser users(mallow::multiuser::DefaultMultiUserServices(
        mallow::net::DefaultNetServices(nullptr, &reporter)));
    compact.HeldOnServer = [&](const std::string& path) { return users.HolderOnServer(path); };
    mallow::MaintenanceRun run(config, compact, panels, host, users, continueRun, lastResult);

    summary.backUp = backUp;
    run.OnDatabaseDone = [&](const mallow::PassRecord& record) {
        ++summary.done;
        summary.count = record.count;
        summary.compacted += record.compacted;
        summary.backedUp += record.backedUp.value_or(false);
        mallow::DatabaseReport report;
        report.position = record.position;
        report.count = record.count;
        report.path = record.path;
        report.server = users.ServerOf(record.path);
        report.usersFound = record.usersFound;
        report.warned = record.messaged;
        report.disconnected = record.disconnected;
        report.usersDisconnected = record.usersDisconnected;
        report.compacted = record.compacted;
        report.backupAsked = backUp;
        report.backedUp = record.backedUp;
        report.sizeBefore = record.sizeBefore;
        report.sizeAfter = record.sizeAfter;
        report.outcome = OneLine(record.outcome);
        report.backupOutcome = OneLine(record.backupOutcome);
        report.ok = record.compacted && (!backUp || record.backedUp.value_or(false));
        reports.push_back(report);
        if (options.json) {
            std::printf("%s\n", mallow::JsonLine(report, false).c_str());
            std::fflush(stdout);
            return;
        }
        std::string actions;
        const auto add = [&](const char* action) {
            actions += (actions.empty() ? "" : ", ") + std::string(action);
        };
        if (record.usersFound)
            add(record.messaged ? "users warned" : "users found");
        if (record.disconnected)
            add("users disconnected");
        add(record.compacted ? "compacted" : "not compacted");
        if (record.backedUp)
            add(*record.backedUp ? "backed up" : "not backed up");
        std::string outcome = report.outcome;
        if (record.backedUp)
            outcome += " | " + report.backupOutcome;
        std::printf("[%d of %d] %s %s: %s: %s\n", record.position, record.count,
                    report.ok ? "OK" : "FAILED", record.path.c_str(), actions.c_str(),
                    outcome.c_str());
        std::fflush(stdout);
    };
    try {
        summary.count = static_cast<int>(config.AppsRecordset->RecordCount());
    } catch (const mallow::MallowError&) {
    }
    run.RunMaintenance(backUp);

    summary.stopped = summary.done < summary.count;
    const bool allGood = summary.done == summary.count && summary.compacted == summary.count &&
                         (!backUp || summary.backedUp == summary.count);
    summary.exitStatus = allGood ? 0 : 1;
    summary.endedAt = Now();
    summary.durationSeconds = summary.endedAt - started;
    if (options.json) {
        std::printf("%s\n", mallow::JsonLine(summary).c_str());
    } else {
        std::printf("%d of %d databases done: %d compacted", summary.done, summary.count,
                    summary.compacted);
        if (backUp)
            std::printf(", %d backed up", summary.backedUp);
        if (summary.stopped)
            std::printf("; stopped before the other %d", summary.count - summary.done);
        std::printf("\n");
    }
    return end(summary.exitStatus);
}
