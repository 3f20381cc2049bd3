#pragma once

// The rows a recordset holds, shared by the recordset and its clones; for the engine's own use.

#include "Columns.h"
#include "Session.h"
#include "Value.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mallow::engine {

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
    /// For each row its client wrote: when each column was last written (0: never).
    std::unordered_map<std::size_t, std::vector<std::uint64_t>> writtenAt;

    std::uint64_t WrittenAt(std::size_t row, std::size_t column) const
    {
        const auto found = writtenAt.find(row);
        return found == writtenAt.end() ? 0 : found->second[column];
    }
    void MarkWritten(std::size_t row, std::size_t column, std::uint64_t when)
    {
        auto& columns = writtenAt[row];
        columns.resize(Width(), 0);
        columns[column] = when;
    }

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

/// Runs one statement the engine wrote itself, ignoring any rows.
void ExecInternal(Session& session, const std::string& sql);

/// Reads the rows of `source` (a SELECT, adCmdText, or a table name, adCmdTable). Rows that all
/// come from one table keep their rowid and table, so that they can be written back.
std::shared_ptr<RowStore> LoadRows(Session& session, const std::string& source, int options,
                                   const std::vector<Value>& parameters);

} // namespace mallow::engine
