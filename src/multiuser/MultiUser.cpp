#include "MultiUser.h"

#include "APIStuff.h"
#include "net/NetErrors.h"
#include "net/cNetCalls.h"
#include "net/modErrMsgs.h"
#include "platform/SvrApiRecords.h"
#include "util/DebugLog.h"
#include "util/MallowError.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

namespace mallow::multiuser {

namespace {

const char* const CRLF = "\r\n";
constexpr auto CloseConfirmWait = std::chrono::seconds(5);

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsUnc(const std::string& path)
{
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

bool HasDriveLetter(const std::string& path)
{
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The same path in one spelling: backslashes, lower case, no separator at the end.
std::string Canonical(const std::string& path)
{
    std::string text = Lower(path);
    std::replace(text.begin(), text.end(), '/', '\\');
    while (text.size() > 1 && text.back() == '\\')
        text.pop_back();
    return text;
}

bool IsAddress(const std::string& name)
{
    unsigned char buffer[16];
    return inet_pton(AF_INET, name.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, name.c_str(), buffer) == 1;
}

// Runs one operation under the module's error policy: every error leaves under the module's
// number with the operation's name as its source and its own description.
template <typename Body>
auto Guarded(const char* operation, Body&& body) -> decltype(body())
{
    try {
        return body();
    } catch (const MallowError& error) {
        throw MallowError(MultiUserError, std::string("MultiUser.") + operation + "()",
                          error.Description());
    } catch (const std::exception& error) {
        throw MallowError(MultiUserError, std::string("MultiUser.") + operation + "()",
                          error.what());
    }
}

} // namespace

MultiUser::MultiUser(MultiUserServices services) : services(std::move(services)) {}

MultiUser::~MultiUser() = default;

std::string MultiUser::ByteArray2String(const unsigned char* bytes, std::size_t length)
{
    return Guarded("ByteArray2String", [&] {
        std::string ansi;
        for (std::size_t i = 0; i < length; ++i) {
            if (bytes[i] != 0)
                ansi += static_cast<char>(bytes[i]);
        }
        std::string text = platform::FromAnsi(ansi);
        const auto first = text.find_first_not_of(' ');
        if (first == std::string::npos)
            return std::string();
        return text.substr(first, text.find_last_not_of(' ') - first + 1);
    });
}

std::string MultiUser::NetSendCommandLine(const std::string& computer, const std::string& message)
{
    return "net send " + computer + " \" " + message + "\"";
}

std::string MultiUser::LockFilePath(const std::string& path, const std::string& extension)
{
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsSeparator(path[i]))
            nameStart = i + 1;
    }
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return path + "." + extension;
    return path.substr(0, dot + 1) + extension;
}

std::string MultiUser::DisconnectNotice(const std::string& path)
{
    return std::string("You have been disconnected from the following database : ") + CRLF + path +
           CRLF + "You will need to close the file and re-open it" + CRLF +
           "or you will recieve an error.";
}

std::string MultiUser::GetDrive(const std::string& path)
{
    return Guarded("GetDrive", [&] {
        if (IsUnc(path)) {
            const auto end = std::find_if(path.begin() + 2, path.end(), IsSeparator);
            return std::string(path.begin(), end);
        }
        if (HasDriveLetter(path))
            return path.substr(0, 2);
        return DriveOfLocalPath(path).drive;
    });
}

MultiUser::LocalDrive MultiUser::DriveOfLocalPath(const std::string& path)
{
    // On this machine the drive of a path is the mount that holds it; for a mount of the whole
    // network that is the share's folder in it; for a folder that this machine's own server
    // shares, that folder.
    const std::vector<platform::MountEntry> mounts =
        services.mounts ? services.mounts() : platform::ReadMountTable();
    if (const auto connection = platform::NetworkConnectionOf(path, mounts))
        return {connection->drive, std::nullopt};
    if (auto local = LocalShareOf(path))
        return {local->first.folder, std::move(local)};
    std::string deepest = "/";
    for (const auto& mount : mounts) {
        if (platform::PathBelow(path, mount.mountPoint) && mount.mountPoint.size() > deepest.size())
            deepest = mount.mountPoint;
    }
    return {deepest, std::nullopt};
}

std::string MultiUser::PathWODrive(const std::string& path)
{
    return Guarded("PathWODrive", [&] {
        if (IsUnc(path)) {
            const auto end = std::find_if(path.begin() + 2, path.end(), IsSeparator);
            return end == path.end() ? std::string() : std::string(end + 1, path.end());
        }
        if (HasDriveLetter(path) || path.empty() || path[0] != '/') {
            const auto separator = std::find_if(path.begin(), path.end(), IsSeparator);
            return separator == path.end() ? std::string() : std::string(separator + 1, path.end());
        }
        const LocalDrive local = DriveOfLocalPath(path);
        if (local.share)
            return local.share->second;
        const auto below = platform::PathBelow(path, local.drive);
        return below ? *below : path.substr(1);
    });
}

std::string MultiUser::LocalServerName()
{
    const char* named = std::getenv("MALLOW_LOCAL_SERVER");
    std::string server = named && *named ? named : "127.0.0.1";
    while (!server.empty() && (server.front() == '\\' || server.front() == '/'))
        server.erase(server.begin());
    return server;
}

const std::vector<MultiUser::LocalShare>& MultiUser::LocalShares()
{
    if (localShares)
        return *localShares;
    localShares.emplace();
    const std::string server = "\\\\" + LocalServerName();
    net::NetTable shares;
    try {
        shares = NewFacade().EnumShares(server);
    } catch (const MallowError& error) {
        // No server here at all means no share of this machine; one that answers but refuses
        // (no rights, a wrong password) is said, as any server's answer is.
        if (error.Description() != net::modErrMsgs::GetNetErrorText(53, false) &&
            error.Description() != net::modErrMsgs::GetNetErrorText(1722, false))
            throw;
        return *localShares;
    }
    for (int row = 0; !shares.IsEmpty() && row < shares.Rows(); ++row) {
        const auto type = static_cast<std::uint32_t>(net::NumberOf(shares(6, row)));
        const std::string name = net::TextOf(shares(0, row));
        const std::string serverPath = net::TextOf(shares(2, row));
        // Disk shares only: not the named pipes of IPC$ nor printers.
        if ((type & 0x0FFFFFFF) != 0 || name.empty() || serverPath.empty())
            continue;
        std::string folder = HasDriveLetter(serverPath) ? serverPath.substr(2) : serverPath;
        std::replace(folder.begin(), folder.end(), '\\', '/');
        if (folder.empty() || folder[0] != '/')
            continue;
        std::error_code ec;
        const auto resolved = std::filesystem::weakly_canonical(folder, ec);
        if (!ec)
            folder = resolved.string();
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        localShares->push_back({folder, server + "\\" + name, serverPath});
        sharePaths[Lower(server) + "\\" + Lower(name)] = serverPath;
    }
    return *localShares;
}

std::optional<std::pair<MultiUser::LocalShare, std::string>>
MultiUser::LocalShareOf(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return std::nullopt;
    std::error_code ec;
    auto resolved = std::filesystem::weakly_canonical(path, ec);
    const std::string real = ec ? path : resolved.string();
    std::optional<std::pair<LocalShare, std::string>> best;
    for (const LocalShare& share : LocalShares()) {
        const auto below = share.folder == "/" ? std::optional<std::string>(real.substr(1))
                                               : platform::PathBelow(real, share.folder);
        if (below && (!best || share.folder.size() > best->first.folder.size()))
            best.emplace(share, *below);
    }
    return best;
}

std::string MultiUser::ServerOf(const std::string& path)
{
    try {
        return GetUNCPath(path).server;
    } catch (const std::exception&) {
        return {};
    }
}

void MultiUser::ForgetServerAnswers()
{
    sharePaths.clear();
    localShares.reset();
}

MultiUser::Location MultiUser::GetUNCPath(const std::string& path)
{
    if (IsUnc(path)) {
        // Servers are named \\server whichever separator the path uses.
        std::string server = GetDrive(path);
        std::replace(server.begin(), server.end(), '/', '\\');
        return {server, PathWODrive(path)};
    }
    const LocalDrive local = Guarded("GetDrive", [&] { return DriveOfLocalPath(path); });
    const std::string& drive = local.drive;
    // A folder of this machine that its own server shares is reached through that server.
    if (local.share) {
        std::string rest = local.share->second;
        std::replace(rest.begin(), rest.end(), '/', '\\');
        const std::string unc = local.share->first.remote + (rest.empty() ? "" : "\\" + rest);
        return {GetDrive(unc), PathWODrive(unc)};
    }
    std::string remote;
    const net::NetServices& net = services.net;
    if (!net.provider || GetRemoteName(*net.provider, drive, remote) != 0)
        throw MallowError(MultiUserError, "MultiUser.GetUNCPath()",
                          std::string("Could not retrieve the UNC path.") + CRLF +
                              "The path may not be on a network.");
    std::string rest = path.substr(std::min(drive.size(), path.size()));
    std::replace(rest.begin(), rest.end(), '/', '\\');
    const std::string unc = remote + rest;
    return {GetDrive(unc), PathWODrive(unc)};
}

net::cNetCalls& MultiUser::NewFacade()
{
    facade.reset();
    facade = std::make_unique<net::cNetCalls>(services.net);
    return *facade;
}

void MultiUser::ResetTables()
{
    OpenFiles.clear();
    LockEntries.clear();
    Sessions.clear();
    ForgetServerAnswers();
    addresses.clear();
    lookupDeadline = std::chrono::steady_clock::now() + NameLookupBudget;
}

const std::vector<std::string>& MultiUser::AddressesOf(const std::string& computer)
{
    const std::string key = Lower(computer);
    auto known = addresses.find(key);
    if (known != addresses.end())
        return known->second;
    std::vector<std::string> found;
    if (IsAddress(computer)) {
        found.push_back(computer);
    } else if (services.resolver) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            lookupDeadline - std::chrono::steady_clock::now());
        if (left.count() > 0)
            found = services.resolver->Addresses(computer, left);
        else
            WriteDebugLog("The name " + computer + " was not looked up: the operation's " +
                          std::to_string(NameLookupBudget.count()) +
                          " ms for name look-ups had passed.");
    }
    return addresses.emplace(key, std::move(found)).first->second;
}

void MultiUser::SendOncePerComputer(const std::vector<const SessionRow*>& sessions,
                                    const std::string& message)
{
    std::set<std::string> sent;
    for (const SessionRow* session : sessions) {
        if (!sent.insert(Lower(session->computerName)).second)
            continue;
        services.sender->SendTo(NetSendCommandLine(session->computerName, message),
                                AddressesOf(session->computerName));
    }
}

std::string MultiUser::ShareLocalPath(const std::string& server, const std::string& share)
{
    const std::string key = Lower(server) + "\\" + Lower(share);
    auto known = sharePaths.find(key);
    if (known == sharePaths.end()) {
        std::optional<std::string> path;
        try {
            const net::NetRecord record = NewFacade().GetNetShareInfo(server, share);
            if (record.size() > 2)
                path = net::TextOf(record[2]);
        } catch (const MallowError&) {
            // A server that will not say where its share lies leaves the share's name to match.
        }
        known = sharePaths.emplace(key, path).first;
    }
    return known->second.value_or("");
}

bool MultiUser::ServerPathMatches(const std::string& serverPath, const std::string& server,
                                  const std::string& key)
{
    if (Canonical(PathWODrive(serverPath)) == Canonical(key))
        return true;
    // Servers report the local path of an open file; a share rarely lies in a folder of its
    // own name at the top of a drive, so the share's own path on the server counts as well.
    const auto slash = std::find_if(key.begin(), key.end(), IsSeparator);
    if (slash == key.end())
        return false;
    const std::string sharePath = ShareLocalPath(server, std::string(key.begin(), slash));
    return !sharePath.empty() &&
           Canonical(serverPath) == Canonical(sharePath) + "\\" +
                                        Canonical(std::string(slash + 1, key.end()));
}

void MultiUser::CollectOpenFiles(const std::string& path, std::vector<OpenFileRow>& table)
{
    const Location location = GetUNCPath(path);
    const net::NetTable files = NewFacade().EnumFiles(location.server);
    for (int row = 0; !files.IsEmpty() && row < files.Rows(); ++row) {
        if (ServerPathMatches(net::TextOf(files(0, row)), location.server, location.key))
            table.push_back({net::TextOf(files(1, row)),
                             static_cast<std::int32_t>(net::NumberOf(files(2, row)))});
    }
}

void MultiUser::GetUsers(const std::string& path)
{
    Guarded("GetUsers", [&] { CollectOpenFiles(path, OpenFiles); });
}

bool MultiUser::GetLDBUsers(const std::string& path)
{
    return Guarded("GetLDBUsers", [&] {
        CollectOpenFiles(path, LockFileOpenFiles);
        return true;
    });
}

void MultiUser::CollectSessions(const std::string& path, const std::string& userName,
                                std::int32_t fileId, std::vector<SessionRow>& table)
{
    const Location location = GetUNCPath(path);
    const net::NetTable sessions = NewFacade().EnumSessions(location.server);
    for (int row = 0; !sessions.IsEmpty() && row < sessions.Rows(); ++row) {
        const std::string user = net::TextOf(sessions(1, row));
        const std::string computer = net::TextOf(sessions(2, row));
        if (Lower(user) != Lower(userName))
            continue;
        const bool known = std::any_of(table.begin(), table.end(), [&](const SessionRow& s) {
            return s.ntUserName == user && s.computerName == computer;
        });
        if (!known)
            table.push_back({user, computer, fileId});
    }
}

bool MultiUser::GetComputerName(const std::string& path, const std::string& userName,
                                std::int32_t fileId)
{
    return Guarded("GetComputerName", [&] {
        CollectSessions(path, userName, fileId, Sessions);
        return true;
    });
}

bool MultiUser::GetLockFileComputerName(const std::string& path, const std::string& userName,
                                        std::int32_t fileId)
{
    return Guarded("GetLockFileComputerName", [&] {
        CollectSessions(path, userName, fileId, LockFileSessions);
        return true;
    });
}

void MultiUser::AccessGetUsers(const std::string& path)
{
    Guarded("AccessGetUsers", [&] {
        // The engine names the lock file in lower case; a file system that ignores case finds
        // it either way.
        // A database admits so many users, so no more records are read, however long the
        // file is.
        const std::size_t limit = MaxLockRecords * 64;
        const std::string lockPath = LockFilePath(path);
        std::string bytes;
        try {
            bytes = services.files->Read(lockPath, limit + 1);
        } catch (const MallowError& error) {
            // Programs that keep no lock file may hold the database open: no lock file then
            // means no records, not a failure.
            if (error.Number() != err::FileNotFound)
                throw;
        }
        if (bytes.size() > limit) {
            bytes.resize(limit);
            WriteDebugLog("The lock file " + lockPath + " holds more than " +
                          std::to_string(MaxLockRecords) +
                          " records; the rest of it was not read.");
        }
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        for (std::size_t at = 0; at + 64 <= bytes.size(); at += 64)
            LockEntries.push_back({ByteArray2String(data + at, 32),
                                   ByteArray2String(data + at + 32, 32)});
    });
}

std::vector<const LockEntry*> MultiUser::EntriesOf(const SessionRow& session)
{
    const std::string& computer = session.computerName;
    std::vector<const LockEntry*> exact;
    std::vector<const LockEntry*> anyCase;
    for (const LockEntry& entry : LockEntries) {
        if (entry.computerName == computer)
            exact.push_back(&entry);
        else if (!entry.computerName.empty() && Lower(entry.computerName) == Lower(computer))
            anyCase.push_back(&entry);
    }
    if (!exact.empty())
        return exact;
    if (!anyCase.empty() || !IsAddress(computer) || !services.resolver)
        return anyCase;
    // A server names a client that came over port 445 by its address.
    std::vector<const LockEntry*> resolved;
    for (const LockEntry& entry : LockEntries) {
        if (entry.computerName.empty())
            continue;
        const std::vector<std::string>& found = AddressesOf(entry.computerName);
        if (std::find(found.begin(), found.end(), computer) != found.end())
            resolved.push_back(&entry);
    }
    return resolved;
}

bool MultiUser::AnyUsers(const std::string& path)
{
    return Guarded("AnyUsers", [&] {
        ForgetServerAnswers();
        const Location location = GetUNCPath(path);
        const net::NetTable files = NewFacade().EnumFiles(location.server);
        for (int row = 0; !files.IsEmpty() && row < files.Rows(); ++row) {
            if (ServerPathMatches(net::TextOf(files(0, row)), location.server, location.key))
                return true;
        }
        return false;
    });
}

std::vector<UserInfoRow> MultiUser::GetUserInfo(const std::string& path)
{
    return Guarded("GetUserInfo", [&] {
        std::vector<UserInfoRow> rows;
        ResetTables();
        GetUsers(path);
        if (OpenFiles.empty())
            return rows;
        for (const OpenFileRow& file : std::vector<OpenFileRow>(OpenFiles))
            GetComputerName(path, file.userName, file.fileId);
        AccessGetUsers(path);
        for (const SessionRow& session : Sessions) {
            if (LockEntries.empty()) {
                rows.push_back({session.ntUserName, session.computerName, "", session.fileId});
                continue;
            }
            const std::vector<const LockEntry*> entries = EntriesOf(session);
            if (!entries.empty())
                rows.push_back({session.ntUserName, session.computerName,
                                entries.front()->accessUserName, session.fileId});
        }
        return rows;
    });
}

void MultiUser::SendMessageToUsers(const std::string& path, const std::string& message)
{
    Guarded("SendMessageToUsers", [&] {
        ResetTables();
        GetUsers(path);
        if (OpenFiles.empty())
            return;
        for (const OpenFileRow& file : std::vector<OpenFileRow>(OpenFiles))
            GetComputerName(path, file.userName, file.fileId);
        AccessGetUsers(path);
        // A computer gets the message once, however many of its users and records there are.
        std::vector<const SessionRow*> named;
        for (const SessionRow& session : Sessions) {
            if (!EntriesOf(session).empty())
                named.push_back(&session);
        }
        SendOncePerComputer(named, message);
    });
}

bool MultiUser::CloseFile(const std::string& path, std::int32_t fileId)
{
    return Guarded("CloseFile", [&] {
        const Location location = GetUNCPath(path);
        net::cNetCalls& calls = NewFacade();
        calls.CloseFile(fileId, location.server, path);
        // A server may close a file some time after it answered; the handle counts as closed
        // only once the server no longer lists it.
        const auto deadline = std::chrono::steady_clock::now() + CloseConfirmWait;
        for (;;) {
            const net::NetTable files = calls.EnumFiles(location.server);
            bool listed = false;
            for (int row = 0; !files.IsEmpty() && row < files.Rows() && !listed; ++row)
                listed = net::NumberOf(files(2, row)) == fileId;
            if (!listed)
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                throw MallowError(net::ServerCallError, "cNet_NT.CloseFile()",
                                  "The server still lists the file as open after closing it.");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
}

bool MultiUser::CloseFileAllUsers(const std::string& path)
{
    return Guarded("CloseFileAllUsers", [&] {
        ResetTables();
        const std::string notice = DisconnectNotice(path);
        GetUsers(path);
        if (OpenFiles.empty())
            return true;
        for (const OpenFileRow& file : std::vector<OpenFileRow>(OpenFiles))
            GetComputerName(path, file.userName, file.fileId);
        AccessGetUsers(path);
        // A handle is closed once, however many records name its computer: a second close
        // of a handle that is gone would fail and end the pass.
        disconnectedUsers = 0;
        std::vector<std::int32_t> closed;
        std::set<std::string> notified;
        for (const SessionRow& session : std::vector<SessionRow>(Sessions)) {
            if (EntriesOf(session).empty())
                continue;
            if (std::find(closed.begin(), closed.end(), session.fileId) != closed.end())
                continue;
            if (CloseFile(path, session.fileId)) {
                closed.push_back(session.fileId);
                ++disconnectedUsers;
                // The notice follows the disconnection, once per computer.
                if (notified.insert(Lower(session.computerName)).second)
                    services.sender->SendTo(NetSendCommandLine(session.computerName, notice),
                                            AddressesOf(session.computerName));
            }
        }
        return true;
    });
}

std::int32_t MultiUser::GetLDBFileID(const std::string& lockFilePath,
                                     const std::string& ntUserName,
                                     const std::string& computerName)
{
    return Guarded("GetLDBFileID", [&] {
        LockFileOpenFiles.clear();
        LockFileSessions.clear();
        ForgetServerAnswers();
        GetLDBUsers(lockFilePath);
        for (const OpenFileRow& file : std::vector<OpenFileRow>(LockFileOpenFiles))
            GetLockFileComputerName(lockFilePath, file.userName, file.fileId);
        std::int32_t result = 0;
        for (const SessionRow& session : LockFileSessions) {
            if (session.ntUserName == ntUserName && session.computerName == computerName)
                result = session.fileId;
        }
        return result;
    });
}

void MultiUser::SendMessage(const std::string& computer, const std::string& message)
{
    Guarded("SendMessage", [&] { services.sender->Send(NetSendCommandLine(computer, message)); });
}

std::string MultiUser::HolderOnServer(const std::string& path)
{
    try {
        if (!AnyUsers(path))
            return {};
        const std::vector<UserInfoRow> rows = GetUserInfo(path);
        if (!rows.empty()) {
            const UserInfoRow& row = rows.front();
            return (row.accessUserId.empty() ? row.ntUserId : row.accessUserId) +
                   "' on machine '" + row.computerName;
        }
        const std::string user = OpenFiles.empty() ? std::string() : OpenFiles.front().userName;
        const std::string computer =
            Sessions.empty() ? std::string() : Sessions.front().computerName;
        return user + "' on machine '" + computer;
    } catch (const MallowError&) {
        return {};
    }
}

} // namespace mallow::multiuser
