// The date chooser as a user meets it: a window with the two date boxes and their buttons, wired
// as the results view wires them, the calendar library registered in a store of the test's own
// by the registration tool, and real mouse clicks.

#include "reports/frmChooseDate.h"

#include "fixtures/ModalDialogs.h"
#include "fixtures/TempFolder.h"
#include "fixtures/TestPrompter.h"
#include "platform/RegistryStore.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

namespace mallow {
namespace {

/// The part of the results view the chooser serves.
struct ResultsWindow : QWidget
{
    test::TestPrompter prompter;
    QLineEdit* txtBeginningDate = new QLineEdit(QStringLiteral("01/01/2020"), this);
    QLineEdit* txtEndingDate = new QLineEdit(QStringLiteral("12/31/2020"), this);
    QPushButton* ChooseBeginDate = new QPushButton(QStringLiteral("..."), this);
    QPushButton* ChooseEndDate = new QPushButton(QStringLiteral("..."), this);

    ResultsWindow()
    {
        txtBeginningDate->setGeometry(20, 40, 90, 24);
        ChooseBeginDate->setGeometry(115, 40, 30, 24);
        txtEndingDate->setGeometry(200, 40, 90, 24);
        ChooseEndDate->setGeometry(295, 40, 30, 24);
        resize(400, 300);
        move(240, 150);
        connect(ChooseBeginDate, &QPushButton::clicked, this, [this] {
            ChooseBeginDate_Click(prompter, *this, *ChooseBeginDate, *txtBeginningDate);
        });
        connect(ChooseEndDate, &QPushButton::clicked, this,
                [this] { ChooseEndDate_Click(prompter, *this, *ChooseEndDate, *txtEndingDate); });
    }
};

QString Text(const QDate& date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

/// The first day the chooser shows for the month of `date`: the Monday on or before the 1st.
QDate FirstCell(const QDate& date)
{
    const QDate first(date.year(), date.month(), 1);
    return first.addDays(1 - first.dayOfWeek());
}

} // namespace

class DateChooserTest : public QObject
{
    Q_OBJECT

private:
    test::TempFolder folder;
    QString store;
    std::unique_ptr<ResultsWindow> window;

    void Register(const QString& storePath)
    {
        qputenv("MALLOW_REGISTRY", storePath.toLocal8Bit());
        QProcess regsvr;
        regsvr.start(QStringLiteral(REGSVR), {QStringLiteral(QUILLON_LIBRARY)});
        QVERIFY(regsvr.waitForFinished(30000));
        QCOMPARE(regsvr.exitCode(), 0);
    }

    static QWidget* Cell(frmChooseDate& dialog, int k)
    {
        return dialog.tCal1()->findChild<QWidget*>(QStringLiteral("labDayNo(%1)").arg(k));
    }
    static QString Month(frmChooseDate& dialog)
    {
        return dialog.tCal1()->findChild<QLabel*>(QStringLiteral("labMonth"))->text();
    }
    static QString CurrentMonth()
    {
        return QLocale(QLocale::English)
            .toString(QDate::currentDate(), QStringLiteral("MMMM yyyy"));
    }

private slots:
    void init()
    {
        store = QString::fromStdString(folder.File("registry"));
        Register(store);
        window = std::make_unique<ResultsWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void choosingTheFifthForTheEndDate()
    {
        const QDate fifth(QDate::currentDate().year(), QDate::currentDate().month(), 5);
        QVERIFY(test::InModal<frmChooseDate>(window->ChooseEndDate, [&](frmChooseDate& dialog) {
            QCOMPARE(dialog.DateTarget, QStringLiteral("EndDate"));
            QTest::mouseClick(Cell(dialog, FirstCell(fifth).daysTo(fifth)), Qt::LeftButton);
        }));
        QCOMPARE(window->txtEndingDate->text(), Text(fifth));
        QCOMPARE(window->txtBeginningDate->text(), QStringLiteral("01/01/2020"));
        QVERIFY(window->prompter.shown.empty());
        QVERIFY(!QApplication::activeModalWidget());
    }

    void aGreyDayWritesThatDayOfTheNeighbouringMonth()
    {
        // The last cell always belongs to the month after.
        const QDate last = FirstCell(QDate::currentDate()).addDays(41);
        QVERIFY(last.month() != QDate::currentDate().month());
        QVERIFY(test::InModal<frmChooseDate>(window->ChooseBeginDate, [&](frmChooseDate& dialog) {
            QCOMPARE(dialog.DateTarget, QStringLiteral("BeginDate"));
            QTest::mouseClick(Cell(dialog, 41), Qt::LeftButton);
        }));
        QCOMPARE(window->txtBeginningDate->text(), Text(last));
        QCOMPARE(window->txtEndingDate->text(), QStringLiteral("12/31/2020"));
    }

    void openingTwiceShowsTheCurrentMonthBothTimes()
    {
        // The first time, the forward arrow writes today's cell of next month and closes.
        const QDate today = QDate::currentDate();
        const QDate next = today.addMonths(1);
        const QDate expected = FirstCell(next).addDays(FirstCell(today).daysTo(today));
        QVERIFY(test::InModal<frmChooseDate>(window->ChooseEndDate, [&](frmChooseDate& dialog) {
            QCOMPARE(Month(dialog), CurrentMonth());
            QTest::mouseClick(dialog.tCal1()->findChild<QWidget*>(QStringLiteral("labUD(1)")),
                              Qt::LeftButton);
        }));
        QCOMPARE(window->txtEndingDate->text(), Text(expected));

        QVERIFY(test::InModal<frmChooseDate>(window->ChooseEndDate, [&](frmChooseDate& dialog) {
            QCOMPARE(Month(dialog), CurrentMonth());
            auto* todayCell = static_cast<QLabel*>(Cell(dialog, FirstCell(today).daysTo(today)));
            QCOMPARE(todayCell->palette().color(QPalette::WindowText), QColor(255, 0, 0));
            dialog.close();
        }));
        QCOMPARE(window->txtEndingDate->text(), Text(expected));
    }

    void theDialogIsPlacedByItsButtonAndClosingItsFrameWritesNothing()
    {
        QVERIFY(test::InModal<frmChooseDate>(window->ChooseEndDate, [&](frmChooseDate& dialog) {
            const double dpiX = window->screen()->logicalDotsPerInchX();
            const double dpiY = window->screen()->logicalDotsPerInchY();
            const auto x = [&](int twips) { return qRound(twips * dpiX / 1440); };
            const auto y = [&](int twips) { return qRound(twips * dpiY / 1440); };
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Choose Date"));
            QVERIFY(dialog.isModal());
            QCOMPARE(dialog.parentWidget(), window.get());
            QCOMPARE(dialog.size(), QSize(x(2325), y(2220)));
            QCOMPARE(dialog.tCal1()->geometry(), QRect(x(120), y(120), x(2055), y(1980)));
            QCOMPARE(dialog.pos(),
                     QPoint(window->ChooseEndDate->x(), window->ChooseEndDate->y() + window->y()));
            dialog.close();
        }));
        QCOMPARE(window->txtEndingDate->text(), QStringLiteral("12/31/2020"));
        QVERIFY(window->prompter.shown.empty());
    }

    void aMissingOrMovedLibraryGivesTheErrorBoxAndTheNextClickWorks()
    {
        const QString empty = QString::fromStdString(folder.File("empty-registry"));
        qputenv("MALLOW_REGISTRY", empty.toLocal8Bit());
        QVERIFY(!test::InModal<frmChooseDate>(window->ChooseBeginDate, [](frmChooseDate&) {}));
        QCOMPARE(window->prompter.Last(),
                 "An error has occured in module 'errChooseBeginDate'.\r\n"
                 "Can't create the object \"Quillon.tCal\": it is not registered (registry store " +
                     empty.toStdString() + ").");

        // Registered at a path where the library no longer is.
        registry::Store moved = registry::Store::Load(store.toStdString());
        const std::string gone = folder.File("old-build/libquillon.so");
        moved.SetValue(registry::HKEY_CLASSES_ROOT,
                       std::string("CLSID\\") + QUILLON_CLSID_TCAL + "\\InprocServer32",
                       registry::StringValue("", gone));
        moved.Save();
        qputenv("MALLOW_REGISTRY", store.toLocal8Bit());
        QVERIFY(!test::InModal<frmChooseDate>(window->ChooseEndDate, [](frmChooseDate&) {}));
        QCOMPARE(window->prompter.Last(), "An error has occured in module 'errChooseEndDate'.\r\n"
                                          "Can't create the object \"Quillon.tCal\": its library " +
                                              gone + " does not exist.");
        QCOMPARE(window->txtEndingDate->text(), QStringLiteral("12/31/2020"));

        // A damaged store is named in the box and left as it is.
        test::WriteFile(store.toStdString(), "garbage\n");
        QVERIFY(!test::InModal<frmChooseDate>(window->ChooseEndDate, [](frmChooseDate&) {}));
        QVERIFY(window->prompter.Last().find("is not a Mallow registry store") !=
                std::string::npos);
        QCOMPARE(test::ReadFile(store.toStdString()), std::string("garbage\n"));

        // Once the library is registered again, the same button opens the chooser.
        QFile::remove(store);
        Register(store);
        const QDate fifth(QDate::currentDate().year(), QDate::currentDate().month(), 5);
        QVERIFY(test::InModal<frmChooseDate>(window->ChooseEndDate, [&](frmChooseDate& dialog) {
            QTest::mouseClick(Cell(dialog, FirstCell(fifth).daysTo(fifth)), Qt::LeftButton);
        }));
        QCOMPARE(window->txtEndingDate->text(), Text(fifth));
    }
};

} // namespace mallow

QTEST_MAIN(mallow::DateChooserTest)
#include "DateChooserTest.moc"
