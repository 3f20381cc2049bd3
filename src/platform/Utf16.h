#pragma once

#include <string>
#include <string_view>

namespace mallow::platform {

/// UTF-8 to UTF-16; malformed bytes become U+FFFD.
std::u16string ToUtf16(std::string_view text);
/// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
/// The UTF-8 text of a NUL-terminated UTF-16 string, or "" for a null pointer.
std::string ToUtf8(const char16_t* text);
/// Length in characters of a NUL-terminated UTF-16 string; 0 for a null pointer.
std::size_t Utf16Length(const char16_t* text);

} // namespace mallow::platform
