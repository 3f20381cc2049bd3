#include "Session.h"

#include "JetError.h"
#include "JetSql.h"

namespace mallow::engine {

namespace {

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

// "main.Log" and "Log" name the same table in a message.
std::string WithoutSchema(std::string_view name)
{
    if (StartsWith(name, "main."))
        name.remove_prefix(5);
    return std::string(name);
}

} // namespace

Session::~Session()
{
    Close();
}

void Session::Close()
{
    if (db) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(stmt);
        stmt = other.stmt;
        other.stmt = nullptr;
    }
    return *this;
}

Statement::~Statement()
{
    sqlite3_finalize(stmt);
}

void RaiseSqlite(Session& session, int rc)
{
    if (session.functionError) {
        const MallowError error = *session.functionError;
        session.functionError.reset();
        throw error;
    }
    const std::string message = session.db ? sqlite3_errmsg(session.db) : "";
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        RaiseJet(jet::CurrentlyLocked);
    case SQLITE_READONLY:
        RaiseJet(jet::ReadOnly);
    case SQLITE_FULL:
        RaiseJet(jet::DiskFull);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        RaiseJet(jet::CannotOpenDatabase, session.path);
    case SQLITE_IOERR:
        RaiseJet(jet::DiskIo);
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        RaiseJet(jet::FileInUse, session.path);
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
        RaiseJet(jet::ConversionError);
    case SQLITE_CONSTRAINT:
        switch (rc) {
        case SQLITE_CONSTRAINT_NOTNULL: {
            const auto dot = message.rfind('.');
            RaiseJet(jet::RequiredNull,
                     dot == std::string::npos ? message : message.substr(dot + 1));
        }
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
        case SQLITE_CONSTRAINT_ROWID:
            RaiseJet(jet::DuplicateValue);
        default: {
            const auto colon = message.find(": ");
            RaiseJet(jet::ValidationRule,
                     colon == std::string::npos ? message : message.substr(colon + 2));
        }
        }
    default:
        break;
    }
    RaiseJetText(jet::Reserved, message.empty() ? JetDescription(jet::Reserved) : message);
}

Statement PrepareInternal(Session& session, const std::string& sql)
{
    if (!session.db)
        RaiseJet(jet::ConnectionUnusable);
    sqlite3_stmt* stmt = nullptr;
    const int rc =
        sqlite3_prepare_v2(session.db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    Statement statement(stmt);
    if (rc != SQLITE_OK)
        RaiseSqlite(session, rc);
    return statement;
}

Statement PrepareProgram(Session& session, const TranslatedSql& sql, std::string_view original)
{
    if (!session.db)
        RaiseJet(jet::ConnectionUnusable);
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(session.db, sql.text.c_str(),
                                      static_cast<int>(sql.text.size()), &stmt, &tail);
    Statement statement(stmt);
    if (rc == SQLITE_OK) {
        if (!stmt)
            RaiseJet(jet::InvalidStatement);
        for (; tail && *tail; ++tail) {
            if (*tail != ' ' && *tail != '\t' && *tail != '\r' && *tail != '\n')
                RaiseJet(jet::CharactersAfterEnd);
        }
        return statement;
    }
    if ((rc & 0xFF) != SQLITE_ERROR)
        RaiseSqlite(session, rc);

    const std::string message = sqlite3_errmsg(session.db);
    if (StartsWith(message, "no such table: "))
        RaiseJet(jet::TableNotFound, WithoutSchema(std::string_view(message).substr(15)));
    // An unknown name is taken for a parameter that was not given a value.
    if (StartsWith(message, "no such column: "))
        RaiseJet(jet::TooFewParameters, "1");
    if (StartsWith(message, "no such function: "))
        RaiseJet(jet::UndefinedFunction, message.substr(18));
    if (StartsWith(message, "ambiguous column name: "))
        RaiseJet(jet::AmbiguousField, message.substr(23));
    if (const auto at = message.find(" has no column named "); at != std::string::npos)
        RaiseJet(jet::InsertUnknownField, message.substr(at + 21));

    static constexpr std::string_view statements[] = {
        "SELECT",   "INSERT", "UPDATE",  "DELETE",  "CREATE", "DROP",
        "ALTER",    "WITH",   "PRAGMA",  "BEGIN",   "COMMIT", "END",
        "ROLLBACK", "VACUUM", "REINDEX", "ANALYZE", "REPLACE"};
    const std::string first = FirstWord(original);
    bool known = false;
    for (const auto word : statements)
        known = known || first == word;
    if (!known)
        RaiseJet(jet::InvalidStatement);

    const int offset = sqlite3_error_offset(session.db);
    const std::size_t at =
        offset >= 0 ? sql.SourceOffset(static_cast<std::size_t>(offset)) : original.size();
    const ClauseText clause = ClauseAt(original, at);
    if (clause.isFrom)
        RaiseJet(jet::FromClauseSyntax);
    RaiseJet(jet::SyntaxError, clause.expression);
}

void BindValue(sqlite3_stmt* stmt, int index, const Value& value)
{
    switch (value.GetType()) {
    case Value::Type::Null:
        sqlite3_bind_null(stmt, index);
        break;
    case Value::Type::Boolean:
        sqlite3_bind_int(stmt, index, value.ToBool() ? 1 : 0);
        break;
    case Value::Type::Long:
        sqlite3_bind_int64(stmt, index, value.ToLong());
        break;
    case Value::Type::Double:
    case Value::Type::Date:
        sqlite3_bind_double(stmt, index, value.ToDouble());
        break;
    case Value::Type::Text: {
        const std::string_view text = value.TextView();
        sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        break;
    }
    }
}

void BindAll(Statement& statement, const std::vector<Value>& parameters)
{
    const int expected = sqlite3_bind_parameter_count(statement.Get());
    if (static_cast<int>(parameters.size()) < expected)
        RaiseJet(jet::TooFewParameters, std::to_string(expected));
    for (int i = 0; i < expected; ++i)
        BindValue(statement.Get(), i + 1, parameters[static_cast<std::size_t>(i)]);
}

bool StepRow(Session& session, Statement& statement)
{
    const int rc = sqlite3_step(statement.Get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    RaiseSqlite(session, sqlite3_extended_errcode(session.db));
}

} // namespace mallow::engine
