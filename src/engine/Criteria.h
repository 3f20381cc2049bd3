#pragma once

#include "Value.h"

#include <string>
#include <string_view>

namespace mallow::engine {

// One comparison of a Find: "[Field] op value".
struct Criteria
{
    enum class Op { Eq, Ne, Lt, Gt, Le, Ge, Like };
    std::string field;
    Op op = Op::Eq;
    Value value;
};

/// Reads "[Field] op value" (op = <> < > <= >= Like; value a number, 'text', #date#, Null,
/// True or False); 3001 for anything else.
Criteria ParseCriteria(std::string_view text);
/// Whether a field's value meets the comparison.
bool Meets(const Value& field, const Criteria& criteria);

} // namespace mallow::engine
