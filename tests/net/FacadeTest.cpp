#include "FakeServices.h"
#include "Raised.h"
#include "net/NetErrors.h"
#include "net/cNetCalls.h"
#include "net/cNet_NT.h"
#include "net/cNet_Win9x.h"
#include "platform/LinuxProvider.h"
#include "platform/SvrApiLayer.h"

#include <gtest/gtest.h>

using namespace mallow;
using namespace mallow::net;
using mallow::test::FixedVersion;
using mallow::test::RecordingReporter;
using mallow::test::ScriptedNetApi;

namespace {

struct Fixture
{
    explicit Fixture(FixedVersion version = FixedVersion(2, 5, 1)) : version(version)
    {
        services = {&this->version, &api, &provider, &reporter, &svrApi};
    }
    FixedVersion version;
    ScriptedNetApi api;
    platform::LinuxProvider provider;
    RecordingReporter reporter;
    platform::SvrApiLayer svrApi;
    NetServices services;
};

using test::Raised;

} // namespace

TEST(Facade, ChoosesTheImplementationOfTheFamily)
{
    Fixture nt;
    cNetCalls calls(nt.services);
    EXPECT_EQ(calls.OSType(), 4);
    EXPECT_TRUE(calls.EnumFiles("fs1").IsEmpty());
    EXPECT_EQ(nt.api.calls, (std::vector<std::string>{"NetWkstaGetInfo", "NetFileEnum"}));
    EXPECT_EQ(nt.api.serverName, u"\\\\fs1");

    Fixture win98(FixedVersion(1, 4, 10));
    win98.svrApi.state.Server("FS1");
    cNetCalls on9x(win98.services);
    EXPECT_EQ(on9x.OSType(), 6);
    EXPECT_TRUE(on9x.EnumFiles("fs1").IsEmpty());
    EXPECT_TRUE(win98.api.calls.empty());
    EXPECT_EQ(Raised([&] { on9x.AddShare("fs1", "ThirteenChars", "/x", ""); }).Number(),
              ShareNameTooLongError);

    Fixture vista(FixedVersion(2, 6, 0));
    cNetCalls none(vista.services);
    EXPECT_EQ(none.OSType(), 0);
    EXPECT_EQ(Raised([&] { none.EnumSessions("fs1"); }).Number(), 91);
    EXPECT_TRUE(vista.api.calls.empty());
}

TEST(Facade, WrongFamilyForTheNineXClass)
{
    Fixture nt;
    const auto e = Raised([&] { cNet_Win9x impl(nt.services); });
    EXPECT_EQ(e.Number(), WrongFamilyError);
    EXPECT_EQ(e.Source(), "Class_Initialize");
    EXPECT_EQ(e.Description(), "Invalid OS");
    EXPECT_EQ(cNet_Win9x::TrimNull(std::string("\0ab", 3)), "");
    EXPECT_EQ(cNet_Win9x::TrimNull(" ab "), "ab");
}

TEST(NtCalls, EveryCheckedMemberRefusesANineXTarget)
{
    Fixture f;
    f.api.workstationPlatform = 400;
    cNet_NT nt(f.services);
    const std::vector<std::pair<std::string, std::function<void()>>> members = {
        {"EnumFiles", [&] { nt.EnumFiles("w98"); }},
        {"EnumSessions", [&] { nt.EnumSessions("w98"); }},
        {"GetSessionInfo", [&] { nt.GetSessionInfo("w98", "ws", "u"); }},
        {"CloseFile", [&] { nt.CloseFile(1, "w98", ""); }},
        {"EnumConnections", [&] { nt.EnumConnections("w98", "Data"); }},
        {"GetServerInfo", [&] { nt.GetServerInfo("w98"); }},
        {"GetNetShareInfo", [&] { nt.GetNetShareInfo("w98", "Data"); }},
        {"AddShare", [&] { nt.AddShare("w98", "S", "C:\\S", ""); }},
        {"DeleteShare", [&] { nt.DeleteShare("w98", "S"); }},
        {"DeleteSession", [&] { nt.DeleteSession("u", "w98", ""); }},
        {"SetShareInfo", [&] { nt.SetShareInfo("w98", "S", "r"); }},
    };
    for (const auto& [name, call] : members) {
        f.api.calls.clear();
        const auto e = Raised(call);
        EXPECT_EQ(e.Number(), WrongTargetError) << name;
        EXPECT_EQ(e.Source(), name);
        EXPECT_EQ(e.Description(), "Cannot call a Win9x machine with this function");
        EXPECT_EQ(f.api.calls, std::vector<std::string>{"NetWkstaGetInfo"}) << name;
    }
    EXPECT_EQ(f.api.freed, static_cast<int>(members.size()));
}

TEST(NtCalls, ServerResultsAndFailures)
{
    Fixture f;
    cNet_NT nt(f.services);
    const auto sessions = nt.EnumSessions("fs1");
    ASSERT_EQ(sessions.Rows(), 1);
    EXPECT_EQ(TextOf(sessions(1, 0)), "alice");
    EXPECT_EQ(TextOf(sessions(2, 0)), "WS01");
    EXPECT_EQ(TextOf(sessions(8, 0)), "No Flags");
    EXPECT_EQ(std::get<std::int16_t>(sessions(9, 0)), 0);

    f.api.fileEnumStatus = 234;
    const auto more = Raised([&] { nt.EnumFiles("fs1"); });
    EXPECT_EQ(more.Number(), ServerCallError);
    EXPECT_EQ(more.Source(), "cNet_NT.EnumFiles()");
    EXPECT_EQ(more.Description(), "More data is available.");

    const auto server = nt.GetServerInfo("");
    EXPECT_EQ(TextOf(server[0]), "[Local]");
    // A server that gives no name is named by the argument as it was given.
    EXPECT_EQ(TextOf(nt.GetServerInfo("fs1")[0]), "fs1");
    EXPECT_EQ(TextOf(nt.GetServerInfo("\\\\fs1")[0]), "\\\\fs1");
    EXPECT_EQ(NumberOf(server[2]), 500);
    EXPECT_EQ(TextOf(server[6]), "A LAN Manager workstation|A LAN Manager server|Windows "
                                 "NT/Windows 2000 workstation or server");

    f.api.shareEnumLevel2Status = 124;
    const auto shares = nt.EnumShares("w98");
    ASSERT_EQ(shares.Rows(), 1);
    EXPECT_EQ(TextOf(shares(2, 0)), "N/A calling Win9x");
    EXPECT_EQ(TextOf(shares(9, 0)), "UNKNOWN");
    EXPECT_EQ(std::get<std::int16_t>(shares(8, 0)), -1);

    f.api.connectionEnumStatus = 5;
    EXPECT_TRUE(nt.EnumConnections("fs1", "Data").IsEmpty());
    ASSERT_EQ(f.reporter.shown.size(), 1u);
    EXPECT_EQ(f.reporter.shown[0],
              "An error has occured in module 'cNet_NT.EnumConnections'.\r\nAccess is denied.");
}

TEST(NtCalls, ProviderMembersNeedNt4)
{
    Fixture nt351(FixedVersion(2, 3, 51));
    cNet_NT nt(nt351.services);
    const auto e = Raised([&] { nt.GetNetInfo(); });
    EXPECT_EQ(e.Number(), NeedsNt4Error);
    EXPECT_EQ(e.Source(), "GetNetInfo");
    EXPECT_EQ(e.Description(),
              "You must be running NT 4.0+ (or Win9x) in order to run this FUNCTION.");
    EXPECT_EQ(Raised([&] { nt.UseConnection(0, "\\\\a\\b", "u", "p", ""); }).Source(),
              "UseConnection");
}

TEST(NetTable, EmptyValueAndBounds)
{
    const NetTable empty;
    EXPECT_TRUE(empty.IsEmpty());
    NetTable table(2, 1);
    table(1, 0) = std::string("x");
    EXPECT_EQ(TextOf(table(1, 0)), "x");
    EXPECT_EQ(Raised([&] { return table(2, 0); }).Number(), 9);
    EXPECT_EQ(Raised([&] { return empty(0, 0); }).Number(), 9);
}
