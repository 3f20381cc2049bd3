#include "platform/SvrApiRecords.h"

#include "platform/Utf16.h"

#include <algorithm>
#include <cstring>

namespace mallow::platform {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves undefined stand for the
// code point of the same value, as the platform's conversion does.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char AnsiOf(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<char>(unit);
    const auto* found = std::find(std::begin(Cp1252High), std::end(Cp1252High), unit);
    if (found != std::end(Cp1252High))
        return static_cast<char>(0x80 + (found - std::begin(Cp1252High)));
    return '?';
}

/// Reads the fields of record `index`; every read stays inside the buffer or throws.
class RecordReader
{
public:
    RecordReader(std::span<const std::uint8_t> buffer, std::size_t index, std::size_t size)
        : buffer(buffer), size(size)
    {
        // (index + 1) * size <= buffer size, written so that no product can overflow.
        if (size == 0 || index >= buffer.size() / size)
            throw SvrRecordError("record " + std::to_string(index) + " lies outside the buffer");
        start = index * size;
    }

    std::uint8_t U8(std::size_t offset) const { return Field(offset, 1)[0]; }
    std::uint16_t U16(std::size_t offset) const
    {
        const auto* p = Field(offset, 2);
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    std::uint32_t U32(std::size_t offset) const
    {
        const auto* p = Field(offset, 4);
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
               (std::uint32_t(p[3]) << 24);
    }

    std::string Text(std::size_t offset) const
    {
        const std::uint32_t address = U32(offset);
        if (address == 0)
            return {};
        if (address >= buffer.size())
            throw SvrRecordError("text address outside the buffer");
        const auto* first = buffer.data() + address;
        const auto* nul =
            static_cast<const std::uint8_t*>(std::memchr(first, 0, buffer.size() - address));
        if (!nul)
            throw SvrRecordError("text without its NUL before the buffer ends");
        return FromAnsi(std::string_view(reinterpret_cast<const char*>(first),
                                         static_cast<std::size_t>(nul - first)));
    }

    /// A fixed character field, up to its first NUL (all of it when it has none).
    std::string Fixed(std::size_t offset, std::size_t length) const
    {
        const auto* first = Field(offset, length);
        const auto* end = std::find(first, first + length, std::uint8_t(0));
        return FromAnsi(std::string_view(reinterpret_cast<const char*>(first),
                                         static_cast<std::size_t>(end - first)));
    }

private:
    const std::uint8_t* Field(std::size_t offset, std::size_t width) const
    {
        if (offset + width > size)
            throw SvrRecordError("field outside its record");
        return buffer.data() + start + offset;
    }

    std::span<const std::uint8_t> buffer;
    std::size_t size;
    std::size_t start = 0;
};

} // namespace

std::string ToAnsi(std::string_view utf8)
{
    const std::u16string units = ToUtf16(utf8);
    std::string ansi;
    ansi.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        // A character outside the basic plane is one "?", not two.
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000)
            ++i;
        ansi += AnsiOf(unit);
    }
    return ansi;
}

std::string FromAnsi(std::string_view ansi)
{
    std::u16string units;
    units.reserve(ansi.size());
    for (const char c : ansi) {
        const auto b = static_cast<unsigned char>(c);
        units += (b >= 0x80 && b < 0xA0) ? Cp1252High[b - 0x80] : char16_t(b);
    }
    return ToUtf8(units);
}

// Writer.

SvrBufferWriter::SvrBufferWriter(std::span<std::uint8_t> buffer, std::size_t limit)
    : bytes(buffer.first(std::min(limit, buffer.size()))), stringStart(bytes.size())
{
}

std::optional<SvrBufferWriter::Record>
SvrBufferWriter::Begin(std::size_t size, std::initializer_list<std::string_view> strings)
{
    std::size_t total = size;
    for (const auto s : strings)
        total += s.size() + 1;
    needed = total;
    if (total > stringStart - recordEnd)
        return std::nullopt;
    const std::size_t start = recordEnd;
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(start), size, std::uint8_t(0));
    recordEnd += size;
    ++records;
    return Record(*this, start, size);
}

void SvrBufferWriter::Record::U8(std::size_t offset, std::uint8_t value)
{
    if (offset + 1 > size)
        throw std::logic_error("field outside its record");
    writer.bytes[start + offset] = value;
}

void SvrBufferWriter::Record::U16(std::size_t offset, std::uint16_t value)
{
    U8(offset, static_cast<std::uint8_t>(value));
    U8(offset + 1, static_cast<std::uint8_t>(value >> 8));
}

void SvrBufferWriter::Record::U32(std::size_t offset, std::uint32_t value)
{
    U16(offset, static_cast<std::uint16_t>(value));
    U16(offset + 2, static_cast<std::uint16_t>(value >> 16));
}

void SvrBufferWriter::Record::Text(std::size_t offset, std::string_view ansi)
{
    // Begin reserved room for the strings it was told of; a string beyond that is a fault of
    // the caller, never a write into the records.
    if (ansi.size() + 1 > writer.stringStart - writer.recordEnd)
        throw std::logic_error("string not reserved with its record");
    writer.stringStart -= ansi.size() + 1;
    std::copy(ansi.begin(), ansi.end(),
              writer.bytes.begin() + static_cast<std::ptrdiff_t>(writer.stringStart));
    writer.bytes[writer.stringStart + ansi.size()] = 0;
    U32(offset, static_cast<std::uint32_t>(writer.stringStart));
}

void SvrBufferWriter::Record::Fixed(std::size_t offset, std::size_t length, std::string_view ansi)
{
    if (length == 0 || offset + length > size)
        throw std::logic_error("field outside its record");
    const std::size_t count = std::min(ansi.size(), length - 1);
    std::copy_n(ansi.begin(), count,
                writer.bytes.begin() + static_cast<std::ptrdiff_t>(start + offset));
}

bool WriteFileInfo50(SvrBufferWriter& writer, const file_info_50& r)
{
    const std::string path = ToAnsi(r.fi50_pathname), user = ToAnsi(r.fi50_username),
                      share = ToAnsi(r.fi50_sharename);
    auto record = writer.Begin(FILE_INFO_50_SIZE, {path, user, share});
    if (!record)
        return false;
    record->U32(0, r.fi50_id);
    record->U16(4, r.fi50_permissions);
    record->U16(6, r.fi50_num_locks);
    record->Text(8, path);
    record->Text(12, user);
    record->Text(16, share);
    return true;
}

bool WriteSessionInfo50(SvrBufferWriter& writer, const session_info_50& r)
{
    const std::string computer = ToAnsi(r.sesi50_cname), user = ToAnsi(r.sesi50_username);
    auto record = writer.Begin(SESSION_INFO_50_SIZE, {computer, user});
    if (!record)
        return false;
    record->Text(0, computer);
    record->Text(4, user);
    record->U32(8, r.sesi50_key);
    record->U16(12, r.sesi50_num_conns);
    record->U16(14, r.sesi50_num_opens);
    record->U32(16, r.sesi50_time);
    record->U32(20, r.sesi50_idle_time);
    record->U8(24, r.sesi50_protocol);
    return true;
}

bool WriteSessionInfo(SvrBufferWriter& writer, int level, const session_info_2& r)
{
    const bool withType = level == 2;
    const std::string computer = ToAnsi(r.sesi2_cname), user = ToAnsi(r.sesi2_username),
                      type = withType ? ToAnsi(r.sesi2_cltype_name) : std::string();
    auto record = withType ? writer.Begin(SESSION_INFO_2_SIZE, {computer, user, type})
                           : writer.Begin(SESSION_INFO_1_SIZE, {computer, user});
    if (!record)
        return false;
    record->Text(0, computer);
    record->Text(4, user);
    record->U16(8, r.sesi2_num_conns);
    record->U16(10, r.sesi2_num_opens);
    record->U16(12, r.sesi2_num_users);
    record->U32(16, r.sesi2_time);
    record->U32(20, r.sesi2_idle_time);
    record->U32(24, r.sesi2_user_flags);
    if (withType)
        record->Text(28, type);
    return true;
}

bool WriteConnectionInfo50(SvrBufferWriter& writer, const connection_info_50& r)
{
    const std::string net = ToAnsi(r.coni50_netname), user = ToAnsi(r.coni50_username);
    auto record = writer.Begin(CONNECTION_INFO_50_SIZE, {net, user});
    if (!record)
        return false;
    record->U16(0, r.coni50_type);
    record->U16(2, r.coni50_num_opens);
    record->U32(4, r.coni50_time);
    record->Text(8, net);
    record->Text(12, user);
    return true;
}

bool WriteServerInfo(SvrBufferWriter& writer, int level, const server_info_50& r)
{
    const bool full = level == 50;
    const std::string comment = ToAnsi(r.sv50_comment);
    const std::string container = full ? ToAnsi(r.sv50_container) : std::string(),
                      abServer = full ? ToAnsi(r.sv50_ab_server) : std::string(),
                      abDll = full ? ToAnsi(r.sv50_ab_dll) : std::string();
    auto record = full ? writer.Begin(SERVER_INFO_50_SIZE, {comment, container, abServer, abDll})
                       : writer.Begin(SERVER_INFO_1_SIZE, {comment});
    if (!record)
        return false;
    record->Fixed(0, 16, ToAnsi(r.sv50_name));
    record->U8(16, r.sv50_version_major);
    record->U8(17, r.sv50_version_minor);
    record->U32(18, r.sv50_type);
    record->Text(22, comment);
    if (full) {
        record->U16(26, r.sv50_security);
        record->U16(28, r.sv50_auditing);
        record->Text(30, container);
        record->Text(34, abServer);
        record->Text(38, abDll);
    }
    return true;
}

bool WriteShareInfo50(SvrBufferWriter& writer, const share_info_50& r)
{
    const std::string remark = ToAnsi(r.shi50_remark), path = ToAnsi(r.shi50_path);
    auto record = writer.Begin(SHARE_INFO_50_SIZE, {remark, path});
    if (!record)
        return false;
    record->Fixed(0, LM20_NNLEN + 1, ToAnsi(r.shi50_netname));
    record->U8(13, r.shi50_type);
    record->U16(14, r.shi50_flags);
    record->Text(16, remark);
    record->Text(20, path);
    record->Fixed(24, SHPWLEN + 1, ToAnsi(r.shi50_rw_password));
    record->Fixed(33, SHPWLEN + 1, ToAnsi(r.shi50_ro_password));
    return true;
}

bool WriteShareInfo1(SvrBufferWriter& writer, const share_info_1& r)
{
    const std::string remark = ToAnsi(r.shi1_remark);
    auto record = writer.Begin(SHARE_INFO_1_SIZE, {remark});
    if (!record)
        return false;
    record->Fixed(0, LM20_NNLEN + 1, ToAnsi(r.shi1_netname));
    record->U16(14, r.shi1_type);
    record->Text(16, remark);
    return true;
}

// Readers.

file_info_50 ReadFileInfo50(std::span<const std::uint8_t> buffer, std::size_t index)
{
    const RecordReader r(buffer, index, FILE_INFO_50_SIZE);
    return {r.U32(0), r.U16(4), r.U16(6), r.Text(8), r.Text(12), r.Text(16)};
}

session_info_50 ReadSessionInfo50(std::span<const std::uint8_t> buffer, std::size_t index)
{
    const RecordReader r(buffer, index, SESSION_INFO_50_SIZE);
    return {r.Text(0), r.Text(4), r.U32(8), r.U16(12), r.U16(14), r.U32(16), r.U32(20), r.U8(24)};
}

session_info_2 ReadSessionInfo(std::span<const std::uint8_t> buffer, int level, std::size_t index)
{
    const bool withType = level == 2;
    const RecordReader r(buffer, index, withType ? SESSION_INFO_2_SIZE : SESSION_INFO_1_SIZE);
    return {r.Text(0), r.Text(4), r.U16(8),
            r.U16(10), r.U16(12), r.U32(16),
            r.U32(20), r.U32(24), withType ? r.Text(28) : std::string()};
}

connection_info_50 ReadConnectionInfo50(std::span<const std::uint8_t> buffer, std::size_t index)
{
    const RecordReader r(buffer, index, CONNECTION_INFO_50_SIZE);
    return {r.U16(0), r.U16(2), r.U32(4), r.Text(8), r.Text(12)};
}

server_info_50 ReadServerInfo(std::span<const std::uint8_t> buffer, int level)
{
    const bool full = level == 50;
    const RecordReader r(buffer, 0, full ? SERVER_INFO_50_SIZE : SERVER_INFO_1_SIZE);
    server_info_50 info;
    info.sv50_name = r.Fixed(0, 16);
    info.sv50_version_major = r.U8(16);
    info.sv50_version_minor = r.U8(17);
    info.sv50_type = r.U32(18);
    info.sv50_comment = r.Text(22);
    if (full) {
        info.sv50_security = r.U16(26);
        info.sv50_auditing = r.U16(28);
        info.sv50_container = r.Text(30);
        info.sv50_ab_server = r.Text(34);
        info.sv50_ab_dll = r.Text(38);
    }
    return info;
}

share_info_50 ReadShareInfo50(std::span<const std::uint8_t> buffer, std::size_t index)
{
    const RecordReader r(buffer, index, SHARE_INFO_50_SIZE);
    return {r.Fixed(0, LM20_NNLEN + 1),
            r.U8(13),
            r.U16(14),
            r.Text(16),
            r.Text(20),
            r.Fixed(24, SHPWLEN + 1),
            r.Fixed(33, SHPWLEN + 1)};
}

share_info_1 ReadShareInfo1(std::span<const std::uint8_t> buffer, std::size_t index)
{
    const RecordReader r(buffer, index, SHARE_INFO_1_SIZE);
    return {r.Fixed(0, LM20_NNLEN + 1), r.U16(14), r.Text(16)};
}

} // namespace mallow::platform
