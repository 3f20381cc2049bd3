#pragma once

#include "net/NetValue.h"

#include <cstdint>
#include <string>

namespace mallow::net {

/// The members that both implementation classes offer and the facade forwards to.
class NetImplementation
{
public:
    virtual ~NetImplementation() = default;

    virtual void AddConnection2(const std::string& xi_strPassword,
                                const std::string& xi_strUserName,
                                const std::string& xi_strLocalName,
                                const std::string& xi_strRemoteName, bool xi_blnPersistent) = 0;
    virtual void AddConnection3(const std::string& xi_strPassword,
                                const std::string& xi_strUserName,
                                const std::string& xi_strLocalName,
                                const std::string& xi_strRemoteName, std::int32_t xi_lngHwndOwner,
                                bool xi_blnPersistent) = 0;
    virtual void CancelConnection(const std::string& xi_strLocalName,
                                  bool xi_blnForceDisconnect) = 0;
    virtual void CancelConnection2(const std::string& xi_strLocalName,
                                   bool xi_blnForceDisconnect) = 0;
    virtual void ConnectDialog(std::int32_t xi_lngHwnd) = 0;
    virtual void DisconnectDialog(std::int32_t xi_lngHwnd) = 0;
    virtual NetRecord GetUniversalName(const std::string& xi_strLocalPath,
                                       std::int32_t xi_lngNameInfoLevel) = 0;
    virtual std::string GetUserName(const std::string& xi_strDeviceName) = 0;
    virtual std::string GetResourceName(const std::string& xi_strDriveLetter) = 0;
    virtual NetTable EnumResources(std::int32_t xi_lngResourceType) = 0;
    virtual void MapDrive(std::int32_t xi_lngHwndOwner, const std::string& xi_strLocalName,
                          const std::string& xi_strRemoteName) = 0;
    virtual void UnmapDrive(std::int32_t xi_lngHwndOwner, const std::string& xi_strLocalName) = 0;
    virtual NetRecord GetNetInfo() = 0;
    virtual NetRecord GetResInfo(std::string& xi_strRemoteName) = 0;
    virtual NetRecord GetResParent(const std::string& xi_strRemoteName) = 0;
    virtual std::string UseConnection(std::int32_t xi_lngHwndOwner,
                                      const std::string& xi_strRemoteName,
                                      const std::string& xi_strUserID, const std::string& xi_strPW,
                                      const std::string& xi_strLocalName) = 0;
    virtual NetTable EnumConnections(const std::string& xi_strServerName,
                                     const std::string& xi_strQualifier) = 0;
    virtual NetTable EnumFiles(const std::string& xi_strServerName) = 0;
    virtual NetRecord GetServerInfo(const std::string& xi_strServerName) = 0;
    virtual NetTable EnumSessions(const std::string& xi_strServerName) = 0;
    virtual NetTable EnumShares(const std::string& xi_strServerName) = 0;
    virtual NetRecord GetSessionInfo(const std::string& xi_strServerName,
                                     const std::string& xi_strSessionName,
                                     const std::string& xi_strUserName) = 0;
    virtual NetRecord GetNetShareInfo(const std::string& xi_strServerName,
                                      const std::string& xi_strShareName) = 0;
    virtual void AddShare(const std::string& xi_strServerName, const std::string& xi_strShareName,
                          const std::string& xi_strPath, const std::string& xi_strRemark) = 0;
    virtual void DeleteShare(const std::string& xi_strServerName,
                             const std::string& xi_strShareName) = 0;
    virtual void CloseFile(std::int32_t xi_lngFilePtr, const std::string& xi_strServerName,
                           const std::string& xi_strFileName) = 0;
    virtual void DeleteSession(const std::string& xi_strUserName,
                               const std::string& xi_strServerName,
                               const std::string& xi_strMachineName) = 0;
    virtual void SetShareInfo(const std::string& xi_strServerName,
                              const std::string& xi_strShareName,
                              const std::string& xi_strRemark) = 0;
};

} // namespace mallow::net
