// mallowdb: makes and prepares the database files that Mallow's engine opens: databases,
// database passwords, workgroup information files and their accounts. docs/security.md
// describes what the engine checks with them.

#include "engine/DBEngine.h"
#include "engine/Security.h"
#include "platform/Registry.h"
#include "util/MallowError.h"

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <vector>

namespace security = mallow::engine::security;

namespace {

const char* const HelpText =
    R"(usage: mallowdb COMMAND ARGUMENTS

  create FILE [SCRIPT]
      Makes a new database, running the SQL script SCRIPT into it when given.
  set-password FILE NEWPASSWORD [--old OLDPASSWORD]
      Sets the database password of FILE; an empty NEWPASSWORD ("") removes it. A database
      that has a password needs it as OLDPASSWORD.
  create-workgroup FILE
      Makes a new workgroup information file with the account Admin (empty password).
  add-account WORKGROUP USER PASSWORD
      Adds the account USER to the workgroup file, or gives an existing one a new password.
  remove-account WORKGROUP USER
      Removes an account from the workgroup file.
  secure FILE WORKGROUP [USER...] [--old PASSWORD]
      Secures the database FILE with the workgroup: only accounts of that workgroup may open
      or compact it, and with USER names given only those accounts.
  unsecure FILE [--old PASSWORD]
      Removes the workgroup security of FILE.
  show FILE
      Tells whether FILE is a workgroup file or a database and what access checks it has.
  move FILE TARGET
      Moves the database FILE to the new file TARGET (another folder or file system too),
      only while no client of Mallow's engine has it open: the copy is one consistent state
      (an interrupted write is rolled back first), on disk and with FILE's permission bits
      before FILE and its lock file are removed.
  registry-set ROOT KEY NAME VALUE [--dword]
  registry-get ROOT KEY NAME
  registry-delete ROOT KEY NAME
      Sets, shows or removes a value in Mallow's registry (the user's store; values under
      Software\Microsoft\Windows\CurrentVersion\Run are the session's autostart entries).
      ROOT is HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or HKEY_CLASSES_ROOT. To open databases
      with the program in FOLDER (named FOLDER/msaccess.exe):
        mallowdb registry-set HKEY_LOCAL_MACHINE \
          'Software\Microsoft\Office\9.0\Access\InstallRoot' Path FOLDER

Passwords and account passwords compare exactly: blanks and case matter. Account names ignore
case. These are access checks of Mallow's engine, not encryption.
)";

struct Failure
{
    std::string message;
};

class Database
{
public:
    Database(const std::string& path, int flags)
    {
        if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
            const std::string message = db ? sqlite3_errmsg(db) : "cannot open";
            sqlite3_close_v2(db);
            throw Failure{path + ": " + message};
        }
        sqlite3_busy_timeout(db, 3000);
    }
    ~Database() { sqlite3_close_v2(db); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    sqlite3* Get() const { return db; }

    void Exec(const std::string& sql)
    {
        char* message = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            const std::string text = message ? message : sqlite3_errmsg(db);
            sqlite3_free(message);
            throw Failure{text};
        }
    }

    // Runs one statement with text parameters.
    void Run(const std::string& sql, const std::vector<std::string>& parameters = {})
    {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
        for (std::size_t i = 0; rc == SQLITE_OK && i < parameters.size(); ++i)
            rc = sqlite3_bind_text(stmt, static_cast<int>(i + 1), parameters[i].c_str(), -1,
                                   SQLITE_TRANSIENT);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            throw Failure{sqlite3_errmsg(db)};
    }

private:
    sqlite3* db = nullptr;
};

bool Exists(const std::string& path)
{
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

std::string ReadScript(const std::string& script)
{
    std::ifstream in(script);
    if (!in)
        throw Failure{"cannot read " + script};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Makes a new file by SQL, removing it again when anything fails.
void CreateFile(const std::string& file, const std::string& sql)
{
    if (Exists(file))
        throw Failure{file + " already exists"};
    try {
        Database db(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        // A database always has a schema page, so an empty one is still recognised as one.
        db.Exec("PRAGMA user_version = 1;\n" + sql);
    } catch (...) {
        std::remove(file.c_str());
        throw;
    }
}

// Opens an existing database for a change of its security; a password it has must be given.
std::unique_ptr<Database> OpenSecured(const std::string& file, const std::string& oldPassword)
{
    if (!Exists(file))
        throw Failure{file + " does not exist"};
    auto db = std::make_unique<Database>(file, SQLITE_OPEN_READWRITE);
    const security::DatabaseSecurity current = security::ReadDatabaseSecurity(db->Get(), file);
    if (current.passwordHash && !security::PasswordMatches(*current.passwordHash, oldPassword))
        throw Failure{file + ": not the database password (give it with --old)"};
    db->Exec("CREATE TABLE IF NOT EXISTS MSysMallowSecurity (Kind TEXT NOT NULL, "
             "Name TEXT NOT NULL, Value TEXT NOT NULL, PRIMARY KEY (Kind, Name))");
    return db;
}

std::string NewWorkgroupId()
{
    unsigned char bytes[16] = {};
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        throw Failure{"no random bytes for the workgroup id"};
    std::string id;
    char digits[3] = {};
    for (const unsigned char b : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        id += digits;
    }
    return id;
}

void SetPassword(const std::string& file, const std::string& password, const std::string& old)
{
    auto db = OpenSecured(file, old);
    db->Exec("BEGIN IMMEDIATE");
    db->Run("DELETE FROM MSysMallowSecurity WHERE Kind = 'password'");
    if (!password.empty())
        db->Run("INSERT INTO MSysMallowSecurity VALUES ('password', '', ?)",
                {security::HashPassword(password)});
    db->Exec("COMMIT");
}

void CreateWorkgroup(const std::string& file)
{
    CreateFile(file, "CREATE TABLE MSysMallowWorkgroup (Id TEXT NOT NULL);"
                     "CREATE TABLE MSysMallowAccounts (Name TEXT PRIMARY KEY COLLATE NOCASE, "
                     "Password TEXT NOT NULL);");
    Database db(file, SQLITE_OPEN_READWRITE);
    db.Run("INSERT INTO MSysMallowWorkgroup VALUES (?)", {NewWorkgroupId()});
    db.Run("INSERT INTO MSysMallowAccounts VALUES (?, ?)",
           {security::DefaultAccount, security::HashPassword("")});
}

void AddAccount(const std::string& workgroup, const std::string& user, const std::string& password)
{
    security::ReadWorkgroup(workgroup);
    if (user.empty())
        throw Failure{"an account needs a name"};
    Database db(workgroup, SQLITE_OPEN_READWRITE);
    db.Run("INSERT OR REPLACE INTO MSysMallowAccounts VALUES (?, ?)",
           {user, security::HashPassword(password)});
}

void RemoveAccount(const std::string& workgroup, const std::string& user)
{
    const security::Workgroup known = security::ReadWorkgroup(workgroup);
    if (!known.accounts.count(security::FoldName(user)))
        throw Failure{workgroup + " has no account " + user};
    Database db(workgroup, SQLITE_OPEN_READWRITE);
    db.Run("DELETE FROM MSysMallowAccounts WHERE Name = ?", {user});
}

void Secure(const std::string& file, const std::string& workgroupFile,
            const std::vector<std::string>& users, const std::string& old)
{
    const security::Workgroup workgroup = security::ReadWorkgroup(workgroupFile);
    for (const std::string& user : users) {
        if (!workgroup.accounts.count(security::FoldName(user)))
            throw Failure{workgroupFile + " has no account " + user};
    }
    auto db = OpenSecured(file, old);
    db->Exec("BEGIN IMMEDIATE");
    db->Run("DELETE FROM MSysMallowSecurity WHERE Kind IN ('workgroup', 'account')");
    db->Run("INSERT INTO MSysMallowSecurity VALUES ('workgroup', ?, '')", {workgroup.id});
    for (const std::string& user : users)
        db->Run("INSERT OR IGNORE INTO MSysMallowSecurity VALUES ('account', ?, '')", {user});
    db->Exec("COMMIT");
}

void Unsecure(const std::string& file, const std::string& old)
{
    auto db = OpenSecured(file, old);
    db->Run("DELETE FROM MSysMallowSecurity WHERE Kind IN ('workgroup', 'account')");
}

void Show(const std::string& file)
{
    try {
        const security::Workgroup workgroup = security::ReadWorkgroup(file);
        std::cout << "workgroup file, id " << workgroup.id << "\n";
        for (const auto& account : workgroup.accounts)
            std::cout << "  account " << account.first << "\n";
        return;
    } catch (const mallow::MallowError&) {
        // Not a workgroup file: look at it as a database.
    }
    Database db(file, SQLITE_OPEN_READONLY);
    db.Run("SELECT count(*) FROM sqlite_master");
    const security::DatabaseSecurity current = security::ReadDatabaseSecurity(db.Get(), file);
    std::cout << "database, " << (current.passwordHash ? "with" : "without") << " a password\n";
    if (current.workgroupId.empty()) {
        std::cout << "  not secured with a workgroup\n";
        return;
    }
    std::cout << "  secured with workgroup " << current.workgroupId << "\n";
    for (const std::string& account : current.accounts)
        std::cout << "  account allowed: " << account << "\n";
}

void Move(const std::string& file, const std::string& target)
{
    if (Exists(target))
        throw Failure{target + " exists already"};
    // While held, no client of the engine can open the database, so none writes into the
    // file after its copy was made.
    const mallow::engine::ExclusiveHold hold(file);
    mallow::engine::CopyDatabaseFile(file, target, mallow::Flush::Now);
    if (std::remove(file.c_str()) != 0)
        throw Failure{"copied to " + target + ", but cannot remove " + file};
}

mallow::registry::RootKey RootNamed(const std::string& name)
{
    using namespace mallow::registry;
    for (const RootKey root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                               HKEY_USERS, HKEY_CURRENT_CONFIG})
        if (RootName(root) == name)
            return root;
    throw Failure{"no such root key: " + name};
}

int Registry(const std::string& command, const std::vector<std::string>& plain, bool dword)
{
    namespace registry = mallow::registry;
    const registry::RootKey root = RootNamed(plain[0]);
    const registry::Places places = registry::DefaultPlaces();
    if (command == "registry-get") {
        std::string value;
        if (!registry::GetKeyValue(root, plain[1], plain[2], value, places))
            throw Failure{"no value " + plain[2] + " under " + plain[0] + "\\" + plain[1]};
        std::cout << value << "\n";
    } else if (command == "registry-delete") {
        registry::DeleteRegValue(root, plain[1], plain[2], places);
    } else if (dword) {
        const unsigned long number = std::stoul(plain[3]);
        registry::Modify(places.userStore, [&](registry::Store& store) {
            return store.SetValue(root, plain[1],
                                  registry::DwordValue(plain[2], static_cast<std::uint32_t>(number)));
        });
    } else {
        registry::SaveRegString(root, plain[1], plain[2], plain[3], places);
        if (registry::GetRegValueByEnum(root, plain[1], plain[2], places) != plain[3])
            throw Failure{"the value could not be written"};
    }
    return 0;
}

int Usage()
{
    std::cerr << HelpText;
    return 2;
}

int Main(const std::vector<std::string>& args)
{
    if (args.empty())
        return Usage();
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << HelpText;
        return 0;
    }
    // "--old PASSWORD" may stand anywhere after the command.
    std::vector<std::string> plain;
    std::optional<std::string> old;
    bool dword = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--dword") {
            dword = true;
        } else if (args[i] == "--old") {
            if (++i == args.size())
                return Usage();
            old = args[i];
        } else {
            plain.push_back(args[i]);
        }
    }
    const std::string& command = args[0];
    const std::size_t n = plain.size();
    if ((old && command != "set-password" && command != "secure" && command != "unsecure") ||
        (dword && command != "registry-set"))
        return Usage();
    if (command == "create" && (n == 1 || n == 2))
        CreateFile(plain[0], n == 2 ? ReadScript(plain[1]) : "");
    else if (command == "set-password" && n == 2)
        SetPassword(plain[0], plain[1], old.value_or(""));
    else if (command == "create-workgroup" && n == 1)
        CreateWorkgroup(plain[0]);
    else if (command == "add-account" && n == 3)
        AddAccount(plain[0], plain[1], plain[2]);
    else if (command == "remove-account" && n == 2)
        RemoveAccount(plain[0], plain[1]);
    else if (command == "secure" && n >= 2)
        Secure(plain[0], plain[1], std::vector<std::string>(plain.begin() + 2, plain.end()),
               old.value_or(""));
    else if (command == "unsecure" && n == 1)
        Unsecure(plain[0], old.value_or(""));
    else if (command == "show" && n == 1)
        Show(plain[0]);
    else if (command == "move" && n == 2)
        Move(plain[0], plain[1]);
    else if ((command == "registry-set" && n == 4) ||
             ((command == "registry-get" || command == "registry-delete") && n == 3 && !dword))
        return Registry(command, plain, dword);
    else
        return Usage();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return Main(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const Failure& failure) {
        std::cerr << "mallowdb: " << failure.message << "\n";
    } catch (const mallow::MallowError& error) {
        std::cerr << "mallowdb: " << error.Number() << " : " << error.Description() << "\n";
    }
    return 1;
}
