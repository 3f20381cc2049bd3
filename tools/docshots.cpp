// docshots FOLDER: pictures of the main window on each of its tabs, the About box and the help
// window, for the documentation. Runs the real window on a demonstration configuration database
// copied from the one beside this program, so it needs no display (QT_QPA_PLATFORM=offscreen
// works).
// docshots --tray FILE: a picture of the tray icon with its menu, as a right click on the icon
// of the hidden window opens it; needs an X display with a tray host (tests/shell/with_tray.sh).

#include "shell/APIStuff.h"
#include "shell/QtFileDialogs.h"
#include "shell/QtPrompter.h"
#include "shell/frmAbout.h"
#include "shell/frmHelp.h"
#include "shell/frmMain.h"
#include "util/Clock.h"
#include "util/Paths.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QThread>

#include <filesystem>

#include <sqlite3.h>

#include <cstdio>

namespace {

bool Save(const QPixmap& picture, const QString& file)
{
    if (picture.save(file))
        return true;
    std::fprintf(stderr, "docshots: cannot write %s\n", file.toLocal8Bit().constData());
    return false;
}

void Settle(int milliseconds)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < milliseconds) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

// The hidden window's tray menu, opened at its icon, and the part of the screen around both.
int TrayShot(mallow::frmMain& window, const QString& file)
{
    QElapsedTimer waited;
    waited.start();
    while (!window.tray->InTray() || window.tray->Icon()->geometry().isEmpty()) {
        if (waited.elapsed() > 15000) {
            std::fprintf(stderr, "docshots: no tray host shows the icon\n");
            return 1;
        }
        Settle(50);
    }
    Settle(500);
    window.tray->TrayWindowProc(mallow::msg::WM_SYSCOMMAND, mallow::msg::SC_MINIMIZE, 0);
    const QRect icon = window.tray->Icon()->geometry();
    // Clicked at the icon's upper edge, the menu opens above it and leaves it in sight.
    QCursor::setPos(QPoint(icon.center().x(), icon.top() - 1));
    window.tray->TrayWindowProc(mallow::msg::TrayCallback, 0, mallow::msg::WM_RBUTTONUP);
    Settle(700);
    const QRect shown = window.mnuTray->geometry().united(icon).adjusted(-40, -30, 40, 10);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect area = shown.intersected(screen);
    const bool saved = Save(QGuiApplication::primaryScreen()->grabWindow(
                                0, area.x(), area.y(), area.width(), area.height()),
                            file);
    window.mnuTray->hide();
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool tray = argc == 3 && std::string(argv[1]) == "--tray";
    if (argc != 2 && !tray) {
        std::fprintf(stderr, "usage: docshots FOLDER | docshots --tray FILE\n");
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir programFolder;
    const QString database = programFolder.filePath(QStringLiteral("Compact20.mdb"));
    const QString built = QString::fromStdString(mallow::ProgramFolder()) + "/Compact20.mdb";
    if (!QFile::copy(built, database) ||
        !QFile::copy(QString::fromStdString(mallow::ProgramFolder()) + "/Mallow.ico",
                     programFolder.filePath(QStringLiteral("Mallow.ico")))) {
        std::fprintf(stderr, "docshots: Compact20.mdb and Mallow.ico must lie beside me\n");
        return 1;
    }
    sqlite3* db = nullptr;
    sqlite3_open(database.toUtf8().constData(), &db);
    sqlite3_exec(db,
                 "INSERT INTO Apps (App, MDW, UserName, LogUsersOff) VALUES "
                 "('//fileserver/Data/Sales/sales.mdb', '//fileserver/Data/secure.mdw', "
                 "'admin', 1), ('//fileserver/Data/Orders/orders.mdb', '', '', 0), "
                 "('/srv/finance/ledger.mdb', '', '', 0);"
                 "UPDATE Schedule SET Monday='2:00 AM', Wednesday='2:00 AM', Friday='11:30 PM', "
                 "Backup='/srv/backups', Enabled=1, BUEnabled=1, BUDays=14, SendDisconnectMsg=1, "
                 "DelayBeforeDisconnect=120;",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);

    mallow::SystemClock clock;
    mallow::QtPrompter prompter;
    mallow::QtFileDialogs dialogs;
    mallow::frmMain window({&prompter, &clock, &dialogs, programFolder.path().toStdString()});
    std::error_code ec;
    std::filesystem::copy(mallow::ProgramFolder() + "/help",
                          programFolder.filePath("help").toStdString(),
                          std::filesystem::copy_options::recursive, ec);
    window.Start();
    if (tray)
        return TrayShot(window, QString::fromLocal8Bit(argv[2]));
    const char* names[4] = {"applications", "schedule", "results", "multi-user"};
    QDir out(QString::fromLocal8Bit(argv[1]));
    for (int tab = 0; tab < 4; ++tab) {
        // The Results tab's picture shows real log rows: resultsshots makes it.
        if (tab == 2)
            continue;
        window.SSTab1->setCurrentIndex(tab);
        QApplication::processEvents();
        const QString file = out.filePath(QStringLiteral("mainwindow-%1.png").arg(names[tab]));
        if (!window.grab().save(file)) {
            std::fprintf(stderr, "docshots: cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    window.SSTab1->setCurrentIndex(0);

    mallow::frmAbout about(prompter, programFolder.filePath(QStringLiteral("Mallow.ico")),
                           mallow::registry::DefaultPlaces(), &window);
    about.show();
    QApplication::processEvents();
    if (!Save(about.grab(), out.filePath(QStringLiteral("about.png"))))
        return 1;
    about.hide();

    window.ShowHelp();
    auto* help = window.findChild<mallow::frmHelp*>();
    if (!help)
        return 1;
    help->resize(820, 560);
    help->txtPage->setSource(QUrl(QStringLiteral("applications.html")));
    Settle(600);
    return Save(help->grab(), out.filePath(QStringLiteral("help.png"))) ? 0 : 1;
}
