#include "EngineTestSupport.h"

#include "engine/Connection.h"
#include "engine/JetError.h"
#include "engine/LockFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace mallow::engine {
namespace {

using test::ErrorNumberOf;

bool Exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

class LockFile : public ::testing::Test
{
protected:
    void SetUp() override { test::MakeDatabase(database, "CREATE TABLE t (x INTEGER);"); }

    test::TempFolder folder;
    std::string database = folder.File("app.mdb");
    std::string lock = folder.File("app.ldb");
};

TEST(LockFilePath, ReplacesTheExtensionOfTheFileName)
{
    EXPECT_EQ(LockFilePathFor("C:\\Data\\app.mdb"), "C:/Data/app.ldb");
    EXPECT_EQ(LockFilePathFor("/srv/APP.MDB"), "/srv/APP.ldb");
    EXPECT_EQ(LockFilePathFor("/srv/v1.2/app"), "/srv/v1.2/app.ldb");
    EXPECT_EQ(LockFilePathFor("/srv/app.config.db"), "/srv/app.config.ldb");
}

TEST_F(LockFile, OpenRegistersAndTheLastCloseRemovesTheFile)
{
    Connection first;
    first.Open("Data Source=" + database, "Fred", "");
    ASSERT_TRUE(Exists(lock));
    std::string expected(64, '\0');
    const std::string computer = LockComputerName().substr(0, 32);
    expected.replace(0, computer.size(), computer);
    expected.replace(32, 4, "Fred");
    EXPECT_EQ(test::ReadFile(lock), expected);
    EXPECT_EQ(LiveClients(database), 1);
    EXPECT_EQ(OtherLiveClients(database), 0);

    // A second connection of the same process is a client of its own.
    Connection second;
    second.OpenFile(database);
    const auto records = ReadLockRecords(database);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].userName, "Admin");
    EXPECT_TRUE(records[0].live && records[1].live);
    first.Close();
    EXPECT_TRUE(Exists(lock));
    EXPECT_EQ(LiveClients(database), 1);
    second.Close();
    EXPECT_FALSE(Exists(lock));
    EXPECT_EQ(LiveClients(database), 0);
}

TEST_F(LockFile, TwoProcessesSeeEachOther)
{
    test::LockHolder holder(database);
    ASSERT_EQ(holder.FirstLine(), "open");
    EXPECT_EQ(OtherLiveClients(database), 1);
    EXPECT_TRUE(HeldByOthers(database));

    Connection mine;
    mine.OpenFile(database);
    const auto records = ReadLockRecords(database);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].live);
    EXPECT_TRUE(records[1].live);
    EXPECT_EQ(records[0].computerName, LockComputerName());
    EXPECT_EQ(LiveClients(database), 2);
    EXPECT_EQ(OtherLiveClients(database), 1);

    EXPECT_EQ(holder.Release(), 0);
    EXPECT_EQ(OtherLiveClients(database), 0);
    EXPECT_TRUE(Exists(lock)); // we are still in it
    mine.Close();
    EXPECT_FALSE(Exists(lock));
}

TEST_F(LockFile, AKilledClientLeavesAFreeRecord)
{
    {
        test::LockHolder holder(database);
        ASSERT_EQ(holder.FirstLine(), "open");
        holder.Kill();
    }
    ASSERT_TRUE(Exists(lock));
    const auto records = ReadLockRecords(database);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_FALSE(records[0].live);
    EXPECT_EQ(LiveClients(database), 0);
    EXPECT_FALSE(HeldByOthers(database));

    Connection mine;
    mine.OpenFile(database);
    EXPECT_EQ(test::ReadFile(lock).size(), 64u); // the dead client's place is taken again
    EXPECT_EQ(LiveClients(database), 1);
    mine.Close();
    EXPECT_FALSE(Exists(lock));
}

TEST_F(LockFile, GarbageOrTruncatedLockFilesDoNotStopAnOpen)
{
    for (const std::string& contents : {std::string(100, '\xA7'), std::string(30, 'x')}) {
        test::WriteFile(lock, contents);
        Connection connection;
        connection.OpenFile(database);
        const std::string now = test::ReadFile(lock);
        ASSERT_GE(now.size(), 64u);
        EXPECT_EQ(now.substr(32, 6), std::string("Admin\0", 6));
        EXPECT_EQ(LiveClients(database), 1);
        connection.Close();
        EXPECT_FALSE(Exists(lock));
    }
}

} // namespace
} // namespace mallow::engine

namespace mallow::engine {
namespace {

TEST_F(LockFile, AHoldIsRefusedWhileAnotherClientIsLiveAndAllowedOnceItDied)
{
    test::LockHolder holder(database);
    ASSERT_EQ(holder.FirstLine(), "open");
    try {
        LockFileHold hold(database, database);
        FAIL() << "held while another client had it open";
    } catch (const MallowError& error) {
        EXPECT_EQ(error.Number(), jet::OpenedExclusively);
        EXPECT_EQ(error.Description(),
                  "You attempted to open a database that is already opened exclusively by user "
                  "'Admin' on machine '" +
                      LockComputerName() + "'.  Try again when the database is available.");
    }
    holder.Kill();
    LockFileHold hold(database, database);
    EXPECT_EQ(LiveClients(database), 0);
}

TEST_F(LockFile, WhileHeldOnlyThisProcessMayOpen)
{
    {
        LockFileHold hold(database, database);
        test::LockHolder other(database);
        EXPECT_EQ(other.FirstLine(), "error " + std::to_string(jet::FileInUse));
        Connection mine; // the holder's own work on the file
        mine.OpenFile(database);
        EXPECT_EQ(LiveClients(database), 1);
        EXPECT_EQ(ErrorNumberOf([&] { LockFileHold second(database, database); }),
                  jet::OpenedExclusively);
    }
    EXPECT_FALSE(Exists(lock));
    test::LockHolder other(database);
    EXPECT_EQ(other.FirstLine(), "open");
    EXPECT_EQ(other.Release(), 0);
}

} // namespace
} // namespace mallow::engine

namespace mallow::engine {
namespace {

TEST_F(LockFile, ClientsComingAndGoingAtOnceNeverFailNorLeaveTheFileBehind)
{
    constexpr int Processes = 3;
    constexpr int Rounds = 150;
    std::vector<pid_t> children;
    for (int p = 0; p < Processes; ++p) {
        const pid_t child = fork();
        if (child == 0) {
            int failures = 0;
            for (int i = 0; i < Rounds; ++i) {
                failures += ErrorNumberOf([&] {
                                Connection connection;
                                connection.OpenFile(database);
                                if (LiveClients(database) < 1)
                                    throw MallowError(1, "test", "not registered");
                                connection.Close();
                            }) != 0;
            }
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_FALSE(Exists(lock));
}

} // namespace
} // namespace mallow::engine

namespace mallow::engine {
namespace {

// Whoever may write the folder may put something else where a lock file belongs: a link to a
// file outside, a pipe, a device. The engine opens none of them and touches nothing.
TEST_F(LockFile, ALinkOrAPipeInPlaceOfTheLockFileIsRefusedAndLeftAlone)
{
    test::TempFolder outside;
    const std::string victim = outside.File("root-only");
    test::WriteFile(victim, "precious");
    std::filesystem::permissions(victim, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_write);
    std::filesystem::create_symlink(victim, lock);
    Connection connection;
    EXPECT_EQ(ErrorNumberOf([&] { connection.OpenFile(database); }), jet::FileInUse);
    EXPECT_EQ(ErrorNumberOf([&] { LockFileHold hold(database, database); }), jet::FileInUse);
    EXPECT_EQ(ErrorNumberOf([&] { ReadLockRecords(database); }), jet::FileInUse);
    EXPECT_EQ(test::ReadFile(victim), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(lock));

    // A link to nowhere is not followed into a new file either.
    std::filesystem::remove(lock);
    std::filesystem::create_symlink(outside.File("made-by-us"), lock);
    EXPECT_EQ(ErrorNumberOf([&] { connection.OpenFile(database); }), jet::FileInUse);
    EXPECT_FALSE(std::filesystem::exists(outside.File("made-by-us")));

    // A pipe would keep an open waiting for a writer for ever.
    std::filesystem::remove(lock);
    ASSERT_EQ(mkfifo(lock.c_str(), 0600), 0);
    EXPECT_EQ(ErrorNumberOf([&] { connection.OpenFile(database); }), jet::FileInUse);
    EXPECT_EQ(ErrorNumberOf([&] { ReadLockRecords(database); }), jet::FileInUse);
    EXPECT_FALSE(connection.IsOpen());
}

// A lock file grown to 4 GiB without data costs no more than the records a database admits.
TEST_F(LockFile, AHugeSparseLockFileIsReadNoFurtherThanItsRecords)
{
    {
        test::WriteFile(lock, "");
        ASSERT_EQ(truncate(lock.c_str(), off_t{4} << 30), 0);
    }
    rusage before = {};
    getrusage(RUSAGE_SELF, &before);
    const auto records = ReadLockRecords(database);
    EXPECT_EQ(records.size(), LockFileMaxRecords);
    EXPECT_EQ(LiveClients(database), 0);
    Connection connection;
    connection.OpenFile(database);
    EXPECT_EQ(LiveClients(database), 1);
    connection.Close();
    rusage after = {};
    getrusage(RUSAGE_SELF, &after);
    // The largest resident size grew by far less than the file (kilobytes).
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);
}

// A client that holds every record a database admits leaves no room: the next is refused
// rather than written far into the file.
TEST_F(LockFile, NoClientRegistersPastTheRecordsADatabaseAdmits)
{
    test::WriteFile(lock, std::string(LockFileMaxRecords * LockRecordSize, 'x'));
    const int fd = open(lock.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    struct flock all = {};
    all.l_type = F_RDLCK;
    all.l_whence = SEEK_SET;
    all.l_start = 0;
    all.l_len = static_cast<off_t>(LockFileMaxRecords * LockRecordSize);
    ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &all), 0);
    Connection connection;
    EXPECT_EQ(ErrorNumberOf([&] { connection.OpenFile(database); }), jet::FileInUse);
    EXPECT_EQ(std::filesystem::file_size(lock), LockFileMaxRecords * LockRecordSize);
    close(fd);
}

} // namespace
} // namespace mallow::engine
