#include "EngineTestSupport.h"

#include "engine/Connection.h"
#include "engine/DBEngine.h"
#include "engine/JetError.h"
#include "engine/LockFile.h"
#include "fixtures/ManagedDatabase.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace mallow::engine {
namespace {

using test::ErrorNumberOf;
using test::ManagedRowCount;
using test::Mallowdb;

bool Exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

MallowError CompactError(const std::string& source, const std::string& destination,
                         const std::string& sourceLocale = "")
{
    try {
        Engine().CompactDatabase(source, destination, "", 0, sourceLocale);
    } catch (const MallowError& error) {
        return error;
    }
    return MallowError(0, "", "compacted");
}

// Runs SQL on a database straight through SQLite, as another program would.
void Sql(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 10000);
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << sql;
}

// Runs `work` in a child process that is killed with SIGKILL once it has signalled, as a crash
// in the middle of it would. `work` signals by calling the function it is given.
void CrashAfter(const std::function<void(const std::function<void()>&)>& work)
{
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        work([&] {
            const char ok = 1;
            (void)!write(ready[1], &ok, 1);
            for (;;)
                pause();
        });
        _exit(1);
    }
    close(ready[1]);
    char ok = 0;
    const bool signalled = read(ready[0], &ok, 1) == 1;
    close(ready[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(signalled) << "the child never got to the point of the crash";
}

// A writer that dies in the middle of a transaction that has already written pages into the
// database file, leaving the journal that undoes them.
void CrashMidTransaction(const std::string& path)
{
    CrashAfter([&](const std::function<void()>& signal) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        // A tiny cache makes SQLite spill changed pages into the file before the commit.
        sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN; UPDATE Items SET Notes = 'changed';"
                         "DELETE FROM Items WHERE ID > 10;",
                     nullptr, nullptr, nullptr);
        signal();
    });
}

class Compaction : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetEngine();
        test::MakeManagedDatabase(source, 400, true);
        rows = ManagedRowCount(source);
    }
    void TearDown() override { ResetEngine(); }
    static void ResetEngine()
    {
        Engine().SystemDB.clear();
        Engine().DefaultUser.clear();
        Engine().DefaultPassword.clear();
    }

    test::TempFolder folder;
    std::string source = folder.File("sales.mdb");
    std::string target = folder.File("salesMLW.mdb");
    int rows = 0;
};

TEST_F(Compaction, WritesASmallerSoundCopyAndLeavesTheSourceAlone)
{
    const std::string before = test::ReadFile(source);
    Engine().CompactDatabase(source, target);
    EXPECT_EQ(ManagedRowCount(target), rows);
    EXPECT_LT(std::filesystem::file_size(target), before.size());
    EXPECT_EQ(test::ReadFile(source), before);
    for (const char* left : {"sales.ldb", "sales.mdb-journal", "salesMLW.mdb-journal"})
        EXPECT_FALSE(Exists(folder.File(left))) << left;
    // Either separator names the files.
    Engine().CompactDatabase(folder.Path() + "\\sales.mdb", folder.Path() + "\\copy.mdb");
    EXPECT_EQ(ManagedRowCount(folder.File("copy.mdb")), rows);
    EXPECT_EQ(&Engine(), &Engine());
    EXPECT_FALSE(Engine().Version().empty());
}

TEST_F(Compaction, ErrorsLeaveNoDestination)
{
    MallowError error = CompactError(folder.File("gone.mdb"), target);
    EXPECT_EQ(error.Number(), jet::CouldNotFindFile);
    EXPECT_EQ(error.Description(), "Could not find file '" + folder.File("gone.mdb") + "'.");

    for (const char* contents : {"", "this is a text file and no database at all"}) {
        test::WriteFile(folder.File("text.mdb"), contents);
        error = CompactError(folder.File("text.mdb"), target);
        EXPECT_EQ(error.Number(), jet::UnrecognizedFormat);
        EXPECT_EQ(error.Description(),
                  "Unrecognized database format '" + folder.File("text.mdb") + "'.");
        EXPECT_EQ(test::ReadFile(folder.File("text.mdb")), contents);
    }
    EXPECT_FALSE(Exists(target));

    test::WriteFile(target, "keep me");
    error = CompactError(source, target);
    EXPECT_EQ(error.Number(), jet::DatabaseExists);
    EXPECT_EQ(error.Description(), "Database already exists.");
    EXPECT_EQ(test::ReadFile(target), "keep me");

    EXPECT_EQ(CompactError(source, folder.File("no/such/folder.mdb")).Number(),
              jet::InvalidPath);
    EXPECT_FALSE(Exists(folder.File("sales.ldb")));
}

TEST_F(Compaction, DatabasePasswordComesInTheSourceLocaleAndStaysOnTheCopy)
{
    ASSERT_EQ(Mallowdb({"set-password", source, " pw "}), 0);
    for (const char* locale : {"", ";pwd=", ";pwd=pw", ";pwd= pw", ";pwd= PW "}) {
        const MallowError error = CompactError(source, target, locale);
        EXPECT_EQ(error.Number(), jet::PasswordInvalid) << "'" << locale << "'";
        EXPECT_EQ(error.Description(), "Not a valid password.");
        EXPECT_FALSE(Exists(target));
    }
    Engine().CompactDatabase(source, target, "", 0, ";pwd= pw ");
    EXPECT_EQ(ErrorNumberOf([&] {
                  Connection connection;
                  connection.OpenFile(target);
              }),
              jet::PasswordInvalid);
    Connection connection;
    connection.OpenFile(target, " pw ");
}

TEST_F(Compaction, WorkgroupAccountIsCheckedForEveryDatabase)
{
    const std::string workgroup = folder.File("sales.mdw");
    ASSERT_EQ(Mallowdb({"create-workgroup", workgroup}), 0);
    ASSERT_EQ(Mallowdb({"add-account", workgroup, "Fred", "fred"}), 0);

    Engine().SystemDB = folder.File("missing.mdw");
    Engine().DefaultUser = "Fred";
    Engine().DefaultPassword = "fred";
    MallowError error = CompactError(source, target);
    EXPECT_EQ(error.Number(), jet::WorkgroupMissing);
    EXPECT_EQ(error.Description(), "Cannot start your application.  The workgroup information "
                                   "file is missing or opened exclusively by another user.");
    Engine().SystemDB = source; // a database, but no workgroup file
    EXPECT_EQ(CompactError(folder.File("gone.mdb"), target).Number(), jet::WorkgroupMissing);

    Engine().SystemDB = workgroup;
    Engine().DefaultPassword = "fred ";
    error = CompactError(source, target);
    EXPECT_EQ(error.Number(), jet::AccountInvalid);
    EXPECT_EQ(error.Description(), "Not a valid account name or password.");
    EXPECT_FALSE(Exists(target));
    // The settings stay on the engine object; with a right account any database compacts.
    Engine().DefaultPassword = "fred";
    Engine().CompactDatabase(source, target);
    EXPECT_EQ(Engine().SystemDB, workgroup);
    EXPECT_EQ(ManagedRowCount(target), rows);
}

TEST_F(Compaction, SecuredDatabaseNeedsItsOwnWorkgroupsAccount)
{
    const std::string workgroup = folder.File("sales.mdw");
    const std::string other = folder.File("other.mdw");
    for (const std::string& file : {workgroup, other}) {
        ASSERT_EQ(Mallowdb({"create-workgroup", file}), 0);
        ASSERT_EQ(Mallowdb({"add-account", file, "Fred", "fred"}), 0);
    }
    ASSERT_EQ(Mallowdb({"secure", source, workgroup, "Fred"}), 0);
    ASSERT_EQ(Mallowdb({"set-password", source, "pw"}), 0);

    EXPECT_EQ(CompactError(source, target, ";pwd=pw").Number(), jet::AccountInvalid);
    Engine().SystemDB = other;
    Engine().DefaultUser = "Fred";
    Engine().DefaultPassword = "fred";
    EXPECT_EQ(CompactError(source, target, ";pwd=pw").Number(), jet::AccountInvalid);
    Engine().SystemDB = workgroup;
    Engine().DefaultUser = "Admin";
    Engine().DefaultPassword = "";
    EXPECT_EQ(CompactError(source, target, ";pwd=pw").Number(), jet::AccountInvalid);
    Engine().DefaultUser = "Fred";
    Engine().DefaultPassword = "fred";
    EXPECT_EQ(CompactError(source, target, ";pwd=wrong").Number(), jet::PasswordInvalid);
    EXPECT_FALSE(Exists(target));

    Engine().CompactDatabase(source, target, "", 0, ";pwd=pw");
    EXPECT_EQ(ErrorNumberOf([&] {
                  Connection connection;
                  connection.OpenFile(target, "pw");
              }),
              jet::AccountInvalid);
    Connection connection;
    connection.Open("Data Source=" + target + ";Jet OLEDB:System database=" + workgroup +
                        ";Jet OLEDB:Database Password=pw",
                    "fred", "fred");
}

TEST_F(Compaction, RefusedWhileAnotherProcessHoldsTheDatabaseAllowedAfterItDies)
{
    test::LockHolder holder(source);
    ASSERT_EQ(holder.FirstLine(), "open");
    const MallowError error = CompactError(source, target);
    EXPECT_EQ(error.Number(), jet::OpenedExclusively);
    EXPECT_EQ(error.Description(),
              "You attempted to open a database that is already opened exclusively by user "
              "'Admin' on machine '" + LockComputerName() +
                  "'.  Try again when the database is available.");
    EXPECT_FALSE(Exists(target));
    EXPECT_EQ(ErrorNumberOf([&] { ExclusiveHold hold(source); }), jet::OpenedExclusively);

    holder.Kill();
    Engine().CompactDatabase(source, target);
    EXPECT_EQ(ManagedRowCount(target), rows);
}

TEST_F(Compaction, ExclusiveHoldKeepsOtherProcessesOutAndLetsThisOneCompact)
{
    {
        ExclusiveHold hold(source);
        test::LockHolder blocked(source);
        EXPECT_EQ(blocked.FirstLine(), "error 3051");
        Engine().CompactDatabase(source, target);
        EXPECT_EQ(ManagedRowCount(target), rows);

        // A connection of this process opened inside the hold still stops a compaction.
        Connection own;
        own.OpenFile(source);
        EXPECT_EQ(CompactError(source, folder.File("second.mdb")).Number(),
                  jet::OpenedExclusively);
        EXPECT_FALSE(Exists(folder.File("second.mdb")));
    }
    test::LockHolder admitted(source);
    EXPECT_EQ(admitted.FirstLine(), "open");
    EXPECT_EQ(admitted.Release(), 0);
}

TEST_F(Compaction, HotJournalIsRolledBackFirstAndNoJournalIsLeft)
{
    const std::string before = test::ReadFile(source);
    CrashMidTransaction(source);
    ASSERT_GT(std::filesystem::file_size(source + "-journal"), 0u);
    ASSERT_NE(test::ReadFile(source), before) << "the crash left nothing to roll back";

    Engine().CompactDatabase(source, target);
    EXPECT_EQ(ManagedRowCount(target), rows);
    EXPECT_FALSE(Exists(source + "-journal"));
    EXPECT_EQ(ManagedRowCount(source), rows);
}

TEST_F(Compaction, WriteAheadLogIsReadAndTheSourceStaysInItsMode)
{
    Sql(source, "PRAGMA journal_mode = WAL");
    // A writer that dies keeps its committed rows only in the log.
    CrashAfter([&](const std::function<void()>& signal) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(source.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, "PRAGMA wal_autocheckpoint = 0; INSERT INTO Items (Name) VALUES ('new')",
                     nullptr, nullptr, nullptr);
        signal();
    });
    ASSERT_GT(std::filesystem::file_size(source + "-wal"), 0u);

    Engine().CompactDatabase(source, target);
    EXPECT_EQ(ManagedRowCount(target), rows + 1);
    EXPECT_FALSE(Exists(source + "-journal"));
    EXPECT_EQ(ManagedRowCount(source), rows + 1);
    sqlite3* db = nullptr;
    sqlite3_open_v2(source.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal");
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

class DatabaseCopy : public ::testing::Test
{
protected:
    test::TempFolder folder;
    std::string source = folder.File("sales.mdb");
    std::string target = folder.File("copy.mdb");
};

TEST_F(DatabaseCopy, CopiesFilesAndRaisesTheRuntimeErrors)
{
    test::MakeManagedDatabase(source, 100, false);
    CopyDatabaseFile(source, target);
    EXPECT_EQ(test::ReadFile(target), test::ReadFile(source));

    // Anything else is copied as it is.
    test::WriteFile(folder.File("notes.txt"), "plain text");
    CopyDatabaseFile(folder.File("notes.txt"), folder.File("notes copy.txt"));
    EXPECT_EQ(test::ReadFile(folder.File("notes copy.txt")), "plain text");

    EXPECT_EQ(ErrorNumberOf([&] { CopyDatabaseFile(folder.File("gone.mdb"), target + "2"); }),
              53);
    EXPECT_EQ(ErrorNumberOf([&] { CopyDatabaseFile(folder.File("no/sales.mdb"), target + "2"); }),
              76);
    EXPECT_EQ(ErrorNumberOf([&] { CopyDatabaseFile(source, folder.File("no/copy.mdb")); }), 76);
    EXPECT_EQ(ErrorNumberOf([&] { CopyDatabaseFile(source, target); }), 58);
    EXPECT_FALSE(Exists(target + "2"));
}

TEST_F(DatabaseCopy, HotJournalIsRolledBackBeforeTheCopy)
{
    test::MakeManagedDatabase(source, 400, false);
    CrashMidTransaction(source);
    ASSERT_TRUE(Exists(source + "-journal"));
    CopyDatabaseFile(source, target);
    EXPECT_EQ(ManagedRowCount(target), 400);
}

TEST_F(DatabaseCopy, CopyWhileAnotherProcessWritesHoldsWholeTransactions)
{
    constexpr int StartRows = 3000;
    constexpr int RowsPerTransaction = 7;
    test::MakeDatabase(source,
                       "CREATE TABLE Items (Batch INTEGER, Notes TEXT);"
                       "CREATE TABLE Counter (n INTEGER); INSERT INTO Counter VALUES (0);"
                       "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " +
                           std::to_string(StartRows) +
                           ") INSERT INTO Items SELECT 0, hex(randomblob(400)) FROM k;");
    // Killed however the test ends.
    struct Child
    {
        pid_t pid = fork();
        ~Child()
        {
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    } writer;
    ASSERT_GE(writer.pid, 0);
    if (writer.pid == 0) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(source.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db, 60000);
        // Without waits for the disk the writer changes the file as often as it can.
        sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
        // Each transaction adds the rows of one batch, rewrites rows all over the file and
        // counts itself: a copy torn between two states breaks one of these.
        for (int batch = 1;; ++batch) {
            std::string transaction = "BEGIN IMMEDIATE;";
            for (int i = 0; i < RowsPerTransaction; ++i)
                transaction += "INSERT INTO Items VALUES (" + std::to_string(batch) +
                               ", hex(randomblob(400)));";
            transaction += "UPDATE Items SET Notes = hex(randomblob(400)) WHERE rowid % 4 = " +
                           std::to_string(batch % 4) + "; UPDATE Counter SET n = n + 1; COMMIT;";
            if (sqlite3_exec(db, transaction.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    const auto count = [](const std::string& path, const char* sql) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_busy_timeout(db, 10000);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        const int value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return value;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (count(source, "SELECT n FROM Counter") < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    int largest = 0;
    for (int round = 0; round < 60; ++round) {
        const std::string copy = folder.File("copy" + std::to_string(round) + ".mdb");
        CopyDatabaseFile(source, copy);
        sqlite3* db = nullptr;
        sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* check = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
        const bool checked = sqlite3_step(check) == SQLITE_ROW;
        const auto* verdict = checked ? sqlite3_column_text(check, 0) : nullptr;
        EXPECT_EQ(verdict ? std::string(reinterpret_cast<const char*>(verdict)) : "", "ok")
            << "round " << round;
        sqlite3_finalize(check);
        sqlite3_close(db);
        const int committed = count(copy, "SELECT n FROM Counter");
        EXPECT_EQ(count(copy, "SELECT count(*) FROM Items"),
                  StartRows + committed * RowsPerTransaction)
            << "round " << round;
        EXPECT_EQ(count(copy, "SELECT coalesce(max(Batch), 0) FROM Items"), committed);
        largest = std::max(largest, committed);
        std::filesystem::remove(copy);
    }
    EXPECT_GT(largest, 0) << "the writer never committed while the copies were made";
}

} // namespace
} // namespace mallow::engine
