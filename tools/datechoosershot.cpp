// datechoosershot FILE.png: a picture of the date chooser open over a window with the results'
// two date boxes, for the documentation. It uses the calendar library registered in the registry
// store (the build registers it), and needs no display (QT_QPA_PLATFORM=offscreen works).

#include "reports/frmChooseDate.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: datechoosershot FILE.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Mallow"));
    auto* criteria = new QGroupBox(QStringLiteral("Criteria"), &window);
    auto* grid = new QGridLayout(criteria);
    auto* txtBeginningDate = new QLineEdit(QStringLiteral("12/01/2026"));
    auto* txtEndingDate = new QLineEdit(QStringLiteral("12/08/2026"));
    auto* ChooseBeginDate = new QPushButton(QStringLiteral("..."));
    auto* ChooseEndDate = new QPushButton(QStringLiteral("..."));
    ChooseBeginDate->setMaximumWidth(32);
    ChooseEndDate->setMaximumWidth(32);
    grid->addWidget(new QLabel(QStringLiteral("Beginning Date")), 0, 0);
    grid->addWidget(txtBeginningDate, 0, 1);
    grid->addWidget(ChooseBeginDate, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Ending Date")), 0, 3);
    grid->addWidget(txtEndingDate, 0, 4);
    grid->addWidget(ChooseEndDate, 0, 5);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(criteria);
    layout->addStretch();
    window.resize(560, 240);
    window.move(0, 0);
    window.show();

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
        try {
            mallow::ShowDateChooser(window, *ChooseEndDate, QStringLiteral("EndDate"), nullptr,
                                    txtEndingDate);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "datechoosershot: %s\n", e.what());
        }
        app.quit();
    });
    app.exec();
    return result;
}
