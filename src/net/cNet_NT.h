#pragma once

#include "net/NetImplementation.h"
#include "net/NetServices.h"

namespace mallow::net {

/// The network layer on the NT family: server members over the NT server library (UTF-16
/// texts, library-allocated buffers released in the same call), provider members through
/// modWNetCalls. Every failure raises; EnumConnections alone reports and returns empty.
class cNet_NT : public NetImplementation
{
public:
    explicit cNet_NT(const NetServices& services);

    void AddConnection2(const std::string& xi_strPassword, const std::string& xi_strUserName,
                        const std::string& xi_strLocalName, const std::string& xi_strRemoteName,
                        bool xi_blnPersistent) override;
    void AddConnection3(const std::string& xi_strPassword, const std::string& xi_strUserName,
                        const std::string& xi_strLocalName, const std::string& xi_strRemoteName,
                        std::int32_t xi_lngHwndOwner, bool xi_blnPersistent) override;
    void CancelConnection(const std::string& xi_strLocalName, bool xi_blnForceDisconnect) override;
    void CancelConnection2(const std::string& xi_strLocalName, bool xi_blnForceDisconnect) override;
    void ConnectDialog(std::int32_t xi_lngHwnd) override;
    void DisconnectDialog(std::int32_t xi_lngHwnd) override;
    NetRecord GetUniversalName(const std::string& xi_strLocalPath,
                               std::int32_t xi_lngNameInfoLevel) override;
    std::string GetUserName(const std::string& xi_strDeviceName) override;
    std::string GetResourceName(const std::string& xi_strDriveLetter) override;
    NetTable EnumResources(std::int32_t xi_lngResourceType) override;
    void MapDrive(std::int32_t xi_lngHwndOwner, const std::string& xi_strLocalName,
                  const std::string& xi_strRemoteName) override;
    void UnmapDrive(std::int32_t xi_lngHwndOwner, const std::string& xi_strLocalName) override;
    NetRecord GetNetInfo() override;
    NetRecord GetResInfo(std::string& xi_strRemoteName) override;
    NetRecord GetResParent(const std::string& xi_strRemoteName) override;
    std::string UseConnection(std::int32_t xi_lngHwndOwner, const std::string& xi_strRemoteName,
                              const std::string& xi_strUserID, const std::string& xi_strPW,
                              const std::string& xi_strLocalName) override;
    NetTable EnumConnections(const std::string& xi_strServerName,
                             const std::string& xi_strQualifier) override;
    NetTable EnumFiles(const std::string& xi_strServerName) override;
    NetRecord GetServerInfo(const std::string& xi_strServerName) override;
    NetTable EnumSessions(const std::string& xi_strServerName) override;
    NetTable EnumShares(const std::string& xi_strServerName) override;
    NetRecord GetSessionInfo(const std::string& xi_strServerName,
                             const std::string& xi_strSessionName,
                             const std::string& xi_strUserName) override;
    NetRecord GetNetShareInfo(const std::string& xi_strServerName,
                              const std::string& xi_strShareName) override;
    void AddShare(const std::string& xi_strServerName, const std::string& xi_strShareName,
                  const std::string& xi_strPath, const std::string& xi_strRemark) override;
    void DeleteShare(const std::string& xi_strServerName,
                     const std::string& xi_strShareName) override;
    void CloseFile(std::int32_t xi_lngFilePtr, const std::string& xi_strServerName,
                   const std::string& xi_strFileName) override;
    void DeleteSession(const std::string& xi_strUserName, const std::string& xi_strServerName,
                       const std::string& xi_strMachineName) override;
    void SetShareInfo(const std::string& xi_strServerName, const std::string& xi_strShareName,
                      const std::string& xi_strRemark) override;

    /// True when the target answers the workstation probe with another platform than NT.
    bool IsWin9xTarget(const std::u16string& server);

private:
    void CheckTarget(const std::u16string& server, const char* member);
    void RequireNt4(const char* member) const;

    platform::NetApi& api;
    platform::NetProvider& provider;
    NetErrorReporter& reporter;
    bool nt4OrLater = false;
};

} // namespace mallow::net
