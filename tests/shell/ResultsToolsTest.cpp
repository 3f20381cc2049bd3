// "Print Results" and the date buttons of the Results tab, through the window: printing into a
// PDF file read back with poppler's tools, and the date chooser with the calendar library
// registered by the registration tool in a store of the test's own.

#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/ModalDialogs.h"
#include "fixtures/PdfText.h"
#include "platform/RegistryStore.h"
#include "reports/PrintResults.h"
#include "reports/PrinterSurface.h"
#include "reports/TableWidgetGrid.h"
#include "reports/clsTablePrint.h"
#include "reports/frmChooseDate.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include <cstdio>
#include <map>

using namespace mallow;

namespace {

using Started = test::StartedForm;

std::string Number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string Comment(int i)
{
    char text[32];
    std::snprintf(text, sizeof text, "Compacted run %05d", i);
    return text;
}

/// Sets environment variables for as long as it lives, then puts back what was there.
class Environment
{
public:
    ~Environment()
    {
        for (const auto& [name, value] : saved) {
            if (value)
                qputenv(name.c_str(), *value);
            else
                qunsetenv(name.c_str());
        }
    }
    void Set(const char* name, const QByteArray& value)
    {
        if (!saved.count(name))
            saved[name] = qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                                          : std::nullopt;
        qputenv(name, value);
    }

private:
    std::map<std::string, std::optional<QByteArray>> saved;
};

using test::Has;
using test::PageText;
using test::PdfPages;

QStringList Pdfs(const std::string& folder)
{
    return QDir(QString::fromStdString(folder)).entryList({"*.pdf"}, QDir::Files, QDir::Name);
}

QString DayText(const QDate& date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

/// The first day the chooser shows for the month of `date`: the Monday on or before the 1st.
QDate FirstCell(const QDate& date)
{
    const QDate first(date.year(), date.month(), 1);
    return first.addDays(1 - first.dayOfWeek());
}

QWidget* Cell(frmChooseDate& dialog, int k)
{
    return dialog.tCal1()->findChild<QWidget*>(QStringLiteral("labDayNo(%1)").arg(k));
}

QString Month(frmChooseDate& dialog)
{
    return dialog.tCal1()->findChild<QLabel*>(QStringLiteral("labMonth"))->text();
}

QString CurrentMonth()
{
    return QLocale(QLocale::English).toString(QDate::currentDate(), QStringLiteral("MMMM yyyy"));
}

} // namespace

class ResultsToolsTest : public QObject
{
    Q_OBJECT

private:
    test::TempFolder folder;
    std::string store;

    /// "Print Results" writes its PDF file into the home folder when there is no printer; no
    /// print server answers.
    static void PrintInto(const test::TempFolder& home, Environment& environment)
    {
        environment.Set("HOME", QByteArray::fromStdString(home.Path()));
        environment.Set("XDG_CONFIG_HOME", QByteArray::fromStdString(home.File(".config")));
        environment.Set("CUPS_SERVER", QByteArray::fromStdString(home.File("no-cups.sock")));
    }

    void Register()
    {
        QProcess regsvr;
        regsvr.start(QStringLiteral(REGSVR), {QStringLiteral(QUILLON_LIBRARY)});
        QVERIFY(regsvr.waitForFinished(30000));
        QCOMPARE(regsvr.exitCode(), 0);
    }

private slots:
    void initTestCase()
    {
        store = folder.File("registry");
        qputenv("MALLOW_REGISTRY", QByteArray::fromStdString(store));
        Register();
    }
    void cleanupTestCase() { qunsetenv("MALLOW_REGISTRY"); }

    void PrintsFiveHundredLogRowsIntoAPdfWithoutAPrinter()
    {
        test::TempFolder home;
        Environment environment;
        PrintInto(home, environment);
        if (!QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP("a printer is set up here: the job would go to it");

        test::ConfigFixture config;
        config.Sql("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 499)"
                   " INSERT INTO Log (Application, Successful, \"Size Before\", \"Size After\", "
                   "TimeLogged, Comments) SELECT 'C:\\Data\\Sales' || (i % 40) || '.mdb', i % 17 "
                   "<> 0, 1048576 + i * 4096, 524288 + i * 2048, " +
                   Number(test::FixedNow) +
                   " - 0.4 + i / 86400.0, printf('Compacted run %05d', "
                   "i) FROM n");
        Started s(config.ProgramFolder());
        ResultsTab* tab = s.form->tabResults;
        QCOMPARE(tab->MSFlexGrid1->rowCount(), 500);
        test::ClickTab(s.form->SSTab1, 2);
        test::ClickTab(tab->SSTab2, 2);
        test::Click(tab->cmdPrint);

        QCOMPARE(Pdfs(home.Path()).size(), 1);
        const QString pdf =
            QDir(QString::fromStdString(home.Path())).filePath(Pdfs(home.Path())[0]);
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        QCOMPARE(s.prompter.Last(), PrintedToPdfText(pdf.toStdString()));
        QVERIFY(s.form->cursor().shape() != Qt::WaitCursor);

        // The pages the table object works out for this page, with the header on each.
        QPrinter printer(QPrinter::HighResolution);
        SetUpPrinter(printer, {true, home.File("measure.pdf")});
        PrinterSurface surface(printer);
        const long perPage = tab->Table->CalcNumRowsPerPage(surface, true, false);
        QVERIFY(perPage > 10);
        const int pages = static_cast<int>((500 + perPage - 1) / perPage);
        QCOMPARE(PdfPages(pdf), pages);
        // Rows come newest first: grid row r is run 499 - r.
        for (int page = 1; page <= pages; ++page) {
            const std::string text = PageText(pdf, page);
            for (const char* header :
                 {"App", "Successful", "Size Before", "Size After", "Logged", "Comments"})
                QVERIFY2(Has(text, header),
                         qPrintable(QStringLiteral("%1 on page %2").arg(header).arg(page)));
            const int first = static_cast<int>((page - 1) * perPage);
            const int last = std::min(500, static_cast<int>(page * perPage)) - 1;
            QVERIFY2(Has(text, Comment(499 - first)), qPrintable(QString::number(page)));
            QVERIFY2(Has(text, Comment(499 - last)), qPrintable(QString::number(page)));
            if (last < 499)
                QVERIFY(!Has(text, Comment(499 - last - 1)));
            QVERIFY(Has(text, "12/8/2026"));
        }
        QVERIFY(Has(PageText(pdf, pages), "C:\\Data\\ ... Sales0.mdb"));

        // A folder the file cannot go into: the error box; the next click prints again.
        environment.Set("HOME", QByteArray::fromStdString(home.File("gone")));
        test::Click(tab->cmdPrint);
        QVERIFY2(test::StartsWith(s.prompter.Last(), test::HandlerPrefix("cmdPrint_Click")),
                 s.prompter.Last().c_str());
        QVERIFY(s.form->cursor().shape() != Qt::WaitCursor);
        environment.Set("HOME", QByteArray::fromStdString(home.Path()));
        test::Click(tab->cmdPrint);
        QCOMPARE(Pdfs(home.Path()).size(), 2);
        QVERIFY(Has(s.prompter.Last(), home.Path()));
    }

    void AnEmptyResultPrintsItsHeaderAlone()
    {
        test::TempFolder home;
        Environment environment;
        PrintInto(home, environment);
        if (!QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP("a printer is set up here: the job would go to it");

        // Yesterday's rows were shown; today has none: the print holds no row of yesterday.
        test::ConfigFixture config;
        config.Sql("INSERT INTO LogBackup (Application, Successful, TimeLogged, Comments) VALUES "
                   "('C:\\a.mdb', 1, " +
                   Number(test::FixedNow - 1) + ", 'yesterday''s copy')");
        Started s(config.ProgramFolder());
        ResultsTab* tab = s.form->tabResults;
        test::ClickTab(s.form->SSTab1, 2);
        tab->txtBeginningDate->setText(QStringLiteral("12/7/2026"));
        test::Click(tab->optLogBack);
        QCOMPARE(tab->MSFlexGrid1->rowCount(), 1);
        tab->txtBeginningDate->setText(QStringLiteral("12/8/2026"));
        test::ClickTab(tab->SSTab2, 1);
        test::Click(tab->cmdRefresh);
        QCOMPARE(tab->lblProcessing->text(), QStringLiteral("No Records Available."));
        test::ClickTab(tab->SSTab2, 2);
        test::Click(tab->cmdPrint);

        QCOMPARE(Pdfs(home.Path()).size(), 1);
        const QString pdf =
            QDir(QString::fromStdString(home.Path())).filePath(Pdfs(home.Path())[0]);
        QCOMPARE(s.prompter.Last(), PrintedToPdfText(pdf.toStdString()));
        QCOMPARE(PdfPages(pdf), 1);
        const std::string text = PageText(pdf, 1);
        for (const char* header : {"App", "Successful", "Logged", "Comments"})
            QVERIFY2(Has(text, header), header);
        QVERIFY(!Has(text, "yesterday"));
    }

    void TheDateButtonsWriteTheChosenDayAndRefreshUsesIt()
    {
        const QDate today = QDate::currentDate();
        const QDate fifth(today.year(), today.month(), 5);
        test::ConfigFixture config;
        for (const QDate& day : {fifth, fifth.addDays(1)}) {
            const double when = dates::ToAutomationDate({day.year(), day.month(), day.day(), 12});
            config.Sql("INSERT INTO Log (Application, Successful, TimeLogged, Comments) VALUES "
                       "('C:\\a.mdb', 1, " +
                       Number(when) + ", '" + DayText(day).toStdString() + "')");
        }
        Started s(config.ProgramFolder());
        ResultsTab* tab = s.form->tabResults;
        test::ClickTab(s.form->SSTab1, 2);
        test::ClickTab(tab->SSTab2, 1);
        const QString begin = tab->txtBeginningDate->text();

        QVERIFY(test::InModal<frmChooseDate>(tab->ChooseEndDate, [&](frmChooseDate& dialog) {
            QCOMPARE(dialog.DateTarget, QStringLiteral("EndDate"));
            QCOMPARE(dialog.parentWidget(), s.form.get());
            QCOMPARE(Month(dialog), CurrentMonth());
            QTest::mouseClick(Cell(dialog, FirstCell(fifth).daysTo(fifth)), Qt::LeftButton);
        }));
        QCOMPARE(tab->txtEndingDate->text(), DayText(fifth));
        QCOMPARE(tab->txtBeginningDate->text(), begin);

        // A grey day of the month after.
        const QDate last = FirstCell(today).addDays(41);
        QVERIFY(test::InModal<frmChooseDate>(tab->ChooseBeginDate, [&](frmChooseDate& dialog) {
            QCOMPARE(dialog.DateTarget, QStringLiteral("BeginDate"));
            QTest::mouseClick(Cell(dialog, 41), Qt::LeftButton);
        }));
        QCOMPARE(tab->txtBeginningDate->text(), DayText(last));

        // The chosen texts are days the query reads.
        tab->txtBeginningDate->setText(QStringLiteral("01/01/2000"));
        test::Click(tab->cmdRefresh);
        QCOMPARE(tab->MSFlexGrid1->rowCount(), 1);
        QCOMPARE(CellText(*tab->MSFlexGrid1, 0, 6), DayText(fifth));
        QVERIFY(s.prompter.shown.empty());
    }

    void OpeningTwiceShowsTheCurrentMonthAndAnUnregisteredLibraryGivesTheBox()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        ResultsTab* tab = s.form->tabResults;
        test::ClickTab(s.form->SSTab1, 2);
        test::ClickTab(tab->SSTab2, 1);

        // The month arrow writes today's cell of next month and closes the chooser.
        const QDate today = QDate::currentDate();
        const QDate expected =
            FirstCell(today.addMonths(1)).addDays(FirstCell(today).daysTo(today));
        QVERIFY(test::InModal<frmChooseDate>(tab->ChooseEndDate, [&](frmChooseDate& dialog) {
            QCOMPARE(Month(dialog), CurrentMonth());
            QTest::mouseClick(dialog.tCal1()->findChild<QWidget*>(QStringLiteral("labUD(1)")),
                              Qt::LeftButton);
        }));
        QCOMPARE(tab->txtEndingDate->text(), DayText(expected));
        QVERIFY(test::InModal<frmChooseDate>(tab->ChooseEndDate, [&](frmChooseDate& dialog) {
            QCOMPARE(Month(dialog), CurrentMonth());
            dialog.close();
        }));
        QCOMPARE(tab->txtEndingDate->text(), DayText(expected));

        const std::string empty = folder.File("empty-registry");
        qputenv("MALLOW_REGISTRY", QByteArray::fromStdString(empty));
        QVERIFY(!test::InModal<frmChooseDate>(tab->ChooseBeginDate, [](frmChooseDate&) {}));
        qputenv("MALLOW_REGISTRY", QByteArray::fromStdString(store));
        QCOMPARE(s.prompter.Last(), "An error has occured in module 'errChooseBeginDate'.\r\n"
                                    "Can't create the object \"Quillon.tCal\": it is not "
                                    "registered (registry store " +
                                        empty + ").");
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        QVERIFY(s.form->isEnabled());

        // Registered again, the same button opens the chooser.
        QVERIFY(test::InModal<frmChooseDate>(tab->ChooseBeginDate, [&](frmChooseDate& dialog) {
            QTest::mouseClick(Cell(dialog, FirstCell(today).daysTo(today)), Qt::LeftButton);
        }));
        QCOMPARE(tab->txtBeginningDate->text(), DayText(today));
    }
};

static test::RegisterTests<ResultsToolsTest> registered;
#include "ResultsToolsTest.moc"
