#include "net/cNet_Win9x.h"

#include "net/NetErrors.h"
#include "net/cOsVersion.h"
#include "net/modErrMsgs.h"
#include "net/modNetCommon.h"
#include "net/modWNetCalls.h"
#include "platform/SvrApiRecords.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace mallow::net {

using namespace platform;
using modNetCommon::AddServerPrefix;

namespace {

constexpr std::size_t EnumerationBytes = 16384;
constexpr std::size_t SingleRecordBytes = 8192;
constexpr std::uint16_t FileEnumCount = 16384;
constexpr std::uint16_t SessionEnumCount = 4096;
constexpr std::uint16_t ShareEnumCount = 16384;
constexpr std::uint16_t ConnectionEnumCount = 16384;
constexpr std::uint16_t SingleRecordCount = 8192;
constexpr std::uint16_t ShareFlagsOfNewShare = SHI50F_FULL | SHI50F_PERSIST;
constexpr std::size_t LongestShareName = LM20_NNLEN;

using Buffer = std::vector<std::uint8_t>;

[[noreturn]] void RaiseCall(const char* member, NET_API_STATUS code)
{
    throw MallowError(ServerCallError, std::string("cNet_9x.") + member + "()",
                      modErrMsgs::GetNetErrorText(static_cast<long>(code), true));
}

[[noreturn]] void RaiseNtTarget(const char* member, const std::string& description)
{
    throw MallowError(WrongTargetError, member, description);
}

[[noreturn]] void RaiseNtOnly(const char* member, const char* call)
{
    RaiseNtTarget(member,
                  std::string("Cannot call this function (") + call + ") with remote NT computer.");
}

std::string ServerArgument(const std::string& serverName)
{
    return ToAnsi(AddServerPrefix(serverName));
}

/// The client computer as the session calls take it: "\\" in front unless blank or present.
std::string ClientArgument(const std::string& machine)
{
    if (modNetCommon::TrimBlanks(machine).empty() || machine.rfind("\\\\", 0) == 0)
        return ToAnsi(machine);
    return ToAnsi("\\\\" + machine);
}

/// Upper case of Windows-1252 text, letters with accents included.
std::string UpperAnsi(std::string text)
{
    for (char& c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7))
            c = static_cast<char>(b - 0x20);
        else if (b == 0x9A || b == 0x9C || b == 0x9E)
            c = static_cast<char>(b - 0x10);
        else if (b == 0xFF)
            c = static_cast<char>(0x9F);
    }
    return text;
}

std::int16_t Int(std::uint16_t value)
{
    return static_cast<std::int16_t>(value);
}

std::int32_t Long(std::uint32_t value)
{
    return static_cast<std::int32_t>(value);
}

/// The bytes the library was allowed to fill.
std::span<const std::uint8_t> Answer(const Buffer& buffer, std::uint16_t count)
{
    return std::span<const std::uint8_t>(buffer).first(std::min<std::size_t>(count, buffer.size()));
}

/// Copies the records out of an answer. A record or text outside the bytes the library was
/// allowed to fill is a broken answer: it raises as the remote error it is, and nothing
/// beyond the buffer is read.
template <class F> auto Decode(const char* member, F decode)
{
    try {
        return decode();
    } catch (const SvrRecordError&) {
        RaiseCall(member, NERR_RemoteErr);
    }
}

/// Calls at `first`, then at `second` when that fails; raises with the second code. The
/// level that answered.
template <class Call> int TwoLevels(const char* member, int first, int second, Call call)
{
    if (call(first) == NERR_Success)
        return first;
    const NET_API_STATUS status = call(second);
    if (status != NERR_Success)
        RaiseCall(member, status);
    return second;
}

template <class T> T& Checked(T* services, const char* what)
{
    if (!services)
        throw std::invalid_argument(std::string("cNet_Win9x needs ") + what);
    return *services;
}

void FillShareRow(NetTable& table, int row, const share_info_50& s)
{
    table(0, row) = s.shi50_netname;
    table(1, row) = s.shi50_remark;
    table(2, row) = s.shi50_path;
    table(3, row) = s.shi50_rw_password;
    // Level 50 counts no uses.
    table(4, row) = std::int16_t(0);
    table(5, row) = std::int16_t(0);
    table(6, row) = s.shi50_type;
    table(7, row) = modNetCommon::ShareTypeText(s.shi50_type);
    table(8, row) = Int(s.shi50_flags);
    table(9, row) = modNetCommon::PermissionText(s.shi50_flags);
}

void FillShareRow(NetTable& table, int row, const share_info_1& s, const std::string& pathText)
{
    table(0, row) = s.shi1_netname;
    table(1, row) = s.shi1_remark;
    table(2, row) = pathText;
    table(3, row) = std::string();
    table(4, row) = std::int16_t(0);
    table(5, row) = std::int16_t(0);
    table(6, row) = Int(s.shi1_type);
    table(7, row) = modNetCommon::ShareTypeText(s.shi1_type);
    table(8, row) = std::int16_t(-1);
    table(9, row) = modNetCommon::PermissionText(-1);
}

/// Runs the version probe: true on Windows 95, false on 98 and ME; "Invalid OS" elsewhere.
bool IsWindows95(const NetServices& services)
{
    const auto type = cOsVersion(Checked(services.version, "a version source")).TypeValidOS();
    if (type < 5 || type > 7)
        throw MallowError(WrongFamilyError, "Class_Initialize", "Invalid OS");
    return type == 5;
}

NetRecord RecordOf(const NetTable& table)
{
    NetRecord record;
    for (int column = 0; column < table.Columns(); ++column)
        record.push_back(table(column, 0));
    return record;
}

} // namespace

struct cNet_Win9x::ShareInfo
{
    int level = 50;
    share_info_50 full;
    share_info_1 brief;
};

cNet_Win9x::cNet_Win9x(const NetServices& services)
    : win95(IsWindows95(services)), api(Checked(services.svrApi, "a 9x server library")),
      provider(Checked(services.provider, "a network provider"))
{
}

std::string cNet_Win9x::TrimNull(const std::string& text)
{
    return modNetCommon::StripAtNull(text);
}

void cNet_Win9x::AddConnection2(const std::string& xi_strPassword,
                                const std::string& xi_strUserName,
                                const std::string& xi_strLocalName,
                                const std::string& xi_strRemoteName, bool xi_blnPersistent)
{
    modWNetCalls::AddConnection2(provider, xi_strPassword, xi_strUserName, xi_strLocalName,
                                 xi_strRemoteName, true, xi_blnPersistent);
}

void cNet_Win9x::AddConnection3(const std::string& xi_strPassword,
                                const std::string& xi_strUserName,
                                const std::string& xi_strLocalName,
                                const std::string& xi_strRemoteName, std::int32_t xi_lngHwndOwner,
                                bool xi_blnPersistent)
{
    modWNetCalls::AddConnection3(provider, xi_strPassword, xi_strUserName, xi_strLocalName,
                                 xi_strRemoteName, xi_lngHwndOwner, true, xi_blnPersistent);
}

void cNet_Win9x::CancelConnection(const std::string& xi_strLocalName, bool xi_blnForceDisconnect)
{
    modWNetCalls::CancelConnection(provider, xi_strLocalName, xi_blnForceDisconnect, true);
}

void cNet_Win9x::CancelConnection2(const std::string& xi_strLocalName, bool xi_blnForceDisconnect)
{
    modWNetCalls::CancelConnection2(provider, xi_strLocalName, xi_blnForceDisconnect, true);
}

void cNet_Win9x::ConnectDialog(std::int32_t xi_lngHwnd)
{
    modWNetCalls::ConnectDialog(provider, xi_lngHwnd, true);
}

void cNet_Win9x::DisconnectDialog(std::int32_t xi_lngHwnd)
{
    modWNetCalls::DisconnectDialog(provider, xi_lngHwnd, true);
}

NetRecord cNet_Win9x::GetUniversalName(const std::string& xi_strLocalPath,
                                       std::int32_t xi_lngNameInfoLevel)
{
    return modWNetCalls::GetUniversalName(provider, xi_strLocalPath, xi_lngNameInfoLevel, win95,
                                          true);
}

std::string cNet_Win9x::GetUserName(const std::string& xi_strDeviceName)
{
    return modWNetCalls::GetUserName(provider, xi_strDeviceName, true);
}

std::string cNet_Win9x::GetResourceName(const std::string& xi_strDriveLetter)
{
    return modWNetCalls::GetResourceName(provider, xi_strDriveLetter, true);
}

NetTable cNet_Win9x::EnumResources(std::int32_t xi_lngResourceType)
{
    return modWNetCalls::EnumResources(provider, xi_lngResourceType, true);
}

void cNet_Win9x::MapDrive(std::int32_t xi_lngHwndOwner, const std::string& xi_strLocalName,
                          const std::string& xi_strRemoteName)
{
    modWNetCalls::MapDrive(provider, xi_lngHwndOwner, true, xi_strLocalName, xi_strRemoteName);
}

void cNet_Win9x::UnmapDrive(std::int32_t xi_lngHwndOwner, const std::string& xi_strLocalName)
{
    modWNetCalls::UnmapDrive(provider, xi_lngHwndOwner, xi_strLocalName, true);
}

NetRecord cNet_Win9x::GetNetInfo()
{
    return modWNetCalls::GetNetInfo(provider, true);
}

NetRecord cNet_Win9x::GetResInfo(std::string& xi_strRemoteName)
{
    return modWNetCalls::GetResInfo(provider, xi_strRemoteName, true);
}

NetRecord cNet_Win9x::GetResParent(const std::string& xi_strRemoteName)
{
    return modWNetCalls::GetResParent(provider, xi_strRemoteName, true);
}

std::string cNet_Win9x::UseConnection(std::int32_t xi_lngHwndOwner,
                                      const std::string& xi_strRemoteName,
                                      const std::string& xi_strUserID, const std::string& xi_strPW,
                                      const std::string& xi_strLocalName)
{
    return modWNetCalls::UseConnection(provider, xi_lngHwndOwner, xi_strRemoteName, xi_strUserID,
                                       xi_strPW, true, xi_strLocalName);
}

// Server members.

bool cNet_Win9x::IsNTTarget(const std::string& xi_strServerName)
{
    return NumberOf(GetServerInfo(xi_strServerName)[3]) == 4;
}

NetTable cNet_Win9x::EnumFiles(const std::string& xi_strServerName)
{
    if (IsNTTarget(xi_strServerName))
        RaiseNtTarget("EnumFiles",
                      "Cannot call the NetFileEnum function from a Win9x to a NT+ computer.");
    const std::string server = ServerArgument(xi_strServerName);
    Buffer buffer(EnumerationBytes);
    std::uint16_t read = 0, total = 0;
    const NET_API_STATUS status =
        api.NetFileEnum(server.c_str(), "", 50, buffer, FileEnumCount, &read, &total);
    if (status != NERR_Success)
        RaiseCall("EnumFiles", status);
    if (read == 0)
        return {};
    return Decode("EnumFiles", [&] {
        const auto answer = Answer(buffer, FileEnumCount);
        NetTable table(7, read);
        for (int row = 0; row < read; ++row) {
            const file_info_50 f = ReadFileInfo50(answer, static_cast<std::size_t>(row));
            table(0, row) = f.fi50_pathname;
            table(1, row) = f.fi50_username;
            table(2, row) = Long(f.fi50_id);
            table(3, row) = Int(f.fi50_num_locks);
            table(4, row) = Int(f.fi50_permissions);
            table(5, row) = modNetCommon::PermissionText(Int(f.fi50_permissions));
            table(6, row) = f.fi50_sharename;
        }
        return table;
    });
}

NetTable cNet_Win9x::EnumSessions(const std::string& xi_strServerName)
{
    const std::string server = ServerArgument(xi_strServerName);
    Buffer buffer(EnumerationBytes);
    std::uint16_t read = 0, total = 0;
    const int level = TwoLevels("EnumSessions", 50, 1, [&](int lvl) {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t(0));
        read = total = 0;
        return api.NetSessionEnum(server.c_str(), static_cast<std::int16_t>(lvl), buffer,
                                  SessionEnumCount, &read, &total);
    });
    if (read == 0)
        return {};
    return Decode("EnumSessions", [&] {
        const auto answer = Answer(buffer, SessionEnumCount);
        NetTable table(10, read);
        for (int row = 0; row < read; ++row) {
            const auto index = static_cast<std::size_t>(row);
            // Column 0 holds the user too: the 9x records name no client type.
            if (level == 50) {
                const session_info_50 s = ReadSessionInfo50(answer, index);
                table(0, row) = s.sesi50_username;
                table(1, row) = s.sesi50_username;
                table(2, row) = s.sesi50_cname;
                table(4, row) = Long(s.sesi50_idle_time);
                table(5, row) = Int(s.sesi50_num_opens);
                table(6, row) = Long(s.sesi50_time);
                table(7, row) = std::int16_t(0);
                table(8, row) = modNetCommon::SessionFlagText(0);
                table(9, row) = Int(s.sesi50_num_conns);
            } else {
                const session_info_2 s = ReadSessionInfo(answer, 1, index);
                table(0, row) = s.sesi2_username;
                table(1, row) = s.sesi2_username;
                table(2, row) = s.sesi2_cname;
                table(4, row) = Long(s.sesi2_idle_time);
                table(5, row) = Int(s.sesi2_num_opens);
                table(6, row) = Long(s.sesi2_time);
                table(7, row) = Long(s.sesi2_user_flags);
                table(8, row) = modNetCommon::SessionFlagText(Long(s.sesi2_user_flags));
                table(9, row) = Int(s.sesi2_num_conns);
            }
            table(3, row) = std::string();
        }
        return table;
    });
}

NetRecord cNet_Win9x::GetSessionInfo(const std::string& xi_strServerName,
                                     const std::string& xi_strSessionName,
                                     const std::string& /*xi_strUserName*/)
{
    // The 9x library finds a session by its client computer alone.
    const std::string server = ServerArgument(xi_strServerName);
    const std::string client = ClientArgument(xi_strSessionName);
    Buffer buffer(SingleRecordBytes);
    std::uint16_t available = 0;
    const int level = TwoLevels("GetSessionInfo", 2, 1, [&](int lvl) {
        return api.NetSessionGetInfo(server.c_str(), client.c_str(), static_cast<std::int16_t>(lvl),
                                     buffer, SingleRecordCount, &available);
    });
    return Decode("GetSessionInfo", [&] {
        const session_info_2 s = ReadSessionInfo(Answer(buffer, SingleRecordCount), level, 0);
        const auto flags = Long(s.sesi2_user_flags);
        return NetRecord{s.sesi2_cltype_name,
                         s.sesi2_username,
                         s.sesi2_cname,
                         Long(s.sesi2_idle_time),
                         Int(s.sesi2_num_opens),
                         Long(s.sesi2_time),
                         flags,
                         modNetCommon::SessionFlagText(flags),
                         std::int16_t(0)};
    });
}

void cNet_Win9x::CloseFile(std::int32_t xi_lngFilePtr, const std::string& xi_strServerName,
                           const std::string& /*xi_strFileName*/)
{
    const std::string server = UpperAnsi(ServerArgument(xi_strServerName));
    const NET_API_STATUS status =
        api.NetFileClose2(server.c_str(), static_cast<std::uint32_t>(xi_lngFilePtr));
    if (status != NERR_Success)
        RaiseCall("CloseFile", status);
}

NetTable cNet_Win9x::EnumConnections(const std::string& xi_strServerName,
                                     const std::string& xi_strQualifier)
{
    if (IsNTTarget(xi_strServerName))
        RaiseNtTarget("EnumConnections",
                      "Cannot call the NetConnectionEnum function from a Win9x to a NT+ computer.");
    const std::string server = ServerArgument(xi_strServerName);
    const std::string qualifier = ToAnsi(xi_strQualifier);
    Buffer buffer(EnumerationBytes);
    std::uint16_t read = 0, total = 0;
    const NET_API_STATUS status = api.NetConnectionEnum(server.c_str(), qualifier.c_str(), 50,
                                                        buffer, ConnectionEnumCount, &read, &total);
    if (status != NERR_Success)
        RaiseCall("EnumConnections", status);
    if (read == 0)
        return {};
    return Decode("EnumConnections", [&] {
        const auto answer = Answer(buffer, ConnectionEnumCount);
        NetTable table(8, read);
        for (int row = 0; row < read; ++row) {
            const connection_info_50 c =
                ReadConnectionInfo50(answer, static_cast<std::size_t>(row));
            table(0, row) = c.coni50_username.empty() ? c.coni50_netname : c.coni50_username;
            table(1, row) = xi_strQualifier;
            // Level 50 carries neither an identifier nor a count of users.
            table(2, row) = std::int16_t(0);
            table(3, row) = Long(c.coni50_time);
            table(4, row) = Int(c.coni50_num_opens);
            table(5, row) = std::int16_t(0);
            table(6, row) = Int(c.coni50_type);
            table(7, row) = modNetCommon::ShareTypeText(c.coni50_type);
        }
        return table;
    });
}

NetRecord cNet_Win9x::GetServerInfo(const std::string& xi_strServerName)
{
    const std::string server = ServerArgument(xi_strServerName);
    Buffer buffer(SingleRecordBytes);
    std::uint16_t available = 0;
    const int level = TwoLevels("GetServerInfo", 50, 1, [&](int lvl) {
        return api.NetServerGetInfo(server.c_str(), static_cast<std::int16_t>(lvl), buffer,
                                    SingleRecordCount, &available);
    });
    const server_info_50 s = Decode(
        "GetServerInfo", [&] { return ReadServerInfo(Answer(buffer, SingleRecordCount), level); });
    std::string name = s.sv50_name;
    if (name.empty())
        name = AddServerPrefix(xi_strServerName);
    if (name.empty())
        name = "[Local]";
    const auto type = Long(s.sv50_type);
    return {name,
            s.sv50_comment,
            std::int16_t(0),
            s.sv50_version_major,
            s.sv50_version_minor,
            type,
            modNetCommon::ServerTypeText(type)};
}

NetTable cNet_Win9x::EnumShares(const std::string& xi_strServerName)
{
    const std::string server = ServerArgument(xi_strServerName);
    Buffer buffer(EnumerationBytes);
    std::uint16_t read = 0, total = 0;
    const int level = TwoLevels("EnumShares", 50, 1, [&](int lvl) {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t(0));
        read = total = 0;
        return api.NetShareEnum(server.c_str(), static_cast<std::int16_t>(lvl), buffer,
                                ShareEnumCount, &read, &total);
    });
    if (read == 0)
        return {};
    const auto answer = Answer(buffer, ShareEnumCount);
    NetTable table(10, read);
    if (level == 50) {
        Decode("EnumShares", [&] {
            for (int row = 0; row < read; ++row)
                FillShareRow(table, row, ReadShareInfo50(answer, static_cast<std::size_t>(row)));
            return 0;
        });
        return table;
    }
    const auto shares = Decode("EnumShares", [&] {
        std::vector<share_info_1> records;
        for (std::size_t row = 0; row < read; ++row)
            records.push_back(ReadShareInfo1(answer, row));
        return records;
    });
    const std::string pathText =
        IsNTTarget(xi_strServerName) ? "Level 50 call failed" : "N/A calling NT";
    for (int row = 0; row < read; ++row)
        FillShareRow(table, row, shares[static_cast<std::size_t>(row)], pathText);
    return table;
}

cNet_Win9x::ShareInfo cNet_Win9x::ReadShare(const char* member, const std::string& server,
                                            const std::string& share)
{
    const std::string name = ToAnsi(share);
    Buffer buffer(SingleRecordBytes);
    std::uint16_t available = 0;
    ShareInfo info;
    info.level = TwoLevels(member, 50, 1, [&](int lvl) {
        return api.NetShareGetInfo(server.c_str(), name.c_str(), static_cast<std::int16_t>(lvl),
                                   buffer, SingleRecordCount, &available);
    });
    Decode(member, [&] {
        const auto answer = Answer(buffer, SingleRecordCount);
        if (info.level == 50)
            info.full = ReadShareInfo50(answer, 0);
        else
            info.brief = ReadShareInfo1(answer, 0);
        return 0;
    });
    return info;
}

NetRecord cNet_Win9x::GetNetShareInfo(const std::string& xi_strServerName,
                                      const std::string& xi_strShareName)
{
    const ShareInfo info =
        ReadShare("GetNetShareInfo", ServerArgument(xi_strServerName), xi_strShareName);
    NetTable row(10, 1);
    if (info.level == 50)
        FillShareRow(row, 0, info.full);
    else
        FillShareRow(row, 0, info.brief, "N/A calling NT");
    return RecordOf(row);
}

void cNet_Win9x::AddShare(const std::string& xi_strServerName, const std::string& xi_strShareName,
                          const std::string& xi_strPath, const std::string& xi_strRemark)
{
    share_info_50 share;
    share.shi50_netname = xi_strShareName;
    // Counted in ANSI characters, the unit of the record's 13-character field.
    if (ToAnsi(share.shi50_netname).size() > LongestShareName)
        throw MallowError(ShareNameTooLongError, "AddShare",
                          "The share name on Win9x can be a max of " +
                              std::to_string(LongestShareName) + " charaters.");
    share.shi50_type = 0;
    share.shi50_flags = ShareFlagsOfNewShare;
    share.shi50_remark = xi_strRemark;
    share.shi50_path = xi_strPath;
    const std::string server = ServerArgument(xi_strServerName);
    // The record, then the ANSI copies its remark and path point to.
    Buffer buffer(SHARE_INFO_50_SIZE + ToAnsi(xi_strRemark).size() + ToAnsi(xi_strPath).size() + 2);
    SvrBufferWriter writer(buffer, buffer.size());
    WriteShareInfo50(writer, share);
    const NET_API_STATUS status = api.NetShareAdd(server.c_str(), 50, buffer, SHARE_INFO_50_SIZE);
    if (status != NERR_Success)
        RaiseCall("AddShare", status);
}

void cNet_Win9x::DeleteShare(const std::string& xi_strServerName,
                             const std::string& xi_strShareName)
{
    const std::string server = ServerArgument(xi_strServerName);
    const std::string share = ToAnsi(xi_strShareName);
    const NET_API_STATUS status = api.NetShareDel(server.c_str(), share.c_str(), 0);
    if (status == ERROR_INVALID_LEVEL)
        RaiseNtOnly("DeleteShare", "NetShareDel");
    if (status != NERR_Success)
        RaiseCall("DeleteShare", status);
}

void cNet_Win9x::DeleteSession(const std::string& /*xi_strUserName*/,
                               const std::string& xi_strServerName,
                               const std::string& xi_strMachineName)
{
    // The 9x library ends every session of the client computer; it takes no user name.
    const std::string server = ServerArgument(xi_strServerName);
    const std::string client = ClientArgument(xi_strMachineName);
    const NET_API_STATUS status = api.NetSessionDel(server.c_str(), client.c_str(), 0);
    if (status == ERROR_INVALID_LEVEL)
        RaiseNtOnly("DeleteSession", "NetSessionDel");
    if (status != NERR_Success)
        RaiseCall("DeleteSession", status);
}

void cNet_Win9x::SetShareInfo(const std::string& xi_strServerName,
                              const std::string& xi_strShareName, const std::string& xi_strRemark)
{
    const std::string server = ServerArgument(xi_strServerName);
    const std::string share = ToAnsi(xi_strShareName);
    ShareInfo info = ReadShare("GetNetShareInfo", server, xi_strShareName);
    const auto set = [&](int level, const Buffer& record, std::size_t size) {
        return api.NetShareSetInfo(server.c_str(), share.c_str(), static_cast<std::int16_t>(level),
                                   record, static_cast<std::uint16_t>(size), 0);
    };
    // A level-50 record is the whole share; it is sent only when the share was read at that
    // level, so that a folder or password the client never saw is not written over.
    if (info.level == 50) {
        info.full.shi50_remark = xi_strRemark;
        Buffer record(SHARE_INFO_50_SIZE + ToAnsi(info.full.shi50_remark).size() +
                      ToAnsi(info.full.shi50_path).size() + 2);
        SvrBufferWriter writer(record, record.size());
        WriteShareInfo50(writer, info.full);
        if (set(50, record, SHARE_INFO_50_SIZE) == NERR_Success)
            return;
        info.brief = {info.full.shi50_netname, info.full.shi50_type, info.full.shi50_remark};
    }
    info.brief.shi1_remark = xi_strRemark;
    Buffer record(SHARE_INFO_1_SIZE + ToAnsi(xi_strRemark).size() + 1);
    SvrBufferWriter writer(record, record.size());
    WriteShareInfo1(writer, info.brief);
    const NET_API_STATUS status = set(1, record, SHARE_INFO_1_SIZE);
    if (status != NERR_Success)
        RaiseCall("SetShareInfo", status);
}

} // namespace mallow::net
