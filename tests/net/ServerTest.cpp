#include "FakeServices.h"
#include "Raised.h"
#include "SambaClient.h"
#include "net/NetErrors.h"
#include "net/cNetCalls.h"
#include "net/modNetCommon.h"
#include "net/modWNetCalls.h"
#include "platform/LinuxProvider.h"
#include "platform/SambaNetApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

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
    explicit ServerServices(unsigned timeoutMs = 5000, const std::string& password = Password)
        : api(platform::SambaNetApi::Options{timeoutMs, {"root", password, ""}}),
          provider(platform::LinuxProvider::Options{timeoutMs, {"root", password, ""}, nullptr, {}})
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
using Clock = std::chrono::steady_clock;

/// Stops the test server's RPC workers (rpcd_classic) while it lives, those the server starts
/// meanwhile included, so that its server service takes requests and never answers; lets
/// them all go on afterwards.
class StalledRpcWorkers
{
public:
    StalledRpcWorkers()
    {
        Sweep();
        watcher = std::thread([this] {
            while (!done) {
                Sweep();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    ~StalledRpcWorkers()
    {
        done = true;
        watcher.join();
        std::lock_guard lock(mutex);
        for (const pid_t pid : stopped)
            kill(pid, SIGCONT);
    }
    std::size_t Count()
    {
        std::lock_guard lock(mutex);
        return stopped.size();
    }

private:
    void Sweep()
    {
        const std::string config = "--configfile=" + StateDir + "/smb.conf";
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            const std::string cmdline = CommandLine(entry.path() / "cmdline");
            if (cmdline.find("rpcd_classic") == std::string::npos ||
                cmdline.find(config + " ") == std::string::npos)
                continue;
            const pid_t pid = std::stoi(name);
            std::lock_guard lock(mutex);
            if (stopped.insert(pid).second)
                kill(pid, SIGSTOP);
        }
    }
    /// The command line of a process, its arguments separated by blanks; empty for a process
    /// that has gone meanwhile.
    static std::string CommandLine(const std::filesystem::path& file)
    {
        std::string text;
        const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return text;
        char chunk[512];
        for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
            text.append(chunk, static_cast<std::size_t>(n));
        close(fd);
        std::replace(text.begin(), text.end(), '\0', ' ');
        return text;
    }

    std::mutex mutex;
    std::set<pid_t> stopped;
    std::atomic<bool> done{false};
    std::thread watcher;
};

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

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

TEST_F(ServerTest, AStalledServerServiceEndsEachCallWithinTheBound)
{
    constexpr unsigned Bound = 1500;
    ServerServices bounded(Bound);
    // The workers run (a cold server takes a moment to start them) and the layer's connection
    // to the server is made and kept.
    ASSERT_NO_THROW(cNetCalls(server.services).EnumSessions(Server));
    const std::vector<std::pair<std::string, std::function<void(cNetCalls&)>>> members = {
        {"EnumSessions", [](cNetCalls& c) { c.EnumSessions(Server); }},
        {"EnumFiles", [](cNetCalls& c) { c.EnumFiles(Server); }},
        {"EnumShares", [](cNetCalls& c) { c.EnumShares(Server); }},
        {"CloseFile", [](cNetCalls& c) { c.CloseFile(1, Server, ""); }},
    };
    {
        StalledRpcWorkers stalled;
        ASSERT_GT(stalled.Count(), 0u);
        for (const auto& [member, call] : members) {
            cNetCalls calls(bounded.services);
            const auto start = Clock::now();
            const auto e = Raised([&] { call(calls); });
            EXPECT_LT(MillisecondsSince(start), Bound + 1000) << member;
            EXPECT_EQ(e.Number(), ServerCallError) << member;
            EXPECT_EQ(e.Source(), "cNet_NT." + member + "()");
            EXPECT_EQ(e.Description(), "The semaphore timeout period has expired.") << member;
            // A server that has just run out of time is not waited for again within the bound:
            // the next member waits that out, so that it asks the server for real.
            std::this_thread::sleep_for(std::chrono::milliseconds(Bound));
        }
        cNetCalls calls(bounded.services);
        const auto start = Clock::now();
        EXPECT_TRUE(calls.EnumConnections(Server, "Data").IsEmpty());
        EXPECT_LT(MillisecondsSince(start), Bound + 1000);
        ASSERT_EQ(bounded.reporter.shown.size(), 1u);
        EXPECT_NE(bounded.reporter.shown[0].find("The semaphore timeout period has expired."),
                  std::string::npos);
    }
    // Once the workers go on, the next call works.
    EXPECT_TRUE(Eventually([&] {
        try {
            return !cNetCalls(bounded.services).EnumSessions(Server).IsEmpty();
        } catch (const MallowError&) {
            return false;
        }
    }));
}

TEST_F(ServerTest, AWrongPasswordAndAnUnknownServerGetTheirOwnTexts)
{
    ServerServices wrong(5000, "wrong");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    cNetCalls calls(wrong.services);
    const auto logon = Raised([&] { calls.EnumSessions(Server); });
    const auto files = Raised([&] { calls.EnumFiles(Server); });
    const auto unknown =
        Raised([&] { cNetCalls(server.services).EnumFiles("nosuchhost.invalid"); });
    const std::string printed =
        testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    for (const auto& e : {logon, files}) {
        EXPECT_EQ(e.Number(), ServerCallError);
        EXPECT_EQ(e.Description(), "Logon failure: unknown user name or bad password.");
    }
    EXPECT_EQ(unknown.Source(), "cNet_NT.EnumFiles()");
    EXPECT_EQ(unknown.Description(), "The network path was not found.");
    // The library's own reports stay off the terminal.
    EXPECT_EQ(printed.find("NT_STATUS"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("session setup"), std::string::npos) << printed;
}

TEST_F(ServerTest, LongListsOfSharesAndConnectionsAreListedWhole)
{
    constexpr int Shares = 70;
    constexpr int Clients = 24;
    const std::string folder = StateDir + "/Many";
    std::filesystem::create_directories(folder);
    // Long names (80 characters, the most a share name may have) make both lists far longer
    // than a buffer of a few kilobytes.
    auto nameOf = [](int i) { return std::string(77, 'M') + std::to_string(100 + i); };
    std::string path = "C:" + folder;
    std::replace(path.begin(), path.end(), '/', '\\');
    // The shares go into the server's file of added shares at once, read in one reload: as
    // many calls of AddShare would each have the server read its whole configuration again.
    const std::string sharesFile = StateDir + "/shares.conf";
    auto reload = [&] {
        const std::string command = "bash " MALLOW_SAMBA_SCRIPTS "/share-command.sh reload " +
                                    sharesFile + " " + StateDir + "/smb.conf";
        return std::system(command.c_str());
    };
    std::string before;
    {
        std::ifstream in(sharesFile);
        before.assign(std::istreambuf_iterator<char>(in), {});
        std::ofstream out(sharesFile, std::ios::app);
        for (int i = 0; i < Shares; ++i)
            out << "[" << nameOf(i) << "]\n    path = " << folder << "\n    comment = Share " << i
                << "\n    read only = no\n";
    }
    ASSERT_EQ(reload(), 0);
    cNetCalls calls(server.services);
    auto listedWithPath = [&] {
        const NetTable shares = calls.EnumShares(Server);
        int found = 0;
        for (int r = 0; !shares.IsEmpty() && r < shares.Rows(); ++r)
            if (TextOf(shares(0, r)).rfind("MMM", 0) == 0 && TextOf(shares(2, r)) == path &&
                TextOf(shares(9, r)) != "UNKNOWN")
                ++found;
        return found;
    };
    EXPECT_TRUE(Eventually([&] { return listedWithPath() == Shares; })) << listedWithPath();

    std::vector<std::unique_ptr<test::SambaClient>> clients;
    std::vector<SMBCFILE*> held;
    for (int i = 0; i < Clients; ++i) {
        clients.push_back(std::make_unique<test::SambaClient>("root", Password));
        held.push_back(clients.back()->Open("smb://127.0.0.1/" + nameOf(0) + "/held.mdb"));
        ASSERT_NE(held.back(), nullptr);
    }
    const NetTable connections = calls.EnumConnections(Server, nameOf(0));
    EXPECT_TRUE(server.reporter.shown.empty())
        << (server.reporter.shown.empty() ? "" : server.reporter.shown[0]);
    ASSERT_FALSE(connections.IsEmpty());
    EXPECT_GE(connections.Rows(), Clients);
    EXPECT_EQ(TextOf(connections(1, 0)), nameOf(0));
    for (std::size_t i = 0; i < held.size(); ++i)
        clients[i]->Close(held[i]);
    clients.clear();
    std::ofstream(sharesFile) << before;
    EXPECT_EQ(reload(), 0);
    EXPECT_TRUE(Eventually([&] { return listedWithPath() == 0; }));
}

TEST_F(ServerTest, WithoutABrowseMasterTheKnownServersAreWalked)
{
    unsetenv("MALLOW_SMB_SERVERS");
    using Options = platform::LinuxProvider::Options;
    platform::LinuxProvider alone(Options{5000, {"root", Password, ""}, nullptr, {}});
    platform::HANDLE top = nullptr;
    if (alone.WNetOpenEnumA(2, 0, 0, nullptr, &top) == 0) {
        alone.WNetCloseEnum(top);
        GTEST_SKIP() << "this machine's network lists its workgroups or has shares mounted";
    }
    const auto none = Raised([&] { modWNetCalls::EnumResources(alone, -1, false); });
    EXPECT_EQ(none.Number(), ProviderErrorBase + 6118);
    EXPECT_EQ(none.Description(), "When calling WNetOpenEnum, got the error, \r\n\r\n'The list "
                                  "of servers for this workgroup is not currently available'");
    EXPECT_NE(modWNetCalls::GetExtendedErrorText(alone, 6118).find("No browse master answered"),
              std::string::npos);

    auto walk = [](platform::LinuxProvider& provider) {
        const NetTable network = modWNetCalls::EnumResources(provider, -1, false);
        std::set<std::string> found;
        for (int r = 0; r < network.Rows(); ++r)
            found.insert(TextOf(network(0, r)) + " " + TextOf(network(4, r)));
        return found;
    };
    platform::LinuxProvider told(Options{5000, {"root", Password, ""}, nullptr, {"\\\\127.0.0.1"}});
    const auto found = walk(told);
    EXPECT_TRUE(found.count("\\\\127.0.0.1 Server"));
    EXPECT_TRUE(found.count("\\\\127.0.0.1\\Data Share"));
    setenv("MALLOW_SMB_SERVERS", "127.0.0.1", 1);
    EXPECT_TRUE(walk(alone).count("\\\\127.0.0.1\\Data Share"));
    unsetenv("MALLOW_SMB_SERVERS");
}
