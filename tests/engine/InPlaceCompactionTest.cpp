// Compaction in place of databases that other programs and other processes have open.

#include "EngineTestSupport.h"

#include "engine/Connection.h"
#include "engine/DBEngine.h"
#include "engine/JetError.h"
#include "fixtures/ChildProcess.h"
#include "fixtures/ManagedDatabase.h"
#include "fixtures/SmallDisk.h"
#include "util/MallowError.h"
#include "util/Work.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace mallow::engine {
namespace {

using test::ChildProcess;
using test::ErrorNumberOf;
using test::ManagedRowCount;
using test::SqliteClientCommand;

// A value of a database read straight through SQLite, as another program reads it.
std::string Query(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt* stmt = nullptr;
    std::string value = "(none)";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(stmt, 0);
        value = text ? reinterpret_cast<const char*>(text) : "NULL";
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

int FreePages(const std::string& path)
{
    return std::stoi(Query(path, "PRAGMA freelist_count"));
}

std::string JournalMode(const std::string& path)
{
    return Query(path, "PRAGMA journal_mode");
}

long CompactInPlace(const std::string& path)
{
    return ErrorNumberOf([&] { Engine().CompactDatabaseInPlace(path); });
}

class InPlace : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Engine().LockWaitMilliseconds = 300;
        test::MakeManagedDatabase(path, 2000, true);
        rows = ManagedRowCount(path);
        ASSERT_GT(FreePages(path), 0);
    }
    void TearDown() override { Engine().LockWaitMilliseconds = 10000; }

    test::TempFolder folder;
    std::string path = folder.File("sales.mdb");
    int rows = 0;
};

// An idle client of another program, in every journal mode, keeps working through the
// compaction without reopening, and each of its commits is in the file at the path.
TEST_F(InPlace, ForeignClientsInEveryJournalModeKeepTheirCommits)
{
    for (const std::string mode : {"delete", "truncate", "persist", "memory", "off", "wal"}) {
        SCOPED_TRACE(mode);
        test::MakeManagedDatabase(path, 2000, true, true);
        ChildProcess client(SqliteClientCommand(path, mode));
        ASSERT_EQ(client.ReadLine(), "ready " + mode);
        ASSERT_EQ(client.Ask("insert before").rfind("ok ", 0), 0u);
        const std::string fileMode = mode == "wal" ? "wal" : "delete";

        EXPECT_EQ(CompactInPlace(path), 0);
        EXPECT_EQ(FreePages(path), 0);
        EXPECT_EQ(JournalMode(path), fileMode);

        const std::string answer = client.Ask("insert after");
        EXPECT_EQ(answer.rfind("ok ", 0), 0u) << answer;
        EXPECT_EQ(client.Ask("count"), "ok " + std::to_string(rows + 2));
        client.CloseInput();
        client.Stop(SIGTERM);
        EXPECT_EQ(ManagedRowCount(path), rows + 2);
        EXPECT_EQ(Query(path, "SELECT count(*) FROM Items WHERE Name IN ('before', 'after')"),
                  "2");
        EXPECT_EQ(JournalMode(path), fileMode);
    }
}

// A client inside a transaction keeps the compaction out (rollback journal) for as long as the
// wait lasts: refused as in use, the file untouched; once it commits, its row is kept and the
// compaction goes through. In WAL mode a reader does not stand in the way at all.
TEST_F(InPlace, OpenTransactionsOfOtherProgramsRefuseItAsInUse)
{
    for (const std::string transaction : {"begin-read", "begin-write"}) {
        SCOPED_TRACE(transaction);
        test::MakeManagedDatabase(path, 2000, true, true);
        ChildProcess client(SqliteClientCommand(path, "delete"));
        ASSERT_EQ(client.ReadLine(), "ready delete");
        ASSERT_EQ(client.Ask(transaction).rfind("ok", 0), 0u);
        const std::string before = test::ReadFile(path);

        EXPECT_EQ(CompactInPlace(path), jet::OpenedExclusively);
        EXPECT_TRUE(test::ReadFile(path) == before);

        EXPECT_EQ(client.Ask("commit"), "ok");
        EXPECT_EQ(CompactInPlace(path), 0);
        EXPECT_EQ(client.Ask("insert later").rfind("ok ", 0), 0u);
        const int written = transaction == "begin-write" ? 2 : 1;
        EXPECT_EQ(ManagedRowCount(path), rows + written);
    }

    test::MakeManagedDatabase(path, 2000, true, true);
    ChildProcess reader(SqliteClientCommand(path, "wal"));
    ASSERT_EQ(reader.ReadLine(), "ready wal");
    ASSERT_EQ(reader.Ask("begin-read"), "ok " + std::to_string(rows));
    EXPECT_EQ(CompactInPlace(path), 0);
    // The reader keeps the snapshot it started with, then sees the compacted file.
    EXPECT_EQ(reader.Ask("count"), "ok " + std::to_string(rows));
    EXPECT_EQ(reader.Ask("commit"), "ok");
    EXPECT_EQ(reader.Ask("insert later").rfind("ok ", 0), 0u);
    EXPECT_EQ(ManagedRowCount(path), rows + 1);
    EXPECT_EQ(JournalMode(path), "wal");
}

// A program committing rows as fast as it can while the database is compacted again and
// again: every commit SQLite confirmed to it is in the file afterwards.
TEST_F(InPlace, ACommittingLoopLosesNothingOverRepeatedCompactions)
{
    for (const std::string mode : {"delete", "wal"}) {
        SCOPED_TRACE(mode);
        test::MakeManagedDatabase(path, 2000, true, true);
        ChildProcess writer(SqliteClientCommand(path, mode, true));
        ASSERT_EQ(writer.ReadLine(), "ready " + mode);
        int compacted = 0;
        for (int round = 0; round < 40; ++round) {
            const long number = CompactInPlace(path);
            EXPECT_TRUE(number == 0 || number == jet::OpenedExclusively) << number;
            compacted += number == 0;
            usleep(5000);
        }
        writer.CloseInput();
        writer.Stop(SIGTERM);
        std::set<std::string> confirmed;
        while (const auto line = writer.ReadLine(std::chrono::milliseconds(200)))
            confirmed.insert("loop " + *line);
        EXPECT_GT(compacted, 10);
        EXPECT_GT(confirmed.size(), 10u);
        EXPECT_EQ(ManagedRowCount(path), rows + static_cast<int>(confirmed.size()));
        for (const std::string& name : confirmed)
            ASSERT_EQ(Query(path, "SELECT count(*) FROM Items WHERE Name = '" + name + "'"), "1")
                << name;
    }
}

// Three processes of our own engine open, write and close the database while it is compacted
// again and again. They meet only refusals they can retry, never a write reported as failed
// that was made, and all they wrote is kept.
TEST_F(InPlace, EngineClientsInOtherProcessesSeeOnlyRetryableRefusals)
{
    constexpr int Clients = 3;
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    std::vector<pid_t> children;
    for (int client = 0; client < Clients; ++client) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(report[0]);
            for (int n = 0;; ++n) {
                const std::string marker = "c" + std::to_string(client) + "-" + std::to_string(n);
                std::string line;
                Connection connection;
                try {
                    connection.OpenFile(path);
                } catch (const MallowError& error) {
                    line = "refused " + std::to_string(error.Number());
                }
                if (line.empty()) {
                    try {
                        connection.Execute("INSERT INTO Items (Name) VALUES (?)", {Value(marker)});
                        line = "wrote " + marker;
                    } catch (const MallowError& error) {
                        line = "failed " + marker + " " + std::to_string(error.Number());
                    }
                }
                line += "\n";
                if (write(report[1], line.data(), line.size()) <= 0)
                    _exit(0);
            }
        }
        children.push_back(child);
    }
    close(report[1]);
    fcntl(report[0], F_SETFL, O_NONBLOCK);
    std::string all;
    const auto drain = [&] {
        char buffer[65536];
        for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
            all.append(buffer, static_cast<std::size_t>(n));
    };
    // Until enough of both happened, within a bound.
    int compacted = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((compacted < 15 || Occurrences(all, "wrote ") < 60) &&
           std::chrono::steady_clock::now() < deadline) {
        const long number = CompactInPlace(path);
        EXPECT_TRUE(number == 0 || number == jet::OpenedExclusively) << number;
        compacted += number == 0;
        drain();
    }
    for (const pid_t child : children)
        kill(child, SIGKILL);
    for (const pid_t child : children)
        waitpid(child, nullptr, 0);
    fcntl(report[0], F_SETFL, 0);
    drain();
    close(report[0]);
    std::set<std::string> written;
    std::set<long> refusals;
    for (std::size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = all.substr(at, end - at);
        if (line.rfind("wrote ", 0) == 0)
            written.insert(line.substr(6));
        else if (line.rfind("refused ", 0) == 0)
            refusals.insert(std::stol(line.substr(8)));
        else
            ADD_FAILURE() << line;
    }
    EXPECT_GE(compacted, 15);
    EXPECT_GE(written.size(), 20u);
    for (const long number : refusals)
        EXPECT_TRUE(number == jet::FileInUse || number == jet::OpenedExclusively ||
                    number == jet::CurrentlyLocked)
            << number;
    // A write killed before it was reported may be there as well; every reported one is.
    EXPECT_GE(ManagedRowCount(path), rows + static_cast<int>(written.size()));
    for (const std::string& marker : written)
        ASSERT_EQ(Query(path, "SELECT count(*) FROM Items WHERE Name = '" + marker + "'"), "1")
            << marker;
}

// Two compactions of one database at once, from two processes: each either compacts or is
// refused as in use, and the database stays whole.
TEST_F(InPlace, TwoCompactionsAtOnceOneWinsTheOtherIsRefused)
{
    test::MakeManagedDatabase(path, 30000, true, true);
    rows = ManagedRowCount(path);
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(report[0]);
            for (int round = 0; round < 10; ++round) {
                const long number = CompactInPlace(path);
                (void)!write(report[1], &number, sizeof number);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    close(report[1]);
    for (const pid_t child : children)
        waitpid(child, nullptr, 0);
    int compacted = 0;
    int refused = 0;
    for (long number; read(report[0], &number, sizeof number) == sizeof number;) {
        EXPECT_TRUE(number == 0 || number == jet::OpenedExclusively) << number;
        compacted += number == 0;
        refused += number == jet::OpenedExclusively;
    }
    close(report[0]);
    EXPECT_GT(compacted, 0);
    EXPECT_GT(refused, 0) << "the two compactions never met";
    EXPECT_EQ(ManagedRowCount(path), rows);
}

// The file stays the same file: inode, owner, group, mode, extended attributes, hard links,
// and the file a symbolic link leads to, which is compacted through the link.
TEST_F(InPlace, TheFileKeepsItsIdentity)
{
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    }
    const std::string link = folder.File("second name.mdb");
    const std::string symlink = folder.File("shortcut.mdb");
    ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
    ASSERT_EQ(::symlink(path.c_str(), symlink.c_str()), 0);
    const bool xattrs = setxattr(path.c_str(), "user.mallow", "kept", 4, 0) == 0;
    struct stat before = {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    if (root) {
        // The lock file the administrator makes belongs to the database's owner, so that the
        // owner's programs can still open it should Mallow stop while holding it.
        ExclusiveHold hold(path);
        struct stat lock = {};
        ASSERT_EQ(stat(folder.File("sales.ldb").c_str(), &lock), 0);
        EXPECT_EQ(lock.st_uid, 65534u);
        EXPECT_EQ(lock.st_mode & 0777, 0640u);
    }

    EXPECT_EQ(CompactInPlace(symlink), 0);

    struct stat after = {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_LT(after.st_size, before.st_size);
    EXPECT_EQ(FreePages(link), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(symlink));
    if (xattrs) {
        char value[16] = {};
        EXPECT_EQ(getxattr(path.c_str(), "user.mallow", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
    // Nothing else is left beside it: no journal, no lock file.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"sales.mdb", "second name.mdb", "shortcut.mdb"}));
    EXPECT_EQ(ManagedRowCount(path), rows);
}

// An unprivileged user compacts a database of their own in a folder of their own, and the
// database keeps its private mode.
TEST_F(InPlace, AnUnprivilegedOwnerCompactsAPrivateDatabase)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to become another user";
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
    const std::string own = folder.File("own");
    std::filesystem::create_directory(own);
    const std::string database = own + "/private.mdb";
    test::MakeManagedDatabase(database, 2000, true);
    ASSERT_EQ(chmod(database.c_str(), 0600), 0);
    ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(database.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(own.c_str(), 0700), 0);
    EXPECT_EQ(test::ErrorNumberUnprivileged([&] { Engine().CompactDatabaseInPlace(database); }), 0);
    struct stat st = {};
    ASSERT_EQ(stat(database.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(FreePages(database), 0);
}

// A compaction killed at any moment leaves the database with all its rows, and nothing that
// keeps the next compaction from working.
TEST_F(InPlace, KilledAtRandomMomentsLeavesAWholeDatabase)
{
    for (const std::string mode : {"delete", "wal"}) {
        SCOPED_TRACE(mode);
        test::MakeManagedDatabase(path, 40000, true, true);
        if (mode == "wal")
            test::MakeDatabase(path, "PRAGMA journal_mode = WAL");
        rows = ManagedRowCount(path);
        std::mt19937 random(12345);
        for (int round = 0; round < 12; ++round) {
            test::MakeDatabase(path, "DELETE FROM Items WHERE ID IN (SELECT ID FROM Items LIMIT 50);"
                                     "INSERT INTO Items (Name, Notes) SELECT Name, Notes FROM "
                                     "Items LIMIT 50");
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                Engine().CompactDatabaseInPlace(path);
                _exit(0);
            }
            usleep(std::uniform_int_distribution<useconds_t>(0, 250000)(random));
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            ASSERT_EQ(ManagedRowCount(path), rows) << "round " << round;
            EXPECT_EQ(JournalMode(path), mode);
        }
        EXPECT_EQ(CompactInPlace(path), 0);
        EXPECT_EQ(FreePages(path), 0);
        EXPECT_EQ(ManagedRowCount(path), rows);
    }
}

// On a disk too full for the work the compaction fails with the engine's error and leaves the
// file as it was; with room enough it compacts.
TEST_F(InPlace, ADiskTooFullLeavesTheFileAsItWas)
{
    test::SmallDisk disk(24 << 20);
    if (!disk.SkipReason().empty())
        GTEST_SKIP() << disk.SkipReason();
    const std::string database = disk.File("sales.mdb");
    for (const std::string mode : {"delete", "wal"}) {
        SCOPED_TRACE(mode);
        int compacted = 0;
        int full = 0;
        for (std::uint64_t room = 0; room <= (6 << 20); room += 256 << 10) {
            disk.Unfill();
            std::filesystem::remove(database);
            test::MakeManagedDatabase(database, 12000, true);
            if (mode == "wal")
                test::MakeDatabase(database, "PRAGMA journal_mode = WAL");
            rows = ManagedRowCount(database);
            const std::string before = test::ReadFile(database);
            disk.LeaveFree(room);
            const long number = CompactInPlace(database);
            disk.Unfill();
            if (number == 0) {
                ++compacted;
            } else {
                ++full;
                EXPECT_EQ(number, jet::DiskFull) << "with " << room << " bytes free";
                EXPECT_TRUE(test::ReadFile(database) == before) << "with " << room << " free";
            }
            EXPECT_EQ(ManagedRowCount(database), rows) << "with " << room << " bytes free";
            EXPECT_EQ(JournalMode(database), mode);
            EXPECT_FALSE(std::filesystem::exists(database + "-journal"));
        }
        EXPECT_GT(full, 0);
        EXPECT_GT(compacted, 0);
    }
}

} // namespace
} // namespace mallow::engine

namespace mallow::engine {
namespace {

// A stop asked for at any point before the copy-back commits leaves the file as it was, byte
// for byte; the phases report their progress on the way.
TEST(StoppedCompaction, AStopBeforeTheCommitLeavesTheFileAsItWas)
{
    test::TempFolder folder;
    const std::string path = folder.File("sales.mdb");
    test::MakeManagedDatabase(path, 20000, true);
    const std::string before = test::ReadFile(path);

    // At the snapshot, at the first pages written back, and after the last page before the
    // commit.
    for (const int stopAt : {0, 1, 2}) {
        WorkProgress progress;
        std::string lastPhase;
        progress.OnReport = [&](const std::string& phase, std::uint64_t done) {
            lastPhase = phase;
            const WorkProgress::Snapshot now = progress.Read();
            if ((stopAt == 0 && phase == "Compacting") ||
                (stopAt == 1 && phase == "Writing back" && done > 0) ||
                (stopAt == 2 && phase == "Writing back" && now.total > 0 &&
                 done + 1 >= now.total && now.stoppable))
                progress.RequestStop();
        };
        const WorkProgress::Scope scope(&progress);
        EXPECT_EQ(ErrorNumberOf([&] { Engine().CompactDatabaseInPlace(path); }),
                  err::UserInterrupt)
            << stopAt;
        EXPECT_EQ(lastPhase, stopAt == 0 ? "Compacting" : "Writing back");
        const std::string after = test::ReadFile(path);
        EXPECT_TRUE(after == before) << "changed by a stop at " << stopAt;
        EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    }

    // Unstopped, it runs through every phase to the end, the last past the point of no return.
    WorkProgress progress;
    std::vector<std::pair<std::string, bool>> phases;
    progress.OnReport = [&](const std::string& phase, std::uint64_t) {
        const bool stoppable = progress.Read().stoppable;
        if (phases.empty() || phases.back().first != phase || phases.back().second != stoppable)
            phases.emplace_back(phase, stoppable);
    };
    {
        const WorkProgress::Scope scope(&progress);
        Engine().CompactDatabaseInPlace(path);
    }
    ASSERT_GE(phases.size(), 3u);
    EXPECT_EQ(phases.front(), std::make_pair(std::string("Compacting"), true));
    EXPECT_EQ(phases.back(), std::make_pair(std::string("Writing back"), false));
    EXPECT_EQ(ManagedRowCount(path), 10000);
    EXPECT_LT(std::filesystem::file_size(path), before.size());
}

} // namespace
} // namespace mallow::engine
