#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace mallow::platform {

/// Where the error texts of the network layer come from: the message tables of the system, of
/// modules loaded as data files ("netmsg.dll" for LAN Manager codes, "Wininet.dll" for internet
/// codes) and the program's own message-table resource. Every table is a message-table image.
class MessageSource
{
public:
    virtual ~MessageSource() = default;
    /// The table of a module by its file name (case does not matter), or nothing when no such
    /// module can be loaded.
    virtual std::optional<std::span<const std::uint8_t>>
    ModuleTable(std::string_view module) const = 0;
    /// The system's own table.
    virtual std::span<const std::uint8_t> SystemTable() const = 0;
    /// A resource of the program by type and identifier, or nothing when it has none.
    virtual std::optional<std::span<const std::uint8_t>>
    ProgramResource(std::uint32_t type, std::uint32_t id) const = 0;
};

/// The tables Mallow carries: system codes, LAN Manager codes 2100 to 2999 (also as the
/// program's ANSI message-table resource, type 11, identifier 1) and internet codes 12000 to
/// 12171. Texts end in CR LF, as the platform's tables do.
const MessageSource& BuiltInMessages();

/// Whether the tables Mallow carries hold a text for a result code, in the table of its range
/// (LAN Manager codes 2100 to 2999, internet codes 12000 to 12171, otherwise the system's).
bool HasPlatformText(std::uint32_t code);

} // namespace mallow::platform
