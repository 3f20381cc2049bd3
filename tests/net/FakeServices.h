#pragma once

#include "net/NetServices.h"
#include "platform/NetBuffer.h"

#include <string>
#include <vector>

namespace mallow::test {

/// A version record source for the probe.
class FixedVersion : public platform::VersionSource
{
public:
    FixedVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                 std::uint32_t build = 0, const std::string& servicePack = "")
    {
        record.dwPlatformId = platformId;
        record.dwMajorVersion = major;
        record.dwMinorVersion = minor;
        record.dwBuildNumber = build;
        servicePack.copy(record.szCSDVersion.data(), 127);
    }
    platform::OSVERSIONINFO GetVersionEx() const override { return record; }
    platform::OSVERSIONINFO record;
};

/// A server library standing in for the machines that cannot run here (a 9x workstation, a
/// server with more data than a buffer holds): answers what it is told and logs the calls.
class ScriptedNetApi : public platform::NetApi
{
public:
    std::vector<std::string> calls;
    std::uint32_t workstationPlatform = platform::PLATFORM_ID_NT;
    platform::NET_API_STATUS fileEnumStatus = 0;
    platform::NET_API_STATUS shareEnumLevel2Status = 0;
    platform::NET_API_STATUS connectionEnumStatus = 0;
    std::u16string serverName;

    using S = platform::NET_API_STATUS;
    S NetFileEnum(const char16_t* server, const char16_t*, const char16_t*, std::uint32_t,
                  std::uint8_t** buf, std::uint32_t, std::uint32_t* read, std::uint32_t* total,
                  std::uint32_t*) override
    {
        calls.push_back("NetFileEnum");
        serverName = server;
        *buf = nullptr;
        *read = *total = 0;
        return fileEnumStatus;
    }
    S NetFileClose(const char16_t*, std::uint32_t) override { return Log("NetFileClose"); }
    S NetSessionEnum(const char16_t*, const char16_t*, const char16_t*, std::uint32_t,
                     std::uint8_t** buf, std::uint32_t, std::uint32_t* read, std::uint32_t* total,
                     std::uint32_t*) override
    {
        calls.push_back("NetSessionEnum");
        platform::NetBufferWriter w(sizeof(platform::SESSION_INFO_502), 20);
        auto& s = *w.Records<platform::SESSION_INFO_502>();
        s = {w.Add(u"WS01"), w.Add(u"alice"), 2, 60, 5, 0, w.Add(u""), w.Add(u"")};
        *buf = w.Release();
        *read = *total = 1;
        return 0;
    }
    S NetSessionGetInfo(const char16_t*, const char16_t*, const char16_t*, std::uint32_t,
                        std::uint8_t** buf) override
    {
        *buf = nullptr;
        return Log("NetSessionGetInfo");
    }
    S NetSessionDel(const char16_t*, const char16_t*, const char16_t*) override
    {
        return Log("NetSessionDel");
    }
    S NetConnectionEnum(const char16_t*, const char16_t*, std::uint32_t, std::uint8_t** buf,
                        std::uint32_t, std::uint32_t* read, std::uint32_t* total,
                        std::uint32_t*) override
    {
        calls.push_back("NetConnectionEnum");
        *buf = nullptr;
        *read = *total = 0;
        return connectionEnumStatus;
    }
    S NetServerGetInfo(const char16_t*, std::uint32_t, std::uint8_t** buf) override
    {
        calls.push_back("NetServerGetInfo");
        platform::NetBufferWriter w(sizeof(platform::SERVER_INFO_101), 4);
        *w.Records<platform::SERVER_INFO_101>() = {500, w.Add(u""), 4, 9, 0x1003, w.Add(u"")};
        *buf = w.Release();
        return 0;
    }
    S NetWkstaGetInfo(const char16_t*, std::uint32_t, std::uint8_t** buf) override
    {
        calls.push_back("NetWkstaGetInfo");
        platform::NetBufferWriter w(sizeof(platform::WKSTA_INFO_102), 3);
        *w.Records<platform::WKSTA_INFO_102>() = {
            workstationPlatform, w.Add(u""), w.Add(u""), 4, 10, w.Add(u""), 1};
        *buf = w.Release();
        return 0;
    }
    S NetShareEnum(const char16_t*, std::uint32_t level, std::uint8_t** buf, std::uint32_t,
                   std::uint32_t* read, std::uint32_t* total, std::uint32_t*) override
    {
        calls.push_back("NetShareEnum " + std::to_string(level));
        *buf = nullptr;
        *read = *total = 0;
        if (level == 2)
            return shareEnumLevel2Status;
        platform::NetBufferWriter w(sizeof(platform::SHARE_INFO_1), 16);
        *w.Records<platform::SHARE_INFO_1>() = {w.Add(u"DATA"), 0, w.Add(u"Files")};
        *buf = w.Release();
        *read = *total = 1;
        return 0;
    }
    S NetShareGetInfo(const char16_t*, const char16_t*, std::uint32_t, std::uint8_t** buf) override
    {
        *buf = nullptr;
        return Log("NetShareGetInfo");
    }
    S NetShareAdd(const char16_t*, std::uint32_t, const std::uint8_t*, std::uint32_t*) override
    {
        return Log("NetShareAdd");
    }
    S NetShareDel(const char16_t*, const char16_t*, std::uint32_t) override
    {
        return Log("NetShareDel");
    }
    S NetShareSetInfo(const char16_t*, const char16_t*, std::uint32_t, const std::uint8_t*,
                      std::uint32_t*) override
    {
        return Log("NetShareSetInfo");
    }
    S NetApiBufferFree(void* buffer) override
    {
        ++freed;
        platform::NetBufferFree(buffer);
        return 0;
    }
    int freed = 0;

private:
    S Log(const char* call)
    {
        calls.push_back(call);
        return 0;
    }
};

class RecordingReporter : public net::NetErrorReporter
{
public:
    void ShowError(const std::string& routine, const std::string& description) override
    {
        shown.push_back(net::ErrorReportText(routine, description));
    }
    std::vector<std::string> shown;
};

} // namespace mallow::test
