// resultsshots FOLDER: the Results tab's pictures for the documentation, from real log rows.
// A few databases are made in a folder of their own and compacted and backed up by the
// program's own code on a month of days (one of them held open by another process on a day,
// so that its compaction fails), then the window's Results tab is shown over those days
// (FOLDER/mainwindow-results.png) and printed with "Print Results" into FOLDER/print-results.pdf.
// Needs no display (QT_QPA_PLATFORM=offscreen works) and no printer.

#include "fixtures/ManagedDatabase.h"
#include "fixtures/TestFileDialogs.h"
#include "fixtures/TestPrompter.h"
#include "reports/ResultsTab.h"
#include "shell/frmMain.h"
#include "util/Clock.h"
#include "util/Dates.h"
#include "util/Paths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <memory>

using namespace mallow;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: resultsshots FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir programFolder;
    QTemporaryDir data(QDir::tempPath() + QStringLiteral("/Data-XXXXXX"));
    const QString database = programFolder.filePath(QStringLiteral("Compact20.mdb"));
    if (!QFile::copy(QString::fromStdString(ProgramFolder()) + "/Compact20.mdb", database)) {
        std::fprintf(stderr, "resultsshots: Compact20.mdb must lie beside me\n");
        return 1;
    }
    QDir(data.path()).mkpath(QStringLiteral("Backups"));
    const char* names[] = {"Sales/sales.mdb", "Orders/orders.mdb", "Finance/ledger.mdb",
                           "Staff/staff.mdb", "Stock/warehouse.mdb"};
    std::string apps;
    for (const char* name : names) {
        const QString path = data.filePath(QString::fromLatin1(name));
        QDir().mkpath(QFileInfo(path).path());
        apps += std::string(apps.empty() ? "" : ",") + "('" + path.toStdString() + "', 0)";
    }
    sqlite3* db = nullptr;
    sqlite3_open(database.toUtf8().constData(), &db);
    sqlite3_exec(db, ("INSERT INTO Apps (App, LogUsersOff) VALUES " + apps).c_str(), nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);

    // A month of nights at 2 AM, each database compacted and backed up in turn.
    const double firstNight = dates::ToAutomationDate({2026, 11, 9, 2, 0, 0});
    FixedClock clock(firstNight);
    test::TestPrompter prompter;
    test::TestFileDialogs dialogs;
    frmMain window({&prompter, &clock, &dialogs, programFolder.path().toStdString()});
    window.Form_Load();
    window.CompactModule.BackupFolder = data.filePath(QStringLiteral("Backups")).toStdString();
    for (int night = 0; night < 30; ++night) {
        for (int i = 0; i < 5; ++i) {
            const std::string path = data.filePath(QString::fromLatin1(names[i])).toStdString();
            // Half of each database's rows are deleted since the night before.
            test::MakeManagedDatabase(path, 800 + 150 * i + 7 * night, true, true);
            clock.Set(firstNight + night + i * 47.0 / 86400 * 60);
            std::unique_ptr<test::HolderProcess> holder;
            if (night == 29 && i == 1)
                holder = std::make_unique<test::HolderProcess>(path);
            window.CompactModule.CompactApplication(i + 1, path, "", "", "", "", true);
        }
    }
    clock.Set(firstNight + 29.4);
    window.ResetStatusPanels();

    ResultsTab& tab = *window.tabResults;
    tab.txtBeginningDate->setText(QStringLiteral("11/09/2026"));
    tab.txtEndingDate->setText(QStringLiteral("12/08/2026"));
    window.show();
    window.SSTab1->setCurrentIndex(2);
    tab.SSTab2->setCurrentIndex(1);
    tab.cmdRefresh_Click();
    QApplication::processEvents();
    const QString picture = out.filePath(QStringLiteral("mainwindow-results.png"));
    if (!window.grab().save(picture)) {
        std::fprintf(stderr, "resultsshots: cannot write %s\n", picture.toLocal8Bit().constData());
        return 1;
    }

    // "Print Results" without a printer writes its PDF file into the home folder.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toLocal8Bit());
    qputenv("CUPS_SERVER", home.filePath(QStringLiteral("no-cups.sock")).toLocal8Bit());
    prompter.shown.clear();
    tab.cmdPrint_Click();
    const QStringList pdfs = QDir(home.path()).entryList({QStringLiteral("*.pdf")});
    const QString pdf = out.filePath(QStringLiteral("print-results.pdf"));
    QFile::remove(pdf);
    if (pdfs.size() != 1 || !QFile::copy(QDir(home.path()).filePath(pdfs[0]), pdf)) {
        std::fprintf(stderr, "resultsshots: printing failed: %s\n", prompter.Last().c_str());
        return 1;
    }
    std::printf("%s\n%s\n", picture.toLocal8Bit().constData(), pdf.toLocal8Bit().constData());
    window.close();
    return 0;
}
