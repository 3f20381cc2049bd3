#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mallow::platform {

/// One message of a table: its identifier and its text.
struct MessageEntry
{
    std::uint32_t id;
    std::string_view text;
};

/// The text of `code` in a message-table image (UTF-8), or "" when the image does not hold it.
/// The image layout: a 32-bit block count; 12-byte blocks (lowest id, highest id, offset of the
/// first entry); entries of (16-bit length, 16-bit flags, NUL-terminated text), UTF-16 when the
/// flags are not 0, ANSI (Windows-1252) otherwise. A damaged or truncated image gives "" and is
/// never read past its end.
std::string MessageTableText(std::span<const std::uint8_t> image, std::uint32_t code);

/// Lays out `entries` (ascending ids) as a message-table image, one block per run of
/// consecutive ids, texts as UTF-16 when `unicode` is set and as ANSI otherwise.
std::vector<std::uint8_t> BuildMessageTableImage(std::span<const MessageEntry> entries,
                                                 bool unicode);

} // namespace mallow::platform
