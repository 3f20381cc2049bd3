#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mallow::platform {

using DWORD = std::uint32_t;
/// A window handle as the provider calls receive it: a 32-bit value, passed through unchanged.
using HWND = std::uint32_t;
using HANDLE = void*;

inline constexpr DWORD NO_ERROR = 0;
inline constexpr DWORD ERROR_BAD_DEVICE = 1200;
inline constexpr DWORD ERROR_NO_NETWORK = 1222;
inline constexpr DWORD ERROR_CANCELLED = 1223;
inline constexpr DWORD ERROR_EXTENDED_ERROR = 1208;
inline constexpr DWORD ERROR_NOT_AUTHENTICATED = 1244;
inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
inline constexpr DWORD ERROR_NOT_CONNECTED = 2250;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_BAD_NET_NAME = 67;
inline constexpr DWORD ERROR_BAD_PROVIDER = 1204;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_CONTAINER = 1207;
inline constexpr DWORD ERROR_DEVICE_IN_USE = 2404;
inline constexpr DWORD WN_CANCELLED = 0xFFFFFFFF;

inline constexpr DWORD RESOURCE_GLOBALNET = 2;
inline constexpr DWORD RESOURCETYPE_ANY = 0;
inline constexpr DWORD RESOURCETYPE_DISK = 1;
inline constexpr DWORD RESOURCETYPE_PRINT = 2;
inline constexpr DWORD RESOURCEDISPLAYTYPE_GENERIC = 0;
inline constexpr DWORD RESOURCEDISPLAYTYPE_DOMAIN = 1;
inline constexpr DWORD RESOURCEDISPLAYTYPE_SERVER = 2;
inline constexpr DWORD RESOURCEDISPLAYTYPE_SHARE = 3;
inline constexpr DWORD RESOURCEUSAGE_CONNECTABLE = 1;
inline constexpr DWORD RESOURCEUSAGE_CONTAINER = 2;
inline constexpr DWORD CONNECT_UPDATE_PROFILE = 1;
inline constexpr DWORD CONNECT_INTERACTIVE = 8;
inline constexpr DWORD CONNECT_REDIRECT = 128;
inline constexpr DWORD CONNECT_LOCALDRIVE = 256;
inline constexpr DWORD WNNC_NET_LANMAN = 0x00020000;
inline constexpr DWORD UNIVERSAL_NAME_INFO_LEVEL = 1;
inline constexpr DWORD REMOTE_NAME_INFO_LEVEL = 2;

/// A network resource. The texts point into the buffer that holds the record, or are null.
struct NETRESOURCEA
{
    DWORD dwScope = 0;
    DWORD dwType = 0;
    DWORD dwDisplayType = 0;
    DWORD dwUsage = 0;
    char* lpLocalName = nullptr;
    char* lpRemoteName = nullptr;
    char* lpComment = nullptr;
    char* lpProvider = nullptr;
};

struct CONNECTDLGSTRUCTA
{
    DWORD cbStructure = 20;
    HWND hwndOwner = 0;
    NETRESOURCEA* lpConnRes = nullptr;
    DWORD dwFlags = 0;
    DWORD dwDevNum = 0;
};

struct DISCDLGSTRUCTA
{
    DWORD cbStructure = 20;
    HWND hwndOwner = 0;
    char* lpLocalName = nullptr;
    char* lpRemoteName = nullptr;
    DWORD dwFlags = 0;
};

struct NETINFOSTRUCT
{
    DWORD cbStructure = 32;
    DWORD dwProviderVersion = 0;
    DWORD dwStatus = 0;
    DWORD dwCharacteristics = 0;
    std::uintptr_t dwHandle = 0;
    std::uint16_t wNetType = 0;
    DWORD dwPrinters = 0;
    DWORD dwDrives = 0;
};

struct UNIVERSAL_NAME_INFOA
{
    char* lpUniversalName;
};

struct REMOTE_NAME_INFOA
{
    char* lpUniversalName;
    char* lpConnectionName;
    char* lpRemainingPath;
};

/// The network provider interface: connections, their names, the connect and disconnect
/// dialogs and the enumeration of the network. Buffers are the caller's; a call that needs
/// more room answers 234 with the size it needs.
class NetProvider
{
public:
    virtual ~NetProvider() = default;

    virtual DWORD WNetAddConnection2A(const NETRESOURCEA* resource, const char* password,
                                      const char* userName, DWORD flags) = 0;
    virtual DWORD WNetAddConnection3A(HWND owner, const NETRESOURCEA* resource,
                                      const char* password, const char* userName, DWORD flags) = 0;
    virtual DWORD WNetCancelConnectionA(const char* name, bool force) = 0;
    virtual DWORD WNetCancelConnection2A(const char* name, DWORD flags, bool force) = 0;
    virtual DWORD WNetConnectionDialog(HWND owner, DWORD type) = 0;
    virtual DWORD WNetDisconnectDialog(HWND owner, DWORD type) = 0;
    virtual DWORD WNetConnectionDialog1A(CONNECTDLGSTRUCTA* dialog) = 0;
    virtual DWORD WNetDisconnectDialog1A(DISCDLGSTRUCTA* dialog) = 0;
    virtual DWORD WNetGetUniversalNameA(const char* localPath, DWORD infoLevel, void* buffer,
                                        DWORD* bufferSize) = 0;
    virtual DWORD WNetGetUserA(const char* name, char* userName, DWORD* length) = 0;
    virtual DWORD WNetGetConnectionA(const char* localName, char* remoteName, DWORD* length) = 0;
    virtual DWORD WNetOpenEnumA(DWORD scope, DWORD type, DWORD usage, const NETRESOURCEA* resource,
                                HANDLE* handle) = 0;
    virtual DWORD WNetEnumResourceA(HANDLE handle, DWORD* count, void* buffer,
                                    DWORD* bufferSize) = 0;
    virtual DWORD WNetCloseEnum(HANDLE handle) = 0;
    virtual DWORD WNetGetProviderNameA(DWORD netType, char* providerName, DWORD* bufferSize) = 0;
    virtual DWORD WNetGetNetworkInformationA(const char* provider, NETINFOSTRUCT* info) = 0;
    virtual DWORD WNetGetResourceInformationA(const NETRESOURCEA* resource, void* buffer,
                                              DWORD* bufferSize, char** system) = 0;
    virtual DWORD WNetGetResourceParentA(const NETRESOURCEA* resource, void* buffer,
                                         DWORD* bufferSize) = 0;
    virtual DWORD WNetUseConnectionA(HWND owner, const NETRESOURCEA* resource, const char* password,
                                     const char* userId, DWORD flags, char* accessName,
                                     DWORD* bufferSize, DWORD* result) = 0;
    virtual DWORD WNetGetLastErrorA(DWORD* error, char* errorBuffer, DWORD errorSize,
                                    char* nameBuffer, DWORD nameSize) = 0;
};

/// What the user chose in a connect dialog.
struct ConnectChoice
{
    std::string remoteName;
    std::string localName;
    std::string userName;
    std::string password;
};

/// One connection the disconnect dialog offers.
struct ConnectionEntry
{
    std::string localName;
    std::string remoteName;
};

/// The connect and disconnect dialogs; nothing means the user cancelled.
class ConnectionDialogs
{
public:
    virtual ~ConnectionDialogs() = default;
    virtual std::optional<ConnectChoice> AskConnect(HWND owner, const std::string& remoteName) = 0;
    virtual std::optional<std::string>
    AskDisconnect(HWND owner, const std::vector<ConnectionEntry>& connections) = 0;
};

} // namespace mallow::platform
