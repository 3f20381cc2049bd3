#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"
#include "reports/TableWidgetGrid.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

#include <cstdio>

using namespace mallow;

namespace {

using Started = test::StartedForm;
using test::HandlerError;
using test::HandlerPrefix;
using test::StartsWith;

double At(int day, int hour, int minute = 0)
{
    return dates::ToAutomationDate({2026, 12, day, hour, minute, 0});
}

std::string Sql(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string Sql(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

void AddCompactLog(const test::ConfigFixture& config, const std::string& app, double when,
                   const std::string& comment, int successful = 1)
{
    config.Sql("INSERT INTO Log (Application, Successful, \"Size Before\", \"Size After\", "
               "TimeLogged, Comments) VALUES (" +
               Sql(app) + ", " + std::to_string(successful) + ", 1048576, 524288, " + Sql(when) +
               ", " + Sql(comment) + ")");
}

void AddBackupLog(const test::ConfigFixture& config, const std::string& app, double when,
                  const std::string& comment)
{
    config.Sql("INSERT INTO LogBackup (Application, Successful, TimeLogged, Comments) VALUES (" +
               Sql(app) + ", 1, " + Sql(when) + ", " + Sql(comment) + ")");
}

QStringList Headers(const QTableWidget* grid)
{
    QStringList names;
    for (int c = 0; c < grid->columnCount(); ++c)
        names << grid->horizontalHeaderItem(c)->text();
    return names;
}

QStringList Column(const QTableWidget* grid, int column)
{
    QStringList cells;
    for (int r = 0; r < grid->rowCount(); ++r)
        cells << CellText(*grid, r, column);
    return cells;
}

int Twips(int twips, const QWidget* widget)
{
    return twips * widget->logicalDpiX() / 1440;
}

/// What the mouse sends for a double click: a click, then the second press as a double click.
void DoubleClick(QWidget* widget, QPoint at)
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
}

/// Every cell of a column, and its header, fits the column's width.
bool ShowsInFull(const QTableWidget* grid, int column)
{
    int widest = grid->horizontalHeader()->fontMetrics().horizontalAdvance(
        grid->horizontalHeaderItem(column)->text());
    for (int r = 0; r < grid->rowCount(); ++r)
        widest = std::max(widest, grid->fontMetrics().horizontalAdvance(CellText(*grid, r, column)));
    return grid->columnWidth(column) >= widest;
}

} // namespace

class ResultsTabTest : public QObject
{
    Q_OBJECT

private slots:
    void ComboTypeAheadCompletesAndAddsInUpperCase()
    {
        test::ConfigFixture config;
        config.AddApp("\\\\SRV\\DATA\\SALES.MDB");
        Started s(config.ProgramFolder());
        QComboBox* combo = s.form->tabResults->cboApps;
        s.form->SSTab1->setCurrentIndex(2);
        s.form->tabResults->SSTab2->setCurrentIndex(1);
        s.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.form.get()));
        combo->setFocus();
        combo->lineEdit()->clear();

        QTest::keyClicks(combo, "sal");
        QCOMPARE(combo->currentText(), QStringLiteral("sal"));

        combo->lineEdit()->clear();
        QTest::keyClicks(combo, "\\\\srv\\data\\s");
        QCOMPARE(combo->currentText(), QStringLiteral("\\\\SRV\\DATA\\SALES.MDB"));
        QCOMPARE(combo->lineEdit()->selectionStart(), 12);
        QCOMPARE(combo->lineEdit()->selectedText(), QStringLiteral("ALES.MDB"));

        // Backspace and Delete remove the completion and do not complete again.
        QTest::keyClick(combo, Qt::Key_Delete);
        QCOMPARE(combo->currentText(), QStringLiteral("\\\\SRV\\DATA\\S"));
        QTest::keyClick(combo, Qt::Key_Delete);
        QCOMPARE(combo->currentText(), QStringLiteral("\\\\SRV\\DATA\\"));

        // Leaving with a text no line has adds it in upper case and chooses it.
        combo->lineEdit()->setText(QStringLiteral("/new/älpha.mdb"));
        s.form->tabResults->txtBeginningDate->setFocus();
        QTRY_COMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(2), QStringLiteral("/NEW/ÄLPHA.MDB"));
        QCOMPARE(combo->currentIndex(), 2);
        QVERIFY(s.prompter.shown.empty());
    }

    void StartUpShowsTodaysCompactLogReadably()
    {
        test::ConfigFixture config;
        AddCompactLog(config, "C:\\Data\\Sales\\Orders.mdb", At(8, 9, 5), "today early");
        AddCompactLog(config, "//fileserver/Data/Finance/ledger 2026.mdb", At(8, 22, 47),
                      "today late", 0);
        AddCompactLog(config, "C:\\a.mdb", At(7, 23, 59), "yesterday");
        Started s(config.ProgramFolder());
        QVERIFY(s.prompter.shown.empty());
        ResultsTab* tab = s.form->tabResults;
        QTableWidget* grid = tab->MSFlexGrid1;

        QVERIFY(tab->optLog->isChecked());
        QVERIFY(tab->cmdRefresh->isEnabled());
        QVERIFY(tab->SSTab2->isTabEnabled(1));
        QVERIFY(!grid->isHidden());
        QVERIFY(tab->lblProcessing->isHidden());
        QCOMPARE(tab->resultsArea->currentWidget(), grid);
        QCOMPARE(Headers(grid), QStringList({"ID", "App", "Successful", "Size Before", "Size After",
                                             "Logged", "Comments"}));
        QCOMPARE(Column(grid, 6), QStringList({"today late", "today early"}));
        QCOMPARE(Column(grid, 1),
                 QStringList({"//filese ... ledger 2026.mdb", "C:\\Data\\ ... Orders.mdb"}));
        QCOMPARE(Column(grid, 2), QStringList({"False", "True"}));
        QCOMPARE(Column(grid, 3), QStringList({"1048576", "1048576"}));
        QCOMPARE(Column(grid, 5), QStringList({"12/8/2026 10:47:00 PM", "12/8/2026 9:05:00 AM"}));
        // The grid draws the texts of its fill; a text set on a cell later wins.
        const auto drawn = [grid](int row, int column) {
            return grid->viewport()
                ->grab(grid->visualRect(grid->model()->index(row, column)))
                .toImage();
        };
        const QImage filled = drawn(0, 6);
        grid->setItem(0, 6, new QTableWidgetItem(QString()));
        QCOMPARE(CellText(*grid, 0, 6), QString());
        QVERIFY(drawn(0, 6) != filled);
        grid->item(0, 6)->setText(QStringLiteral("today late"));
        QVERIFY(drawn(0, 6) == filled);

        // The log's widths in twips are the least; headers, whole dates and paths fit.
        QVERIFY(grid->isColumnHidden(0));
        const int twips[] = {0, 2000, 1000, 1000, 1000, 1600};
        for (int c = 1; c < 6; ++c) {
            QVERIFY2(grid->columnWidth(c) >= Twips(twips[c], grid), qPrintable(QString::number(c)));
            QVERIFY2(ShowsInFull(grid, c), qPrintable(QString::number(c)));
        }
    }

    void BothLogsRefreshAfterAnErrorAndTheLastCaptionStays()
    {
        test::ConfigFixture config;
        AddCompactLog(config, "C:\\Data\\O'Brien's.mdb", At(3, 12), "apostrophe");
        AddCompactLog(config, "C:\\Data\\other.mdb", At(4, 12), "other");
        AddBackupLog(config, "\\\\server\\share\\folder\\Orders.mdb", At(5, 13, 5), "copied");
        config.AddApp("C:\\Data\\O'Brien's.mdb");
        Started s(config.ProgramFolder());
        ResultsTab* tab = s.form->tabResults;
        QTableWidget* grid = tab->MSFlexGrid1;
        test::ClickTab(s.form->SSTab1, 2);
        QCOMPARE(grid->rowCount(), 0);
        QCOMPARE(tab->lblProcessing->text(), QStringLiteral("No Records Available."));
        QVERIFY(grid->isHidden());

        // A day that is no date: the error box, the grid stays hidden, the pointer is back.
        test::ClickTab(tab->SSTab2, 1);
        tab->txtBeginningDate->setText(QStringLiteral("abc"));
        test::Click(tab->cmdRefresh);
        QCOMPARE(
            s.prompter.Last(),
            HandlerError("cmdRefresh_Click", "Syntax error in date in query expression '#abc#'."));
        QVERIFY(grid->isHidden());
        QVERIFY(!tab->lblProcessing->isHidden());
        QVERIFY(s.form->cursor().shape() != Qt::WaitCursor);

        tab->txtBeginningDate->setText(QStringLiteral("12/01/2026"));
        tab->cboApps->setEditText(QStringLiteral("C:\\Data\\O'Brien's.mdb"));
        test::Click(tab->cmdRefresh);
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        QCOMPARE(Column(grid, 6), QStringList({"apostrophe"}));
        QVERIFY(!grid->isHidden());
        QVERIFY(tab->lblProcessing->isHidden());
        // Once shown, "No Records Available." is the label's caption for good.
        QCOMPARE(tab->lblProcessing->text(), QStringLiteral("No Records Available."));
        QVERIFY(s.form->cursor().shape() != Qt::WaitCursor);

        // The filter names a database that has no back-ups.
        test::ClickTab(tab->SSTab2, 0);
        test::Click(tab->optLogBack);
        QVERIFY(grid->isHidden());
        QCOMPARE(grid->rowCount(), 0);
        tab->cboApps->setEditText(QString());
        test::ClickTab(tab->SSTab2, 1);
        test::Click(tab->cmdRefresh);
        QCOMPARE(Headers(grid), QStringList({"ID", "App", "Successful", "Logged", "Comments"}));
        QCOMPARE(Column(grid, 1), QStringList({"\\\\server\\share\\ ... Orders.mdb"}));
        QVERIFY(grid->columnWidth(3) >= Twips(2000, grid));
        QVERIFY(ShowsInFull(grid, 3));

        // An inverted range holds nothing.
        tab->txtBeginningDate->setText(QStringLiteral("12/9/2026"));
        tab->txtEndingDate->setText(QStringLiteral("12/1/2026"));
        test::Click(tab->cmdRefresh);
        QVERIFY(grid->isHidden());
        QCOMPARE(grid->rowCount(), 0);
        QCOMPARE(s.prompter.shown.size(), size_t(1));
    }

    void ZoomShowsTheWholeCellAndTheResultsTabOpensOnView()
    {
        test::ConfigFixture config;
        const std::string comment(300, 'x');
        AddCompactLog(config, "C:\\a.mdb", At(8, 10), "short");
        AddCompactLog(config, "C:\\b.mdb", At(8, 9), comment);
        Started s(config.ProgramFolder());
        ResultsTab* tab = s.form->tabResults;
        QTableWidget* grid = tab->MSFlexGrid1;
        test::ClickTab(s.form->SSTab1, 2);
        QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));

        const QRect cell = grid->visualRect(grid->model()->index(1, 6));
        DoubleClick(grid->viewport(), cell.center());
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        QCOMPARE(s.prompter.shown.back().text, comment);
        QCOMPARE(s.prompter.shown.back().title, std::string("Zoom Box"));
        const QRect date = grid->visualRect(grid->model()->index(0, 5));
        DoubleClick(grid->viewport(), date.center());
        QCOMPARE(s.prompter.Last(), std::string("12/8/2026 10:00:00 AM"));

        // Coming back to the Results tab always shows its View page.
        test::ClickTab(tab->SSTab2, 2);
        test::ClickTab(s.form->SSTab1, 0);
        QCOMPARE(tab->SSTab2->currentIndex(), 2);
        test::ClickTab(s.form->SSTab1, 2);
        QCOMPARE(tab->SSTab2->currentIndex(), 0);
    }

    void PruningNeedsADayAndKeepsThatDaysRows()
    {
        test::ConfigFixture config;
        AddCompactLog(config, "C:\\a.mdb", At(6, 23, 59), "older");
        AddCompactLog(config, "C:\\a.mdb", At(7, 0), "that day");
        AddBackupLog(config, "C:\\a.mdb", At(1, 8), "older copy");
        AddBackupLog(config, "C:\\a.mdb", At(7, 18), "that day's copy");
        Started s(config.ProgramFolder());
        ResultsTab* tab = s.form->tabResults;
        test::ClickTab(s.form->SSTab1, 2);
        test::ClickTab(tab->SSTab2, 2);
        s.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.form.get()));

        tab->txtRemoveDataBefore->setText(QStringLiteral("abc"));
        test::Click(tab->cmdRemoveOldData);
        QCOMPARE(s.prompter.Last(), std::string("Please enter a date."));
        QCOMPARE(QApplication::focusWidget(), tab->txtRemoveDataBefore);
        QCOMPARE(config.Scalar("SELECT count(*) FROM Log"), std::string("2"));
        QCOMPARE(config.Scalar("SELECT count(*) FROM LogBackup"), std::string("2"));
        QCOMPARE(tab->txtRemoveDataBefore->text(), QStringLiteral("abc"));

        // Another program holds the write lock: the engine's error, nothing deleted.
        sqlite3* other = nullptr;
        sqlite3_open(config.DatabasePath().c_str(), &other);
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        tab->txtRemoveDataBefore->setText(QStringLiteral("12/7/2026"));
        test::Click(tab->cmdRemoveOldData);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY2(StartsWith(s.prompter.Last(), HandlerPrefix("errcmdRemoveOldData_Click")),
                 s.prompter.Last().c_str());
        QCOMPARE(config.Scalar("SELECT count(*) FROM Log"), std::string("2"));
        QVERIFY(s.form->cursor().shape() != Qt::WaitCursor);

        // The same click once the lock is gone.
        test::Click(tab->cmdRemoveOldData);
        QCOMPARE(s.prompter.Last(), std::string("Log data has been removed."));
        QCOMPARE(tab->txtRemoveDataBefore->text(), QString());
        QCOMPARE(config.Scalar("SELECT group_concat(Comments) FROM Log"), std::string("that day"));
        QCOMPARE(config.Scalar("SELECT group_concat(Comments) FROM LogBackup"),
                 std::string("that day's copy"));
        QVERIFY(s.form->cursor().shape() != Qt::WaitCursor);
    }

    void TheStopKeyAndTimersWorkWhileALargeLogFills()
    {
        test::ConfigFixture config;
        config.Sql("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                   "20000) INSERT INTO Log (Application, Successful, TimeLogged, Comments) "
                   "SELECT 'C:\\Data\\app' || (i % 9) || '.mdb', 1, " +
                   Sql(At(8, 0)) + " + i / 100000.0, 'row ' || i FROM n");
        Started s(config.ProgramFolder());
        ResultsTab* tab = s.form->tabResults;
        QCOMPARE(tab->MSFlexGrid1->rowCount(), 20000);
        test::ClickTab(s.form->SSTab1, 2);
        test::ClickTab(tab->SSTab2, 1);
        s.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.form.get()));

        // The fill lets the window work after every slice; a slice of no time yields often.
        tab->FillSliceMilliseconds = 0;
        s.form->ContinueRun = true;
        bool sawFilling = false, sawDisabled = false, sawHourglass = false;
        QTimer::singleShot(0, s.form.get(), [&] {
            sawFilling = tab->Filling();
            sawDisabled = !tab->SSTab2->isEnabled();
            sawHourglass = s.form->cursor().shape() == Qt::WaitCursor;
            // A key goes where the focus is, as a key on the keyboard does.
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : s.form.get(), Qt::Key_S, Qt::ControlModifier);
        });
        test::Click(tab->cmdRefresh);
        QVERIFY(sawFilling);
        QVERIFY(sawDisabled);
        QVERIFY(sawHourglass);
        QVERIFY(s.form->cursor().shape() != Qt::WaitCursor);
        QVERIFY(!s.form->ContinueRun);
        QVERIFY(!tab->Filling());
        QVERIFY(tab->SSTab2->isEnabled());
        QCOMPARE(tab->MSFlexGrid1->rowCount(), 20000);
        QCOMPARE(CellText(*tab->MSFlexGrid1, 19999, 6), QStringLiteral("row 1"));
        QVERIFY(s.prompter.shown.empty());
    }

    void ClosingTheWindowDuringAFillEndsItQuietly()
    {
        test::ConfigFixture config;
        config.Sql("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                   "5000) INSERT INTO Log (Application, Successful, TimeLogged, Comments) "
                   "SELECT 'C:\\Data\\app' || (i % 9) || '.mdb', 1, " +
                   Sql(At(8, 0)) + " + i / 100000.0, 'row ' || i FROM n");
        Started s(config.ProgramFolder());
        ResultsTab* tab = s.form->tabResults;
        test::ClickTab(s.form->SSTab1, 2);
        test::ClickTab(tab->SSTab2, 1);
        tab->FillSliceMilliseconds = 0;
        QTimer::singleShot(0, s.form.get(), [&] { s.form->close(); });
        test::Click(tab->cmdRefresh);
        QVERIFY(!s.form->isVisible());
        QVERIFY(!s.form->Config.IsOpen());
        QVERIFY2(s.prompter.shown.empty(), s.prompter.Last().c_str());
        QVERIFY(!tab->Filling());
    }
};

static test::RegisterTests<ResultsTabTest> registered;
#include "ResultsTabTest.moc"
