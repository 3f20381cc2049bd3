#include "frmMain.h"

#include "config/ApplicationsTab.h"
#include "config/ScheduleTab.h"
#include "maintenance/MaintenanceRun.h"
#include "multiuser/MultiUserTab.h"
#include "net/NetServices.h"
#include "net/modGetOS.h"
#include "reports/ResultsTab.h"
#include "shell/frmHelp.h"
#include "util/Controls.h"
#include "util/Dates.h"
#include "util/Handler.h"
#include "util/Hourglass.h"
#include "util/MallowError.h"
#include "util/Paths.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QThread>

#include <memory>

namespace mallow {

using namespace ui;

namespace {

const char* const WindowTitle = "Mallow V 2.1";

} // namespace

namespace {

multiuser::MultiUserServices UsersServices(const ShellServices& services,
                                           net::NetErrorReporter& reporter)
{
    if (services.users)
        return *services.users;
    return multiuser::DefaultMultiUserServices(net::DefaultNetServices(nullptr, &reporter));
}

} // namespace

void frmMain::PromptReporter::ShowError(const std::string& routine, const std::string& description)
{
    // The work's thread hands the report to the window's thread, which shows it.
    const std::string text = net::ErrorReportText(routine, description);
    if (QThread::currentThread() == qApp->thread()) {
        prompter.MsgBox(text);
        return;
    }
    QMetaObject::invokeMethod(
        qApp, [prompter = &prompter, text] { prompter->MsgBox(text); }, Qt::QueuedConnection);
}

frmMain::frmMain(ShellServices services, QWidget* parent)
    : QMainWindow(parent), CompactModule(Config, *services.clock, *this, LastResultText),
      netReporter(*services.prompter), Users(UsersServices(services, netReporter)),
      services(std::move(services)), context{.prompter = *this->services.prompter,
                                             .dialogs = *this->services.dialogs,
                                             .clock = *this->services.clock,
                                             .status = *this,
                                             .ResetStatusPanels = [this] { ResetStatusPanels(); },
                                             .window = *this,
                                             .config = Config,
                                             .compact = CompactModule,
                                             .programFolder = this->services.programFolder,
                                             .ContinueRun = ContinueRun,
                                             .LastResultText = LastResultText,
                                             .users = Users,
                                             .links = {},
                                             .work = &Work}
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Mallow"));

    SSTab1 = Named(new QTabWidget, "SSTab1");
    tabApplications = new ApplicationsTab(context);
    tabSchedule = new ScheduleTab(context);
    tabResults = new ResultsTab(context);
    tabMultiUser = new MultiUserTab(context);
    SSTab1->addTab(tabApplications, QStringLiteral("Applications"));
    SSTab1->addTab(tabSchedule, QStringLiteral("Schedule"));
    SSTab1->addTab(tabResults, QStringLiteral("Results"));
    SSTab1->addTab(tabMultiUser, QStringLiteral("Multi-User"));
    LinkTabs();
    connect(SSTab1, &QTabWidget::currentChanged, tabResults, &ResultsTab::SSTab1_Click);
    setCentralWidget(SSTab1);

    BuildMenus();
    BuildStatusBar();

    Timer1 = Named(new QTimer(this), "Timer1");
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    connect(mnuImport, &QAction::triggered, tabApplications, &ApplicationsTab::mnuImport_Click);
    // A database that programs on other machines hold open through the file server is not
    // compacted under them. The question is asked on the work's thread, by a MultiUser of its
    // own: the Multi-User tab's goes on serving the window meanwhile.
    CompactModule.HeldOnServer =
        [users = UsersServices(this->services, netReporter)](const std::string& path) {
            return multiuser::MultiUser(users).HolderOnServer(path);
        };
    CompactModule.Work = &Work;
    Work.busyChanged = [this](bool busy) { SetWorking(busy); };
    progressTimer = new QTimer(this);
    progressTimer->setInterval(100);
    connect(progressTimer, &QTimer::timeout, this, &frmMain::UpdateProgress);

    // The window sees every key before its controls do, so Ctrl+S works wherever the focus is.
    qApp->installEventFilter(this);
    resize(860, 600);
}

frmMain::~frmMain()
{
    qApp->removeEventFilter(this);
    if (!unloaded)
        Form_Unload();
}

void frmMain::LinkTabs()
{
    // The application list's lines are listed on the Multi-User tab as well.
    context.links.ApplicationsListed = [this](const QStringList& paths) {
        tabMultiUser->lstMUAvailDBs->addItems(paths);
    };
    context.links.ApplicationListCleared = [this] { tabMultiUser->lstMUAvailDBs->clear(); };
    // "Back Up" copies into the folder the Schedule tab shows, saved or not.
    context.links.BackUpFolder = [this] { return tabSchedule->txtBack->text().toStdString(); };
    context.links.ClearSummary = [this] { tabResults->rtfSummary->clear(); };
    context.links.RunMaintenance = [this](bool backUp) { RunMaintenance(backUp); };
    context.links.Closing = [this] { return closeAfterWork; };
}

void frmMain::BuildMenus()
{
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));

    QMenu* mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuImport = mnuOptions->addAction(QStringLiteral("Import Application List"));
    mnuImport->setObjectName(QStringLiteral("mnuImport"));
    mnuRunStartup = mnuOptions->addAction(QStringLiteral("Run at Startup"));
    mnuRunStartup->setObjectName(QStringLiteral("mnuRunStartup"));
    mnuRunStartup->setCheckable(true);
    mnuMinimizeStartup = mnuOptions->addAction(QStringLiteral("Minimize on Startup"));
    mnuMinimizeStartup->setObjectName(QStringLiteral("mnuMinimizeStartup"));
    mnuMinimizeStartup->setCheckable(true);

    QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAboutMallow = mnuHelp->addAction(QStringLiteral("&About Mallow"));
    mnuAboutMallow->setObjectName(QStringLiteral("mnuAboutMallow"));
    mnuMallowHelp = mnuHelp->addAction(QStringLiteral("&Mallow Help"));
    mnuMallowHelp->setObjectName(QStringLiteral("mnuMallowHelp"));

    // The tray's pop-up menu belongs to the window but never shows in its menu bar.
    mnuTray = new QMenu(QStringLiteral("Popup"), this);
    mnuTray->setObjectName(QStringLiteral("mnuTray"));
    BuildTrayMenu();

    connect(mnuExit, &QAction::triggered, this,
            [this] { RunHandler(*services.prompter, "mnuExit_Click", [this] { close(); }); });
}

void frmMain::BuildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    const char* designTexts[5] = {"Status", "Current Application", "Application x of n",
                                  "Current Day", ""};
    const int stretch[5] = {1, 3, 1, 1, 0};
    for (int i = 0; i < 5; ++i) {
        statusPanels[i] = new QLabel(QString::fromUtf8(designTexts[i]));
        statusPanels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        statusPanels[i]->setFrameShape(QFrame::StyledPanel);
        statusPanels[i]->setFrameShadow(QFrame::Sunken);
        statusBar()->addPermanentWidget(statusPanels[i], stretch[i]);
    }
    // While work runs, a bar beside panel 1 shows how far it has come.
    prgWork = Named(new QProgressBar, "prgWork");
    prgWork->setRange(0, 1000);
    prgWork->setTextVisible(true);
    prgWork->setMinimumWidth(220);
    prgWork->hide();
    statusBar()->insertPermanentWidget(1, prgWork, 2);
    cmdStopWork = Named(new QPushButton(QStringLiteral("Stop")), "cmdStopWork");
    cmdStopWork->setToolTip(
        QStringLiteral("Stop the compaction; the database stays as it was (Esc)"));
    cmdStopWork->setFocusPolicy(Qt::NoFocus);
    cmdStopWork->hide();
    statusBar()->insertPermanentWidget(2, cmdStopWork);
    connect(cmdStopWork, &QPushButton::clicked, this, &frmMain::StopWork);
    // Panel 5 is a clock that keeps itself current.
    auto* clockTimer = new QTimer(this);
    connect(clockTimer, &QTimer::timeout, this, &frmMain::UpdateClock);
    clockTimer->start(1000);
    UpdateClock();
}

void frmMain::UpdateClock()
{
    statusPanels[4]->setText(Q(dates::Format(Now(), "h:nn AMPM")));
}

double frmMain::Now() const
{
    return services.clock->Now();
}

std::string frmMain::ProgramFile(const std::string& name) const
{
    return services.programFolder + SeparatorOf(services.programFolder) + name;
}

const std::string& frmMain::ConfigFolder() const
{
    return services.stateFolder.empty() ? services.programFolder : services.stateFolder;
}

void frmMain::Start()
{
    Form_Load();
    if (!startMinimized) {
        show();
        return;
    }
    // Hidden, the window comes back only through its tray icon: it stays hidden only when the
    // icon stands in a notification area, and starts minimized on the taskbar otherwise.
    if (TrayHostAvailable()) {
        SetTrayMenuItems(1);
        return;
    }
    CommandWindowState(Qt::WindowMinimized);
    show();
}

void frmMain::Form_Load()
{
    RunHandler(*services.prompter, "Form_Load", [this] {
        const double now = Now();
        tabResults->LoadDates(now);
        tabResults->LoadTablePrint();

        HelpFile = ProgramFile("help") + SeparatorOf(services.programFolder) + "index.html";

        Config.Open(ConfigFolder());

        tabApplications->LoadList();

        const ScheduleSettings settings = tabSchedule->LoadSchedule();
        mnuRunStartup->setChecked(settings.runAtStartup);
        mnuMinimizeStartup->setChecked(settings.minimizeAtStartup);
        // Start hides the window, or minimizes it, once the tray icon is in place.
        startMinimized = settings.minimizeAtStartup;

        SetStatusPanel(1, "Waiting...");
        SetStatusPanel(4, dates::Format(now, "dddd"));

        setWindowIcon(QIcon(Q(NativePath(ProgramFile("Mallow.ico")))));

        AddTray();

        Timer1->setInterval(60000);
        Timer1->start();

        // The tip keeps the folder of start-up, even after another one is saved.
        tabApplications->cmdBackup->setToolTip(QStringLiteral("Back up the selected database to ") +
                                               tabSchedule->txtBack->text());

        SSTab1->setCurrentIndex(0);
        tabResults->LoadView();
        tabApplications->FillCombo(*tabResults->cboApps);

        tabMultiUser->LoadUserList();

        // The 9x family has no server calls to find and disconnect users with.
        if (net::modGetOS::IsWin9xFamily(services.version ? *services.version
                                                          : platform::SystemVersion())) {
            tabApplications->chkDisconnect->setEnabled(false);
            SSTab1->setTabEnabled(3, false);
        }

        setWindowTitle(QLatin1String(WindowTitle));
    });
}

void frmMain::ResetStatusPanels()
{
    SetStatusPanel(1, "Waiting...");
    SetStatusPanel(2, "");
    SetStatusPanel(3, "");
}

void frmMain::SetStatusPanel(int index, const std::string& text)
{
    statusPanels.at(index - 1)->setText(Q(text));
}

std::string frmMain::StatusPanel(int index) const
{
    return statusPanels.at(index - 1)->text().toStdString();
}

void frmMain::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    RunHandler(*services.prompter, "Form_KeyDown", [&] {
        if ((shift & Qt::ControlModifier) && keyCode == Qt::Key_S)
            ContinueRun = false;
        if (keyCode == Qt::Key_Escape && shift == Qt::NoModifier && Work.Busy())
            StopWork();
    });
}

void frmMain::SetWorking(bool busy)
{
    // Reading stays open: the lists, the tabs, Results, help, About and the tray menu.
    for (QWidget* command : std::initializer_list<QWidget*>{
             tabApplications->cmdCompactCurrent, tabApplications->cmdBackup,
             tabApplications->cmdRemove, tabApplications->cmdAdd,
             tabApplications->cmdSaveDatabaseInfo, tabApplications->cmdOpen, tabSchedule->cmdRunNow,
             tabResults->cmdRemoveOldData})
        command->setEnabled(!busy);
    mnuImport->setEnabled(!busy);
    prgWork->setVisible(busy);
    cmdStopWork->setVisible(busy);
    if (busy) {
        prgWork->setRange(0, 0);
        prgWork->setFormat(QString());
        progressTimer->start();
        UpdateProgress();
        return;
    }
    progressTimer->stop();
    if (tray)
        tray->SetTrayTip(WindowTitle);
    if (closeAfterWork)
        QTimer::singleShot(0, this, &QWidget::close);
}

void frmMain::UpdateProgress()
{
    const WorkProgress::Snapshot now = Work.progress.Read();
    std::string text = WorkProgress::Text(now);
    if (now.active && !now.stoppable && now.phase == "Writing back")
        text += " (finishing; it can no longer be stopped)";
    if (now.total > 0) {
        prgWork->setRange(0, 1000);
        prgWork->setValue(static_cast<int>(1000.0 * static_cast<double>(now.done) /
                                           static_cast<double>(now.total)));
    } else {
        // Work whose size is unknown moves the bar without a measure.
        prgWork->setRange(0, 0);
    }
    prgWork->setFormat(Q(text));
    prgWork->setToolTip(Q(text));
    cmdStopWork->setEnabled(now.stoppable && !Work.progress.StopRequested());
    // Hidden in the tray, the window shows its work in the icon's tip.
    if (tray && !isVisible()) {
        std::string tip = StatusPanel(3).empty() ? text : StatusPanel(3) + ": " + text;
        tray->SetTrayTip(tip.empty() ? std::string(WindowTitle) : "Mallow " + tip);
    }
}

void frmMain::StopWork()
{
    if (Work.progress.RequestStop())
        cmdStopWork->setEnabled(false);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    // Watching the whole program, the window sees a key before any control or its filters.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // A key travels up from the focused control through its parents; act on it once.
        const QWidget* focus = QApplication::focusWidget();
        const bool once = (!key->isAutoRepeat() && watched == focus) ||
                          (watched == this && (!focus || focus->window() != this));
        if (once) {
            Form_KeyDown(key->key(), key->modifiers());
            if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
                ShowHelp();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Work that lets events through must not lose its database objects under it: a pass stops
    // after the current database, and the window closes once the work is done.
    if (Work.Busy()) {
        ContinueRun = false;
        closeAfterWork = true;
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
    // Unloading the window ends the program, even when it was hidden in the tray, where
    // closing it is no "last window closed".
    QCoreApplication::quit();
}

void frmMain::Timer1_Timer()
{
    RunHandler(*services.prompter, "Timer1_Timer", [this] {
        if (tabSchedule->chkEnabled->Value() != 1)
            return;
        const bool backUp = tabSchedule->chkBack->Value() == 1;
        engine::Recordset stored = Config.ScheduleRecordset->Clone();
        stored.MoveFirst();
        std::array<engine::Value, 7> columns;
        const char* const days[7] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                     "Friday", "Saturday", "Sunday"};
        for (std::size_t i = 0; i < columns.size(); ++i)
            columns[i] = stored.Field(days[i]);
        const auto times = WeeklySchedule::ReadTimes(columns);
        if (!schedule.Due(times, Now()))
            return;
        tabResults->rtfSummary->clear();
        // When another pass (mallow-run) works on this configuration database, it has the
        // minute.
        RunMaintenance(backUp, true);
    });
}

namespace {

// The window as the maintenance pass sees it.
class WindowHost : public PassHost
{
public:
    WindowHost(frmMain& form, QLineEdit& delay, QTextEdit& summary)
        : form(form), delay(delay), summary(summary)
    {
        clock.start();
    }
    void ProcessPendingEvents(int waitMs) override
    {
        if (waitMs <= 0) {
            QApplication::processEvents();
            return;
        }
        QEventLoop loop;
        QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::string DelayText() override { return delay.text().toStdString(); }
    double ElapsedSeconds() override { return static_cast<double>(clock.elapsed()) / 1000; }
    void SetTimerEnabled(bool enabled) override
    {
        if (enabled)
            form.Timer1->start();
        else
            form.Timer1->stop();
    }
    void SetBusy(bool busy) override
    {
        if (busy)
            hourglass = std::make_unique<Hourglass>(&form);
        else
            hourglass.reset();
    }
    void ClearSummary() override { summary.clear(); }
    void ResetStatusPanels() override { form.ResetStatusPanels(); }

private:
    frmMain& form;
    QLineEdit& delay;
    QTextEdit& summary;
    QElapsedTimer clock;
    std::unique_ptr<Hourglass> hourglass;
};

} // namespace

void frmMain::RunMaintenance(bool backUp, bool quietWhenBusy)
{
    if (Work.Busy())
        return;
    const PassLock lock(ConfigFolder());
    if (!lock.Held() && quietWhenBusy)
        return;
    if (!lock.Held())
        throw MallowError(err::PermissionDenied, "RunMaintenance",
                          "Another maintenance pass is running on " +
                              ConfigDatabase::DatabasePath(ConfigFolder()) + ".");
    WindowHost host(*this, *tabSchedule->txtDelayBeforDisconnect, *tabResults->rtfSummary);
    // The pass asks the servers on the work's thread through a MultiUser of its own, while the
    // Multi-User tab's goes on serving the window.
    multiuser::MultiUser passUsers(UsersServices(services, netReporter));
    MaintenanceRun pass(Config, CompactModule, *this, host, passUsers, ContinueRun, LastResultText);
    pass.RunMaintenance(backUp);
}

void frmMain::Form_Unload()
{
    if (unloaded)
        return;
    unloaded = true;
    RunHandler(*services.prompter, "Form_Unload", [this] {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        if (tray)
            tray->RemoveTrayIcon();
        if (helpWindow)
            helpWindow->close();
        Timer1->stop();
        Config.Close();
    });
}

} // namespace mallow
