// mallow-run: the maintenance pass without a window, for system timers and cron.

#include "config/ConfigDatabase.h"
#include "maintenance/MaintenanceRun.h"
#include "multiuser/MultiUser.h"
#include "net/NetServices.h"
#include "util/Clock.h"
#include "util/MallowError.h"
#include "util/Paths.h"
#include "util/Work.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

const char* const Usage = R"(Usage: mallow-run [--backup | --no-backup]

Runs Mallow's maintenance pass over every registered database, as "Run Now" does in the
window: users of a database marked "Disconnect Users" are sent the disconnect message (when the
schedule says so), given the delay, and disconnected; then each database is compacted and, when
back-ups are on, backed up into the schedule's folder. Every step is logged in the
configuration database Compact20.mdb (in /var/lib/mallow when installed, beside this
program in a build folder), as the window logs it.

  --backup      back up after compacting, whatever the schedule says
  --no-backup   do not back up, whatever the schedule says
                (without either, the schedule's "Back Up Also" setting decides)
  --help        shows this text

One line is printed per database, then a summary. The exit status is 0 when every database was
compacted (and backed up, when asked), 1 when one was not, 2 for a configuration database that
cannot be opened or a wrong argument, 3 when another pass (from the window or another
mallow-run) is running on the same configuration database. SIGINT or SIGTERM stop the pass
after the database it is working on.
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
        std::atomic<bool> done = false;
        std::thread shower([&] {
            bool shown = false;
            while (!done) {
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
                for (int i = 0; i < 4 && !done; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (shown) {
                std::fprintf(stderr, "\r\033[K");
                std::fflush(stderr);
            }
        });
        try {
            WorkRunner::Run(work);
        } catch (...) {
            done = true;
            shower.join();
            throw;
        }
        done = true;
        shower.join();
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

} // namespace

int main(int argc, char** argv)
{
    std::optional<bool> backUpOption;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--backup") == 0) {
            backUpOption = true;
        } else if (std::strcmp(argv[i], "--no-backup") == 0) {
            backUpOption = false;
        } else {
            std::fprintf(stderr, "mallow-run: unknown argument '%s'\n\n%s", argv[i], Usage);
            return 2;
        }
    }

    const std::string stateFolder = mallow::StateFolder();
    mallow::PassLock lock(stateFolder);
    if (!lock.Held()) {
        std::fprintf(stderr, "mallow-run: another maintenance pass is running on %s\n",
                     mallow::ConfigDatabase::DatabasePath(stateFolder).c_str());
        return 3;
    }
    mallow::ConfigDatabase config;
    bool backUp = false;
    std::string delay;
    try {
        config.Open(stateFolder);
        auto& schedule = *config.ScheduleRecordset;
        schedule.MoveFirst();
        const mallow::engine::Value enabled = schedule.Field("BUEnabled");
        backUp = backUpOption.value_or(!enabled.IsNull() && enabled.ToLong() == 1);
        const mallow::engine::Value wait = schedule.Field("DelayBeforeDisconnect");
        delay = wait.IsNull() ? std::string() : wait.ToText();
    } catch (const mallow::MallowError& error) {
        std::fprintf(stderr, "mallow-run: %s: %s\n",
                     mallow::ConfigDatabase::DatabasePath(stateFolder).c_str(),
                     OneLine(error.Description()).c_str());
        return 2;
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

    int done = 0;
    int compacted = 0;
    int backedUp = 0;
    int count = 0;
    run.OnDatabaseDone = [&](const mallow::PassRecord& record) {
        ++done;
        count = record.count;
        compacted += record.compacted;
        backedUp += record.backedUp.value_or(false);
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
        const bool ok = record.compacted && (!backUp || record.backedUp.value_or(false));
        std::string outcome = OneLine(record.outcome);
        if (record.backedUp)
            outcome += " | " + OneLine(record.backupOutcome);
        std::printf("[%d of %d] %s %s: %s: %s\n", record.position, record.count,
                    ok ? "OK" : "FAILED", record.path.c_str(), actions.c_str(), outcome.c_str());
        std::fflush(stdout);
    };
    run.RunMaintenance(backUp);

    std::printf("%d of %d databases done: %d compacted", done, count, compacted);
    if (backUp)
        std::printf(", %d backed up", backedUp);
    if (done < count)
        std::printf("; stopped before the other %d", count - done);
    std::printf("\n");
    const bool allGood = done == count && compacted == count && (!backUp || backedUp == count);
    return allGood ? 0 : 1;
}
