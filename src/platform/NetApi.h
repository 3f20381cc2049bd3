#pragma once

#include <cstdint>
#include <memory>

namespace mallow::platform {

/// Result code of a server-library call: 0 for success, otherwise a system or LAN Manager code.
using NET_API_STATUS = std::uint32_t;

inline constexpr NET_API_STATUS NERR_Success = 0;
inline constexpr NET_API_STATUS ERROR_ACCESS_DENIED = 5;
inline constexpr NET_API_STATUS ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr NET_API_STATUS ERROR_BAD_NETPATH = 53;
inline constexpr NET_API_STATUS ERROR_INVALID_PARAMETER = 87;
inline constexpr NET_API_STATUS ERROR_INVALID_LEVEL = 124;
inline constexpr NET_API_STATUS ERROR_MORE_DATA = 234;
inline constexpr NET_API_STATUS RPC_S_CALL_FAILED = 1726;
inline constexpr NET_API_STATUS NERR_ClientNameNotFound = 2312;
inline constexpr std::uint32_t MAX_PREFERRED_LENGTH = 0xFFFFFFFF;
inline constexpr std::uint32_t PLATFORM_ID_NT = 500;

// Records as the server library hands them out. Every text is a pointer to a NUL-terminated
// UTF-16 string inside the same buffer; every number is a 32-bit unsigned value.

struct FILE_INFO_3
{
    std::uint32_t fi3_id;
    std::uint32_t fi3_permissions;
    std::uint32_t fi3_num_locks;
    char16_t* fi3_pathname;
    char16_t* fi3_username;
};

struct SESSION_INFO_502
{
    char16_t* sesi502_cname;
    char16_t* sesi502_username;
    std::uint32_t sesi502_num_opens;
    std::uint32_t sesi502_time;
    std::uint32_t sesi502_idle_time;
    std::uint32_t sesi502_user_flags;
    char16_t* sesi502_cltype_name;
    char16_t* sesi502_transport;
};

struct SESSION_INFO_2
{
    char16_t* sesi2_cname;
    char16_t* sesi2_username;
    std::uint32_t sesi2_num_opens;
    std::uint32_t sesi2_time;
    std::uint32_t sesi2_idle_time;
    std::uint32_t sesi2_user_flags;
    char16_t* sesi2_cltype_name;
};

struct CONNECTION_INFO_1
{
    std::uint32_t coni1_id;
    std::uint32_t coni1_type;
    std::uint32_t coni1_num_opens;
    std::uint32_t coni1_num_users;
    std::uint32_t coni1_time;
    char16_t* coni1_username;
    char16_t* coni1_netname;
};

struct SHARE_INFO_1
{
    char16_t* shi1_netname;
    std::uint32_t shi1_type;
    char16_t* shi1_remark;
};

struct SHARE_INFO_2
{
    char16_t* shi2_netname;
    std::uint32_t shi2_type;
    char16_t* shi2_remark;
    std::uint32_t shi2_permissions;
    std::uint32_t shi2_max_uses;
    std::uint32_t shi2_current_uses;
    char16_t* shi2_path;
    char16_t* shi2_passwd;
};

struct SERVER_INFO_101
{
    std::uint32_t sv101_platform_id;
    char16_t* sv101_name;
    std::uint32_t sv101_version_major;
    std::uint32_t sv101_version_minor;
    std::uint32_t sv101_type;
    char16_t* sv101_comment;
};

struct WKSTA_INFO_102
{
    std::uint32_t wki102_platform_id;
    char16_t* wki102_computername;
    char16_t* wki102_langroup;
    std::uint32_t wki102_ver_major;
    std::uint32_t wki102_ver_minor;
    char16_t* wki102_lanroot;
    std::uint32_t wki102_logged_on_users;
};

/// The LAN Manager server library of the NT family: the calls, arguments, levels and records
/// that the NT server calls use. Buffers handed out through `bufptr` belong to the caller, who
/// releases them with NetApiBufferFree of the same object. Server names are passed as given
/// ("\\\\name" or empty for this machine); text arguments are NUL-terminated UTF-16.
class NetApi
{
public:
    virtual ~NetApi() = default;

    virtual NET_API_STATUS NetFileEnum(const char16_t* servername, const char16_t* basepath,
                                       const char16_t* username, std::uint32_t level,
                                       std::uint8_t** bufptr, std::uint32_t prefmaxlen,
                                       std::uint32_t* entriesread, std::uint32_t* totalentries,
                                       std::uint32_t* resume_handle) = 0;
    virtual NET_API_STATUS NetFileClose(const char16_t* servername, std::uint32_t fileid) = 0;
    virtual NET_API_STATUS NetSessionEnum(const char16_t* servername, const char16_t* UncClientName,
                                          const char16_t* username, std::uint32_t level,
                                          std::uint8_t** bufptr, std::uint32_t prefmaxlen,
                                          std::uint32_t* entriesread, std::uint32_t* totalentries,
                                          std::uint32_t* resume_handle) = 0;
    virtual NET_API_STATUS NetSessionGetInfo(const char16_t* servername,
                                             const char16_t* UncClientName,
                                             const char16_t* username, std::uint32_t level,
                                             std::uint8_t** bufptr) = 0;
    virtual NET_API_STATUS NetSessionDel(const char16_t* servername, const char16_t* UncClientName,
                                         const char16_t* username) = 0;
    virtual NET_API_STATUS NetConnectionEnum(const char16_t* servername, const char16_t* qualifier,
                                             std::uint32_t level, std::uint8_t** bufptr,
                                             std::uint32_t prefmaxlen, std::uint32_t* entriesread,
                                             std::uint32_t* totalentries,
                                             std::uint32_t* resume_handle) = 0;
    virtual NET_API_STATUS NetServerGetInfo(const char16_t* servername, std::uint32_t level,
                                            std::uint8_t** bufptr) = 0;
    virtual NET_API_STATUS NetWkstaGetInfo(const char16_t* servername, std::uint32_t level,
                                           std::uint8_t** bufptr) = 0;
    virtual NET_API_STATUS NetShareEnum(const char16_t* servername, std::uint32_t level,
                                        std::uint8_t** bufptr, std::uint32_t prefmaxlen,
                                        std::uint32_t* entriesread, std::uint32_t* totalentries,
                                        std::uint32_t* resume_handle) = 0;
    virtual NET_API_STATUS NetShareGetInfo(const char16_t* servername, const char16_t* netname,
                                           std::uint32_t level, std::uint8_t** bufptr) = 0;
    virtual NET_API_STATUS NetShareAdd(const char16_t* servername, std::uint32_t level,
                                       const std::uint8_t* buf, std::uint32_t* parm_err) = 0;
    virtual NET_API_STATUS NetShareDel(const char16_t* servername, const char16_t* netname,
                                       std::uint32_t reserved) = 0;
    virtual NET_API_STATUS NetShareSetInfo(const char16_t* servername, const char16_t* netname,
                                           std::uint32_t level, const std::uint8_t* buf,
                                           std::uint32_t* parm_err) = 0;
    virtual NET_API_STATUS NetApiBufferFree(void* buffer) = 0;
};

/// Owner of a buffer handed out by a NetApi: releases it with the library's own call.
class NetApiBuffer
{
public:
    explicit NetApiBuffer(NetApi& api) : api(api) {}
    ~NetApiBuffer() { Release(); }
    NetApiBuffer(const NetApiBuffer&) = delete;
    NetApiBuffer& operator=(const NetApiBuffer&) = delete;

    std::uint8_t** Out()
    {
        Release();
        return &data;
    }
    std::uint8_t* Get() const { return data; }
    template <class Record> const Record* As() const { return reinterpret_cast<Record*>(data); }
    void Release()
    {
        if (data)
            api.NetApiBufferFree(data);
        data = nullptr;
    }

private:
    NetApi& api;
    std::uint8_t* data = nullptr;
};

} // namespace mallow::platform
