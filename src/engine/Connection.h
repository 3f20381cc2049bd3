#pragma once

#include "Value.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace mallow::engine {

struct Session;

/// A connection to one database file, opened from a connection string of the form
/// "Provider=...;Persist Security Info=False;Data Source=<path>" (keys compared without regard to
/// case; "Jet OLEDB:Database Password" and "Jet OLEDB:System database" are honoured; a value in
/// quotes may hold anything, a doubled quote standing for one). While open
/// the connection is registered in the database's lock file.
class Connection
{
public:
    Connection();
    ~Connection(); ///< closes when still open
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// False: Open refuses (3051) a database path that is a symbolic link, for a database in a
    /// folder where others may put one. Set before Open.
    bool FollowLinks = true;

    /// Raises 3024 for a missing file, 3044 for a missing folder, 3343 for a file that is no
    /// database, 3049 for a damaged one, 3051 when the file or its lock file cannot be opened.
    void Open(const std::string& connectionString, const std::string& user = "",
              const std::string& password = "");
    /// Opens a database file by path, as Open with a Data Source of that path.
    void OpenFile(const std::string& path, const std::string& databasePassword = "");
    /// `value` as one value of a connection string, whatever it holds (";", quotes, blanks):
    /// in double quotes, each double quote in it doubled.
    static std::string QuotedValue(std::string_view value);
    void Close();
    bool IsOpen() const;

    /// Runs one statement in the engine's SQL dialect; `?` marks take `parameters` in order.
    /// Returns the number of rows changed.
    long Execute(const std::string& sql, const std::vector<Value>& parameters = {});

    const std::string& ConnectionString() const;
    /// The file path as the operating system opens it.
    const std::string& Path() const;

    sqlite3* Handle() const; ///< for the engine's own classes
    /// The open database as the engine's recordsets share it.
    std::shared_ptr<Session> SharedSession() const;
    /// The user name the connection registered under in the lock file ("Admin" by default).
    const std::string& UserName() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace mallow::engine
