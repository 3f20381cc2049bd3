#include "EngineTestSupport.h"

#include "engine/Connection.h"
#include "engine/JetError.h"
#include "engine/Recordset.h"
#include "fixtures/ConfigFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace mallow::engine {
namespace {

using test::ConfigFixture;
using test::TempFolder;

std::string ConnectionText(const std::string& path)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" + path;
}

MallowError OpenError(const std::string& path)
{
    Connection connection;
    try {
        connection.Open(ConnectionText(path));
    } catch (const MallowError& error) {
        return error;
    }
    return MallowError(0, "", "opened");
}

// Opening `path` fails with `number` and `description`, leaving the folder as it was.
void ExpectRefused(const std::string& folder, const std::string& path, long number,
                   const std::string& description)
{
    const auto before = test::FolderContents(folder);
    const MallowError error = OpenError(path);
    EXPECT_EQ(error.Number(), number) << error.Description();
    EXPECT_EQ(error.Description(), description);
    EXPECT_EQ(test::FolderContents(folder), before);
}

TEST(ConnectionOpen, OpensTheConfigurationDatabaseByAPathWithEitherSeparator)
{
    ConfigFixture config;
    std::string windowsStyle = config.DatabasePath();
    std::replace(windowsStyle.begin(), windowsStyle.end(), '/', '\\');
    Connection connection;
    // The connection-string keys ignore case.
    connection.Open("provider=X;DATA SOURCE=" + windowsStyle, "", "");
    EXPECT_TRUE(connection.IsOpen());
    EXPECT_EQ(connection.Path(), config.DatabasePath());
    connection.Close();
    // A program folder at the root gives a doubled separator.
    const std::string doubled = config.ProgramFolder() + "\\\\Compact20.mdb";
    connection.Open(ConnectionText(doubled));
    EXPECT_TRUE(std::filesystem::exists(config.ProgramFolder() + "/Compact20.ldb"));
    connection.Close();
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(test::ErrorNumberOf([&] { connection.Close(); }), jet::ObjectClosed);
    EXPECT_EQ(test::ErrorNumberOf([&] { connection.Execute("DELETE FROM Log"); }),
              jet::ObjectClosed);
}

TEST(ConnectionOpen, RefusesMissingFilesAndFoldersWithoutCreatingThem)
{
    TempFolder folder;
    const std::string missing = folder.File("nothing.mdb");
    ExpectRefused(folder.Path(), missing, jet::CouldNotFindFile,
                  "Could not find file '" + missing + "'.");
    const std::string noFolder = folder.File("gone") + "\\x.mdb";
    ExpectRefused(
        folder.Path(), noFolder, jet::InvalidPath,
        "'" + noFolder +
            "' is not a valid path.  Make sure that the path name is "
            "spelled correctly and that you are connected to the server on which the file "
            "resides.");
    EXPECT_EQ(OpenError(folder.Path()).Number(), jet::InvalidPath);
    EXPECT_EQ(OpenError("").Number(), jet::InvalidPath);
}

TEST(ConnectionOpen, RefusesFilesThatAreNoDatabaseAndWritesNothing)
{
    TempFolder folder;
    const std::string text = folder.File("notes.mdb");
    test::WriteFile(text, std::string(4096, 'x'));
    ExpectRefused(folder.Path(), text, jet::UnrecognizedFormat,
                  "Unrecognized database format '" + text + "'.");
    const std::string empty = folder.File("empty.mdb");
    test::WriteFile(empty, "");
    ExpectRefused(folder.Path(), empty, jet::UnrecognizedFormat,
                  "Unrecognized database format '" + empty + "'.");
}

TEST(ConnectionOpen, RefusesTruncatedDatabasesAndWritesNothing)
{
    TempFolder folder;
    const std::string whole = folder.File("whole.mdb");
    test::MakeDatabase(whole, "CREATE TABLE Log (x TEXT); "
                              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                              "WHERE i < 2000) INSERT INTO Log SELECT printf('%050d', i) FROM n;");
    const std::string bytes = test::ReadFile(whole);
    ASSERT_GT(bytes.size(), 3 * 4096u);
    const std::string description = "Cannot open database '|'.  It may not be a database that "
                                    "your application recognizes, or the file may be corrupt.";
    for (const std::size_t keep : {std::size_t{4096}, bytes.size() / 2, std::size_t{5000}}) {
        const std::string cut = folder.File("cut" + std::to_string(keep) + ".mdb");
        test::WriteFile(cut, bytes.substr(0, keep));
        std::string expected = description;
        expected.replace(expected.find('|'), 1, cut);
        ExpectRefused(folder.Path(), cut, jet::CannotOpenDatabase, expected);
    }
}

TEST(ConnectionOpen, ReadOnlyFolderRefusesAtOpenAndWritesNothing)
{
    TempFolder folder;
    const std::string locked = folder.File("locked");
    std::filesystem::create_directory(locked);
    const std::string path = locked + "/Compact20.mdb";
    std::filesystem::copy_file(test::BuiltConfigDatabase(), path);
    chmod(folder.Path().c_str(), 0755);
    chmod(path.c_str(), 0644);
    chmod(locked.c_str(), 0555);
    const auto before = test::FolderContents(locked);

    const long number = test::ErrorNumberUnprivileged([&] {
        Connection connection;
        connection.Open(ConnectionText(path));
    });
    if (number == -1)
        GTEST_SKIP() << "cannot drop the right to write here";
    EXPECT_EQ(number, jet::FileInUse);
    EXPECT_EQ(test::FolderContents(locked), before);
    EXPECT_EQ(JetDescription(jet::FileInUse, path),
              "The database engine cannot open the file '" + path +
                  "'.  It is already opened "
                  "exclusively by another user, or you need permission to view its data.");
}

class ConfigSql : public ::testing::Test
{
protected:
    void SetUp() override { connection.Open(ConnectionText(config.DatabasePath())); }

    MallowError SqlError(const std::string& sql)
    {
        try {
            connection.Execute(sql);
        } catch (const MallowError& error) {
            return error;
        }
        return MallowError(0, "", "ran");
    }

    long Count(const std::string& sql, const std::vector<Value>& parameters = {})
    {
        Recordset rs;
        rs.Open(sql, connection, adCmdText, parameters);
        return rs.RecordCount();
    }

    ConfigFixture config;
    Connection connection;
};

TEST_F(ConfigSql, ErrorsCarryTheEngineNumbersAndTexts)
{
    const MallowError table = SqlError("Select * from Nowhere;");
    EXPECT_EQ(table.Number(), jet::TableNotFound);
    EXPECT_EQ(table.Description(), "The database engine cannot find the input table or query "
                                   "'Nowhere'.  Make sure it exists and that its name is spelled "
                                   "correctly.");
    const MallowError column = SqlError("Select Nonsense from Apps");
    EXPECT_EQ(column.Number(), jet::TooFewParameters);
    EXPECT_EQ(column.Description(), "Too few parameters. Expected 1.");
    const MallowError syntax = SqlError("Select * from Apps Where App = = 'x'");
    EXPECT_EQ(syntax.Number(), jet::SyntaxError);
    EXPECT_EQ(syntax.Description(),
              "Syntax error (missing operator) in query expression 'App = = 'x''.");
    EXPECT_EQ(SqlError("Select * from Apps Log Junk").Number(), jet::FromClauseSyntax);
    EXPECT_EQ(SqlError("Select * from").Number(), jet::FromClauseSyntax);
    EXPECT_EQ(SqlError("Apps").Number(), jet::InvalidStatement);
    EXPECT_EQ(SqlError("Select * from Apps; Delete from Apps").Number(), jet::CharactersAfterEnd);
    EXPECT_EQ(SqlError("Select Nope(App) from Apps").Number(), jet::UndefinedFunction);
}

TEST_F(ConfigSql, ValuesAreBoundNeverSpliced)
{
    const std::vector<std::string> awkward = {"C:\\It's \"here\"\\50%_off.mdb", "x' OR '1'='1",
                                              "Ünïcødé – 日本.mdb", "#1/1/2000#"};
    for (const auto& path : awkward)
        connection.Execute("INSERT INTO Apps (App) VALUES (?)", {Value(path)});
    Recordset rs;
    rs.Open("SELECT App FROM Apps ORDER BY [App ID]", connection);
    for (const auto& path : awkward) {
        ASSERT_FALSE(rs.Eof());
        EXPECT_EQ(rs.Field("App").ToText(), path);
        rs.MoveNext();
    }
    EXPECT_EQ(Count("SELECT * FROM Apps WHERE App = ?", {Value("x' OR '1'='1")}), 1);
    EXPECT_EQ(Count("SELECT * FROM Apps WHERE App Like ?", {Value("x' OR '1'='1")}), 1);
    EXPECT_EQ(test::ErrorNumberOf([&] { Count("SELECT * FROM Apps WHERE App = ?"); }),
              jet::TooFewParameters);
}

TEST_F(ConfigSql, LikeIgnoresCaseBeyondAsciiWithPercentAndUnderscore)
{
    for (const char* path : {"C:\\Data\\École.mdb", "C:\\Data\\Sales.mdb", "D:\\Other\\x.mdb"})
        config.AddApp(path);
    EXPECT_EQ(Count("SELECT * FROM Apps WHERE App Like ?", {Value("%")}), 3);
    EXPECT_EQ(Count("SELECT * FROM Apps WHERE App Like ?", {Value("c:\\data\\%")}), 2);
    EXPECT_EQ(Count("SELECT * FROM Apps WHERE App Like ?", {Value("%école.MDB")}), 1);
    EXPECT_EQ(Count("SELECT * FROM Apps WHERE App Like ?", {Value("C:\\Data\\_ales.mdb")}), 1);
    EXPECT_EQ(Count("SELECT * FROM Apps WHERE App Like 'C:\\Data\\*'"), 0);
}

TEST_F(ConfigSql, ResultsQueryTakesWholeDaysAndPruningKeepsTheDayItself)
{
    // 12/07/2026 10:00, 12/08/2026 23:59, 12/09/2026 00:00
    config.Sql("INSERT INTO Log (Application, Successful, TimeLogged) VALUES "
               "('C:\\a.mdb', 1, 46363.41666666666), ('C:\\a.mdb', 0, 46364.99930555555), "
               "('C:\\b.mdb', 1, 46365.0);");
    config.Sql("INSERT INTO LogBackup (Application, Successful, TimeLogged) VALUES "
               "('C:\\a.mdb', 1, 46363.5), ('C:\\a.mdb', 1, 46364.5);");
    const std::string query =
        "SELECT Log.[Event ID] as ID,Log.Application as App,Log.Successful,Log.[Size Before],"
        "Log.[Size After],Log.TimeLogged as Logged,Log.Comments  From Log Where "
        "(Log.Application Like ?) AND (CDate(Format(Log.TimeLogged,'mm/dd/yyyy')) between "
        "#12/08/2026# and #12/08/2026#) Order by Log.TimeLogged DESC;";
    Recordset rs;
    rs.Open(query, connection, adCmdText, {Value("%")});
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.FieldNames(), (std::vector<std::string>{"ID", "App", "Successful", "Size Before",
                                                         "Size After", "Logged", "Comments"}));
    EXPECT_EQ(rs.Field("Successful").ToText(), "False");
    EXPECT_EQ(rs.Field("Logged").ToText(), "12/8/2026 11:59:00 PM");
    EXPECT_TRUE(rs.Field("Size Before").IsNull());
    rs.Close();
    rs.Open(query, connection, adCmdText, {Value("C:\\b%")});
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_TRUE(rs.Bof() && rs.Eof());

    EXPECT_EQ(connection.Execute("Delete Log.* From Log WHERE (((Log.TimeLogged)<#12/08/2026#));"),
              1);
    EXPECT_EQ(
        connection.Execute(
            "Delete LogBackup.* From LogBackup WHERE (((LogBackup.TimeLogged)<#12/8/2026#));"),
        1);
    EXPECT_EQ(config.Scalar("SELECT count(*) FROM Log"), "2");
    EXPECT_EQ(config.Scalar("SELECT count(*) FROM LogBackup"), "1");
}

TEST_F(ConfigSql, FormatAndCDateFollowTheDateHelpers)
{
    Recordset rs;
    rs.Open("SELECT Format(46364.5, 'mm/dd/yyyy') AS d, CDate('12/8/2026 6:00 PM') AS c, "
            "Format(1234.5, '#,##0.00') AS n, Format(NULL, 'mm/dd/yyyy') AS z",
            connection);
    EXPECT_EQ(rs.Field("d").ToText(), "12/08/2026");
    EXPECT_DOUBLE_EQ(rs.Field("c").ToDouble(), 46364.75);
    EXPECT_EQ(rs.Field("n").ToText(), "1,234.50");
    EXPECT_TRUE(rs.Field("z").IsNull());
    EXPECT_EQ(test::ErrorNumberOf([&] {
                  Recordset bad;
                  bad.Open("SELECT CDate('no date') AS c", connection);
              }),
              jet::CriteriaTypeMismatch);
}

TEST_F(ConfigSql, TableNamesIgnoreCase)
{
    config.Sql("INSERT INTO LogBackup (Application) VALUES ('x')");
    Recordset byTable;
    byTable.Open("LogBackUp", connection, adCmdTable);
    EXPECT_EQ(byTable.RecordCount(), 1);
    EXPECT_EQ(Count("select * from LOGBACKUP"), 1);
    EXPECT_EQ(connection.Execute("Delete logbackup.* From LogBackUp"), 1);
    EXPECT_EQ(test::ErrorNumberOf([&] {
                  Recordset missing;
                  missing.Open("LogBook", connection, adCmdTable);
              }),
              jet::TableNotFound);
}

// Opening a second connection must not cost the first one its locks: another process could
// then write into the middle of the first one's transaction.
TEST(ConnectionOpen, SecondConnectionKeepsTheLocksOfTheFirst)
{
    TempFolder folder;
    const std::string path = folder.File("app.mdb");
    test::MakeDatabase(path, "CREATE TABLE t (x INTEGER);");
    Connection writer;
    writer.OpenFile(path);
    ASSERT_EQ(sqlite3_exec(writer.Handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr),
              SQLITE_OK);
    Connection second;
    second.OpenFile(path);

    // A fresh program, not a fork: a forked child would share SQLite's record of the locks.
    const std::string command = "sqlite3 -bail '" + path +
                                "' 'BEGIN IMMEDIATE; ROLLBACK;' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        GTEST_SKIP() << "no sqlite3 program to play the other process";
    EXPECT_NE(status, 0) << "another process could start writing while the first connection was";
    sqlite3_exec(writer.Handle(), "COMMIT", nullptr, nullptr, nullptr);
}

} // namespace
} // namespace mallow::engine
