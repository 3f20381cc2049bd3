#pragma once

#include "platform/NetApi.h"

#include <optional>
#include <string>

namespace mallow::platform {

/// Who the server calls authenticate as. Empty: Samba's client configuration decides (a
/// Kerberos ticket, the USER and PASSWD or PASSWD_FILE variables, or Mallow's credentials
/// file; see docs/network.md).
struct NetCredentials
{
    std::string user;
    std::string password;
    std::string domain;
    bool operator==(const NetCredentials&) const = default;
};

/// Mallow's credentials file: $MALLOW_SMB_CREDENTIALS, else the file systemd hands a service
/// ($CREDENTIALS_DIRECTORY/smb-credentials) when there is one, else
/// $XDG_CONFIG_HOME/mallow/smb-credentials or ~/.config/mallow/smb-credentials.
std::string CredentialsFilePath();
/// The credentials of that file, in smbclient's authentication-file format ("username = ...",
/// "password = ...", "domain = ..."), or nothing when there is none. A file that is a link, is
/// not the user's own, or may be read or written by group or others is not used: the program
/// says so once, on standard error and in the debug log, naming the file and "chmod 600 FILE".
std::optional<NetCredentials> ReadCredentialsFile();

/// The NT server library over Samba: libnetapi for the file, share, server and workstation
/// calls, and the server service's session and connection requests marshalled by Mallow and
/// sent over libnetapi's connection. Every call ends within the timeout, from the probe that
/// checks that a server answers SMB at all (an unreachable server gives 53) to the answer (a
/// server service that does not answer in time gives 121), rather than after the library's
/// own, much longer waits. A failed connection gives the code a Windows client gets.
class SambaNetApi : public NetApi
{
public:
    struct Options
    {
        /// Bound of each call in milliseconds, the probe, the connection and the pipe open
        /// included.
        unsigned timeoutMs = 5000;
        /// Used instead of the client configuration's credentials when not empty.
        NetCredentials credentials;
    };

    SambaNetApi();
    explicit SambaNetApi(Options options);

    NET_API_STATUS NetFileEnum(const char16_t* servername, const char16_t* basepath,
                               const char16_t* username, std::uint32_t level, std::uint8_t** bufptr,
                               std::uint32_t prefmaxlen, std::uint32_t* entriesread,
                               std::uint32_t* totalentries, std::uint32_t* resume_handle) override;
    NET_API_STATUS NetFileClose(const char16_t* servername, std::uint32_t fileid) override;
    NET_API_STATUS NetSessionEnum(const char16_t* servername, const char16_t* UncClientName,
                                  const char16_t* username, std::uint32_t level,
                                  std::uint8_t** bufptr, std::uint32_t prefmaxlen,
                                  std::uint32_t* entriesread, std::uint32_t* totalentries,
                                  std::uint32_t* resume_handle) override;
    NET_API_STATUS NetSessionGetInfo(const char16_t* servername, const char16_t* UncClientName,
                                     const char16_t* username, std::uint32_t level,
                                     std::uint8_t** bufptr) override;
    NET_API_STATUS NetSessionDel(const char16_t* servername, const char16_t* UncClientName,
                                 const char16_t* username) override;
    NET_API_STATUS NetConnectionEnum(const char16_t* servername, const char16_t* qualifier,
                                     std::uint32_t level, std::uint8_t** bufptr,
                                     std::uint32_t prefmaxlen, std::uint32_t* entriesread,
                                     std::uint32_t* totalentries,
                                     std::uint32_t* resume_handle) override;
    NET_API_STATUS NetServerGetInfo(const char16_t* servername, std::uint32_t level,
                                    std::uint8_t** bufptr) override;
    NET_API_STATUS NetWkstaGetInfo(const char16_t* servername, std::uint32_t level,
                                   std::uint8_t** bufptr) override;
    NET_API_STATUS NetShareEnum(const char16_t* servername, std::uint32_t level,
                                std::uint8_t** bufptr, std::uint32_t prefmaxlen,
                                std::uint32_t* entriesread, std::uint32_t* totalentries,
                                std::uint32_t* resume_handle) override;
    NET_API_STATUS NetShareGetInfo(const char16_t* servername, const char16_t* netname,
                                   std::uint32_t level, std::uint8_t** bufptr) override;
    NET_API_STATUS NetShareAdd(const char16_t* servername, std::uint32_t level,
                               const std::uint8_t* buf, std::uint32_t* parm_err) override;
    NET_API_STATUS NetShareDel(const char16_t* servername, const char16_t* netname,
                               std::uint32_t reserved) override;
    NET_API_STATUS NetShareSetInfo(const char16_t* servername, const char16_t* netname,
                                   std::uint32_t level, const std::uint8_t* buf,
                                   std::uint32_t* parm_err) override;
    NET_API_STATUS NetApiBufferFree(void* buffer) override;

private:
    Options options;
};

/// Whether an SMB server at `host` answers a protocol negotiation within `timeoutMs`:
/// true or false, or nothing when the name does not resolve through the system resolver
/// (Samba may still find it by NetBIOS).
std::optional<bool> SmbServerAnswers(const std::string& host, unsigned timeoutMs);

} // namespace mallow::platform
