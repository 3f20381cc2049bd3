#include "Connection.h"

#include "JetError.h"
#include "JetSql.h"
#include "LockFile.h"
#include "LongPaths.h"
#include "Security.h"
#include "Session.h"
#include "SqlFunctions.h"
#include "util/Paths.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mallow::engine {

namespace {

constexpr int BusyTimeoutMs = 3000;

std::string Trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return std::string(s);
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct ConnectionSettings
{
    std::string dataSource;
    std::string userId;
    std::string password;
    std::string databasePassword;
    std::string systemDatabase;
};

// "key=value;key=value": keys ignore case, a value may be quoted to hold ';' and blanks.
ConnectionSettings ParseConnectionString(std::string_view text)
{
    ConnectionSettings settings;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto equals = text.find('=', at);
        if (equals == std::string_view::npos)
            break;
        const std::string key = Lower(Trim(text.substr(at, equals - at)));
        std::size_t v = equals + 1;
        while (v < text.size() && text[v] == ' ')
            ++v;
        std::string value;
        if (v < text.size() && (text[v] == '"' || text[v] == '\'')) {
            // A quoted value ends at its closing quote; a doubled quote inside is one quote.
            const char quote = text[v];
            std::size_t i = v + 1;
            for (; i < text.size(); ++i) {
                if (text[i] == quote) {
                    if (i + 1 >= text.size() || text[i + 1] != quote)
                        break;
                    ++i;
                }
                value += text[i];
            }
            at = i >= text.size() ? text.size() : text.find(';', i);
        } else {
            const auto semicolon = text.find(';', v);
            value = Trim(text.substr(v, semicolon == std::string_view::npos ? std::string_view::npos
                                                                            : semicolon - v));
            at = semicolon;
        }
        at = at == std::string_view::npos ? text.size() : at + 1;
        if (key == "data source")
            settings.dataSource = value;
        else if (key == "user id")
            settings.userId = value;
        else if (key == "password")
            settings.password = value;
        else if (key == "jet oledb:database password")
            settings.databasePassword = value;
        else if (key == "jet oledb:system database")
            settings.systemDatabase = value;
    }
    return settings;
}

std::uint32_t BigEndian(const unsigned char* p, int bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

bool NonEmptyFile(const std::string& path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// A file or folder that cannot be looked at: no permission, a path the system refuses.
[[noreturn]] void RaiseUnreachable(int error, const std::string& display)
{
    if (error == ENAMETOOLONG)
        RaiseJetText(jet::InvalidPath, "'" + display +
                                           "' is not a valid path.  It is longer than the " +
                                           std::to_string(PATH_MAX - 1) +
                                           " bytes this system allows in a path.");
    RaiseJet(error == EACCES ? jet::FileInUse : jet::InvalidPath, display);
}

// Looks at the file before SQLite reads it, so that a file that is no database or has lost its
// tail is refused at once, and a missing one is never created. The header is read through
// SQLite's own open file: closing a descriptor of our own would drop every lock SQLite holds
// on the file in this process, those of the process's other connections included.
void CheckDatabaseFile(const std::string& path, sqlite3* db, const std::string& display)
{
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        struct stat folder = {};
        if (stat(path.substr(0, slash).c_str(), &folder) != 0)
            RaiseUnreachable(errno, display);
        if (!S_ISDIR(folder.st_mode))
            RaiseJet(jet::InvalidPath, display);
    }
    struct stat st = {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            RaiseJet(jet::CouldNotFindFile, display);
        RaiseUnreachable(errno, display);
    }
    if (S_ISDIR(st.st_mode))
        RaiseJet(jet::InvalidPath, display);
    if (!db)
        return;

    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        RaiseJet(jet::FileInUse, display);
    unsigned char header[100] = {};
    sqlite3_int64 length = 0;
    if (file->pMethods->xFileSize(file, &length) != SQLITE_OK)
        RaiseJet(jet::FileInUse, display);
    if (length < static_cast<sqlite3_int64>(sizeof header) ||
        file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK ||
        std::memcmp(header, "SQLite format 3", 16) != 0)
        RaiseJet(jet::UnrecognizedFormat, display);

    std::uint32_t pageSize = BigEndian(header + 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        RaiseJet(jet::CannotOpenDatabase, display);
    // A journal or write-ahead log may still hold pages the file lacks; SQLite restores those.
    if (NonEmptyFile(path + "-journal") || NonEmptyFile(path + "-wal"))
        return;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint32_t changeCounter = BigEndian(header + 24, 4);
    const std::uint32_t pageCount = BigEndian(header + 28, 4);
    const std::uint32_t validFor = BigEndian(header + 92, 4);
    if (size % pageSize != 0)
        RaiseJet(jet::CannotOpenDatabase, display);
    if (pageCount != 0 && validFor == changeCounter &&
        size < static_cast<std::uint64_t>(pageCount) * pageSize)
        RaiseJet(jet::CannotOpenDatabase, display);
}

} // namespace

struct Connection::Impl
{
    std::shared_ptr<Session> session;
    std::unique_ptr<LockRegistration> registration;
    std::string connectionString;
    std::string path;
    std::string userName;
    // Kept for the access checks of workgroup files and database passwords.
    std::string userPassword;
    std::string databasePassword;
    std::string systemDatabase;
};

Connection::Connection() : impl(std::make_unique<Impl>()) {}

Connection::~Connection()
{
    if (IsOpen()) {
        try {
            Close();
        } catch (...) {
            // Closing releases the handles whatever happens; nothing to report from here.
        }
    }
}

void Connection::Open(const std::string& connectionString, const std::string& user,
                      const std::string& password)
{
    if (IsOpen())
        RaiseJet(jet::ObjectOpen);
    EnableLongPaths();
    const ConnectionSettings settings = ParseConnectionString(connectionString);
    const std::string& display = settings.dataSource;
    if (Trim(display).empty())
        RaiseJet(jet::InvalidPath, display);
    std::string native = NativePath(display);
    // SQLite would read a name starting with "file:" as a URI.
    if (native.rfind("file:", 0) == 0)
        native = "./" + native;

    const std::string userName = !user.empty()              ? user
                                 : !settings.userId.empty() ? settings.userId
                                                            : std::string("Admin");
    const std::string userPassword = !password.empty() ? password : settings.password;
    // The account logs on to its workgroup before any database is looked at.
    const std::string workgroupId =
        security::LogOn(NativePath(settings.systemDatabase), userName, userPassword);

    CheckDatabaseFile(native, nullptr, display);

    auto session = std::make_shared<Session>();
    session->path = display;
    const int rc = sqlite3_open_v2(native.c_str(), &session->db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX |
                                       (FollowLinks ? 0 : SQLITE_OPEN_NOFOLLOW),
                                   nullptr);
    if (rc != SQLITE_OK)
        RaiseJet((rc & 0xFF) == SQLITE_NOTADB ? jet::UnrecognizedFormat : jet::FileInUse, display);
    CheckDatabaseFile(native, session->db, display);
    sqlite3_extended_result_codes(session->db, 1);
    sqlite3_busy_timeout(session->db, BusyTimeoutMs);

    // Reading the schema proves the file is a readable database before anything is written.
    sqlite3_stmt* raw = nullptr;
    int check =
        sqlite3_prepare_v2(session->db, "SELECT count(*) FROM sqlite_master", -1, &raw, nullptr);
    Statement probe(raw);
    if (check == SQLITE_OK)
        check = sqlite3_step(probe.Get());
    if (check != SQLITE_ROW) {
        switch (check & 0xFF) {
        case SQLITE_NOTADB:
            RaiseJet(jet::UnrecognizedFormat, display);
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
            RaiseJet(jet::FileInUse, display);
        default:
            RaiseJet(jet::CannotOpenDatabase, display);
        }
    }
    probe = Statement();
    security::CheckDatabaseAccess(security::ReadDatabaseSecurity(session->db, display),
                                  workgroupId, userName, settings.databasePassword);
    RegisterSqlFunctions(*session);

    auto registration = std::make_unique<LockRegistration>(native, userName, display);

    impl->session = std::move(session);
    impl->registration = std::move(registration);
    impl->connectionString = connectionString;
    impl->path = native;
    impl->userName = userName;
    impl->userPassword = userPassword;
    impl->databasePassword = settings.databasePassword;
    impl->systemDatabase = settings.systemDatabase;
}

void Connection::OpenFile(const std::string& path, const std::string& databasePassword)
{
    std::string text = "Data Source=" + QuotedValue(path);
    if (!databasePassword.empty())
        text += ";Jet OLEDB:Database Password=" + QuotedValue(databasePassword);
    Open(text);
}

std::string Connection::QuotedValue(std::string_view value)
{
    std::string quoted = "\"";
    for (const char c : value) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

void Connection::Close()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->session->Close();
    impl->session.reset();
    impl->registration.reset();
}

bool Connection::IsOpen() const
{
    return impl->session && impl->session->db;
}

long Connection::Execute(const std::string& sql, const std::vector<Value>& parameters)
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    Session& session = *impl->session;
    const TranslatedSql translated = TranslateJetSql(sql);
    Statement statement = PrepareProgram(session, translated, sql);
    BindAll(statement, parameters);
    session.functionError.reset();
    while (StepRow(session, statement)) {
    }
    if (sqlite3_stmt_readonly(statement.Get()))
        return 0;
    return static_cast<long>(sqlite3_changes(session.db));
}

const std::string& Connection::ConnectionString() const
{
    return impl->connectionString;
}

const std::string& Connection::Path() const
{
    return impl->path;
}

sqlite3* Connection::Handle() const
{
    return impl->session ? impl->session->db : nullptr;
}

std::shared_ptr<Session> Connection::SharedSession() const
{
    return impl->session;
}

const std::string& Connection::UserName() const
{
    return impl->userName;
}

} // namespace mallow::engine
