#include "net/modWNetCalls.h"

#include "net/NetErrors.h"
#include "net/modErrMsgs.h"
#include "net/modNetCommon.h"
#include "util/MallowError.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <vector>

namespace mallow::net::modWNetCalls {

using namespace platform;
using modNetCommon::PtrToStrA;

namespace {

constexpr DWORD MoreData = 234;

[[noreturn]] void RaiseReport(const std::string& routine, const std::string& api, DWORD code,
                              bool is9x)
{
    throw MallowError(ProviderErrorBase + static_cast<long>(code), routine,
                      "When calling " + api + ", got the error, \r\n\r\n'" +
                          modErrMsgs::GetNetErrorText(static_cast<long>(code), is9x) + "'");
}

[[noreturn]] void RaiseCancelled(const std::string& routine, const char* text = "User cancelled")
{
    throw MallowError(DialogCancelledError, routine, text);
}

/// Mutable NUL-terminated copies of texts, for records that hold `char*`.
class Texts
{
public:
    char* Add(const std::string& text)
    {
        if (text.empty())
            return nullptr;
        store.emplace_back(text.begin(), text.end());
        store.back().push_back('\0');
        return store.back().data();
    }

private:
    std::vector<std::vector<char>> store;
};

std::string Before(const char* buffer, std::size_t size)
{
    return std::string(buffer, strnlen(buffer, size));
}

NetRecord ResourceRecord(const NETRESOURCEA& r)
{
    const auto usage = static_cast<std::int32_t>(r.dwUsage);
    const auto scope = static_cast<std::int32_t>(r.dwScope);
    const auto type = static_cast<std::int32_t>(r.dwType);
    const auto display = static_cast<std::int32_t>(r.dwDisplayType);
    return {PtrToStrA(r.lpLocalName),
            PtrToStrA(r.lpRemoteName),
            PtrToStrA(r.lpComment),
            PtrToStrA(r.lpProvider),
            usage,
            modNetCommon::UsageText(usage),
            scope,
            modNetCommon::ScopeText(scope),
            type,
            modNetCommon::ResourceTypeText(type),
            display,
            modNetCommon::DisplayTypeText(display)};
}

std::string LanManagerProvider(NetProvider& provider, const std::string& routine, bool is9x)
{
    char name[260] = {};
    DWORD size = sizeof name;
    const DWORD code = provider.WNetGetProviderNameA(WNNC_NET_LANMAN, name, &size);
    if (code != NO_ERROR)
        RaiseReport(routine, "WNetGetProviderName", code, is9x);
    return Before(name, sizeof name);
}

/// Calls `call` with a buffer of `initial` bytes, and once more with the size the provider
/// asks for when it answers 234.
template <class Call>
DWORD WithGrowingBuffer(std::vector<std::uint8_t>& buffer, DWORD initial, Call call)
{
    buffer.assign(initial, 0);
    DWORD size = initial;
    DWORD code = call(buffer.empty() ? nullptr : buffer.data(), &size);
    if (code == MoreData) {
        buffer.assign(size, 0);
        code = call(buffer.data(), &size);
    }
    return code;
}

} // namespace

void AddConnection2(NetProvider& provider, const std::string& xi_strPassword,
                    const std::string& xi_strUserName, const std::string& xi_strLocalName,
                    const std::string& xi_strRemoteName, bool xi_bln9x, bool xi_blnPersistent)
{
    Texts texts;
    NETRESOURCEA resource;
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpLocalName = texts.Add(xi_strLocalName);
    resource.lpRemoteName = texts.Add(xi_strRemoteName);
    const DWORD flags = CONNECT_INTERACTIVE | (xi_blnPersistent ? CONNECT_UPDATE_PROFILE : 0);
    // The 9x family takes the credentials of the logged-on user, never those passed in.
    const DWORD code =
        provider.WNetAddConnection2A(&resource, xi_bln9x ? nullptr : xi_strPassword.c_str(),
                                     xi_bln9x ? nullptr : xi_strUserName.c_str(), flags);
    if (code != NO_ERROR)
        RaiseReport("AddConnection2", "WNetAddConnection2", code, xi_bln9x);
}

void AddConnection3(NetProvider& provider, const std::string& xi_strPassword,
                    const std::string& xi_strUserName, const std::string& xi_strLocalName,
                    const std::string& xi_strRemoteName, std::int32_t xi_lngHwndOwner,
                    bool xi_bln9x, bool xi_blnPersistent)
{
    Texts texts;
    NETRESOURCEA resource;
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpLocalName = texts.Add(xi_strLocalName);
    resource.lpRemoteName = texts.Add(xi_strRemoteName);
    const DWORD flags = CONNECT_INTERACTIVE | (xi_blnPersistent ? CONNECT_UPDATE_PROFILE : 0);
    const DWORD code = provider.WNetAddConnection3A(
        static_cast<HWND>(xi_lngHwndOwner), &resource, xi_bln9x ? nullptr : xi_strPassword.c_str(),
        xi_bln9x ? nullptr : xi_strUserName.c_str(), flags);
    if (code != NO_ERROR)
        RaiseReport("AddConnection3", "WNetAddConnection3", code, xi_bln9x);
}

void CancelConnection(NetProvider& provider, const std::string& xi_strLocalName,
                      bool xi_blnForceDisconnect, bool xi_bln9x)
{
    const DWORD code =
        provider.WNetCancelConnectionA(xi_strLocalName.c_str(), xi_blnForceDisconnect);
    if (code != NO_ERROR)
        RaiseReport("CancelConnection", "WNetCancelConnection", code, xi_bln9x);
}

void CancelConnection2(NetProvider& provider, const std::string& xi_strLocalName,
                       bool xi_blnForceDisconnect, bool xi_bln9x)
{
    const DWORD code = provider.WNetCancelConnection2A(
        xi_strLocalName.c_str(), CONNECT_UPDATE_PROFILE, xi_blnForceDisconnect);
    if (code != NO_ERROR)
        RaiseReport("CancelConnection2", "WNetCancelConnection2", code, xi_bln9x);
}

void ConnectDialog(NetProvider& provider, std::int32_t xi_lngHwnd, bool xi_bln9x)
{
    const DWORD code =
        provider.WNetConnectionDialog(static_cast<HWND>(xi_lngHwnd), RESOURCETYPE_DISK);
    if (code == WN_CANCELLED)
        RaiseCancelled("ConnectDialog");
    if (code != NO_ERROR)
        RaiseReport("ConnectDialog", "WNetConnectionDialog", code, xi_bln9x);
}

void DisconnectDialog(NetProvider& provider, std::int32_t xi_lngHwnd, bool xi_bln9x)
{
    const DWORD code =
        provider.WNetDisconnectDialog(static_cast<HWND>(xi_lngHwnd), RESOURCETYPE_DISK);
    if (code == WN_CANCELLED)
        RaiseCancelled("DisconnectDialog");
    if (code != NO_ERROR)
        RaiseReport("DisconnectDialog", "WNetDisconnectDialog", code, xi_bln9x);
}

NetRecord GetUniversalName(NetProvider& provider, const std::string& xi_strLocalPath,
                           std::int32_t xi_lngNameInfoLevel, bool xi_blnWin95, bool xi_bln9x)
{
    if (xi_blnWin95)
        throw MallowError(NeedsNt4Error, "GetUniversalName",
                          "WNetGetUniversalName doesn't work on Win95 (see Q131416).\r\n"
                          "Use WNetEnumResource instead.");
    std::vector<std::uint8_t> buffer;
    const DWORD level = static_cast<DWORD>(xi_lngNameInfoLevel);
    const DWORD code = WithGrowingBuffer(buffer, 0, [&](std::uint8_t* data, DWORD* size) {
        return provider.WNetGetUniversalNameA(xi_strLocalPath.c_str(), level, data, size);
    });
    if (code != NO_ERROR)
        RaiseReport("GetUniversalName", "WNetGetUniversalName", code, xi_bln9x);
    NetRecord record(3, std::string());
    if (buffer.size() >= sizeof(REMOTE_NAME_INFOA) && level == REMOTE_NAME_INFO_LEVEL) {
        const auto* info = reinterpret_cast<const REMOTE_NAME_INFOA*>(buffer.data());
        record = {PtrToStrA(info->lpUniversalName), PtrToStrA(info->lpConnectionName),
                  PtrToStrA(info->lpRemainingPath)};
    } else if (buffer.size() >= sizeof(UNIVERSAL_NAME_INFOA)) {
        const auto* info = reinterpret_cast<const UNIVERSAL_NAME_INFOA*>(buffer.data());
        record[0] = PtrToStrA(info->lpUniversalName);
    }
    return record;
}

std::string GetUserName(NetProvider& provider, const std::string& xi_strDeviceName, bool xi_bln9x)
{
    char user[255] = {};
    DWORD length = sizeof user;
    const DWORD code = provider.WNetGetUserA(
        xi_strDeviceName.empty() ? nullptr : xi_strDeviceName.c_str(), user, &length);
    if (code != NO_ERROR)
        RaiseReport("GetUserName", "WNetGetUser", code, xi_bln9x);
    return Before(user, sizeof user);
}

std::string GetResourceName(NetProvider& provider, const std::string& xi_strDriveLetter,
                            bool xi_bln9x)
{
    std::string device;
    if (!xi_strDriveLetter.empty() && xi_strDriveLetter[0] == '/')
        device = xi_strDriveLetter;
    else
        device = (xi_strDriveLetter.empty()
                      ? std::string()
                      : std::string(1, static_cast<char>(std::toupper(
                                           static_cast<unsigned char>(xi_strDriveLetter[0]))))) +
                 ":";
    std::vector<std::uint8_t> buffer;
    const DWORD code = WithGrowingBuffer(buffer, 260, [&](std::uint8_t* data, DWORD* size) {
        return provider.WNetGetConnectionA(device.c_str(), reinterpret_cast<char*>(data), size);
    });
    if (code != NO_ERROR)
        RaiseReport("GetResourceName", "WNetGetConnection", code, xi_bln9x);
    return Before(reinterpret_cast<const char*>(buffer.data()), buffer.size());
}

namespace {

struct Resource
{
    NETRESOURCEA fields;
    std::string localName, remoteName, comment, provider;
    bool container = false;
};

Resource CopyResource(const NETRESOURCEA& r)
{
    Resource copy;
    copy.fields = r;
    copy.localName = PtrToStrA(r.lpLocalName);
    copy.remoteName = PtrToStrA(r.lpRemoteName);
    copy.comment = PtrToStrA(r.lpComment);
    copy.provider = PtrToStrA(r.lpProvider);
    copy.container = (r.dwUsage & RESOURCEUSAGE_CONTAINER) != 0;
    return copy;
}

/// Reads every entry of an open enumeration into `list`; closes the handle before raising.
void ReadEnumeration(NetProvider& provider, HANDLE handle, std::vector<Resource>& list, bool is9x)
{
    std::vector<std::uint8_t> buffer(16384);
    for (;;) {
        DWORD count = 0xFFFFFFFF;
        DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD code = provider.WNetEnumResourceA(handle, &count, buffer.data(), &size);
        if (code == ERROR_NO_MORE_ITEMS)
            return;
        if (code == MoreData && size > buffer.size()) {
            buffer.assign(size, 0);
            continue;
        }
        if (code != NO_ERROR) {
            provider.WNetCloseEnum(handle);
            RaiseReport("EnumResources", "WNetEnumResource", code, is9x);
        }
        const std::size_t fits = buffer.size() / sizeof(NETRESOURCEA);
        const auto* records = reinterpret_cast<const NETRESOURCEA*>(buffer.data());
        for (DWORD i = 0; i < count && i < fits; ++i)
            list.push_back(CopyResource(records[i]));
    }
}

} // namespace

NetTable EnumResources(NetProvider& provider, std::int32_t xi_lngResourceType, bool xi_bln9x)
{
    std::vector<Resource> list;
    HANDLE top = nullptr;
    DWORD code = provider.WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, nullptr, &top);
    if (code != NO_ERROR)
        RaiseReport("EnumResources", "WNetOpenEnum", code, xi_bln9x);
    ReadEnumeration(provider, top, list, xi_bln9x);
    provider.WNetCloseEnum(top);

    // Breadth first: the list grows at its end while it is walked.
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i].container)
            continue;
        Resource container = list[i];
        NETRESOURCEA asked = container.fields;
        asked.lpLocalName = container.localName.data();
        asked.lpRemoteName = container.remoteName.data();
        asked.lpComment = container.comment.data();
        asked.lpProvider = container.provider.data();
        HANDLE handle = nullptr;
        code = provider.WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, &asked, &handle);
        if (code == ERROR_NOT_AUTHENTICATED) {
            Resource denied = container;
            denied.container = false;
            denied.remoteName =
                "Don't have rights to enumerate resources on " + container.remoteName;
            denied.comment = " -- NOT AUTHENTICATED";
            list.push_back(denied);
            continue;
        }
        if (code == ERROR_EXTENDED_ERROR) {
            Resource failed = container;
            failed.container = false;
            failed.comment = GetExtendedErrorText(provider, static_cast<long>(code));
            list.push_back(failed);
            continue;
        }
        if (code != NO_ERROR)
            RaiseReport("EnumResources", "WNetOpenEnum", code, xi_bln9x);
        ReadEnumeration(provider, handle, list, xi_bln9x);
        provider.WNetCloseEnum(handle);
    }

    std::vector<const Resource*> rows;
    for (const auto& r : list)
        if (xi_lngResourceType == -1 ||
            static_cast<std::int32_t>(r.fields.dwDisplayType) == xi_lngResourceType)
            rows.push_back(&r);
    NetTable table(9, static_cast<int>(rows.size()));
    for (int row = 0; row < table.Rows(); ++row) {
        const Resource& r = *rows[static_cast<std::size_t>(row)];
        const auto display = static_cast<std::int32_t>(r.fields.dwDisplayType);
        const auto scope = static_cast<std::int32_t>(r.fields.dwScope);
        const auto type = static_cast<std::int32_t>(r.fields.dwType);
        table(0, row) = r.remoteName;
        table(1, row) = r.comment;
        table(2, row) = r.provider;
        table(3, row) = display;
        table(4, row) = modNetCommon::DisplayTypeText(display);
        table(5, row) = scope;
        table(6, row) = modNetCommon::ScopeText(scope);
        table(7, row) = type;
        table(8, row) = modNetCommon::ResourceTypeText(type);
    }
    return table;
}

void MapDrive(NetProvider& provider, std::int32_t xi_lngHwnd, bool xi_bln9x,
              const std::string& /*xi_strLocalName*/, const std::string& xi_strRemoteName)
{
    // The resource lives in a zero-filled block of its own for the dialog's duration.
    Texts texts;
    auto block = std::make_unique<NETRESOURCEA>();
    block->dwType = RESOURCETYPE_DISK;
    block->lpRemoteName = texts.Add(xi_strRemoteName);
    CONNECTDLGSTRUCTA dialog;
    dialog.hwndOwner = static_cast<HWND>(xi_lngHwnd);
    dialog.lpConnRes = block.get();
    dialog.dwFlags = 44;
    const DWORD code = provider.WNetConnectionDialog1A(&dialog);
    block.reset();
    if (code == WN_CANCELLED)
        RaiseCancelled("MapDrive");
    if (code != NO_ERROR)
        RaiseReport("MapDrive", "WNetConnectionDialog1", code, xi_bln9x);
}

void UnmapDrive(NetProvider& provider, std::int32_t xi_lngHwnd, const std::string& xi_strLocalName,
                bool xi_bln9x)
{
    Texts texts;
    DISCDLGSTRUCTA dialog;
    dialog.hwndOwner = static_cast<HWND>(xi_lngHwnd);
    dialog.lpLocalName = texts.Add(xi_strLocalName);
    dialog.dwFlags = 65;
    const DWORD code = provider.WNetDisconnectDialog1A(&dialog);
    if (code == WN_CANCELLED)
        RaiseCancelled("UnmapDrive");
    if (code != NO_ERROR)
        RaiseReport("UnmapDrive", "WNetDisconnectDialog1", code, xi_bln9x);
}

NetRecord GetNetInfo(NetProvider& provider, bool xi_bln9x)
{
    const std::string name = LanManagerProvider(provider, "GetNetInfo", xi_bln9x);
    NETINFOSTRUCT info;
    const DWORD code = provider.WNetGetNetworkInformationA(name.c_str(), &info);
    if (code == WN_CANCELLED)
        RaiseCancelled("GetNetInfo");
    if (code != NO_ERROR)
        RaiseReport("GetNetInfo", "WNetGetNetworkInformation", code, xi_bln9x);
    const auto status = static_cast<std::int32_t>(info.dwStatus);
    const auto netType = static_cast<std::int32_t>(info.wNetType);
    return {static_cast<std::int32_t>(info.dwCharacteristics),
            static_cast<std::int32_t>(info.dwDrives),
            static_cast<std::int32_t>(info.dwPrinters),
            static_cast<std::int32_t>(info.dwProviderVersion),
            status,
            modNetCommon::NetStatusText(status),
            netType,
            modNetCommon::ProviderTypeText(netType)};
}

NetRecord GetResInfo(NetProvider& provider, std::string& xi_strRemoteName, bool xi_bln9x)
{
    Texts texts;
    NETRESOURCEA asked;
    asked.dwType = RESOURCETYPE_DISK;
    asked.lpRemoteName = texts.Add(xi_strRemoteName);
    std::vector<std::uint8_t> buffer;
    char* system = nullptr;
    const DWORD code = WithGrowingBuffer(buffer, 32, [&](std::uint8_t* data, DWORD* size) {
        return provider.WNetGetResourceInformationA(&asked, data, size, &system);
    });
    if (code != NO_ERROR)
        RaiseReport("GetResInfo", "WNetGetResourceInformation", code, xi_bln9x);
    return ResourceRecord(*reinterpret_cast<const NETRESOURCEA*>(buffer.data()));
}

NetRecord GetResParent(NetProvider& provider, const std::string& xi_strRemoteName, bool xi_bln9x)
{
    const std::string name = LanManagerProvider(provider, "GetResParent", xi_bln9x);
    Texts texts;
    NETRESOURCEA asked;
    asked.dwType = RESOURCETYPE_DISK;
    asked.lpRemoteName = texts.Add(xi_strRemoteName);
    asked.lpProvider = texts.Add(name);
    std::vector<std::uint8_t> buffer;
    const DWORD code = WithGrowingBuffer(buffer, 32, [&](std::uint8_t* data, DWORD* size) {
        return provider.WNetGetResourceParentA(&asked, data, size);
    });
    if (code != NO_ERROR)
        RaiseReport("GetResParent", "WNetGetResourceParent", code, xi_bln9x);
    return ResourceRecord(*reinterpret_cast<const NETRESOURCEA*>(buffer.data()));
}

std::string UseConnection(NetProvider& provider, std::int32_t xi_lngHwnd,
                          const std::string& xi_strRemoteName, const std::string& xi_strUserID,
                          const std::string& xi_strPW, bool xi_bln9x,
                          const std::string& xi_strLocalName)
{
    Texts texts;
    NETRESOURCEA resource;
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpLocalName = texts.Add(xi_strLocalName);
    resource.lpRemoteName = texts.Add(xi_strRemoteName);
    char access[260] = {};
    DWORD size = sizeof access;
    DWORD result = 0;
    // The password goes in the password position and the user in the user's: a password sent
    // as a user name would end up in the server's logon records.
    const DWORD code =
        provider.WNetUseConnectionA(static_cast<HWND>(xi_lngHwnd), &resource, xi_strPW.c_str(),
                                    xi_strUserID.c_str(), CONNECT_REDIRECT, access, &size, &result);
    if (code == ERROR_CANCELLED)
        RaiseCancelled("UseConnection", "User Cancelled");
    if (code != NO_ERROR || result != CONNECT_LOCALDRIVE)
        RaiseReport("UseConnection", "WNetUseConnection", code, xi_bln9x);
    const std::string name = Before(access, sizeof access);
    const auto colon = name.find(':');
    // A drive letter ends at its colon; a mount point has none and is the whole name.
    return colon == std::string::npos ? name : name.substr(0, colon + 1);
}

std::string GetExtendedErrorText(NetProvider& provider, long /*xi_lngCode*/)
{
    DWORD error = 0;
    char text[2048] = {};
    char name[256] = {};
    if (provider.WNetGetLastErrorA(&error, text, sizeof text, name, sizeof name) != NO_ERROR)
        return "Invalid Extended Error Retrieval";
    return "The provider, '" + Before(name, sizeof name) + "'\r\nreturned the extended error " +
           "info: \r\n" + Before(text, sizeof text);
}

} // namespace mallow::net::modWNetCalls
