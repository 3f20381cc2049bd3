#include "engine/Connection.h"
#include "engine/DBEngine.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/ManagedDatabase.h"
#include "maintenance/Compact.h"
#include "util/Dates.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace mallow;
namespace fs = std::filesystem;

namespace {

double Day(int year, int month, int day, int hour = 9)
{
    return dates::ToAutomationDate({year, month, day, hour, 15, 0});
}

struct PanelLog : StatusPanels
{
    std::map<int, std::string> panels;
    void SetStatusPanel(int index, const std::string& text) override { panels[index] = text; }
};

/// A configuration database opened as the main window opens it, with the Compact module.
struct Maintenance
{
    std::unique_ptr<test::ConfigFixture> own;
    const test::ConfigFixture& config;
    ConfigDatabase db;
    FixedClock clock{Day(2004, 3, 15)};
    PanelLog panels;
    std::string lastResult;
    Compact compact{db, clock, panels, lastResult};

    /// With its own configuration database, or one a parent process made.
    explicit Maintenance(const test::ConfigFixture* shared = nullptr)
        : own(shared ? nullptr : std::make_unique<test::ConfigFixture>()),
          config(shared ? *shared : *own)
    {
        db.Open(config.ProgramFolder());
    }
    std::string LogValue(const std::string& column) const
    {
        return config.Scalar("SELECT [" + column + "] FROM Log ORDER BY [Event ID] DESC");
    }
    std::string BackupLogValue(const std::string& column) const
    {
        return config.Scalar("SELECT [" + column + "] FROM LogBackup ORDER BY [Event ID] DESC");
    }
    void SetKeepDays(const std::string& days)
    {
        config.Sql("UPDATE Schedule SET BUDays=" + days);
        db.ScheduleRecordset->Requery();
    }
};

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(CompactNames, TemporaryAndBackupNames)
{
    EXPECT_EQ(Compact::CompactedCopyName("C:\\data\\sales.mdb"), "C:\\data\\salesMLW.mdb");
    EXPECT_EQ(Compact::SetAsideName("C:\\data\\sales.mdb"), "C:\\data\\salesMLWOrigDY.mdb");
    EXPECT_EQ(Compact::BackupPathFor("D:\\Backups\\sales.mdb", Day(2004, 3, 5)),
              "D:\\Backups\\sales03-05-2004.mdb");
    EXPECT_EQ(Compact::BackupPathFor("/backups/sales.mdb", Day(2004, 12, 25)),
              "/backups/sales12-25-2004.mdb");
    EXPECT_THROW(Compact::CompactedCopyName("a.m"), MallowError);
}

TEST(CompactNames, RetentionRules)
{
    const double today = Day(2004, 3, 15);
    // BUDays 7 on 15 March: 7 March and before go, 8 March stays.
    EXPECT_TRUE(Compact::IsExpiredBackup("sales03-07-2004.mdb", "sales", today, 7));
    EXPECT_TRUE(Compact::IsExpiredBackup("sales01-07-2003.mdb", "sales", today, 7));
    EXPECT_FALSE(Compact::IsExpiredBackup("sales03-08-2004.mdb", "sales", today, 7));
    // BUDays 0: everything before today goes, today's stays.
    EXPECT_TRUE(Compact::IsExpiredBackup("sales03-14-2004.mdb", "sales", today, 0));
    EXPECT_FALSE(Compact::IsExpiredBackup("sales03-15-2004.mdb", "sales", today, 0));
    // Look-alikes: another prefix, another case, a date that is none, too short a name.
    EXPECT_FALSE(Compact::IsExpiredBackup("salesXY03-01-2004.mdb", "sales", today, 7));
    EXPECT_FALSE(Compact::IsExpiredBackup("Sales03-01-2004.mdb", "sales", today, 7));
    EXPECT_FALSE(Compact::IsExpiredBackup("sales02-30-2004.mdb", "sales", today, 7));
    EXPECT_FALSE(Compact::IsExpiredBackup("sales13-01-2004.mdb", "sales", today, 7));
    EXPECT_FALSE(Compact::IsExpiredBackup("03-01-2004.md", "", today, 7));
    // The ending is not looked at.
    EXPECT_TRUE(Compact::IsExpiredBackup("sales03-01-2004.bak", "sales", today, 7));
    EXPECT_TRUE(Compact::IsExpiredBackup("x03-01-2004.mdb", "x", today, 7));
    // A name of exactly 14 characters is no back-up: it must be longer.
    EXPECT_FALSE(Compact::IsExpiredBackup("03-01-2004.mdb", "", today, 7));
}

TEST(CompactApplication, CompactsInPlaceAndLogsTheSizes)
{
    Maintenance m;
    test::TempFolder data;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 4000, true);
    const auto before = fs::file_size(path);

    m.compact.CompactApplication(7, path, "", "", "", "", false);

    EXPECT_EQ(m.LogValue("Successful"), "1") << m.lastResult;
    EXPECT_EQ(m.LogValue("App ID"), "7");
    EXPECT_EQ(m.LogValue("Application"), path);
    EXPECT_EQ(m.LogValue("Size Before"), std::to_string(before));
    const auto after = fs::file_size(path);
    EXPECT_LT(after, before);
    EXPECT_EQ(m.LogValue("Size After"), std::to_string(after));
    EXPECT_EQ(m.LogValue("Comments"), "NULL");
    EXPECT_EQ(test::ManagedRowCount(path), 2000);
    EXPECT_EQ(m.lastResult, "03/15/2004 09:15:00 AM\r\n" + path + " compact was successful.\r\n" +
                                "Size Before = " + std::to_string(before) + "\r\nSize After = " +
                                std::to_string(after));
    EXPECT_EQ(m.panels.panels[1], "Compacting ...");
    EXPECT_EQ(Names(data.Path()), std::vector<std::string>({"sales.mdb"}));
}

TEST(CompactApplication, MissingFileLogsNoSizeBefore)
{
    Maintenance m;
    test::TempFolder data;
    const std::string path = data.File("gone.mdb");
    m.compact.CompactApplication(3, path, "", "", "", "", false);
    EXPECT_EQ(m.LogValue("Successful"), "0");
    EXPECT_EQ(m.LogValue("Size Before"), "NULL");
    EXPECT_EQ(m.LogValue("Size After"), "NULL");
    EXPECT_EQ(m.LogValue("Comments"), "76 : Path not found");
    EXPECT_EQ(m.lastResult, "03/15/2004 09:15:00 AM\r\n" + path +
                                " compact was unsuccessful.\r\n76 : Path not found");
    // A path too short to carry an extension fails as well, and is logged.
    m.compact.CompactApplication(4, "a.m", "", "", "", "", false);
    EXPECT_EQ(m.LogValue("Comments"), "5 : Invalid procedure call or argument");
    EXPECT_EQ(m.config.Scalar("SELECT COUNT(*) FROM Log"), "2");
}

TEST(CompactApplication, RefusesADatabaseAnotherProcessHoldsOpen)
{
    Maintenance m;
    test::TempFolder data;
    const std::string path = data.File("busy.mdb");
    test::MakeManagedDatabase(path, 500, true);
    const std::string bytes = test::ReadFile(path);
    {
        test::HolderProcess holder(path);
        m.compact.CompactApplication(1, path, "", "", "", "", false);
        EXPECT_EQ(m.LogValue("Successful"), "0");
        EXPECT_EQ(m.LogValue("Size Before"), std::to_string(bytes.size()));
        EXPECT_NE(m.LogValue("Comments").find("3356 : "), std::string::npos)
            << m.LogValue("Comments");
        EXPECT_TRUE(test::ReadFile(path) == bytes);

        // Once the holder is gone (even killed), the database can be compacted.
        holder.Kill();
        m.compact.CompactApplication(1, path, "", "", "", "", false);
        EXPECT_EQ(m.LogValue("Successful"), "1") << m.LogValue("Comments");
    }
    EXPECT_EQ(test::ManagedRowCount(path), 250);
}

// Runs the administrator's tool beside the program.
void Mallowdb(const std::string& arguments)
{
    const std::string command =
        std::string(MALLOW_PROGRAM_DIR) + "/mallowdb " + arguments + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The engine keeps workgroup settings between compactions; each test starts from none.
struct EngineSettingsReset
{
    ~EngineSettingsReset()
    {
        engine::Engine().SystemDB.clear();
        engine::Engine().DefaultUser.clear();
        engine::Engine().DefaultPassword.clear();
    }
};

TEST(CompactApplication, DatabasePasswordIsTrimmedAndChecked)
{
    Maintenance m;
    test::TempFolder data;
    const std::string path = data.File("locked.mdb");
    test::MakeManagedDatabase(path, 40, true);
    Mallowdb("set-password '" + path + "' 'open sesame'");

    m.compact.CompactApplication(1, path, "wrong", "", "", "", false);
    EXPECT_EQ(m.LogValue("Comments"), "3031 : Not a valid password.");
    m.compact.CompactApplication(1, path, "", "", "", "", false);
    EXPECT_EQ(m.LogValue("Comments"), "3031 : Not a valid password.");
    // Blanks around the password are not part of it; blanks inside are.
    m.compact.CompactApplication(1, path, "  open sesame  ", "", "", "", false);
    EXPECT_EQ(m.LogValue("Successful"), "1") << m.LogValue("Comments");
    // The compacted database keeps its password.
    m.compact.CompactApplication(1, path, "opensesame", "", "", "", false);
    EXPECT_EQ(m.LogValue("Comments"), "3031 : Not a valid password.");
    EXPECT_EQ(test::ManagedRowCount(path), 20);
}

TEST(CompactApplication, WorkgroupSettingsPersistOnTheEngine)
{
    EngineSettingsReset reset;
    Maintenance m;
    test::TempFolder data;
    const std::string path = data.File("secured.mdb");
    const std::string workgroup = data.File("system.mdw");
    test::MakeManagedDatabase(path, 40, true);
    Mallowdb("create-workgroup '" + workgroup + "'");
    Mallowdb("add-account '" + workgroup + "' ann 'pa ss'");
    Mallowdb("secure '" + path + "' '" + workgroup + "' ann");

    m.compact.CompactApplication(1, path, "", "", "", "", false);
    EXPECT_EQ(m.LogValue("Successful"), "0");
    m.compact.CompactApplication(1, path, "", workgroup, "ann", "wrong", false);
    EXPECT_EQ(m.LogValue("Comments"), "3029 : Not a valid account name or password.");
    m.compact.CompactApplication(1, path, "", data.File("none.mdw"), "ann", "pa ss", false);
    EXPECT_NE(m.LogValue("Comments").find("3028 : "), std::string::npos) << m.LogValue("Comments");
    m.compact.CompactApplication(1, path, "", workgroup, "ann", "pa ss", false);
    EXPECT_EQ(m.LogValue("Successful"), "1") << m.LogValue("Comments");
    // A later database without a workgroup file of its own runs with the same settings.
    m.compact.CompactApplication(1, path, "", "", "", "", false);
    EXPECT_EQ(m.LogValue("Successful"), "1") << m.LogValue("Comments");
    EXPECT_EQ(engine::Engine().SystemDB, workgroup);
}

TEST(CompactApplication, LeftoversOfACrashAreReplaced)
{
    Maintenance m;
    test::TempFolder data;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 300, false);
    test::WriteFile(data.File("salesMLW.mdb"), "half a copy");
    test::WriteFile(data.File("salesMLWOrigDY.mdb"), "an old original");
    m.compact.CompactApplication(1, path, "", "", "", "", false);
    EXPECT_EQ(m.LogValue("Successful"), "1") << m.LogValue("Comments");
    EXPECT_EQ(Names(data.Path()), std::vector<std::string>({"sales.mdb"}));
    EXPECT_EQ(test::ManagedRowCount(path), 300);
}

TEST(CompactApplication, TwoCompactionsEachAppendARow)
{
    Maintenance m;
    test::TempFolder data;
    const std::string path = data.File("a.mdb");
    test::MakeManagedDatabase(path, 10, false);
    m.compact.CompactApplication(1, path, "", "", "", "", false);
    m.compact.CompactApplication(1, path, "", "", "", "", false);
    EXPECT_EQ(m.config.Scalar("SELECT COUNT(*) FROM Log WHERE Successful=1"), "2");
}

TEST(CompactApplication, BacksUpAfterwardsWhenAsked)
{
    Maintenance m;
    test::TempFolder data;
    test::TempFolder backups;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 100, true);
    m.compact.BackupFolder = backups.Path();
    m.compact.CompactApplication(1, path, "", "", "", "", true);
    EXPECT_EQ(Names(backups.Path()), std::vector<std::string>({"sales03-15-2004.mdb"}));
    EXPECT_EQ(m.BackupLogValue("Successful"), "1");
    EXPECT_EQ(m.LogValue("Successful"), "1");
    // The compaction's own text replaces the back-up's.
    EXPECT_NE(m.lastResult.find("compact was successful."), std::string::npos);
}

TEST(BackupApplication, CopiesAndKeepsTheRetention)
{
    Maintenance m;
    m.SetKeepDays("7");
    test::TempFolder data;
    test::TempFolder backups;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 50, false);
    for (const char* old : {"sales03-07-2004.mdb", "sales03-08-2004.mdb", "salesXY03-01-2004.mdb",
                            "sales03-01-2004.bak", "sales02-30-2004.mdb", "other03-01-2004.mdb"})
        test::WriteFile(backups.File(old), "old");

    EXPECT_TRUE(m.compact.BackupApplication(2, path, backups.File("sales.mdb")));
    EXPECT_EQ(Names(backups.Path()),
              std::vector<std::string>({"other03-01-2004.mdb", "sales02-30-2004.mdb",
                                        "sales03-08-2004.mdb", "sales03-15-2004.mdb",
                                        "salesXY03-01-2004.mdb"}));
    EXPECT_EQ(test::ManagedRowCount(backups.File("sales03-15-2004.mdb")), 50);
    EXPECT_EQ(m.BackupLogValue("Successful"), "1");
    EXPECT_EQ(m.BackupLogValue("Application"), path);
    EXPECT_EQ(m.lastResult, "03/15/2004 09:15:00 AM\r\nsales.mdb back up was successful.\r\n"
                            "Backed up to " + backups.Path() + "/sales03-15-2004.mdb");

    // BUDays 0 deletes every earlier copy; a second back-up that day overwrites the first.
    m.SetKeepDays("0");
    test::MakeManagedDatabase(path, 60, false, true);
    EXPECT_TRUE(m.compact.BackupApplication(2, path, backups.File("sales.mdb")));
    EXPECT_EQ(Names(backups.Path()),
              std::vector<std::string>({"other03-01-2004.mdb", "sales02-30-2004.mdb",
                                        "sales03-15-2004.mdb", "salesXY03-01-2004.mdb"}));
    EXPECT_EQ(test::ManagedRowCount(backups.File("sales03-15-2004.mdb")), 60);
}

// The new copy is flushed to disk before any older one is deleted, and only then: a back-up
// that deletes nothing does not wait for the disk.
TEST(BackupApplication, OlderCopiesGoOnlyAfterTheNewOneIsOnDisk)
{
    Maintenance m;
    m.SetKeepDays("7");
    test::TempFolder data;
    test::TempFolder backups;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 20, false);
    test::WriteFile(backups.File("sales03-01-2004.mdb"), "expired");
    std::vector<std::string> steps;
    m.compact.OnStep = [&](const char* step) {
        steps.push_back(step);
        if (steps.back() == "synced") {
            EXPECT_TRUE(fs::exists(backups.File("sales03-01-2004.mdb")));
            EXPECT_EQ(test::ManagedRowCount(backups.File("sales03-15-2004.mdb")), 20);
        }
    };
    EXPECT_TRUE(m.compact.BackupApplication(2, path, backups.File("sales.mdb")));
    EXPECT_EQ(steps, std::vector<std::string>({"copied", "renamed", "synced", "expired deleted"}));

    steps.clear();
    EXPECT_TRUE(m.compact.BackupApplication(2, path, backups.File("sales.mdb")));
    EXPECT_EQ(steps, std::vector<std::string>({"copied", "renamed", "expired deleted"}));
    EXPECT_EQ(Names(backups.Path()), std::vector<std::string>({"sales03-15-2004.mdb"}));
}

TEST(BackupApplication, FailuresAreLoggedAndDeleteNothing)
{
    Maintenance m;
    test::TempFolder data;
    test::TempFolder backups;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 5, false);

    EXPECT_FALSE(m.compact.BackupApplication(2, path, backups.File("missing/sales.mdb")));
    EXPECT_EQ(m.BackupLogValue("Successful"), "0");
    EXPECT_EQ(m.BackupLogValue("Comments"), "76 : Path not found");
    EXPECT_NE(m.lastResult.find("sales.mdb back up was unsuccessful.\r\n76 : "), std::string::npos);

    // A source that cannot be copied leaves the old copies in place.
    test::WriteFile(backups.File("gone03-01-2004.mdb"), "old");
    EXPECT_FALSE(m.compact.BackupApplication(2, data.File("gone.mdb"), backups.File("gone.mdb")));
    EXPECT_EQ(Names(backups.Path()), std::vector<std::string>({"gone03-01-2004.mdb"}));
    EXPECT_EQ(m.BackupLogValue("Comments"), "53 : File not found");

    // A path without any separator: the source is "-1-1", which fails and is logged.
    EXPECT_FALSE(m.compact.BackupApplication(2, "-1-1", "x\\sales.mdb"));
    EXPECT_EQ(m.BackupLogValue("Successful"), "0");

    m.SetKeepDays("NULL");
    EXPECT_FALSE(m.compact.BackupApplication(2, path, backups.File("sales.mdb")));
    EXPECT_EQ(m.BackupLogValue("Comments"), "94 : Invalid use of Null");
    EXPECT_EQ(Names(backups.Path()), std::vector<std::string>({"gone03-01-2004.mdb"}));
}

// Stops a child process with SIGKILL at each step of a compaction and of a back-up, then
// checks that nothing was lost: the database path opens with all its rows, and no file under
// a back-up's name is partial.
TEST(FaultInjection, KilledAtEveryStepLosesNothing)
{
    const std::vector<std::string> compactSteps = {"old copy deleted", "compacted",
                                                   "old set-aside deleted", "set aside",
                                                   "swapped", "synced", "set-aside deleted"};
    const std::vector<std::string> backupSteps = {"copied", "renamed", "synced",
                                                  "expired deleted"};
    test::TempFolder data;
    test::TempFolder backups;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 3000, true);
    const int rows = test::ManagedRowCount(path);
    test::WriteFile(backups.File("sales03-01-2004.mdb"), "expired");
    test::ConfigFixture config;

    for (const auto& steps : {compactSteps, backupSteps}) {
        for (const std::string& killAt : steps) {
            // Leftovers of an earlier crash stay: the next run must cope with them. (They are
            // made anew: a set-aside name may be a second name of the database itself.)
            for (const char* leftover : {"salesMLW.mdb", "salesMLWOrigDY.mdb"}) {
                fs::remove(data.File(leftover));
                test::WriteFile(data.File(leftover), "leftover");
            }
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                Maintenance m(&config);
                m.SetKeepDays("7");
                m.compact.BackupFolder = backups.Path();
                m.compact.OnStep = [&](const char* step) {
                    if (killAt == step)
                        raise(SIGKILL);
                };
                m.compact.CompactApplication(1, path, "", "", "", "", true);
                _exit(0);
            }
            int status = 0;
            waitpid(child, &status, 0);
            ASSERT_TRUE(WIFSIGNALED(status)) << "never reached " << killAt;
            EXPECT_EQ(test::ManagedRowCount(path), rows) << "killed after " << killAt;
            for (const auto& name : Names(backups.Path())) {
                if (name == "sales03-15-2004.mdb") {
                    EXPECT_EQ(test::ManagedRowCount(backups.File(name)), rows) << killAt;
                }
            }
        }
    }
}

TEST(FaultInjection, KilledAtRandomMomentsLosesNothing)
{
    test::TempFolder data;
    test::TempFolder backups;
    const std::string path = data.File("big.mdb");
    test::MakeManagedDatabase(path, 40000, true);
    const int rows = test::ManagedRowCount(path);
    test::ConfigFixture config;
    for (int round = 0; round < 12; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Maintenance m(&config);
            m.compact.BackupFolder = backups.Path();
            m.compact.CompactApplication(1, path, "", "", "", "", true);
            _exit(0);
        }
        // Spread the kills over the life of a compaction, from its start to its end.
        usleep(static_cast<useconds_t>(round * 15000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(test::ManagedRowCount(path), rows) << "round " << round;
        for (const auto& name : Names(backups.Path())) {
            if (name == "big03-15-2004.mdb") {
                EXPECT_EQ(test::ManagedRowCount(backups.File(name)), rows) << "round " << round;
            }
        }
    }
}
