#pragma once

#include "platform/NetApi.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace mallow::platform {

inline constexpr NET_API_STATUS ERROR_GEN_FAILURE = 31;
inline constexpr NET_API_STATUS ERROR_UNEXP_NET_ERR = 59;
inline constexpr NET_API_STATUS ERROR_NETNAME_DELETED = 64;
inline constexpr NET_API_STATUS ERROR_SEM_TIMEOUT = 121;
inline constexpr NET_API_STATUS ERROR_CAN_NOT_COMPLETE = 1003;
inline constexpr NET_API_STATUS ERROR_LOGON_FAILURE = 1326;
inline constexpr NET_API_STATUS RPC_S_SERVER_UNAVAILABLE = 1722;
inline constexpr NET_API_STATUS NERR_DestNotFound = 2152;
inline constexpr NET_API_STATUS ERROR_NO_BROWSER_SERVERS_FOUND = 6118;

/// The code a Windows client gets for an NT status, or `fallback` for a status it has none for.
NET_API_STATUS CodeOfNtStatus(std::uint32_t status, NET_API_STATUS fallback);

/// The same for a status by the name Samba prints ("NT_STATUS_LOGON_FAILURE").
std::optional<NET_API_STATUS> CodeOfNtStatusName(std::string_view name);

/// Why the server library could not connect to a server, from what it printed meanwhile: the
/// code of the failed logon or tree connection, 53 for a server that could not be reached or
/// whose name did not resolve; nothing when the text tells no reason.
std::optional<NET_API_STATUS> ConnectionFailureCode(std::string_view printed);

/// Every result code that Mallow's network services produce themselves (Samba's server
/// library, the server-service requests, the network provider), for the message tables to
/// hold a text for each.
std::span<const NET_API_STATUS> OwnResultCodes();

} // namespace mallow::platform
