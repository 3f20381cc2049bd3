#include "Criteria.h"

#include "JetError.h"
#include "Text.h"
#include "util/Dates.h"

#include <cctype>
#include <optional>
#include <utility>

namespace mallow::engine {

namespace {

[[noreturn]] void BadCriteria()
{
    RaiseJet(jet::InvalidArgument);
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

} // namespace

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

} // namespace mallow::engine
