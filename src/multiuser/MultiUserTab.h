#pragma once

#include "util/TabContext.h"

#include <QWidget>

#include <cstdint>

class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace mallow {

/// The Multi-User tab page: the registered databases, who is using the chosen one, and the
/// commands that message and disconnect them. Controls carry their names as object names.
class MultiUserTab : public QWidget
{
    Q_OBJECT

public:
    explicit MultiUserTab(const TabContext& context, QWidget* parent = nullptr);

    /// Start-up: ListView1 as a sorted report of no users, with its three columns.
    void LoadUserList();

    void lstMUAvailDBs_Click();
    void cmdSendMsg_Click();
    void cmdCloseFile_Click();

    /// The file identifier a line of ListView1 carries, hidden.
    static std::int32_t FileIdOf(const QTreeWidgetItem& item);
    /// Opens the find dialog on lstMUAvailDBs.
    void cmdFindMU_Click();

    QListWidget* lstMUAvailDBs = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* cmdSendMsg = nullptr;
    QPushButton* cmdCloseFile = nullptr;
    QPushButton* cmdFindMU = nullptr;

private:
    /// Adds the active users of `path` to ListView1.
    void ShowUsers(const std::string& path);

    const TabContext& context;
};

} // namespace mallow
