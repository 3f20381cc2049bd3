#include "platform/SambaNetApi.h"

#include "platform/NetBuffer.h"
#include "platform/SambaRpc.h"
#include "platform/SambaSession.h"
#include "platform/SrvsvcNdr.h"
#include "platform/Utf16.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

extern "C" {
#include <netapi.h>
}

// The library's header defines this code as a macro of another type.
#undef ERROR_MORE_DATA

namespace mallow::platform {

namespace {

// The library's record of NetWkstaGetInfo level 102, which its header does not declare.
struct SambaWkstaInfo102
{
    std::uint32_t wki102_platform_id;
    const char* wki102_computername;
    const char* wki102_langroup;
    std::uint32_t wki102_ver_major;
    std::uint32_t wki102_ver_minor;
    const char* wki102_lanroot;
    std::uint32_t wki102_logged_on_users;
};

/// A text argument for the library: empty stays a null pointer, as the library expects.
struct Arg
{
    explicit Arg(const char16_t* text) : value(ToUtf8(text)) {}
    const char* Get() const { return value.empty() ? nullptr : value.c_str(); }
    std::string value;
};

std::size_t Chars(const std::u16string& s)
{
    return s.size() + 1;
}

/// How many records fit into `prefmaxlen` bytes when each takes `recordSize` bytes and its
/// strings as UTF-16, the way the platform's library counts.
std::uint32_t RecordsThatFit(const std::vector<std::vector<std::u16string>>& strings,
                             std::size_t recordSize, std::uint32_t prefmaxlen)
{
    if (prefmaxlen == MAX_PREFERRED_LENGTH)
        return static_cast<std::uint32_t>(strings.size());
    std::uint64_t used = 0;
    std::uint32_t count = 0;
    for (const auto& record : strings) {
        std::uint64_t bytes = recordSize;
        for (const auto& s : record)
            bytes += Chars(s) * 2;
        if (used + bytes > prefmaxlen)
            break;
        used += bytes;
        ++count;
    }
    return count;
}

std::size_t TotalChars(const std::vector<std::vector<std::u16string>>& strings)
{
    std::size_t total = 0;
    for (const auto& record : strings)
        for (const auto& s : record)
            total += Chars(s);
    return total;
}

/// Owner of a buffer from the Samba library.
struct SambaBuffer
{
    ~SambaBuffer()
    {
        if (data)
            ::NetApiBufferFree(data);
    }
    std::uint8_t* data = nullptr;
};

/// Copies `count` Samba records into a buffer of Mallow's records. `strings` extracts a
/// record's texts in order; `fill` writes one record given its texts already in the buffer.
template <class Ours, class Theirs, class Strings, class Fill>
NET_API_STATUS Repack(const Theirs* records, std::uint32_t count, std::uint32_t prefmaxlen,
                      std::size_t platformRecordSize, Strings strings, Fill fill,
                      std::uint8_t** bufptr, std::uint32_t* entriesread,
                      std::uint32_t* totalentries)
{
    std::vector<std::vector<std::u16string>> texts(count);
    for (std::uint32_t i = 0; i < count; ++i)
        for (const char* s : strings(records[i]))
            texts[i].push_back(ToUtf16(s ? s : ""));
    const std::uint32_t fit = RecordsThatFit(texts, platformRecordSize, prefmaxlen);
    texts.resize(fit);
    NetBufferWriter writer(sizeof(Ours) * fit, TotalChars(texts));
    Ours* out = writer.template Records<Ours>();
    for (std::uint32_t i = 0; i < fit; ++i) {
        std::vector<char16_t*> placed;
        for (const auto& s : texts[i])
            placed.push_back(writer.Add(s));
        fill(out[i], records[i], placed);
    }
    *bufptr = fit ? writer.Release() : nullptr;
    if (entriesread)
        *entriesread = fit;
    if (totalentries)
        *totalentries = count;
    return fit < count ? ERROR_MORE_DATA : NERR_Success;
}

/// Share records at level 2, as both the enumeration and the single-share query answer them.
NET_API_STATUS RepackShareInfo2(const ::SHARE_INFO_2* records, std::uint32_t count,
                                std::uint32_t prefmaxlen, std::uint8_t** bufptr,
                                std::uint32_t* entriesread, std::uint32_t* totalentries)
{
    return Repack<SHARE_INFO_2>(
        records, count, prefmaxlen, 32,
        [](const ::SHARE_INFO_2& r) {
            return std::array<const char*, 4>{r.shi2_netname, r.shi2_remark, r.shi2_path,
                                              r.shi2_passwd};
        },
        [](SHARE_INFO_2& o, const ::SHARE_INFO_2& r, const std::vector<char16_t*>& s) {
            o = {s[0], r.shi2_type, s[1], r.shi2_permissions, r.shi2_max_uses, r.shi2_current_uses,
                 s[2], s[3]};
        },
        bufptr, entriesread, totalentries);
}

} // namespace

SambaNetApi::SambaNetApi() : SambaNetApi(Options{}) {}

SambaNetApi::SambaNetApi(Options options) : options(std::move(options)) {}

NET_API_STATUS SambaNetApi::NetFileEnum(const char16_t* servername, const char16_t* basepath,
                                        const char16_t* username, std::uint32_t level,
                                        std::uint8_t** bufptr, std::uint32_t prefmaxlen,
                                        std::uint32_t* entriesread, std::uint32_t* totalentries,
                                        std::uint32_t* resume_handle)
{
    *bufptr = nullptr;
    *entriesread = *totalentries = 0;
    if (level != 3)
        return ERROR_INVALID_LEVEL;
    const Arg base(basepath), user(username);
    return CallServer(options, servername, [&](libnetapi_ctx*, const std::string& host) {
        SambaBuffer buffer;
        std::uint32_t read = 0, total = 0, resume = resume_handle ? *resume_handle : 0;
        const NET_API_STATUS status =
            ::NetFileEnum(host.c_str(), base.Get(), user.Get(), 3, &buffer.data,
                          MAX_PREFERRED_LENGTH, &read, &total, &resume);
        if (status != 0 && status != ERROR_MORE_DATA)
            return status;
        return Repack<FILE_INFO_3>(
            reinterpret_cast<const ::FILE_INFO_3*>(buffer.data), read, prefmaxlen, 20,
            [](const ::FILE_INFO_3& r) {
                return std::array<const char*, 2>{r.fi3_pathname, r.fi3_username};
            },
            [](FILE_INFO_3& o, const ::FILE_INFO_3& r, const std::vector<char16_t*>& s) {
                o = {r.fi3_id, r.fi3_permissions, r.fi3_num_locks, s[0], s[1]};
            },
            bufptr, entriesread, totalentries);
    });
}

NET_API_STATUS SambaNetApi::NetFileClose(const char16_t* servername, std::uint32_t fileid)
{
    return CallServer(
        options, servername,
        [&](libnetapi_ctx*, const std::string& host) {
            return ::NetFileClose(host.c_str(), fileid);
        },
        Retry::Never);
}

namespace {

/// NetrSessionEnum at `level`; a server that refuses levels 2 and 502 (Samba answers 0 and 1
/// only) is asked again at level 1, and the texts level 1 lacks stay empty.
NET_API_STATUS EnumerateSessions(libnetapi_ctx* ctx, const std::string& host,
                                 const std::u16string& client, const std::u16string& user,
                                 std::uint32_t level, std::uint32_t prefmaxlen, unsigned timeoutMs,
                                 std::vector<srvsvc::SessionEntry>& entries)
{
    const std::u16string server = u"\\\\" + ToUtf16(host);
    auto ask = [&](std::uint32_t askLevel) -> NET_API_STATUS {
        std::vector<std::uint8_t> reply;
        const auto request = srvsvc::EncodeSessionEnumRequest(
            server, client.empty() ? nullptr : &client, user.empty() ? nullptr : &user, askLevel,
            prefmaxlen, 0);
        const NET_API_STATUS sent =
            SrvsvcRawCall(ctx, host, srvsvc::OpNetrSessionEnum, request, reply, timeoutMs);
        if (sent != 0)
            return sent;
        try {
            auto decoded = srvsvc::DecodeSessionEnumReply(reply, askLevel);
            entries = std::move(decoded.entries);
            return decoded.status;
        } catch (const srvsvc::NdrError&) {
            return RPC_S_CALL_FAILED;
        }
    };
    NET_API_STATUS status = ask(level);
    if (status == ERROR_INVALID_LEVEL && (level == 502 || level == 2))
        status = ask(1);
    return status;
}

bool SameText(std::u16string a, std::u16string b)
{
    auto lower = [](std::u16string& s) {
        for (auto& c : s)
            if (c < 128)
                c = static_cast<char16_t>(std::tolower(c));
    };
    lower(a);
    lower(b);
    return a == b;
}

std::u16string WithoutBackslashes(std::u16string name)
{
    name.erase(0, name.find_first_not_of(u'\\'));
    return name;
}

} // namespace

NET_API_STATUS SambaNetApi::NetSessionEnum(const char16_t* servername,
                                           const char16_t* UncClientName, const char16_t* username,
                                           std::uint32_t level, std::uint8_t** bufptr,
                                           std::uint32_t prefmaxlen, std::uint32_t* entriesread,
                                           std::uint32_t* totalentries,
                                           std::uint32_t* /*resume_handle*/)
{
    *bufptr = nullptr;
    *entriesread = *totalentries = 0;
    if (level != 502 && level != 2)
        return ERROR_INVALID_LEVEL;
    const std::u16string client = UncClientName ? UncClientName : u"";
    const std::u16string user = username ? username : u"";
    return CallServer(options, servername, [&](libnetapi_ctx* ctx, const std::string& host) {
        std::vector<srvsvc::SessionEntry> entries;
        const NET_API_STATUS status = EnumerateSessions(ctx, host, client, user, level, prefmaxlen,
                                                        options.timeoutMs, entries);
        if (status != 0)
            return status;
        auto strings = [level](const srvsvc::SessionEntry& e) {
            std::vector<const std::u16string*> s = {&e.client, &e.user, &e.clientType};
            if (level == 502)
                s.push_back(&e.transport);
            return s;
        };
        std::vector<std::vector<std::u16string>> texts;
        for (const auto& e : entries) {
            texts.emplace_back();
            for (const auto* s : strings(e))
                texts.back().push_back(*s);
        }
        const std::uint32_t fit = RecordsThatFit(texts, level == 502 ? 32 : 28, prefmaxlen);
        texts.resize(fit);
        const std::size_t recordSize =
            level == 502 ? sizeof(SESSION_INFO_502) : sizeof(SESSION_INFO_2);
        NetBufferWriter writer(recordSize * fit, TotalChars(texts));
        for (std::uint32_t i = 0; i < fit; ++i) {
            const auto& e = entries[i];
            if (level == 502) {
                auto& o = writer.Records<SESSION_INFO_502>()[i];
                o.sesi502_cname = writer.Add(e.client);
                o.sesi502_username = writer.Add(e.user);
                o.sesi502_num_opens = e.numOpens;
                o.sesi502_time = e.time;
                o.sesi502_idle_time = e.idleTime;
                o.sesi502_user_flags = e.userFlags;
                o.sesi502_cltype_name = writer.Add(e.clientType);
                o.sesi502_transport = writer.Add(e.transport);
            } else {
                auto& o = writer.Records<SESSION_INFO_2>()[i];
                o.sesi2_cname = writer.Add(e.client);
                o.sesi2_username = writer.Add(e.user);
                o.sesi2_num_opens = e.numOpens;
                o.sesi2_time = e.time;
                o.sesi2_idle_time = e.idleTime;
                o.sesi2_user_flags = e.userFlags;
                o.sesi2_cltype_name = writer.Add(e.clientType);
            }
        }
        *bufptr = fit ? writer.Release() : nullptr;
        *entriesread = fit;
        *totalentries = static_cast<std::uint32_t>(entries.size());
        return fit < entries.size() ? ERROR_MORE_DATA : NERR_Success;
    });
}

NET_API_STATUS SambaNetApi::NetSessionGetInfo(const char16_t* servername,
                                              const char16_t* UncClientName,
                                              const char16_t* username, std::uint32_t level,
                                              std::uint8_t** bufptr)
{
    *bufptr = nullptr;
    if (level != 2)
        return ERROR_INVALID_LEVEL;
    const std::u16string client = WithoutBackslashes(UncClientName ? UncClientName : u"");
    const std::u16string user = username ? username : u"";
    return CallServer(options, servername, [&](libnetapi_ctx* ctx, const std::string& host) {
        std::vector<srvsvc::SessionEntry> entries;
        const std::u16string uncClient = client.empty() ? u"" : u"\\\\" + client;
        const NET_API_STATUS status = EnumerateSessions(
            ctx, host, uncClient, user, 2, MAX_PREFERRED_LENGTH, options.timeoutMs, entries);
        if (status != 0)
            return status;
        // Servers that ignore the filter (Samba does) answer every session; pick the one asked.
        const auto match = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
            return (client.empty() || SameText(WithoutBackslashes(e.client), client)) &&
                   (user.empty() || SameText(e.user, user));
        });
        if (match == entries.end())
            return NERR_ClientNameNotFound;
        NetBufferWriter writer(sizeof(SESSION_INFO_2), Chars(match->client) + Chars(match->user) +
                                                           Chars(match->clientType));
        auto& o = *writer.Records<SESSION_INFO_2>();
        o.sesi2_cname = writer.Add(match->client);
        o.sesi2_username = writer.Add(match->user);
        o.sesi2_num_opens = match->numOpens;
        o.sesi2_time = match->time;
        o.sesi2_idle_time = match->idleTime;
        o.sesi2_user_flags = match->userFlags;
        o.sesi2_cltype_name = writer.Add(match->clientType);
        *bufptr = writer.Release();
        return NERR_Success;
    });
}

NET_API_STATUS SambaNetApi::NetSessionDel(const char16_t* servername, const char16_t* UncClientName,
                                          const char16_t* username)
{
    const std::u16string client = UncClientName ? UncClientName : u"";
    const std::u16string user = username ? username : u"";
    return CallServer(
        options, servername,
        [&](libnetapi_ctx* ctx, const std::string& host) {
            std::vector<std::uint8_t> reply;
            const auto request = srvsvc::EncodeSessionDelRequest(u"\\\\" + ToUtf16(host),
                                                                 client.empty() ? nullptr : &client,
                                                                 user.empty() ? nullptr : &user);
            const NET_API_STATUS sent = SrvsvcRawCall(ctx, host, srvsvc::OpNetrSessionDel, request,
                                                      reply, options.timeoutMs);
            if (sent != 0)
                return sent;
            try {
                return srvsvc::DecodeSessionDelReply(reply);
            } catch (const srvsvc::NdrError&) {
                return RPC_S_CALL_FAILED;
            }
        },
        Retry::Never);
}

NET_API_STATUS SambaNetApi::NetConnectionEnum(const char16_t* servername, const char16_t* qualifier,
                                              std::uint32_t level, std::uint8_t** bufptr,
                                              std::uint32_t prefmaxlen, std::uint32_t* entriesread,
                                              std::uint32_t* totalentries,
                                              std::uint32_t* /*resume_handle*/)
{
    *bufptr = nullptr;
    *entriesread = *totalentries = 0;
    if (level != 1)
        return ERROR_INVALID_LEVEL;
    const std::u16string which = qualifier ? qualifier : u"";
    return CallServer(options, servername, [&](libnetapi_ctx* ctx, const std::string& host) {
        std::vector<std::uint8_t> reply;
        const auto request =
            srvsvc::EncodeConnectionEnumRequest(u"\\\\" + ToUtf16(host), &which, 1, prefmaxlen, 0);
        const NET_API_STATUS sent = SrvsvcRawCall(ctx, host, srvsvc::OpNetrConnectionEnum, request,
                                                  reply, options.timeoutMs);
        if (sent != 0)
            return sent;
        srvsvc::ConnectionEnumReply decoded;
        try {
            decoded = srvsvc::DecodeConnectionEnumReply(reply, 1);
        } catch (const srvsvc::NdrError&) {
            return RPC_S_CALL_FAILED;
        }
        if (decoded.status != 0)
            return decoded.status;
        std::vector<std::vector<std::u16string>> texts;
        for (const auto& e : decoded.entries)
            texts.push_back({e.user, e.netName});
        const std::uint32_t fit = RecordsThatFit(texts, 28, prefmaxlen);
        texts.resize(fit);
        NetBufferWriter writer(sizeof(CONNECTION_INFO_1) * fit, TotalChars(texts));
        for (std::uint32_t i = 0; i < fit; ++i) {
            const auto& e = decoded.entries[i];
            auto& o = writer.Records<CONNECTION_INFO_1>()[i];
            o = {e.id,
                 e.type,
                 e.numOpens,
                 e.numUsers,
                 e.time,
                 writer.Add(e.user),
                 writer.Add(e.netName)};
        }
        *bufptr = fit ? writer.Release() : nullptr;
        *entriesread = fit;
        *totalentries = static_cast<std::uint32_t>(decoded.entries.size());
        return fit < decoded.entries.size() ? ERROR_MORE_DATA : NERR_Success;
    });
}

NET_API_STATUS SambaNetApi::NetServerGetInfo(const char16_t* servername, std::uint32_t level,
                                             std::uint8_t** bufptr)
{
    *bufptr = nullptr;
    if (level != 101)
        return ERROR_INVALID_LEVEL;
    return CallServer(options, servername, [&](libnetapi_ctx*, const std::string& host) {
        SambaBuffer buffer;
        const NET_API_STATUS status = ::NetServerGetInfo(host.c_str(), 101, &buffer.data);
        if (status != 0)
            return status;
        return Repack<SERVER_INFO_101>(
            reinterpret_cast<const ::SERVER_INFO_101*>(buffer.data), 1, MAX_PREFERRED_LENGTH, 24,
            [](const ::SERVER_INFO_101& r) {
                return std::array<const char*, 2>{r.sv101_name, r.sv101_comment};
            },
            [](SERVER_INFO_101& o, const ::SERVER_INFO_101& r, const std::vector<char16_t*>& s) {
                o = {r.sv101_platform_id,   s[0],         r.sv101_version_major,
                     r.sv101_version_minor, r.sv101_type, s[1]};
            },
            bufptr, nullptr, nullptr);
    });
}

NET_API_STATUS SambaNetApi::NetWkstaGetInfo(const char16_t* servername, std::uint32_t level,
                                            std::uint8_t** bufptr)
{
    *bufptr = nullptr;
    if (level != 102)
        return ERROR_INVALID_LEVEL;
    return CallServer(options, servername, [&](libnetapi_ctx*, const std::string& host) {
        SambaBuffer buffer;
        const NET_API_STATUS status = ::NetWkstaGetInfo(host.c_str(), 102, &buffer.data);
        if (status != 0)
            return status;
        return Repack<WKSTA_INFO_102>(
            reinterpret_cast<const SambaWkstaInfo102*>(buffer.data), 1, MAX_PREFERRED_LENGTH, 28,
            [](const SambaWkstaInfo102& r) {
                return std::array<const char*, 3>{r.wki102_computername, r.wki102_langroup,
                                                  r.wki102_lanroot};
            },
            [](WKSTA_INFO_102& o, const SambaWkstaInfo102& r, const std::vector<char16_t*>& s) {
                o = {r.wki102_platform_id,
                     s[0],
                     s[1],
                     r.wki102_ver_major,
                     r.wki102_ver_minor,
                     s[2],
                     r.wki102_logged_on_users};
            },
            bufptr, nullptr, nullptr);
    });
}

NET_API_STATUS SambaNetApi::NetShareEnum(const char16_t* servername, std::uint32_t level,
                                         std::uint8_t** bufptr, std::uint32_t prefmaxlen,
                                         std::uint32_t* entriesread, std::uint32_t* totalentries,
                                         std::uint32_t* /*resume_handle*/)
{
    *bufptr = nullptr;
    *entriesread = *totalentries = 0;
    if (level != 1 && level != 2)
        return ERROR_INVALID_LEVEL;
    return CallServer(options, servername, [&](libnetapi_ctx*, const std::string& host) {
        SambaBuffer buffer;
        std::uint32_t read = 0, total = 0, resume = 0;
        const NET_API_STATUS status = ::NetShareEnum(host.c_str(), level, &buffer.data,
                                                     MAX_PREFERRED_LENGTH, &read, &total, &resume);
        if (status != 0 && status != ERROR_MORE_DATA)
            return status;
        if (level == 1)
            return Repack<SHARE_INFO_1>(
                reinterpret_cast<const ::SHARE_INFO_1*>(buffer.data), read, prefmaxlen, 12,
                [](const ::SHARE_INFO_1& r) {
                    return std::array<const char*, 2>{r.shi1_netname, r.shi1_remark};
                },
                [](SHARE_INFO_1& o, const ::SHARE_INFO_1& r, const std::vector<char16_t*>& s) {
                    o = {s[0], r.shi1_type, s[1]};
                },
                bufptr, entriesread, totalentries);
        return RepackShareInfo2(reinterpret_cast<const ::SHARE_INFO_2*>(buffer.data), read,
                                prefmaxlen, bufptr, entriesread, totalentries);
    });
}

NET_API_STATUS SambaNetApi::NetShareGetInfo(const char16_t* servername, const char16_t* netname,
                                            std::uint32_t level, std::uint8_t** bufptr)
{
    *bufptr = nullptr;
    if (level != 2)
        return ERROR_INVALID_LEVEL;
    const Arg share(netname);
    return CallServer(options, servername, [&](libnetapi_ctx*, const std::string& host) {
        SambaBuffer buffer;
        const NET_API_STATUS status =
            ::NetShareGetInfo(host.c_str(), share.value.c_str(), 2, &buffer.data);
        if (status != 0)
            return status;
        return RepackShareInfo2(reinterpret_cast<const ::SHARE_INFO_2*>(buffer.data), 1,
                                MAX_PREFERRED_LENGTH, bufptr, nullptr, nullptr);
    });
}

namespace {

/// A level-2 share record in the library's form, its texts kept alive alongside.
struct SambaShare
{
    explicit SambaShare(const SHARE_INFO_2& r)
        : name(ToUtf8(r.shi2_netname)), remark(ToUtf8(r.shi2_remark)), path(ToUtf8(r.shi2_path)),
          password(ToUtf8(r.shi2_passwd))
    {
        record.shi2_netname = r.shi2_netname ? name.c_str() : nullptr;
        record.shi2_type = r.shi2_type;
        record.shi2_remark = r.shi2_remark ? remark.c_str() : nullptr;
        record.shi2_permissions = r.shi2_permissions;
        record.shi2_max_uses = r.shi2_max_uses;
        record.shi2_current_uses = r.shi2_current_uses;
        record.shi2_path = r.shi2_path ? path.c_str() : nullptr;
        record.shi2_passwd = r.shi2_passwd ? password.c_str() : nullptr;
    }
    std::uint8_t* Bytes() { return reinterpret_cast<std::uint8_t*>(&record); }
    std::string name, remark, path, password;
    ::SHARE_INFO_2 record{};
};

} // namespace

NET_API_STATUS SambaNetApi::NetShareAdd(const char16_t* servername, std::uint32_t level,
                                        const std::uint8_t* buf, std::uint32_t* parm_err)
{
    if (level != 2)
        return ERROR_INVALID_LEVEL;
    if (!buf)
        return ERROR_INVALID_PARAMETER;
    SambaShare share(*reinterpret_cast<const SHARE_INFO_2*>(buf));
    return CallServer(
        options, servername,
        [&](libnetapi_ctx*, const std::string& host) {
            std::uint32_t error = 0;
            const NET_API_STATUS status = ::NetShareAdd(host.c_str(), 2, share.Bytes(), &error);
            if (parm_err)
                *parm_err = error;
            return status;
        },
        Retry::Never);
}

NET_API_STATUS SambaNetApi::NetShareDel(const char16_t* servername, const char16_t* netname,
                                        std::uint32_t reserved)
{
    const Arg share(netname);
    return CallServer(
        options, servername,
        [&](libnetapi_ctx*, const std::string& host) {
            return ::NetShareDel(host.c_str(), share.value.c_str(), reserved);
        },
        Retry::Never);
}

NET_API_STATUS SambaNetApi::NetShareSetInfo(const char16_t* servername, const char16_t* netname,
                                            std::uint32_t level, const std::uint8_t* buf,
                                            std::uint32_t* parm_err)
{
    if (level != 2)
        return ERROR_INVALID_LEVEL;
    if (!buf)
        return ERROR_INVALID_PARAMETER;
    const Arg name(netname);
    SambaShare share(*reinterpret_cast<const SHARE_INFO_2*>(buf));
    return CallServer(
        options, servername,
        [&](libnetapi_ctx*, const std::string& host) {
            std::uint32_t error = 0;
            const NET_API_STATUS status =
                ::NetShareSetInfo(host.c_str(), name.value.c_str(), 2, share.Bytes(), &error);
            if (parm_err)
                *parm_err = error;
            return status;
        },
        Retry::Never);
}

NET_API_STATUS SambaNetApi::NetApiBufferFree(void* buffer)
{
    NetBufferFree(buffer);
    return NERR_Success;
}

} // namespace mallow::platform
