#pragma once

#include "StoredCheckBox.h"
#include "config/ConfigDatabase.h"
#include "maintenance/Compact.h"
#include "platform/VersionProbe.h"
#include "util/Clock.h"
#include "util/FileDialogs.h"
#include "util/Prompter.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QTableWidget;
class QTextEdit;
class QTreeWidget;

namespace mallow {

/// What the main window is handed: where prompts go, where the time comes from, and the
/// program's folder (where Compact20.mdb, Mallow.ico and the help pages lie).
struct ShellServices
{
    Prompter* prompter = nullptr;
    const Clock* clock = nullptr;
    FileDialogs* dialogs = nullptr;
    std::string programFolder;
    /// The operating system's version record; null for this machine's.
    const platform::VersionSource* version = nullptr;
};

/// The main window. Its load handler opens the configuration database and fills the tabs; its
/// unload handler releases the database. Controls carry their names as object names.
class frmMain : public QMainWindow, public StatusPanels
{
    Q_OBJECT

public:
    explicit frmMain(ShellServices services, QWidget* parent = nullptr);
    ~frmMain() override;

    /// Loads the window (start-up) and shows it, minimized when "Minimize on Startup" is set.
    void Start();
    void Form_Load();
    void Form_Unload();
    /// Ctrl (with any other modifiers) + S stops a running maintenance pass at its next check.
    void Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift);

    void ResetStatusPanels();
    void SetStatusPanel(int index, const std::string& text) override;
    std::string StatusPanel(int index) const;

    void FillList();
    void FillCombo();
    /// Shows the security details of one application and its short path in status panel 2.
    void FindFirst(long appId);
    void Combo_TypeAhead(QComboBox* combo, bool caseSensitive = false);
    void Combo_AddNew(QComboBox* combo, bool caseSensitive = false, bool addAsUpperCase = false);

    // Handlers of the Applications and Schedule tabs.
    void cmdAdd_Click();
    void cmdRemove_Click();
    void lstApplications_Click();
    void cmdSaveDatabaseInfo_Click();
    void mnuImport_Click();
    void cmdBrowseSystemFile_Click();
    void cmdBrowseBackUpLoc_Click();
    void cmdSaveSchedule_Click();
    void cmdCompactCurrent_Click();
    void cmdBackup_Click();
    void cboApps_KeyPress(int keyAscii);
    /// Returns true when the key was consumed.
    bool cboApps_KeyDown(int keyCode);
    void cboApps_Change();
    void cboApps_LostFocus();

    // Program-wide state of a maintenance pass and of the single-database commands.
    bool ContinueRun = false;
    std::string LastResultText;
    std::string HelpFile;

    ConfigDatabase Config;
    Compact CompactModule;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void BuildApplicationsTab(QWidget* page);
    void BuildScheduleTab(QWidget* page);
    void BuildResultsTab(QWidget* page);
    void BuildMultiUserTab(QWidget* page);
    void BuildStatusBar();
    void LoadSchedule();
    void ConnectHandlers();
    void RefillLists();
    /// Makes the line of application `appId` the chosen one, showing its details.
    void ChooseApplication(long appId);
    /// The App ID of the chosen line of lstApplications; raises 381 when no line is chosen.
    long ChosenAppId() const;
    void UpdateClock();
    std::string ProgramFile(const std::string& name) const;
    double Now() const;

    ShellServices services;
    bool startMinimized = false;
    int cboAppsLastKey = 0;
    bool unloaded = false;

public:
    // Controls, by the names the rest of the program uses.
    QTabWidget* SSTab1 = nullptr;
    QTimer* Timer1 = nullptr;

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

    std::array<QLineEdit*, 7> weekdayBoxes{}; ///< Monday ... Sunday
    StoredCheckBox* chkEnabled = nullptr;
    QLineEdit* txtBack = nullptr;
    QPushButton* cmdBrowseBackUpLoc = nullptr;
    StoredCheckBox* chkBack = nullptr;
    QLineEdit* txtBUDays = nullptr;
    StoredCheckBox* chkSendDisconnectMsg = nullptr;
    QLineEdit* txtDelayBeforDisconnect = nullptr;
    QLineEdit* txtDisconnectMessage = nullptr;
    QPushButton* cmdSaveSchedule = nullptr;
    QPushButton* cmdRunNow = nullptr;
    QLabel* lblRemindStop = nullptr;

    QTabWidget* SSTab2 = nullptr;
    QRadioButton* optLog = nullptr;
    QRadioButton* optLogBack = nullptr;
    QComboBox* cboApps = nullptr;
    QLineEdit* txtBeginningDate = nullptr;
    QLineEdit* txtEndingDate = nullptr;
    QPushButton* ChooseBeginDate = nullptr;
    QPushButton* ChooseEndDate = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdPrint = nullptr;
    QLineEdit* txtRemoveDataBefore = nullptr;
    QPushButton* cmdRemoveOldData = nullptr;
    QStackedWidget* resultsArea = nullptr;
    QTableWidget* MSFlexGrid1 = nullptr;
    QTextEdit* rtfSummary = nullptr;
    QLabel* lblProcessing = nullptr;

    QListWidget* lstMUAvailDBs = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* cmdSendMsg = nullptr;
    QPushButton* cmdCloseFile = nullptr;
    QPushButton* cmdFindMU = nullptr;

    QAction* mnuExit = nullptr;
    QAction* mnuImport = nullptr;
    QAction* mnuRunStartup = nullptr;
    QAction* mnuMinimizeStartup = nullptr;
    QAction* mnuAboutMallow = nullptr;
    QAction* mnuMallowHelp = nullptr;
    QMenu* mnuTray = nullptr;

    std::array<QLabel*, 5> statusPanels{}; ///< panels 1 to 5 of StatusBar1
};

} // namespace mallow
