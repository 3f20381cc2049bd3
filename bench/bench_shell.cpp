// Filling the main window's lists against inserting the same strings into bare Qt widgets.
// (Start-up is timed as whole processes by startup.sh.)

#include "config/ApplicationsTab.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/TestFileDialogs.h"
#include "fixtures/TestPrompter.h"
#include "multiuser/MultiUserTab.h"
#include "reports/ResultsTab.h"
#include "shell/frmMain.h"
#include "util/Clock.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QTest>

#include <benchmark/benchmark.h>

#include <memory>

using namespace mallow;

namespace {

test::ConfigFixture& ConfigWith(int apps)
{
    static std::map<int, std::unique_ptr<test::ConfigFixture>> fixtures;
    auto& fixture = fixtures[apps];
    if (!fixture) {
        fixture = std::make_unique<test::ConfigFixture>();
        std::string sql = "BEGIN;";
        for (int i = 0; i < apps; ++i)
            sql += "INSERT INTO Apps (App, LogUsersOff) VALUES ('\\\\server\\share\\dept" +
                   std::to_string(i % 37) + "\\database" + std::to_string(i) + ".mdb', 0);";
        fixture->Sql(sql + "COMMIT;");
    }
    return *fixture;
}

struct Services
{
    test::TestPrompter prompter;
    test::TestFileDialogs dialogs;
    SystemClock clock;
};

void BM_FillListAndCombo10000Apps(benchmark::State& state)
{
    auto& config = ConfigWith(10000);
    Services services;
    frmMain form({&services.prompter, &services.clock, &services.dialogs, config.ProgramFolder()});
    form.Form_Load();
    for (auto _ : state) {
        form.tabApplications->lstApplications->clear();
        form.tabMultiUser->lstMUAvailDBs->clear();
        form.tabResults->cboApps->clear();
        form.tabApplications->FillList();
        form.tabApplications->FillCombo(*form.tabResults->cboApps);
        benchmark::DoNotOptimize(form.tabResults->cboApps->count());
    }
}
BENCHMARK(BM_FillListAndCombo10000Apps)->Unit(benchmark::kMillisecond);

void BM_BareListAndCombo10000Strings(benchmark::State& state)
{
    QStringList lines;
    for (int i = 0; i < 10000; ++i)
        lines << QStringLiteral("\\\\server\\share\\dept%1\\database%2.mdb").arg(i % 37).arg(i);
    QListWidget list;
    QComboBox combo;
    for (auto _ : state) {
        list.clear();
        combo.clear();
        for (const QString& line : lines) {
            list.addItem(line);
            combo.addItem(line);
        }
        benchmark::DoNotOptimize(combo.count());
    }
}
BENCHMARK(BM_BareListAndCombo10000Strings)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
