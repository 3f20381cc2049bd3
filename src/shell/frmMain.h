#pragma once

#include "config/ConfigDatabase.h"
#include "maintenance/Compact.h"
#include "maintenance/Scheduler.h"
#include "multiuser/MultiUser.h"
#include "platform/VersionProbe.h"
#include "util/Clock.h"
#include "util/FileDialogs.h"
#include "util/Prompter.h"
#include "util/TabContext.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QTabWidget;

namespace mallow {

class ApplicationsTab;
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
};

/// The main window. It composes its four tab pages, the menus, the status bar and Timer1; its
/// load handler opens the configuration database and has each page load what it shows, its
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

    /// The scheduler: starts the maintenance pass when today's stored minute has come.
    void Timer1_Timer();
    /// The maintenance pass over every application. While another pass runs on the same
    /// configuration database, here or in another process, it is refused (error 70), or left
    /// out without a word when `quietWhenBusy`.
    void RunMaintenance(bool backUp, bool quietWhenBusy = false);
    bool PassRunning() const { return passRunning; }

    // Program-wide state of a maintenance pass and of the single-database commands.
    bool ContinueRun = false;
    std::string LastResultText;
    std::string HelpFile;

    ConfigDatabase Config;
    Compact CompactModule;

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

private:
    void BuildMenus();
    void BuildStatusBar();
    /// What a command on one page does to the controls of another.
    void LinkTabs();
    void UpdateClock();
    std::string ProgramFile(const std::string& name) const;
    double Now() const;

    ShellServices services;
    /// What the pages share, handed to each at construction.
    TabContext context;
    WeeklySchedule schedule;
    bool startMinimized = false;
    bool unloaded = false;
    bool passRunning = false;
    bool closeAfterPass = false;

public:
    QTabWidget* SSTab1 = nullptr;
    // The pages of SSTab1, in order; each holds its controls and their handlers.
    ApplicationsTab* tabApplications = nullptr;
    ScheduleTab* tabSchedule = nullptr;
    ResultsTab* tabResults = nullptr;
    MultiUserTab* tabMultiUser = nullptr;

    QTimer* Timer1 = nullptr;

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
