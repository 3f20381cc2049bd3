#include "Raised.h"
#include "net/NetErrors.h"
#include "net/modWNetCalls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace mallow;
using namespace mallow::platform;
namespace w = mallow::net::modWNetCalls;

namespace {

/// A network provider over an invented network, for the walk order and the answers that no
/// machine here gives (cancelled dialogs, unauthenticated containers).
class ScriptedProvider : public NetProvider
{
public:
    struct Node
    {
        std::string remote;
        DWORD display;
        DWORD usage;
    };
    std::map<std::string, std::vector<Node>> children; // "" is the top
    std::map<std::string, DWORD> openFailures;
    std::vector<std::string> log;
    DWORD dialogAnswer = 0;
    DWORD useAnswer = 0;
    DWORD useResult = CONNECT_LOCALDRIVE;
    std::string lastPassword, lastUser;
    bool credentialsPassed = false;

    DWORD WNetAddConnection2A(const NETRESOURCEA*, const char* pw, const char* user,
                              DWORD flags) override
    {
        credentialsPassed = pw || user;
        log.push_back("add " + std::to_string(flags));
        return 0;
    }
    DWORD WNetAddConnection3A(HWND, const NETRESOURCEA* r, const char* pw, const char* u,
                              DWORD f) override
    {
        return WNetAddConnection2A(r, pw, u, f);
    }
    DWORD WNetCancelConnectionA(const char*, bool) override { return ERROR_NOT_CONNECTED; }
    DWORD WNetCancelConnection2A(const char*, DWORD, bool) override { return 0; }
    DWORD WNetConnectionDialog(HWND, DWORD) override { return dialogAnswer; }
    DWORD WNetDisconnectDialog(HWND, DWORD) override { return dialogAnswer; }
    DWORD WNetConnectionDialog1A(CONNECTDLGSTRUCTA* d) override
    {
        log.push_back("dialog1 " + std::to_string(d->dwFlags) + " " + d->lpConnRes->lpRemoteName);
        return dialogAnswer;
    }
    DWORD WNetDisconnectDialog1A(DISCDLGSTRUCTA* d) override
    {
        log.push_back("disc1 " + std::to_string(d->dwFlags));
        return dialogAnswer;
    }
    DWORD WNetGetUniversalNameA(const char*, DWORD, void*, DWORD*) override
    {
        log.push_back("universal");
        return 0;
    }
    DWORD WNetGetUserA(const char*, char* user, DWORD*) override
    {
        std::strcpy(user, "alice");
        return 0;
    }
    DWORD WNetGetConnectionA(const char* local, char* remote, DWORD* length) override
    {
        log.push_back(std::string("connection ") + local);
        const std::string answer = "\\\\fs1\\Data";
        if (*length < answer.size() + 1) {
            *length = static_cast<DWORD>(answer.size() + 1);
            return 234;
        }
        std::strcpy(remote, answer.c_str());
        return 0;
    }
    DWORD WNetOpenEnumA(DWORD, DWORD, DWORD, const NETRESOURCEA* r, HANDLE* handle) override
    {
        const std::string key = r ? r->lpRemoteName : "";
        log.push_back("open " + key);
        if (openFailures.count(key))
            return openFailures[key];
        pending.push_back(children[key]);
        *handle = reinterpret_cast<HANDLE>(pending.size());
        return 0;
    }
    DWORD WNetEnumResourceA(HANDLE h, DWORD* count, void* buffer, DWORD* size) override
    {
        auto& nodes = pending[reinterpret_cast<std::size_t>(h) - 1];
        if (nodes.empty())
            return ERROR_NO_MORE_ITEMS;
        // One record per call, its text after it, to exercise the reading loop.
        if (*size < sizeof(NETRESOURCEA) + 64) {
            *size = sizeof(NETRESOURCEA) + 64;
            return 234;
        }
        auto* r = static_cast<NETRESOURCEA*>(buffer);
        *r = NETRESOURCEA{};
        char* text = static_cast<char*>(buffer) + sizeof(NETRESOURCEA);
        std::strcpy(text, nodes.front().remote.c_str());
        r->lpRemoteName = text;
        r->dwScope = RESOURCE_GLOBALNET;
        r->dwDisplayType = nodes.front().display;
        r->dwUsage = nodes.front().usage;
        nodes.erase(nodes.begin());
        *count = 1;
        return 0;
    }
    DWORD WNetCloseEnum(HANDLE) override
    {
        log.push_back("close");
        return 0;
    }
    DWORD WNetGetProviderNameA(DWORD, char* name, DWORD*) override
    {
        std::strcpy(name, "Net");
        return 0;
    }
    DWORD WNetGetNetworkInformationA(const char*, NETINFOSTRUCT* info) override
    {
        info->wNetType = 2;
        return dialogAnswer;
    }
    DWORD WNetGetResourceInformationA(const NETRESOURCEA*, void*, DWORD*, char**) override
    {
        return 67;
    }
    DWORD WNetGetResourceParentA(const NETRESOURCEA*, void*, DWORD*) override { return 67; }
    DWORD WNetUseConnectionA(HWND, const NETRESOURCEA*, const char* pw, const char* user, DWORD,
                             char* access, DWORD*, DWORD* result) override
    {
        lastPassword = pw;
        lastUser = user;
        std::strcpy(access, "Z:\\");
        *result = useResult;
        return useAnswer;
    }
    DWORD WNetGetLastErrorA(DWORD* error, char* text, DWORD, char* name, DWORD) override
    {
        *error = 5;
        std::strcpy(text, "the provider's own words");
        std::strcpy(name, "Net");
        return 0;
    }

private:
    std::vector<std::vector<Node>> pending;
};

using test::Raised;

} // namespace

TEST(WNetCalls, EnumResourcesWalksBreadthFirst)
{
    ScriptedProvider p;
    p.children[""] = {{"WG1", 1, 2}, {"WG2", 1, 2}};
    p.children["WG1"] = {{"\\\\A", 2, 2}};
    p.children["WG2"] = {{"\\\\B", 2, 2}};
    p.children["\\\\A"] = {{"\\\\A\\S1", 3, 1}};
    p.openFailures["\\\\B"] = ERROR_NOT_AUTHENTICATED;
    const auto all = w::EnumResources(p, -1, false);
    ASSERT_EQ(all.Rows(), 6);
    const std::vector<std::string> order = {
        "WG1",   "WG2",       "\\\\A",
        "\\\\B", "\\\\A\\S1", "Don't have rights to enumerate resources on \\\\B"};
    for (int row = 0; row < all.Rows(); ++row)
        EXPECT_EQ(net::TextOf(all(0, row)), order[static_cast<std::size_t>(row)]);
    EXPECT_EQ(net::TextOf(all(1, 5)), " -- NOT AUTHENTICATED");
    EXPECT_EQ(net::TextOf(all(4, 4)), "Share");
    EXPECT_EQ(net::TextOf(all(6, 0)), "All");

    const auto shares = w::EnumResources(p, 3, false);
    ASSERT_EQ(shares.Rows(), 1);
    EXPECT_EQ(net::TextOf(shares(0, 0)), "\\\\A\\S1");
    EXPECT_TRUE(w::EnumResources(p, 7, false).IsEmpty());
}

TEST(WNetCalls, EnumResourcesFailures)
{
    ScriptedProvider p;
    p.children[""] = {{"WG1", 1, 2}, {"WG2", 1, 2}};
    p.openFailures["WG1"] = ERROR_EXTENDED_ERROR;
    p.openFailures["WG2"] = 53;
    const auto e = Raised([&] { w::EnumResources(p, -1, false); });
    EXPECT_EQ(e.Number(), net::ProviderErrorBase + 53);
    EXPECT_EQ(e.Source(), "EnumResources");
    EXPECT_EQ(e.Description(), "When calling WNetOpenEnum, got the error, \r\n\r\n'The network "
                               "path was not found.'");
    p.openFailures.erase("WG2");
    const auto table = w::EnumResources(p, -1, false);
    EXPECT_EQ(net::TextOf(table(1, 2)), "The provider, 'Net'\r\nreturned the extended error "
                                        "info: \r\nthe provider's own words");
}

TEST(WNetCalls, DialogsAndCancelling)
{
    ScriptedProvider p;
    p.dialogAnswer = WN_CANCELLED;
    for (auto& [name, call] : std::vector<std::pair<std::string, std::function<void()>>>{
             {"ConnectDialog", [&] { w::ConnectDialog(p, 1, false); }},
             {"DisconnectDialog", [&] { w::DisconnectDialog(p, 1, false); }},
             {"MapDrive", [&] { w::MapDrive(p, 1, false, "", "\\\\fs1\\Data"); }},
             {"UnmapDrive", [&] { w::UnmapDrive(p, 1, "/mnt/x", false); }},
             {"GetNetInfo", [&] { w::GetNetInfo(p, false); }}}) {
        const auto e = Raised(call);
        EXPECT_EQ(e.Number(), net::DialogCancelledError) << name;
        EXPECT_EQ(e.Source(), name);
        EXPECT_EQ(e.Description(), "User cancelled");
    }
    EXPECT_EQ(p.log[0], "dialog1 44 \\\\fs1\\Data");
    EXPECT_EQ(p.log[1], "disc1 65");

    p.dialogAnswer = 0;
    const auto info = w::GetNetInfo(p, false);
    EXPECT_EQ(net::TextOf(info[7]), "LAN Manager");
    EXPECT_EQ(net::TextOf(info[5]), "No Error");
}

TEST(WNetCalls, ConnectionsAndNames)
{
    ScriptedProvider p;
    w::AddConnection2(p, "pw", "alice", "/mnt/x", "\\\\fs1\\Data", true, true);
    EXPECT_FALSE(p.credentialsPassed);
    EXPECT_EQ(p.log.back(), "add 9");
    w::AddConnection2(p, "pw", "alice", "/mnt/x", "\\\\fs1\\Data", false);
    EXPECT_TRUE(p.credentialsPassed);
    EXPECT_EQ(p.log.back(), "add 8");

    EXPECT_EQ(w::GetResourceName(p, "x", false), "\\\\fs1\\Data");
    EXPECT_EQ(p.log[p.log.size() - 1], "connection X:");
    EXPECT_EQ(w::GetResourceName(p, "/mnt/x/a.mdb", false), "\\\\fs1\\Data");
    EXPECT_EQ(w::GetUserName(p, "", false), "alice");

    const auto cancel = Raised([&] { w::CancelConnection(p, "/mnt/y", false, false); });
    EXPECT_EQ(cancel.Number(), net::ProviderErrorBase + ERROR_NOT_CONNECTED);
    EXPECT_EQ(cancel.Description(), "When calling WNetCancelConnection, got the error, \r\n\r\n"
                                    "'The network connection could not be found.'");

    const auto win95 = Raised([&] { w::GetUniversalName(p, "/mnt/x", 1, true, true); });
    EXPECT_EQ(win95.Number(), net::NeedsNt4Error);
    EXPECT_EQ(win95.Description(), "WNetGetUniversalName doesn't work on Win95 (see Q131416)."
                                   "\r\nUse WNetEnumResource instead.");
    EXPECT_EQ(std::count(p.log.begin(), p.log.end(), "universal"), 0);
}

TEST(WNetCalls, UseConnection)
{
    ScriptedProvider p;
    EXPECT_EQ(w::UseConnection(p, 0, "\\\\fs1\\Data", "alice", "secret", false), "Z:");
    EXPECT_EQ(p.lastUser, "alice");
    EXPECT_EQ(p.lastPassword, "secret");

    p.useResult = 0;
    const auto notRedirected = Raised([&] { w::UseConnection(p, 0, "\\\\a\\b", "u", "p", false); });
    EXPECT_EQ(notRedirected.Number(), net::ProviderErrorBase);
    EXPECT_EQ(notRedirected.Description(), "When calling WNetUseConnection, got the error, "
                                           "\r\n\r\n'The operation completed successfully.'");
    p.useAnswer = ERROR_CANCELLED;
    EXPECT_EQ(Raised([&] { w::UseConnection(p, 0, "\\\\a\\b", "u", "p", false); }).Description(),
              "User Cancelled");
}
