#include "net/modNetCommon.h"

#include "platform/Utf16.h"

#include <cstring>
#include <utility>

namespace mallow::net::modNetCommon {

namespace {

using BitText = std::pair<std::uint32_t, const char*>;

template <std::size_t N>
std::string JoinBits(std::int32_t bits, const BitText (&table)[N], const char* none)
{
    std::string list;
    for (const auto& [bit, text] : table)
        if (static_cast<std::uint32_t>(bits) & bit)
            list = AppendPiped(list, text);
    return list.empty() ? none : list;
}

} // namespace

std::string TrimBlanks(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string PtrToStrA(const char* address)
{
    return address ? std::string(address) : std::string();
}

std::string PtrToStrW(const char16_t* address)
{
    return platform::ToUtf8(address);
}

std::int32_t PtrToLong(const void* address)
{
    if (!address)
        return 0;
    std::int32_t value;
    std::memcpy(&value, address, sizeof value);
    return value;
}

std::string StripAtNull(const std::string& text)
{
    const auto nul = text.find('\0');
    if (nul == std::string::npos)
        return TrimBlanks(text);
    return text.substr(0, nul);
}

std::string AddServerPrefix(const std::string& serverName)
{
    const std::string name = TrimBlanks(serverName);
    if (name.empty() || name.rfind("\\\\", 0) == 0)
        return name;
    return "\\\\" + name;
}

std::string AppendPiped(const std::string& list, const std::string& item)
{
    return TrimBlanks(list).empty() ? list + item : list + "|" + item;
}

std::string DisplayTypeText(std::int32_t code)
{
    switch (code) {
    case -1:
        return "UNKNOWN";
    case 0:
        return "Generic";
    case 1:
        return "Domain";
    case 2:
        return "Server";
    case 3:
        return "Share";
    default:
        return "Unknown Display Type";
    }
}

std::string ScopeText(std::int32_t code)
{
    switch (code) {
    case -1:
        return "UNKNOWN";
    case 1:
        return "Recently connected";
    case 2:
        return "All";
    case 3:
        return "Persistent";
    case 4:
        return "Recent";
    case 5:
        return "In network context of user";
    default:
        return "Unknown Scope";
    }
}

std::string ResourceTypeText(std::int32_t code)
{
    switch (code) {
    case -1:
        return "UNKNOWN Resource";
    case 0:
        return "Type: Any";
    case 1:
        return "Disk resource";
    case 2:
        return "Print resource";
    case 8:
        return "Reserved Resource";
    default:
        return "UNKNOWN";
    }
}

std::string ShareTypeText(std::int32_t code)
{
    switch (static_cast<std::uint32_t>(code)) {
    case 0:
        return "Disk drive";
    case 1:
        return "Print Queue";
    case 2:
        return "Communication device";
    case 3:
        return "Interprocess communication";
    case 0x80000000u:
        return "Special share reserved for interprocess communication";
    default:
        return "UNKNOWN";
    }
}

std::string SessionFlagText(std::int32_t code)
{
    switch (code) {
    case 1:
        return "The user specified by the sesi502_username member established the session "
               "using a guest account.";
    case 2:
        return "The user specified by the sesi502_username member established the session "
               "without using password encryption.";
    default:
        return "No Flags";
    }
}

std::string NetStatusText(std::int32_t code)
{
    switch (code) {
    case 0:
        return "No Error";
    case 170:
        return "Network Busy";
    case 1222:
        return "No Network";
    default:
        return "No Flags";
    }
}

std::string ProviderTypeText(std::int32_t code)
{
    static const char* const names[] = {
        nullptr,      "Microsoft Net", "LAN Manager", "Netware",   "Vines",
        "10-Net",     "Locus",         "PC NFS",      "Lan Step",  "9 Tiles",
        "Lantastic",  "AS 400",        "NFS",         "Pathworks", "LifeNet",
        "PowerLan",   "BW NFS",        "Cogent",      "Farallon",  "AppleTalk",
        "InterGraph", "SymfoNet",      "CleanCase",   "Frontier",  "BMC",
        "DCE"};
    if (code >= 1 && code <= 25)
        return names[code];
    switch (code) {
    case 32:
        return "DEC Orb";
    case 33:
        return "ProtStor";
    case 34:
        return "FJ Redir";
    case 35:
        return "Distinct";
    case 36:
        return "Twins";
    default:
        return "UNKNOWN";
    }
}

std::string ServerTypeText(std::int32_t bits)
{
    static const BitText table[] = {
        {0x1, "A LAN Manager workstation"},
        {0x2, "A LAN Manager server"},
        {0x4, "Any server running with Microsoft SQL Server"},
        {0x8, "Primary domain controller"},
        {0x10, "Backup domain controller"},
        {0x20, "Server running the Timesource service"},
        {0x40, "Apple File Protocol server"},
        {0x80, "Novell server"},
        {0x100, "LAN Manager 2.x domain member"},
        {0x40000000, "Servers maintained by the browser"},
        {0x200, "Server sharing print queue"},
        {0x400, "Server running dial-in service"},
        {0x800, "Xenix server"},
        {0x4000, "Microsoft File and Print for NetWare"},
        {0x1000, "Windows NT/Windows 2000 workstation or server"},
        {0x2000, "Server running Windows for Workgroups"},
        {0x8000, "Windows NT/Windows 2000 server that is not a domain controller"},
        {0x10000, "Server that can run the browser service"},
        {0x20000, "Server running a browser service as backup"},
        {0x40000, "Server running the master browser service"},
        {0x80000, "Server running the domain master browser"},
        {0x80000000, "Primary domain"},
        {0x400000, "Windows 95 Or later"},
        {0x1000000, "Server clusters available in the domain"},
    };
    return JoinBits(bits, table, "Unknown");
}

std::string PermissionText(std::int32_t bits)
{
    static const BitText table[] = {
        {0x1, "Read/Execute."},
        {0x2, "Write."},
        {0x4, "Create"},
        {0x8, "Execute"},
        {0x10, "Delete"},
        {0x20, "Modify Attributes."},
        {0x40, "Modify Permissions"},
    };
    if (bits == -1)
        return "UNKNOWN";
    return JoinBits(bits, table, "NONE");
}

std::string UsageText(std::int32_t bits)
{
    static const BitText table[] = {
        {0x1, "Connectable"}, {0x2, "Container"}, {0x4, "No Local Device"},
        {0x8, "Sibling"},     {0x10, "Attached"}, {0x80000000, "Reserved"},
    };
    if (bits == -1)
        return "UNKNOWN";
    return JoinBits(bits, table, "Unknown");
}

} // namespace mallow::net::modNetCommon
