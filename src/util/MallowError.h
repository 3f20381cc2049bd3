#pragma once

#include <stdexcept>
#include <string>

namespace mallow {

/// The one error type of the program: a number, the routine that raised it and a description.
/// Numbers follow the conventions the administrator knows: the engine's numbers for database
/// errors, 53/76/381-style numbers for file and control errors, and numbers on
/// ApplicationErrorBase for the network layer.
class MallowError : public std::runtime_error
{
public:
    MallowError(long number, std::string source, std::string description);

    long Number() const { return number; }
    const std::string& Source() const { return source; }
    const std::string& Description() const { return description; }

private:
    long number;
    std::string source;
    std::string description;
};

/// Base of the numbers that components of the program raise for their own errors.
inline constexpr long ApplicationErrorBase = -2147221504;

/// Error numbers of the language runtime that several modules raise.
namespace err {
inline constexpr long TypeMismatch = 13;
inline constexpr long UserInterrupt = 18;
inline constexpr long FileNotFound = 53;
inline constexpr long FileAlreadyExists = 58;
inline constexpr long DiskFull = 61;
inline constexpr long PermissionDenied = 70;
inline constexpr long PathFileAccess = 75;
inline constexpr long PathNotFound = 76;
inline constexpr long InvalidPropertyArrayIndex = 381;
inline constexpr long CancelError = 32755;
} // namespace err

/// The runtime's own description of one of the numbers above ("File not found" for 53).
std::string RuntimeErrorText(long number);

/// Raises one of the runtime's errors with its standard description.
[[noreturn]] void RaiseRuntimeError(long number, const std::string& source);

} // namespace mallow
