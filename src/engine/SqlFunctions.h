#pragma once

#include <string>
#include <string_view>

namespace mallow::engine {

struct Session;

/// Installs the engine's functions on an open database: CDate, Format, and a LIKE that
/// ignores case (beyond ASCII) with `%` and `_` as wildcards.
void RegisterSqlFunctions(Session& session);

/// Formats a number with a numeric format ("0.00", "#,##0", "0%", "Fixed", "Standard",
/// "Percent", "Yes/No", ...).
std::string FormatNumber(double number, std::string_view format);
/// Whether a format is numeric rather than made of date codes.
bool IsNumericFormat(std::string_view format);

} // namespace mallow::engine
