#include "net/NetValue.h"

#include "util/MallowError.h"

namespace mallow::net {

std::string TextOf(const NetValue& value)
{
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : std::string();
}

long NumberOf(const NetValue& value)
{
    return std::visit(
        [](const auto& v) -> long {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_integral_v<T>)
                return static_cast<long>(v);
            else
                return 0;
        },
        value);
}

NetTable::NetTable(int columns, int rows)
    : columns(columns > 0 && rows > 0 ? columns : 0), rows(columns > 0 && rows > 0 ? rows : 0),
      cells(static_cast<std::size_t>(this->columns) * static_cast<std::size_t>(this->rows))
{
}

std::size_t NetTable::Index(int column, int row) const
{
    if (column < 0 || column >= columns || row < 0 || row >= rows)
        throw MallowError(9, "NetTable", RuntimeErrorText(9));
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
           static_cast<std::size_t>(column);
}

NetValue& NetTable::operator()(int column, int row)
{
    return cells[Index(column, row)];
}

const NetValue& NetTable::operator()(int column, int row) const
{
    return cells[Index(column, row)];
}

} // namespace mallow::net
