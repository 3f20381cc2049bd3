// MultiUser against a scripted server: paths, lock files, the joins and their bad input.

#include "fixtures/TempFolder.h"
#include "multiuser/MultiUser.h"
#include "net/FakeServices.h"
#include "platform/LinuxProvider.h"
#include "platform/Utf16.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace mallow;
using namespace mallow::multiuser;

namespace {

std::u16string U(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

struct OpenFile
{
    std::string path;
    std::string user;
    std::uint32_t id;
};

struct Session
{
    std::string computer;
    std::string user;
};

/// A file server as the tests script it: open files, sessions and share paths.
class ScriptedServer : public test::ScriptedNetApi
{
public:
    std::vector<OpenFile> files;
    std::vector<Session> sessions;
    std::map<std::string, std::string> sharePaths; ///< share -> path on the server
    std::vector<std::uint32_t> closed;
    int fileEnums = 0;

    S NetFileEnum(const char16_t*, const char16_t*, const char16_t*, std::uint32_t,
                  std::uint8_t** buf, std::uint32_t, std::uint32_t* read, std::uint32_t* total,
                  std::uint32_t*) override
    {
        ++fileEnums;
        platform::NetBufferWriter w(sizeof(platform::FILE_INFO_3) * (files.size() + 1), 4096);
        auto* records = w.Records<platform::FILE_INFO_3>();
        for (std::size_t i = 0; i < files.size(); ++i)
            records[i] = {files[i].id, 1, 0, w.Add(U(files[i].path)), w.Add(U(files[i].user))};
        *buf = w.Release();
        *read = *total = static_cast<std::uint32_t>(files.size());
        return 0;
    }
    S NetSessionEnum(const char16_t*, const char16_t*, const char16_t*, std::uint32_t,
                     std::uint8_t** buf, std::uint32_t, std::uint32_t* read, std::uint32_t* total,
                     std::uint32_t*) override
    {
        platform::NetBufferWriter w(sizeof(platform::SESSION_INFO_502) * (sessions.size() + 1),
                                    4096);
        auto* records = w.Records<platform::SESSION_INFO_502>();
        for (std::size_t i = 0; i < sessions.size(); ++i)
            records[i] = {w.Add(U(sessions[i].computer)), w.Add(U(sessions[i].user)), 1, 0, 0, 0,
                          w.Add(u""), w.Add(u"")};
        *buf = w.Release();
        *read = *total = static_cast<std::uint32_t>(sessions.size());
        return 0;
    }
    S NetFileClose(const char16_t*, std::uint32_t id) override
    {
        const auto it = std::find_if(files.begin(), files.end(),
                                     [&](const OpenFile& f) { return f.id == id; });
        if (it == files.end())
            return 2;
        closed.push_back(id);
        files.erase(it);
        return 0;
    }
    /// The shares of this machine's own server, asked at level 2: the shares of sharePaths
    /// that localShares names, and the named pipes of IPC$.
    std::vector<std::string> localShares;
    std::vector<std::string> shareListsAskedOf;
    S NetShareEnum(const char16_t* serverName, std::uint32_t level, std::uint8_t** buf,
                   std::uint32_t, std::uint32_t* read, std::uint32_t* total,
                   std::uint32_t*) override
    {
        calls.push_back("NetShareEnum " + std::to_string(level));
        shareListsAskedOf.push_back(platform::ToUtf8(serverName));
        *buf = nullptr;
        *read = *total = 0;
        if (level != 2)
            return 5;
        platform::NetBufferWriter w(sizeof(platform::SHARE_INFO_2) * (localShares.size() + 1),
                                    4096);
        auto* records = w.Records<platform::SHARE_INFO_2>();
        std::size_t i = 0;
        for (const std::string& name : localShares)
            records[i++] = {w.Add(U(name)), 0, w.Add(u""), 0, 0, 0, w.Add(U(sharePaths[name])),
                            nullptr};
        records[i++] = {w.Add(u"IPC$"), 0x80000003u, w.Add(u"IPC"), 0, 0, 0, w.Add(u"C:\\tmp"),
                        nullptr};
        *buf = w.Release();
        *read = *total = static_cast<std::uint32_t>(i);
        return 0;
    }
    S NetShareGetInfo(const char16_t*, const char16_t* share, std::uint32_t,
                      std::uint8_t** buf) override
    {
        *buf = nullptr;
        const std::string name = platform::ToUtf8(share);
        if (!sharePaths.count(name))
            return 2310;
        platform::NetBufferWriter w(sizeof(platform::SHARE_INFO_2), 512);
        *w.Records<platform::SHARE_INFO_2>() = {w.Add(U(name)), 0, w.Add(u""), 0, 0, 0,
                                                w.Add(U(sharePaths[name])), nullptr};
        *buf = w.Release();
        return 0;
    }
};

/// The connection of every local path: the mount /mnt/data of //srv/Data.
class MountProvider : public platform::LinuxProvider
{
public:
    platform::DWORD WNetGetConnectionA(const char* local, char* remote,
                                       platform::DWORD* length) override
    {
        if (std::string(local) != "/mnt/data")
            return platform::ERROR_NOT_CONNECTED;
        const std::string name = "\\\\srv\\Data";
        if (*length < name.size() + 1)
            return 234;
        std::copy(name.c_str(), name.c_str() + name.size() + 1, remote);
        return 0;
    }
};

struct RecordingSender : MessageSender
{
    std::vector<std::string> sent;
    void Send(const std::string& commandLine) override { sent.push_back(commandLine); }
};

struct TableResolver : NameResolver
{
    std::map<std::string, std::vector<std::string>> names;
    int lookups = 0;
    std::vector<std::string> Addresses(const std::string& name) override
    {
        ++lookups;
        return names[name];
    }
};

/// Lock files and other files, by path, as the tests write them.
struct MemoryFiles : FileReader
{
    std::map<std::string, std::string> files;
    std::size_t largestRead = 0;
    std::string Read(const std::string& path, std::size_t maxBytes) override
    {
        const auto it = files.find(path);
        if (it == files.end())
            RaiseRuntimeError(err::FileNotFound, "test");
        largestRead = std::max(largestRead, maxBytes);
        return it->second.substr(0, maxBytes);
    }
};

std::string Field(const std::string& text)
{
    std::string field = text;
    field.resize(32, '\0');
    return field;
}

std::string Record(const std::string& computer, const std::string& user)
{
    return Field(computer) + Field(user);
}

class MultiUserTest : public ::testing::Test
{
protected:
    MultiUserTest()
    {
        services.net = {&version, &server, &provider, &reporter, nullptr};
        services.sender = &sender;
        services.resolver = &resolver;
        services.files = &files;
        services.mounts = [] {
            return std::vector<platform::MountEntry>{{"/", "/", "ext4", "/dev/vda", ""},
                                                     {"/", "/mnt/data", "cifs", "//srv/Data", ""},
                                                     {"/", "/home", "ext4", "/dev/vdb", ""}};
        };
    }

    long ErrorNumber(const std::function<void()>& body, std::string* source = nullptr,
                     std::string* description = nullptr)
    {
        try {
            body();
        } catch (const MallowError& error) {
            if (source)
                *source = error.Source();
            if (description)
                *description = error.Description();
            return error.Number();
        }
        return 0;
    }

    test::FixedVersion version{2, 5, 1};
    ScriptedServer server;
    MountProvider provider;
    test::RecordingReporter reporter;
    RecordingSender sender;
    TableResolver resolver;
    MemoryFiles files;
    MultiUserServices services;
    const std::string db = "/mnt/data/Sales/app.mdb";
    const std::string lock = "/mnt/data/Sales/app.ldb";
};

TEST_F(MultiUserTest, DrivesPathsAndKeysOfEveryForm)
{
    MultiUser mu(services);
    EXPECT_EQ(mu.GetDrive("\\\\srv\\Data\\Sales\\app.mdb"), "\\\\srv");
    EXPECT_EQ(mu.PathWODrive("\\\\srv\\Data\\Sales\\app.mdb"), "Data\\Sales\\app.mdb");
    EXPECT_EQ(mu.GetDrive("//srv/Data/Sales/app.mdb"), "//srv");
    EXPECT_EQ(mu.PathWODrive("//srv/Data/Sales/app.mdb"), "Data/Sales/app.mdb");
    EXPECT_EQ(mu.GetDrive("X:\\Sales\\app.mdb"), "X:");
    EXPECT_EQ(mu.PathWODrive("D:\\DATA\\SALES\\APP.MDB"), "DATA\\SALES\\APP.MDB");
    EXPECT_EQ(mu.GetDrive(db), "/mnt/data");
    EXPECT_EQ(mu.PathWODrive(db), "Sales/app.mdb");
    EXPECT_EQ(mu.GetDrive("/home/ann/app.mdb"), "/home");
    EXPECT_EQ(mu.GetDrive("/tmp/app.mdb"), "/");

    EXPECT_EQ(MultiUser::LockFilePath("X:\\Sales\\app.mdb"), "X:\\Sales\\app.ldb");
    EXPECT_EQ(MultiUser::LockFilePath("/a.b/app"), "/a.b/app.ldb");
    EXPECT_EQ(MultiUser::NetSendCommandLine("PC01", "Hello"), "net send PC01 \" Hello\"");
    EXPECT_EQ(MultiUser::NetSendCommandLine("PC01", "Hello").size(), 22u);
    EXPECT_EQ(MultiUser::DisconnectNotice("X:\\Sales\\app.mdb"),
              "You have been disconnected from the following database : \r\nX:\\Sales\\app.mdb\r\n"
              "You will need to close the file and re-open it\r\nor you will recieve an error.");
}

// The mount, the UNC form in either slash, and a server reporting its local path by the
// share's own folder or by the share's name all find the same handle.
TEST_F(MultiUserTest, HandlesAreFoundByShareNameOrByTheSharesPathOnTheServer)
{
    MultiUser mu(services);
    server.files = {{"C:\\srv\\data\\Sales\\APP.MDB", "ann", 7}, {"D:\\Data\\Sales\\app.mdb", "bob", 8},
                    {"C:\\srv\\data\\Sales\\other.mdb", "cy", 9}};
    server.sharePaths["Data"] = "C:\\srv\\data\\";
    for (const std::string& path : {db, std::string("\\\\srv\\Data\\Sales\\app.mdb"),
                                    std::string("//srv/Data/Sales/app.mdb")}) {
        SCOPED_TRACE(path);
        mu.OpenFiles.clear();
        mu.GetUsers(path);
        ASSERT_EQ(mu.OpenFiles.size(), 2u);
        EXPECT_EQ(mu.OpenFiles[0].userName, "ann");
        EXPECT_EQ(mu.OpenFiles[1].fileId, 8);
        EXPECT_TRUE(mu.AnyUsers(path));
    }
    server.files.erase(server.files.begin(), server.files.begin() + 2);
    EXPECT_FALSE(mu.AnyUsers(db));
}

TEST_F(MultiUserTest, ALocalPathIsNoNetworkPathAndNoServerIsAsked)
{
    MultiUser mu(services);
    for (const auto& call : std::vector<std::pair<std::string, std::function<void()>>>{
             {"AnyUsers", [&] { mu.AnyUsers("/tmp/app.mdb"); }},
             {"GetUserInfo", [&] { mu.GetUserInfo("/tmp/app.mdb"); }},
             {"SendMessageToUsers", [&] { mu.SendMessageToUsers("/tmp/app.mdb", "hi"); }},
             {"CloseFileAllUsers", [&] { mu.CloseFileAllUsers("/tmp/app.mdb"); }},
             {"CloseFile", [&] { mu.CloseFile("/tmp/app.mdb", 3); }}}) {
        std::string source;
        std::string description;
        EXPECT_EQ(ErrorNumber(call.second, &source, &description), MultiUserError);
        EXPECT_EQ(source, "MultiUser." + call.first + "()");
        EXPECT_EQ(description,
                  "Could not retrieve the UNC path.\r\nThe path may not be on a network.");
    }
    // The only question is this machine's own share list, once an operation; no share of it
    // exports /tmp.
    for (const std::string& call : server.calls)
        EXPECT_EQ(call, "NetShareEnum 2");
    EXPECT_LE(server.calls.size(), 5u);
    EXPECT_TRUE(sender.sent.empty());
}

// A local path inside a folder that this machine's own server shares is reached through that
// server, by the share whose folder holds it most closely, also through a link into it.
TEST_F(MultiUserTest, ALocalPathInALocalShareIsThatSharesPath)
{
    test::TempFolder root;
    const std::string data = root.File("srv/Data");
    std::filesystem::create_directories(data + "/Sales");
    std::filesystem::create_directories(data + "/Orders");
    std::filesystem::create_symlink(data + "/Orders", root.File("orders-link"));
    std::string serverData = "C:" + data;
    std::replace(serverData.begin(), serverData.end(), '/', '\\');
    server.sharePaths = {{"Data", serverData}, {"Sales", serverData + "\\Sales"}};
    server.localShares = {"Data", "Sales"};
    services.mounts = [] { return std::vector<platform::MountEntry>{{"/", "/", "ext4", "/dev/vda", ""}}; };
    MultiUser mu(services);

    EXPECT_EQ(mu.GetDrive(data + "/Orders/orders.mdb"), data);
    EXPECT_EQ(mu.PathWODrive(data + "/Orders/orders.mdb"), "Orders/orders.mdb");
    // The longest folder wins: Sales lies inside Data and is a share of its own.
    EXPECT_EQ(mu.GetDrive(data + "/Sales/sales.mdb"), data + "/Sales");
    EXPECT_EQ(mu.PathWODrive(data + "/Sales/sales.mdb"), "sales.mdb");

    // The server lists the open files by its own path of them.
    server.files = {{serverData + "\\Sales\\sales.mdb", "ann", 7},
                    {serverData + "\\Orders\\orders.mdb", "bob", 8},
                    {serverData + "\\Orders\\other.mdb", "cy", 9}};
    server.sessions = {{"WS1", "ann"}, {"WS2", "bob"}};
    files.files[data + "/Sales/sales.ldb"] = Record("WS1", "Admin");
    files.files[root.File("orders-link") + "/orders.ldb"] = Record("WS2", "Sue");
    server.calls.clear();
    server.shareListsAskedOf.clear();
    EXPECT_TRUE(mu.AnyUsers(data + "/Sales/sales.mdb"));
    const std::vector<UserInfoRow> rows = mu.GetUserInfo(root.File("orders-link") + "/orders.mdb");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].computerName, "WS2");
    EXPECT_EQ(rows[0].accessUserId, "Sue");
    EXPECT_EQ(rows[0].fileId, 8);
    // Asked of this machine's server, once for each of the two operations.
    EXPECT_EQ(server.shareListsAskedOf,
              std::vector<std::string>({"\\\\127.0.0.1", "\\\\127.0.0.1"}));

    EXPECT_TRUE(mu.CloseFileAllUsers(data + "/Sales/sales.mdb"));
    EXPECT_EQ(server.closed, std::vector<std::uint32_t>({7}));

    // A folder beside the shares is no network path.
    std::filesystem::create_directories(root.File("srv/Other"));
    try {
        mu.AnyUsers(root.File("srv/Other/x.mdb"));
        ADD_FAILURE() << "a folder no share exports was taken for a network path";
    } catch (const MallowError& error) {
        EXPECT_EQ(error.Description(),
                  "Could not retrieve the UNC path.\r\nThe path may not be on a network.");
    }
}

TEST_F(MultiUserTest, LockFileFieldsAndBadLockFiles)
{
    const auto text = [](const std::string& bytes) {
        return MultiUser::ByteArray2String(reinterpret_cast<const unsigned char*>(bytes.data()),
                                           bytes.size());
    };
    EXPECT_EQ(text(Field("PC01")), "PC01");
    EXPECT_EQ(text(std::string("PC01\0X", 6)), "PC01X");
    EXPECT_EQ(text(std::string(32, ' ')), "");
    EXPECT_EQ(text("  M\xDC" "LLER  "), "M\xC3\x9C" "LLER");
    EXPECT_EQ(text(std::string(32, 'A')), std::string(32, 'A'));

    MultiUser mu(services);
    // A truncated record is not read; bytes above 127 become their characters.
    files.files[lock] = Record("PC01", "ann") + Record("\x80\xFF", "x") + "PC02";
    mu.AccessGetUsers(db);
    ASSERT_EQ(mu.LockEntries.size(), 2u);
    EXPECT_EQ(mu.LockEntries[1].computerName, "\xE2\x82\xAC\xC3\xBF");
    // An empty lock file, a huge one and a missing one.
    mu.LockEntries.clear();
    files.files[lock] = "";
    mu.AccessGetUsers(db);
    EXPECT_TRUE(mu.LockEntries.empty());
    // A file of more records than a database admits users is read no further than that.
    std::string huge;
    for (int i = 0; i < 100000; ++i)
        huge += Record("PC" + std::to_string(i), "u");
    files.files[lock] = huge;
    mu.AccessGetUsers(db);
    ASSERT_EQ(mu.LockEntries.size(), MaxLockRecords);
    EXPECT_EQ(mu.LockEntries.back().computerName, "PC254");
    EXPECT_LE(files.largestRead, MaxLockRecords * 64 + 1);
    mu.LockEntries.clear();
    files.files.erase(lock);
    mu.AccessGetUsers(db);
    EXPECT_TRUE(mu.LockEntries.empty());
}

// The join: sessions of the users holding handles, matched with the lock file's records by
// computer name: exactly, then without regard to case, then by the address a name resolves to.
TEST_F(MultiUserTest, UsersAreJoinedWithTheLockFileAsServersNameThem)
{
    MultiUser mu(services);
    server.files = {{"C:\\Data\\Sales\\app.mdb", "ann", 7}, {"C:\\Data\\Sales\\app.mdb", "ann", 11},
                    {"C:\\Data\\Sales\\app.mdb", "bob", 8}, {"C:\\Data\\Sales\\app.mdb", "cy", 9}};
    server.sessions = {{"pc01", "ANN"}, {"10.0.0.5", "bob"}, {"PC09", "cy"}, {"PC01", "dan"},
                       {"10.0.0.7", "cy"}};
    files.files[lock] = Record("PC01", "Admin") + Record("", "") + Record("BOBS-PC", "bob") +
                        Record("GONE", "zed");
    resolver.names["BOBS-PC"] = {"10.0.0.5"};
    resolver.names["GONE"] = {"10.0.0.9"};

    const std::vector<UserInfoRow> rows = mu.GetUserInfo(db);
    ASSERT_EQ(rows.size(), 2u);
    // Two handles of one user from one computer give one row, with the first handle.
    EXPECT_EQ(rows[0].ntUserId, "ANN");
    EXPECT_EQ(rows[0].computerName, "pc01");
    EXPECT_EQ(rows[0].accessUserId, "Admin");
    EXPECT_EQ(rows[0].fileId, 7);
    EXPECT_EQ(rows[1].computerName, "10.0.0.5");
    EXPECT_EQ(rows[1].accessUserId, "bob");
    // Each of the three names is looked up once in the operation, for two address sessions.
    EXPECT_EQ(resolver.lookups, 3);

    // With an empty lock file every session is listed, without an Access user.
    files.files[lock] = "";
    const std::vector<UserInfoRow> all = mu.GetUserInfo(db);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[2].computerName, "PC09");
    EXPECT_EQ(all[2].accessUserId, "");

    // Nobody holds the database: nothing is listed and the lock file is not read.
    server.files.clear();
    files.files.erase(lock);
    EXPECT_TRUE(mu.GetUserInfo(db).empty());
}

TEST_F(MultiUserTest, MessagesAndDisconnectionGoToMatchedComputersOnce)
{
    MultiUser mu(services);
    server.files = {{"C:\\Data\\Sales\\app.mdb", "ann", 7}, {"C:\\Data\\Sales\\app.mdb", "cy", 9},
                    {"C:\\Data\\Sales\\app.ldb", "ann", 21}};
    // ann is on one computer that two workgroup users share; cy's computer is in no record.
    server.sessions = {{"PC01", "ann"}, {"PC09", "cy"}};
    files.files[lock] = Record("PC01", "Admin") + Record("PC01", "Sue");

    // A computer gets one message, however many of its workgroup users hold the database.
    mu.SendMessageToUsers(db, "Back in 5 \"minutes\"\r\n$(rm -rf /)");
    EXPECT_EQ(sender.sent, std::vector<std::string>(
                               1, "net send PC01 \" Back in 5 \"minutes\"\r\n$(rm -rf /)\""));

    sender.sent.clear();
    EXPECT_TRUE(mu.CloseFileAllUsers(db));
    // The handle is closed once although two records name its computer; cy keeps his.
    EXPECT_EQ(server.closed, std::vector<std::uint32_t>({7}));
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0], MultiUser::NetSendCommandLine("PC01", MultiUser::DisconnectNotice(db)));

    EXPECT_EQ(mu.GetLDBFileID(lock, "ann", "PC01"), 21);
    EXPECT_EQ(mu.GetLDBFileID(lock, "cy", "PC09"), 0);

    // An empty lock file: no message, no close, though the server lists sessions.
    files.files[lock] = "";
    sender.sent.clear();
    mu.SendMessageToUsers(db, "x");
    EXPECT_TRUE(mu.CloseFileAllUsers(db));
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_EQ(server.closed.size(), 1u);
}

// A lock file written to multiply the work: records that all name one computer, or thousands of
// names that each take the resolver's whole wait.
TEST_F(MultiUserTest, AHostileLockFileCostsOneMessageAndOneLookUpPerComputer)
{
    MultiUser mu(services);
    server.files = {{"C:\\Data\\Sales\\app.mdb", "ann", 7}, {"C:\\Data\\Sales\\app.mdb", "bob", 8}};
    server.sessions = {{"PC01", "ann"}, {"10.0.0.5", "bob"}};
    std::string records;
    for (int i = 0; i < 100000; ++i)
        records += Record(i % 2 ? "PC01" : "BOBS-PC", "u" + std::to_string(i));
    files.files[lock] = records;
    resolver.names["BOBS-PC"] = {"10.0.0.5"};
    resolver.names["PC01"] = {"10.0.0.1"};

    mu.SendMessageToUsers(db, "hello");
    EXPECT_EQ(sender.sent, std::vector<std::string>({"net send PC01 \" hello\"",
                                                     "net send 10.0.0.5 \" hello\""}));
    // BOBS-PC, for the session named by its address, and PC01, to send it its message.
    EXPECT_EQ(resolver.lookups, 2);
    sender.sent.clear();
    resolver.lookups = 0;
    EXPECT_TRUE(mu.CloseFileAllUsers(db));
    EXPECT_EQ(server.closed, std::vector<std::uint32_t>({7, 8}));
    EXPECT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(resolver.lookups, 2);

    // Every name takes the resolver's longest wait: all of one operation's look-ups together
    // end within one budget, and the names left are taken as not found.
    struct SlowResolver : NameResolver
    {
        int lookups = 0;
        std::vector<std::string> Addresses(const std::string&) override { return {}; }
        std::vector<std::string> Addresses(const std::string&,
                                           std::chrono::milliseconds wait) override
        {
            ++lookups;
            std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(wait, std::chrono::milliseconds(400)));
            return {};
        }
    } slow;
    services.resolver = &slow;
    MultiUser bounded(services);
    server.files = {{"C:\\Data\\Sales\\app.mdb", "bob", 8}};
    records.clear();
    for (int i = 0; i < 10000; ++i)
        records += Record("PC" + std::to_string(i), "u");
    files.files[lock] = records;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(bounded.GetUserInfo(db).empty());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, NameLookupBudget + std::chrono::seconds(2));
    EXPECT_LE(slow.lookups, static_cast<int>(NameLookupBudget / std::chrono::milliseconds(400)) + 1);
}

TEST_F(MultiUserTest, AFailedCloseIsRaisedUnderTheOperationsName)
{
    MultiUser mu(services);
    std::string source;
    std::string description;
    EXPECT_EQ(ErrorNumber([&] { mu.CloseFile(db, 99); }, &source, &description), MultiUserError);
    EXPECT_EQ(source, "MultiUser.CloseFile()");
    EXPECT_EQ(description, "The system cannot find the file specified.");
}

} // namespace

namespace {

// The reader of this machine's lock files: a pipe or a link in a lock file's place is refused
// at once, a huge sparse file costs no more than the records a database admits.
TEST(LockFileReader, ReadsOnlyRegularFilesAndOnlyTheirStart)
{
    test::TempFolder folder;
    FileReader& files = *DefaultMultiUserServices(net::NetServices{}).files;
    const std::string sparse = folder.File("huge.ldb");
    test::WriteFile(sparse, "");
    ASSERT_EQ(truncate(sparse.c_str(), off_t{4} << 30), 0);
    EXPECT_EQ(files.Read(sparse, MaxLockRecords * 64 + 1).size(), MaxLockRecords * 64 + 1);

    const std::string pipe = folder.File("pipe.ldb");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_THROW(files.Read(pipe, 100), MallowError);
    const std::string link = folder.File("link.ldb");
    std::filesystem::create_symlink(sparse, link);
    EXPECT_THROW(files.Read(link, 100), MallowError);
}

} // namespace
