#include "net/cNet_Win9x.h"

#include "net/NetErrors.h"
#include "net/cOsVersion.h"
#include "net/modNetCommon.h"
#include "net/modWNetCalls.h"

#include <stdexcept>

namespace mallow::net {

namespace {

[[noreturn]] void RaiseUnavailable(const char* member)
{
    throw MallowError(ServerCallError, std::string("cNet_9x.") + member + "()",
                      "The Win9x server calls are not available on this platform; Mallow "
                      "reaches servers through the NT server calls.");
}

platform::NetProvider& ProviderOf(const NetServices& services)
{
    if (!services.provider)
        throw std::invalid_argument("cNet_Win9x needs a network provider");
    return *services.provider;
}

} // namespace

cNet_Win9x::cNet_Win9x(const NetServices& services) : provider(ProviderOf(services))
{
    if (!services.version)
        throw std::invalid_argument("cNet_Win9x needs a version source");
    const auto type = cOsVersion(*services.version).TypeValidOS();
    if (type < 5 || type > 7)
        throw MallowError(WrongFamilyError, "Class_Initialize", "Invalid OS");
    win95 = type == 5;
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

NetTable cNet_Win9x::EnumConnections(const std::string&, const std::string&)
{
    RaiseUnavailable("EnumConnections");
}

NetTable cNet_Win9x::EnumFiles(const std::string&)
{
    RaiseUnavailable("EnumFiles");
}

NetRecord cNet_Win9x::GetServerInfo(const std::string&)
{
    RaiseUnavailable("GetServerInfo");
}

NetTable cNet_Win9x::EnumSessions(const std::string&)
{
    RaiseUnavailable("EnumSessions");
}

NetTable cNet_Win9x::EnumShares(const std::string&)
{
    RaiseUnavailable("EnumShares");
}

NetRecord cNet_Win9x::GetSessionInfo(const std::string&, const std::string&, const std::string&)
{
    RaiseUnavailable("GetSessionInfo");
}

NetRecord cNet_Win9x::GetNetShareInfo(const std::string&, const std::string&)
{
    RaiseUnavailable("GetNetShareInfo");
}

void cNet_Win9x::AddShare(const std::string&, const std::string& xi_strShareName,
                          const std::string&, const std::string&)
{
    // The share-name limit of the 9x library holds before any call.
    if (xi_strShareName.size() > 12)
        throw MallowError(ShareNameTooLongError, "AddShare",
                          "The share name on Win9x can be a max of 12 charaters.");
    RaiseUnavailable("AddShare");
}

void cNet_Win9x::DeleteShare(const std::string&, const std::string&)
{
    RaiseUnavailable("DeleteShare");
}

void cNet_Win9x::CloseFile(std::int32_t, const std::string&, const std::string&)
{
    RaiseUnavailable("CloseFile");
}

void cNet_Win9x::DeleteSession(const std::string&, const std::string&, const std::string&)
{
    RaiseUnavailable("DeleteSession");
}

void cNet_Win9x::SetShareInfo(const std::string&, const std::string&, const std::string&)
{
    RaiseUnavailable("SetShareInfo");
}

} // namespace mallow::net
