#include "net/cNet_NT.h"

#include "net/NetErrors.h"
#include "net/cOsVersion.h"
#include "net/modErrMsgs.h"
#include "net/modNetCommon.h"
#include "net/modWNetCalls.h"
#include "platform/Utf16.h"

#include <stdexcept>

namespace mallow::net {

using namespace platform;
using modNetCommon::AddServerPrefix;
using modNetCommon::PtrToStrW;

namespace {

constexpr std::uint32_t OneMegabyte = 1000000;
// Share and connection lists are asked for whole: a server hands a long list out in parts
// when the preferred length is short, and one call would then show only its first part.
constexpr std::uint32_t WholeList = MAX_PREFERRED_LENGTH;

[[noreturn]] void RaiseCall(const char* member, NET_API_STATUS code)
{
    throw MallowError(ServerCallError, std::string("cNet_NT.") + member + "()",
                      modErrMsgs::GetNetErrorText(static_cast<long>(code), false));
}

[[noreturn]] void Raise9xTarget(const char* member)
{
    throw MallowError(WrongTargetError, member, "Cannot call a Win9x machine with this function");
}

std::u16string ServerArgument(const std::string& serverName)
{
    return ToUtf16(AddServerPrefix(serverName));
}

/// The client computer as the session calls take it: "\\" in front unless blank or present.
std::u16string ClientArgument(const std::string& machine)
{
    if (modNetCommon::TrimBlanks(machine).empty() || machine.rfind("\\\\", 0) == 0)
        return ToUtf16(machine);
    return ToUtf16("\\\\" + machine);
}

std::int32_t Long(std::uint32_t value)
{
    return static_cast<std::int32_t>(value);
}

template <class T> T& Checked(T* services, const char* what)
{
    if (!services)
        throw std::invalid_argument(std::string("cNet_NT needs ") + what);
    return *services;
}

void FillShareRow(NetTable& table, int row, const SHARE_INFO_2& s)
{
    const auto type = Long(s.shi2_type);
    const auto permissions = Long(s.shi2_permissions);
    table(0, row) = PtrToStrW(s.shi2_netname);
    table(1, row) = PtrToStrW(s.shi2_remark);
    table(2, row) = PtrToStrW(s.shi2_path);
    table(3, row) = PtrToStrW(s.shi2_passwd);
    table(4, row) = Long(s.shi2_max_uses);
    table(5, row) = Long(s.shi2_current_uses);
    table(6, row) = type;
    table(7, row) = modNetCommon::ShareTypeText(type);
    table(8, row) = permissions;
    table(9, row) = modNetCommon::PermissionText(permissions);
}

} // namespace

cNet_NT::cNet_NT(const NetServices& services)
    : api(Checked(services.netApi, "a server library")),
      provider(Checked(services.provider, "a network provider")),
      reporter(Checked(services.reporter, "an error reporter"))
{
    const cOsVersion probe(Checked(services.version, "a version source"));
    const auto type = probe.TypeValidOS();
    nt4OrLater = type >= 2 && type <= 4;
}

bool cNet_NT::IsWin9xTarget(const std::u16string& server)
{
    NetApiBuffer buffer(api);
    if (api.NetWkstaGetInfo(server.c_str(), 102, buffer.Out()) != NERR_Success || !buffer.Get())
        return false;
    return buffer.As<WKSTA_INFO_102>()->wki102_platform_id != PLATFORM_ID_NT;
}

void cNet_NT::CheckTarget(const std::u16string& server, const char* member)
{
    if (IsWin9xTarget(server))
        Raise9xTarget(member);
}

void cNet_NT::RequireNt4(const char* member) const
{
    if (!nt4OrLater)
        throw MallowError(NeedsNt4Error, member,
                          "You must be running NT 4.0+ (or Win9x) in order to run this "
                          "FUNCTION.");
}

// Provider members.

void cNet_NT::AddConnection2(const std::string& xi_strPassword, const std::string& xi_strUserName,
                             const std::string& xi_strLocalName,
                             const std::string& xi_strRemoteName, bool xi_blnPersistent)
{
    modWNetCalls::AddConnection2(provider, xi_strPassword, xi_strUserName, xi_strLocalName,
                                 xi_strRemoteName, false, xi_blnPersistent);
}

void cNet_NT::AddConnection3(const std::string& xi_strPassword, const std::string& xi_strUserName,
                             const std::string& xi_strLocalName,
                             const std::string& xi_strRemoteName, std::int32_t xi_lngHwndOwner,
                             bool xi_blnPersistent)
{
    modWNetCalls::AddConnection3(provider, xi_strPassword, xi_strUserName, xi_strLocalName,
                                 xi_strRemoteName, xi_lngHwndOwner, false, xi_blnPersistent);
}

void cNet_NT::CancelConnection(const std::string& xi_strLocalName, bool xi_blnForceDisconnect)
{
    modWNetCalls::CancelConnection(provider, xi_strLocalName, xi_blnForceDisconnect, false);
}

void cNet_NT::CancelConnection2(const std::string& xi_strLocalName, bool xi_blnForceDisconnect)
{
    modWNetCalls::CancelConnection2(provider, xi_strLocalName, xi_blnForceDisconnect, false);
}

void cNet_NT::ConnectDialog(std::int32_t xi_lngHwnd)
{
    modWNetCalls::ConnectDialog(provider, xi_lngHwnd, false);
}

void cNet_NT::DisconnectDialog(std::int32_t xi_lngHwnd)
{
    modWNetCalls::DisconnectDialog(provider, xi_lngHwnd, false);
}

NetRecord cNet_NT::GetUniversalName(const std::string& xi_strLocalPath,
                                    std::int32_t xi_lngNameInfoLevel)
{
    return modWNetCalls::GetUniversalName(provider, xi_strLocalPath, xi_lngNameInfoLevel, false,
                                          false);
}

std::string cNet_NT::GetUserName(const std::string& xi_strDeviceName)
{
    return modWNetCalls::GetUserName(provider, xi_strDeviceName, false);
}

std::string cNet_NT::GetResourceName(const std::string& xi_strDriveLetter)
{
    return modWNetCalls::GetResourceName(provider, xi_strDriveLetter, false);
}

NetTable cNet_NT::EnumResources(std::int32_t xi_lngResourceType)
{
    return modWNetCalls::EnumResources(provider, xi_lngResourceType, false);
}

void cNet_NT::MapDrive(std::int32_t xi_lngHwndOwner, const std::string& xi_strLocalName,
                       const std::string& xi_strRemoteName)
{
    RequireNt4("MapDrive");
    modWNetCalls::MapDrive(provider, xi_lngHwndOwner, false, xi_strLocalName, xi_strRemoteName);
}

void cNet_NT::UnmapDrive(std::int32_t xi_lngHwndOwner, const std::string& xi_strLocalName)
{
    RequireNt4("UnmapDrive");
    modWNetCalls::UnmapDrive(provider, xi_lngHwndOwner, xi_strLocalName, false);
}

NetRecord cNet_NT::GetNetInfo()
{
    RequireNt4("GetNetInfo");
    return modWNetCalls::GetNetInfo(provider, false);
}

NetRecord cNet_NT::GetResInfo(std::string& xi_strRemoteName)
{
    RequireNt4("GetResInfo");
    return modWNetCalls::GetResInfo(provider, xi_strRemoteName, false);
}

NetRecord cNet_NT::GetResParent(const std::string& xi_strRemoteName)
{
    RequireNt4("GetResParent");
    return modWNetCalls::GetResParent(provider, xi_strRemoteName, false);
}

std::string cNet_NT::UseConnection(std::int32_t xi_lngHwndOwner,
                                   const std::string& xi_strRemoteName,
                                   const std::string& xi_strUserID, const std::string& xi_strPW,
                                   const std::string& xi_strLocalName)
{
    RequireNt4("UseConnection");
    return modWNetCalls::UseConnection(provider, xi_lngHwndOwner, xi_strRemoteName, xi_strUserID,
                                       xi_strPW, false, xi_strLocalName);
}

// Server members.

NetTable cNet_NT::EnumFiles(const std::string& xi_strServerName)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "EnumFiles");
    NetApiBuffer buffer(api);
    std::uint32_t read = 0, total = 0, resume = 0;
    const NET_API_STATUS status = api.NetFileEnum(server.c_str(), u"", u"", 3, buffer.Out(),
                                                  OneMegabyte, &read, &total, &resume);
    if (status != NERR_Success)
        RaiseCall("EnumFiles", status);
    if (read == 0 || !buffer.Get())
        return {};
    // The records are copied out before the buffer goes back to the library.
    const auto* files = buffer.As<FILE_INFO_3>();
    NetTable table(7, static_cast<int>(read));
    for (int row = 0; row < table.Rows(); ++row) {
        const FILE_INFO_3& f = files[row];
        const auto permissions = Long(f.fi3_permissions);
        table(0, row) = PtrToStrW(f.fi3_pathname);
        table(1, row) = PtrToStrW(f.fi3_username);
        table(2, row) = Long(f.fi3_id);
        table(3, row) = Long(f.fi3_num_locks);
        table(4, row) = permissions;
        table(5, row) = modNetCommon::PermissionText(permissions);
        table(6, row) = std::string();
    }
    return table;
}

NetTable cNet_NT::EnumSessions(const std::string& xi_strServerName)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "EnumSessions");
    NetApiBuffer buffer(api);
    std::uint32_t read = 0, total = 0, resume = 0;
    const NET_API_STATUS status = api.NetSessionEnum(server.c_str(), u"", u"", 502, buffer.Out(),
                                                     OneMegabyte, &read, &total, &resume);
    if (status != NERR_Success)
        RaiseCall("EnumSessions", status);
    if (read == 0 || !buffer.Get())
        return {};
    const auto* sessions = buffer.As<SESSION_INFO_502>();
    NetTable table(10, static_cast<int>(read));
    for (int row = 0; row < table.Rows(); ++row) {
        const SESSION_INFO_502& s = sessions[row];
        const auto flags = Long(s.sesi502_user_flags);
        table(0, row) = PtrToStrW(s.sesi502_cltype_name);
        table(1, row) = PtrToStrW(s.sesi502_username);
        table(2, row) = PtrToStrW(s.sesi502_cname);
        table(3, row) = PtrToStrW(s.sesi502_transport);
        table(4, row) = Long(s.sesi502_idle_time);
        table(5, row) = Long(s.sesi502_num_opens);
        table(6, row) = Long(s.sesi502_time);
        table(7, row) = flags;
        table(8, row) = modNetCommon::SessionFlagText(flags);
        table(9, row) = std::int16_t(0);
    }
    return table;
}

NetRecord cNet_NT::GetSessionInfo(const std::string& xi_strServerName,
                                  const std::string& xi_strSessionName,
                                  const std::string& xi_strUserName)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "GetSessionInfo");
    const std::u16string client = ClientArgument(xi_strSessionName);
    const std::u16string user = ToUtf16(xi_strUserName);
    NetApiBuffer buffer(api);
    const NET_API_STATUS status =
        api.NetSessionGetInfo(server.c_str(), client.c_str(), user.c_str(), 2, buffer.Out());
    if (status != NERR_Success || !buffer.Get())
        RaiseCall("GetSessionInfo", status);
    const SESSION_INFO_2& s = *buffer.As<SESSION_INFO_2>();
    const auto flags = Long(s.sesi2_user_flags);
    return {PtrToStrW(s.sesi2_cltype_name),
            PtrToStrW(s.sesi2_username),
            PtrToStrW(s.sesi2_cname),
            Long(s.sesi2_idle_time),
            Long(s.sesi2_num_opens),
            Long(s.sesi2_time),
            flags,
            modNetCommon::SessionFlagText(flags),
            std::int16_t(0)};
}

void cNet_NT::CloseFile(std::int32_t xi_lngFilePtr, const std::string& xi_strServerName,
                        const std::string& /*xi_strFileName*/)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "CloseFile");
    const NET_API_STATUS status =
        api.NetFileClose(server.c_str(), static_cast<std::uint32_t>(xi_lngFilePtr));
    if (status != NERR_Success)
        RaiseCall("CloseFile", status);
}

NetTable cNet_NT::EnumConnections(const std::string& xi_strServerName,
                                  const std::string& xi_strQualifier)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "EnumConnections");
    const std::u16string qualifier = ToUtf16(xi_strQualifier);
    NetApiBuffer buffer(api);
    std::uint32_t read = 0, total = 0, resume = 0;
    const NET_API_STATUS status = api.NetConnectionEnum(
        server.c_str(), qualifier.c_str(), 1, buffer.Out(), WholeList, &read, &total, &resume);
    if (status != NERR_Success) {
        reporter.ShowError("cNet_NT.EnumConnections",
                           modErrMsgs::GetNetErrorText(static_cast<long>(status), false));
        return {};
    }
    if (read == 0 || !buffer.Get())
        return {};
    const auto* connections = buffer.As<CONNECTION_INFO_1>();
    NetTable table(8, static_cast<int>(read));
    for (int row = 0; row < table.Rows(); ++row) {
        const CONNECTION_INFO_1& c = connections[row];
        const std::string user = PtrToStrW(c.coni1_username);
        const auto type = Long(c.coni1_type);
        table(0, row) = user.empty() ? PtrToStrW(c.coni1_netname) : user;
        table(1, row) = xi_strQualifier;
        table(2, row) = Long(c.coni1_id);
        table(3, row) = Long(c.coni1_time);
        table(4, row) = Long(c.coni1_num_opens);
        table(5, row) = Long(c.coni1_num_users);
        table(6, row) = type;
        table(7, row) = modNetCommon::ShareTypeText(type);
    }
    return table;
}

NetRecord cNet_NT::GetServerInfo(const std::string& xi_strServerName)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "GetServerInfo");
    NetApiBuffer buffer(api);
    const NET_API_STATUS status = api.NetServerGetInfo(server.c_str(), 101, buffer.Out());
    if (status != NERR_Success || !buffer.Get())
        RaiseCall("GetServerInfo", status);
    const SERVER_INFO_101& s = *buffer.As<SERVER_INFO_101>();
    std::string name = PtrToStrW(s.sv101_name);
    if (name.empty())
        name = xi_strServerName;
    if (name.empty())
        name = "[Local]";
    const auto type = Long(s.sv101_type);
    return {name,
            PtrToStrW(s.sv101_comment),
            Long(s.sv101_platform_id),
            Long(s.sv101_version_major),
            Long(s.sv101_version_minor),
            type,
            modNetCommon::ServerTypeText(type)};
}

NetTable cNet_NT::EnumShares(const std::string& xi_strServerName)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    NetApiBuffer buffer(api);
    std::uint32_t read = 0, total = 0, resume = 0;
    NET_API_STATUS status =
        api.NetShareEnum(server.c_str(), 2, buffer.Out(), WholeList, &read, &total, &resume);
    if (status == NERR_Success) {
        if (read == 0 || !buffer.Get())
            return {};
        NetTable table(10, static_cast<int>(read));
        for (int row = 0; row < table.Rows(); ++row)
            FillShareRow(table, row, buffer.As<SHARE_INFO_2>()[row]);
        return table;
    }
    read = total = resume = 0;
    status = api.NetShareEnum(server.c_str(), 1, buffer.Out(), WholeList, &read, &total, &resume);
    if (status != NERR_Success)
        RaiseCall("EnumShares", status);
    if (read == 0 || !buffer.Get())
        return {};
    NetTable table(10, static_cast<int>(read));
    for (int row = 0; row < table.Rows(); ++row) {
        const SHARE_INFO_1& s = buffer.As<SHARE_INFO_1>()[row];
        const auto type = Long(s.shi1_type);
        table(0, row) = PtrToStrW(s.shi1_netname);
        table(1, row) = PtrToStrW(s.shi1_remark);
        table(2, row) = std::string("N/A calling Win9x");
        table(3, row) = std::string();
        table(4, row) = std::int16_t(0);
        table(5, row) = std::int16_t(0);
        table(6, row) = type;
        table(7, row) = modNetCommon::ShareTypeText(type);
        table(8, row) = std::int16_t(-1);
        table(9, row) = modNetCommon::PermissionText(-1);
    }
    return table;
}

NetRecord cNet_NT::GetNetShareInfo(const std::string& xi_strServerName,
                                   const std::string& xi_strShareName)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "GetNetShareInfo");
    const std::u16string share = ToUtf16(xi_strShareName);
    NetApiBuffer buffer(api);
    const NET_API_STATUS status =
        api.NetShareGetInfo(server.c_str(), share.c_str(), 2, buffer.Out());
    if (status == ERROR_INVALID_LEVEL)
        Raise9xTarget("GetNetShareInfo");
    if (status != NERR_Success || !buffer.Get())
        RaiseCall("GetNetShareInfo", status);
    NetTable row(10, 1);
    FillShareRow(row, 0, *buffer.As<SHARE_INFO_2>());
    NetRecord record;
    for (int column = 0; column < 10; ++column)
        record.push_back(row(column, 0));
    return record;
}

void cNet_NT::AddShare(const std::string& xi_strServerName, const std::string& xi_strShareName,
                       const std::string& xi_strPath, const std::string& xi_strRemark)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "AddShare");
    std::u16string name = ToUtf16(xi_strShareName);
    std::u16string remark = ToUtf16(xi_strRemark);
    std::u16string path = ToUtf16(xi_strPath);
    SHARE_INFO_2 share{name.data(), 0, remark.data(), 1, 0xFFFFFFFF, 0, path.data(), nullptr};
    const NET_API_STATUS status =
        api.NetShareAdd(server.c_str(), 2, reinterpret_cast<const std::uint8_t*>(&share), nullptr);
    if (status != NERR_Success)
        RaiseCall("AddShare", status);
}

void cNet_NT::DeleteShare(const std::string& xi_strServerName, const std::string& xi_strShareName)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "DeleteShare");
    const std::u16string share = ToUtf16(xi_strShareName);
    const NET_API_STATUS status = api.NetShareDel(server.c_str(), share.c_str(), 0);
    if (status != NERR_Success)
        RaiseCall("DeleteShare", status);
}

void cNet_NT::DeleteSession(const std::string& xi_strUserName, const std::string& xi_strServerName,
                            const std::string& xi_strMachineName)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "DeleteSession");
    const std::u16string client = ClientArgument(xi_strMachineName);
    const std::u16string user = ToUtf16(xi_strUserName);
    const NET_API_STATUS status = api.NetSessionDel(server.c_str(), client.c_str(), user.c_str());
    if (status != NERR_Success)
        RaiseCall("DeleteSession", status);
}

void cNet_NT::SetShareInfo(const std::string& xi_strServerName, const std::string& xi_strShareName,
                           const std::string& xi_strRemark)
{
    const std::u16string server = ServerArgument(xi_strServerName);
    CheckTarget(server, "SetShareInfo");
    const std::u16string share = ToUtf16(xi_strShareName);
    // A level-2 record is the whole share: it is read first so that only the remark changes,
    // since servers refuse a record without its path.
    NetApiBuffer current(api);
    NET_API_STATUS status = api.NetShareGetInfo(server.c_str(), share.c_str(), 2, current.Out());
    if (status != NERR_Success || !current.Get())
        RaiseCall("SetShareInfo", status);
    std::u16string remark = ToUtf16(xi_strRemark);
    SHARE_INFO_2 info = *current.As<SHARE_INFO_2>();
    info.shi2_remark = remark.data();
    status = api.NetShareSetInfo(server.c_str(), share.c_str(), 2,
                                 reinterpret_cast<const std::uint8_t*>(&info), nullptr);
    if (status != NERR_Success)
        RaiseCall("SetShareInfo", status);
}

} // namespace mallow::net
