#pragma once

#include "platform/SvrApi.h"
#include "platform/SvrApiRecords.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace mallow::platform {

/// A file open on a scripted server; `computer` ties it to the session that holds it.
struct SvrFile
{
    std::uint32_t id = 0;
    std::uint16_t permissions = 0;
    std::uint16_t locks = 0;
    std::string path;
    std::string user;
    std::string share;
    std::string computer;
};

struct SvrSession
{
    std::string computer;
    std::string user;
    std::uint32_t key = 0;
    std::uint16_t connections = 0;
    std::uint16_t opens = 0;
    std::uint32_t time = 0;
    std::uint32_t idle = 0;
    std::uint8_t protocol = 0;
    std::uint32_t flags = 0;
    std::string clientType;
};

struct SvrConnection
{
    std::string computer;
    std::string user;
    std::string share;
    std::uint16_t type = 0;
    std::uint16_t opens = 0;
    std::uint32_t time = 0;
};

struct SvrServer
{
    /// The name the server gives itself in its information record.
    std::string name;
    /// A server of the NT family answers levels 1 and 2 only, and refuses the deletion of
    /// shares and sessions from a 9x client, with 124 (invalid level).
    bool ntFamily = false;
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint32_t type = 0;
    std::string comment;
    std::vector<SvrFile> files;
    std::vector<SvrSession> sessions;
    std::vector<SvrConnection> connections;
    std::vector<share_info_50> shares;
    /// Answers forced on a call, by "Call" or "Call level" ("NetShareEnum 50"); the level-less
    /// key covers every level.
    std::map<std::string, NET_API_STATUS> failures;
};

/// The servers a SvrApiLayer answers for, by name without "\\\\" in upper case ("" is this
/// machine), and the requests it has received when asked to keep them.
struct SvrApiState
{
    std::map<std::string, SvrServer> servers;
    bool keepRequests = false;
    /// One line a request: the call, the server as given, then its other arguments; an
    /// empty text shows as "".
    std::vector<std::string> requests;

    /// The server of that name ("\\\\" and case do not matter), made when missing.
    SvrServer& Server(const std::string& name, bool ntFamily = false);
};

/// The 9x server library of this platform. No 9x server runs here, so the layer answers from
/// the servers of its state with the library's records, levels, buffer rules and result codes:
/// records that do not fit the caller's count give 234 (more data) for an enumeration and 2123
/// (buffer too small) for a single record; unknown servers give 53, or 2114 for this machine.
class SvrApiLayer : public SvrApi
{
public:
    SvrApiLayer() = default;
    explicit SvrApiLayer(SvrApiState state) : state(std::move(state)) {}

    /// Scripted from one thread while no call runs.
    SvrApiState state;

    NET_API_STATUS NetFileEnum(const char* pszServer, const char* pszBasePath, std::int16_t sLevel,
                               std::span<std::uint8_t> pbBuffer, std::uint16_t cbBuffer,
                               std::uint16_t* pcEntriesRead, std::uint16_t* pcTotalAvail) override;
    NET_API_STATUS NetFileClose2(const char* pszServer, std::uint32_t ulFileId) override;
    NET_API_STATUS NetSessionEnum(const char* pszServer, std::int16_t sLevel,
                                  std::span<std::uint8_t> pbBuffer, std::uint16_t cbBuffer,
                                  std::uint16_t* pcEntriesRead,
                                  std::uint16_t* pcTotalAvail) override;
    NET_API_STATUS NetSessionGetInfo(const char* pszServer, const char* pszClientName,
                                     std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                     std::uint16_t cbBuffer, std::uint16_t* pcbTotalAvail) override;
    NET_API_STATUS NetSessionDel(const char* pszServer, const char* pszClientName,
                                 std::int16_t sReserved) override;
    NET_API_STATUS NetConnectionEnum(const char* pszServer, const char* pszQualifier,
                                     std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                     std::uint16_t cbBuffer, std::uint16_t* pcEntriesRead,
                                     std::uint16_t* pcTotalAvail) override;
    NET_API_STATUS NetServerGetInfo(const char* pszServer, std::int16_t sLevel,
                                    std::span<std::uint8_t> pbBuffer, std::uint16_t cbBuffer,
                                    std::uint16_t* pcbTotalAvail) override;
    NET_API_STATUS NetShareEnum(const char* pszServer, std::int16_t sLevel,
                                std::span<std::uint8_t> pbBuffer, std::uint16_t cbBuffer,
                                std::uint16_t* pcEntriesRead, std::uint16_t* pcTotalAvail) override;
    NET_API_STATUS NetShareGetInfo(const char* pszServer, const char* pszNetName,
                                   std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                   std::uint16_t cbBuffer, std::uint16_t* pcbTotalAvail) override;
    NET_API_STATUS NetShareAdd(const char* pszServer, std::int16_t sLevel,
                               std::span<const std::uint8_t> pbBuffer,
                               std::uint16_t cbBuffer) override;
    NET_API_STATUS NetShareDel(const char* pszServer, const char* pszNetName,
                               std::uint16_t usReserved) override;
    NET_API_STATUS NetShareSetInfo(const char* pszServer, const char* pszNetName,
                                   std::int16_t sLevel, std::span<const std::uint8_t> pbBuffer,
                                   std::uint16_t cbBuffer, std::int16_t sParmNum) override;

private:
    struct Target
    {
        SvrServer* server = nullptr;
        NET_API_STATUS status = NERR_Success;
    };
    /// The server a call addresses, after logging the request and applying forced answers and
    /// the levels its family serves; `status` is not 0 when the call ends there.
    Target Open(const std::string& request, const char* pszServer, const char* call, int level,
                std::initializer_list<int> levels);

    std::mutex mutex;
};

} // namespace mallow::platform
