#pragma once

#include "util/TabContext.h"

#include <QWidget>

class QListWidget;
class QPushButton;
class QTreeWidget;

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

    /// Opens the find dialog on lstMUAvailDBs.
    void cmdFindMU_Click();

    QListWidget* lstMUAvailDBs = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* cmdSendMsg = nullptr;
    QPushButton* cmdCloseFile = nullptr;
    QPushButton* cmdFindMU = nullptr;

private:
    const TabContext& context;
};

} // namespace mallow
