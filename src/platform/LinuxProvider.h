#pragma once

#include "platform/Mpr.h"
#include "platform/SambaNetApi.h"

#include <string>

namespace mallow::platform {

/// The network provider on this machine: connections are the shares in the mount table
/// (cifs/smb3 mounts and FUSE mounts of the whole network), a connection to a local name
/// mounts the share with mount.cifs where the machine has it, a connection without one checks
/// the share and credentials through libsmbclient, and the network is enumerated through
/// libsmbclient (workgroups, servers, shares).
class LinuxProvider : public NetProvider
{
public:
    struct Options
    {
        unsigned timeoutMs = 5000;
        NetCredentials credentials;
        ConnectionDialogs* dialogs = nullptr;
        /// Servers walked at the top of the network where no browse master lists its
        /// workgroups, with those named in MALLOW_SMB_SERVERS and those whose shares are
        /// mounted here.
        std::vector<std::string> servers;
    };

    LinuxProvider();
    explicit LinuxProvider(Options options);
    ~LinuxProvider() override;

    DWORD WNetAddConnection2A(const NETRESOURCEA* resource, const char* password,
                              const char* userName, DWORD flags) override;
    DWORD WNetAddConnection3A(HWND owner, const NETRESOURCEA* resource, const char* password,
                              const char* userName, DWORD flags) override;
    DWORD WNetCancelConnectionA(const char* name, bool force) override;
    DWORD WNetCancelConnection2A(const char* name, DWORD flags, bool force) override;
    DWORD WNetConnectionDialog(HWND owner, DWORD type) override;
    DWORD WNetDisconnectDialog(HWND owner, DWORD type) override;
    DWORD WNetConnectionDialog1A(CONNECTDLGSTRUCTA* dialog) override;
    DWORD WNetDisconnectDialog1A(DISCDLGSTRUCTA* dialog) override;
    DWORD WNetGetUniversalNameA(const char* localPath, DWORD infoLevel, void* buffer,
                                DWORD* bufferSize) override;
    DWORD WNetGetUserA(const char* name, char* userName, DWORD* length) override;
    DWORD WNetGetConnectionA(const char* localName, char* remoteName, DWORD* length) override;
    DWORD WNetOpenEnumA(DWORD scope, DWORD type, DWORD usage, const NETRESOURCEA* resource,
                        HANDLE* handle) override;
    DWORD WNetEnumResourceA(HANDLE handle, DWORD* count, void* buffer, DWORD* bufferSize) override;
    DWORD WNetCloseEnum(HANDLE handle) override;
    DWORD WNetGetProviderNameA(DWORD netType, char* providerName, DWORD* bufferSize) override;
    DWORD WNetGetNetworkInformationA(const char* provider, NETINFOSTRUCT* info) override;
    DWORD WNetGetResourceInformationA(const NETRESOURCEA* resource, void* buffer, DWORD* bufferSize,
                                      char** system) override;
    DWORD WNetGetResourceParentA(const NETRESOURCEA* resource, void* buffer,
                                 DWORD* bufferSize) override;
    DWORD WNetUseConnectionA(HWND owner, const NETRESOURCEA* resource, const char* password,
                             const char* userId, DWORD flags, char* accessName, DWORD* bufferSize,
                             DWORD* result) override;
    DWORD WNetGetLastErrorA(DWORD* error, char* errorBuffer, DWORD errorSize, char* nameBuffer,
                            DWORD nameSize) override;

    /// The provider's name for the SMB network.
    static const char* ProviderName();

private:
    DWORD Connect(const std::string& remote, const std::string& local, const char* password,
                  const char* user);
    DWORD Fail(DWORD code, const std::string& text);

    Options options;
    DWORD lastError = 0;
    std::string lastErrorText;
};

/// The contents of a file named by a UNC path (\\server\share\...), at most `maxBytes` of
/// them, read over SMB with the given credentials (none: Mallow's usual ones); raises the
/// runtime's file errors.
std::string ReadShareFile(const std::string& unc, const NetCredentials& credentials = {},
                          unsigned timeoutMs = 5000,
                          std::size_t maxBytes = static_cast<std::size_t>(-1));

} // namespace mallow::platform
