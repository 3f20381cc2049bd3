// datechoosershot FILE.png: a picture of the date chooser open over the main window, from the
// Results tab's "Ending Date" button, for the documentation. It runs the real window on a copy of
// the configuration database beside this program and the calendar library registered in the
// registry store (the build registers it); it needs no display (QT_QPA_PLATFORM=offscreen works).

#include "reports/ResultsTab.h"
#include "reports/frmChooseDate.h"
#include "shell/QtFileDialogs.h"
#include "shell/QtPrompter.h"
#include "shell/frmMain.h"
#include "util/Clock.h"
#include "util/Paths.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: datechoosershot FILE.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir programFolder;
    if (!QFile::copy(QString::fromStdString(mallow::ProgramFolder()) + "/Compact20.mdb",
                     programFolder.filePath(QStringLiteral("Compact20.mdb")))) {
        std::fprintf(stderr, "datechoosershot: Compact20.mdb must lie beside me\n");
        return 1;
    }
    mallow::SystemClock clock;
    mallow::QtPrompter prompter;
    mallow::QtFileDialogs dialogs;
    mallow::frmMain window({&prompter, &clock, &dialogs, programFolder.path().toStdString()});
    window.Start();
    window.move(0, 0);
    window.SSTab1->setCurrentIndex(2);
    mallow::ResultsTab& tab = *window.tabResults;
    tab.SSTab2->setCurrentIndex(1);

    int result = 1;
    QTimer::singleShot(200, [&] {
        QTimer::singleShot(300, [&] {
            auto* dialog = dynamic_cast<mallow::frmChooseDate*>(QApplication::activeModalWidget());
            if (!dialog) {
                std::fprintf(stderr, "datechoosershot: the chooser did not open\n");
                return;
            }
            // The dialog as it lies over the window, with a dark edge where its frame would
            // be, on a desktop wide enough for both.
            const QRect windowArea = window.frameGeometry();
            const QRect dialogArea(dialog->pos(), dialog->size());
            const QRect desktop = windowArea.united(dialogArea.adjusted(-12, -12, 12, 12));
            QPixmap picture(desktop.size() * window.devicePixelRatio());
            picture.setDevicePixelRatio(window.devicePixelRatio());
            picture.fill(QColor(0x5A, 0x6E, 0x82));
            QPainter painter(&picture);
            painter.drawPixmap(windowArea.topLeft() - desktop.topLeft(), window.grab());
            const QPoint at = dialogArea.topLeft() - desktop.topLeft();
            painter.drawPixmap(at, dialog->grab());
            painter.setPen(QColor(0x40, 0x40, 0x40));
            painter.drawRect(QRect(at, dialog->size()).adjusted(-1, -1, 0, 0));
            painter.end();
            if (picture.save(QString::fromLocal8Bit(argv[1]), "PNG"))
                result = 0;
            else
                std::fprintf(stderr, "datechoosershot: cannot write %s\n", argv[1]);
            dialog->reject();
        });
        // The button as the user presses it.
        tab.ChooseEndDate->click();
        app.quit();
    });
    app.exec();
    window.close();
    return result;
}
