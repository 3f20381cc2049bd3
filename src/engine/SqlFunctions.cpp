#include "SqlFunctions.h"

#include "JetError.h"
#include "Session.h"
#include "Text.h"
#include "util/Dates.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <tuple>

namespace mallow::engine {

namespace {

struct NamedNumberFormat
{
    std::string_view name;
    std::string_view codes;
};

constexpr NamedNumberFormat NamedNumberFormats[] = {
    {"Fixed", "0.00"},         {"Standard", "#,##0.00"}, {"Percent", "0.00%"},
    {"Currency", "$#,##0.00"}, {"General Number", ""},
};

std::string_view ArgText(sqlite3_value* v)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(v)))
                : std::string_view();
}

void Fail(sqlite3_context* ctx, const MallowError& error)
{
    auto* session = static_cast<Session*>(sqlite3_user_data(ctx));
    session->functionError = error;
    sqlite3_result_error(ctx, error.Description().c_str(), -1);
}

void ResultText(sqlite3_context* ctx, const std::string& text)
{
    sqlite3_result_text(ctx, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::optional<double> NumberOf(std::string_view text)
{
    try {
        return Value(std::string(text)).ToDouble();
    } catch (const MallowError&) {
        return std::nullopt;
    }
}

void CDate(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
        return;
    case SQLITE_TEXT: {
        const std::string_view text = ArgText(argv[0]);
        std::optional<double> date = dates::ParseDateTime(text);
        if (!date)
            date = NumberOf(text);
        if (date) {
            sqlite3_result_double(ctx, *date);
            return;
        }
        break;
    }
    default:
        break;
    }
    Fail(ctx, JetException(jet::CriteriaTypeMismatch));
}

void Format(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    sqlite3_value* value = argv[0];
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::string_view format =
        argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL ? ArgText(argv[1]) : "";
    const bool numberValue = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
    try {
        if (format.empty()) {
            if (type == SQLITE_FLOAT)
                ResultText(ctx, Value(sqlite3_value_double(value)).ToText());
            else
                ResultText(ctx, std::string(ArgText(value)));
            return;
        }
        if (IsNumericFormat(format)) {
            const std::optional<double> number =
                numberValue ? std::optional<double>(sqlite3_value_double(value))
                            : NumberOf(ArgText(value));
            ResultText(ctx, number ? FormatNumber(*number, format) : std::string(ArgText(value)));
            return;
        }
        const std::optional<double> date = numberValue
                                               ? std::optional<double>(sqlite3_value_double(value))
                                               : dates::ParseDateTime(ArgText(value));
        // Text that is no date comes back as it is.
        ResultText(ctx, date ? dates::Format(*date, format) : std::string(ArgText(value)));
    } catch (const MallowError& error) {
        Fail(ctx, error);
    }
}

void Like(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // x LIKE y [ESCAPE z] arrives as like(y, x [, z]).
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t escape = 0;
    if (argc == 3) {
        const std::u32string e = text::Decode(ArgText(argv[2]));
        if (e.size() != 1) {
            Fail(ctx, JetException(jet::InvalidArgument));
            return;
        }
        escape = e[0];
    }
    sqlite3_result_int(ctx, text::Like(ArgText(argv[1]), ArgText(argv[0]), escape) ? 1 : 0);
}

std::string Grouped(const std::string& digits)
{
    std::string result;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            result += ',';
        result += digits[i];
    }
    return result;
}

} // namespace

bool IsNumericFormat(std::string_view format)
{
    for (const auto& named : NamedNumberFormats) {
        if (text::EqualNoCase(format, named.name))
            return true;
    }
    for (const auto word : {"Scientific", "Yes/No", "True/False", "On/Off"}) {
        if (text::EqualNoCase(format, word))
            return true;
    }
    bool digit = false;
    for (const char c : format) {
        if (c == '0' || c == '#')
            digit = true;
        else if (c != '.' && c != ',' && c != '%' && c != '$' && c != ' ' && c != '-')
            return false;
    }
    return digit;
}

std::string FormatNumber(double number, std::string_view format)
{
    for (const auto& [word, yes, no] :
         {std::tuple{"Yes/No", "Yes", "No"}, std::tuple{"True/False", "True", "False"},
          std::tuple{"On/Off", "On", "Off"}}) {
        if (text::EqualNoCase(format, word))
            return number != 0 ? yes : no;
    }
    if (text::EqualNoCase(format, "Scientific")) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.2E", number);
        return buffer;
    }
    for (const auto& named : NamedNumberFormats) {
        if (text::EqualNoCase(format, named.name))
            format = named.codes;
    }
    if (format.empty())
        return Value(number).ToText();

    const auto point = format.find('.');
    const std::string_view whole = format.substr(0, point);
    int decimals = 0;
    if (point != std::string_view::npos) {
        for (const char c : format.substr(point + 1))
            decimals += (c == '0' || c == '#') ? 1 : 0;
    }
    const bool percent = format.find('%') != std::string_view::npos;
    const bool grouping = whole.find(',') != std::string_view::npos;
    const bool leadingZero = whole.find('0') != std::string_view::npos;
    const double scaled = percent ? number * 100 : number;

    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(scaled));
    std::string digits = buffer;
    std::string fraction;
    if (const auto dot = digits.find('.'); dot != std::string::npos) {
        fraction = digits.substr(dot);
        digits.resize(dot);
    }
    if (digits == "0" && !leadingZero)
        digits.clear();
    std::string result = grouping ? Grouped(digits) : digits;
    result += fraction;
    const bool negative = scaled < 0 && result.find_first_not_of("0.,") != std::string::npos;
    if (format.find('$') != std::string_view::npos)
        result = "$" + result;
    if (negative)
        result = "-" + result;
    if (percent)
        result += '%';
    return result;
}

void RegisterSqlFunctions(Session& session)
{
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(session.db, "CDate", 1, flags, &session, CDate, nullptr, nullptr);
    sqlite3_create_function(session.db, "Format", 1, flags, &session, Format, nullptr, nullptr);
    sqlite3_create_function(session.db, "Format", 2, flags, &session, Format, nullptr, nullptr);
    sqlite3_create_function(session.db, "like", 2, flags, &session, Like, nullptr, nullptr);
    sqlite3_create_function(session.db, "like", 3, flags, &session, Like, nullptr, nullptr);
}

} // namespace mallow::engine
