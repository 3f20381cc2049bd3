#include "Recordset.h"

#include "Columns.h"
#include "Connection.h"
#include "JetError.h"
#include "JetSql.h"
#include "Session.h"
#include "Text.h"
#include "util/Dates.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>
#include <optional>

namespace mallow::engine {

namespace {

struct TableColumn
{
    std::string name;
    ColumnType type;
    std::string defaultExpression; ///< as the schema declares it; empty when none
};

struct TableInfo
{
    std::string name; ///< as the schema spells it
    std::vector<TableColumn> columns;
    int rowidColumn = -1; ///< the INTEGER PRIMARY KEY column, which is the rowid
    bool autoIncrement = false;
};

struct ColumnInfo
{
    std::string name;
    ColumnType type;
    int tableColumn = -1; ///< index into TableInfo::columns; -1 for a computed column
};

// One stored field: numbers inline, text as a piece of the store's text pool. Sixteen bytes a
// field keep a large row set compact and quick to read in.
struct Cell
{
    Value::Type type = Value::Type::Null;
    std::uint32_t length = 0;
    union {
        std::int64_t whole = 0;
        double real;
        const char* text;
    };
};

// Storage that grows in chunks of doubling size, so that nothing already stored ever moves or
// is copied, and a small row set stays small.
class CellChunks
{
public:
    std::size_t Size() const { return size; }
    Cell& operator[](std::size_t i) { return At(i); }
    const Cell& operator[](std::size_t i) const { return const_cast<CellChunks*>(this)->At(i); }
    void PushBack(const Cell& cell)
    {
        if (size == capacity) {
            const std::size_t next = FirstChunk << chunks.size();
            chunks.push_back(std::make_unique<Cell[]>(next));
            capacity += next;
        }
        At(size++) = cell;
    }

private:
    // Chunk k holds FirstChunk << k cells and starts at FirstChunk * (2^k - 1).
    Cell& At(std::size_t i)
    {
        const std::size_t j = i + FirstChunk;
        const int k = std::bit_width(j) - 1 - FirstShift;
        return chunks[static_cast<std::size_t>(k)][j - (FirstChunk << k)];
    }

    static constexpr int FirstShift = 6;
    static constexpr std::size_t FirstChunk = std::size_t{1} << FirstShift;
    std::vector<std::unique_ptr<Cell[]>> chunks;
    std::size_t size = 0;
    std::size_t capacity = 0;
};

class TextPool
{
public:
    // A stable copy of `text`, kept as long as the pool.
    const char* Keep(std::string_view text)
    {
        if (chunks.empty() || text.size() > capacity - used) {
            nextChunk = std::min(nextChunk * 2, MaxChunk);
            capacity = std::max(nextChunk, text.size());
            chunks.push_back(std::make_unique<char[]>(capacity));
            used = 0;
        }
        char* at = chunks.back().get() + used;
        std::copy(text.begin(), text.end(), at);
        used += text.size();
        return at;
    }

private:
    static constexpr std::size_t MaxChunk = std::size_t{1} << 20;
    std::vector<std::unique_ptr<char[]>> chunks;
    std::size_t nextChunk = 1024;
    std::size_t capacity = 0;
    std::size_t used = 0;
};

// The rows of a recordset, shared by the recordset and its clones.
struct RowStore
{
    std::vector<ColumnInfo> columns;
    std::shared_ptr<const TableInfo> table; ///< null when the rows cannot be written back
    CellChunks cells;                       ///< row after row
    TextPool text;                          ///< the text of every Text cell
    std::vector<sqlite3_int64> rowids;
    std::vector<unsigned char> deleted;
    long live = 0;
    std::optional<std::vector<Value>> defaults; ///< a new row's values, worked out once

    std::size_t Width() const { return columns.size(); }
    std::size_t Rows() const { return deleted.size(); }

    Value Get(std::size_t row, std::size_t column) const
    {
        const Cell& cell = cells[row * Width() + column];
        switch (cell.type) {
        case Value::Type::Null:
            return Value();
        case Value::Type::Boolean:
            return Value(cell.whole != 0);
        case Value::Type::Long:
            return Value(static_cast<long long>(cell.whole));
        case Value::Type::Double:
            return Value(cell.real);
        case Value::Type::Date:
            return Value::Date(cell.real);
        case Value::Type::Text:
            break;
        }
        return Value(std::string(cell.text, cell.length));
    }

    std::vector<Value> Row(std::size_t row) const
    {
        std::vector<Value> values;
        for (std::size_t i = 0; i < Width(); ++i)
            values.push_back(Get(row, i));
        return values;
    }

    Cell Store(const Value& value)
    {
        Cell cell;
        cell.type = value.GetType();
        switch (cell.type) {
        case Value::Type::Null:
            break;
        case Value::Type::Boolean:
            cell.whole = value.ToBool() ? 1 : 0;
            break;
        case Value::Type::Long:
            cell.whole = value.ToLong();
            break;
        case Value::Type::Double:
        case Value::Type::Date:
            cell.real = value.ToDouble();
            break;
        case Value::Type::Text:
            cell.text = text.Keep(value.TextView());
            cell.length = static_cast<std::uint32_t>(value.TextView().size());
            break;
        }
        return cell;
    }

    void Set(std::size_t row, const std::vector<Value>& values)
    {
        for (std::size_t i = 0; i < Width(); ++i)
            cells[row * Width() + i] = Store(values[i]);
    }

    void Append(sqlite3_int64 rowid, const std::vector<Value>& values)
    {
        for (const Value& value : values)
            cells.PushBack(Store(value));
        rowids.push_back(rowid);
        deleted.push_back(0);
        ++live;
    }

    // Reads result column `i` of the statement's current row straight into a cell.
    void AppendColumn(sqlite3_stmt* stmt, int i, ColumnKind kind)
    {
        Cell cell;
        const int storage = sqlite3_column_type(stmt, i);
        cell.type = ReadType(storage, kind);
        switch (cell.type) {
        case Value::Type::Null:
            break;
        case Value::Type::Long:
            cell.whole = sqlite3_column_int64(stmt, i);
            break;
        case Value::Type::Boolean:
            cell.whole = storage == SQLITE_INTEGER ? sqlite3_column_int64(stmt, i) != 0
                                                   : sqlite3_column_double(stmt, i) != 0;
            break;
        case Value::Type::Double:
        case Value::Type::Date:
            cell.real = sqlite3_column_double(stmt, i);
            break;
        case Value::Type::Text: {
            const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            cell.length = static_cast<std::uint32_t>(sqlite3_column_bytes(stmt, i));
            cell.text = text.Keep(std::string_view(bytes ? bytes : "", cell.length));
            break;
        }
        }
        cells.PushBack(cell);
    }
};

void Exec(Session& session, const std::string& sql)
{
    Statement statement = PrepareInternal(session, sql);
    while (StepRow(session, statement)) {
    }
}

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

    Statement info =
        PrepareInternal(session, "PRAGMA table_info(" + QuotedName(table->name) + ")");
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

std::shared_ptr<RowStore> Load(Session& session, const std::string& source, int options,
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

// One comparison of a Find: "[Field] op value".
struct Criteria
{
    enum class Op { Eq, Ne, Lt, Gt, Le, Ge, Like };
    std::string field;
    Op op = Op::Eq;
    Value value;
};

[[noreturn]] void BadCriteria()
{
    RaiseJet(jet::InvalidArgument);
}

Criteria ParseCriteria(std::string_view s)
{
    const auto skipBlanks = [&] {
        while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
            s.remove_prefix(1);
    };
    Criteria criteria;
    skipBlanks();
    if (!s.empty() && s.front() == '[') {
        const auto close = s.find(']');
        if (close == std::string_view::npos)
            BadCriteria();
        criteria.field = std::string(s.substr(1, close - 1));
        s.remove_prefix(close + 1);
    } else {
        std::size_t end = 0;
        while (end < s.size() && !std::isspace(static_cast<unsigned char>(s[end])) &&
               s[end] != '=' && s[end] != '<' && s[end] != '>')
            ++end;
        criteria.field = std::string(s.substr(0, end));
        s.remove_prefix(end);
    }
    if (criteria.field.empty())
        BadCriteria();
    skipBlanks();

    using Op = Criteria::Op;
    static constexpr std::pair<std::string_view, Op> ops[] = {{"<>", Op::Ne}, {"<=", Op::Le},
                                                              {">=", Op::Ge}, {"=", Op::Eq},
                                                              {"<", Op::Lt},  {">", Op::Gt}};
    bool found = false;
    for (const auto& [symbol, op] : ops) {
        if (s.substr(0, symbol.size()) == symbol) {
            criteria.op = op;
            s.remove_prefix(symbol.size());
            found = true;
            break;
        }
    }
    if (!found && s.size() > 4 && text::EqualNoCase(s.substr(0, 4), "LIKE") &&
        (std::isspace(static_cast<unsigned char>(s[4])) || s[4] == '\'' || s[4] == '"')) {
        criteria.op = Op::Like;
        s.remove_prefix(4);
        found = true;
    }
    if (!found)
        BadCriteria();
    skipBlanks();

    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    if (s.empty())
        BadCriteria();
    const char first = s.front();
    if (first == '\'' || first == '"') {
        if (s.size() < 2 || s.back() != first)
            BadCriteria();
        std::string value;
        for (std::size_t i = 1; i + 1 < s.size(); ++i) {
            if (s[i] == first) {
                if (i + 2 >= s.size() || s[i + 1] != first)
                    BadCriteria();
                ++i;
            }
            value += s[i];
        }
        criteria.value = Value(std::move(value));
    } else if (first == '#') {
        if (s.size() < 3 || s.back() != '#')
            BadCriteria();
        const auto date = dates::ParseDateTime(s.substr(1, s.size() - 2));
        if (!date)
            BadCriteria();
        criteria.value = Value::Date(*date);
    } else if (text::EqualNoCase(s, "Null")) {
        criteria.value = Value();
    } else if (text::EqualNoCase(s, "True") || text::EqualNoCase(s, "False")) {
        criteria.value = Value(text::EqualNoCase(s, "True"));
    } else {
        try {
            criteria.value = Value(Value(std::string(s)).ToDouble());
        } catch (const MallowError&) {
            BadCriteria();
        }
    }
    if (criteria.op == Op::Like && criteria.value.GetType() != Value::Type::Text)
        BadCriteria();
    return criteria;
}

std::optional<double> AsNumber(const Value& v)
{
    try {
        if (v.GetType() == Value::Type::Text) {
            if (const auto date = dates::ParseDateTime(v.TextView()))
                return *date;
        }
        return v.ToDouble();
    } catch (const MallowError&) {
        return std::nullopt;
    }
}

bool Meets(const Value& field, const Criteria& criteria)
{
    using Op = Criteria::Op;
    const Value& wanted = criteria.value;
    if (wanted.IsNull())
        return criteria.op == Op::Eq ? field.IsNull() : criteria.op == Op::Ne && !field.IsNull();
    if (field.IsNull())
        return false;
    if (criteria.op == Op::Like)
        return text::Like(field.ToText(), wanted.TextView(), 0, true);

    int order = 0;
    if (wanted.GetType() == Value::Type::Text && field.GetType() == Value::Type::Text) {
        order = text::CompareNoCase(field.TextView(), wanted.TextView());
    } else if (wanted.GetType() == Value::Type::Boolean) {
        if (field.GetType() == Value::Type::Text)
            return false;
        const bool a = field.ToBool();
        const bool b = wanted.ToBool();
        order = a == b ? 0 : (a ? -1 : 1); // True is -1
    } else {
        const auto a = AsNumber(field);
        const auto b = AsNumber(wanted);
        if (!a || !b)
            return false;
        order = *a < *b ? -1 : (*a > *b ? 1 : 0);
    }
    switch (criteria.op) {
    case Op::Eq:
        return order == 0;
    case Op::Ne:
        return order != 0;
    case Op::Lt:
        return order < 0;
    case Op::Gt:
        return order > 0;
    case Op::Le:
        return order <= 0;
    case Op::Ge:
        return order >= 0;
    case Op::Like:
        break;
    }
    return false;
}

} // namespace

struct Recordset::Impl
{
    enum class Mode { None, Edit, Add };

    std::shared_ptr<Session> session;
    std::shared_ptr<RowStore> store;
    std::string source;
    int options = adCmdText;
    std::vector<Value> parameters;
    bool readOnly = false;

    std::ptrdiff_t position = -1;
    bool bof = true;
    bool eof = true;

    Mode mode = Mode::None;
    std::vector<Value> buffer;
    std::vector<Value> original;
    std::vector<unsigned char> changed;

    bool Open() const { return store && session && session->db; }

    void CheckOpen() const
    {
        if (!Open())
            RaiseJet(jet::ObjectClosed);
    }

    void CheckWritable() const
    {
        if (readOnly)
            RaiseJet(jet::ReadOnly);
    }

    bool OnLiveRow() const
    {
        return !bof && !eof && position >= 0 &&
               static_cast<std::size_t>(position) < store->Rows() &&
               !store->deleted[static_cast<std::size_t>(position)];
    }

    Value Read(std::size_t column) const
    {
        if (mode != Mode::None)
            return buffer[column];
        if (!OnLiveRow())
            RaiseJet(jet::NoCurrentRecord);
        return store->Get(static_cast<std::size_t>(position), column);
    }

    std::size_t IndexOf(std::string_view name) const
    {
        const auto& columns = store->columns;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name == name)
                return i;
        }
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name.size() == name.size() && text::EqualNoCase(columns[i].name, name))
                return i;
        }
        RaiseJet(jet::ItemNotFound);
    }

    void PlaceOnFirst()
    {
        position = -1;
        bof = eof = store->live == 0;
        if (store->live == 0)
            return;
        for (std::size_t i = 0; i < store->Rows(); ++i) {
            if (!store->deleted[i]) {
                position = static_cast<std::ptrdiff_t>(i);
                return;
            }
        }
    }

    void Clear()
    {
        mode = Mode::None;
        buffer.clear();
        original.clear();
        changed.clear();
    }

    const TableColumn& TableColumnOf(std::size_t column) const
    {
        return store->table->columns[static_cast<std::size_t>(store->columns[column].tableColumn)];
    }

    bool IsAutoNumber(std::size_t column) const
    {
        return store->table && store->table->autoIncrement &&
               store->columns[column].tableColumn == store->table->rowidColumn;
    }

    // The current values of a row as the database holds them, typed as this row set reads them.
    std::optional<std::vector<Value>> ReadBack(sqlite3_int64 rowid)
    {
        std::string sql = "SELECT ";
        for (std::size_t i = 0; i < store->Width(); ++i)
            sql += (i ? ", " : "") + std::string("\"") + TableColumnOf(i).name + '"';
        sql += " FROM \"" + store->table->name + "\" WHERE rowid = ?";
        Statement statement = PrepareInternal(*session, sql);
        sqlite3_bind_int64(statement.Get(), 1, rowid);
        if (!StepRow(*session, statement))
            return std::nullopt;
        std::vector<Value> values;
        for (std::size_t i = 0; i < store->Width(); ++i)
            values.push_back(
                ReadColumn(statement.Get(), static_cast<int>(i), store->columns[i].type.kind));
        return values;
    }

    std::vector<Value> NewRowValues()
    {
        if (!store->defaults) {
            std::vector<Value> defaults;
            for (std::size_t i = 0; i < store->Width(); ++i) {
                const TableColumn& column = TableColumnOf(i);
                if (column.defaultExpression.empty()) {
                    defaults.emplace_back();
                    continue;
                }
                // The expression comes from the table's own schema.
                Statement statement =
                    PrepareInternal(*session, "SELECT " + column.defaultExpression);
                defaults.push_back(StepRow(*session, statement)
                                       ? ReadColumn(statement.Get(), 0, column.type.kind)
                                       : Value());
            }
            store->defaults = std::move(defaults);
        }
        return *store->defaults;
    }

    // Takes the table's next auto-number for a new row at once, so that it can be read before
    // the row is written and no other client can be given it; a cancelled row leaves a gap.
    sqlite3_int64 ReserveAutoNumber()
    {
        Session& s = *session;
        const bool ownTransaction = sqlite3_get_autocommit(s.db) != 0;
        if (ownTransaction)
            Exec(s, "BEGIN IMMEDIATE");
        try {
            const Value name(store->table->name);
            sqlite3_int64 next = 0;
            {
                Statement seq =
                    PrepareInternal(s, "SELECT seq FROM sqlite_sequence WHERE name = ?");
                BindValue(seq.Get(), 1, name);
                if (StepRow(s, seq))
                    next = sqlite3_column_int64(seq.Get(), 0);
                Statement max =
                    PrepareInternal(s, "SELECT max(rowid) FROM \"" + store->table->name + "\"");
                if (StepRow(s, max))
                    next = std::max(next, sqlite3_column_int64(max.Get(), 0));
                ++next;
            }
            Statement update =
                PrepareInternal(s, "UPDATE sqlite_sequence SET seq = ? WHERE name = ?");
            sqlite3_bind_int64(update.Get(), 1, next);
            BindValue(update.Get(), 2, name);
            while (StepRow(s, update)) {
            }
            if (sqlite3_changes(s.db) == 0) {
                Statement insert =
                    PrepareInternal(s, "INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)");
                BindValue(insert.Get(), 1, name);
                sqlite3_bind_int64(insert.Get(), 2, next);
                while (StepRow(s, insert)) {
                }
            }
            if (ownTransaction)
                Exec(s, "COMMIT");
            return next;
        } catch (...) {
            if (ownTransaction)
                sqlite3_exec(s.db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    void WriteEdit()
    {
        const std::size_t row = static_cast<std::size_t>(position);
        const sqlite3_int64 rowid = store->rowids[row];
        std::string sets;
        std::string checks;
        std::vector<Value> values;
        std::vector<Value> originals;
        for (std::size_t i = 0; i < store->Width(); ++i) {
            if (!changed[i])
                continue;
            const std::string name = "\"" + TableColumnOf(i).name + "\"";
            sets += (sets.empty() ? "" : ", ") + name + " = ?";
            // Optimistic locking: the row must still hold what this row set read. Any nonzero
            // number in a Boolean column reads as True.
            const bool boolean = store->columns[i].type.kind == ColumnKind::Boolean &&
                                 original[i].GetType() == Value::Type::Boolean;
            checks += " AND " + (boolean ? "(" + name + " <> 0)" : name) + " IS ?";
            values.push_back(buffer[i]);
            originals.push_back(original[i]);
        }
        if (sets.empty()) {
            Clear();
            return;
        }
        Statement statement =
            PrepareInternal(*session, "UPDATE \"" + store->table->name + "\" SET " + sets +
                                          " WHERE rowid = ?" + checks);
        int index = 1;
        for (const Value& v : values)
            BindValue(statement.Get(), index++, v);
        sqlite3_bind_int64(statement.Get(), index++, rowid);
        for (const Value& v : originals)
            BindValue(statement.Get(), index++, v);
        session->functionError.reset();
        while (StepRow(*session, statement)) {
        }
        if (sqlite3_changes(session->db) == 0) {
            if (!ReadBack(rowid)) {
                store->deleted[row] = 1;
                --store->live;
                Clear();
                RaiseJet(jet::RecordDeleted);
            }
            RaiseJet(jet::UpdateConflict);
        }
        sqlite3_int64 newRowid = rowid;
        for (std::size_t i = 0; i < store->Width(); ++i) {
            if (changed[i] && store->columns[i].tableColumn == store->table->rowidColumn &&
                !buffer[i].IsNull())
                newRowid = buffer[i].ToLong();
        }
        store->rowids[row] = newRowid;
        const auto stored = ReadBack(newRowid);
        store->Set(row, stored ? *stored : buffer);
        Clear();
    }

    void WriteNew()
    {
        std::string names;
        std::string marks;
        std::vector<Value> values;
        std::optional<sqlite3_int64> explicitRowid;
        for (std::size_t i = 0; i < store->Width(); ++i) {
            const bool number = IsAutoNumber(i) && !buffer[i].IsNull();
            if (!changed[i] && !number)
                continue;
            names += (names.empty() ? "\"" : ", \"") + TableColumnOf(i).name + "\"";
            marks += marks.empty() ? "?" : ", ?";
            values.push_back(buffer[i]);
            if (store->columns[i].tableColumn == store->table->rowidColumn && !buffer[i].IsNull())
                explicitRowid = buffer[i].ToLong();
        }
        const std::string sql =
            "INSERT INTO \"" + store->table->name + "\"" +
            (names.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")");
        Statement statement = PrepareInternal(*session, sql);
        for (std::size_t i = 0; i < values.size(); ++i)
            BindValue(statement.Get(), static_cast<int>(i + 1), values[i]);
        session->functionError.reset();
        while (StepRow(*session, statement)) {
        }
        const sqlite3_int64 rowid =
            explicitRowid ? *explicitRowid : sqlite3_last_insert_rowid(session->db);
        const auto stored = ReadBack(rowid);
        store->Append(rowid, stored ? *stored : buffer);
        position = static_cast<std::ptrdiff_t>(store->Rows() - 1);
        bof = eof = false;
        Clear();
    }

    void Flush()
    {
        if (mode == Mode::Edit)
            WriteEdit();
        else if (mode == Mode::Add)
            WriteNew();
    }
};

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

void Recordset::Open(const std::string& source, Connection& connection, int options,
                     const std::vector<Value>& parameters)
{
    if (impl && impl->Open())
        RaiseJet(jet::ObjectOpen);
    auto session = connection.SharedSession();
    if (!session || !session->db)
        RaiseJet(jet::ConnectionUnusable);
    auto fresh = std::make_unique<Impl>();
    fresh->store = Load(*session, source, options, parameters);
    fresh->session = std::move(session);
    fresh->source = source;
    fresh->options = options;
    fresh->parameters = parameters;
    fresh->readOnly = !fresh->store->table || lockType == LockType::ReadOnly;
    fresh->PlaceOnFirst();
    impl = std::move(fresh);
}

void Recordset::Close()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    // A pending edit is written, as moving away from it would.
    impl->Flush();
    impl.reset();
}

bool Recordset::IsOpen() const
{
    return impl && impl->Open();
}

void Recordset::MoveFirst()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->Flush();
    if (impl->store->live == 0)
        RaiseJet(jet::NoCurrentRecord);
    impl->PlaceOnFirst();
}

void Recordset::MoveLast()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->Flush();
    const RowStore& store = *impl->store;
    if (store.live == 0)
        RaiseJet(jet::NoCurrentRecord);
    for (std::size_t i = store.Rows(); i-- > 0;) {
        if (!store.deleted[i]) {
            impl->position = static_cast<std::ptrdiff_t>(i);
            impl->bof = impl->eof = false;
            return;
        }
    }
}

void Recordset::MoveNext()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    if (impl->eof)
        RaiseJet(jet::NoCurrentRecord);
    impl->Flush();
    const RowStore& store = *impl->store;
    std::size_t i = impl->bof ? 0 : static_cast<std::size_t>(impl->position + 1);
    while (i < store.Rows() && store.deleted[i])
        ++i;
    impl->position = static_cast<std::ptrdiff_t>(i);
    impl->bof = store.live == 0;
    impl->eof = i >= store.Rows();
}

void Recordset::MovePrevious()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    if (impl->bof)
        RaiseJet(jet::NoCurrentRecord);
    impl->Flush();
    const RowStore& store = *impl->store;
    std::ptrdiff_t i =
        impl->eof ? static_cast<std::ptrdiff_t>(store.Rows()) - 1 : impl->position - 1;
    while (i >= 0 && store.deleted[static_cast<std::size_t>(i)])
        --i;
    impl->position = i;
    impl->bof = i < 0;
    impl->eof = store.live == 0;
}

bool Recordset::Eof() const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    return impl->eof;
}

bool Recordset::Bof() const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    return impl->bof;
}

long Recordset::RecordCount() const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    return impl->store->live;
}

Value Recordset::Field(std::string_view name) const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    return impl->Read(impl->IndexOf(name));
}

Value Recordset::FieldAt(int index) const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    if (index < 0 || static_cast<std::size_t>(index) >= impl->store->Width())
        RaiseJet(jet::ItemNotFound);
    return impl->Read(static_cast<std::size_t>(index));
}

int Recordset::FieldCount() const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    return static_cast<int>(impl->store->Width());
}

void Recordset::SetField(std::string_view name, const Value& value)
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    const std::size_t column = impl->IndexOf(name);
    impl->CheckWritable();
    if (impl->store->columns[column].tableColumn < 0 || impl->IsAutoNumber(column))
        RaiseJet(jet::FieldNotUpdatable);
    Value converted = ConvertForColumn(value, impl->TableColumnOf(column).type);
    if (impl->mode == Impl::Mode::None) {
        if (!impl->OnLiveRow())
            RaiseJet(jet::NoCurrentRecord);
        impl->buffer = impl->store->Row(static_cast<std::size_t>(impl->position));
        impl->original = impl->buffer;
        impl->changed.assign(impl->store->Width(), 0);
        impl->mode = Impl::Mode::Edit;
    }
    impl->buffer[column] = std::move(converted);
    impl->changed[column] = 1;
}

std::vector<std::string> Recordset::FieldNames() const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    std::vector<std::string> names;
    for (const auto& column : impl->store->columns)
        names.push_back(column.name);
    return names;
}

void Recordset::AddNew()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->CheckWritable();
    impl->Flush();
    const std::vector<Value> defaults = impl->NewRowValues();
    std::vector<Value> values;
    values.reserve(defaults.size());
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        if (impl->IsAutoNumber(i))
            values.emplace_back(static_cast<long long>(impl->ReserveAutoNumber()));
        else
            values.push_back(defaults[i]);
    }
    impl->buffer = std::move(values);
    impl->original.clear();
    impl->changed.assign(impl->store->Width(), 0);
    impl->mode = Impl::Mode::Add;
}

void Recordset::Update()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->Flush();
}

void Recordset::CancelUpdate()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->Clear();
}

bool Recordset::EditPending() const
{
    return IsOpen() && impl->mode != Impl::Mode::None;
}

void Recordset::Delete()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->CheckWritable();
    if (impl->mode == Impl::Mode::Add) {
        // The new row was never written: deleting it just drops it.
        impl->Clear();
        return;
    }
    impl->Clear();
    if (!impl->OnLiveRow())
        RaiseJet(jet::NoCurrentRecord);
    RowStore& store = *impl->store;
    const std::size_t row = static_cast<std::size_t>(impl->position);
    Statement statement = PrepareInternal(*impl->session, "DELETE FROM \"" + store.table->name +
                                                              "\" WHERE rowid = ?");
    sqlite3_bind_int64(statement.Get(), 1, store.rowids[row]);
    while (StepRow(*impl->session, statement)) {
    }
    store.deleted[row] = 1;
    --store.live;
}

void Recordset::Requery()
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    impl->Flush();
    // Clones keep the rows they share; this row set reads afresh.
    impl->store = Load(*impl->session, impl->source, impl->options, impl->parameters);
    impl->readOnly = !impl->store->table || lockType == LockType::ReadOnly;
    impl->PlaceOnFirst();
}

Recordset Recordset::Clone(LockType lock) const
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    Recordset clone;
    clone.cursorType = cursorType;
    clone.lockType = lock == LockType::Unspecified ? lockType : lock;
    clone.impl = std::make_unique<Impl>();
    clone.impl->session = impl->session;
    clone.impl->store = impl->store;
    clone.impl->source = impl->source;
    clone.impl->options = impl->options;
    clone.impl->parameters = impl->parameters;
    clone.impl->readOnly = !impl->store->table || clone.lockType == LockType::ReadOnly;
    clone.impl->PlaceOnFirst();
    return clone;
}

void Recordset::Find(const std::string& criteria)
{
    if (!IsOpen())
        RaiseJet(jet::ObjectClosed);
    const Criteria parsed = ParseCriteria(criteria);
    const std::size_t column = impl->IndexOf(parsed.field);
    impl->Flush();
    const RowStore& store = *impl->store;
    if (impl->eof)
        return;
    for (std::size_t i = impl->bof ? 0 : static_cast<std::size_t>(impl->position); i < store.Rows();
         ++i) {
        if (!store.deleted[i] && Meets(store.Get(i, column), parsed)) {
            impl->position = static_cast<std::ptrdiff_t>(i);
            impl->bof = impl->eof = false;
            return;
        }
    }
    impl->position = static_cast<std::ptrdiff_t>(store.Rows());
    impl->eof = true;
}

} // namespace mallow::engine
