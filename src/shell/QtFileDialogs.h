#pragma once

#include "util/FileDialogs.h"

class QString;
class QWidget;

namespace mallow {

/// File-open dialogs and the folder browser as real Qt dialogs, owned by the given window.
class QtFileDialogs : public FileDialogs
{
public:
    explicit QtFileDialogs(QWidget* owner = nullptr) : owner(owner) {}
    void SetOwner(QWidget* window) { owner = window; }

    std::optional<std::string> ShowOpen(const OpenFileRequest& request) override;
    std::string BrowseForFolder(const std::string& title) override;

    /// "Access Databases (*.MDB)|*.mdb" as Qt's filter list "Access Databases (*.mdb *.MDB)":
    /// file names on this platform are case-sensitive, so both cases are offered.
    static QString QtFilter(const std::string& filter);
    /// A drive root such as "C:\" stands for the root of this machine's file system.
    static QString QtFolder(const std::string& folder);

private:
    QWidget* owner;
};

} // namespace mallow
