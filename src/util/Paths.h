#pragma once

#include <string>
#include <string_view>

namespace mallow {

/// The text after the last separator ("\\" or "/") of a path, or "-1" when it holds none.
std::string FileNameOfPath(std::string_view path);
/// The text up to and including the last separator of a path, or "-1" when it holds none.
std::string FolderOfPath(std::string_view path);

/// The separator a path is written with: "/" when it holds "/" and no "\", otherwise "\".
/// New paths built from it read the same way.
char SeparatorOf(std::string_view path);

/// The short form of a database path shown in the status bar: the first 15 characters of its
/// folder, "...", the path's separator and the file name ("\\srv\share\fol...\app.mdb"); the
/// whole path when its folder has no more than 15 characters ("/data/a.mdb").
std::string CurrentApplicationText(std::string_view path);

/// The path with every "\" turned into "/", the form the operating system opens. Both
/// separators name the same path everywhere in the program.
std::string NativePath(std::string_view path);

/// The folder that holds the running executable, without a trailing separator.
std::string ProgramFolder();

/// Where what the programs change lives: the configuration database (with its journal and
/// lock file) and the machine's registry store. An installed program folder holds the file
/// "mallow.conf" whose line "StateFolder=FOLDER" names it (a relative FOLDER is taken from the
/// program folder, so that an installation unpacked under another root finds its own); a
/// build folder holds none, and its state lies beside the programs.
std::string StateFolder();
/// StateFolder() for the program folder `programFolder`.
std::string StateFolderOf(const std::string& programFolder);

} // namespace mallow
