#pragma once

#include "platform/Registry.h"

#include <string>

namespace mallow::launcher {

/// The registry places that name the database program's folder, in the order they are asked.
inline constexpr const char* Office9Key = "Software\\Microsoft\\Office\\9.0\\Access\\InstallRoot";
inline constexpr const char* Office9Value = "Path";
inline constexpr const char* Office8Key = "Software\\Microsoft\\Office\\8.0\\Common\\InstallRoot";
inline constexpr const char* Office8Value = "OfficeBin";

/// The folder of the database program: the first of the two registry places that names one;
/// "" when neither does.
std::string AccessFolder(const registry::Places& places = registry::DefaultPlaces());

/// The program in that folder: the folder, its separator, "msaccess.exe" (a folder that ends
/// in a separator gives it twice, which both systems accept).
std::string AccessProgram(const std::string& folder);

/// One value of a command line in double quotes, with `"`, `\`, `$` and `` ` `` escaped, so
/// that the program gets it as one argument exactly as it is, whatever blanks, quotes or
/// slashes it holds.
std::string QuotedArgument(const std::string& value);

/// The command line that opens `database` in the program `exe`: with a workgroup file,
/// `"EXE" "DB" /wrkgrp "MDW" /User "USER" /Pwd "PASSWORD"`; without one, `"EXE" "DB"`. Every
/// value is its own argument (QuotedArgument): a blank or a slash in a user name or a password
/// adds no option. The password is on the program's command line, which the machine's other
/// users can see while it runs.
std::string AccessCommandLine(const std::string& exe, const std::string& database,
                              const std::string& workgroupFile, const std::string& user,
                              const std::string& password);

} // namespace mallow::launcher
