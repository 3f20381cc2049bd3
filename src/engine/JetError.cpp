#include "JetError.h"

namespace mallow::engine {

namespace {

std::string Template(long number)
{
    switch (number) {
    case jet::Reserved:
        return "Reserved error (|); there is no message for this error.";
    case jet::InvalidArgument:
        return "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
               "with one another.";
    case jet::NoCurrentRecord:
        return "Either BOF or EOF is True, or the current record has been deleted. Requested "
               "operation requires a current record.";
    case jet::DuplicateValue:
        return "The changes you requested to the table were not successful because they would "
               "create duplicate values in the index, primary key, or relationship.  Change the "
               "data in the field or fields that contain duplicate data, remove the index, or "
               "redefine the index to permit duplicate entries and try again.";
    case jet::CouldNotFindFile:
        return "Could not find file '|'.";
    case jet::DiskFull:
        return "Not enough space on disk.";
    case jet::ReadOnly:
        return "Cannot update.  Database or object is read-only.";
    case jet::WorkgroupMissing:
        return "Cannot start your application.  The workgroup information file is missing or "
               "opened exclusively by another user.";
    case jet::AccountInvalid:
        return "Not a valid account name or password.";
    case jet::PasswordInvalid:
        return "Not a valid password.";
    case jet::DiskIo:
        return "Disk I/O error during read.";
    case jet::InvalidPath:
        return "'|' is not a valid path.  Make sure that the path name is spelled correctly and "
               "that you are connected to the server on which the file resides.";
    case jet::CannotOpenDatabase:
        return "Cannot open database '|'.  It may not be a database that your application "
               "recognizes, or the file may be corrupt.";
    case jet::FileInUse:
        return "The database engine cannot open the file '|'.  It is already opened exclusively "
               "by another user, or you need permission to view its data.";
    case jet::TooFewParameters:
        return "Too few parameters. Expected |.";
    case jet::SyntaxError:
        return "Syntax error (missing operator) in query expression '|'.";
    case jet::TableNotFound:
        return "The database engine cannot find the input table or query '|'.  Make sure it "
               "exists and that its name is spelled correctly.";
    case jet::AmbiguousField:
        return "The specified field '|' could refer to more than one table listed in the FROM "
               "clause of your SQL statement.";
    case jet::UndefinedFunction:
        return "Undefined function '|' in expression.";
    case jet::InsertUnknownField:
        return "The INSERT INTO statement contains the following unknown field name: '|'.  Make "
               "sure you have typed the name correctly, and try the operation again.";
    case jet::InvalidStatement:
        return "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
               "'UPDATE'.";
    case jet::FromClauseSyntax:
        return "Syntax error in FROM clause.";
    case jet::CharactersAfterEnd:
        return "Characters found after end of SQL statement.";
    case jet::FieldTooSmall:
        return "The field is too small to accept the amount of data you attempted to add.  Try "
               "inserting or pasting less data.";
    case jet::FieldNotUpdatable:
        return "Field cannot be updated.";
    case jet::RecordDeleted:
        return "Record is deleted.";
    case jet::UpdateConflict:
        return "The database engine stopped the process because you and another user are "
               "attempting to change the same data at the same time.";
    case jet::DatabaseExists:
        return "Database already exists.";
    case jet::CurrentlyLocked:
        return "Could not update; currently locked.";
    case jet::NotInThisContext:
        return "Operation is not allowed in this context.";
    case jet::ItemNotFound:
        return "Item cannot be found in the collection corresponding to the requested name or "
               "ordinal.";
    case jet::RequiredNull:
        return "The field '|' cannot contain a Null value because the Required property for this "
               "field is set to True.  Enter a value in this field.";
    case jet::ValidationRule:
        return "One or more values are prohibited by the validation rule '|' set for the table.  "
               "Enter a value that the expression for this field can accept.";
    case jet::UnrecognizedFormat:
        return "Unrecognized database format '|'.";
    case jet::OpenedExclusively:
        return "You attempted to open a database that is already opened exclusively by user "
               "'|'.  Try again when the database is available.";
    case jet::ConversionError:
        return "Data type conversion error.";
    case jet::CriteriaTypeMismatch:
        return "Data type mismatch in criteria expression.";
    case jet::ObjectClosed:
        return "Operation is not allowed when the object is closed.";
    case jet::ObjectOpen:
        return "Operation is not allowed when the object is open.";
    case jet::ConnectionUnusable:
        return "The connection cannot be used to perform this operation. It is either closed or "
               "invalid in this context.";
    default:
        return "Reserved error (|); there is no message for this error.";
    }
}

// Errors about the state of a cursor come from the recordset; everything else from the engine.
std::string SourceOf(long number)
{
    switch (number) {
    case jet::NoCurrentRecord:
    case jet::InvalidArgument:
    case jet::ItemNotFound:
    case jet::ObjectClosed:
    case jet::ObjectOpen:
    case jet::ConnectionUnusable:
    case jet::NotInThisContext:
        return "ADODB.Recordset";
    default:
        return "DAO.DBEngine";
    }
}

} // namespace

std::string JetDescription(long number, const std::string& arg)
{
    std::string text = Template(number);
    const auto at = text.find('|');
    if (at != std::string::npos) {
        const bool unknown = number == jet::Reserved || Template(number) == Template(-1);
        text.replace(at, 1, unknown && arg.empty() ? std::to_string(number) : arg);
    }
    return text;
}

MallowError JetException(long number, const std::string& arg)
{
    return MallowError(number, SourceOf(number), JetDescription(number, arg));
}

void RaiseJet(long number, const std::string& arg)
{
    throw JetException(number, arg);
}

void RaiseJetText(long number, const std::string& description)
{
    throw MallowError(number, SourceOf(number), description);
}

} // namespace mallow::engine
