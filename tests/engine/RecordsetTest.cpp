#include "EngineTestSupport.h"

#include "engine/Connection.h"
#include "engine/JetError.h"
#include "engine/Recordset.h"
#include "fixtures/ConfigFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace mallow::engine {
namespace {

using test::ErrorNumberOf;

class Apps : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ids[0] = config.AddApp("C:\\b.mdb", "pw", "", "fred", "", 1);
        ids[1] = config.AddApp("C:\\a.mdb");
        ids[2] = config.AddApp("C:\\c.mdb");
        config.Sql("UPDATE Apps SET UserName = NULL WHERE App = 'C:\\a.mdb'");
        connection.OpenFile(config.DatabasePath());
        apps.Open("Select * from Apps ORDER BY Apps.App;", connection, adCmdText);
    }

    std::string Column(const std::string& sql) { return config.Scalar(sql); }

    test::ConfigFixture config;
    Connection connection;
    Recordset apps;
    long ids[3] = {};
};

TEST_F(Apps, WalksInOrderWithExactCountsAndBounds)
{
    EXPECT_EQ(apps.RecordCount(), 3);
    EXPECT_FALSE(apps.Bof());
    std::vector<std::string> seen;
    for (apps.MoveFirst(); !apps.Eof(); apps.MoveNext())
        seen.push_back(apps.Field("app").ToText());
    EXPECT_EQ(seen, (std::vector<std::string>{"C:\\a.mdb", "C:\\b.mdb", "C:\\c.mdb"}));
    EXPECT_EQ(ErrorNumberOf([&] { apps.MoveNext(); }), jet::NoCurrentRecord);
    EXPECT_EQ(ErrorNumberOf([&] { apps.Field("App"); }), jet::NoCurrentRecord);
    apps.MovePrevious();
    EXPECT_EQ(apps.Field("App").ToText(), "C:\\c.mdb");
    apps.MoveFirst();
    apps.MovePrevious();
    EXPECT_TRUE(apps.Bof());
    EXPECT_EQ(ErrorNumberOf([&] { apps.MovePrevious(); }), jet::NoCurrentRecord);
    apps.MoveLast();
    EXPECT_EQ(apps.Field("App").ToText(), "C:\\c.mdb");
    EXPECT_EQ(ErrorNumberOf([&] { apps.Field("Nope"); }), jet::ItemNotFound);
    EXPECT_EQ(apps.FieldCount(), 7);
    EXPECT_EQ(apps.FieldAt(1).ToText(), "C:\\c.mdb");
}

TEST_F(Apps, FieldsAreTypedAndNullReadsAsEmptyText)
{
    apps.MoveFirst();
    EXPECT_TRUE(apps.Field("UserName").IsNull());
    EXPECT_EQ(apps.Field("UserName").ToText(), "");
    EXPECT_EQ(apps.Field("App ID").GetType(), Value::Type::Long);
    EXPECT_EQ(apps.Field("LogUsersOff").ToLong(), 0);
    apps.MoveNext();
    EXPECT_EQ(apps.Field("LogUsersOff").ToLong(), 1);
    EXPECT_EQ(apps.Field("Password").ToText(), "pw");
}

TEST_F(Apps, EmptyTableIsAtBothEndsAndHasNoFirstRow)
{
    Recordset log;
    log.Open("Log", connection, adCmdTable);
    EXPECT_TRUE(log.Bof());
    EXPECT_TRUE(log.Eof());
    EXPECT_EQ(log.RecordCount(), 0);
    EXPECT_EQ(ErrorNumberOf([&] { log.MoveFirst(); }), jet::NoCurrentRecord);
    EXPECT_EQ(ErrorNumberOf([&] { log.Field("Comments"); }), jet::NoCurrentRecord);
}

TEST_F(Apps, AddNewShowsTheAutoNumberBeforeUpdate)
{
    apps.AddNew();
    const long id = static_cast<long>(apps.Field("App ID").ToLong());
    EXPECT_EQ(id, ids[2] + 1);
    EXPECT_EQ(apps.Field("LogUsersOff").ToLong(), 0); // the column's default
    apps.SetField("App", Value("C:\\new.mdb"));
    EXPECT_EQ(Column("SELECT count(*) FROM Apps"), "3");
    apps.Update();
    EXPECT_EQ(Column("SELECT App FROM Apps WHERE [App ID] = " + std::to_string(id)), "C:\\new.mdb");
    EXPECT_EQ(apps.RecordCount(), 4);
    EXPECT_EQ(apps.Field("App ID").ToLong(), id);

    // A number handed out and then cancelled is skipped, never given twice.
    apps.AddNew();
    const long cancelled = static_cast<long>(apps.Field("App ID").ToLong());
    apps.CancelUpdate();
    apps.AddNew();
    EXPECT_EQ(apps.Field("App ID").ToLong(), cancelled + 1);
    apps.SetField("App", Value("C:\\later.mdb"));
    apps.Update();
    EXPECT_EQ(ErrorNumberOf([&] { apps.SetField("App ID", Value(99)); }), jet::FieldNotUpdatable);
}

TEST_F(Apps, TwoClientsAddingAtOnceGetDifferentNumbers)
{
    Connection other;
    other.OpenFile(config.DatabasePath());
    Recordset theirs;
    theirs.Open("Apps", other, adCmdTable);
    apps.AddNew();
    theirs.AddNew();
    const auto mine = apps.Field("App ID").ToLong();
    EXPECT_NE(mine, theirs.Field("App ID").ToLong());
    theirs.SetField("App", Value("theirs"));
    theirs.Update();
    apps.SetField("App", Value("mine"));
    apps.Update();
    EXPECT_EQ(Column("SELECT App FROM Apps WHERE [App ID] = " + std::to_string(mine)), "mine");
}

TEST_F(Apps, AssignmentsConvertToTheColumnTypeOrWriteNothing)
{
    apps.MoveFirst();
    apps.SetField("LogUsersOff", Value("12"));
    EXPECT_EQ(apps.Field("LogUsersOff").GetType(), Value::Type::Long);
    EXPECT_EQ(ErrorNumberOf([&] { apps.SetField("LogUsersOff", Value("")); }),
              jet::ConversionError);
    EXPECT_EQ(ErrorNumberOf([&] { apps.SetField("LogUsersOff", Value("abc")); }),
              jet::ConversionError);
    apps.CancelUpdate();
    EXPECT_EQ(Column("SELECT LogUsersOff FROM Apps WHERE App = 'C:\\a.mdb'"), "0");

    Recordset schedule;
    schedule.Open("Schedule", connection, adCmdTable);
    EXPECT_EQ(ErrorNumberOf([&] { schedule.SetField("Monday", Value(std::string(51, 'x'))); }),
              jet::FieldTooSmall);
    schedule.SetField("Monday", Value(std::string(50, 'x')));
    schedule.Update();
    EXPECT_EQ(Column("SELECT length(Monday) FROM Schedule"), "50");

    Recordset log;
    log.Open("Log", connection, adCmdTable);
    log.AddNew();
    log.SetField("Successful", Value(true));
    log.SetField("TimeLogged", Value("12/8/2026 1:05:03 PM"));
    log.SetField("Size Before", Value(1024.0));
    EXPECT_EQ(ErrorNumberOf([&] { log.SetField("TimeLogged", Value("someday")); }),
              jet::ConversionError);
    log.Update();
    EXPECT_EQ(log.Field("Successful").GetType(), Value::Type::Boolean);
    EXPECT_TRUE(log.Field("Successful").ToBool());
    EXPECT_EQ(log.Field("TimeLogged").GetType(), Value::Type::Date);
    EXPECT_EQ(log.Field("TimeLogged").ToText(), "12/8/2026 1:05:03 PM");
    EXPECT_EQ(Column("SELECT Successful || '/' || [Size Before] FROM Log"), "1/1024");
}

TEST_F(Apps, UpdateWritesOnlyItsRowAndLeavesNothingOnFailure)
{
    apps.MoveFirst();
    apps.SetField("UserName", Value("ann"));
    apps.MoveNext(); // moving away writes the pending edit
    EXPECT_EQ(Column("SELECT UserName FROM Apps WHERE App = 'C:\\a.mdb'"), "ann");
    EXPECT_EQ(Column("SELECT UserName FROM Apps WHERE App = 'C:\\b.mdb'"), "fred");

    config.Sql("CREATE TABLE Strict (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL)");
    Recordset strict;
    strict.Open("Strict", connection, adCmdTable);
    strict.AddNew();
    EXPECT_EQ(ErrorNumberOf([&] { strict.Update(); }), jet::RequiredNull);
    EXPECT_TRUE(strict.EditPending());
    EXPECT_EQ(Column("SELECT count(*) FROM Strict"), "0");
    strict.SetField("name", Value("now"));
    strict.Update();
    EXPECT_EQ(Column("SELECT name FROM Strict"), "now");
}

TEST_F(Apps, ClonesShareTheRowsAndWriteThrough)
{
    Recordset clone = apps.Clone();
    clone.MoveLast();
    clone.SetField("Password", Value("secret"));
    clone.Update();
    apps.MoveLast();
    EXPECT_EQ(apps.Field("Password").ToText(), "secret");
    EXPECT_EQ(Column("SELECT Password FROM Apps WHERE App = 'C:\\c.mdb'"), "secret");

    apps.AddNew();
    apps.SetField("App", Value("C:\\d.mdb"));
    apps.Update();
    EXPECT_EQ(clone.RecordCount(), 4);
    clone.MoveFirst();
    clone.Delete();
    EXPECT_EQ(apps.RecordCount(), 3);
}

TEST_F(Apps, FindMovesForwardToTheFirstMatch)
{
    Recordset clone = apps.Clone();
    clone.MoveFirst();
    clone.Find("[App ID] = " + std::to_string(ids[2]));
    EXPECT_EQ(clone.Field("App").ToText(), "C:\\c.mdb");
    clone.MoveFirst();
    clone.Find("[App] = 'c:\\B.MDB'");
    EXPECT_EQ(clone.Field("App ID").ToLong(), ids[0]);
    clone.Find("App Like 'C:\\%'"); // the current row counts
    EXPECT_EQ(clone.Field("App ID").ToLong(), ids[0]);
    clone.MoveNext();
    clone.Find("[App] = 'C:\\a.mdb'"); // only forward
    EXPECT_TRUE(clone.Eof());
    clone.MoveFirst();
    clone.Find("[UserName] = Null");
    EXPECT_EQ(clone.Field("App").ToText(), "C:\\a.mdb");
    EXPECT_EQ(ErrorNumberOf([&] { clone.Find("[Nope] = 1"); }), jet::ItemNotFound);
    EXPECT_EQ(ErrorNumberOf([&] { clone.Find("App ="); }), jet::InvalidArgument);

    config.Sql("INSERT INTO Log (Application, TimeLogged) VALUES ('x', 46363.5), ('y', 46364.25)");
    Recordset log;
    log.Open("Log", connection, adCmdTable);
    log.Find("TimeLogged >= #12/8/2026#");
    EXPECT_EQ(log.Field("Application").ToText(), "y");
}

TEST_F(Apps, RequerySeesOtherClientsAndDeleteDropsRows)
{
    config.AddApp("C:\\0.mdb");
    EXPECT_EQ(apps.RecordCount(), 3);
    apps.Requery();
    EXPECT_EQ(apps.RecordCount(), 4);
    EXPECT_EQ(apps.Field("App").ToText(), "C:\\0.mdb");

    apps.MoveNext();
    apps.Delete();
    EXPECT_EQ(apps.RecordCount(), 3);
    EXPECT_EQ(ErrorNumberOf([&] { apps.Field("App"); }), jet::NoCurrentRecord);
    EXPECT_EQ(Column("SELECT count(*) FROM Apps WHERE App = 'C:\\a.mdb'"), "0");
    std::vector<std::string> seen;
    for (apps.MoveFirst(); !apps.Eof(); apps.MoveNext())
        seen.push_back(apps.Field("App").ToText());
    EXPECT_EQ(seen, (std::vector<std::string>{"C:\\0.mdb", "C:\\b.mdb", "C:\\c.mdb"}));
}

TEST_F(Apps, ConcurrentChangeOfTheSameFieldIsAConflict)
{
    Connection other;
    other.OpenFile(config.DatabasePath());
    other.Execute("UPDATE Apps SET Password = 'theirs' WHERE App = 'C:\\a.mdb'");
    apps.MoveFirst();
    apps.SetField("Password", Value("mine"));
    EXPECT_EQ(ErrorNumberOf([&] { apps.Update(); }), jet::UpdateConflict);
    EXPECT_EQ(Column("SELECT Password FROM Apps WHERE App = 'C:\\a.mdb'"), "theirs");
    apps.CancelUpdate();

    other.Execute("DELETE FROM Apps WHERE App = 'C:\\b.mdb'");
    apps.MoveNext();
    apps.SetField("Password", Value("mine"));
    EXPECT_EQ(ErrorNumberOf([&] { apps.Update(); }), jet::RecordDeleted);
    EXPECT_EQ(apps.RecordCount(), 2);
}

// A row set and its clones are one client: what one of them saved is no conflict for the others.
TEST_F(Apps, ASaveThroughACloneIsNoConflictForItsRowSet)
{
    Recordset schedule;
    schedule.Open("Schedule", connection, adCmdTable);
    // A change left pending on the shared row set, then the whole row saved through a clone.
    schedule.MoveFirst();
    schedule.SetField("Backup", Value("/browsed"));
    {
        Recordset clone = schedule.Clone();
        clone.MoveFirst();
        clone.SetField("Backup", Value("/browsed"));
        clone.SetField("Monday", Value("2:00 AM"));
        clone.Update();
    }
    // Moving the row set does not replay its stale change, nor call it a conflict.
    EXPECT_EQ(ErrorNumberOf([&] { schedule.MoveFirst(); }), 0);
    EXPECT_FALSE(schedule.EditPending());
    EXPECT_EQ(schedule.Field("Backup").ToText(), "/browsed");
    EXPECT_EQ(schedule.Field("Monday").ToText(), "2:00 AM");
    EXPECT_EQ(ErrorNumberOf([&] { schedule.MoveFirst(); }), 0);

    // A stale change differing from what the clone saved is dropped: the later save stands.
    schedule.SetField("Backup", Value("/browsed again"));
    Recordset clone = schedule.Clone();
    clone.MoveFirst();
    clone.SetField("Backup", Value("/typed"));
    clone.Update();
    schedule.Update();
    EXPECT_EQ(Column("SELECT Backup FROM Schedule"), "/typed");
    EXPECT_EQ(schedule.Field("Backup").ToText(), "/typed");

    // A change made after the clone's save is written, and so is one to another column.
    schedule.SetField("Backup", Value("/after"));
    clone.SetField("Tuesday", Value("3:00 AM"));
    clone.Update();
    schedule.Update();
    EXPECT_EQ(Column("SELECT Backup || '|' || Tuesday FROM Schedule"), "/after|3:00 AM");
    EXPECT_EQ(clone.Field("Backup").ToText(), "/after");
}

TEST_F(Apps, ClonesStayOneClientAcrossRequery)
{
    Recordset clone = apps.Clone();
    apps.Requery();
    clone.MoveFirst();
    clone.SetField("Password", Value("by clone"));
    clone.Update();
    apps.MoveFirst();
    EXPECT_EQ(apps.Field("Password").ToText(), "by clone");
    apps.SetField("Password", Value("by row set"));
    EXPECT_EQ(ErrorNumberOf([&] { apps.Update(); }), 0);
    EXPECT_EQ(Column("SELECT Password FROM Apps WHERE App = 'C:\\a.mdb'"), "by row set");
}

TEST_F(Apps, ChangesByAnotherConnectionStayConflictsAfterACloneSaved)
{
    Recordset schedule;
    schedule.Open("Schedule", connection, adCmdTable);
    Recordset clone = schedule.Clone();
    clone.SetField("Backup", Value("/ours"));
    clone.Update();

    Connection other;
    other.OpenFile(config.DatabasePath());
    Recordset theirs;
    theirs.Open("Schedule", other, adCmdTable);
    theirs.SetField("Backup", Value("/theirs"));
    theirs.Update();

    schedule.SetField("Backup", Value("/mine"));
    EXPECT_EQ(ErrorNumberOf([&] { schedule.Update(); }), jet::UpdateConflict);
    EXPECT_TRUE(schedule.EditPending());
    EXPECT_EQ(Column("SELECT Backup FROM Schedule"), "/theirs");
    schedule.CancelUpdate();
    // Once we have read their change, our save stands, and their stale view is the conflict.
    schedule.Requery();
    Recordset fresh = schedule.Clone();
    fresh.SetField("Backup", Value("/ours again"));
    fresh.Update();
    theirs.SetField("Backup", Value("/theirs again"));
    EXPECT_EQ(ErrorNumberOf([&] { theirs.Update(); }), jet::UpdateConflict);
    EXPECT_EQ(Column("SELECT Backup FROM Schedule"), "/ours again");
}

TEST_F(Apps, ChangesByAnotherProcessStayConflicts)
{
    Recordset schedule;
    schedule.Open("Schedule", connection, adCmdTable);
    Recordset clone = schedule.Clone();
    clone.SetField("Backup", Value("/ours"));
    clone.Update();
    schedule.SetField("Backup", Value("/mine"));
    // A fresh program, not a fork: a forked child would share SQLite's record of the locks.
    const std::string command = "sqlite3 -bail '" + config.DatabasePath() +
                                "' \"UPDATE Schedule SET Backup = '/other process'\" 2>&1";
    const int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        GTEST_SKIP() << "no sqlite3 program to play the other process";
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ErrorNumberOf([&] { schedule.Update(); }), jet::UpdateConflict);
    EXPECT_EQ(Column("SELECT Backup FROM Schedule"), "/other process");
}

TEST_F(Apps, LargeAndManyValuesReadBackExactly)
{
    // One text larger than any storage chunk, then thousands of small ones after it.
    config.Sql("INSERT INTO Log (Comments, [Size Before]) VALUES (printf('%.*c', 1500000, 'z'), 0);"
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
               "INSERT INTO Log (Comments, [Size Before]) SELECT 'row ' || i, i FROM n;");
    Recordset log;
    log.Open("SELECT * FROM Log ORDER BY [Event ID]", connection);
    ASSERT_EQ(log.RecordCount(), 5001);
    EXPECT_EQ(log.Field("Comments").ToText(), std::string(1500000, 'z'));
    long n = 0;
    bool exact = true;
    for (log.MoveNext(); !log.Eof(); log.MoveNext()) {
        ++n;
        exact = exact && log.Field("Comments").ToText() == "row " + std::to_string(n) &&
                log.FieldAt(4).ToLong() == n;
    }
    EXPECT_EQ(n, 5000);
    EXPECT_TRUE(exact);
}

TEST_F(Apps, ComputedRowsAreReadOnlyAndClosedRowsetsRefuse)
{
    Recordset joined;
    joined.Open("SELECT Apps.App, Log.Comments FROM Apps, Log", connection);
    EXPECT_EQ(ErrorNumberOf([&] { joined.AddNew(); }), jet::ReadOnly);
    Recordset counted;
    counted.Open("SELECT count(*) AS n FROM Apps", connection);
    EXPECT_EQ(counted.Field("n").ToLong(), 3);
    EXPECT_EQ(ErrorNumberOf([&] { counted.SetField("n", Value(1)); }), jet::ReadOnly);
    EXPECT_EQ(ErrorNumberOf([&] { counted.AddNew(); }), jet::ReadOnly);
    Recordset readOnly = apps.Clone(LockType::ReadOnly);
    EXPECT_EQ(ErrorNumberOf([&] { readOnly.Delete(); }), jet::ReadOnly);

    apps.Close();
    EXPECT_FALSE(apps.IsOpen());
    EXPECT_EQ(ErrorNumberOf([&] { apps.MoveFirst(); }), jet::ObjectClosed);
    EXPECT_EQ(ErrorNumberOf([&] { apps.RecordCount(); }), jet::ObjectClosed);
    EXPECT_EQ(ErrorNumberOf([&] { apps.Field("App"); }), jet::ObjectClosed);
    EXPECT_EQ(ErrorNumberOf([&] { apps.Close(); }), jet::ObjectClosed);
    connection.Close();
    EXPECT_EQ(ErrorNumberOf([&] { counted.MoveFirst(); }), jet::ObjectClosed);
    EXPECT_EQ(ErrorNumberOf([&] { apps.Open("Apps", connection, adCmdTable); }),
              jet::ConnectionUnusable);
}

} // namespace
} // namespace mallow::engine
