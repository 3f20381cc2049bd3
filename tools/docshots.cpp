// docshots FOLDER: pictures of the main window on each of its tabs, for the documentation.
// Runs the real window on a demonstration configuration database copied from the one beside
// this program, so it needs no display (QT_QPA_PLATFORM=offscreen works).

#include "shell/QtFileDialogs.h"
#include "shell/QtPrompter.h"
#include "shell/frmMain.h"
#include "util/Clock.h"
#include "util/Paths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: docshots FOLDER\n");
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
    window.Start();
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
    return 0;
}
