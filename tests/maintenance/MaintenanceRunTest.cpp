// The maintenance pass without a window, and the weekly schedule's test.

#include "fixtures/ConfigFixture.h"
#include "fixtures/ManagedDatabase.h"
#include "maintenance/MaintenanceRun.h"
#include "maintenance/Scheduler.h"
#include "util/Dates.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace mallow;

namespace {

double At(int year, int month, int day, int hour, int minute, int second = 0)
{
    return dates::ToAutomationDate({year, month, day, hour, minute, second});
}

/// The window as the pass sees it: what it was told, and a clock that moves only when the
/// pass lets events be processed.
struct FakeHost : PassHost
{
    std::vector<std::string> log;
    long long ms = 1000000; ///< the elapsed clock, in whole milliseconds
    std::string delay = "0";
    std::function<void()> onEvents;
    void ProcessPendingEvents(int waitMs) override
    {
        ms += waitMs;
        if (waitMs == 0)
            log.push_back("events");
        if (onEvents)
            onEvents();
    }
    std::string DelayText() override { return delay; }
    double ElapsedSeconds() override { return static_cast<double>(ms) / 1000; }
    void SetTimerEnabled(bool enabled) override { log.push_back(enabled ? "timer on" : "timer off"); }
    void SetBusy(bool busy) override { log.push_back(busy ? "busy" : "arrow"); }
    void ClearSummary() override { log.push_back("summary cleared"); }
    void ResetStatusPanels() override { log.push_back("panels reset"); }
};

struct FakeUsers : multiuser::UserSupervision
{
    std::vector<std::string> calls;
    std::map<std::string, bool> inUse;
    bool failCheck = false;
    FakeHost* host = nullptr;
    bool AnyUsers(const std::string& path) override
    {
        calls.push_back("any " + path);
        if (failCheck)
            throw MallowError(-2147220991, "MultiUser.AnyUsers()", "Could not retrieve the UNC path.");
        return inUse[path];
    }
    void SendMessageToUsers(const std::string& path, const std::string& message) override
    {
        calls.push_back("send " + path + " " + message + " at " + std::to_string(host->ms));
    }
    bool CloseFileAllUsers(const std::string& path) override
    {
        calls.push_back("close " + path + " at " + std::to_string(host->ms));
        return true;
    }
};

struct Panels : StatusPanels
{
    std::vector<std::string> third;
    void SetStatusPanel(int index, const std::string& text) override
    {
        if (index == 3)
            third.push_back(text);
    }
};

/// Five databases registered in a configuration database, and a pass over them.
struct Pass
{
    test::ConfigFixture fixture;
    test::TempFolder data;
    test::TempFolder backups;
    ConfigDatabase config;
    FixedClock clock{At(2004, 3, 15, 2, 0)};
    Panels panels;
    std::string lastResult;
    bool continueRun = false;
    Compact compact{config, clock, panels, lastResult};
    FakeHost host;
    FakeUsers users;
    MaintenanceRun run{config, compact, panels, host, users, continueRun, lastResult};
    std::vector<std::string> paths;

    Pass()
    {
        users.host = &host;
        for (const char* name : {"a", "b", "c", "d", "e"}) {
            paths.push_back(data.File(std::string(name) + ".mdb"));
            test::MakeManagedDatabase(paths.back(), 300, true);
            fixture.AddApp(paths.back(), "", "", "", "", name == std::string("b") ? 1 : 0);
        }
        fixture.Sql("UPDATE Schedule SET Backup='" + backups.Path() +
                    "', SendDisconnectMsg=1, DisconnectMessage='Please close', BUDays=7");
        config.Open(fixture.ProgramFolder());
    }
    std::string Count(const std::string& sql) const { return fixture.Scalar(sql); }
};

TEST(MaintenanceRun, CompactsAndBacksUpEveryDatabaseWithTheTimerOffMeanwhile)
{
    Pass pass;
    std::vector<PassRecord> records;
    pass.run.OnDatabaseDone = [&](const PassRecord& r) { records.push_back(r); };
    pass.run.RunMaintenance(true);
    EXPECT_EQ(pass.Count("SELECT count(*) FROM Log WHERE Successful=1"), "5");
    EXPECT_EQ(pass.Count("SELECT count(*) FROM LogBackup WHERE Successful=1"), "5");
    EXPECT_EQ(pass.panels.third,
              std::vector<std::string>({"1 of 5", "2 of 5", "3 of 5", "4 of 5", "5 of 5"}));
    EXPECT_EQ(pass.host.log.front(), "timer off");
    EXPECT_EQ(pass.host.log.back(), "timer on");
    EXPECT_EQ(std::count(pass.host.log.begin(), pass.host.log.end(), "events"), 5);
    ASSERT_EQ(records.size(), 5u);
    EXPECT_TRUE(records[4].compacted);
    EXPECT_EQ(records[4].backedUp, std::optional<bool>(true));
    EXPECT_EQ(pass.compact.BackupFolder, pass.backups.Path());
    // Only b asks for its users to be disconnected; nobody has it open.
    EXPECT_EQ(pass.users.calls, std::vector<std::string>({"any " + pass.paths[1]}));

    // Without the back-up flag no back-up is made, whatever the schedule says.
    pass.fixture.Sql("UPDATE Schedule SET BUEnabled=1");
    pass.run.RunMaintenance(false);
    EXPECT_EQ(pass.Count("SELECT count(*) FROM LogBackup"), "5");
    EXPECT_EQ(pass.Count("SELECT count(*) FROM Log"), "10");
}

// Users of a database marked for it are warned, given the delay, then disconnected from the
// database and its lock file, before the compaction.
TEST(MaintenanceRun, WarnsWaitsThenDisconnectsOnAClockThatOnlyMovesForward)
{
    Pass pass;
    const std::string b = pass.paths[1];
    pass.users.inUse[b] = true;
    pass.host.delay = "30";
    pass.run.RunMaintenance(false);
    ASSERT_EQ(pass.users.calls.size(), 4u);
    EXPECT_EQ(pass.users.calls[1], "send " + b + " Please close at 1000000");
    // The wait ends once 30 seconds have passed on the elapsed clock.
    EXPECT_EQ(pass.users.calls[2], "close " + b + " at 1030000");
    EXPECT_EQ(pass.users.calls[3], "close " + b.substr(0, b.size() - 4) + ".ldb at 1030000");

    // The box is read at every check: cut to 5 during the wait, the wait ends at 5.
    pass.users.calls.clear();
    pass.host.delay = "600";
    pass.host.onEvents = [&] {
        if (pass.host.ms > 1033000)
            pass.host.delay = "5";
    };
    pass.run.RunMaintenance(false);
    EXPECT_EQ(pass.users.calls[2], "close " + b + " at 1035000");

    // A delay that is no number waits not at all; without the send flag there is no message.
    pass.host.onEvents = nullptr;
    for (const std::string text : {"abc", "", "-4"}) {
        pass.users.calls.clear();
        pass.host.delay = text;
        const long long before = pass.host.ms;
        pass.run.RunMaintenance(false);
        EXPECT_EQ(pass.users.calls[2], "close " + b + " at " + std::to_string(before)) << text;
    }
    pass.fixture.Sql("UPDATE Schedule SET SendDisconnectMsg=NULL");
    pass.config.ScheduleRecordset->Requery();
    pass.users.calls.clear();
    pass.run.RunMaintenance(false);
    EXPECT_EQ(pass.users.calls.size(), 3u);
    EXPECT_EQ(pass.users.calls[1].rfind("close ", 0), 0u);
}

// A check that fails (a database on a local disk) counts as finding nobody: no message, no
// wait, no disconnection; the database is compacted.
TEST(MaintenanceRun, AFailedCheckFindsNobody)
{
    Pass pass;
    pass.users.failCheck = true;
    pass.host.delay = "30";
    pass.run.RunMaintenance(false);
    EXPECT_EQ(pass.users.calls, std::vector<std::string>({"any " + pass.paths[1]}));
    EXPECT_EQ(pass.host.ms, 1000000);
    EXPECT_EQ(pass.Count("SELECT count(*) FROM Log WHERE Successful=1"), "5");
}

// Ctrl+S during the third database: it is finished and logged, the fourth and fifth are not
// touched; the status is reset and the timer on again.
TEST(MaintenanceRun, StoppedDuringTheThirdDatabaseLeavesTheRestUntouched)
{
    Pass pass;
    int seen = 0;
    pass.host.onEvents = [&] {
        if (++seen == 3)
            pass.continueRun = false;
    };
    pass.run.RunMaintenance(true);
    EXPECT_EQ(pass.Count("SELECT count(*) FROM Log"), "3");
    EXPECT_EQ(pass.Count("SELECT count(*) FROM Log WHERE Application='" + pass.paths[3] + "'"),
              "0");
    EXPECT_EQ(pass.Count("SELECT count(*) FROM LogBackup"), "3");
    EXPECT_EQ(pass.host.log.back(), "timer on");
    EXPECT_EQ(std::count(pass.host.log.begin(), pass.host.log.end(), "panels reset"), 1);

    // The next pass starts afresh.
    pass.host.onEvents = nullptr;
    pass.run.RunMaintenance(false);
    EXPECT_EQ(pass.Count("SELECT count(*) FROM Log"), "8");
}

TEST(MaintenanceRun, AnEmptyListOrAClosedConfigurationRunsNothingAndTurnsTheTimerOn)
{
    test::ConfigFixture fixture;
    ConfigDatabase config;
    FixedClock clock{At(2004, 3, 15, 2, 0)};
    Panels panels;
    std::string last;
    bool go = false;
    Compact compact{config, clock, panels, last};
    FakeHost host;
    FakeUsers users;
    MaintenanceRun run{config, compact, panels, host, users, go, last};
    config.Open(fixture.ProgramFolder());
    run.RunMaintenance(true);
    EXPECT_TRUE(panels.third.empty());
    EXPECT_EQ(host.log.back(), "timer on");
    config.Close();
    host.log.clear();
    run.RunMaintenance(true);
    EXPECT_EQ(host.log.back(), "timer on");
}

TEST(MaintenanceRun, DelaysAreWholeSecondsAndNoNumberIsNoWait)
{
    EXPECT_EQ(MaintenanceRun::DelaySeconds("30"), 30);
    EXPECT_EQ(MaintenanceRun::DelaySeconds(" 2.5 "), 2);
    EXPECT_EQ(MaintenanceRun::DelaySeconds("3.5"), 4);
    EXPECT_EQ(MaintenanceRun::DelaySeconds("ten"), 0);
    EXPECT_EQ(MaintenanceRun::DelaySeconds("10 s"), 0);
    EXPECT_EQ(MaintenanceRun::DelaySeconds("1e99"), 1000000000);
}

TEST(PassLock, OnePassPerProgramFolder)
{
    test::TempFolder folder;
    {
        PassLock first(folder.Path());
        EXPECT_TRUE(first.Held());
        PassLock second(folder.Path());
        EXPECT_FALSE(second.Held());
    }
    PassLock again(folder.Path());
    EXPECT_TRUE(again.Held());
}

std::array<std::optional<double>, 7> Times(const std::array<const char*, 7>& texts)
{
    std::array<engine::Value, 7> columns;
    for (std::size_t i = 0; i < texts.size(); ++i)
        columns[i] = texts[i] ? engine::Value(texts[i]) : engine::Value();
    return WeeklySchedule::ReadTimes(columns);
}

TEST(WeeklySchedule, StartsOnceInTheMinuteOfTodaysTime)
{
    // 15 March 2004 was a Monday.
    const auto times = Times({"2:00 AM", nullptr, "", "14:00", "12:00 AM", "12:00 PM", nullptr});
    WeeklySchedule schedule;
    EXPECT_FALSE(schedule.Due(times, At(2004, 3, 15, 1, 59, 59)));
    EXPECT_TRUE(schedule.Due(times, At(2004, 3, 15, 2, 0, 0)));
    // A second tick in the same minute does not start a second pass.
    EXPECT_FALSE(schedule.Due(times, At(2004, 3, 15, 2, 0, 59)));
    EXPECT_FALSE(schedule.Due(times, At(2004, 3, 15, 2, 1, 0)));
    WeeklySchedule other;
    EXPECT_TRUE(other.Due(times, At(2004, 3, 15, 2, 0, 59)));
    // Mondays only: the next Monday again, Tuesday and Wednesday never.
    EXPECT_TRUE(schedule.Due(times, At(2004, 3, 22, 2, 0, 30)));
    for (int hour = 0; hour < 24; ++hour) {
        EXPECT_FALSE(schedule.Due(times, At(2004, 3, 16, hour, 0)));
        EXPECT_FALSE(schedule.Due(times, At(2004, 3, 17, hour, 0)));
    }
    EXPECT_TRUE(schedule.Due(times, At(2004, 3, 18, 14, 0)));
    // 12:00 AM is midnight, 12:00 PM noon.
    EXPECT_TRUE(schedule.Due(times, At(2004, 3, 19, 0, 0)));
    EXPECT_FALSE(schedule.Due(times, At(2004, 3, 19, 12, 0)));
    EXPECT_TRUE(schedule.Due(times, At(2004, 3, 20, 12, 0)));
    EXPECT_EQ(WeeklySchedule::DayIndex(At(2004, 3, 21, 9, 0)), 6);
}

TEST(WeeklySchedule, ATimeThatIsNoTimeOnAnyDayIsAnError)
{
    try {
        Times({"2:00 AM", nullptr, nullptr, nullptr, nullptr, nullptr, "half past two"});
        ADD_FAILURE() << "no error";
    } catch (const MallowError& error) {
        EXPECT_EQ(error.Number(), 13);
        EXPECT_EQ(error.Description(), "Type mismatch");
    }
}

} // namespace
