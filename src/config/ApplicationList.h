#pragma once

#include <string>
#include <string_view>

namespace mallow {

/// How many files a file-open dialog's answer names: the number of NUL characters in it, or 1
/// when it holds none (a single full path).
int CountFilesInList(std::string_view fileList);
/// The full path of file number `fileNumber` (from 1) of a dialog's answer.
std::string GetFileFromList(std::string_view fileList, int fileNumber);

} // namespace mallow
