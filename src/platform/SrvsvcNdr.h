#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace mallow::platform::srvsvc {

/// Operation numbers of the server service that the session and connection calls use.
inline constexpr std::uint32_t OpNetrConnectionEnum = 8;
inline constexpr std::uint32_t OpNetrSessionEnum = 12;
inline constexpr std::uint32_t OpNetrSessionDel = 13;

/// A reply that cannot be what the server service sends: too short, with counts that do not
/// agree or lengths beyond the data. Decoding stops there; nothing past the data is read.
class NdrError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// One session of NetrSessionEnum at any level; fields a level does not carry stay empty or 0.
struct SessionEntry
{
    std::u16string client;
    std::u16string user;
    std::uint32_t numOpens = 0;
    std::uint32_t time = 0;
    std::uint32_t idleTime = 0;
    std::uint32_t userFlags = 0;
    std::u16string clientType;
    std::u16string transport;
    bool operator==(const SessionEntry&) const = default;
};

/// One connection of NetrConnectionEnum (levels 0 and 1).
struct ConnectionEntry
{
    std::uint32_t id = 0;
    std::uint32_t type = 0;
    std::uint32_t numOpens = 0;
    std::uint32_t numUsers = 0;
    std::uint32_t time = 0;
    std::u16string user;
    std::u16string netName;
    bool operator==(const ConnectionEntry&) const = default;
};

template <class Entry> struct EnumReply
{
    std::uint32_t status = 0;
    std::uint32_t level = 0;
    std::vector<Entry> entries;
    std::uint32_t totalEntries = 0;
    std::optional<std::uint32_t> resumeHandle;
};

using SessionEnumReply = EnumReply<SessionEntry>;
using ConnectionEnumReply = EnumReply<ConnectionEntry>;

/// Levels of NetrSessionEnum that the codec knows: 0, 1, 2, 10 and 502.
bool IsSessionLevel(std::uint32_t level);
/// Levels of NetrConnectionEnum that the codec knows: 0 and 1.
bool IsConnectionLevel(std::uint32_t level);

/// Request of NetrSessionEnum. A null client or user is sent as a null pointer.
std::vector<std::uint8_t> EncodeSessionEnumRequest(const std::u16string& server,
                                                   const std::u16string* client,
                                                   const std::u16string* user, std::uint32_t level,
                                                   std::uint32_t maxBuffer,
                                                   std::uint32_t resumeHandle);
/// Reply of NetrSessionEnum. A reply whose status is not 0 is returned with that status and no
/// entries. Throws NdrError for a malformed reply, or one at another level than requested.
SessionEnumReply DecodeSessionEnumReply(std::span<const std::uint8_t> reply,
                                        std::uint32_t requestedLevel);
/// Builds a reply as the server sends it (used to test the decoder against its counterpart).
std::vector<std::uint8_t> EncodeSessionEnumReply(const SessionEnumReply& reply);

std::vector<std::uint8_t> EncodeSessionDelRequest(const std::u16string& server,
                                                  const std::u16string* client,
                                                  const std::u16string* user);
/// The status of a NetrSessionDel reply.
std::uint32_t DecodeSessionDelReply(std::span<const std::uint8_t> reply);

std::vector<std::uint8_t> EncodeConnectionEnumRequest(const std::u16string& server,
                                                      const std::u16string* qualifier,
                                                      std::uint32_t level, std::uint32_t maxBuffer,
                                                      std::uint32_t resumeHandle);
ConnectionEnumReply DecodeConnectionEnumReply(std::span<const std::uint8_t> reply,
                                              std::uint32_t requestedLevel);
std::vector<std::uint8_t> EncodeConnectionEnumReply(const ConnectionEnumReply& reply);

} // namespace mallow::platform::srvsvc
