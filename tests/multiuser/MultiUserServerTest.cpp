// MultiUser against the private Samba server of the network tests, with the test itself as a
// second client holding the database and its lock file open.

#include "engine/Connection.h"
#include "fixtures/ManagedDatabase.h"
#include "fixtures/NetworkMount.h"
#include "fixtures/ServerMessages.h"
#include "fixtures/TempFolder.h"
#include "multiuser/MultiUser.h"
#include "net/FakeServices.h"
#include "net/SambaClient.h"
#include "platform/LinuxProvider.h"
#include "platform/SambaNetApi.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace mallow;
using namespace mallow::multiuser;
namespace fs = std::filesystem;

namespace {

const std::string StateDir = MALLOW_SAMBA_DIR;
const std::string Password = "mallow-test";
const std::string FolderUrl = "smb://127.0.0.1/Data/MU";
const std::string Database = "\\\\127.0.0.1\\Data\\MU\\app.mdb";
const std::string LockFile = "\\\\127.0.0.1\\Data\\MU\\app.ldb";

std::string Field(const std::string& text)
{
    std::string field = text;
    field.resize(32, '\0');
    return field;
}

/// Lock files read over SMB as root of the test server.
struct ShareFiles : FileReader
{
    std::string Read(const std::string& path, std::size_t maxBytes) override
    {
        return platform::ReadShareFile(path, {"root", Password, ""}, 5000, maxBytes);
    }
};

std::vector<std::string> Messages()
{
    return test::ServerMessages(StateDir);
}

std::vector<std::string> AwaitMessages(std::size_t count)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (Messages().size() < count && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // A little longer, to see that no more come than expected.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return Messages();
}

class MultiUserServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(StateDir + "/run/smbd.pid")) << "the samba fixture is not running";
        test::AwaitMessagesInFlight();
        for (const auto& entry : fs::directory_iterator(StateDir + "/messages"))
            fs::remove(entry.path());
        ASSERT_TRUE(client.MakeFolder(FolderUrl));
        database = client.Open(FolderUrl + "/app.mdb");
        lockFile = client.Open(FolderUrl + "/app.ldb");
        ASSERT_NE(database, nullptr);
        ASSERT_NE(lockFile, nullptr);
        ASSERT_GT(client.Write(database, "SQLite format 3"), 0);
        // As the engine writes its records: this machine under a name that resolves to the
        // address the server knows the client by, an empty record, one of a user who left.
        ASSERT_GT(client.Write(lockFile, Field("LOCALHOST") + Field("Admin") +
                                             std::string(64, '\0') + Field("GONE-PC") +
                                             Field("bob")),
                  0);
        services = DefaultMultiUserServices({&platform::SystemVersion(), &api, &provider,
                                             &reporter, nullptr});
        services.files = &files;
    }
    void TearDown() override
    {
        client.Close(database);
        client.Close(lockFile);
    }

    test::SambaClient client{"root", Password};
    SMBCFILE* database = nullptr;
    SMBCFILE* lockFile = nullptr;
    platform::SambaNetApi api{platform::SambaNetApi::Options{5000, {"root", Password, ""}}};
    platform::LinuxProvider provider{
        platform::LinuxProvider::Options{5000, {"root", Password, ""}, nullptr, {}}};
    test::RecordingReporter reporter;
    ShareFiles files;
    MultiUserServices services;
};

TEST_F(MultiUserServer, FindsTheUserWithComputerAndAccessUser)
{
    MultiUser mu(services);
    EXPECT_TRUE(mu.AnyUsers(Database));
    EXPECT_TRUE(mu.AnyUsers("//127.0.0.1/Data/MU/app.mdb"));
    EXPECT_FALSE(mu.AnyUsers("\\\\127.0.0.1\\Data\\MU\\nobody.mdb"));

    // A second handle of the same user from the same computer adds no row.
    SMBCFILE* second = client.Open(FolderUrl + "/app.mdb");
    ASSERT_NE(second, nullptr);
    const std::vector<UserInfoRow> rows = mu.GetUserInfo(Database);
    client.Close(second);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].ntUserId, "root");
    EXPECT_EQ(rows[0].computerName, "127.0.0.1");
    EXPECT_EQ(rows[0].accessUserId, "Admin");
    EXPECT_NE(rows[0].fileId, 0);
    EXPECT_EQ(mu.OpenFiles.size(), 2u);
    EXPECT_EQ(mu.LockEntries.size(), 3u);

    // Only records that name no computer the server knows: nobody is listed. An empty lock
    // file: every session is listed, without an Access user.
    test::SambaClient other{"root", Password};
    SMBCFILE* rewrite = other.Open(FolderUrl + "/app.ldb");
    ASSERT_NE(rewrite, nullptr);
    ASSERT_GT(other.Write(rewrite, Field("GONE-PC") + Field("bob")), 0);
    EXPECT_TRUE(mu.GetUserInfo(Database).empty());
    other.Close(rewrite);
    client.Close(lockFile);
    lockFile = nullptr;
    fs::resize_file(StateDir + "/Data/MU/app.ldb", 0);
    const std::vector<UserInfoRow> all = mu.GetUserInfo(Database);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].accessUserId, "");
    lockFile = client.Open(FolderUrl + "/app.ldb");
}

TEST_F(MultiUserServer, MessagesArriveWithTheirTextIntact)
{
    MultiUser mu(services);
    const std::string message = "Please close \"Sales\" now; it's 5$ `id` $(touch /tmp/mu-pwned)\n"
                                "Thank you";
    mu.SendMessageToUsers(Database, message);
    const std::vector<std::string> received = AwaitMessages(1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], message);
    EXPECT_FALSE(fs::exists("/tmp/mu-pwned"));

    // A computer name made to look like commands is a name, and runs nothing.
    services.sender->Send(
        MultiUser::NetSendCommandLine("a;touch /tmp/mu-pwned2 `id` $(id)", "hello"));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_FALSE(fs::exists("/tmp/mu-pwned2"));
}

TEST_F(MultiUserServer, DisconnectsEveryUserAndTellsThem)
{
    MultiUser mu(services);
    const std::int32_t lockHandle = mu.GetLDBFileID(LockFile, "root", "127.0.0.1");
    EXPECT_NE(lockHandle, 0);
    EXPECT_EQ(mu.GetLDBFileID(LockFile, "nobody", "127.0.0.1"), 0);

    EXPECT_TRUE(mu.CloseFileAllUsers(Database));
    EXPECT_LT(client.Read(database), 0) << "the handle on the database is still served";
    EXPECT_GE(client.Read(lockFile), 0) << "the lock file is closed by a call of its own";
    EXPECT_FALSE(mu.AnyUsers(Database));
    const std::vector<std::string> received = AwaitMessages(1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], "You have been disconnected from the following database : \n" +
                               Database +
                               "\nYou will need to close the file and re-open it\nor you will "
                               "recieve an error.");

    EXPECT_TRUE(mu.CloseFileAllUsers(LockFile));
    EXPECT_LT(client.Read(lockFile), 0);
}

TEST_F(MultiUserServer, ServersThatDoNotAnswerOrRefuseGiveAnErrorInTime)
{
    MultiUser mu(services);
    const auto start = std::chrono::steady_clock::now();
    try {
        mu.GetUserInfo("\\\\192.0.2.77\\Data\\app.mdb");
        ADD_FAILURE() << "a server that does not exist answered";
    } catch (const MallowError& error) {
        EXPECT_EQ(error.Number(), MultiUserError);
        EXPECT_EQ(error.Source(), "MultiUser.GetUserInfo()");
        EXPECT_FALSE(error.Description().empty());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));

    platform::SambaNetApi refused{platform::SambaNetApi::Options{5000, {"root", "wrong", ""}}};
    MultiUserServices wrong = services;
    wrong.net.netApi = &refused;
    MultiUser denied(wrong);
    try {
        denied.AnyUsers(Database);
        ADD_FAILURE() << "wrong credentials were accepted";
    } catch (const MallowError& error) {
        EXPECT_EQ(error.Source(), "MultiUser.AnyUsers()");
        EXPECT_FALSE(error.Description().empty());
    }
}

/// A second process of our own that holds a database open through the engine and reads it
/// when asked: "read" answers "ok" or "error N".
class EngineClient
{
public:
    explicit EngineClient(const std::string& path)
    {
        int in[2];
        int out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            throw std::runtime_error("no pipes");
        pid = fork();
        if (pid == 0) {
            close(in[1]);
            close(out[0]);
            std::string answer;
            auto* connection = new engine::Connection;
            try {
                connection->OpenFile(path);
                answer = "open\n";
            } catch (const MallowError& error) {
                answer = "error " + std::to_string(error.Number()) + "\n";
            }
            (void)!write(out[1], answer.data(), answer.size());
            char c = 0;
            while (read(in[0], &c, 1) == 1) {
                try {
                    connection->Execute("SELECT count(*) FROM Items");
                    answer = "ok\n";
                } catch (const MallowError& error) {
                    answer = "error " + std::to_string(error.Number()) + "\n";
                }
                (void)!write(out[1], answer.data(), answer.size());
            }
            _exit(0);
        }
        close(in[0]);
        close(out[1]);
        toChild = in[1];
        fromChild = out[0];
    }
    ~EngineClient()
    {
        close(toChild);
        close(fromChild);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::string Line()
    {
        std::string line;
        for (char c = 0; read(fromChild, &c, 1) == 1 && c != '\n';)
            line += c;
        return line;
    }
    std::string Read()
    {
        (void)!write(toChild, "r", 1);
        return Line();
    }

private:
    pid_t pid = -1;
    int toChild = -1;
    int fromChild = -1;
};

// The same scenario through a real mount of the network, with the database held open there
// by our own engine in a second process: its lock record and its session are the ones a
// workstation makes.
TEST_F(MultiUserServer, ThroughAMountOfTheNetworkWithTheEngineAsTheClient)
{
    test::NetworkMount network(Password);
    if (!network.SkipReason().empty())
        GTEST_SKIP() << network.SkipReason();
    fs::create_directories(StateDir + "/Data/MUF");
    test::MakeManagedDatabase(StateDir + "/Data/MUF/app.mdb", 200, false, true);
    const std::string path = network.Share() + "/MUF/app.mdb";
    ASSERT_TRUE(fs::exists(path));
    EngineClient holder(path);
    ASSERT_EQ(holder.Line(), "open");
    ASSERT_EQ(holder.Read(), "ok");

    services.files = nullptr;
    MultiUserServices local = DefaultMultiUserServices(services.net);
    MultiUser mu(local);
    EXPECT_EQ(mu.GetDrive(path), network.Share());
    EXPECT_TRUE(mu.AnyUsers(path));
    const std::vector<UserInfoRow> rows = mu.GetUserInfo(path);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].ntUserId, "root");
    EXPECT_EQ(rows[0].accessUserId, "Admin");
    ASSERT_EQ(mu.LockEntries.size(), 1u);

    mu.SendMessageToUsers(path, "Closing in 2 minutes");
    const std::vector<std::string> received = AwaitMessages(1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], "Closing in 2 minutes");

    EXPECT_TRUE(mu.CloseFileAllUsers(path));
    EXPECT_TRUE(mu.CloseFileAllUsers(MultiUser::LockFilePath(path)));
    EXPECT_FALSE(mu.AnyUsers(path));
    EXPECT_TRUE(mu.GetUserInfo(path).empty());
    // (What the engine reads next may still come from the kernel's cache of the mount, so
    // the server's list is the proof here.)
}

} // namespace
