// The main window's tray icon and window states, its Options menu's start-up switches, and its
// Help menu.

#include "frmMain.h"

#include "shell/KeyboardMoveSize.h"
#include "shell/frmAbout.h"
#include "shell/frmHelp.h"
#include "util/Controls.h"
#include "util/Handler.h"
#include "util/MallowError.h"
#include "util/Paths.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

#include <filesystem>

namespace mallow {

using namespace ui;

namespace {

const char* const RunValueName = "Mallow";
const char* const TrayTip = "Mallow V 2.1";

Qt::WindowStates QtStateOf(int windowState)
{
    return windowState == 2 ? Qt::WindowMaximized : Qt::WindowNoState;
}

} // namespace

void frmMain::BuildTrayMenu()
{
    auto item = [this](const char* name, const char* caption, void (frmMain::*handler)()) {
        QAction* action = mnuTray->addAction(QString::fromUtf8(caption));
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    mnuTrayRestore = item("mnuTrayRestore", "&Restore", &frmMain::mnuTrayRestore_Click);
    mnuTrayMove = item("mnuTrayMove", "&Move", &frmMain::mnuTrayMove_Click);
    mnuTraySize = item("mnuTraySize", "&Size", &frmMain::mnuTraySize_Click);
    mnuTrayMinimize = item("mnuTrayMinimize", "Mi&nimize", &frmMain::mnuTrayMinimize_Click);
    mnuTrayMaximize = item("mnuTrayMaximize", "Ma&ximize", &frmMain::mnuTrayMaximize_Click);
    mnuTraySep = mnuTray->addSeparator();
    mnuTraySep->setObjectName(QStringLiteral("mnuTraySep"));
    mnuTrayClose = item("mnuTrayClose", "&Close", &frmMain::mnuTrayClose_Click);
    SetTrayMenuItems(0);

    moveSize = new KeyboardMoveSize(this);

    // The switches show what is stored: each handler sets its check mark itself, after the
    // stored flag has changed, so Qt's own toggling is undone first.
    for (QAction* option : {mnuRunStartup, mnuMinimizeStartup}) {
        connect(option, &QAction::triggered, this, [this, option](bool checked) {
            option->setChecked(!checked);
            if (option == mnuRunStartup)
                mnuRunStartup_Click();
            else
                mnuMinimizeStartup_Click();
        });
    }
    connect(mnuMallowHelp, &QAction::triggered, this, &frmMain::mnuMallowHelp_Click);
    connect(mnuAboutMallow, &QAction::triggered, this, &frmMain::mnuAboutMallow_Click);
}

void frmMain::AddTray()
{
    if (!tray)
        tray = new APIStuff(*this, this);
    tray->AddTrayIcon(this, mnuTray);
    tray->SetTrayTip(TrayTip);
}

bool frmMain::TrayHostAvailable() const
{
    if (!tray || !tray->Icon())
        return false;
    if (services.trayHost)
        return tray->Icon()->isVisible() && services.trayHost();
    return tray->InTray();
}

void frmMain::SetTrayMenuItems(int windowState)
{
    struct Enabled
    {
        bool restore, move, size, minimize, maximize;
    };
    Enabled enabled{};
    switch (windowState) {
    case 0:
        enabled = {false, true, true, true, true};
        break;
    case 1:
        enabled = {true, false, false, false, true};
        break;
    case 2:
        enabled = {true, false, false, true, false};
        break;
    default:
        return;
    }
    mnuTrayRestore->setEnabled(enabled.restore);
    mnuTrayMove->setEnabled(enabled.move);
    mnuTraySize->setEnabled(enabled.size);
    mnuTrayMinimize->setEnabled(enabled.minimize);
    mnuTrayMaximize->setEnabled(enabled.maximize);
}

int frmMain::WindowState() const
{
    if (isMinimized())
        return 1;
    return isMaximized() ? 2 : 0;
}

void frmMain::Form_Resize()
{
    if (!mnuTrayRestore)
        return;
    RunHandler(*services.prompter, "Form_Resize", [this] {
        const int state = WindowState();
        SetTrayMenuItems(state);
        if (state != 1)
            LastState = state;
    });
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void frmMain::CommandWindowState(Qt::WindowStates states)
{
    const bool outer = commandingState;
    commandingState = true;
    setWindowState(states);
    commandingState = outer;
}

long frmMain::SendMessage(unsigned message, long wParam, long lParam)
{
    if (tray && tray->Icon())
        return tray->TrayWindowProc(message, wParam, lParam);
    return PreviousWindowProc(message, wParam, lParam);
}

void frmMain::TrayIconClicked()
{
    // A window that the title bar minimized into the tray comes back as it was before.
    if (isMinimized())
        CommandWindowState(QtStateOf(LastState));
    show();
    raise();
    activateWindow();
}

void frmMain::TrayMenuRequested(const QPoint& at)
{
    mnuTray->popup(at);
}

bool frmMain::TrayMinimize()
{
    // The program's own minimizing (the tray menu's, start-up's) goes to the taskbar; without
    // a notification area to come back from, so does the title bar's.
    if (commandingState || !TrayHostAvailable())
        return false;
    hide();
    SetTrayMenuItems(1);
    return true;
}

bool frmMain::TrayRestore()
{
    if (isVisible())
        return false;
    if (isMinimized())
        CommandWindowState(QtStateOf(LastState));
    show();
    // The menu follows the state the window came back in: normal, or maximized as it was.
    SetTrayMenuItems(WindowState());
    return true;
}

long frmMain::PreviousWindowProc(unsigned message, long wParam, long lParam)
{
    (void)lParam;
    if (message != msg::WM_SYSCOMMAND)
        return 0;
    switch (wParam) {
    case msg::SC_MINIMIZE:
        if (!isMinimized())
            CommandWindowState(windowState() | Qt::WindowMinimized);
        break;
    case msg::SC_RESTORE:
        if (isMinimized())
            CommandWindowState(windowState() & ~Qt::WindowMinimized);
        else if (isMaximized())
            CommandWindowState(Qt::WindowNoState);
        break;
    case msg::SC_MOVE:
        if (isVisible() && WindowState() == 0)
            moveSize->Start(this, KeyboardMoveSize::Mode::Move);
        break;
    case msg::SC_SIZE:
        if (isVisible() && WindowState() == 0)
            moveSize->Start(this, KeyboardMoveSize::Mode::Size);
        break;
    default:
        break;
    }
    return 0;
}

void frmMain::mnuTrayRestore_Click()
{
    RunHandler(*services.prompter, "mnuTrayRestore_Click",
               [this] { SendMessage(msg::WM_SYSCOMMAND, msg::SC_RESTORE, 0); });
}

void frmMain::mnuTrayMove_Click()
{
    RunHandler(*services.prompter, "mnuTrayMove_Click",
               [this] { SendMessage(msg::WM_SYSCOMMAND, msg::SC_MOVE, 0); });
}

void frmMain::mnuTraySize_Click()
{
    RunHandler(*services.prompter, "mnuTraySize_Click",
               [this] { SendMessage(msg::WM_SYSCOMMAND, msg::SC_SIZE, 0); });
}

void frmMain::mnuTrayMinimize_Click()
{
    // Onto the taskbar: this is not the title bar's minimize and does not hide the window.
    RunHandler(*services.prompter, "mnuTrayMinimize_Click",
               [this] { CommandWindowState(windowState() | Qt::WindowMinimized); });
}

void frmMain::mnuTrayMaximize_Click()
{
    RunHandler(*services.prompter, "mnuTrayMaximize_Click", [this] {
        CommandWindowState(Qt::WindowMaximized);
        if (!isVisible())
            show();
    });
}

void frmMain::mnuTrayClose_Click()
{
    RunHandler(*services.prompter, "mnuTrayClose_Click", [this] { close(); });
}

void frmMain::SaveStartupOption(const char* column, int value)
{
    engine::Recordset schedule = Config.ScheduleRecordset->Clone();
    schedule.MoveFirst();
    schedule.SetField(column, engine::Value(value));
    schedule.Update();
}

void frmMain::mnuRunStartup_Click()
{
    RunHandler(*services.prompter, "mnuRunStartup_Click", [this] {
        // The stored flag first, the session's start-up entry second.
        if (mnuRunStartup->isChecked()) {
            SaveStartupOption("RunAtStartup", 0);
            registry::DeleteRegValue(registry::HKEY_LOCAL_MACHINE, registry::RunKey, RunValueName);
            mnuRunStartup->setChecked(false);
        } else {
            SaveStartupOption("RunAtStartup", 1);
            registry::SaveRegString(registry::HKEY_LOCAL_MACHINE, registry::RunKey, RunValueName,
                                    ProgramFile("mallow"));
            mnuRunStartup->setChecked(true);
        }
    });
}

void frmMain::mnuMinimizeStartup_Click()
{
    RunHandler(*services.prompter, "mnuMinimizeStartup_Click", [this] {
        // Takes effect at the next start; the running window stays as it is.
        const bool checked = mnuMinimizeStartup->isChecked();
        SaveStartupOption("MinimizeAtStartup", checked ? 0 : 1);
        mnuMinimizeStartup->setChecked(!checked);
    });
}

void frmMain::mnuMallowHelp_Click()
{
    RunHandler(*services.prompter, "mnuMallowHelp_Click", [this] {
        // F1 goes where keys go, without waiting; the window's F1 opens the help.
        QWidget* focus = QApplication::focusWidget();
        QWidget* target = focus && focus->window() == this ? focus : this;
        QCoreApplication::postEvent(target,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier));
        QCoreApplication::postEvent(target,
                                    new QKeyEvent(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier));
    });
}

void frmMain::ShowHelp()
{
    RunHandler(*services.prompter, "ShowHelp", [this] {
        const std::string file = NativePath(HelpFile);
        std::error_code ec;
        if (file.empty() || !std::filesystem::is_regular_file(file, ec))
            throw MallowError(err::FileNotFound, "ShowHelp",
                              "The help file " + file + " cannot be found.");
        if (!helpWindow)
            helpWindow = new frmHelp(this);
        helpWindow->ShowContents(Q(file));
        helpWindow->show();
        helpWindow->raise();
        helpWindow->activateWindow();
    });
}

void frmMain::mnuAboutMallow_Click()
{
    RunHandler(*services.prompter, "mnuAboutMallow_Click", [this] {
        frmAbout about(*services.prompter, Q(NativePath(ProgramFile("Mallow.ico"))),
                       registry::DefaultPlaces(), this);
        about.exec();
    });
}

} // namespace mallow
