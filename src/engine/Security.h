#pragma once

#include <sqlite3.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

/// Database passwords and workgroup information files: access checks of the engine, not
/// encryption (whoever can read a file can read its data with any SQLite tool).
///
/// A database keeps its settings in the table MSysMallowSecurity (Kind, Name, Value):
///   ('password', '', <hash>)        the database password; no row, no password
///   ('workgroup', <id>, '')         the workgroup the database is secured with
///   ('account', <name>, '')         an account of that workgroup allowed in; none, all are
/// A workgroup file is an SQLite file with MSysMallowWorkgroup (Id), one row, and
/// MSysMallowAccounts (Name, Password = <hash>); account names ignore case, passwords never.
/// <hash> is "pbkdf2-sha256$<iterations>$<salt, hex>$<key, hex>".
namespace mallow::engine::security {

inline constexpr const char* SecurityTable = "MSysMallowSecurity";
inline constexpr const char* DefaultAccount = "Admin";

/// The stored form of a password, with a fresh random salt.
std::string HashPassword(const std::string& password);
/// Whether `password` is the one `stored` was made from; a malformed `stored` matches nothing.
bool PasswordMatches(const std::string& stored, const std::string& password);

/// SHA-256 and PBKDF2-HMAC-SHA256 of raw bytes, for the hashes above.
std::string Sha256(const std::string& data);
std::string Pbkdf2Sha256(const std::string& password, const std::string& salt, int iterations,
                         std::size_t length);
/// Bytes as lower-case hexadecimal digits, two to a byte.
std::string Hex(const std::string& bytes);

struct DatabaseSecurity
{
    std::optional<std::string> passwordHash;
    std::string workgroupId; ///< empty: not secured with a workgroup
    std::vector<std::string> accounts;
};

/// The settings of an open database; defaults when it has none. Raises 3049 when the table
/// exists but cannot be read.
DatabaseSecurity ReadDatabaseSecurity(sqlite3* db, const std::string& display);

struct Workgroup
{
    std::string id;
    std::map<std::string, std::string> accounts; ///< folded name -> password hash
};

/// Reads a workgroup file; raises 3028 when it is missing, unreadable or no workgroup file.
Workgroup ReadWorkgroup(const std::string& path);

/// The workgroup id an account logs on to: with a workgroup file, the account must be one of
/// its accounts with that password (3028 for the file, 3029 for the account); without one
/// the account is the default one and the result is empty.
std::string LogOn(const std::string& workgroupFile, const std::string& user,
                  const std::string& password);

/// Raises 3029 when a database secured with a workgroup is opened by an account that did not
/// log on to that workgroup or is not allowed in, and 3031 for a wrong database password.
void CheckDatabaseAccess(const DatabaseSecurity& security, const std::string& workgroupId,
                         const std::string& user, const std::string& databasePassword);

/// Account names compare as the workgroup stores them: without regard to ASCII case.
std::string FoldName(const std::string& name);

/// The database password in a compaction's locale text: what follows ";pwd=" (any case) up to
/// the end, so that a password may hold ';'. Empty without one.
std::string PasswordOfLocale(const std::string& locale);

} // namespace mallow::engine::security
