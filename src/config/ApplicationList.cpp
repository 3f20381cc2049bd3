#include "ApplicationList.h"

#include <algorithm>

namespace mallow {

int CountFilesInList(std::string_view fileList)
{
    const auto nuls = std::count(fileList.begin(), fileList.end(), '\0');
    return nuls == 0 ? 1 : static_cast<int>(nuls);
}

std::string GetFileFromList(std::string_view fileList, int fileNumber)
{
    const auto first = fileList.find('\0');
    if (first == std::string_view::npos)
        return std::string(fileList);
    std::string folder(fileList.substr(0, first));
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/'))
        folder += folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos
                      ? '/'
                      : '\\';
    // The k-th name lies between the k-th and the (k+1)-th NUL of the text with a NUL added.
    const std::string text = std::string(fileList) + '\0';
    size_t start = std::string::npos;
    size_t at = 0;
    for (int k = 0; k < fileNumber; ++k) {
        at = text.find('\0', at);
        if (at == std::string::npos)
            return folder;
        start = ++at;
    }
    const auto end = text.find('\0', start);
    return folder + text.substr(start, end - start);
}

} // namespace mallow
