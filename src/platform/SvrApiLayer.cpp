#include "platform/SvrApiLayer.h"

#include <algorithm>

namespace mallow::platform {

namespace {

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool SameName(const std::string& a, const std::string& b)
{
    return Upper(a) == Upper(b);
}

std::string Arg(const char* ansi)
{
    return ansi ? FromAnsi(ansi) : std::string();
}

/// "\\\\name" without its prefix; the name as given otherwise.
std::string WithoutPrefix(const std::string& name)
{
    return name.rfind("\\\\", 0) == 0 ? name.substr(2) : name;
}

std::string Line(const char* call, const char* server, std::initializer_list<std::string> args)
{
    const auto shown = [](const std::string& a) { return a.empty() ? std::string("\"\"") : a; };
    std::string line = std::string(call) + " " + shown(Arg(server));
    for (const auto& a : args)
        line += " " + shown(a);
    return line;
}

std::uint16_t Count(std::size_t n)
{
    return static_cast<std::uint16_t>(std::min<std::size_t>(n, 0xFFFF));
}

template <class T> void Set(T* out, T value)
{
    if (out)
        *out = value;
}

/// Writes `items` while they fit: 234 (more data) with the records that fit when some do not.
template <class Item, class Write>
NET_API_STATUS Enumerate(const std::vector<Item>& items, std::span<std::uint8_t> buffer,
                         std::uint16_t cbBuffer, std::uint16_t* read, std::uint16_t* total,
                         Write write)
{
    SvrBufferWriter writer(buffer, cbBuffer);
    Set(total, Count(items.size()));
    for (const Item& item : items) {
        if (!write(writer, item)) {
            Set(read, Count(writer.RecordsWritten()));
            return ERROR_MORE_DATA;
        }
    }
    Set(read, Count(writer.RecordsWritten()));
    return NERR_Success;
}

/// Writes one record: 2123 (buffer too small) when it does not fit. The bytes it takes go to
/// `available` either way.
template <class Write>
NET_API_STATUS Single(std::span<std::uint8_t> buffer, std::uint16_t cbBuffer,
                      std::uint16_t* available, Write write)
{
    SvrBufferWriter writer(buffer, cbBuffer);
    const bool fits = write(writer);
    Set(available, Count(writer.Needed()));
    return fits ? NERR_Success : NERR_BufTooSmall;
}

file_info_50 FileRecord(const SvrFile& f)
{
    return {f.id, f.permissions, f.locks, f.path, f.user, f.share};
}

session_info_2 SessionRecord(const SvrSession& s)
{
    return {s.computer, s.user, s.connections, s.opens, 1, s.time, s.idle, s.flags, s.clientType};
}

/// The input record of a call, when `cbBuffer` covers it and its texts lie in the buffer.
template <class Record, class Read>
std::optional<Record> Input(std::span<const std::uint8_t> buffer, std::uint16_t cbBuffer,
                            std::size_t size, Read read)
{
    if (cbBuffer < size || buffer.size() < cbBuffer)
        return std::nullopt;
    try {
        return read(buffer, 0);
    } catch (const SvrRecordError&) {
        return std::nullopt;
    }
}

} // namespace

SvrServer& SvrApiState::Server(const std::string& name, bool ntFamily)
{
    const std::string key = Upper(WithoutPrefix(name));
    auto [it, made] = servers.try_emplace(key);
    if (made) {
        it->second.name = key;
        it->second.ntFamily = ntFamily;
    }
    return it->second;
}

SvrApiLayer::Target SvrApiLayer::Open(const std::string& request, const char* pszServer,
                                      const char* call, int level,
                                      std::initializer_list<int> levels)
{
    if (state.keepRequests)
        state.requests.push_back(request);
    const std::string name = Arg(pszServer);
    if (!name.empty() && name.rfind("\\\\", 0) != 0)
        return {nullptr, NERR_InvalidComputer};
    const std::string key = Upper(WithoutPrefix(name));
    const auto found = state.servers.find(key);
    if (found == state.servers.end())
        return {nullptr, key.empty() ? NERR_ServerNotStarted : ERROR_BAD_NETPATH};
    SvrServer& server = found->second;
    if (level >= 0) {
        if (const auto f = server.failures.find(std::string(call) + " " + std::to_string(level));
            f != server.failures.end())
            return {nullptr, f->second};
    }
    if (const auto f = server.failures.find(call); f != server.failures.end())
        return {nullptr, f->second};
    if (level >= 0 && (std::find(levels.begin(), levels.end(), level) == levels.end() ||
                       (server.ntFamily && level == 50)))
        return {nullptr, ERROR_INVALID_LEVEL};
    return {&server, NERR_Success};
}

NET_API_STATUS SvrApiLayer::NetFileEnum(const char* pszServer, const char* pszBasePath,
                                        std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                        std::uint16_t cbBuffer, std::uint16_t* pcEntriesRead,
                                        std::uint16_t* pcTotalAvail)
{
    std::lock_guard lock(mutex);
    Set(pcEntriesRead, std::uint16_t(0));
    Set(pcTotalAvail, std::uint16_t(0));
    const auto t = Open(Line("NetFileEnum", pszServer,
                             {Arg(pszBasePath), std::to_string(sLevel), std::to_string(cbBuffer)}),
                        pszServer, "NetFileEnum", sLevel, {50});
    if (!t.server)
        return t.status;
    const std::string base = Upper(Arg(pszBasePath));
    std::vector<SvrFile> files;
    for (const auto& f : t.server->files)
        if (Upper(f.path).rfind(base, 0) == 0)
            files.push_back(f);
    return Enumerate(
        files, pbBuffer, cbBuffer, pcEntriesRead, pcTotalAvail,
        [](SvrBufferWriter& w, const SvrFile& f) { return WriteFileInfo50(w, FileRecord(f)); });
}

NET_API_STATUS SvrApiLayer::NetFileClose2(const char* pszServer, std::uint32_t ulFileId)
{
    std::lock_guard lock(mutex);
    const auto t = Open(Line("NetFileClose2", pszServer, {std::to_string(ulFileId)}), pszServer,
                        "NetFileClose2", -1, {});
    if (!t.server)
        return t.status;
    auto& files = t.server->files;
    const auto it = std::find_if(files.begin(), files.end(),
                                 [&](const SvrFile& f) { return f.id == ulFileId; });
    if (it == files.end())
        return NERR_FileIdNotFound;
    files.erase(it);
    return NERR_Success;
}

NET_API_STATUS SvrApiLayer::NetSessionEnum(const char* pszServer, std::int16_t sLevel,
                                           std::span<std::uint8_t> pbBuffer, std::uint16_t cbBuffer,
                                           std::uint16_t* pcEntriesRead,
                                           std::uint16_t* pcTotalAvail)
{
    std::lock_guard lock(mutex);
    Set(pcEntriesRead, std::uint16_t(0));
    Set(pcTotalAvail, std::uint16_t(0));
    const auto t =
        Open(Line("NetSessionEnum", pszServer, {std::to_string(sLevel), std::to_string(cbBuffer)}),
             pszServer, "NetSessionEnum", sLevel, {50, 1, 2});
    if (!t.server)
        return t.status;
    const int level = sLevel;
    return Enumerate(t.server->sessions, pbBuffer, cbBuffer, pcEntriesRead, pcTotalAvail,
                     [level](SvrBufferWriter& w, const SvrSession& s) {
                         if (level == 50)
                             return WriteSessionInfo50(w, {s.computer, s.user, s.key, s.connections,
                                                           s.opens, s.time, s.idle, s.protocol});
                         return WriteSessionInfo(w, level, SessionRecord(s));
                     });
}

NET_API_STATUS SvrApiLayer::NetSessionGetInfo(const char* pszServer, const char* pszClientName,
                                              std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                              std::uint16_t cbBuffer, std::uint16_t* pcbTotalAvail)
{
    std::lock_guard lock(mutex);
    Set(pcbTotalAvail, std::uint16_t(0));
    const auto t =
        Open(Line("NetSessionGetInfo", pszServer,
                  {Arg(pszClientName), std::to_string(sLevel), std::to_string(cbBuffer)}),
             pszServer, "NetSessionGetInfo", sLevel, {1, 2});
    if (!t.server)
        return t.status;
    const std::string client = WithoutPrefix(Arg(pszClientName));
    const auto& sessions = t.server->sessions;
    const auto it = std::find_if(sessions.begin(), sessions.end(),
                                 [&](const SvrSession& s) { return SameName(s.computer, client); });
    if (client.empty() || it == sessions.end())
        return NERR_ClientNameNotFound;
    return Single(pbBuffer, cbBuffer, pcbTotalAvail, [&](SvrBufferWriter& w) {
        return WriteSessionInfo(w, sLevel, SessionRecord(*it));
    });
}

NET_API_STATUS SvrApiLayer::NetSessionDel(const char* pszServer, const char* pszClientName,
                                          std::int16_t sReserved)
{
    std::lock_guard lock(mutex);
    const auto t =
        Open(Line("NetSessionDel", pszServer, {Arg(pszClientName), std::to_string(sReserved)}),
             pszServer, "NetSessionDel", -1, {});
    if (!t.server)
        return t.status;
    if (t.server->ntFamily)
        return ERROR_INVALID_LEVEL;
    const std::string client = WithoutPrefix(Arg(pszClientName));
    auto& server = *t.server;
    const auto ofClient = [&](const auto& item) { return SameName(item.computer, client); };
    const auto removed = std::erase_if(server.sessions, ofClient);
    if (client.empty() || removed == 0)
        return NERR_ClientNameNotFound;
    // Ending a session closes what it held open.
    std::erase_if(server.files, ofClient);
    std::erase_if(server.connections, ofClient);
    return NERR_Success;
}

NET_API_STATUS SvrApiLayer::NetConnectionEnum(const char* pszServer, const char* pszQualifier,
                                              std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                              std::uint16_t cbBuffer, std::uint16_t* pcEntriesRead,
                                              std::uint16_t* pcTotalAvail)
{
    std::lock_guard lock(mutex);
    Set(pcEntriesRead, std::uint16_t(0));
    Set(pcTotalAvail, std::uint16_t(0));
    const std::string qualifier = Arg(pszQualifier);
    const auto t = Open(Line("NetConnectionEnum", pszServer,
                             {qualifier, std::to_string(sLevel), std::to_string(cbBuffer)}),
                        pszServer, "NetConnectionEnum", sLevel, {50});
    if (!t.server)
        return t.status;
    if (qualifier.empty())
        return ERROR_INVALID_PARAMETER;
    // A client qualifier lists the shares it uses; a share qualifier the clients that use it.
    const bool ofClient = qualifier.rfind("\\\\", 0) == 0;
    const std::string name = WithoutPrefix(qualifier);
    const auto& shares = t.server->shares;
    if (!ofClient && std::none_of(shares.begin(), shares.end(), [&](const share_info_50& s) {
            return SameName(s.shi50_netname, name);
        }))
        return NERR_NetNameNotFound;
    std::vector<connection_info_50> records;
    for (const auto& c : t.server->connections)
        if (SameName(ofClient ? c.computer : c.share, name))
            records.push_back({c.type, c.opens, c.time, ofClient ? c.share : c.computer, c.user});
    return Enumerate(records, pbBuffer, cbBuffer, pcEntriesRead, pcTotalAvail,
                     WriteConnectionInfo50);
}

NET_API_STATUS SvrApiLayer::NetServerGetInfo(const char* pszServer, std::int16_t sLevel,
                                             std::span<std::uint8_t> pbBuffer,
                                             std::uint16_t cbBuffer, std::uint16_t* pcbTotalAvail)
{
    std::lock_guard lock(mutex);
    Set(pcbTotalAvail, std::uint16_t(0));
    const auto t = Open(
        Line("NetServerGetInfo", pszServer, {std::to_string(sLevel), std::to_string(cbBuffer)}),
        pszServer, "NetServerGetInfo", sLevel, {50, 1});
    if (!t.server)
        return t.status;
    const SvrServer& s = *t.server;
    server_info_50 info;
    info.sv50_name = s.name;
    info.sv50_version_major = s.major;
    info.sv50_version_minor = s.minor;
    info.sv50_type = s.type;
    info.sv50_comment = s.comment;
    return Single(pbBuffer, cbBuffer, pcbTotalAvail,
                  [&](SvrBufferWriter& w) { return WriteServerInfo(w, sLevel, info); });
}

NET_API_STATUS SvrApiLayer::NetShareEnum(const char* pszServer, std::int16_t sLevel,
                                         std::span<std::uint8_t> pbBuffer, std::uint16_t cbBuffer,
                                         std::uint16_t* pcEntriesRead, std::uint16_t* pcTotalAvail)
{
    std::lock_guard lock(mutex);
    Set(pcEntriesRead, std::uint16_t(0));
    Set(pcTotalAvail, std::uint16_t(0));
    const auto t =
        Open(Line("NetShareEnum", pszServer, {std::to_string(sLevel), std::to_string(cbBuffer)}),
             pszServer, "NetShareEnum", sLevel, {50, 1});
    if (!t.server)
        return t.status;
    const int level = sLevel;
    return Enumerate(t.server->shares, pbBuffer, cbBuffer, pcEntriesRead, pcTotalAvail,
                     [level](SvrBufferWriter& w, const share_info_50& s) {
                         if (level == 50)
                             return WriteShareInfo50(w, s);
                         return WriteShareInfo1(w, {s.shi50_netname, s.shi50_type, s.shi50_remark});
                     });
}

NET_API_STATUS SvrApiLayer::NetShareGetInfo(const char* pszServer, const char* pszNetName,
                                            std::int16_t sLevel, std::span<std::uint8_t> pbBuffer,
                                            std::uint16_t cbBuffer, std::uint16_t* pcbTotalAvail)
{
    std::lock_guard lock(mutex);
    Set(pcbTotalAvail, std::uint16_t(0));
    const std::string name = Arg(pszNetName);
    const auto t = Open(Line("NetShareGetInfo", pszServer,
                             {name, std::to_string(sLevel), std::to_string(cbBuffer)}),
                        pszServer, "NetShareGetInfo", sLevel, {50, 1});
    if (!t.server)
        return t.status;
    const auto& shares = t.server->shares;
    const auto it = std::find_if(shares.begin(), shares.end(), [&](const share_info_50& s) {
        return SameName(s.shi50_netname, name);
    });
    if (it == shares.end())
        return NERR_NetNameNotFound;
    return Single(pbBuffer, cbBuffer, pcbTotalAvail, [&](SvrBufferWriter& w) {
        if (sLevel == 50)
            return WriteShareInfo50(w, *it);
        return WriteShareInfo1(w, {it->shi50_netname, it->shi50_type, it->shi50_remark});
    });
}

NET_API_STATUS SvrApiLayer::NetShareAdd(const char* pszServer, std::int16_t sLevel,
                                        std::span<const std::uint8_t> pbBuffer,
                                        std::uint16_t cbBuffer)
{
    std::lock_guard lock(mutex);
    const auto t =
        Open(Line("NetShareAdd", pszServer, {std::to_string(sLevel), std::to_string(cbBuffer)}),
             pszServer, "NetShareAdd", sLevel, {50});
    if (!t.server)
        return t.status;
    const auto share =
        Input<share_info_50>(pbBuffer, cbBuffer, SHARE_INFO_50_SIZE, ReadShareInfo50);
    if (!share || share->shi50_netname.empty())
        return ERROR_INVALID_PARAMETER;
    if (share->shi50_path.empty())
        return NERR_UnknownDevDir;
    auto& shares = t.server->shares;
    if (std::any_of(shares.begin(), shares.end(), [&](const share_info_50& s) {
            return SameName(s.shi50_netname, share->shi50_netname);
        }))
        return NERR_DuplicateShare;
    shares.push_back(*share);
    return NERR_Success;
}

NET_API_STATUS SvrApiLayer::NetShareDel(const char* pszServer, const char* pszNetName,
                                        std::uint16_t usReserved)
{
    std::lock_guard lock(mutex);
    const std::string name = Arg(pszNetName);
    const auto t = Open(Line("NetShareDel", pszServer, {name, std::to_string(usReserved)}),
                        pszServer, "NetShareDel", -1, {});
    if (!t.server)
        return t.status;
    if (t.server->ntFamily)
        return ERROR_INVALID_LEVEL;
    const auto removed = std::erase_if(
        t.server->shares, [&](const share_info_50& s) { return SameName(s.shi50_netname, name); });
    if (removed == 0)
        return NERR_NetNameNotFound;
    std::erase_if(t.server->connections,
                  [&](const SvrConnection& c) { return SameName(c.share, name); });
    return NERR_Success;
}

NET_API_STATUS SvrApiLayer::NetShareSetInfo(const char* pszServer, const char* pszNetName,
                                            std::int16_t sLevel,
                                            std::span<const std::uint8_t> pbBuffer,
                                            std::uint16_t cbBuffer, std::int16_t sParmNum)
{
    std::lock_guard lock(mutex);
    const std::string name = Arg(pszNetName);
    const auto t = Open(
        Line("NetShareSetInfo", pszServer,
             {name, std::to_string(sLevel), std::to_string(cbBuffer), std::to_string(sParmNum)}),
        pszServer, "NetShareSetInfo", sLevel, {50, 1});
    if (!t.server)
        return t.status;
    auto& shares = t.server->shares;
    const auto it = std::find_if(shares.begin(), shares.end(), [&](const share_info_50& s) {
        return SameName(s.shi50_netname, name);
    });
    if (it == shares.end())
        return NERR_NetNameNotFound;
    if (sParmNum != 0)
        return ERROR_INVALID_PARAMETER;
    if (sLevel == 1) {
        const auto info =
            Input<share_info_1>(pbBuffer, cbBuffer, SHARE_INFO_1_SIZE, ReadShareInfo1);
        if (!info)
            return ERROR_INVALID_PARAMETER;
        it->shi50_remark = info->shi1_remark;
        return NERR_Success;
    }
    const auto info = Input<share_info_50>(pbBuffer, cbBuffer, SHARE_INFO_50_SIZE, ReadShareInfo50);
    if (!info)
        return ERROR_INVALID_PARAMETER;
    // A share without a folder cannot exist; such a record is refused, not stored.
    if (info->shi50_path.empty())
        return NERR_UnknownDevDir;
    const std::string keptName = it->shi50_netname;
    *it = *info;
    it->shi50_netname = keptName;
    return NERR_Success;
}

} // namespace mallow::platform
