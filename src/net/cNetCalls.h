#pragma once

#include "net/NetImplementation.h"
#include "net/NetServices.h"

#include <memory>

namespace mallow::net {

/// The network facade: runs the version probe when created, holds cNet_NT on the NT family,
/// cNet_Win9x on the 9x family and nothing otherwise, and forwards every member unchanged.
/// On a system of type 0 every member raises error 91.
class cNetCalls
{
public:
    explicit cNetCalls(const NetServices& services);
    ~cNetCalls();
    cNetCalls(const cNetCalls&) = delete;
    cNetCalls& operator=(const cNetCalls&) = delete;

    std::int32_t OSType() const { return osType; }

    void AddConnection2(const std::string& Password, const std::string& UserName,
                        const std::string& LocalName, const std::string& RemoteName,
                        bool Persistent = false);
    void AddConnection3(const std::string& Password, const std::string& UserName,
                        const std::string& LocalName, const std::string& RemoteName,
                        std::int32_t HwndOwner, bool Persistent = false);
    void CancelConnection(const std::string& LocalName, bool ForceDisconnect);
    void CancelConnection2(const std::string& LocalName, bool ForceDisconnect);
    void ConnectDialog(std::int32_t HwndOwner);
    void DisconnectDialog(std::int32_t HwndOwner);
    NetRecord GetUniversalName(const std::string& LocalPath, std::int32_t NameInfoLevel);
    std::string GetUserName(const std::string& DeviceName);
    std::string GetResourceName(const std::string& DriveLetter);
    NetTable EnumResources(std::int32_t ResourceType);
    void MapDrive(std::int32_t HwndOwner, const std::string& LocalName = "",
                  const std::string& RemoteName = "");
    void UnmapDrive(std::int32_t HwndOwner, const std::string& LocalName);
    NetRecord GetNetInfo();
    NetRecord GetResInfo(std::string& RemoteName);
    NetRecord GetResParent(const std::string& RemoteName);
    std::string UseConnection(std::int32_t HwndOwner, const std::string& RemoteName,
                              const std::string& UserID, const std::string& PW,
                              const std::string& LocalName = "");
    NetTable EnumConnections(const std::string& ServerName, const std::string& Qualifier);
    NetTable EnumFiles(const std::string& ServerName);
    NetRecord GetServerInfo(const std::string& ServerName);
    NetTable EnumSessions(const std::string& ServerName);
    NetTable EnumShares(const std::string& ServerName);
    NetRecord GetSessionInfo(const std::string& ServerName, const std::string& SessionName,
                             const std::string& UserName);
    NetRecord GetNetShareInfo(const std::string& ServerName, const std::string& ShareName);
    void AddShare(const std::string& ServerName, const std::string& ShareName,
                  const std::string& Path, const std::string& Remark);
    void DeleteShare(const std::string& ServerName, const std::string& ShareName);
    void CloseFile(std::int32_t FilePtr, const std::string& ServerName,
                   const std::string& FileName);
    void DeleteSession(const std::string& UserName, const std::string& ServerName,
                       const std::string& MachineName = "");
    void SetShareInfo(const std::string& ServerName, const std::string& ShareName,
                      const std::string& Remark);

private:
    NetImplementation& Impl(const char* member);

    std::int32_t osType = 0;
    std::unique_ptr<NetImplementation> impl;
};

} // namespace mallow::net
