#include "Paths.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace mallow {

std::string FileNameOfPath(std::string_view path)
{
    const auto at = path.find_last_of("\\/");
    if (at == std::string_view::npos)
        return "-1";
    return std::string(path.substr(at + 1));
}

std::string FolderOfPath(std::string_view path)
{
    const auto at = path.find_last_of("\\/");
    if (at == std::string_view::npos)
        return "-1";
    return std::string(path.substr(0, at + 1));
}

char SeparatorOf(std::string_view path)
{
    return path.find('/') != std::string_view::npos && path.find('\\') == std::string_view::npos
               ? '/'
               : '\\';
}

std::string CurrentApplicationText(std::string_view path)
{
    const auto at = path.find_last_of("\\/");
    if (at == std::string_view::npos)
        return std::string(path);
    const std::string_view folder = path.substr(0, at + 1);
    // Fifteen characters, not bytes: a UTF-8 sequence is never cut.
    size_t end = 0;
    for (int chars = 0; end < folder.size() && chars < 15; ++chars) {
        ++end;
        while (end < folder.size() && (static_cast<unsigned char>(folder[end]) & 0xC0) == 0x80)
            ++end;
    }
    // A folder short enough to show whole is shown as it is, with nothing marked as left out.
    if (end == folder.size())
        return std::string(path);
    return std::string(folder.substr(0, end)) + "..." + path[at] + std::string(path.substr(at + 1));
}

std::string NativePath(std::string_view path)
{
    std::string result(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

std::string ProgramFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path().string();
    return exe.parent_path().string();
}

std::string StateFolderOf(const std::string& programFolder)
{
    std::ifstream conf(programFolder + "/mallow.conf");
    const std::string key = "StateFolder=";
    for (std::string line; std::getline(conf, line);) {
        if (line.compare(0, key.size(), key) != 0 || line.size() == key.size())
            continue;
        const std::filesystem::path folder = line.substr(key.size());
        const std::filesystem::path full =
            folder.is_absolute() ? folder : std::filesystem::path(programFolder) / folder;
        std::string text = full.lexically_normal().string();
        while (text.size() > 1 && text.back() == '/')
            text.pop_back();
        return text;
    }
    return programFolder;
}

std::string StateFolder()
{
    return StateFolderOf(ProgramFolder());
}

} // namespace mallow
