#include "net/modErrMsgs.h"

#include "platform/MessageTable.h"

namespace mallow::net::modErrMsgs {

namespace {

constexpr std::uint32_t MessageTableResource = 11;

/// A message from a module's table, falling back on the system's, as formatting "from module,
/// from system" does.
std::string FormatFromModule(const platform::MessageSource& source, const char* module, long code)
{
    const auto table = source.ModuleTable(module);
    if (!table)
        return {};
    std::string text = platform::MessageTableText(*table, static_cast<std::uint32_t>(code));
    if (text.empty())
        text = platform::MessageTableText(source.SystemTable(), static_cast<std::uint32_t>(code));
    return text;
}

} // namespace

std::string GetNetErrorText(long code, bool is9x)
{
    return GetNetErrorText(code, is9x, platform::BuiltInMessages());
}

std::string GetNetErrorText(long code, bool is9x, const platform::MessageSource& source)
{
    std::string text;
    if (code >= 2100 && code <= 2999) {
        if (!is9x) {
            text = FormatFromModule(source, "netmsg.dll", code);
        } else if (const auto image = source.ProgramResource(MessageTableResource, 1)) {
            text = GetMessageTableText(*image, code);
        }
    } else if (code >= 12000 && code <= 12171) {
        text = FormatFromModule(source, "Wininet.dll", code);
    } else {
        text = platform::MessageTableText(source.SystemTable(), static_cast<std::uint32_t>(code));
    }
    if (const auto nul = text.find('\0'); nul != std::string::npos)
        text.erase(nul);
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.erase(text.size() - 2);
    return text;
}

std::string GetMessageTableText(std::span<const std::uint8_t> image, long code)
{
    if (code < 0 || code > 0xFFFFFFFFL)
        return {};
    return platform::MessageTableText(image, static_cast<std::uint32_t>(code));
}

} // namespace mallow::net::modErrMsgs
