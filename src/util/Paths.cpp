#include "Paths.h"

#include <algorithm>
#include <filesystem>

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

} // namespace mallow
