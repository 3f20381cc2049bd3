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

std::string AccessCommandLine(const std::string& exe, const std::string& database,
                              const std::string& workgroupFile, const std::string& user,
                              const std::string& password)
{
    const std::string quote = "\"";
    std::string line = quote + exe + quote + " " + quote + database + quote;
    if (!workgroupFile.empty())
        line += "/wrkgrp" + quote + workgroupFile + quote + " /User " + user + " /Pwd " + password;
    return line;
}

} // namespace mallow::launcher
