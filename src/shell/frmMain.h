#pragma once

#include "config/ConfigDatabase.h"
#include "maintenance/Compact.h"
#include "maintenance/Scheduler.h"
#include "multiuser/MultiUser.h"
#include "platform/VersionProbe.h"
#include "shell/APIStuff.h"
#include "util/Clock.h"
#include "util/FileDialogs.h"
#include "util/Prompter.h"
#include "util/TabContext.h"
#include "util/WindowWork.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <functional>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace mallow {

class ApplicationsTab;
class KeyboardMoveSize;
class frmHelp;
class MultiUserTab;
class ResultsTab;
class ScheduleTab;

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
    /// What finds and disconnects the users of a database; null for this machine's, whose
    /// network errors are reported through the prompter.
    const multiuser::MultiUserServices* users = nullptr;
    /// Whether a notification area shows the tray icon; empty to ask the session.
    std::function<bool()> trayHost = nullptr;
    /// Where Compact20.mdb lies when not in the program folder (an installed program's state
    /// folder); empty for the program folder.
    std::string stateFolder = {};
};

/// The main window. It composes its four tab pages, the menus, the status bar and Timer1; its
/// load handler opens the configuration database and has each page load what it shows, its
/// unload handler releases the database. Controls carry their names as object names.
class frmMain : public QMainWindow, public StatusPanels, public TrayWindow
{
    Q_OBJECT

public:
    explicit frmMain(ShellServices services, QWidget* parent = nullptr);
    ~frmMain() override;

    /// Loads the window (start-up) and shows it. With "Minimize on Startup" set, the window
    /// stays hidden when its tray icon stands in a notification area, and starts minimized
    /// on the taskbar otherwise, so that it can always be brought back.
    void Start();
    void Form_Load();
    void Form_Unload();
    /// Ctrl (with any other modifiers) + S stops a running maintenance pass at its next check.
    void Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift);

    void ResetStatusPanels();
    void SetStatusPanel(int index, const std::string& text) override;
    std::string StatusPanel(int index) const;

    /// The scheduler: starts the maintenance pass when today's stored minute has come.
    void Timer1_Timer();
    /// The maintenance pass over every application. While another pass runs on the same
    /// configuration database in another process, it is refused (error 70), or left out
    /// without a word when `quietWhenBusy`; while this window works, it is left out.
    void RunMaintenance(bool backUp, bool quietWhenBusy = false);
    // The tray icon and the window's states (frmMainTray.cpp).
    /// Enables the tray menu's items for window state 0 (normal), 1 (minimized) or 2
    /// (maximized); other states change nothing.
    void SetTrayMenuItems(int windowState);
    /// Shows the window's state in the tray menu and remembers it when it is not minimized.
    void Form_Resize();
    /// The window state as a number: 0 normal, 1 minimized, 2 maximized.
    int WindowState() const;
    /// Hands a message to the window's procedure, the tray's while its icon is installed.
    long SendMessage(unsigned message, long wParam, long lParam);
    void mnuTrayRestore_Click();
    void mnuTrayMove_Click();
    void mnuTraySize_Click();
    void mnuTrayMinimize_Click();
    void mnuTrayMaximize_Click();
    void mnuTrayClose_Click();

    // The Options and Help menus (frmMainTray.cpp).
    void mnuRunStartup_Click();
    void mnuMinimizeStartup_Click();
    /// Sends F1 to the program, which opens the help.
    void mnuMallowHelp_Click();
    void mnuAboutMallow_Click();
    /// Opens the help window on the contents page, HelpFile.
    void ShowHelp();

    void TrayIconClicked() override;
    void TrayMenuRequested(const QPoint& at) override;
    bool TrayMinimize() override;
    bool TrayRestore() override;
    long PreviousWindowProc(unsigned message, long wParam, long lParam) override;

    // Program-wide state of a maintenance pass and of the single-database commands.
    bool ContinueRun = false;
    std::string LastResultText;
    std::string HelpFile;

    ConfigDatabase Config;
    Compact CompactModule;
    /// Where compaction, back-up and the pass's questions to servers run: off the window's
    /// thread, with their progress in the status bar.
    WindowRunner Work;
    /// The last window state other than minimized: 0 normal, 2 maximized.
    int LastState = 0;
    /// The tray icon; installed at the end of start-up, removed at unload.
    APIStuff* tray = nullptr;
    frmHelp* helpWindow = nullptr;

private:
    /// Network errors that the layer shows rather than raises go to the prompter.
    struct PromptReporter : net::NetErrorReporter
    {
        explicit PromptReporter(Prompter& prompter) : prompter(prompter) {}
        void ShowError(const std::string& routine, const std::string& description) override;
        Prompter& prompter;
    } netReporter;

public:
    multiuser::MultiUser Users;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildMenus();
    void BuildTrayMenu();
    /// Start-up's tray step: the icon with the window's menu and its tip.
    void AddTray();
    /// Writes one start-up option to the first schedule row, through a clone.
    void SaveStartupOption(const char* column, int value);
    /// Sets the window's state as a command of the program's own, not the title bar's.
    void CommandWindowState(Qt::WindowStates states);
    bool TrayHostAvailable() const;
    void BuildStatusBar();
    /// What a command on one page does to the controls of another.
    void LinkTabs();
    void UpdateClock();
    /// The window while a command works and once it is done: the commands that would change
    /// what it works on or start other work are disabled, the progress bar shows.
    void SetWorking(bool busy);
    /// Shows the work's progress in the status bar, and in the tray's tip while hidden.
    void UpdateProgress();
    /// Escape or the Stop button: stops a compaction that has not begun to commit.
    void StopWork();
    std::string ProgramFile(const std::string& name) const;
    /// The folder of Compact20.mdb.
    const std::string& ConfigFolder() const;
    double Now() const;

    ShellServices services;
    /// What the pages share, handed to each at construction.
    TabContext context;
    WeeklySchedule schedule;
    bool startMinimized = false;
    bool unloaded = false;
    /// The window was closed while work ran: it closes once the work is done.
    bool closeAfterWork = false;
    QTimer* progressTimer = nullptr;
    /// Set while the program itself changes the window's state.
    bool commandingState = false;
    KeyboardMoveSize* moveSize = nullptr;

public:
    QTabWidget* SSTab1 = nullptr;
    // The pages of SSTab1, in order; each holds its controls and their handlers.
    ApplicationsTab* tabApplications = nullptr;
    ScheduleTab* tabSchedule = nullptr;
    ResultsTab* tabResults = nullptr;
    MultiUserTab* tabMultiUser = nullptr;

    QTimer* Timer1 = nullptr;
    /// Beside panel 1 while work runs: how far it has come, and the button that stops it.
    QProgressBar* prgWork = nullptr;
    QPushButton* cmdStopWork = nullptr;

    QAction* mnuExit = nullptr;
    QAction* mnuImport = nullptr;
    QAction* mnuRunStartup = nullptr;
    QAction* mnuMinimizeStartup = nullptr;
    QAction* mnuAboutMallow = nullptr;
    QAction* mnuMallowHelp = nullptr;
    QMenu* mnuTray = nullptr;
    QAction* mnuTrayRestore = nullptr;
    QAction* mnuTrayMove = nullptr;
    QAction* mnuTraySize = nullptr;
    QAction* mnuTrayMinimize = nullptr;
    QAction* mnuTrayMaximize = nullptr;
    QAction* mnuTraySep = nullptr;
    QAction* mnuTrayClose = nullptr;

    std::array<QLabel*, 5> statusPanels{}; ///< panels 1 to 5 of StatusBar1
};

} // namespace mallow
