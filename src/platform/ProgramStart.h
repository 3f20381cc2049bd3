#pragma once

#include <string>
#include <vector>

namespace mallow::platform {

/// The words of a command line as a POSIX shell splits them, with nothing expanded or run:
/// blanks separate words; '...' is taken as it is; in "..." a backslash keeps ", \, $ and `;
/// outside quotes a backslash keeps the next character. `;`, `|`, `$(...)` and the like are
/// plain characters.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

/// Starts the program a command line names, with its arguments, and does not wait for it; no
/// shell ever reads the line. Raises the runtime's file error (53 for a program that is not
/// there, 70 for one that may not be run) with the system's description.
void StartProgram(const std::string& commandLine);

} // namespace mallow::platform
