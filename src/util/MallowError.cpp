#include "MallowError.h"

namespace mallow {

MallowError::MallowError(long number, std::string source, std::string description)
    : std::runtime_error(description), number(number), source(std::move(source)),
      description(std::move(description))
{
}

std::string RuntimeErrorText(long number)
{
    switch (number) {
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 7: return "Out of memory";
    case 9: return "Subscript out of range";
    case 11: return "Division by zero";
    case err::TypeMismatch: return "Type mismatch";
    case err::UserInterrupt: return "User interrupt occurred";
    case 52: return "Bad file name or number";
    case err::FileNotFound: return "File not found";
    case 55: return "File already open";
    case 57: return "Device I/O error";
    case err::FileAlreadyExists: return "File already exists";
    case err::DiskFull: return "Disk full";
    case 62: return "Input past end of file";
    case 67: return "Too many files";
    case 68: return "Device unavailable";
    case err::PermissionDenied: return "Permission denied";
    case 71: return "Disk not ready";
    case 74: return "Can't rename with different drive";
    case err::PathFileAccess: return "Path/File access error";
    case err::PathNotFound: return "Path not found";
    case 91: return "Object variable or With block variable not set";
    case err::InvalidPropertyArrayIndex: return "Invalid property array index";
    case 429: return "ActiveX component can't create object";
    case err::CancelError: return "Cancel was selected.";
    default: return "Application-defined or object-defined error";
    }
}

void RaiseRuntimeError(long number, const std::string& source)
{
    throw MallowError(number, source, RuntimeErrorText(number));
}

} // namespace mallow
