#pragma once

#include "util/MallowError.h"

#include <string>

namespace mallow::engine {

/// Numbers of the database engine's errors, with the engine's own descriptions.
namespace jet {
// clang-format off
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
inline constexpr long Reserved = 3000;                // a failure without a number of its own
inline constexpr long InvalidArgument = 3001;         // Arguments are of the wrong type, ...
inline constexpr long DuplicateValue = 3022;          // ... duplicate values in the index ...
inline constexpr long DiskFull = 3026;                // Not enough space on disk.
inline constexpr long ReadOnly = 3027;                // Cannot update.  ... read-only.
inline constexpr long AmbiguousField = 3079;          // The specified field '...' could refer ...
inline constexpr long UndefinedFunction = 3085;       // Undefined function '...' in expression.
inline constexpr long InsertUnknownField = 3127;      // ... contains the following unknown field
inline constexpr long InvalidStatement = 3129;        // Invalid SQL statement; expected ...
inline constexpr long FromClauseSyntax = 3131;        // Syntax error in FROM clause.
inline constexpr long CharactersAfterEnd = 3142;      // Characters found after end of ...
inline constexpr long FieldNotUpdatable = 3164;       // Field cannot be updated.
inline constexpr long RecordDeleted = 3167;           // Record is deleted.
inline constexpr long CurrentlyLocked = 3218;         // Could not update; currently locked.
inline constexpr long NotInThisContext = 3219;        // Operation is not allowed in this context.
inline constexpr long ValidationRule = 3317;          // One or more values are prohibited by ...
inline constexpr long CriteriaTypeMismatch = 3464;    // Data type mismatch in criteria expression.
inline constexpr long ConnectionUnusable = 3709;      // The connection cannot be used to ...
// clang-format on
} // namespace jet

/// Raises the engine's error with its number, source "DAO.DBEngine"/"ADODB.Recordset" style
/// and the engine's description; `arg` fills the description's placeholder (a path, a name).
[[noreturn]] void RaiseJet(long number, const std::string& arg = {});

/// The engine's description of one of the numbers above with `arg` in its placeholder.
std::string JetDescription(long number, const std::string& arg = {});

/// The error RaiseJet throws, for code that collects an error before raising it.
MallowError JetException(long number, const std::string& arg = {});
/// Raises one of the numbers above with a description of its own (a variant of the standard
/// text, such as 3075 for a date that is no date).
[[noreturn]] void RaiseJetText(long number, const std::string& description);

} // namespace mallow::engine
