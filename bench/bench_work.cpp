// Compacting and then backing up a large database from the started window, against the same
// work done by the Compact module alone, and how the window kept working meanwhile.
//
//   bench_work make FOLDER MB     a program folder whose Compact20.mdb registers FOLDER/big.mdb,
//                                 a database of about MB megabytes with half its rows deleted,
//                                 with FOLDER/backups as the back-up folder
//   bench_work window FOLDER      starts the main window on FOLDER, clicks Compact and then
//                                 Back Up; prints the time the two took and the longest time
//                                 the window went without handling events meanwhile
//   bench_work direct FOLDER      CompactApplication and BackupApplication alone, where they are
//                                 called, on the same database; prints the time they took
//
// Each measured run starts from a fresh copy of the uncompacted database (FOLDER/source.mdb).
#include "config/ApplicationsTab.h"
#include "fixtures/TestFileDialogs.h"
#include "fixtures/TestPrompter.h"
#include "maintenance/Compact.h"
#include "multiuser/MultiUser.h"
#include "net/NetServices.h"
#include "shell/frmMain.h"
#include "util/Clock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

using namespace mallow;
namespace fs = std::filesystem;

namespace {

int Sql(const std::string& database, const std::string& sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(database.c_str(), &db) != SQLITE_OK)
        return 1;
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK)
        std::fprintf(stderr, "bench_work: %s\n", message ? message : "failed");
    sqlite3_free(message);
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 1;
}

int Make(const std::string& folder, long megabytes)
{
    fs::create_directories(folder + "/backups");
    const std::string config = folder + "/Compact20.mdb";
    fs::copy_file(std::string(MALLOW_PROGRAM_DIR) + "/Compact20.mdb", config,
                  fs::copy_options::overwrite_existing);
    // Rows of some 250 bytes: four a kilobyte.
    const std::string rows = std::to_string(megabytes * 4000);
    const std::string source = folder + "/source.mdb";
    fs::remove(source);
    if (Sql(source, "CREATE TABLE Items (ID INTEGER PRIMARY KEY, Name TEXT, Notes TEXT);"
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                        rows +
                        ") INSERT INTO Items (Name, Notes) SELECT 'item ' || i, "
                        "hex(randomblob(110)) FROM n;"
                        "DELETE FROM Items WHERE ID % 2 = 0;") != 0)
        return 1;
    return Sql(config, "INSERT INTO Apps (App) VALUES ('" + folder +
                           "/big.mdb');"
                           "UPDATE Schedule SET Backup = '" +
                           folder + "/backups', BUDays = 30;");
}

void FreshCopy(const std::string& folder)
{
    fs::remove_all(folder + "/backups");
    fs::create_directories(folder + "/backups");
    fs::copy_file(folder + "/source.mdb", folder + "/big.mdb",
                  fs::copy_options::overwrite_existing);
    // The copy is on disk and in the cache alike for either way of running the work.
    sync();
}

int Window(const std::string& folder)
{
    FreshCopy(folder);
    test::TestPrompter prompter;
    test::TestFileDialogs dialogs;
    SystemClock clock;
    frmMain form({&prompter, &clock, &dialogs, folder});
    form.Start();
    form.tabApplications->lstApplications->setCurrentRow(0);
    QApplication::processEvents();

    // A timer every 5 ms measures how long the window goes without handling events.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.restart();
    });
    sinceTick.start();
    ticker.start();
    QElapsedTimer work;
    work.start();
    form.tabApplications->cmdCompactCurrent_Click();
    const double compactMs = static_cast<double>(work.nsecsElapsed()) / 1e6;
    form.tabApplications->cmdBackup_Click();
    const double ms = static_cast<double>(work.nsecsElapsed()) / 1e6;
    std::fprintf(stderr, "window compact %.1f backup %.1f\n", compactMs, ms - compactMs);
    ticker.stop();
    const bool good = prompter.shown.size() == 2 &&
                      prompter.shown[0].text.find("compact was successful") != std::string::npos &&
                      prompter.shown[1].text.find("back up was successful") != std::string::npos;
    if (!good) {
        for (const auto& shown : prompter.shown)
            std::fprintf(stderr, "bench_work: %s\n", shown.text.c_str());
        return 1;
    }
    std::printf("window_ms %.1f longest_gap_ms %lld\n", ms, static_cast<long long>(longestGap));
    form.close();
    return 0;
}

struct NoPanels : StatusPanels
{
    void SetStatusPanel(int, const std::string&) override {}
};

int Direct(const std::string& folder)
{
    FreshCopy(folder);
    ConfigDatabase config;
    config.Open(folder);
    SystemClock clock;
    NoPanels panels;
    std::string lastResult;
    Compact compact(config, clock, panels, lastResult);
    // The window asks the server first, as here.
    const multiuser::MultiUserServices users =
        multiuser::DefaultMultiUserServices(net::DefaultNetServices(nullptr, nullptr));
    compact.HeldOnServer = [&](const std::string& database) {
        return multiuser::MultiUser(users).HolderOnServer(database);
    };
    const std::string path = folder + "/big.mdb";
    QElapsedTimer work;
    work.start();
    const bool compacted = compact.CompactApplication(1, path, "", "", "", "", false);
    std::fprintf(stderr, "direct compact %.1f\n", static_cast<double>(work.nsecsElapsed()) / 1e6);
    const bool backedUp = compact.BackupApplication(1, path, folder + "/backups/big.mdb");
    const double ms = static_cast<double>(work.nsecsElapsed()) / 1e6;
    if (!compacted || !backedUp) {
        std::fprintf(stderr, "bench_work: %s\n", lastResult.c_str());
        return 1;
    }
    std::printf("direct_ms %.1f\n", ms);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::string(argv[1]) == "make")
        return Make(argv[2], std::stol(argv[3]));
    if (argc >= 3 && std::string(argv[1]) == "direct")
        return Direct(argv[2]);
    if (argc >= 3 && std::string(argv[1]) == "window") {
        QApplication app(argc, argv);
        return Window(argv[2]);
    }
    std::fprintf(stderr, "usage: bench_work make FOLDER MB | window FOLDER | direct FOLDER\n");
    return 2;
}
