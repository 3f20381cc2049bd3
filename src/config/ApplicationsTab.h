#pragma once

#include "util/StoredCheckBox.h"
#include "util/TabContext.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace mallow {

/// The Applications tab page: the registered databases, the security details of the chosen
/// one, and the commands on it. Controls carry their names as object names; every handler runs
/// under the program's error report.
class ApplicationsTab : public QWidget
{
    Q_OBJECT

public:
    explicit ApplicationsTab(const TabContext& context, QWidget* parent = nullptr);

    /// Start-up: fills the list and chooses its first line, when there is one.
    void LoadList();

    /// Appends every application, in the row set's order, to lstApplications (item data: the
    /// App ID) and hands the same lines to the Multi-User tab's list. Clears nothing.
    void FillList();
    /// Appends "All (Show All)" (item data 0) and every application to the application filter
    /// of the Results tab, `cboApps`.
    void FillCombo(QComboBox& cboApps);
    /// Shows the security details of one application and its short path in status panel 2.
    void FindFirst(long appId);

    void cmdAdd_Click();
    void cmdRemove_Click();
    void lstApplications_Click();
    void cmdSaveDatabaseInfo_Click();
    void cmdBrowseSystemFile_Click();
    void cmdCompactCurrent_Click();
    void cmdBackup_Click();
    /// Opens the chosen database in the database program the registry names, with the
    /// workgroup file, user and password the boxes show.
    void cmdOpen_Click();
    /// Opens the find dialog on lstApplications.
    void cmdFind_Click();
    /// The Options menu's "Import Application List": its menu is the window's, its list is ours.
    void mnuImport_Click();

    QListWidget* lstApplications = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdCompactCurrent = nullptr;
    QPushButton* cmdBackup = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdSaveDatabaseInfo = nullptr;
    QLineEdit* txtMDW = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLineEdit* txtUserName = nullptr;
    QLineEdit* txtUserPassword = nullptr;
    QPushButton* cmdBrowseSystemFile = nullptr;
    StoredCheckBox* chkDisconnect = nullptr;

private:
    /// Empties lstApplications and the Multi-User tab's list and fills both again.
    void RefillLists();
    /// Makes the line of application `appId` the chosen one, showing its details.
    void ChooseApplication(long appId);
    /// The App ID of the chosen line of lstApplications; raises 381 when no line is chosen.
    long ChosenAppId() const;

    const TabContext& context;
};

} // namespace mallow
