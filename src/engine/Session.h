#pragma once

#include "Value.h"
#include "util/MallowError.h"

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mallow::engine {

struct TranslatedSql;

/// The open database behind a connection, shared with the recordsets opened on it so that
/// they notice when it closes.
struct Session
{
    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session();

    void Close();

    sqlite3* db = nullptr;
    std::string path; ///< as the caller named it, for descriptions
    /// An error an SQL function of the engine met while a statement ran; it replaces the
    /// generic failure SQLite reports for it.
    std::optional<MallowError> functionError;
};

/// One prepared statement, finalized when it goes.
class Statement
{
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt* stmt) : stmt(stmt) {}
    Statement(Statement&& other) noexcept : stmt(other.stmt) { other.stmt = nullptr; }
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    sqlite3_stmt* Get() const { return stmt; }

private:
    sqlite3_stmt* stmt = nullptr;
};

/// Raises the engine's error for a failed SQLite call.
[[noreturn]] void RaiseSqlite(Session& session, int rc);

/// Prepares SQL the engine wrote itself; any failure is raised as the engine's error.
Statement PrepareInternal(Session& session, const std::string& sql);
/// Prepares a translated statement of the program, describing a failure in terms of the
/// `original` text: unknown tables, unknown fields, syntax.
Statement PrepareProgram(Session& session, const TranslatedSql& sql, std::string_view original);
/// Binds `parameters` to the statement's `?` marks; 3061 when there are fewer than marks.
void BindAll(Statement& statement, const std::vector<Value>& parameters);
void BindValue(sqlite3_stmt* stmt, int index, const Value& value);
/// Steps once: true for a row, false when done; raises on failure.
bool StepRow(Session& session, Statement& statement);

} // namespace mallow::engine
