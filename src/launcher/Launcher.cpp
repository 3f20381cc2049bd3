#include "Launcher.h"

#include "util/Paths.h"

namespace mallow::launcher {

std::string AccessFolder(const registry::Places& places)
{
    std::string folder =
        registry::GetRegValueByEnum(registry::HKEY_LOCAL_MACHINE, Office9Key, Office9Value, places);
    if (folder.empty())
        folder = registry::GetRegValueByEnum(registry::HKEY_LOCAL_MACHINE, Office8Key,
                                             Office8Value, places);
    return folder;
}

std::string AccessProgram(const std::string& folder)
{
    return folder + SeparatorOf(folder) + "msaccess.exe";
}

std::string QuotedArgument(const std::string& value)
{
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\' || c == '$' || c == '`')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string AccessCommandLine(const std::string& exe, const std::string& database,
                              const std::string& workgroupFile, const std::string& user,
                              const std::string& password)
{
    std::string line = QuotedArgument(exe) + " " + QuotedArgument(database);
    if (!workgroupFile.empty())
        line += " /wrkgrp " + QuotedArgument(workgroupFile) + " /User " + QuotedArgument(user) +
                " /Pwd " + QuotedArgument(password);
    return line;
}

} // namespace mallow::launcher
