#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace mallow::platform {

// The records of the 9x server library, packed and little endian. Texts in the structures
// below are UTF-8; in a buffer they are ANSI (Windows-1252), either in a fixed field or at a
// 32-bit address (see SvrApi.h). Offsets of every field:
//
// file_info_50, 20 bytes: 0 id (32), 4 permissions (16), 6 locks (16), 8 path, 12 user,
//   16 share.
// session_info_50, 26 bytes: 0 computer, 4 user, 8 key (32), 12 connections (16),
//   14 opens (16), 16 active time (32), 20 idle time (32), 24 protocol (8), 25 padding.
// session_info_1, 28 bytes: 0 computer, 4 user, 8 connections (16), 10 opens (16),
//   12 users (16), 14 padding (16), 16 active time (32), 20 idle time (32), 24 user flags (32);
//   session_info_2, 32 bytes: the same, then 28 client type.
// connection_info_50, 16 bytes: 0 type (16), 2 opens (16), 4 time (32), 8 net name, 12 user.
// server_info_1, 26 bytes: 0 name (16 characters), 16 major (8), 17 minor (8), 18 type (32),
//   22 comment; server_info_50, 42 bytes: the same, then 26 security (16), 28 auditing (16),
//   30 container, 34 address-book server, 38 address-book library.
// share_info_50, 42 bytes: 0 net name (13 characters), 13 type (8), 14 flags (16), 16 remark,
//   20 path, 24 read-write password (9 characters), 33 read-only password (9 characters).
// share_info_1, 20 bytes: 0 net name (13 characters), 13 padding, 14 type (16), 16 remark.

inline constexpr std::size_t FILE_INFO_50_SIZE = 20;
inline constexpr std::size_t SESSION_INFO_50_SIZE = 26;
inline constexpr std::size_t SESSION_INFO_1_SIZE = 28;
inline constexpr std::size_t SESSION_INFO_2_SIZE = 32;
inline constexpr std::size_t CONNECTION_INFO_50_SIZE = 16;
inline constexpr std::size_t SERVER_INFO_1_SIZE = 26;
inline constexpr std::size_t SERVER_INFO_50_SIZE = 42;
inline constexpr std::size_t SHARE_INFO_50_SIZE = 42;
inline constexpr std::size_t SHARE_INFO_1_SIZE = 20;

/// Longest net name of a share (its field holds 13 characters with the NUL).
inline constexpr std::size_t LM20_NNLEN = 12;
/// Longest share password (its field holds 9 characters with the NUL).
inline constexpr std::size_t SHPWLEN = 8;

/// Access flags of share_info_50.
inline constexpr std::uint16_t SHI50F_RDONLY = 0x0001;
inline constexpr std::uint16_t SHI50F_FULL = 0x0002;
inline constexpr std::uint16_t SHI50F_PERSIST = 0x0100;

struct file_info_50
{
    std::uint32_t fi50_id = 0;
    std::uint16_t fi50_permissions = 0;
    std::uint16_t fi50_num_locks = 0;
    std::string fi50_pathname;
    std::string fi50_username;
    std::string fi50_sharename;
};

struct session_info_50
{
    std::string sesi50_cname;
    std::string sesi50_username;
    std::uint32_t sesi50_key = 0;
    std::uint16_t sesi50_num_conns = 0;
    std::uint16_t sesi50_num_opens = 0;
    std::uint32_t sesi50_time = 0;
    std::uint32_t sesi50_idle_time = 0;
    std::uint8_t sesi50_protocol = 0;
};

/// Levels 1 and 2 of a session; level 1 lacks the client type.
struct session_info_2
{
    std::string sesi2_cname;
    std::string sesi2_username;
    std::uint16_t sesi2_num_conns = 0;
    std::uint16_t sesi2_num_opens = 0;
    std::uint16_t sesi2_num_users = 0;
    std::uint32_t sesi2_time = 0;
    std::uint32_t sesi2_idle_time = 0;
    std::uint32_t sesi2_user_flags = 0;
    std::string sesi2_cltype_name;
};

struct connection_info_50
{
    std::uint16_t coni50_type = 0;
    std::uint16_t coni50_num_opens = 0;
    std::uint32_t coni50_time = 0;
    std::string coni50_netname;
    std::string coni50_username;
};

/// Levels 50 and 1 of a server; level 1 stops after the comment.
struct server_info_50
{
    std::string sv50_name;
    std::uint8_t sv50_version_major = 0;
    std::uint8_t sv50_version_minor = 0;
    std::uint32_t sv50_type = 0;
    std::string sv50_comment;
    std::uint16_t sv50_security = 0;
    std::uint16_t sv50_auditing = 0;
    std::string sv50_container;
    std::string sv50_ab_server;
    std::string sv50_ab_dll;
};

struct share_info_50
{
    std::string shi50_netname;
    std::uint8_t shi50_type = 0;
    std::uint16_t shi50_flags = 0;
    std::string shi50_remark;
    std::string shi50_path;
    std::string shi50_rw_password;
    std::string shi50_ro_password;
};

struct share_info_1
{
    std::string shi1_netname;
    std::uint16_t shi1_type = 0;
    std::string shi1_remark;
};

/// UTF-8 as Windows-1252; a character that code page lacks becomes "?".
std::string ToAnsi(std::string_view utf8);
/// Windows-1252 as UTF-8.
std::string FromAnsi(std::string_view ansi);

/// A record, or a text it points to, that does not lie wholly inside its buffer.
class SvrRecordError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Lays records out in a buffer: records one after the other from the start, their strings
/// from the end of the usable bytes downwards, as the server library does.
class SvrBufferWriter
{
public:
    /// Writes into the first `limit` bytes of `buffer` (all of it when `limit` is larger).
    SvrBufferWriter(std::span<std::uint8_t> buffer, std::size_t limit);

    class Record
    {
    public:
        void U8(std::size_t offset, std::uint8_t value);
        void U16(std::size_t offset, std::uint16_t value);
        void U32(std::size_t offset, std::uint32_t value);
        /// An ANSI text at an address stored in the 32-bit field at `offset`.
        void Text(std::size_t offset, std::string_view ansi);
        /// An ANSI text in a fixed field of `size` characters, cut to leave room for its NUL.
        void Fixed(std::size_t offset, std::size_t size, std::string_view ansi);

    private:
        friend class SvrBufferWriter;
        Record(SvrBufferWriter& writer, std::size_t start, std::size_t size)
            : writer(writer), start(start), size(size)
        {
        }
        SvrBufferWriter& writer;
        std::size_t start;
        std::size_t size;
    };

    /// Room for a record of `size` bytes and the given ANSI strings (each with its NUL), or
    /// none when they do not fit. Needed() then tells how many bytes they take together.
    std::optional<Record> Begin(std::size_t size, std::initializer_list<std::string_view> strings);
    std::size_t Needed() const { return needed; }
    std::size_t RecordsWritten() const { return records; }

private:
    std::span<std::uint8_t> bytes;
    std::size_t recordEnd = 0;
    std::size_t stringStart = 0;
    std::size_t needed = 0;
    std::size_t records = 0;
};

// Records written into a buffer; false (nothing written) when the record does not fit.
bool WriteFileInfo50(SvrBufferWriter& writer, const file_info_50& record);
bool WriteSessionInfo50(SvrBufferWriter& writer, const session_info_50& record);
/// Level 1 or 2.
bool WriteSessionInfo(SvrBufferWriter& writer, int level, const session_info_2& record);
bool WriteConnectionInfo50(SvrBufferWriter& writer, const connection_info_50& record);
/// Level 50 or 1.
bool WriteServerInfo(SvrBufferWriter& writer, int level, const server_info_50& record);
bool WriteShareInfo50(SvrBufferWriter& writer, const share_info_50& record);
bool WriteShareInfo1(SvrBufferWriter& writer, const share_info_1& record);

// Record `index` of a buffer (records follow one another at the size of their level). Each
// throws SvrRecordError when the record or one of its texts lies outside `buffer`, or a text
// has no NUL before the buffer ends.
file_info_50 ReadFileInfo50(std::span<const std::uint8_t> buffer, std::size_t index);
session_info_50 ReadSessionInfo50(std::span<const std::uint8_t> buffer, std::size_t index);
session_info_2 ReadSessionInfo(std::span<const std::uint8_t> buffer, int level, std::size_t index);
connection_info_50 ReadConnectionInfo50(std::span<const std::uint8_t> buffer, std::size_t index);
server_info_50 ReadServerInfo(std::span<const std::uint8_t> buffer, int level);
share_info_50 ReadShareInfo50(std::span<const std::uint8_t> buffer, std::size_t index);
share_info_1 ReadShareInfo1(std::span<const std::uint8_t> buffer, std::size_t index);

} // namespace mallow::platform
