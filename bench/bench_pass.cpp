// A maintenance pass over 200 small databases with nobody connected, against CompactApplication
// called in a plain loop over the same files, in one run (goal: at most 1.1 times as long).
// Both compact with the same Compact module, asking the file server first as the program does;
// the pass adds what it does around each database (the schedule, the application rows, the
// check for users, the status panels, the events). Run by pass.sh.
#include "config/ConfigDatabase.h"
#include "maintenance/MaintenanceRun.h"
#include "multiuser/MultiUser.h"
#include "net/NetServices.h"
#include "util/Paths.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct NoPanels : mallow::StatusPanels
{
    void SetStatusPanel(int, const std::string&) override {}
};

struct QuietHost : mallow::PassHost
{
    void ProcessPendingEvents(int) override {}
    std::string DelayText() override { return "0"; }
    double ElapsedSeconds() override { return 0; }
    void SetTimerEnabled(bool) override {}
    void SetBusy(bool) override {}
    void ClearSummary() override {}
    void ResetStatusPanels() override {}
};

void Exec(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "bench-pass";
    fs::remove_all(work);
    fs::create_directories(work / "data");
    fs::copy_file(mallow::ProgramFolder() + "/Compact20.mdb", work / "Compact20.mdb");
    std::vector<std::string> paths;
    std::string apps;
    for (int i = 0; i < 200; ++i) {
        paths.push_back((work / "data" / ("app" + std::to_string(i) + ".mdb")).string());
        Exec(paths.back(), "CREATE TABLE Items (ID INTEGER PRIMARY KEY, Notes TEXT);"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                           "i < 200) INSERT INTO Items (Notes) SELECT hex(randomblob(200)) FROM n;"
                           "DELETE FROM Items WHERE ID % 2 = 0;");
        apps += "INSERT INTO Apps (App, LogUsersOff) VALUES ('" + paths.back() + "', 1);";
    }
    Exec((work / "Compact20.mdb").string(), apps);

    mallow::ConfigDatabase config;
    config.Open(work.string());
    mallow::SystemClock clock;
    NoPanels panels;
    std::string last;
    bool go = true;
    mallow::Compact compact(config, clock, panels, last);
    mallow::multiuser::MultiUser users(
        mallow::multiuser::DefaultMultiUserServices(mallow::net::DefaultNetServices()));
    compact.HeldOnServer = [&](const std::string& path) { return users.HolderOnServer(path); };
    QuietHost host;
    mallow::MaintenanceRun run(config, compact, panels, host, users, go, last);

    std::vector<double> pass;
    std::vector<double> loop;
    for (int round = 0; round < 7; ++round) {
        const auto timePass = [&] {
            const auto start = std::chrono::steady_clock::now();
            run.RunMaintenance(false);
            pass.push_back(Seconds(start));
        };
        const auto timeLoop = [&] {
            const auto start = std::chrono::steady_clock::now();
            for (std::size_t i = 0; i < paths.size(); ++i)
                compact.CompactApplication(static_cast<long>(i + 1), paths[i], "", "", "", "", false);
            loop.push_back(Seconds(start));
        };
        if (round % 2 == 0) {
            timePass();
            timeLoop();
        } else {
            timeLoop();
            timePass();
        }
        std::printf("round %d: pass %.3f s, plain loop %.3f s\n", round + 1, pass.back(),
                    loop.back());
    }
    std::sort(pass.begin(), pass.end());
    std::sort(loop.begin(), loop.end());
    std::printf("median: pass over 200 databases %.3f s, CompactApplication in a loop %.3f s -> "
                "ratio %.2f (goal: at most 1.10)\n",
                pass[3], loop[3], pass[3] / loop[3]);
    config.Close();
    fs::remove_all(work);
    return 0;
}
