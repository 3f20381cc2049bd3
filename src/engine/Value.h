#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace mallow::engine {

/// A field value: Null, a Boolean, a whole number, a floating number, a date (automation date)
/// or text. Text is UTF-8.
class Value
{
public:
    enum class Type { Null, Boolean, Long, Double, Date, Text };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : type(Type::Boolean), data(b ? int64_t{1} : int64_t{0}) {}
    Value(int n) : type(Type::Long), data(int64_t{n}) {}
    Value(long n) : type(Type::Long), data(int64_t{n}) {}
    Value(long long n) : type(Type::Long), data(int64_t{n}) {}
    Value(double d) : type(Type::Double), data(d) {}
    Value(std::string s) : type(Type::Text), data(std::move(s)) {}
    Value(const char* s) : type(Type::Text), data(std::string(s)) {}
    static Value Date(double automationDate);

    Type GetType() const { return type; }
    bool IsNull() const { return type == Type::Null; }

    /// The value joined to the empty text: Null gives "", True gives "True", a date its general
    /// date form, a number its shortest decimal form.
    std::string ToText() const;
    /// Converts as assigning to a whole-number variable does; raises 13 (Type mismatch) for
    /// Null or text that is no number, 6 (Overflow) beyond 64 bits. Doubles round half to even;
    /// True gives -1, False 0.
    int64_t ToLong() const;
    double ToDouble() const;
    /// Nonzero numbers are true; the texts "True"/"False" convert; anything else raises 13.
    bool ToBool() const;

    /// The text of a Text value without copying it; empty for every other type.
    std::string_view TextView() const
    {
        return type == Type::Text ? std::string_view(std::get<std::string>(data))
                                  : std::string_view();
    }

    bool operator==(const Value& other) const = default;

private:
    Type type = Type::Null;
    std::variant<std::monostate, int64_t, double, std::string> data;
};

} // namespace mallow::engine
