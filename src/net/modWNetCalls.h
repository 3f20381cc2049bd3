#pragma once

#include "net/NetValue.h"
#include "platform/Mpr.h"

#include <string>

namespace mallow::net::modWNetCalls {

using platform::NetProvider;

/// Each routine raises on failure: number application base + 1000 + the provider's code,
/// source the routine's name, description "When calling <API>, got the error, " CR LF CR LF
/// and the code's text in quotes; a cancelled dialog raises base + 1001 "User cancelled".

void AddConnection2(NetProvider& provider, const std::string& xi_strPassword,
                    const std::string& xi_strUserName, const std::string& xi_strLocalName,
                    const std::string& xi_strRemoteName, bool xi_bln9x,
                    bool xi_blnPersistent = false);
void AddConnection3(NetProvider& provider, const std::string& xi_strPassword,
                    const std::string& xi_strUserName, const std::string& xi_strLocalName,
                    const std::string& xi_strRemoteName, std::int32_t xi_lngHwndOwner,
                    bool xi_bln9x, bool xi_blnPersistent = false);
void CancelConnection(NetProvider& provider, const std::string& xi_strLocalName,
                      bool xi_blnForceDisconnect, bool xi_bln9x);
void CancelConnection2(NetProvider& provider, const std::string& xi_strLocalName,
                       bool xi_blnForceDisconnect, bool xi_bln9x);
void ConnectDialog(NetProvider& provider, std::int32_t xi_lngHwnd, bool xi_bln9x);
void DisconnectDialog(NetProvider& provider, std::int32_t xi_lngHwnd, bool xi_bln9x);
/// Record of 3 columns: universal name, connection name, remaining path (level 2), or the
/// universal name alone (level 1).
NetRecord GetUniversalName(NetProvider& provider, const std::string& xi_strLocalPath,
                           std::int32_t xi_lngNameInfoLevel, bool xi_blnWin95, bool xi_bln9x);
std::string GetUserName(NetProvider& provider, const std::string& xi_strDeviceName, bool xi_bln9x);
/// The remote name connected to a drive. The drive is its letter and ":"; on this platform a
/// path (beginning with "/") names the mount that holds it instead.
std::string GetResourceName(NetProvider& provider, const std::string& xi_strDriveLetter,
                            bool xi_bln9x);
/// Table of 9 columns over the whole network, walked breadth first; only the resources of
/// display type xi_lngResourceType unless it is -1.
NetTable EnumResources(NetProvider& provider, std::int32_t xi_lngResourceType, bool xi_bln9x);
void MapDrive(NetProvider& provider, std::int32_t xi_lngHwnd, bool xi_bln9x,
              const std::string& xi_strLocalName = "", const std::string& xi_strRemoteName = "");
void UnmapDrive(NetProvider& provider, std::int32_t xi_lngHwnd, const std::string& xi_strLocalName,
                bool xi_bln9x);
NetRecord GetNetInfo(NetProvider& provider, bool xi_bln9x);
NetRecord GetResInfo(NetProvider& provider, std::string& xi_strRemoteName, bool xi_bln9x);
NetRecord GetResParent(NetProvider& provider, const std::string& xi_strRemoteName, bool xi_bln9x);
std::string UseConnection(NetProvider& provider, std::int32_t xi_lngHwnd,
                          const std::string& xi_strRemoteName, const std::string& xi_strUserID,
                          const std::string& xi_strPW, bool xi_bln9x,
                          const std::string& xi_strLocalName = "");
std::string GetExtendedErrorText(NetProvider& provider, long xi_lngCode);

} // namespace mallow::net::modWNetCalls
