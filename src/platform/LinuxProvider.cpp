#include "platform/LinuxProvider.h"

#include "platform/MountTable.h"
#include "platform/SmbContext.h"
#include "platform/SambaOutput.h"
#include "platform/SambaStatus.h"
#include "util/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <utility>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <libsmbclient.h>

extern char** environ;

namespace mallow::platform {

namespace {

constexpr DWORD MoreData = ERROR_MORE_DATA;
constexpr DWORD UnexpectedNetError = ERROR_UNEXP_NET_ERR;

std::string Text(const char* s)
{
    return s ? std::string(s) : std::string();
}

/// "\\server\share\rest" or "//server/share/rest" split into its parts.
struct RemoteParts
{
    std::string server, share, rest;
};

std::optional<RemoteParts> SplitRemote(const std::string& remote)
{
    std::string name = remote;
    std::replace(name.begin(), name.end(), '/', '\\');
    if (name.rfind("\\\\", 0) != 0 || name.size() < 3)
        return std::nullopt;
    name = name.substr(2);
    RemoteParts parts;
    const auto slash = name.find('\\');
    parts.server = name.substr(0, slash);
    if (slash != std::string::npos) {
        const auto next = name.find('\\', slash + 1);
        parts.share = name.substr(slash + 1, next == std::string::npos ? next : next - slash - 1);
        if (next != std::string::npos)
            parts.rest = name.substr(next);
    }
    if (parts.server.empty())
        return std::nullopt;
    return parts;
}

DWORD CodeOfErrno(int error)
{
    switch (error) {
    case EACCES:
        return ERROR_LOGON_FAILURE;
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENODEV:
    case ENOTDIR:
        return ERROR_BAD_NET_NAME;
    case ETIMEDOUT:
        return ERROR_SEM_TIMEOUT;
    case EHOSTUNREACH:
    case ECONNREFUSED:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EINVAL:
        return ERROR_BAD_NETPATH;
    case EBUSY:
        return ERROR_DEVICE_IN_USE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return UnexpectedNetError;
    }
}

/// Copies texts into a caller's buffer after a fixed record; answers 234 with the size
/// needed when they do not fit.
class BufferLayout
{
public:
    BufferLayout(void* buffer, DWORD* size, std::size_t fixed)
        : buffer(static_cast<char*>(buffer)), size(size), used(fixed)
    {
    }
    void Need(const std::string& text) { needed += text.size() + 1; }
    bool Fits() const { return buffer && used + needed <= *size; }
    DWORD Refuse()
    {
        *size = static_cast<DWORD>(used + needed);
        return MoreData;
    }
    char* Put(const std::string& text)
    {
        char* at = buffer + used;
        std::memcpy(at, text.c_str(), text.size() + 1);
        used += text.size() + 1;
        return at;
    }

private:
    char* buffer;
    DWORD* size;
    std::size_t used;
    std::size_t needed = 0;
};

DWORD CopyOut(const std::string& text, char* buffer, DWORD* length)
{
    if (!buffer || *length < text.size() + 1) {
        *length = static_cast<DWORD>(text.size() + 1);
        return MoreData;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return NO_ERROR;
}

struct Enumeration
{
    std::vector<NETRESOURCEA> records;
    std::vector<std::string> remote, comment;
    std::size_t next = 0;
};

std::string SmbUrl(const RemoteParts& parts)
{
    std::string url = "smb://" + parts.server + "/";
    if (!parts.share.empty())
        url += parts.share + "/";
    return url;
}

/// Where a share is mounted when the caller names no local device.
std::string AutomaticMountPoint(const RemoteParts& parts)
{
    std::string base = Text(std::getenv("XDG_RUNTIME_DIR"));
    if (base.empty())
        base = "/tmp/mallow-" + std::to_string(getuid());
    return base + "/mallow-net/" + parts.server + "/" + parts.share;
}

std::string FindMountCifs()
{
    for (const char* candidate : {"/sbin/mount.cifs", "/usr/sbin/mount.cifs"})
        if (access(candidate, X_OK) == 0)
            return candidate;
    return {};
}

} // namespace

LinuxProvider::LinuxProvider() : LinuxProvider(Options{}) {}

LinuxProvider::LinuxProvider(Options options) : options(std::move(options)) {}

LinuxProvider::~LinuxProvider() = default;

const char* LinuxProvider::ProviderName()
{
    return "SMB Network";
}

DWORD LinuxProvider::Fail(DWORD code, const std::string& text)
{
    lastError = code;
    lastErrorText = text;
    return code;
}

DWORD LinuxProvider::Connect(const std::string& remote, const std::string& local,
                             const char* password, const char* user)
{
    const auto parts = SplitRemote(remote);
    if (!parts || parts->share.empty())
        return Fail(ERROR_BAD_NET_NAME, "not a share: " + remote);
    NetCredentials credentials = options.credentials;
    if (user && *user) {
        credentials.user = user;
        credentials.password = password ? password : "";
    }
    if (local.empty()) {
        // A connection without a device: check that the share answers to these credentials.
        SmbContext smb(credentials, options.timeoutMs);
        std::vector<SmbContext::Entry> entries;
        const int error = smb.List(SmbUrl(*parts), entries);
        return error ? Fail(CodeOfErrno(error), std::strerror(error)) : NO_ERROR;
    }
    const std::string helper = FindMountCifs();
    if (helper.empty())
        return Fail(ERROR_NOT_SUPPORTED,
                    "Mounting a share needs mount.cifs (package cifs-utils), which is missing");
    const NetCredentials effective = Effective(credentials);
    // Credentials go through a private file, never the command line.
    char credentialsPath[] = "/tmp/mallow-cred-XXXXXX";
    const int fd = mkstemp(credentialsPath);
    if (fd < 0)
        return Fail(UnexpectedNetError, std::strerror(errno));
    const std::string content =
        "username=" + effective.user + "\npassword=" + effective.password + "\n" +
        (effective.domain.empty() ? "" : "domain=" + effective.domain + "\n");
    const bool written =
        write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    close(fd);
    std::unique_ptr<char, void (*)(char*)> removeFile(credentialsPath, [](char* p) { unlink(p); });
    if (!written)
        return Fail(UnexpectedNetError, "cannot write the credentials file");
    std::error_code ec;
    std::filesystem::create_directories(local, ec);

    const std::string source = "//" + parts->server + "/" + parts->share;
    const std::string mountOptions = std::string("credentials=") + credentialsPath;
    std::vector<std::string> args = {helper, source, local, "-o", mountOptions};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0)
        return Fail(UnexpectedNetError, std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], 2);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], 1);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, helper.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(errorPipe[1]);
    if (spawned != 0) {
        close(errorPipe[0]);
        return Fail(ERROR_NOT_SUPPORTED, std::strerror(spawned));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            close(errorPipe[0]);
            return Fail(ERROR_SEM_TIMEOUT, "mount.cifs did not finish in time");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string output;
    char chunk[512];
    for (ssize_t n; (n = read(errorPipe[0], chunk, sizeof chunk)) > 0;)
        output.append(chunk, static_cast<std::size_t>(n));
    close(errorPipe[0]);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return NO_ERROR;
    int mountErrno = EIO;
    if (const auto at = output.find("mount error("); at != std::string::npos)
        mountErrno = std::atoi(output.c_str() + at + 12);
    return Fail(CodeOfErrno(mountErrno), output);
}

DWORD LinuxProvider::WNetAddConnection2A(const NETRESOURCEA* resource, const char* password,
                                         const char* userName, DWORD /*flags*/)
{
    if (!resource)
        return Fail(ERROR_INVALID_PARAMETER, "no resource");
    return Connect(Text(resource->lpRemoteName), Text(resource->lpLocalName), password, userName);
}

DWORD LinuxProvider::WNetAddConnection3A(HWND, const NETRESOURCEA* resource, const char* password,
                                         const char* userName, DWORD flags)
{
    return WNetAddConnection2A(resource, password, userName, flags);
}

DWORD LinuxProvider::WNetCancelConnectionA(const char* name, bool force)
{
    return WNetCancelConnection2A(name, 0, force);
}

DWORD LinuxProvider::WNetCancelConnection2A(const char* name, DWORD, bool force)
{
    const std::string local = Text(name);
    const auto shares = MountedShares(ReadMountTable());
    const auto mounted =
        std::find_if(shares.begin(), shares.end(), [&](const auto& s) { return s.drive == local; });
    if (mounted == shares.end())
        return Fail(ERROR_NOT_CONNECTED, local + " is not a mounted share");
    if (umount2(local.c_str(), force ? MNT_FORCE : 0) != 0)
        return Fail(CodeOfErrno(errno), std::strerror(errno));
    return NO_ERROR;
}

DWORD LinuxProvider::WNetConnectionDialog(HWND owner, DWORD)
{
    if (!options.dialogs)
        return Fail(ERROR_NOT_SUPPORTED, "no connection dialog in this program");
    const auto choice = options.dialogs->AskConnect(owner, "");
    if (!choice)
        return WN_CANCELLED;
    return Connect(choice->remoteName, choice->localName, choice->password.c_str(),
                   choice->userName.c_str());
}

DWORD LinuxProvider::WNetDisconnectDialog(HWND owner, DWORD)
{
    if (!options.dialogs)
        return Fail(ERROR_NOT_SUPPORTED, "no connection dialog in this program");
    std::vector<ConnectionEntry> connections;
    for (const auto& share : MountedShares(ReadMountTable()))
        connections.push_back({share.drive, share.remoteName});
    const auto local = options.dialogs->AskDisconnect(owner, connections);
    if (!local)
        return WN_CANCELLED;
    return WNetCancelConnection2A(local->c_str(), 0, false);
}

DWORD LinuxProvider::WNetConnectionDialog1A(CONNECTDLGSTRUCTA* dialog)
{
    if (!dialog)
        return Fail(ERROR_INVALID_PARAMETER, "no dialog structure");
    if (!options.dialogs)
        return Fail(ERROR_NOT_SUPPORTED, "no connection dialog in this program");
    const std::string remote =
        dialog->lpConnRes ? Text(dialog->lpConnRes->lpRemoteName) : std::string();
    const auto choice = options.dialogs->AskConnect(dialog->hwndOwner, remote);
    if (!choice)
        return WN_CANCELLED;
    return Connect(choice->remoteName, choice->localName, choice->password.c_str(),
                   choice->userName.c_str());
}

DWORD LinuxProvider::WNetDisconnectDialog1A(DISCDLGSTRUCTA* dialog)
{
    if (!dialog)
        return Fail(ERROR_INVALID_PARAMETER, "no dialog structure");
    constexpr DWORD NoForce = 0x40;
    return WNetCancelConnection2A(dialog->lpLocalName, 0, (dialog->dwFlags & NoForce) == 0);
}

DWORD LinuxProvider::WNetGetUniversalNameA(const char* localPath, DWORD infoLevel, void* buffer,
                                           DWORD* bufferSize)
{
    const std::string path = Text(localPath);
    const auto connection = NetworkConnectionOf(path, ReadMountTable());
    if (!connection)
        return Fail(ERROR_NOT_CONNECTED, path + " is not on a network share");
    std::string rest = path.substr(std::min(path.size(), connection->drive.size()));
    const char separator = connection->remoteName.rfind("//", 0) == 0 ? '/' : '\\';
    std::replace(rest.begin(), rest.end(), '/', separator);
    const std::string universal = connection->remoteName + rest;
    if (infoLevel == REMOTE_NAME_INFO_LEVEL) {
        BufferLayout layout(buffer, bufferSize, sizeof(REMOTE_NAME_INFOA));
        layout.Need(universal);
        layout.Need(connection->remoteName);
        layout.Need(rest);
        if (!layout.Fits())
            return layout.Refuse();
        auto* info = static_cast<REMOTE_NAME_INFOA*>(buffer);
        info->lpUniversalName = layout.Put(universal);
        info->lpConnectionName = layout.Put(connection->remoteName);
        info->lpRemainingPath = layout.Put(rest);
        return NO_ERROR;
    }
    if (infoLevel != UNIVERSAL_NAME_INFO_LEVEL)
        return Fail(ERROR_INVALID_LEVEL, "unknown information level");
    BufferLayout layout(buffer, bufferSize, sizeof(UNIVERSAL_NAME_INFOA));
    layout.Need(universal);
    if (!layout.Fits())
        return layout.Refuse();
    static_cast<UNIVERSAL_NAME_INFOA*>(buffer)->lpUniversalName = layout.Put(universal);
    return NO_ERROR;
}

DWORD LinuxProvider::WNetGetUserA(const char* name, char* userName, DWORD* length)
{
    std::string user;
    if (name && *name) {
        const auto connection = NetworkConnectionOf(name, ReadMountTable());
        if (!connection)
            return Fail(ERROR_NOT_CONNECTED, std::string(name) + " is not on a network share");
        user = connection->userName;
    }
    if (user.empty()) {
        if (const passwd* entry = getpwuid(geteuid()))
            user = entry->pw_name;
    }
    return CopyOut(user, userName, length);
}

DWORD LinuxProvider::WNetGetConnectionA(const char* localName, char* remoteName, DWORD* length)
{
    const std::string local = Text(localName);
    // Drive letters mean nothing here; a path names the mount that holds it.
    if (local.empty() || local[0] != '/')
        return Fail(ERROR_BAD_DEVICE, local + " is not a path on this machine");
    const auto connection = NetworkConnectionOf(local, ReadMountTable());
    if (!connection)
        return Fail(ERROR_NOT_CONNECTED, local + " is not on a network share");
    return CopyOut(connection->remoteName, remoteName, length);
}

DWORD LinuxProvider::WNetOpenEnumA(DWORD, DWORD, DWORD, const NETRESOURCEA* resource,
                                   HANDLE* handle)
{
    *handle = nullptr;
    std::string url = "smb://";
    std::string server;
    bool workgroup = false;
    if (resource && resource->lpRemoteName && *resource->lpRemoteName) {
        const std::string remote = resource->lpRemoteName;
        if (const auto parts = SplitRemote(remote)) {
            if (!parts->share.empty())
                return Fail(ERROR_NOT_CONTAINER, "a share is not a container");
            server = parts->server;
            url += server + "/";
        } else {
            url += remote + "/";
            workgroup = true;
        }
    }
    const bool top = url == "smb://";
    SmbContext smb(options.credentials, options.timeoutMs);
    std::vector<SmbContext::Entry> entries;
    const int error = smb.List(url, entries);
    if (error == EACCES || error == EPERM)
        return Fail(ERROR_NOT_AUTHENTICATED, std::strerror(error));
    if (top && (error || entries.empty())) {
        // The workgroups of the network come from a browse master. Without one, the servers
        // Mallow knows of stand in for them.
        for (const auto& known : KnownServers(
                 options.servers, Text(std::getenv("MALLOW_SMB_SERVERS")), ReadMountTable()))
            entries.push_back({SMBC_SERVER, known, ""});
        if (entries.empty())
            return Fail(ERROR_NO_BROWSER_SERVERS_FOUND,
                        "No browse master answered with the workgroups of the network" +
                            (error ? " (" + std::string(std::strerror(error)) + ")" : "") +
                            ". Name the servers in MALLOW_SMB_SERVERS or mount their shares.");
    } else if (error && workgroup) {
        return Fail(ERROR_EXTENDED_ERROR, "No browse master answered with the servers of the "
                                          "workgroup " +
                                              url.substr(6, url.size() - 7) + " (" +
                                              std::strerror(error) + ").");
    } else if (error) {
        return Fail(ERROR_EXTENDED_ERROR, "Listing " + url + ": " + std::strerror(error));
    }
    auto enumeration = std::make_unique<Enumeration>();
    for (const auto& e : entries) {
        NETRESOURCEA r;
        r.dwScope = RESOURCE_GLOBALNET;
        std::string remote;
        switch (e.type) {
        case SMBC_WORKGROUP:
            r.dwDisplayType = RESOURCEDISPLAYTYPE_DOMAIN;
            r.dwUsage = RESOURCEUSAGE_CONTAINER;
            remote = e.name;
            break;
        case SMBC_SERVER:
            r.dwDisplayType = RESOURCEDISPLAYTYPE_SERVER;
            r.dwUsage = RESOURCEUSAGE_CONTAINER;
            remote = "\\\\" + e.name;
            break;
        case SMBC_FILE_SHARE:
        case SMBC_PRINTER_SHARE:
            // Hidden administrative shares are not offered, as the platform does.
            if (!e.name.empty() && e.name.back() == '$')
                continue;
            r.dwType = e.type == SMBC_FILE_SHARE ? RESOURCETYPE_DISK : RESOURCETYPE_PRINT;
            r.dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
            r.dwUsage = RESOURCEUSAGE_CONNECTABLE;
            remote = "\\\\" + server + "\\" + e.name;
            break;
        default:
            continue;
        }
        enumeration->records.push_back(r);
        enumeration->remote.push_back(remote);
        enumeration->comment.push_back(e.comment);
    }
    *handle = enumeration.release();
    return NO_ERROR;
}

DWORD LinuxProvider::WNetEnumResourceA(HANDLE handle, DWORD* count, void* buffer, DWORD* bufferSize)
{
    auto* enumeration = static_cast<Enumeration*>(handle);
    if (!enumeration)
        return Fail(ERROR_INVALID_HANDLE, "no enumeration");
    if (enumeration->next >= enumeration->records.size())
        return ERROR_NO_MORE_ITEMS;
    const std::size_t wanted =
        std::min<std::size_t>(*count, enumeration->records.size() - enumeration->next);
    // As many records as fit, their texts after the array.
    std::size_t fit = 0;
    std::size_t textBytes = 0;
    const std::string provider = ProviderName();
    auto textsOf = [&](std::size_t i) {
        return enumeration->remote[i].size() + enumeration->comment[i].size() + provider.size() + 3;
    };
    while (fit < wanted) {
        const std::size_t i = enumeration->next + fit;
        const std::size_t total = (fit + 1) * sizeof(NETRESOURCEA) + textBytes + textsOf(i);
        if (!buffer || total > *bufferSize)
            break;
        textBytes += textsOf(i);
        ++fit;
    }
    if (fit == 0) {
        *bufferSize = static_cast<DWORD>(sizeof(NETRESOURCEA) + textsOf(enumeration->next));
        return MoreData;
    }
    auto* records = static_cast<NETRESOURCEA*>(buffer);
    char* text = static_cast<char*>(buffer) + fit * sizeof(NETRESOURCEA);
    auto put = [&](const std::string& s) {
        char* at = text;
        std::memcpy(at, s.c_str(), s.size() + 1);
        text += s.size() + 1;
        return at;
    };
    for (std::size_t k = 0; k < fit; ++k) {
        const std::size_t i = enumeration->next + k;
        records[k] = enumeration->records[i];
        records[k].lpLocalName = nullptr;
        records[k].lpRemoteName = put(enumeration->remote[i]);
        records[k].lpComment = put(enumeration->comment[i]);
        records[k].lpProvider = put(provider);
    }
    enumeration->next += fit;
    *count = static_cast<DWORD>(fit);
    return NO_ERROR;
}

DWORD LinuxProvider::WNetCloseEnum(HANDLE handle)
{
    delete static_cast<Enumeration*>(handle);
    return NO_ERROR;
}

DWORD LinuxProvider::WNetGetProviderNameA(DWORD netType, char* providerName, DWORD* bufferSize)
{
    if (netType != WNNC_NET_LANMAN)
        return Fail(ERROR_NO_NETWORK, "no provider for this network type");
    return CopyOut(ProviderName(), providerName, bufferSize);
}

DWORD LinuxProvider::WNetGetNetworkInformationA(const char* provider, NETINFOSTRUCT* info)
{
    if (!info || Text(provider) != ProviderName())
        return Fail(ERROR_BAD_PROVIDER, "unknown provider " + Text(provider));
    *info = NETINFOSTRUCT{};
    info->dwProviderVersion = 0x00040000;
    info->dwStatus = NO_ERROR;
    info->wNetType = static_cast<std::uint16_t>(WNNC_NET_LANMAN >> 16);
    return NO_ERROR;
}

namespace {

struct ResourceDescription
{
    NETRESOURCEA fields;
    std::string remote, system;
};

DWORD WriteResource(const ResourceDescription& d, void* buffer, DWORD* bufferSize, char** system)
{
    BufferLayout layout(buffer, bufferSize, sizeof(NETRESOURCEA));
    layout.Need(d.remote);
    layout.Need(LinuxProvider::ProviderName());
    layout.Need(d.system);
    if (!layout.Fits())
        return layout.Refuse();
    auto* r = static_cast<NETRESOURCEA*>(buffer);
    *r = d.fields;
    r->lpRemoteName = layout.Put(d.remote);
    r->lpProvider = layout.Put(LinuxProvider::ProviderName());
    char* rest = layout.Put(d.system);
    if (system)
        *system = d.system.empty() ? nullptr : rest;
    return NO_ERROR;
}

} // namespace

DWORD LinuxProvider::WNetGetResourceInformationA(const NETRESOURCEA* resource, void* buffer,
                                                 DWORD* bufferSize, char** system)
{
    const auto parts = SplitRemote(resource ? Text(resource->lpRemoteName) : "");
    if (!parts)
        return Fail(ERROR_BAD_NET_NAME, "not a network name");
    SmbContext smb(options.credentials, options.timeoutMs);
    std::vector<SmbContext::Entry> entries;
    if (const int error = smb.List(SmbUrl(*parts), entries))
        return Fail(CodeOfErrno(error), std::strerror(error));
    ResourceDescription d;
    d.fields.dwScope = RESOURCE_GLOBALNET;
    if (parts->share.empty()) {
        d.fields.dwDisplayType = RESOURCEDISPLAYTYPE_SERVER;
        d.fields.dwUsage = RESOURCEUSAGE_CONTAINER;
        d.remote = "\\\\" + parts->server;
    } else {
        d.fields.dwType = RESOURCETYPE_DISK;
        d.fields.dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
        d.fields.dwUsage = RESOURCEUSAGE_CONNECTABLE;
        d.remote = "\\\\" + parts->server + "\\" + parts->share;
        d.system = parts->rest;
    }
    return WriteResource(d, buffer, bufferSize, system);
}

DWORD LinuxProvider::WNetGetResourceParentA(const NETRESOURCEA* resource, void* buffer,
                                            DWORD* bufferSize)
{
    const auto parts = SplitRemote(resource ? Text(resource->lpRemoteName) : "");
    if (!parts)
        return Fail(ERROR_BAD_NET_NAME, "not a network name");
    ResourceDescription d;
    d.fields.dwScope = RESOURCE_GLOBALNET;
    d.fields.dwUsage = RESOURCEUSAGE_CONTAINER;
    if (!parts->share.empty()) {
        d.fields.dwDisplayType = RESOURCEDISPLAYTYPE_SERVER;
        d.remote = "\\\\" + parts->server;
    } else {
        // A server's parent is the network itself.
        d.fields.dwDisplayType = RESOURCEDISPLAYTYPE_GENERIC;
    }
    return WriteResource(d, buffer, bufferSize, nullptr);
}

DWORD LinuxProvider::WNetUseConnectionA(HWND, const NETRESOURCEA* resource, const char* password,
                                        const char* userId, DWORD flags, char* accessName,
                                        DWORD* bufferSize, DWORD* result)
{
    if (!resource)
        return Fail(ERROR_INVALID_PARAMETER, "no resource");
    if (result)
        *result = 0;
    const std::string remote = Text(resource->lpRemoteName);
    std::string local = Text(resource->lpLocalName);
    if (local.empty() && (flags & CONNECT_REDIRECT)) {
        const auto parts = SplitRemote(remote);
        if (!parts || parts->share.empty())
            return Fail(ERROR_BAD_NET_NAME, "not a share: " + remote);
        local = AutomaticMountPoint(*parts);
    }
    const DWORD code = Connect(remote, local, password, userId);
    if (code != NO_ERROR)
        return code;
    const std::string access = local.empty() ? remote : local;
    if (accessName && bufferSize) {
        const DWORD copied = CopyOut(access, accessName, bufferSize);
        if (copied != NO_ERROR)
            return copied;
    }
    if (result && !local.empty())
        *result = CONNECT_LOCALDRIVE;
    return NO_ERROR;
}

DWORD LinuxProvider::WNetGetLastErrorA(DWORD* error, char* errorBuffer, DWORD errorSize,
                                       char* nameBuffer, DWORD nameSize)
{
    if (!error || !errorBuffer || !nameBuffer || errorSize == 0 || nameSize == 0)
        return ERROR_INVALID_PARAMETER;
    *error = lastError;
    std::snprintf(errorBuffer, errorSize, "%s", lastErrorText.c_str());
    std::snprintf(nameBuffer, nameSize, "%s", ProviderName());
    return NO_ERROR;
}

} // namespace mallow::platform
