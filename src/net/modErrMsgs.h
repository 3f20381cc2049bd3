#pragma once

#include "platform/MessageTexts.h"

#include <cstdint>
#include <span>
#include <string>

namespace mallow::net::modErrMsgs {

/// The platform's text for a result code: LAN Manager codes (2100 to 2999) from the LAN
/// Manager table (on the 9x family from the program's own message-table resource), internet
/// codes (12000 to 12171) from the internet table, every other code from the system table;
/// cut at a NUL and without a trailing CR LF. "" when no table knows the code.
std::string GetNetErrorText(long code, bool is9x);
std::string GetNetErrorText(long code, bool is9x, const platform::MessageSource& source);

/// The text of `code` in a message-table image, or "".
std::string GetMessageTableText(std::span<const std::uint8_t> image, long code);

} // namespace mallow::net::modErrMsgs
