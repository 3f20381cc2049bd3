#include "Columns.h"

#include "JetError.h"
#include "Text.h"
#include "util/Dates.h"

#include <cctype>
#include <string>

namespace mallow::engine {

namespace {

bool Contains(const std::string& s, std::string_view part)
{
    return s.find(part) != std::string::npos;
}

} // namespace

ColumnType ClassifyDeclaredType(std::string_view declared)
{
    std::string base;
    std::size_t length = 0;
    const auto open = declared.find('(');
    for (const char c : declared.substr(0, open)) {
        if (!std::isspace(static_cast<unsigned char>(c)))
            base += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (open != std::string_view::npos) {
        for (std::size_t i = open + 1;
             i < declared.size() && std::isdigit(static_cast<unsigned char>(declared[i])); ++i)
            length = length * 10 + static_cast<std::size_t>(declared[i] - '0');
    }

    ColumnType type;
    if (base == "BOOLEAN" || base == "BOOL" || base == "BIT" || base == "YESNO" ||
        base == "LOGICAL")
        type.kind = ColumnKind::Boolean;
    else if (base == "DATETIME" || base == "DATE" || base == "TIME" || base == "TIMESTAMP")
        type.kind = ColumnKind::Date;
    else if (Contains(base, "CHAR") || Contains(base, "TEXT") || Contains(base, "CLOB") ||
             base == "MEMO" || base == "STRING") {
        type.kind = ColumnKind::Text;
        type.maxLength = length;
    } else if (Contains(base, "INT") || base == "LONG" || base == "SHORT" || base == "BYTE" ||
               base == "COUNTER" || base == "AUTOINCREMENT")
        type.kind = ColumnKind::Integer;
    else if (Contains(base, "REAL") || Contains(base, "DOUB") || Contains(base, "FLOA") ||
             base == "NUMERIC" || base == "DECIMAL" || base == "CURRENCY" || base == "MONEY" ||
             base == "SINGLE" || base == "NUMBER")
        type.kind = ColumnKind::Real;
    return type;
}

Value ConvertForColumn(const Value& value, const ColumnType& type)
{
    if (value.IsNull())
        return value;
    try {
        switch (type.kind) {
        case ColumnKind::Integer:
            return Value(static_cast<long long>(value.ToLong()));
        case ColumnKind::Real:
            if (value.GetType() == Value::Type::Text && value.TextView().empty())
                break;
            return Value(value.ToDouble());
        case ColumnKind::Boolean: {
            if (value.GetType() == Value::Type::Text) {
                const std::string_view t = value.TextView();
                for (const auto word : {"Yes", "On"})
                    if (text::EqualNoCase(t, word))
                        return Value(true);
                for (const auto word : {"No", "Off"})
                    if (text::EqualNoCase(t, word))
                        return Value(false);
            }
            return Value(value.ToBool());
        }
        case ColumnKind::Date: {
            switch (value.GetType()) {
            case Value::Type::Date:
            case Value::Type::Double:
            case Value::Type::Long:
                return Value::Date(value.ToDouble());
            case Value::Type::Text:
                if (const auto date = dates::ParseDateTime(value.TextView()))
                    return Value::Date(*date);
                break;
            default:
                break;
            }
            break;
        }
        case ColumnKind::Text: {
            std::string t = value.ToText();
            if (type.maxLength > 0 && text::CharCount(t) > type.maxLength)
                RaiseJet(jet::FieldTooSmall);
            return Value(std::move(t));
        }
        case ColumnKind::Other:
            return value;
        }
    } catch (const MallowError& error) {
        if (error.Number() == jet::FieldTooSmall)
            throw;
    }
    RaiseJet(jet::ConversionError);
}

Value::Type ReadType(int storage, ColumnKind kind)
{
    switch (storage) {
    case SQLITE_NULL:
        return Value::Type::Null;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        if (kind == ColumnKind::Boolean)
            return Value::Type::Boolean;
        if (kind == ColumnKind::Date)
            return Value::Type::Date;
        return storage == SQLITE_INTEGER ? Value::Type::Long : Value::Type::Double;
    default:
        return Value::Type::Text;
    }
}

Value ReadColumn(sqlite3_stmt* stmt, int i, ColumnKind kind)
{
    const int storage = sqlite3_column_type(stmt, i);
    switch (ReadType(storage, kind)) {
    case Value::Type::Null:
        return Value();
    case Value::Type::Boolean:
        return Value(sqlite3_column_double(stmt, i) != 0);
    case Value::Type::Date:
        return Value::Date(sqlite3_column_double(stmt, i));
    case Value::Type::Long:
        return Value(static_cast<long long>(sqlite3_column_int64(stmt, i)));
    case Value::Type::Double:
        return Value(sqlite3_column_double(stmt, i));
    case Value::Type::Text:
        break;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
    const int bytes = sqlite3_column_bytes(stmt, i);
    return Value(std::string(text ? text : "", static_cast<std::size_t>(bytes)));
}

} // namespace mallow::engine
