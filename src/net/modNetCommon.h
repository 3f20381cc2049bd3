#pragma once

#include <cstdint>
#include <string>

namespace mallow::net::modNetCommon {

/// The text of a NUL-terminated ANSI string at an address; "" for a null address.
std::string PtrToStrA(const char* address);
/// The text (as UTF-8) of a NUL-terminated UTF-16 string at an address; "" for a null address.
std::string PtrToStrW(const char16_t* address);
/// The 32-bit value stored at an address; 0 for a null address.
std::int32_t PtrToLong(const void* address);
/// The characters before the first NUL; without a NUL, the text trimmed of blanks.
std::string StripAtNull(const std::string& text);
/// The name trimmed of blanks, with "\\" in front unless it already begins so; "" stays "".
std::string AddServerPrefix(const std::string& serverName);
/// The list, a "|" when the list is not blank, then the item.
std::string AppendPiped(const std::string& list, const std::string& item);

std::string DisplayTypeText(std::int32_t code);
std::string ScopeText(std::int32_t code);
std::string ResourceTypeText(std::int32_t code);
std::string ShareTypeText(std::int32_t code);
std::string SessionFlagText(std::int32_t code);
std::string NetStatusText(std::int32_t code);
/// Name of a provider type, given its high 16 bits.
std::string ProviderTypeText(std::int32_t code);
std::string ServerTypeText(std::int32_t bits);
std::string PermissionText(std::int32_t bits);
std::string UsageText(std::int32_t bits);

/// VB-style Trim: blanks (spaces) on both sides.
std::string TrimBlanks(const std::string& text);

} // namespace mallow::net::modNetCommon
