#include "platform/SambaStatus.h"

#include "platform/Mpr.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace mallow::platform {

namespace {

struct StatusCode
{
    std::uint32_t status;
    std::string_view name;
    NET_API_STATUS code;
};

// NT statuses that reach Mallow from a logon, a tree connection or a broken exchange, with
// the code the Windows redirector turns them into.
constexpr StatusCode StatusCodes[] = {
    {0xC0000011, "NT_STATUS_END_OF_FILE", ERROR_NETNAME_DELETED},
    {0xC0000016, "NT_STATUS_MORE_PROCESSING_REQUIRED", ERROR_LOGON_FAILURE},
    {0xC0000022, "NT_STATUS_ACCESS_DENIED", ERROR_ACCESS_DENIED},
    {0xC000005E, "NT_STATUS_NO_LOGON_SERVERS", 1311},
    {0xC0000064, "NT_STATUS_NO_SUCH_USER", 1317},
    {0xC000006A, "NT_STATUS_WRONG_PASSWORD", 86},
    {0xC000006D, "NT_STATUS_LOGON_FAILURE", ERROR_LOGON_FAILURE},
    {0xC000006E, "NT_STATUS_ACCOUNT_RESTRICTION", 1327},
    {0xC000006F, "NT_STATUS_INVALID_LOGON_HOURS", 1328},
    {0xC0000070, "NT_STATUS_INVALID_WORKSTATION", 1329},
    {0xC0000071, "NT_STATUS_PASSWORD_EXPIRED", 1330},
    {0xC0000072, "NT_STATUS_ACCOUNT_DISABLED", 1331},
    {0xC00000B0, "NT_STATUS_PIPE_DISCONNECTED", ERROR_NETNAME_DELETED},
    {0xC00000B5, "NT_STATUS_IO_TIMEOUT", ERROR_SEM_TIMEOUT},
    {0xC00000BE, "NT_STATUS_BAD_NETWORK_PATH", ERROR_BAD_NETPATH},
    {0xC00000C9, "NT_STATUS_NETWORK_NAME_DELETED", ERROR_NETNAME_DELETED},
    {0xC00000CC, "NT_STATUS_BAD_NETWORK_NAME", ERROR_BAD_NET_NAME},
    {0xC000014B, "NT_STATUS_PIPE_BROKEN", ERROR_NETNAME_DELETED},
    {0xC000015B, "NT_STATUS_LOGON_TYPE_NOT_GRANTED", 1385},
    {0xC000018D, "NT_STATUS_TRUSTED_RELATIONSHIP_FAILURE", 1789},
    {0xC0000193, "NT_STATUS_ACCOUNT_EXPIRED", 1793},
    {0xC000020C, "NT_STATUS_CONNECTION_DISCONNECTED", ERROR_NETNAME_DELETED},
    {0xC000020D, "NT_STATUS_CONNECTION_RESET", ERROR_NETNAME_DELETED},
    {0xC0000224, "NT_STATUS_PASSWORD_MUST_CHANGE", 1907},
    {0xC0000234, "NT_STATUS_ACCOUNT_LOCKED_OUT", 1909},
    {0xC0000236, "NT_STATUS_CONNECTION_REFUSED", ERROR_BAD_NETPATH},
    {0xC000023C, "NT_STATUS_NETWORK_UNREACHABLE", ERROR_BAD_NETPATH},
    {0xC000023D, "NT_STATUS_HOST_UNREACHABLE", ERROR_BAD_NETPATH},
    {0xC0000241, "NT_STATUS_CONNECTION_ABORTED", ERROR_NETNAME_DELETED},
};

// What the server library prints when a connection fails, at the step that failed.
struct FailedStep
{
    std::string_view marker;
    /// The code when the step names no status the table knows.
    NET_API_STATUS fallback;
};

constexpr FailedStep FailedSteps[] = {
    // Name resolution and the TCP connection ("Connection to NAME failed (Error ...)"): the
    // server cannot be reached at all.
    {" failed (Error NT_STATUS_", ERROR_BAD_NETPATH},
    {"protocol negotiation failed: ", ERROR_BAD_NETPATH},
    {"session setup failed: ", ERROR_LOGON_FAILURE},
    {"tree connect failed: ", ERROR_ACCESS_DENIED},
};

std::string_view StatusNameAt(std::string_view text, std::size_t from)
{
    const auto start = text.find("NT_STATUS_", from);
    const auto line = text.find('\n', from);
    if (start == std::string_view::npos || (line != std::string_view::npos && start > line))
        return {};
    auto end = start;
    while (end < text.size() &&
           (std::isupper(static_cast<unsigned char>(text[end])) ||
            std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '_'))
        ++end;
    return text.substr(start, end - start);
}

} // namespace

NET_API_STATUS CodeOfNtStatus(std::uint32_t status, NET_API_STATUS fallback)
{
    for (const auto& s : StatusCodes)
        if (s.status == status)
            return s.code;
    return fallback;
}

std::optional<NET_API_STATUS> CodeOfNtStatusName(std::string_view name)
{
    for (const auto& s : StatusCodes)
        if (s.name == name)
            return s.code;
    return std::nullopt;
}

std::optional<NET_API_STATUS> ConnectionFailureCode(std::string_view printed)
{
    // The last failed step is the one that ended the attempt.
    const FailedStep* last = nullptr;
    std::size_t at = 0;
    for (const auto& step : FailedSteps) {
        const auto found = printed.rfind(step.marker);
        if (found != std::string_view::npos && (!last || found > at)) {
            last = &step;
            at = found;
        }
    }
    if (!last)
        return std::nullopt;
    if (last->fallback == ERROR_BAD_NETPATH)
        return ERROR_BAD_NETPATH;
    return CodeOfNtStatusName(StatusNameAt(printed, at)).value_or(last->fallback);
}

std::span<const NET_API_STATUS> OwnResultCodes()
{
    static const auto codes = [] {
        std::vector<NET_API_STATUS> all = {
            // The server library and the server-service requests.
            ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY, ERROR_BAD_NETPATH,
            ERROR_INVALID_PARAMETER, ERROR_INVALID_LEVEL, ERROR_MORE_DATA, RPC_S_CALL_FAILED,
            NERR_ClientNameNotFound, ERROR_GEN_FAILURE, ERROR_UNEXP_NET_ERR, ERROR_NETNAME_DELETED,
            ERROR_SEM_TIMEOUT, ERROR_CAN_NOT_COMPLETE, ERROR_LOGON_FAILURE,
            RPC_S_SERVER_UNAVAILABLE,
            // The network provider.
            ERROR_BAD_DEVICE, ERROR_NO_NETWORK, ERROR_CANCELLED, ERROR_EXTENDED_ERROR,
            ERROR_NOT_AUTHENTICATED, ERROR_NO_MORE_ITEMS, ERROR_NOT_CONNECTED, ERROR_NOT_SUPPORTED,
            ERROR_BAD_NET_NAME, ERROR_BAD_PROVIDER, ERROR_INVALID_HANDLE, ERROR_NOT_CONTAINER,
            ERROR_DEVICE_IN_USE, ERROR_NO_BROWSER_SERVERS_FOUND};
        for (const auto& s : StatusCodes)
            all.push_back(s.code);
        for (const auto& step : FailedSteps)
            all.push_back(step.fallback);
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        return all;
    }();
    return codes;
}

} // namespace mallow::platform
