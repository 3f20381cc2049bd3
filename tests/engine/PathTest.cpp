#include "EngineTestSupport.h"

#include "engine/Connection.h"
#include "engine/JetError.h"
#include "engine/LongPaths.h"
#include "engine/Recordset.h"
#include "fixtures/ConfigFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

namespace mallow::engine {
namespace {

namespace fs = std::filesystem;
using test::ErrorNumberOf;
using test::TempFolder;

std::string ConnectionText(const std::string& path)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" +
           Connection::QuotedValue(path);
}

// A folder inside `base` whose path is exactly `length` bytes long.
std::string FolderOfLength(const std::string& base, std::size_t length)
{
    std::string path = base;
    while (path.size() < length) {
        const std::size_t left = length - path.size() - 1;
        // No piece may be a single character short of the end: it would need an empty name.
        const std::size_t piece = left > 250 ? (left - 250 < 2 ? 200 : 250) : left;
        path += "/" + std::string(piece, 'p');
    }
    fs::create_directories(path);
    return path;
}

// Opens the configuration database at `path`, changes and reads a row, and closes it again.
void WriteAndReadBack(const std::string& path, const std::string& value)
{
    Connection connection;
    connection.Open(ConnectionText(path));
    Recordset schedule;
    schedule.Open("Schedule", connection, adCmdTable);
    schedule.SetField("Backup", Value(value));
    schedule.Update();
    Recordset fresh;
    fresh.Open("SELECT Backup FROM Schedule", connection);
    EXPECT_EQ(fresh.Field("Backup").ToText(), value);
    fresh.Close();
    schedule.Close();
    connection.Close();
}

TEST(ConnectionStrings, QuotedValuesHoldAnyText)
{
    EXPECT_EQ(Connection::QuotedValue("/opt/a;b"), "\"/opt/a;b\"");
    EXPECT_EQ(Connection::QuotedValue("say \"hi\"; 'x'"), "\"say \"\"hi\"\"; 'x'\"");

    TempFolder folder;
    for (const std::string name :
         {"semi;colon", " blanks ", "it's \"both\"; kinds", "\"leading quote", "=;=\"\"'"}) {
        const std::string dir = folder.File(name);
        fs::create_directories(dir);
        const std::string path = dir + "/Compact20.mdb";
        fs::copy_file(test::BuiltConfigDatabase(), path);
        SCOPED_TRACE(name);
        WriteAndReadBack(path, name);
        EXPECT_FALSE(fs::exists(dir + "/Compact20.ldb"));

        // A password with the same characters goes through OpenFile.
        ASSERT_EQ(test::Mallowdb({"set-password", path, name}), 0);
        Connection connection;
        EXPECT_EQ(ErrorNumberOf([&] { connection.OpenFile(path, name); }), 0);
        EXPECT_EQ(connection.Path(), path);
    }
    // An unquoted value still ends at the first ';'.
    Connection connection;
    EXPECT_EQ(ErrorNumberOf([&] { connection.Open("Data Source=" + folder.File("semi;colon")); }),
              jet::CouldNotFindFile);
}

TEST(LongPaths, DatabasesOpenWriteAndLockUpToTheSystemsLimit)
{
    const std::string file = "/Compact20.mdb";
    // Beyond SQLite's own 512 bytes, and up to the last byte the system takes for a lock file.
    for (const std::size_t length :
         {std::size_t{600}, std::size_t{PATH_MAX - 1 - file.size() - 4}}) {
        SCOPED_TRACE(length);
        TempFolder base;
        const std::string dir = FolderOfLength(base.Path(), length);
        const std::string path = dir + file;
        fs::copy_file(test::BuiltConfigDatabase(), path);
        WriteAndReadBack(path, "/backups/" + std::to_string(length));

        // Two clients at once, one of them another process: both are in the lock file.
        Connection ours;
        ours.Open(ConnectionText(path), "Fred", "");
        test::LockHolder other(path);
        EXPECT_EQ(other.FirstLine(), "open");
        EXPECT_EQ(fs::file_size(dir + "/Compact20.ldb"), 128u);
        EXPECT_EQ(other.Release(), 0);
        ours.Close();
        EXPECT_FALSE(fs::exists(dir + "/Compact20.ldb"));
        std::error_code ec;
        EXPECT_FALSE(fs::exists(path + "-journal", ec));
    }
}

TEST(LongPaths, BeyondTheSystemsLimitThePathIsTooLong)
{
    std::string path = "/tmp";
    while (path.size() < PATH_MAX)
        path += "/" + std::string(200, 'x');
    path += "/Compact20.mdb";
    Connection connection;
    try {
        connection.Open(ConnectionText(path));
        FAIL() << "opened a path longer than the system takes";
    } catch (const MallowError& e) {
        EXPECT_EQ(e.Number(), jet::InvalidPath);
        EXPECT_NE(e.Description().find("' is not a valid path.  It is longer than the " +
                                       std::to_string(PATH_MAX - 1) +
                                       " bytes this system allows in a path."),
                  std::string::npos)
            << e.Description();
    }
}

// A rollback journal that its file system reports busy when the commit removes it, as a network
// mount does while the close of the file is still on its way to the server, is removed once it
// is free; the commit holds and leaves no journal that would undo it. (A file that something is
// mounted on is busy in the same way.)
TEST(Journal, ABusyJournalIsRemovedOnceFreeAndTheCommitHolds)
{
    EnableLongPaths();
    TempFolder folder;
    const std::string path = folder.Path() + "/busy.db";
    const std::string journal = path + "-journal";
    const std::string cover = folder.Path() + "/cover";
    std::ofstream(cover) << "";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode = DELETE; CREATE TABLE t (x);"
                               "BEGIN; INSERT INTO t VALUES (1);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_TRUE(fs::exists(journal));
    if (mount(cover.c_str(), journal.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        sqlite3_close_v2(db);
        GTEST_SKIP() << "no bind mounts here: " << std::strerror(errno);
    }
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        umount2(journal.c_str(), MNT_DETACH);
    });
    const int rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    release.join();
    EXPECT_EQ(rc, SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close_v2(db);
    EXPECT_FALSE(fs::exists(journal));

    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* count = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM t", -1, &count, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(count, 0), 1);
    sqlite3_finalize(count);
    sqlite3_close_v2(db);
}

} // namespace
} // namespace mallow::engine
