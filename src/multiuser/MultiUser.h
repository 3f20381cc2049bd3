#pragma once

#include "net/NetServices.h"
#include "platform/MountTable.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mallow::net {
class cNetCalls;
}

namespace mallow::multiuser {

/// The number every MultiUser operation raises its errors under.
inline constexpr long MultiUserError = -2147220991;
/// The most records of a lock file that are read: the most users a database admits.
inline constexpr std::size_t MaxLockRecords = 255;
/// How long all name look-ups of one operation may take together.
inline constexpr std::chrono::milliseconds NameLookupBudget{5000};

struct OpenFileRow
{
    std::string userName;
    std::int32_t fileId = 0;
};

/// One 64-byte record of a lock file: the computer that opened the database and the user it
/// opened it as.
struct LockEntry
{
    std::string computerName;
    std::string accessUserName;
};

struct SessionRow
{
    std::string ntUserName;
    std::string computerName;
    std::int32_t fileId = 0;
};

/// One line of the multi-user list: who has the database open, from where, as whom, and the
/// server's identifier of the handle.
struct UserInfoRow
{
    std::string ntUserId;
    std::string computerName;
    std::string accessUserId;
    std::int32_t fileId = 0;
};

/// Delivers a network message given as its "net send" command line.
class MessageSender
{
public:
    virtual ~MessageSender() = default;
    virtual void Send(const std::string& commandLine) = 0;
    /// Send, to a computer whose addresses were looked up already (none: not found).
    virtual void SendTo(const std::string& commandLine, const std::vector<std::string>& addresses)
    {
        (void)addresses;
        Send(commandLine);
    }
};

/// Turns a computer name into its network addresses.
class NameResolver
{
public:
    virtual ~NameResolver() = default;
    virtual std::vector<std::string> Addresses(const std::string& computerName) = 0;
    /// Addresses, waiting no longer than `wait` for an answer.
    virtual std::vector<std::string> Addresses(const std::string& computerName,
                                               std::chrono::milliseconds wait)
    {
        (void)wait;
        return Addresses(computerName);
    }
};

/// Reads the start of a file named by a local path or a UNC path: at most `maxBytes` bytes;
/// raises the runtime's file errors.
class FileReader
{
public:
    virtual ~FileReader() = default;
    virtual std::string Read(const std::string& path, std::size_t maxBytes) = 0;
};

/// Who has a database open on its server, their messages and their disconnection: what the
/// maintenance pass asks (MultiUser answers it; tests may answer it themselves).
class UserSupervision
{
public:
    virtual ~UserSupervision() = default;
    virtual bool AnyUsers(const std::string& path) = 0;
    virtual void SendMessageToUsers(const std::string& path, const std::string& message) = 0;
    virtual bool CloseFileAllUsers(const std::string& path) = 0;
    /// How many users' handles the last CloseFileAllUsers closed.
    virtual int DisconnectedUsers() const { return 0; }
};

/// What MultiUser works through. Tests hand in their own; the program uses DefaultServices().
struct MultiUserServices
{
    /// For the fresh facade of every server operation, and for the network connections of
    /// local paths.
    net::NetServices net;
    MessageSender* sender = nullptr;
    NameResolver* resolver = nullptr;
    FileReader* files = nullptr;
    /// The mount table the drives of local paths are looked up in.
    std::function<std::vector<platform::MountEntry>()> mounts;
};

/// This machine's services over the given network services: messages through Samba's
/// messenger, the system's resolver with a bounded wait, files read locally or over SMB.
MultiUserServices DefaultMultiUserServices(const net::NetServices& net);

/// Who has a database on a file server open, their messages and their disconnection. Every
/// operation raises its errors under MultiUserError with the source "MultiUser.<operation>()"
/// and the description of the error that occurred; nothing is shown to the user here.
class MultiUser : public UserSupervision
{
public:
    explicit MultiUser(MultiUserServices services);
    ~MultiUser() override;
    MultiUser(const MultiUser&) = delete;
    MultiUser& operator=(const MultiUser&) = delete;

    /// "\\server" of a UNC path; the mount point that holds a local path, or for a local path
    /// that a share of this machine's own SMB server exports, the share's folder.
    std::string GetDrive(const std::string& path);
    /// A UNC path without "\\server\"; a local path without its drive and the separator after it.
    std::string PathWODrive(const std::string& path);
    /// How this machine's own SMB server is reached: $MALLOW_LOCAL_SERVER, else 127.0.0.1.
    static std::string LocalServerName();

    void GetUsers(const std::string& path);
    bool GetLDBUsers(const std::string& path);
    bool GetComputerName(const std::string& path, const std::string& userName,
                         std::int32_t fileId);
    bool GetLockFileComputerName(const std::string& path, const std::string& userName,
                                 std::int32_t fileId);
    void AccessGetUsers(const std::string& path);

    bool AnyUsers(const std::string& path) override;
    /// The active users of the database, one row each, in the order found.
    std::vector<UserInfoRow> GetUserInfo(const std::string& path);
    void SendMessageToUsers(const std::string& path, const std::string& message) override;
    /// Closes one handle and waits until the server no longer lists it.
    bool CloseFile(const std::string& path, std::int32_t fileId);
    bool CloseFileAllUsers(const std::string& path) override;
    int DisconnectedUsers() const override { return disconnectedUsers; }
    /// "\\server" of the server that holds the database, as every server operation finds it;
    /// "" when it is on no network path or the server cannot say. Part of the last operation:
    /// the share list it had is asked again only when it had none.
    std::string ServerOf(const std::string& path);
    std::int32_t GetLDBFileID(const std::string& lockFilePath, const std::string& ntUserName,
                              const std::string& computerName);
    /// Sends `message` to one computer with the network message command line.
    void SendMessage(const std::string& computer, const std::string& message);
    /// Who holds the database open on its server, as "user' on machine 'computer", or ""
    /// when nobody does, when it lies on a local disk or when the server cannot tell.
    std::string HolderOnServer(const std::string& path);

    /// A lock-file name field as text: Windows-1252, zero bytes skipped (they do not end the
    /// text), blanks trimmed.
    static std::string ByteArray2String(const unsigned char* bytes, std::size_t length);
    /// "net send " + computer + " \" " + message + "\""
    static std::string NetSendCommandLine(const std::string& computer, const std::string& message);
    /// The database path with the extension of its file name replaced by `extension`.
    static std::string LockFilePath(const std::string& path, const std::string& extension = "ldb");
    /// The notice of the automatic disconnection, with a blank after the colon.
    static std::string DisconnectNotice(const std::string& path);

    // The working tables, as the last operation left them.
    std::vector<OpenFileRow> OpenFiles;
    std::vector<LockEntry> LockEntries;
    std::vector<SessionRow> Sessions;
    std::vector<OpenFileRow> LockFileOpenFiles;
    std::vector<SessionRow> LockFileSessions;

private:
    struct Location
    {
        std::string server; ///< \\server
        std::string key;    ///< share\folder\file
    };
    Location GetUNCPath(const std::string& path);
    struct LocalShare
    {
        std::string folder;     ///< the exported folder, links resolved
        std::string remote;     ///< \\server\share
        std::string serverPath; ///< the folder as the server names it (C:\srv\Data)
    };
    /// The disk shares of this machine's own SMB server, asked once per top-level operation;
    /// none when no server answers there.
    const std::vector<LocalShare>& LocalShares();
    /// The share that exports the folder holding `path` (links resolved; the longest folder
    /// wins) and the rest of the path below it.
    std::optional<std::pair<LocalShare, std::string>> LocalShareOf(const std::string& path);
    void ForgetServerAnswers();
    struct LocalDrive
    {
        std::string drive;
        /// When a share of this machine's server holds the path: the share and the rest.
        std::optional<std::pair<LocalShare, std::string>> share;
    };
    LocalDrive DriveOfLocalPath(const std::string& path);
    net::cNetCalls& NewFacade();
    void CollectOpenFiles(const std::string& path, std::vector<OpenFileRow>& table);
    void CollectSessions(const std::string& path, const std::string& userName,
                         std::int32_t fileId, std::vector<SessionRow>& table);
    void ResetTables();
    /// The lock entries that name the session's computer: those equal to it, else those equal
    /// without regard to case, else, for a session named by its address, those whose name
    /// resolves to it.
    std::vector<const LockEntry*> EntriesOf(const SessionRow& session);
    /// The addresses of a computer, looked up once per top-level operation; all look-ups of
    /// one operation share one deadline, after which a name is taken as not found.
    const std::vector<std::string>& AddressesOf(const std::string& computer);
    /// Sends the message to each computer of `sessions` once, however many sessions and
    /// lock-file records name it.
    void SendOncePerComputer(const std::vector<const SessionRow*>& sessions,
                             const std::string& message);
    bool ServerPathMatches(const std::string& serverPath, const std::string& server,
                           const std::string& key);
    std::string ShareLocalPath(const std::string& server, const std::string& share);

    MultiUserServices services;
    std::unique_ptr<net::cNetCalls> facade;
    // Looked up once per top-level operation.
    std::map<std::string, std::optional<std::string>> sharePaths;
    std::optional<std::vector<LocalShare>> localShares;
    std::map<std::string, std::vector<std::string>> addresses;
    std::chrono::steady_clock::time_point lookupDeadline;
    int disconnectedUsers = 0;
};

} // namespace mallow::multiuser
