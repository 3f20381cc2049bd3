#include "FakeServices.h"
#include "Raised.h"
#include "SambaClient.h"
#include "net/NetErrors.h"
#include "net/cNetCalls.h"
#include "net/modNetCommon.h"
#include "platform/LinuxProvider.h"
#include "platform/SambaNetApi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

using namespace mallow;
using namespace mallow::net;

namespace {

const std::string StateDir = MALLOW_SAMBA_DIR;
const std::string Password = "mallow-test";
const std::string Server = "127.0.0.1";
const std::string DataUrl = "smb://127.0.0.1/Data";

/// Services against the test server, as root with its password.
struct ServerServices
{
    explicit ServerServices(unsigned timeoutMs = 5000)
        : api(platform::SambaNetApi::Options{timeoutMs, {"root", Password, ""}}),
          provider(platform::LinuxProvider::Options{timeoutMs, {"root", Password, ""}, nullptr})
    {
        services = {&platform::SystemVersion(), &api, &provider, &reporter};
    }
    platform::SambaNetApi api;
    platform::LinuxProvider provider;
    test::RecordingReporter reporter;
    NetServices services;
};

/// The server's name for a path below the share: "C:" and the local path, with backslashes.
std::string ServerPath(const std::string& below)
{
    std::string path = "C:" + StateDir + "/Data/" + below;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

int RowOfPath(const NetTable& files, const std::string& path)
{
    for (int row = 0; !files.IsEmpty() && row < files.Rows(); ++row)
        if (TextOf(files(0, row)) == path)
            return row;
    return -1;
}

/// Polls `done` until it holds, for at most ten seconds.
bool Eventually(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

using test::Raised;

class ServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(StateDir + "/run/smbd.pid"))
            << "the samba fixture is not running";
        ASSERT_TRUE(client.MakeFolder(DataUrl + "/Sales"));
    }
    test::SambaClient client{"root", Password};
    ServerServices server;
};

} // namespace

TEST_F(ServerTest, EnumFilesListsAFileHeldOpenWhateverTheServerNameForm)
{
    SMBCFILE* file = client.Open(DataUrl + "/Sales/app.mdb");
    ASSERT_NE(file, nullptr);
    ASSERT_GT(client.Write(file, "data"), 0);

    for (const std::string& name : {Server, "\\\\" + Server, "  " + Server + "  "}) {
        cNetCalls calls(server.services);
        const NetTable files = calls.EnumFiles(name);
        ASSERT_FALSE(files.IsEmpty()) << name;
        EXPECT_EQ(files.Columns(), 7);
        const int row = RowOfPath(files, ServerPath("Sales/app.mdb"));
        ASSERT_GE(row, 0) << name;
        EXPECT_EQ(TextOf(files(1, row)), "root");
        EXPECT_NE(NumberOf(files(2, row)), 0);
        EXPECT_EQ(TextOf(files(5, row)), mallow::net::modNetCommon::PermissionText(
                                             static_cast<std::int32_t>(NumberOf(files(4, row)))));
        EXPECT_EQ(TextOf(files(6, row)), "");
    }
    client.Close(file);
}

TEST_F(ServerTest, EnumSessionsAndGetSessionInfoShowTheClient)
{
    SMBCFILE* file = client.Open(DataUrl + "/Sales/session.mdb");
    ASSERT_NE(file, nullptr);
    cNetCalls calls(server.services);
    const NetTable sessions = calls.EnumSessions(Server);
    ASSERT_FALSE(sessions.IsEmpty());
    EXPECT_EQ(sessions.Columns(), 10);
    int row = -1;
    for (int r = 0; r < sessions.Rows(); ++r)
        if (TextOf(sessions(1, r)) == "root")
            row = r;
    ASSERT_GE(row, 0);
    const std::string computer = TextOf(sessions(2, row));
    EXPECT_FALSE(computer.empty());
    EXPECT_EQ(TextOf(sessions(0, row)), ""); // level 1 of Samba carries no client type
    EXPECT_EQ(TextOf(sessions(8, row)), "No Flags");
    EXPECT_EQ(std::get<std::int16_t>(sessions(9, row)), 0);

    const NetRecord info = calls.GetSessionInfo(Server, computer, "root");
    ASSERT_EQ(info.size(), 9u);
    EXPECT_EQ(TextOf(info[1]), "root");
    EXPECT_EQ(TextOf(info[2]), computer);
    const auto missing = Raised([&] { calls.GetSessionInfo(Server, "NOSUCHPC", "root"); });
    EXPECT_EQ(missing.Number(), ServerCallError);
    EXPECT_EQ(missing.Source(), "cNet_NT.GetSessionInfo()");
    EXPECT_EQ(missing.Description(), "A session does not exist with that computer name.");
    client.Close(file);
}

TEST_F(ServerTest, CloseFileClosesTheHandleAndASecondCloseFails)
{
    SMBCFILE* file = client.Open(DataUrl + "/Sales/close.mdb");
    ASSERT_NE(file, nullptr);
    ASSERT_GT(client.Write(file, "data"), 0);
    const std::string path = ServerPath("Sales/close.mdb");

    cNetCalls calls(server.services);
    const NetTable files = calls.EnumFiles(Server);
    const int row = RowOfPath(files, path);
    ASSERT_GE(row, 0);
    const auto id = static_cast<std::int32_t>(NumberOf(files(2, row)));
    calls.CloseFile(id, Server, path);

    // The server closes asynchronously: wait for the handle to leave a fresh list.
    EXPECT_TRUE(Eventually(
        [&] { return RowOfPath(cNetCalls(server.services).EnumFiles(Server), path) < 0; }));
    EXPECT_LT(client.Read(file), 0);

    const auto second = Raised([&] { calls.CloseFile(id, Server, path); });
    EXPECT_EQ(second.Number(), ApplicationErrorBase + 513);
    EXPECT_EQ(second.Source(), "cNet_NT.CloseFile()");
    EXPECT_EQ(second.Description(), "The system cannot find the file specified.");
    client.Close(file);
}

TEST_F(ServerTest, ServerShareAndConnectionInformation)
{
    SMBCFILE* file = client.Open(DataUrl + "/Sales/info.mdb");
    ASSERT_NE(file, nullptr);
    cNetCalls calls(server.services);

    const NetRecord info = calls.GetServerInfo(Server);
    ASSERT_EQ(info.size(), 7u);
    EXPECT_FALSE(TextOf(info[0]).empty());
    EXPECT_EQ(NumberOf(info[2]), 500);
    EXPECT_EQ(TextOf(info[6]),
              modNetCommon::ServerTypeText(static_cast<std::int32_t>(NumberOf(info[5]))));

    const NetTable shares = calls.EnumShares(Server);
    ASSERT_FALSE(shares.IsEmpty());
    int data = -1;
    for (int r = 0; r < shares.Rows(); ++r)
        if (TextOf(shares(0, r)) == "Data")
            data = r;
    ASSERT_GE(data, 0);
    EXPECT_EQ(TextOf(shares(1, data)), "Mallow test data");
    EXPECT_EQ(TextOf(shares(7, data)), "Disk drive");

    const NetRecord share = calls.GetNetShareInfo(Server, "Data");
    ASSERT_EQ(share.size(), 10u);
    EXPECT_EQ(TextOf(share[0]), "Data");
    const std::string sharePath = ServerPath("");
    EXPECT_EQ(TextOf(share[2]), sharePath.substr(0, sharePath.size() - 1));
    const auto missing = Raised([&] { calls.GetNetShareInfo(Server, "NoSuchShare"); });
    EXPECT_EQ(missing.Source(), "cNet_NT.GetNetShareInfo()");

    const NetTable connections = calls.EnumConnections(Server, "Data");
    ASSERT_FALSE(connections.IsEmpty())
        << (server.reporter.shown.empty() ? std::string() : server.reporter.shown[0]);
    EXPECT_EQ(connections.Columns(), 8);
    EXPECT_EQ(TextOf(connections(1, 0)), "Data");
    client.Close(file);
}

TEST_F(ServerTest, DeleteSessionEndsTheClientsSession)
{
    // A client the server knows by name, so that the layer's own session stays.
    test::SambaClient other("root", Password, "MALLOWPC");
    SMBCFILE* file = other.Open(DataUrl + "/Sales/delete.mdb");
    ASSERT_NE(file, nullptr);
    ASSERT_GT(other.Write(file, "data"), 0);
    cNetCalls calls(server.services);
    const NetTable sessions = calls.EnumSessions(Server);
    std::string computer, seen;
    for (int r = 0; !sessions.IsEmpty() && r < sessions.Rows(); ++r) {
        seen += TextOf(sessions(1, r)) + "@" + TextOf(sessions(2, r)) + " ";
        if (TextOf(sessions(2, r)) != Server)
            computer = TextOf(sessions(2, r));
    }
    ASSERT_FALSE(computer.empty()) << seen;
    ASSERT_NO_THROW(calls.DeleteSession("root", Server, computer)) << seen;
    EXPECT_TRUE(Eventually([&] { return other.Read(file) < 0; }));
    EXPECT_NO_THROW(cNetCalls(server.services).EnumSessions(Server));
    other.Close(file);
}

TEST_F(ServerTest, SharesAddedChangedAndDeleted)
{
    const std::string folder = StateDir + "/Extra";
    std::filesystem::create_directories(folder);
    cNetCalls calls(server.services);
    try {
        calls.DeleteShare(Server, "Extra"); // left by an interrupted earlier run
    } catch (const MallowError&) {
    }
    calls.AddShare(Server, "Extra", folder, "First remark");
    EXPECT_TRUE(Eventually([&] {
        try {
            return TextOf(calls.GetNetShareInfo(Server, "Extra")[1]) == "First remark";
        } catch (const MallowError&) {
            return false;
        }
    }));
    calls.SetShareInfo(Server, "Extra", "Second remark");
    EXPECT_TRUE(Eventually(
        [&] { return TextOf(calls.GetNetShareInfo(Server, "Extra")[1]) == "Second remark"; }));
    calls.DeleteShare(Server, "Extra");
    EXPECT_TRUE(Eventually([&] {
        try {
            calls.GetNetShareInfo(Server, "Extra");
            return false;
        } catch (const MallowError&) {
            return true;
        }
    }));
}

TEST_F(ServerTest, ProviderConnectsWithoutADeviceAndListsTheServer)
{
    cNetCalls calls(server.services);
    EXPECT_NO_THROW(calls.AddConnection2(Password, "root", "", "\\\\127.0.0.1\\Data"));
    const auto wrong =
        Raised([&] { calls.AddConnection2("wrong", "root", "", "\\\\127.0.0.1\\Data"); });
    EXPECT_EQ(wrong.Source(), "AddConnection2");
    EXPECT_EQ(wrong.Number(), ProviderErrorBase + 1326);

    platform::HANDLE handle = nullptr;
    platform::NETRESOURCEA container;
    std::string name = "\\\\127.0.0.1";
    container.lpRemoteName = name.data();
    ASSERT_EQ(server.provider.WNetOpenEnumA(2, 0, 0, &container, &handle), 0u);
    std::vector<std::uint8_t> buffer(4096);
    platform::DWORD count = 0xFFFFFFFF, size = 4096;
    ASSERT_EQ(server.provider.WNetEnumResourceA(handle, &count, buffer.data(), &size), 0u);
    const auto* first = reinterpret_cast<const platform::NETRESOURCEA*>(buffer.data());
    // IPC$ is hidden; shares added by another test may be listed too.
    bool data = false;
    for (platform::DWORD i = 0; i < count; ++i)
        data = data || std::string(first[i].lpRemoteName) == "\\\\127.0.0.1\\Data";
    EXPECT_TRUE(data);
    server.provider.WNetCloseEnum(handle);

    std::string remote = "\\\\127.0.0.1\\Data\\Sales";
    const NetRecord resource = calls.GetResInfo(remote);
    EXPECT_EQ(TextOf(resource[1]), "\\\\127.0.0.1\\Data");
    EXPECT_EQ(TextOf(resource[11]), "Share");
    EXPECT_EQ(TextOf(calls.GetResParent("\\\\127.0.0.1\\Data")[1]), "\\\\127.0.0.1");
}

TEST(UnreachableServer, RaisesThePlatformErrorWithinTheTimeout)
{
    ServerServices unreachable(1000);
    cNetCalls calls(unreachable.services);
    // A documentation address: nothing answers there.
    const auto e = Raised([&] { calls.EnumFiles("198.51.100.1"); });
    EXPECT_EQ(e.Number(), ServerCallError);
    EXPECT_EQ(e.Source(), "cNet_NT.EnumFiles()");
    EXPECT_EQ(e.Description(), "The network path was not found.");
}

TEST_F(ServerTest, ACachedConnectionToARestartedServerIsReplaced)
{
    cNetCalls calls(server.services);
    calls.GetServerInfo(Server);
    // The same server, started anew: the library's cached connection to it is dead.
    const std::string restart =
        "bash " MALLOW_SAMBA_SCRIPTS "/start.sh " + StateDir + " > /dev/null";
    ASSERT_EQ(std::system(restart.c_str()), 0);
    EXPECT_NO_THROW(cNetCalls(server.services).EnumShares(Server));
    EXPECT_NO_THROW(cNetCalls(server.services).EnumSessions(Server));
}
