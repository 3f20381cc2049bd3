#pragma once

#include <optional>
#include <string>

namespace mallow {

/// What the program asks of a file-open dialog.
struct OpenFileRequest
{
    std::string title;
    std::string fileName;      ///< preset file name ("" for none)
    std::string filter;        ///< "Description|pattern" pairs joined by "|"
    std::string initialFolder; ///< "" for the dialog's own choice
    bool multiSelect = false;
    bool cancelError = false;  ///< cancelling raises error 32755 instead of returning nothing
};

/// File dialogs and the folder browser. The program opens every such dialog through this, so
/// that tests can answer them.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    /// The chosen file as one full path or, when several were chosen, the folder followed by
    /// the names, each preceded by one NUL character. Nothing when the dialog was cancelled.
    virtual std::optional<std::string> ShowOpen(const OpenFileRequest& request) = 0;
    /// The chosen folder, or "" when the dialog was cancelled.
    virtual std::string BrowseForFolder(const std::string& title) = 0;
};

/// Shows the dialog and applies its cancel rule: with `cancelError` a cancel raises 32755,
/// otherwise it gives "".
std::string ShowOpenDialog(FileDialogs& dialogs, const OpenFileRequest& request);

} // namespace mallow
