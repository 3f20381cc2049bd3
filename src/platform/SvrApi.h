#pragma once

#include "platform/NetApi.h"

#include <cstdint>
#include <span>

namespace mallow::platform {

inline constexpr NET_API_STATUS NERR_ServerNotStarted = 2114;
inline constexpr NET_API_STATUS NERR_UnknownDevDir = 2116;
inline constexpr NET_API_STATUS NERR_DuplicateShare = 2118;
inline constexpr NET_API_STATUS NERR_BufTooSmall = 2123;
inline constexpr NET_API_STATUS NERR_RemoteErr = 2127;
inline constexpr NET_API_STATUS NERR_NetNameNotFound = 2310;
inline constexpr NET_API_STATUS NERR_FileIdNotFound = 2314;
inline constexpr NET_API_STATUS NERR_InvalidComputer = 2351;

/// The LAN Manager server library of the 9x family: ANSI texts, buffers that the caller owns
/// and hands in with a 16-bit byte count, 16-bit entry counts, record levels 50 and 1 (and 2
/// for a session). Server names are "\\\\name", or "" for this machine.
///
/// A buffer is passed as the bytes the caller owns (`pbBuffer`) together with the count the
/// library may use (`cbBuffer`, never more than the bytes owned). Records are packed, little
/// endian, at the sizes of SvrApiRecords.h. Texts inside a record are 32-bit addresses, as on
/// the 9x family; here an address is the offset of the NUL-terminated ANSI string from the
/// start of the same buffer, and 0 is the null address.
class SvrApi
{
public:
    virtual ~SvrApi() = default;

    virtual NET_API_STATUS NetFileEnum(const char* pszServer, const char* pszBasePath,
                                       std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                       std::uint16_t cbBuffer, std::uint16_t* pcEntriesRead,
                                       std::uint16_t* pcTotalAvail) = 0;
    virtual NET_API_STATUS NetFileClose2(const char* pszServer, std::uint32_t ulFileId) = 0;
    virtual NET_API_STATUS NetSessionEnum(const char* pszServer, std::int16_t sLevel,
                                          std::span<std::uint8_t> pbBuffer, std::uint16_t cbBuffer,
                                          std::uint16_t* pcEntriesRead,
                                          std::uint16_t* pcTotalAvail) = 0;
    /// The session of one client computer ("\\\\name").
    virtual NET_API_STATUS NetSessionGetInfo(const char* pszServer, const char* pszClientName,
                                             std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                             std::uint16_t cbBuffer,
                                             std::uint16_t* pcbTotalAvail) = 0;
    virtual NET_API_STATUS NetSessionDel(const char* pszServer, const char* pszClientName,
                                         std::int16_t sReserved) = 0;
    /// Connections to a share (qualifier: its name) or of a client ("\\\\name").
    virtual NET_API_STATUS NetConnectionEnum(const char* pszServer, const char* pszQualifier,
                                             std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                             std::uint16_t cbBuffer, std::uint16_t* pcEntriesRead,
                                             std::uint16_t* pcTotalAvail) = 0;
    virtual NET_API_STATUS NetServerGetInfo(const char* pszServer, std::int16_t sLevel,
                                            std::span<std::uint8_t> pbBuffer,
                                            std::uint16_t cbBuffer,
                                            std::uint16_t* pcbTotalAvail) = 0;
    virtual NET_API_STATUS NetShareEnum(const char* pszServer, std::int16_t sLevel,
                                        std::span<std::uint8_t> pbBuffer, std::uint16_t cbBuffer,
                                        std::uint16_t* pcEntriesRead,
                                        std::uint16_t* pcTotalAvail) = 0;
    virtual NET_API_STATUS NetShareGetInfo(const char* pszServer, const char* pszNetName,
                                           std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                           std::uint16_t cbBuffer,
                                           std::uint16_t* pcbTotalAvail) = 0;
    virtual NET_API_STATUS NetShareAdd(const char* pszServer, std::int16_t sLevel,
                                       std::span<const std::uint8_t> pbBuffer,
                                       std::uint16_t cbBuffer) = 0;
    virtual NET_API_STATUS NetShareDel(const char* pszServer, const char* pszNetName,
                                       std::uint16_t usReserved) = 0;
    /// `sParmNum` 0 sets every field the level carries.
    virtual NET_API_STATUS NetShareSetInfo(const char* pszServer, const char* pszNetName,
                                           std::int16_t sLevel,
                                           std::span<const std::uint8_t> pbBuffer,
                                           std::uint16_t cbBuffer, std::int16_t sParmNum) = 0;
};

} // namespace mallow::platform
