#include "engine/Connection.h"
#include "engine/DBEngine.h"
#include "fixtures/ChildProcess.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/ManagedDatabase.h"
#include "fixtures/SmallDisk.h"
#include "maintenance/Compact.h"
#include "util/Dates.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <signal.h>
#include <sys/stat.h>
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

TEST(CompactNames, BackupNames)
{
    EXPECT_EQ(Compact::BackupPathFor("D:\\Backups\\sales.mdb", Day(2004, 3, 5)),
              "D:\\Backups\\sales03-05-2004.mdb");
    EXPECT_EQ(Compact::BackupPathFor("/backups/sales.mdb", Day(2004, 12, 25)),
              "/backups/sales12-25-2004.mdb");
    EXPECT_THROW(Compact::BackupPathFor("/b/a.m", Day(2004, 12, 25)), MallowError);
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

    // Expired copies come oldest first; the newest back-up is known whatever its age.
    const std::vector<std::string> names = {"sales03-01-2004.mdb", "sales12-31-2003.mdb",
                                            "sales02-01-2004.bak", "salesXY01-01-2000.mdb",
                                            "notes.txt"};
    EXPECT_EQ(Compact::ExpiredBackups(names, "sales", today, 7, ""),
              std::vector<std::string>(
                  {"sales12-31-2003.mdb", "sales02-01-2004.bak", "sales03-01-2004.mdb"}));
    EXPECT_EQ(Compact::NewestBackup(names, "sales"), "sales03-01-2004.mdb");
    EXPECT_EQ(Compact::NewestBackup(names, "other"), "");
}

TEST(CompactApplication, CompactsInPlaceAndLogsTheSizes)
{
    Maintenance m;
    test::TempFolder data;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 4000, true);
    const auto before = fs::file_size(path);
    struct stat identity = {};
    ASSERT_EQ(stat(path.c_str(), &identity), 0);

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
    struct stat now = {};
    ASSERT_EQ(stat(path.c_str(), &now), 0);
    EXPECT_EQ(now.st_ino, identity.st_ino);
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
    // A short name without a folder is looked for like any other.
    m.compact.CompactApplication(4, "a.m", "", "", "", "", false);
    EXPECT_EQ(m.LogValue("Comments"), "76 : Path not found");
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

// Another program inside a transaction keeps the database busy: the compaction waits a while,
// then is logged as a database in use, and the file is as it was.
TEST(CompactApplication, AnotherProgramsOpenTransactionIsLoggedAsInUse)
{
    Maintenance m;
    test::TempFolder data;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 300, true);
    test::ChildProcess client(test::SqliteClientCommand(path, "delete"));
    ASSERT_EQ(client.ReadLine(), "ready delete");
    ASSERT_EQ(client.Ask("begin-write"), "ok");
    const std::string bytes = test::ReadFile(path);
    engine::Engine().LockWaitMilliseconds = 200;
    m.compact.CompactApplication(1, path, "", "", "", "", false);
    engine::Engine().LockWaitMilliseconds = 10000;
    EXPECT_EQ(m.LogValue("Successful"), "0");
    EXPECT_EQ(m.LogValue("Comments").rfind("3356 : ", 0), 0u) << m.LogValue("Comments");
    EXPECT_TRUE(test::ReadFile(path) == bytes);
    EXPECT_EQ(client.Ask("commit"), "ok");
    m.compact.CompactApplication(1, path, "", "", "", "", false);
    EXPECT_EQ(m.LogValue("Successful"), "1") << m.LogValue("Comments");
    EXPECT_EQ(test::ManagedRowCount(path), 151);
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

// The new copy is whole and flushed under a name of its own before it takes the back-up's
// name (a good copy of the same day stays until then), and older copies go only after that.
TEST(BackupApplication, TheNewCopyTakesItsNameWholeAndOlderCopiesGoAfterIt)
{
    Maintenance m;
    m.SetKeepDays("7");
    test::TempFolder data;
    test::TempFolder backups;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 20, false);
    test::WriteFile(backups.File("sales03-01-2004.mdb"), "expired");
    test::MakeManagedDatabase(backups.File("sales03-15-2004.mdb"), 5, false);
    std::vector<std::string> steps;
    m.compact.OnStep = [&](const char* step) {
        steps.push_back(step);
        if (steps.back() == "copied") {
            EXPECT_EQ(test::ManagedRowCount(backups.File("~sales03-15-2004.mdb.partial")), 20);
            EXPECT_EQ(test::ManagedRowCount(backups.File("sales03-15-2004.mdb")), 5);
        }
        if (steps.back() == "renamed") {
            EXPECT_TRUE(fs::exists(backups.File("sales03-01-2004.mdb")));
            EXPECT_EQ(test::ManagedRowCount(backups.File("sales03-15-2004.mdb")), 20);
        }
    };
    EXPECT_TRUE(m.compact.BackupApplication(2, path, backups.File("sales.mdb")));
    EXPECT_EQ(steps, std::vector<std::string>({"copied", "renamed", "expired deleted"}));
    EXPECT_EQ(Names(backups.Path()), std::vector<std::string>({"sales03-15-2004.mdb"}));
}

// A back-up is never more open than its database.
TEST(BackupApplication, CarriesTheDatabasesPermissionBits)
{
    Maintenance m;
    test::TempFolder data;
    test::TempFolder backups;
    const std::string path = data.File("sales.mdb");
    for (const mode_t mode : {0600u, 0640u, 0664u}) {
        test::MakeManagedDatabase(path, 20, false, true);
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        const mode_t umaskBefore = umask(0);
        EXPECT_TRUE(m.compact.BackupApplication(2, path, backups.File("sales.mdb")));
        umask(umaskBefore);
        struct stat st = {};
        ASSERT_EQ(stat(backups.File("sales03-15-2004.mdb").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, mode);
    }
}

// A copy that succeeded is a successful back-up even when an expired copy cannot be deleted;
// the outcome and the log say which one stayed.
TEST(BackupApplication, AnExpiredCopyThatCannotBeDeletedIsNoFailure)
{
    Maintenance m;
    m.SetKeepDays("7");
    test::TempFolder data;
    test::TempFolder backups;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 20, false);
    const std::string stuck = backups.File("sales03-01-2004.mdb");
    test::WriteFile(stuck, "expired");
    if (std::system(("chattr +i '" + stuck + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "needs root and a file system that can make a file undeletable";
    struct Unstick
    {
        std::string file;
        ~Unstick() { (void)!std::system(("chattr -i '" + file + "'").c_str()); }
    } unstick{stuck};

    EXPECT_TRUE(m.compact.BackupApplication(2, path, backups.File("sales.mdb")));
    EXPECT_EQ(m.BackupLogValue("Successful"), "1");
    EXPECT_EQ(m.BackupLogValue("Comments"),
              "Could not delete the expired back up sales03-01-2004.mdb: 70 : Permission denied");
    EXPECT_EQ(m.lastResult, "03/15/2004 09:15:00 AM\r\nsales.mdb back up was successful.\r\n"
                            "Backed up to " + backups.Path() + "/sales03-15-2004.mdb\r\n"
                            "Could not delete the expired back up sales03-01-2004.mdb: "
                            "70 : Permission denied");
    EXPECT_EQ(test::ManagedRowCount(backups.File("sales03-15-2004.mdb")), 20);
}

// When the folder is too full for the copy, expired copies of the database make room, oldest
// first, but the newest back-up of the database stays whatever its age; the copy is then tried
// once more. Without expired copies, the back-up fails and nothing is deleted.
TEST(BackupApplication, AFullFolderMakesRoomFromExpiredCopiesButKeepsTheNewest)
{
    test::SmallDisk disk(16 << 20);
    if (!disk.SkipReason().empty())
        GTEST_SKIP() << disk.SkipReason();
    Maintenance m;
    m.SetKeepDays("7");
    test::TempFolder data;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 9000, false);
    const auto size = fs::file_size(path);
    const std::string copyBytes = test::ReadFile(path);
    for (const char* old : {"sales01-01-2004.mdb", "sales02-01-2004.mdb", "sales03-01-2004.mdb"})
        test::WriteFile(disk.File(old), copyBytes);
    test::WriteFile(disk.File("other01-01-2004.mdb"), copyBytes);

    // Room for a little more than half a copy: deleting the oldest expired one is enough,
    // but all expired ones but the newest go.
    disk.LeaveFree(size / 2);
    EXPECT_TRUE(m.compact.BackupApplication(2, path, disk.File("sales.mdb"))) << m.lastResult;
    EXPECT_EQ(Names(disk.Path()),
              std::vector<std::string>({".filler", "other01-01-2004.mdb", "sales03-01-2004.mdb",
                                        "sales03-15-2004.mdb"}));
    EXPECT_EQ(test::ManagedRowCount(disk.File("sales03-15-2004.mdb")), 9000);

    // Only the newest (today's) is left: nothing can make room, the back-up fails, today's
    // good copy stays, and no part copy is left behind.
    fs::remove(disk.File("sales03-01-2004.mdb"));
    disk.LeaveFree(size / 2);
    EXPECT_FALSE(m.compact.BackupApplication(2, path, disk.File("sales.mdb")));
    EXPECT_EQ(m.BackupLogValue("Comments"), "61 : Disk full");
    EXPECT_EQ(Names(disk.Path()), std::vector<std::string>({".filler", "other01-01-2004.mdb",
                                                            "sales03-15-2004.mdb"}));
    EXPECT_EQ(test::ManagedRowCount(disk.File("sales03-15-2004.mdb")), 9000);
}

// On storage that takes writes into its cache and fails to write them out, a back-up is never
// reported successful unless it reads back whole after the file system is mounted again, and
// a good copy of the same day is not replaced by a bad one.
TEST(BackupApplication, AFailedWriteBackIsNoSuccessAndKeepsTheGoodCopy)
{
    test::CachedDisk disk(40 << 20, 200 << 20);
    if (!disk.SkipReason().empty())
        GTEST_SKIP() << disk.SkipReason();
    Maintenance m;
    test::TempFolder data;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 20000, false);
    ASSERT_TRUE(m.compact.BackupApplication(2, path, disk.File("sales.mdb"))) << m.lastResult;
    ASSERT_TRUE(disk.Remount());

    test::MakeManagedDatabase(path, 40000, false, true);
    disk.Backing().LeaveFree(1 << 20);
    const bool reported = m.compact.BackupApplication(2, path, disk.File("sales.mdb"));
    disk.Backing().Unfill();
    ASSERT_TRUE(disk.Remount());
    const int rows = test::ManagedRowCount(disk.File("sales03-15-2004.mdb"));
    if (reported)
        EXPECT_EQ(rows, 40000) << "reported successful, but not readable after a remount";
    else
        EXPECT_EQ(rows, 20000) << m.lastResult;
    EXPECT_FALSE(reported) << "the write-back of 10 MB into 1 MB of room cannot have worked";
    EXPECT_EQ(m.BackupLogValue("Successful"), reported ? "1" : "0");
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
    const std::vector<std::string> compactSteps = {"compacted"};
    const std::vector<std::string> backupSteps = {"copied", "renamed", "expired deleted"};
    test::TempFolder data;
    test::TempFolder backups;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 3000, true);
    const int rows = test::ManagedRowCount(path);
    test::WriteFile(backups.File("sales03-01-2004.mdb"), "expired");
    test::ConfigFixture config;

    for (const auto& steps : {compactSteps, backupSteps}) {
        for (const std::string& killAt : steps) {
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

// A path that someone else may change between the steps of one operation: the registered path
// is a link, and it is pointed at another file once the compaction is done.
TEST(SwappedPaths, ABackUpIsMadeOfTheFileThatWasCompactedOrNotAtAll)
{
    Maintenance m;
    test::TempFolder data;
    test::TempFolder backups;
    test::TempFolder secret;
    const std::string real = data.File("real.mdb");
    test::MakeManagedDatabase(real, 100, true);
    const std::string other = secret.File("shadow.mdb");
    test::MakeManagedDatabase(other, 7, false);
    const std::string link = data.File("sales.mdb");
    fs::create_symlink(real, link);
    m.compact.BackupFolder = backups.Path();

    // A registered link works as ever: the file it leads to is compacted and backed up, and
    // the link stays a link.
    EXPECT_TRUE(m.compact.CompactApplication(1, link, "", "", "", "", true));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(test::ManagedRowCount(backups.File("sales03-15-2004.mdb")), 50);
    fs::remove(backups.File("sales03-15-2004.mdb"));

    m.compact.OnStep = [&](const char* step) {
        if (std::string(step) == "compacted") {
            fs::remove(link);
            fs::create_symlink(other, link);
        }
    };
    EXPECT_TRUE(m.compact.CompactApplication(1, link, "", "", "", "", true));
    EXPECT_EQ(m.BackupLogValue("Successful"), "0");
    EXPECT_NE(m.BackupLogValue("Comments").find("75 : '" + link + "' is no longer the file"),
              std::string::npos)
        << m.BackupLogValue("Comments");
    EXPECT_TRUE(Names(backups.Path()).empty());
    EXPECT_EQ(test::ManagedRowCount(other), 7);
}

TEST(SwappedPaths, AFileSwappedBeforeTheCompactionIsNotCompacted)
{
    test::TempFolder data;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 100, true);
    const FileIdentity before = IdentityOf(path);
    test::MakeManagedDatabase(data.File("other.mdb"), 100, true);
    fs::rename(data.File("other.mdb"), path);
    const auto size = fs::file_size(path);
    try {
        engine::Engine().CompactDatabaseInPlace(path, "", before);
        ADD_FAILURE() << "compacted a file other than the one looked at";
    } catch (const MallowError& e) {
        EXPECT_EQ(e.Number(), 3051);
    }
    EXPECT_EQ(fs::file_size(path), size);
}

// Links in the back-up folder, named like the copy, its part copy or an expired back-up: none
// is followed, and retention deletes only regular files.
TEST(SwappedPaths, LinksInTheBackUpFolderAreNeverFollowed)
{
    Maintenance m;
    m.SetKeepDays("7");
    test::TempFolder data;
    test::TempFolder backups;
    test::TempFolder elsewhere;
    const std::string path = data.File("sales.mdb");
    test::MakeManagedDatabase(path, 50, false);
    const std::string victim = elsewhere.File("victim");
    test::WriteFile(victim, "precious");
    fs::create_symlink(victim, backups.File("~sales03-15-2004.mdb.partial"));
    fs::create_symlink(victim, backups.File("sales03-01-2004.mdb"));
    const std::string expiredTarget = elsewhere.File("sales03-02-2004.mdb");
    test::WriteFile(expiredTarget, "not a back-up of ours");
    fs::create_symlink(expiredTarget, backups.File("sales03-02-2004.mdb"));
    test::WriteFile(backups.File("sales03-03-2004.mdb"), "old");

    EXPECT_TRUE(m.compact.BackupApplication(2, path, backups.File("sales.mdb")));
    EXPECT_EQ(test::ReadFile(victim), "precious");
    EXPECT_EQ(test::ReadFile(expiredTarget), "not a back-up of ours");
    // The expired regular file went; the links named like back-ups stay, as do their targets.
    EXPECT_EQ(Names(backups.Path()),
              std::vector<std::string>({"sales03-01-2004.mdb", "sales03-02-2004.mdb",
                                        "sales03-15-2004.mdb"}));
    EXPECT_TRUE(fs::is_symlink(backups.File("sales03-01-2004.mdb")));
    EXPECT_FALSE(fs::is_symlink(backups.File("sales03-15-2004.mdb")));
    EXPECT_EQ(test::ManagedRowCount(backups.File("sales03-15-2004.mdb")), 50);

    // A link where today's copy goes is replaced by the copy, not written through.
    fs::remove(backups.File("sales03-15-2004.mdb"));
    fs::create_symlink(victim, backups.File("sales03-15-2004.mdb"));
    EXPECT_TRUE(m.compact.BackupApplication(2, path, backups.File("sales.mdb")));
    EXPECT_EQ(test::ReadFile(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(backups.File("sales03-15-2004.mdb")));
}
