#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace mallow::net {

/// One cell of a network result: nothing, a byte, a 16-bit or 32-bit integer, or a text.
using NetValue =
    std::variant<std::monostate, std::uint8_t, std::int16_t, std::int32_t, std::string>;

/// The text of a cell ("" unless it holds a text).
std::string TextOf(const NetValue& value);
/// The number in a cell, whatever its width (0 unless it holds a number).
long NumberOf(const NetValue& value);

/// A result table indexed (column, row) from 0, or the empty value that an enumeration
/// without records returns. Callers ask IsEmpty() before they ask for bounds; reading a cell
/// outside the table raises error 9.
class NetTable
{
public:
    NetTable() = default;
    NetTable(int columns, int rows);

    bool IsEmpty() const { return rows == 0; }
    int Columns() const { return columns; }
    int Rows() const { return rows; }

    NetValue& operator()(int column, int row);
    const NetValue& operator()(int column, int row) const;

private:
    std::size_t Index(int column, int row) const;
    int columns = 0;
    int rows = 0;
    std::vector<NetValue> cells;
};

/// A result record: one row, indexed by column from 0.
using NetRecord = std::vector<NetValue>;

} // namespace mallow::net
