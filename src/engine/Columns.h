#pragma once

#include "Value.h"

#include <sqlite3.h>

#include <cstddef>
#include <string_view>

namespace mallow::engine {

/// What a column's declared type makes of the values assigned to it.
enum class ColumnKind { Integer, Boolean, Date, Real, Text, Other };

struct ColumnType
{
    ColumnKind kind = ColumnKind::Other;
    std::size_t maxLength = 0; ///< characters, for TEXT(n); 0 = no limit
};

/// Reads a declared type: INTEGER, LONG, COUNTER -> whole numbers; BOOLEAN, BIT, YESNO ->
/// True/False; DATETIME, DATE, TIME -> dates; REAL, DOUBLE, CURRENCY -> numbers; TEXT(n),
/// VARCHAR(n), MEMO -> text of at most n characters; anything else is stored as given.
ColumnType ClassifyDeclaredType(std::string_view declared);

/// Converts a value for assignment to a column of `type`: 3421 when it cannot be converted,
/// 3163 when text is longer than the column allows. Null stays Null.
Value ConvertForColumn(const Value& value, const ColumnType& type);

/// The type a value SQLite stores as `storage` (SQLITE_INTEGER, ...) reads as from a column of
/// `kind`: whole numbers in a BOOLEAN column are True/False, numbers in a DATETIME column dates.
Value::Type ReadType(int storage, ColumnKind kind);

/// The value of result column `i` of the current row, typed by the column's kind (a BOOLEAN
/// column reads as True/False, a DATETIME column as a date).
Value ReadColumn(sqlite3_stmt* stmt, int i, ColumnKind kind);

} // namespace mallow::engine
