#include "FakeServices.h"
#include "Raised.h"
#include "net/NetErrors.h"
#include "net/cNetCalls.h"
#include "net/cNet_Win9x.h"
#include "platform/LinuxProvider.h"
#include "platform/SvrApiLayer.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace mallow;
using namespace mallow::net;
using namespace mallow::platform;
using mallow::test::FixedVersion;
using mallow::test::Raised;

namespace {

/// A 9x server library whose answers are damaged after the layer wrote them, as a faulty
/// server or driver could hand them back.
class BrokenAnswers : public SvrApiLayer
{
public:
    enum class Fault { None, TooManyEntries, AddressOutside, NoNul };
    Fault fault = Fault::None;
    /// The call whose answer is damaged.
    std::string call;

    NET_API_STATUS NetFileEnum(const char* s, const char* b, std::int16_t l,
                               std::span<std::uint8_t> buf, std::uint16_t cb, std::uint16_t* read,
                               std::uint16_t* total) override
    {
        const auto status = SvrApiLayer::NetFileEnum(s, b, l, buf, cb, read, total);
        Break("NetFileEnum", buf, cb, read, 8);
        return status;
    }
    NET_API_STATUS NetSessionEnum(const char* s, std::int16_t l, std::span<std::uint8_t> buf,
                                  std::uint16_t cb, std::uint16_t* read,
                                  std::uint16_t* total) override
    {
        const auto status = SvrApiLayer::NetSessionEnum(s, l, buf, cb, read, total);
        Break("NetSessionEnum", buf, cb, read, 0);
        return status;
    }
    NET_API_STATUS NetServerGetInfo(const char* s, std::int16_t l, std::span<std::uint8_t> buf,
                                    std::uint16_t cb, std::uint16_t* available) override
    {
        const auto status = SvrApiLayer::NetServerGetInfo(s, l, buf, cb, available);
        Break("NetServerGetInfo", buf, cb, nullptr, 22);
        return status;
    }

private:
    /// Damages record 0 through the text field at `field`.
    void Break(const std::string& name, std::span<std::uint8_t> buf, std::uint16_t cb,
               std::uint16_t* read, std::size_t field)
    {
        std::uint32_t address = 0;
        if (name != call)
            return;
        switch (fault) {
        case Fault::None:
            return;
        case Fault::TooManyEntries:
            if (read)
                *read = 60000;
            return;
        case Fault::AddressOutside:
            address = cb + 16u;
            break;
        case Fault::NoNul:
            // A text that runs to the end of the count; the bytes after it are left alone.
            address = cb / 2u;
            std::memset(buf.data() + address, 'X', cb - address);
            break;
        }
        std::memcpy(buf.data() + field, &address, 4);
    }
};

/// A Windows 98 machine, a 9x peer server FS1, an NT 4.0 server and a Windows 2000 server.
struct Win9x
{
    explicit Win9x(FixedVersion version = FixedVersion(1, 4, 10)) : version(version)
    {
        services.version = &this->version;
        services.provider = &provider;
        services.svrApi = &layer;
        auto& state = layer.state;
        state.keepRequests = true;
        auto& fs = state.Server("FS1");
        fs.major = 3;
        fs.minor = 10;
        fs.type = 0x400003;
        fs.comment = "Peer server";
        fs.files = {{7, 0x23, 1, "C:\\DATA\\SALES.MDB", "ALICE", "DATA", "WS01"},
                    {9, 0x01, 0, "C:\\DATA\\SALES.LDB", "BOB", "DATA", "WS02"}};
        fs.sessions = {{"WS01", "ALICE", 11, 1, 1, 600, 30, 0, 1, "Windows 4.0"},
                       {"WS02", "BOB", 12, 2, 1, 90, 0, 0, 0, ""}};
        fs.shares = {{"DATA", 0, 0x0102, "Files", "C:\\DATA", "", ""}};
        fs.connections = {{"WS01", "ALICE", "DATA", 0, 1, 600}, {"WS02", "", "DATA", 0, 1, 90}};
        auto& nt4 = state.Server("NT4", true);
        nt4.major = 4;
        nt4.type = 0x1003;
        nt4.shares = {{"PUBLIC", 0, 0, "Everyone", "D:\\PUBLIC", "", ""}};
        state.Server("W2K", true).major = 5;
    }
    SvrServer& Fs1() { return layer.state.Server("FS1"); }
    std::vector<std::string>& Requests() { return layer.state.requests; }

    FixedVersion version;
    LinuxProvider provider;
    BrokenAnswers layer;
    NetServices services;
};

void ExpectCallError(const MallowError& e, const std::string& source,
                     const std::string& description)
{
    EXPECT_EQ(e.Number(), ServerCallError);
    EXPECT_EQ(e.Source(), source);
    EXPECT_EQ(e.Description(), description);
}

void ExpectNtTarget(const MallowError& e, const std::string& source, const std::string& description)
{
    EXPECT_EQ(e.Number(), WrongTargetError);
    EXPECT_EQ(e.Source(), source);
    EXPECT_EQ(e.Description(), description);
}

} // namespace

TEST(Win9xCreation, OnlyOnTheNineXFamily)
{
    for (const std::uint32_t minor : {0u, 10u, 90u}) {
        Win9x machine(FixedVersion(1, 4, minor));
        cNetCalls calls(machine.services);
        EXPECT_EQ(calls.OSType(), minor == 0 ? 5 : minor == 10 ? 6 : 7);
        EXPECT_EQ(TextOf(calls.EnumShares("fs1")(0, 0)), "DATA");
    }
    for (const auto& version : {FixedVersion(2, 4, 0), FixedVersion(2, 5, 1), FixedVersion(2, 6, 0),
                                FixedVersion(0, 4, 10)}) {
        Win9x machine(version);
        const auto e = Raised([&] { cNet_Win9x impl(machine.services); });
        EXPECT_EQ(e.Number(), WrongFamilyError);
        EXPECT_EQ(e.Source(), "Class_Initialize");
        EXPECT_EQ(e.Description(), "Invalid OS");
        // The family is checked before anything else the object needs.
        NetServices probeOnly;
        probeOnly.version = &machine.version;
        EXPECT_EQ(Raised([&] { cNet_Win9x impl(probeOnly); }).Description(), "Invalid OS");
    }
    // Windows 95 cannot turn a local path into a universal name; the later 9x systems ask.
    Win9x win95(FixedVersion(1, 4, 0));
    cNet_Win9x on95(win95.services);
    const auto e = Raised([&] { on95.GetUniversalName("/nowhere", 1); });
    EXPECT_EQ(e.Number(), NeedsNt4Error);
    EXPECT_EQ(e.Source(), "GetUniversalName");
    EXPECT_EQ(e.Description(), "WNetGetUniversalName doesn't work on Win95 (see Q131416).\r\n"
                               "Use WNetEnumResource instead.");
    Win9x win98;
    cNet_Win9x on98(win98.services);
    EXPECT_NE(Raised([&] { on98.GetUniversalName("/nowhere", 1); }).Number(), NeedsNt4Error);
    EXPECT_EQ(cNet_Win9x::TrimNull(std::string("ab\0cd ", 6)), "ab");
}

TEST(Win9xFiles, EveryOpenFileWithItsShare)
{
    Win9x m;
    cNet_Win9x net(m.services);
    const NetTable files = net.EnumFiles(" fs1 ");
    ASSERT_EQ(files.Rows(), 2);
    EXPECT_EQ(TextOf(files(0, 0)), "C:\\DATA\\SALES.MDB");
    EXPECT_EQ(TextOf(files(1, 0)), "ALICE");
    EXPECT_EQ(std::get<std::int32_t>(files(2, 0)), 7);
    EXPECT_EQ(std::get<std::int16_t>(files(3, 0)), 1);
    EXPECT_EQ(std::get<std::int16_t>(files(4, 0)), 0x23);
    EXPECT_EQ(TextOf(files(5, 0)), "Read/Execute.|Write.|Modify Attributes.");
    EXPECT_EQ(TextOf(files(6, 1)), "DATA");
    EXPECT_EQ(m.Requests(), (std::vector<std::string>{"NetServerGetInfo \\\\fs1 50 8192",
                                                      "NetFileEnum \\\\fs1 \"\" 50 16384"}));
    EXPECT_EQ(net.EnumFiles("\\\\FS1").Rows(), 2);

    m.Fs1().files.clear();
    EXPECT_TRUE(net.EnumFiles("fs1").IsEmpty());
    // More files than one buffer holds: an error, not a partial list.
    for (std::uint32_t id = 1; id <= 500; ++id)
        m.Fs1().files.push_back({id, 1, 0, "C:\\DATA\\F" + std::to_string(id), "U", "DATA", "W"});
    ExpectCallError(Raised([&] { net.EnumFiles("fs1"); }), "cNet_9x.EnumFiles()",
                    "More data is available.");
}

TEST(Win9xFiles, NtServersAreRefusedBeforeTheCall)
{
    Win9x m;
    cNet_Win9x net(m.services);
    ExpectNtTarget(Raised([&] { net.EnumFiles("nt4"); }), "EnumFiles",
                   "Cannot call the NetFileEnum function from a Win9x to a NT+ computer.");
    // The information of an NT server comes at level 1.
    EXPECT_EQ(m.Requests(), (std::vector<std::string>{"NetServerGetInfo \\\\nt4 50 8192",
                                                      "NetServerGetInfo \\\\nt4 1 8192"}));
    ExpectNtTarget(Raised([&] { net.EnumConnections("nt4", "PUBLIC"); }), "EnumConnections",
                   "Cannot call the NetConnectionEnum function from a Win9x to a NT+ computer.");
    // Only version 4 counts as NT: a later server gets the call, and refuses its level.
    ExpectCallError(Raised([&] { net.EnumFiles("w2k"); }), "cNet_9x.EnumFiles()",
                    "The system call level is not correct.");
    ExpectCallError(Raised([&] { net.EnumFiles("gone"); }), "cNet_9x.GetServerInfo()",
                    "The network path was not found.");
}

TEST(Win9xFiles, CloseFileNamesTheServerInUpperCase)
{
    Win9x m;
    cNet_Win9x net(m.services);
    net.CloseFile(9, "fs1", "C:\\DATA\\SALES.LDB");
    EXPECT_EQ(m.Requests(), std::vector<std::string>{"NetFileClose2 \\\\FS1 9"});
    ASSERT_EQ(m.Fs1().files.size(), 1u);
    ExpectCallError(Raised([&] { net.CloseFile(9, "fs1", ""); }), "cNet_9x.CloseFile()",
                    "There is not an open file with that identification number.");
}

TEST(Win9xSessions, LevelFiftyThenLevelOne)
{
    Win9x m;
    cNet_Win9x net(m.services);
    NetTable sessions = net.EnumSessions("fs1");
    ASSERT_EQ(sessions.Rows(), 2);
    EXPECT_EQ(TextOf(sessions(0, 0)), "ALICE");
    EXPECT_EQ(TextOf(sessions(1, 0)), "ALICE");
    EXPECT_EQ(TextOf(sessions(2, 0)), "WS01");
    EXPECT_EQ(TextOf(sessions(3, 0)), "");
    EXPECT_EQ(std::get<std::int32_t>(sessions(4, 0)), 30);
    EXPECT_EQ(std::get<std::int16_t>(sessions(5, 1)), 1);
    EXPECT_EQ(std::get<std::int32_t>(sessions(6, 0)), 600);
    EXPECT_EQ(std::get<std::int16_t>(sessions(7, 0)), 0);
    EXPECT_EQ(TextOf(sessions(8, 0)), "No Flags");
    EXPECT_EQ(std::get<std::int16_t>(sessions(9, 1)), 2);
    EXPECT_EQ(m.Requests().back(), "NetSessionEnum \\\\fs1 50 4096");

    m.Fs1().failures["NetSessionEnum 50"] = ERROR_INVALID_LEVEL;
    m.Fs1().sessions[0].flags = 1;
    sessions = net.EnumSessions("fs1");
    EXPECT_EQ(m.Requests().back(), "NetSessionEnum \\\\fs1 1 4096");
    EXPECT_EQ(TextOf(sessions(2, 1)), "WS02");
    EXPECT_EQ(TextOf(sessions(8, 0)), "The user specified by the sesi502_username member "
                                      "established the session using a guest account.");
    // The error carries the code of the second call.
    m.Fs1().failures["NetSessionEnum 50"] = ERROR_ACCESS_DENIED;
    m.Fs1().failures["NetSessionEnum 1"] = ERROR_BAD_NETPATH;
    ExpectCallError(Raised([&] { net.EnumSessions("fs1"); }), "cNet_9x.EnumSessions()",
                    "The network path was not found.");
    m.Fs1().failures.clear();
    m.Fs1().sessions.clear();
    EXPECT_TRUE(net.EnumSessions("fs1").IsEmpty());
}

TEST(Win9xSessions, OneSessionAndItsEnd)
{
    Win9x m;
    cNet_Win9x net(m.services);
    NetRecord session = net.GetSessionInfo("fs1", "ws01", "alice");
    EXPECT_EQ(m.Requests().back(), "NetSessionGetInfo \\\\fs1 \\\\ws01 2 8192");
    EXPECT_EQ(TextOf(session[0]), "Windows 4.0");
    EXPECT_EQ(TextOf(session[1]), "ALICE");
    EXPECT_EQ(std::get<std::int32_t>(session[6]), 1);
    EXPECT_EQ(std::get<std::int16_t>(session[8]), 0);
    m.Fs1().failures["NetSessionGetInfo 2"] = ERROR_INVALID_LEVEL;
    session = net.GetSessionInfo("fs1", "\\\\WS01", "");
    EXPECT_EQ(m.Requests().back(), "NetSessionGetInfo \\\\fs1 \\\\WS01 1 8192");
    EXPECT_EQ(TextOf(session[0]), "");
    ExpectCallError(Raised([&] { net.GetSessionInfo("fs1", "ws09", ""); }),
                    "cNet_9x.GetSessionInfo()",
                    "A session does not exist with that computer name.");

    // Ending a session closes the files it held.
    net.DeleteSession("alice", "fs1", "WS01");
    EXPECT_EQ(m.Fs1().sessions.size(), 1u);
    EXPECT_EQ(net.EnumFiles("fs1").Rows(), 1);
    ExpectCallError(Raised([&] { net.DeleteSession("alice", "fs1", "WS01"); }),
                    "cNet_9x.DeleteSession()", "A session does not exist with that computer name.");
    ExpectNtTarget(Raised([&] { net.DeleteSession("u", "nt4", "ws01"); }), "DeleteSession",
                   "Cannot call this function (NetSessionDel) with remote NT computer.");
}

TEST(Win9xServer, InformationRecord)
{
    Win9x m;
    cNet_Win9x net(m.services);
    NetRecord info = net.GetServerInfo("fs1");
    EXPECT_EQ(TextOf(info[0]), "FS1");
    EXPECT_EQ(TextOf(info[1]), "Peer server");
    EXPECT_EQ(std::get<std::int16_t>(info[2]), 0);
    EXPECT_EQ(std::get<std::uint8_t>(info[3]), 3);
    EXPECT_EQ(std::get<std::uint8_t>(info[4]), 10);
    EXPECT_EQ(TextOf(info[6]),
              "A LAN Manager workstation|A LAN Manager server|Windows 95 Or later");
    m.layer.state.Server("").comment = "this machine";
    EXPECT_EQ(TextOf(net.GetServerInfo("")[0]), "[Local]");
    m.layer.state.Server("NONAME").name.clear();
    EXPECT_EQ(TextOf(net.GetServerInfo(" noname")[0]), "\\\\noname");
    EXPECT_EQ(std::get<std::uint8_t>(net.GetServerInfo("nt4")[3]), 4);
    m.Fs1().failures["NetServerGetInfo"] = NERR_ServerNotStarted;
    ExpectCallError(Raised([&] { net.GetServerInfo("fs1"); }), "cNet_9x.GetServerInfo()",
                    "The Server service is not started.");
}

TEST(Win9xShares, BothLevelsAndTheirColumns)
{
    Win9x m;
    cNet_Win9x net(m.services);
    const NetTable shares = net.EnumShares("fs1");
    ASSERT_EQ(shares.Rows(), 1);
    EXPECT_EQ(TextOf(shares(2, 0)), "C:\\DATA");
    EXPECT_EQ(std::get<std::int16_t>(shares(8, 0)), 0x0102);
    EXPECT_EQ(TextOf(shares(9, 0)), "Write.");
    EXPECT_EQ(TextOf(shares(7, 0)), "Disk drive");

    const NetTable fromNt4 = net.EnumShares("nt4");
    EXPECT_EQ(TextOf(fromNt4(2, 0)), "Level 50 call failed");
    EXPECT_EQ(std::get<std::int16_t>(fromNt4(8, 0)), -1);
    EXPECT_EQ(TextOf(fromNt4(9, 0)), "UNKNOWN");
    m.layer.state.Server("W2K").shares = m.layer.state.Server("NT4").shares;
    EXPECT_EQ(TextOf(net.EnumShares("w2k")(2, 0)), "N/A calling NT");

    EXPECT_EQ(TextOf(net.GetNetShareInfo("fs1", "data")[1]), "Files");
    const NetRecord brief = net.GetNetShareInfo("nt4", "PUBLIC");
    EXPECT_EQ(TextOf(brief[1]), "Everyone");
    EXPECT_EQ(TextOf(brief[2]), "N/A calling NT");
    ExpectCallError(Raised([&] { net.GetNetShareInfo("fs1", "NONE"); }),
                    "cNet_9x.GetNetShareInfo()", "This shared resource does not exist.");
    m.Fs1().failures["NetShareEnum"] = ERROR_ACCESS_DENIED;
    ExpectCallError(Raised([&] { net.EnumShares("fs1"); }), "cNet_9x.EnumShares()",
                    "Access is denied.");
}

TEST(Win9xShares, AddDeleteAndRemark)
{
    Win9x m;
    cNet_Win9x net(m.services);
    const auto tooLong = Raised([&] { net.AddShare("fs1", "THIRTEENCHARS", "C:\\T", ""); });
    EXPECT_EQ(tooLong.Number(), ShareNameTooLongError);
    EXPECT_EQ(tooLong.Source(), "AddShare");
    EXPECT_EQ(tooLong.Description(), "The share name on Win9x can be a max of 12 charaters.");
    EXPECT_TRUE(m.Requests().empty());

    net.AddShare("fs1", "TWELVECHARSX", "C:\\T", "Reports");
    EXPECT_EQ(m.Requests().back(), "NetShareAdd \\\\fs1 50 42");
    const share_info_50& added = m.Fs1().shares.back();
    EXPECT_EQ(added.shi50_netname, "TWELVECHARSX");
    EXPECT_EQ(added.shi50_type, 0);
    EXPECT_EQ(added.shi50_flags, 0x0102);
    EXPECT_EQ(added.shi50_path, "C:\\T");
    EXPECT_EQ(added.shi50_remark, "Reports");
    EXPECT_EQ(added.shi50_rw_password, "");
    ExpectCallError(Raised([&] { net.AddShare("fs1", "twelvecharsx", "C:\\U", ""); }),
                    "cNet_9x.AddShare()", "The name has already been shared.");

    net.SetShareInfo("fs1", "DATA", "Sales files");
    EXPECT_EQ(m.Fs1().shares[0].shi50_remark, "Sales files");
    EXPECT_EQ(m.Fs1().shares[0].shi50_path, "C:\\DATA");
    EXPECT_EQ(m.Requests().back(), "NetShareSetInfo \\\\fs1 DATA 50 42 0");
    m.Fs1().failures["NetShareSetInfo 50"] = ERROR_ACCESS_DENIED;
    net.SetShareInfo("fs1", "DATA", "Again");
    EXPECT_EQ(m.Requests().back(), "NetShareSetInfo \\\\fs1 DATA 1 20 0");
    EXPECT_EQ(m.Fs1().shares[0].shi50_remark, "Again");
    EXPECT_EQ(m.Fs1().shares[0].shi50_flags, 0x0102);

    // A share read at level 1 is written at level 1 only: its folder was never seen.
    m.Requests().clear();
    net.SetShareInfo("nt4", "PUBLIC", "All staff");
    EXPECT_EQ(m.Requests(), (std::vector<std::string>{"NetShareGetInfo \\\\nt4 PUBLIC 50 8192",
                                                      "NetShareGetInfo \\\\nt4 PUBLIC 1 8192",
                                                      "NetShareSetInfo \\\\nt4 PUBLIC 1 20 0"}));
    EXPECT_EQ(m.layer.state.Server("NT4").shares[0].shi50_remark, "All staff");
    EXPECT_EQ(m.layer.state.Server("NT4").shares[0].shi50_path, "D:\\PUBLIC");
    m.Fs1().failures["NetShareSetInfo"] = ERROR_ACCESS_DENIED;
    ExpectCallError(Raised([&] { net.SetShareInfo("fs1", "DATA", "x"); }), "cNet_9x.SetShareInfo()",
                    "Access is denied.");

    ExpectNtTarget(Raised([&] { net.DeleteShare("nt4", "PUBLIC"); }), "DeleteShare",
                   "Cannot call this function (NetShareDel) with remote NT computer.");
    net.DeleteShare("fs1", "TWELVECHARSX");
    EXPECT_EQ(m.Fs1().shares.size(), 1u);
    ExpectCallError(Raised([&] { net.DeleteShare("fs1", "TWELVECHARSX"); }),
                    "cNet_9x.DeleteShare()", "This shared resource does not exist.");
}

TEST(Win9xConnections, UsersOfAShareAndFailuresRaise)
{
    Win9x m;
    cNet_Win9x net(m.services);
    const NetTable connections = net.EnumConnections("fs1", "DATA");
    EXPECT_EQ(m.Requests().back(), "NetConnectionEnum \\\\fs1 DATA 50 16384");
    ASSERT_EQ(connections.Rows(), 2);
    EXPECT_EQ(TextOf(connections(0, 0)), "ALICE");
    // Without a user name the row names the other end of the connection.
    EXPECT_EQ(TextOf(connections(0, 1)), "WS02");
    EXPECT_EQ(TextOf(connections(1, 1)), "DATA");
    EXPECT_EQ(std::get<std::int32_t>(connections(3, 0)), 600);
    EXPECT_EQ(TextOf(connections(7, 0)), "Disk drive");
    ExpectCallError(Raised([&] { net.EnumConnections("fs1", "NONE"); }),
                    "cNet_9x.EnumConnections()", "This shared resource does not exist.");
}

TEST(Win9xBrokenAnswers, AreRemoteErrorsNeverReadsOutside)
{
    using Fault = BrokenAnswers::Fault;
    const std::vector<std::pair<std::string, std::string>> calls = {
        {"NetFileEnum", "EnumFiles"},
        {"NetSessionEnum", "EnumSessions"},
        {"NetServerGetInfo", "GetServerInfo"}};
    for (const Fault fault : {Fault::TooManyEntries, Fault::AddressOutside, Fault::NoNul}) {
        for (const auto& [call, member] : calls) {
            if (fault == Fault::TooManyEntries && call == "NetServerGetInfo")
                continue; // a single record has no count
            Win9x m;
            cNet_Win9x net(m.services);
            m.layer.fault = fault;
            m.layer.call = call;
            const auto e = Raised([&] {
                if (member == "EnumFiles")
                    net.EnumFiles("fs1");
                else if (member == "EnumSessions")
                    net.EnumSessions("fs1");
                else
                    net.GetServerInfo("fs1");
            });
            ExpectCallError(e, "cNet_9x." + member + "()", "A remote API error occurred.");
        }
    }
}
