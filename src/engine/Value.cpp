#include "Value.h"

#include "Text.h"
#include "util/Dates.h"
#include "util/MallowError.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace mallow::engine {

namespace {

constexpr const char* Source = "Value";

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// A decimal number as the language reads one: optional sign, digits with an optional point,
// optional exponent, blanks around it. No hexadecimal, no "inf" or "nan".
std::optional<double> ParseNumber(std::string_view s)
{
    s = Trimmed(s);
    std::size_t at = 0;
    if (at < s.size() && (s[at] == '+' || s[at] == '-'))
        ++at;
    std::size_t digits = 0;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9')
        ++at, ++digits;
    if (at < s.size() && s[at] == '.') {
        ++at;
        while (at < s.size() && s[at] >= '0' && s[at] <= '9')
            ++at, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
        ++at;
        if (at < s.size() && (s[at] == '+' || s[at] == '-'))
            ++at;
        std::size_t expDigits = 0;
        while (at < s.size() && s[at] >= '0' && s[at] <= '9')
            ++at, ++expDigits;
        if (expDigits == 0)
            return std::nullopt;
    }
    if (at != s.size())
        return std::nullopt;
    const std::string_view body = s.front() == '+' ? s.substr(1) : s;
    double result = 0;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), result);
    if (ec == std::errc::result_out_of_range)
        RaiseRuntimeError(6, Source);
    if (ec != std::errc() || end != body.data() + body.size())
        return std::nullopt;
    return result;
}

std::optional<bool> ParseBoolWord(std::string_view s)
{
    s = Trimmed(s);
    if (text::EqualNoCase(s, "True"))
        return true;
    if (text::EqualNoCase(s, "False"))
        return false;
    return std::nullopt;
}

int64_t RoundToLong(double d)
{
    // The default rounding mode rounds half to even, as whole-number assignment does.
    const double rounded = std::nearbyint(d);
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
        RaiseRuntimeError(6, Source);
    return static_cast<int64_t>(rounded);
}

} // namespace

Value Value::Date(double automationDate)
{
    Value v(automationDate);
    v.type = Type::Date;
    return v;
}

std::string Value::ToText() const
{
    switch (type) {
    case Type::Null:
        return {};
    case Type::Boolean:
        return std::get<int64_t>(data) != 0 ? "True" : "False";
    case Type::Long:
        return std::to_string(std::get<int64_t>(data));
    case Type::Date:
        return dates::GeneralDate(std::get<double>(data));
    case Type::Text:
        return std::get<std::string>(data);
    case Type::Double: {
        const double d = std::get<double>(data);
        if (d == 0)
            return "0";
        // Fifteen significant digits, the precision a double is shown with: 0.1 + 0.2 is
        // "0.3", 1E+15 and 1E-05 take the exponent form.
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.15G", d);
        return buffer;
    }
    }
    return {};
}

int64_t Value::ToLong() const
{
    switch (type) {
    case Type::Null:
        RaiseRuntimeError(err::TypeMismatch, Source);
    case Type::Boolean:
        return std::get<int64_t>(data) != 0 ? -1 : 0;
    case Type::Long:
        return std::get<int64_t>(data);
    case Type::Double:
    case Type::Date:
        return RoundToLong(std::get<double>(data));
    case Type::Text: {
        const std::string_view s = Trimmed(std::get<std::string>(data));
        int64_t whole = 0;
        const std::string_view body = !s.empty() && s.front() == '+' ? s.substr(1) : s;
        const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), whole);
        if (ec == std::errc() && end == body.data() + body.size() && !body.empty())
            return whole;
        if (ec == std::errc::result_out_of_range)
            RaiseRuntimeError(6, Source);
        if (const auto number = ParseNumber(s))
            return RoundToLong(*number);
        if (const auto word = ParseBoolWord(s))
            return *word ? -1 : 0;
        RaiseRuntimeError(err::TypeMismatch, Source);
    }
    }
    RaiseRuntimeError(err::TypeMismatch, Source);
}

double Value::ToDouble() const
{
    switch (type) {
    case Type::Null:
        RaiseRuntimeError(err::TypeMismatch, Source);
    case Type::Boolean:
        return std::get<int64_t>(data) != 0 ? -1.0 : 0.0;
    case Type::Long:
        return static_cast<double>(std::get<int64_t>(data));
    case Type::Double:
    case Type::Date:
        return std::get<double>(data);
    case Type::Text: {
        const std::string& s = std::get<std::string>(data);
        if (const auto number = ParseNumber(s))
            return *number;
        if (const auto word = ParseBoolWord(s))
            return *word ? -1.0 : 0.0;
        RaiseRuntimeError(err::TypeMismatch, Source);
    }
    }
    RaiseRuntimeError(err::TypeMismatch, Source);
}

bool Value::ToBool() const
{
    switch (type) {
    case Type::Null:
        RaiseRuntimeError(err::TypeMismatch, Source);
    case Type::Boolean:
    case Type::Long:
        return std::get<int64_t>(data) != 0;
    case Type::Double:
    case Type::Date:
        return std::get<double>(data) != 0;
    case Type::Text: {
        const std::string& s = std::get<std::string>(data);
        if (const auto word = ParseBoolWord(s))
            return *word;
        if (const auto number = ParseNumber(s))
            return *number != 0;
        RaiseRuntimeError(err::TypeMismatch, Source);
    }
    }
    RaiseRuntimeError(err::TypeMismatch, Source);
}

} // namespace mallow::engine
