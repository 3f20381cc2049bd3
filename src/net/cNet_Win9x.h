#pragma once

#include "net/NetImplementation.h"
#include "net/NetServices.h"
#include "platform/SvrApi.h"

namespace mallow::net {

/// The network layer on the 9x family: server members over the 9x server library (ANSI texts,
/// buffers of our own with 16-bit counts, levels 50 and 1), provider members through
/// modWNetCalls. Every failure raises; no partial result is returned.
class cNet_Win9x : public NetImplementation
{
public:
    /// Raises base + 1002 "Invalid OS" (source "Class_Initialize") off the 9x family.
    explicit cNet_Win9x(const NetServices& services);

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

    /// The characters before the first NUL; "" when it comes first; without one, trimmed.
    static std::string TrimNull(const std::string& text);

    /// True when the server's own information gives major version 4, the version of an NT
    /// server; raises what GetServerInfo raises.
    bool IsNTTarget(const std::string& xi_strServerName);

private:
    struct ShareInfo;
    /// The share's record at level 50, or at level 1 when the server refuses 50; raises as
    /// `member`.
    ShareInfo ReadShare(const char* member, const std::string& server, const std::string& share);

    // The probe comes first, so that the wrong family is what creation reports.
    bool win95;
    platform::SvrApi& api;
    platform::NetProvider& provider;
};

} // namespace mallow::net
