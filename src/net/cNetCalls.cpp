#include "net/cNetCalls.h"

#include "net/cNet_NT.h"
#include "net/cNet_Win9x.h"
#include "net/cOsVersion.h"
#include "util/MallowError.h"

#include <stdexcept>

namespace mallow::net {

cNetCalls::cNetCalls(const NetServices& services)
{
    if (!services.version)
        throw std::invalid_argument("cNetCalls needs a version source");
    osType = cOsVersion(*services.version).TypeValidOS();
    if (osType >= 1 && osType <= 4)
        impl = std::make_unique<cNet_NT>(services);
    else if (osType >= 5 && osType <= 7)
        impl = std::make_unique<cNet_Win9x>(services);
}

cNetCalls::~cNetCalls() = default;

NetImplementation& cNetCalls::Impl(const char* member)
{
    // A facade without an implementation behaves as a call on an object that is not set.
    if (!impl)
        throw MallowError(91, std::string("cNetCalls.") + member, RuntimeErrorText(91));
    return *impl;
}

void cNetCalls::AddConnection2(const std::string& Password, const std::string& UserName,
                               const std::string& LocalName, const std::string& RemoteName,
                               bool Persistent)
{
    Impl("AddConnection2").AddConnection2(Password, UserName, LocalName, RemoteName, Persistent);
}

void cNetCalls::AddConnection3(const std::string& Password, const std::string& UserName,
                               const std::string& LocalName, const std::string& RemoteName,
                               std::int32_t HwndOwner, bool Persistent)
{
    Impl("AddConnection3")
        .AddConnection3(Password, UserName, LocalName, RemoteName, HwndOwner, Persistent);
}

void cNetCalls::CancelConnection(const std::string& LocalName, bool ForceDisconnect)
{
    Impl("CancelConnection").CancelConnection(LocalName, ForceDisconnect);
}

void cNetCalls::CancelConnection2(const std::string& LocalName, bool ForceDisconnect)
{
    Impl("CancelConnection2").CancelConnection2(LocalName, ForceDisconnect);
}

void cNetCalls::ConnectDialog(std::int32_t HwndOwner)
{
    Impl("ConnectDialog").ConnectDialog(HwndOwner);
}

void cNetCalls::DisconnectDialog(std::int32_t HwndOwner)
{
    Impl("DisconnectDialog").DisconnectDialog(HwndOwner);
}

NetRecord cNetCalls::GetUniversalName(const std::string& LocalPath, std::int32_t NameInfoLevel)
{
    return Impl("GetUniversalName").GetUniversalName(LocalPath, NameInfoLevel);
}

std::string cNetCalls::GetUserName(const std::string& DeviceName)
{
    return Impl("GetUserName").GetUserName(DeviceName);
}

std::string cNetCalls::GetResourceName(const std::string& DriveLetter)
{
    return Impl("GetResourceName").GetResourceName(DriveLetter);
}

NetTable cNetCalls::EnumResources(std::int32_t ResourceType)
{
    return Impl("EnumResources").EnumResources(ResourceType);
}

void cNetCalls::MapDrive(std::int32_t HwndOwner, const std::string& LocalName,
                         const std::string& RemoteName)
{
    Impl("MapDrive").MapDrive(HwndOwner, LocalName, RemoteName);
}

void cNetCalls::UnmapDrive(std::int32_t HwndOwner, const std::string& LocalName)
{
    Impl("UnmapDrive").UnmapDrive(HwndOwner, LocalName);
}

NetRecord cNetCalls::GetNetInfo()
{
    return Impl("GetNetInfo").GetNetInfo();
}

NetRecord cNetCalls::GetResInfo(std::string& RemoteName)
{
    return Impl("GetResInfo").GetResInfo(RemoteName);
}

NetRecord cNetCalls::GetResParent(const std::string& RemoteName)
{
    return Impl("GetResParent").GetResParent(RemoteName);
}

std::string cNetCalls::UseConnection(std::int32_t HwndOwner, const std::string& RemoteName,
                                     const std::string& UserID, const std::string& PW,
                                     const std::string& LocalName)
{
    return Impl("UseConnection").UseConnection(HwndOwner, RemoteName, UserID, PW, LocalName);
}

NetTable cNetCalls::EnumConnections(const std::string& ServerName, const std::string& Qualifier)
{
    return Impl("EnumConnections").EnumConnections(ServerName, Qualifier);
}

NetTable cNetCalls::EnumFiles(const std::string& ServerName)
{
    return Impl("EnumFiles").EnumFiles(ServerName);
}

NetRecord cNetCalls::GetServerInfo(const std::string& ServerName)
{
    return Impl("GetServerInfo").GetServerInfo(ServerName);
}

NetTable cNetCalls::EnumSessions(const std::string& ServerName)
{
    return Impl("EnumSessions").EnumSessions(ServerName);
}

NetTable cNetCalls::EnumShares(const std::string& ServerName)
{
    return Impl("EnumShares").EnumShares(ServerName);
}

NetRecord cNetCalls::GetSessionInfo(const std::string& ServerName, const std::string& SessionName,
                                    const std::string& UserName)
{
    return Impl("GetSessionInfo").GetSessionInfo(ServerName, SessionName, UserName);
}

NetRecord cNetCalls::GetNetShareInfo(const std::string& ServerName, const std::string& ShareName)
{
    return Impl("GetNetShareInfo").GetNetShareInfo(ServerName, ShareName);
}

void cNetCalls::AddShare(const std::string& ServerName, const std::string& ShareName,
                         const std::string& Path, const std::string& Remark)
{
    Impl("AddShare").AddShare(ServerName, ShareName, Path, Remark);
}

void cNetCalls::DeleteShare(const std::string& ServerName, const std::string& ShareName)
{
    Impl("DeleteShare").DeleteShare(ServerName, ShareName);
}

void cNetCalls::CloseFile(std::int32_t FilePtr, const std::string& ServerName,
                          const std::string& FileName)
{
    Impl("CloseFile").CloseFile(FilePtr, ServerName, FileName);
}

void cNetCalls::DeleteSession(const std::string& UserName, const std::string& ServerName,
                              const std::string& MachineName)
{
    Impl("DeleteSession").DeleteSession(UserName, ServerName, MachineName);
}

void cNetCalls::SetShareInfo(const std::string& ServerName, const std::string& ShareName,
                             const std::string& Remark)
{
    Impl("SetShareInfo").SetShareInfo(ServerName, ShareName, Remark);
}

} // namespace mallow::net
