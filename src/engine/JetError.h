#pragma once

#include "util/MallowError.h"

#include <string>

namespace mallow::engine {

/// Numbers of the database engine's errors, with the engine's own descriptions.
namespace jet {
inline constexpr long CouldNotFindFile = 3024;        // Could not find file '<path>'.
inline constexpr long PasswordInvalid = 3031;         // Not a valid password.
inline constexpr long AccountInvalid = 3029;          // Not a valid account name or password.
inline constexpr long WorkgroupMissing = 3028;        // Cannot start your application. ...
inline constexpr long InvalidPath = 3044;             // '<path>' is not a valid path. ...
inline constexpr long CannotOpenDatabase = 3049;      // Cannot open database '<path>'. ...
inline constexpr long FileInUse = 3051;               // cannot open the file '<path>'. ...
inline constexpr long NoCurrentRecord = 3021;         // Either BOF or EOF is True, ...
inline constexpr long TooFewParameters = 3061;        // Too few parameters. Expected n.
inline constexpr long SyntaxError = 3075;             // Syntax error ... in query expression
inline constexpr long TableNotFound = 3078;           // cannot find the input table or query
inline constexpr long FieldTooSmall = 3163;           // The field is too small ...
inline constexpr long DatabaseExists = 3204;          // Database already exists.
inline constexpr long ItemNotFound = 3265;            // Item cannot be found in the collection ...
inline constexpr long RequiredNull = 3314;            // The field '...' cannot contain a Null ...
inline constexpr long UnrecognizedFormat = 3343;      // Unrecognized database format '<path>'.
inline constexpr long OpenedExclusively = 3356;       // ... already opened exclusively by user ...
inline constexpr long ConversionError = 3421;         // Data type conversion error.
inline constexpr long ObjectClosed = 3704;            // Operation is not allowed when the object is closed.
inline constexpr long ObjectOpen = 3705;              // Operation is not allowed when the object is open.
inline constexpr long DiskIo = 3040;                  // Disk I/O error during read.
inline constexpr long UpdateConflict = 3197;          // ... stopped the process because you and another user ...
} // namespace jet

/// Raises the engine's error with its number, source "DAO.DBEngine"/"ADODB.Recordset" style
/// and the engine's description; `arg` fills the description's placeholder (a path, a name).
[[noreturn]] void RaiseJet(long number, const std::string& arg = {});

/// The engine's description of one of the numbers above with `arg` in its placeholder.
std::string JetDescription(long number, const std::string& arg = {});

} // namespace mallow::engine
