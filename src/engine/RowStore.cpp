#include "RowStore.h"

#include "JetSql.h"
#include "Recordset.h"
#include "Text.h"

#include <cctype>

namespace mallow::engine {

void ExecInternal(Session& session, const std::string& sql)
{
    Statement statement = PrepareInternal(session, sql);
    while (StepRow(session, statement)) {
    }
}

namespace {

std::shared_ptr<TableInfo> LoadTable(Session& session, const std::string& name)
{
    auto table = std::make_shared<TableInfo>();
    Statement master = PrepareInternal(
        session, "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ? "
                 "COLLATE NOCASE");
    BindValue(master.Get(), 1, Value(name));
    if (!StepRow(session, master))
        return nullptr;
    table->name = reinterpret_cast<const char*>(sqlite3_column_text(master.Get(), 0));
    std::string sql = reinterpret_cast<const char*>(sqlite3_column_text(master.Get(), 1));
    for (char& c : sql)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (sql.find("WITHOUT ROWID") != std::string::npos)
        return nullptr;

    Statement info = PrepareInternal(session, "PRAGMA table_info(" + QuotedName(table->name) + ")");
    int keys = 0;
    int keyColumn = -1;
    std::string keyType;
    while (StepRow(session, info)) {
        TableColumn column;
        column.name = reinterpret_cast<const char*>(sqlite3_column_text(info.Get(), 1));
        const auto* declared = reinterpret_cast<const char*>(sqlite3_column_text(info.Get(), 2));
        column.type = ClassifyDeclaredType(declared ? declared : "");
        if (const auto* dflt = sqlite3_column_text(info.Get(), 4))
            column.defaultExpression = reinterpret_cast<const char*>(dflt);
        if (sqlite3_column_int(info.Get(), 5) > 0) {
            ++keys;
            keyColumn = static_cast<int>(table->columns.size());
            keyType = declared ? declared : "";
        }
        table->columns.push_back(std::move(column));
    }
    for (char& c : keyType)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (keys == 1 && keyType == "INTEGER") {
        table->rowidColumn = keyColumn;
        table->autoIncrement = sql.find("AUTOINCREMENT") != std::string::npos;
    }
    return table;
}

} // namespace

std::shared_ptr<RowStore> LoadRows(Session& session, const std::string& source, int options,
                                   const std::vector<Value>& parameters)
{
    TranslatedSql sql;
    std::string original = source;
    if (options == adCmdTable || options == 512) {
        std::string_view name = source;
        if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
            name = name.substr(1, name.size() - 2);
        sql.text = "SELECT * FROM " + QuotedName(name);
        original = "SELECT * FROM [" + std::string(name) + "]";
        sql.origins.emplace_back(0, 0);
    } else {
        sql = TranslateJetSql(source);
    }
    Statement statement = PrepareProgram(session, sql, original);
    const int count = sqlite3_column_count(statement.Get());
    auto store = std::make_shared<RowStore>();

    // Rows that all come from one table keep their rowid, so that they can be written back.
    std::string tableName;
    bool oneTable = count > 0 && AnalyzeSelect(sql.text).singleTable;
    for (int i = 0; i < count && oneTable; ++i) {
        const char* table = sqlite3_column_table_name(statement.Get(), i);
        const char* database = sqlite3_column_database_name(statement.Get(), i);
        if (!table || !database || std::string_view(database) != "main")
            oneTable = false;
        else if (i == 0)
            tableName = table;
        else if (!text::EqualNoCase(tableName, table))
            oneTable = false;
    }
    std::shared_ptr<TableInfo> table = oneTable ? LoadTable(session, tableName) : nullptr;

    for (int i = 0; i < count; ++i) {
        ColumnInfo column;
        column.name = sqlite3_column_name(statement.Get(), i);
        const char* declared = sqlite3_column_decltype(statement.Get(), i);
        column.type = ClassifyDeclaredType(declared ? declared : "");
        if (table) {
            const char* origin = sqlite3_column_origin_name(statement.Get(), i);
            for (std::size_t k = 0; origin && k < table->columns.size(); ++k) {
                if (text::EqualNoCase(table->columns[k].name, origin))
                    column.tableColumn = static_cast<int>(k);
            }
            if (column.tableColumn < 0)
                table.reset();
        }
        store->columns.push_back(std::move(column));
    }

    int first = 0;
    if (table) {
        const std::size_t at = AnalyzeSelect(sql.text).columnsAt;
        const std::string withRowid =
            sql.text.substr(0, at) + " rowid AS \"rowid\"," + sql.text.substr(at);
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(session.db, withRowid.c_str(), -1, &raw, nullptr) == SQLITE_OK &&
            sqlite3_column_count(raw) == count + 1) {
            statement = Statement(raw);
            first = 1;
        } else {
            sqlite3_finalize(raw);
            table.reset();
        }
    }
    if (!table) {
        for (ColumnInfo& column : store->columns)
            column.tableColumn = -1;
    }
    store->table = table;

    BindAll(statement, parameters);
    session.functionError.reset();
    sqlite3_stmt* stmt = statement.Get();
    std::vector<ColumnKind> kinds;
    for (const ColumnInfo& column : store->columns)
        kinds.push_back(column.type.kind);
    while (StepRow(session, statement)) {
        store->rowids.push_back(first ? sqlite3_column_int64(stmt, 0) : 0);
        for (int i = 0; i < count; ++i)
            store->AppendColumn(stmt, i + first, kinds[static_cast<std::size_t>(i)]);
    }
    store->deleted.assign(store->rowids.size(), 0);
    store->live = static_cast<long>(store->rowids.size());
    return store;
}

} // namespace mallow::engine
