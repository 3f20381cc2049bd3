// The Results tab filling its grid from a large compact log, through the started window.
//
//   bench_results make FOLDER ROWS   a program folder whose Compact20.mdb holds ROWS compact-log
//                                    rows (100 a day) and ROWS / 2 back-up-log rows
//   bench_results day FOLDER         one day of that log read with the window's statement and
//                                    with the day of every row's time compared instead
//   bench_results fill FOLDER RUNS   starts the main window on FOLDER and presses Refresh RUNS
//                                    times over every row; prints each fill's time and the
//                                    process's memory after it, and how the window kept working
//                                    during the fills: the longest time it went without
//                                    handling events, when a Ctrl+S sent as a fill began was
//                                    handled, and how often the status bar's clock was brought
//                                    up to date.

#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "fixtures/TestFileDialogs.h"
#include "fixtures/TestPrompter.h"
#include "reports/LogQueries.h"
#include "reports/ResultsTab.h"
#include "shell/frmMain.h"
#include "util/Clock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <time.h>

using namespace mallow;

namespace {

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double RssMb()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    double kb = 0;
    while (status && std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmRSS: %lf", &kb) == 1)
            break;
    if (status)
        std::fclose(status);
    return kb / 1024;
}

// The first day of the log: 1 January 2024.
constexpr double FirstDay = 45292;

int Make(const std::string& folder, long rows)
{
    std::filesystem::create_directories(folder);
    const std::string database = folder + "/Compact20.mdb";
    std::filesystem::copy_file(std::string(MALLOW_PROGRAM_DIR) + "/Compact20.mdb", database,
                               std::filesystem::copy_options::overwrite_existing);
    sqlite3* db = nullptr;
    if (sqlite3_open(database.c_str(), &db) != SQLITE_OK)
        return 1;
    const std::string count = std::to_string(rows);
    const std::string day = std::to_string(FirstDay);
    const std::string sql =
        "BEGIN;"
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        count +
        " - 1) INSERT INTO Log (\"App ID\", Application, Successful, \"Size Before\", "
        "\"Size After\", TimeLogged, Comments) SELECT i % 40, '\\\\fileserver\\Data\\Dept' || "
        "(i % 7) || '\\Orders' || (i % 40) || '.mdb', i % 23 <> 0, 1048576 + i * 13, "
        "CASE WHEN i % 23 <> 0 THEN 524288 + i * 7 END, " +
        day +
        " + i / 100 + (i % 100) / 100.0, CASE WHEN i % 23 = 0 THEN '3356 : The database is "
        "opened exclusively by user ''Admin'' on machine ''PC' || (i % 12) || '''.' ELSE "
        "'Compacted' END FROM n;"
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        count +
        " / 2 - 1) INSERT INTO LogBackup (\"App ID\", Application, Successful, TimeLogged, "
        "Comments) SELECT i % 40, '\\\\fileserver\\Data\\Dept' || (i % 7) || '\\Orders' || "
        "(i % 40) || '.mdb', 1, " +
        day + " + i / 50 + (i % 50) / 50.0, 'Backed up' FROM n;COMMIT;";
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK)
        std::fprintf(stderr, "bench_results: %s\n", message ? message : "failed");
    sqlite3_free(message);
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 1;
}

int Fill(const std::string& folder, int runs)
{
    test::TestPrompter prompter;
    test::TestFileDialogs dialogs;
    FixedClock clock(FirstDay + 1200.5);
    frmMain form({&prompter, &clock, &dialogs, folder});
    form.Start();
    ResultsTab& tab = *form.tabResults;
    form.SSTab1->setCurrentIndex(2);
    tab.SSTab2->setCurrentIndex(1);
    tab.txtBeginningDate->setText(QStringLiteral("1/1/2024"));
    tab.txtEndingDate->setText(QStringLiteral("12/31/2030"));
    form.activateWindow();
    QApplication::processEvents();
    std::printf("started rss_mb %.0f\n", RssMb());

    // Events as the running window sees them: a timer every 5 ms measures how long the window
    // goes without handling any; the clock's own updates are counted on its label.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    bool measuring = false;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (measuring)
            longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.restart();
    });
    ticker.start();
    int clockUpdates = 0;
    QLabel* clockPanel = form.statusPanels[4];

    double stopKeyAfter = -1;
    for (int run = 0; run < runs; ++run) {
        form.ContinueRun = true;
        // The clock writes its label once a second; emptied, it shows each time it did.
        clockPanel->setText(QString());
        QElapsedTimer fill;
        QTimer stopKeyCheck;
        QObject::connect(&stopKeyCheck, &QTimer::timeout, [&] {
            if (!form.ContinueRun && stopKeyAfter < 0)
                stopKeyAfter = static_cast<double>(fill.nsecsElapsed()) / 1e6;
            if (!clockPanel->text().isEmpty()) {
                ++clockUpdates;
                clockPanel->setText(QString());
            }
        });
        stopKeyCheck.start(1);
        // Ctrl+S pressed as the fill begins, delivered where the focus is.
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &form;
        QApplication::postEvent(focus, new QKeyEvent(QEvent::KeyPress, Qt::Key_S,
                                                     Qt::ControlModifier, QStringLiteral("\x13")));
        measuring = true;
        sinceTick.restart();
        const double cpuStart = ThreadCpuMs();
        fill.start();
        tab.cmdRefresh_Click();
        const double ms = static_cast<double>(fill.nsecsElapsed()) / 1e6;
        const double cpu = ThreadCpuMs() - cpuStart;
        measuring = false;
        stopKeyCheck.stop();
        std::printf("fill %d wall_ms %.1f cpu_ms %.1f rss_mb %.0f\n", run, ms, cpu, RssMb());
        if (!prompter.shown.empty() || tab.MSFlexGrid1->rowCount() == 0) {
            std::fprintf(stderr, "bench_results: the fill failed: %s\n", prompter.Last().c_str());
            return 1;
        }
        QApplication::processEvents();
    }
    std::printf("rows %d\n", tab.MSFlexGrid1->rowCount());
    std::printf("longest_gap_ms %lld\n", static_cast<long long>(longestGap));
    std::printf("stop_key_after_ms %.1f\n", stopKeyAfter);
    std::printf("clock_updates %d\n", clockUpdates);
    form.close();
    return 0;
}

// One day of the log read with the window's statement, and with the same filter written as the
// day of each row's time between the two days (every row's time made text and read back).
int Day(const std::string& folder)
{
    engine::Connection connection;
    connection.OpenFile(folder + "/Compact20.mdb");
    const LogQuery ours = BuildLogQuery(LogKind::Compact, "%", "4/15/2026", "4/15/2026");
    const std::string byFormat =
        "SELECT Log.[Event ID] as ID,Log.Application as App,Log.Successful,Log.[Size Before],"
        "Log.[Size After],Log.TimeLogged as Logged,Log.Comments  From Log Where "
        "(Log.Application Like ?) AND (CDate(Format(Log.TimeLogged,'mm/dd/yyyy')) between ? and "
        "?) Order by Log.TimeLogged DESC;";
    const std::vector<engine::Value> byFormatValues{
        engine::Value("%"), engine::Value::Date(LogFilterDate("4/15/2026")),
        engine::Value::Date(LogFilterDate("4/15/2026"))};
    const auto best = [&](const std::string& sql, const std::vector<engine::Value>& values) {
        double fastest = 1e300;
        long rows = 0;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer timer;
            timer.start();
            engine::Recordset rs;
            rs.cursorType = engine::CursorType::Static;
            rs.Open(sql, connection, engine::adCmdText, values);
            rows = rs.RecordCount();
            fastest = std::min(fastest, static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        return std::pair{fastest, rows};
    };
    const auto [oursMs, oursRows] = best(ours.sql, ours.parameters);
    const auto [formatMs, formatRows] = best(byFormat, byFormatValues);
    std::printf("one_day_rows %ld %ld\n", oursRows, formatRows);
    std::printf("one_day_ms %.2f by_format_ms %.2f\n", oursMs, formatMs);
    return oursRows == formatRows ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && argc == 4)
        return Make(argv[2], std::atol(argv[3]));
    if (command == "day" && argc == 3)
        return Day(argv[2]);
    if (command == "fill" && argc == 4) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return Fill(argv[2], std::atoi(argv[3]));
    }
    std::fprintf(stderr, "usage: bench_results make FOLDER ROWS | fill FOLDER RUNS\n");
    return 2;
}
