// The window while a database is compacted, backed up or a pass runs: it goes on answering,
// keeps the commands that would start other work disabled until the work is done (also when
// it failed), shows the work's progress, lets Escape stop a compaction before its commit, and
// closes only once the work is logged.

#include "ShellTestSupport.h"
#include "engine/DBEngine.h"
#include "fixtures/ChildProcess.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/ManagedDatabase.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>

using namespace mallow;
namespace fs = std::filesystem;

namespace {

/// A timer of the window, run while a command works: counts its ticks and does what the test
/// asks at each.
struct Ticker
{
    QTimer timer;
    int ticks = 0;
    QElapsedTimer clock;
    std::function<void(int tick)> onTick;

    explicit Ticker(int intervalMs)
    {
        timer.setInterval(intervalMs);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            ++ticks;
            if (onTick)
                onTick(ticks);
        });
        clock.start();
        timer.start();
    }
};

/// Engine settings for the test's length: a compaction waits this long for a foreign writer.
struct ShortLockWait
{
    int saved = engine::Engine().LockWaitMilliseconds;
    explicit ShortLockWait(int ms) { engine::Engine().LockWaitMilliseconds = ms; }
    ~ShortLockWait() { engine::Engine().LockWaitMilliseconds = saved; }
};

std::vector<QWidget*> Commands(frmMain& form)
{
    return {form.tabApplications->cmdCompactCurrent,
            form.tabApplications->cmdBackup,
            form.tabApplications->cmdRemove,
            form.tabApplications->cmdAdd,
            form.tabApplications->cmdSaveDatabaseInfo,
            form.tabApplications->cmdOpen,
            form.tabSchedule->cmdRunNow,
            form.tabResults->cmdRemoveOldData};
}

bool AllEnabled(frmMain& form, bool enabled)
{
    for (QWidget* command : Commands(form)) {
        if (command->isEnabled() != enabled)
            return false;
    }
    return form.mnuImport->isEnabled() == enabled;
}

/// A key as the user presses it: to the control that has the focus, else to the window.
void PressKey(frmMain& form, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->window() == &form ? focus : &form, key, modifiers);
}

/// A registered database that another SQLite program holds a write transaction on, so that
/// its compaction waits, and the window started on it.
struct HeldDatabase
{
    test::ConfigFixture config;
    test::TempFolder data;
    const std::string path = data.File("sales.mdb");
    std::unique_ptr<test::StartedForm> window;
    std::unique_ptr<test::ChildProcess> writer;

    explicit HeldDatabase(int rows)
    {
        test::MakeManagedDatabase(path, rows, true);
        config.AddApp(path);
        window = std::make_unique<test::StartedForm>(config.ProgramFolder());
        writer = std::make_unique<test::ChildProcess>(test::SqliteClientCommand(path, "delete"));
        const auto ready = writer->ReadLine();
        QVERIFY(ready && ready->rfind("ready", 0) == 0);
        QCOMPARE(writer->Ask("begin-write"), std::string("ok"));
    }
};

} // namespace

class LongWorkTest : public QObject
{
    Q_OBJECT

private slots:
    // Another program holds a write transaction on the database: the compaction waits for it,
    // and the window answers meanwhile.
    void TheWindowAnswersWhileADatabaseIsCompacted()
    {
        const ShortLockWait wait(8000);
        HeldDatabase held(400000);
        const std::string& path = held.path;
        test::ConfigFixture& config = held.config;
        test::StartedForm& s = *held.window;
        test::ChildProcess& writer = *held.writer;

        QLineEdit* box = s.form->tabResults->txtRemoveDataBefore;
        bool disabledDuring = false;
        bool barShown = false;
        std::set<std::string> phasesSeen;
        std::set<int> barValues;
        std::string barText;
        Ticker ticker(20);
        ticker.onTick = [&](int tick) {
            if (s.form->prgWork->isVisible() && s.form->prgWork->maximum() > 0) {
                barValues.insert(s.form->prgWork->value());
                if (s.form->prgWork->format().contains(QLatin1Char('%')))
                    barText = s.form->prgWork->format().toStdString();
            }
            if (tick == 5) {
                disabledDuring = AllEnabled(*s.form, false);
                barShown = s.form->prgWork->isVisible() && s.form->cmdStopWork->isVisible();
                box->setFocus();
                QTest::keyClicks(box, QStringLiteral("12/31/2025"));
            }
            if (tick < 25)
                phasesSeen.insert(s.form->Work.progress.Read().phase);
            // The writer lets go; the compaction goes on and ends.
            if (tick == 25)
                writer.Ask("commit");
        };
        test::Click(s.form->tabApplications->cmdCompactCurrent);
        const qint64 took = ticker.clock.elapsed();
        ticker.timer.stop();

        QVERIFY2(ticker.ticks >= 25, std::to_string(ticker.ticks).c_str());
        // The timer kept its rate while the work ran: a window that waited would have let
        // far fewer ticks through.
        QVERIFY2(
            ticker.ticks >= took / 20 / 3,
            (std::to_string(ticker.ticks) + " ticks in " + std::to_string(took) + " ms").c_str());
        QVERIFY(disabledDuring);
        QVERIFY(barShown);
        // The snapshot is made; the write-back waits for the other program's lock.
        QVERIFY(phasesSeen.count("Writing back"));
        QCOMPARE(box->text(), QStringLiteral("12/31/2025"));
        QVERIFY(AllEnabled(*s.form, true));
        QVERIFY(!s.form->prgWork->isVisible());
        QVERIFY2(s.prompter.Last().find("compact was successful.") != std::string::npos,
                 s.prompter.Last().c_str());
        QCOMPARE(config.Scalar("SELECT Successful FROM Log"), std::string("1"));
        QCOMPARE(test::ManagedRowCount(path), 200001);
        // The bar moved while the database was written back, and told how far.
        QVERIFY2(barValues.size() >= 2, std::to_string(barValues.size()).c_str());
        QVERIFY2(barText.find('%') != std::string::npos, barText.c_str());
    }

    // Escape while the compaction has not begun to commit: the database is as it was, byte for
    // byte, and the log says the user stopped it.
    void EscapeStopsACompactionBeforeItsCommit()
    {
        const ShortLockWait wait(8000);
        HeldDatabase held(20000);
        const std::string& path = held.path;
        test::ConfigFixture& config = held.config;
        test::StartedForm& s = *held.window;
        std::unique_ptr<test::ChildProcess>& writer = held.writer;
        // The writer's transaction is not in the file until it commits.
        const std::string before = test::ReadFile(path);

        bool pressed = false;
        Ticker ticker(20);
        ticker.onTick = [&](int) {
            if (!pressed && s.form->Work.progress.Read().stoppable &&
                s.form->cmdStopWork->isEnabled()) {
                PressKey(*s.form, Qt::Key_Escape);
                pressed = true;
            }
        };
        const qint64 start = ticker.clock.elapsed();
        test::Click(s.form->tabApplications->cmdCompactCurrent);
        QVERIFY(pressed);
        // Stopped at once, not after the whole wait for the writer.
        QVERIFY2(ticker.clock.elapsed() - start < 6000, "the stop waited for the writer");
        writer->CloseInput();
        writer->Wait();
        writer.reset();

        QVERIFY(test::ReadFile(path) == before);
        QCOMPARE(config.Scalar("SELECT Successful FROM Log"), std::string("0"));
        QCOMPARE(config.Scalar("SELECT Comments FROM Log"),
                 std::string("18 : Stopped by the user before anything was changed."));
        QVERIFY2(s.prompter.Last().find("compact was unsuccessful.") != std::string::npos,
                 s.prompter.Last().c_str());
        QVERIFY(AllEnabled(*s.form, true));

        // The next click works as ever.
        test::Click(s.form->tabApplications->cmdCompactCurrent);
        QVERIFY2(s.prompter.Last().find("compact was successful.") != std::string::npos,
                 s.prompter.Last().c_str());
        QCOMPARE(test::ManagedRowCount(path), 10000);
    }

    // The database disappears while the compaction waits: whatever comes of it is shown, and
    // the commands come back.
    void AFailedCompactionGivesTheCommandsBack()
    {
        const ShortLockWait wait(1500);
        HeldDatabase held(2000);
        const std::string& path = held.path;
        test::StartedForm& s = *held.window;
        test::ChildProcess& writer = *held.writer;
        // Hidden in the tray meanwhile, the window shows the work in the icon's tip.
        std::string tip;
        Ticker ticker(20);
        ticker.onTick = [&](int tick) {
            if (tick == 2)
                s.form->hide();
            if (tick == 8) {
                tip = s.form->tray->Record().szTip.data();
                s.form->show();
            }
            if (tick == 10)
                fs::remove(path);
        };
        test::Click(s.form->tabApplications->cmdCompactCurrent);
        QCOMPARE(tip, std::string("Mallow 1 of 1: Writing back"));
        QCOMPARE(std::string(s.form->tray->Record().szTip.data()), std::string("Mallow V 2.1"));
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        QVERIFY(AllEnabled(*s.form, true));
        QVERIFY(!s.form->prgWork->isVisible());
        QCOMPARE(s.form->StatusPanel(1), std::string("Waiting..."));
        ticker.timer.stop();
        writer.Stop(SIGKILL);

        test::Click(s.form->tabApplications->cmdCompactCurrent);
        QVERIFY2(s.prompter.Last().find("76 : Path not found") != std::string::npos,
                 s.prompter.Last().c_str());
        QVERIFY(AllEnabled(*s.form, true));
    }

    // Closing the window while it works asks nothing: it closes once the work is logged.
    void ClosingDuringTheWorkClosesAfterTheLogRow()
    {
        const ShortLockWait wait(8000);
        HeldDatabase held(2000);
        test::ConfigFixture& config = held.config;
        test::StartedForm& s = *held.window;
        test::ChildProcess& writer = *held.writer;
        bool stillOpen = false;
        Ticker ticker(20);
        ticker.onTick = [&](int tick) {
            if (tick == 5) {
                s.form->close();
                stillOpen = s.form->isVisible();
            }
            if (tick == 10)
                writer.Ask("commit");
        };
        test::Click(s.form->tabApplications->cmdCompactCurrent);
        QVERIFY(stillOpen);
        QCOMPARE(config.Scalar("SELECT Successful FROM Log"), std::string("1"));
        // No box stands between the work and the closing.
        QVERIFY(s.prompter.shown.empty());
        QTRY_VERIFY(!s.form->isVisible());
        QVERIFY(!fs::exists(config.ProgramFolder() + "/Compact20.ldb"));
    }

    // A pass over three databases: the window answers between and during them; Ctrl+S during
    // the second leaves the third untouched.
    void APassAnswersAndStopsAfterTheCurrentDatabase()
    {
        const ShortLockWait wait(8000);
        test::ConfigFixture config;
        test::TempFolder data;
        std::vector<std::string> paths;
        for (const char* name : {"a.mdb", "b.mdb", "c.mdb"}) {
            paths.push_back(data.File(name));
            test::MakeManagedDatabase(paths.back(), 2000, true);
            config.AddApp(paths.back());
        }
        const std::string third = test::ReadFile(paths[2]);
        test::StartedForm s(config.ProgramFolder());
        test::ChildProcess writer(test::SqliteClientCommand(paths[1], "delete"));
        QVERIFY(writer.ReadLine()->rfind("ready", 0) == 0);
        QCOMPARE(writer.Ask("begin-write"), std::string("ok"));

        std::string panelDuring;
        bool disabledDuring = false;
        int stoppedAt = 0;
        Ticker ticker(20);
        ticker.onTick = [&](int tick) {
            if (!stoppedAt && s.form->StatusPanel(3) == "2 of 3" &&
                s.form->Work.progress.Read().phase == "Writing back") {
                panelDuring = s.form->StatusPanel(3);
                disabledDuring = AllEnabled(*s.form, false);
                PressKey(*s.form, Qt::Key_S, Qt::ControlModifier);
                stoppedAt = tick;
            }
            if (stoppedAt && tick == stoppedAt + 10)
                writer.Ask("commit");
        };
        test::ClickTab(s.form->SSTab1, 1);
        test::Click(s.form->tabSchedule->cmdRunNow);
        QVERIFY(stoppedAt > 0);
        QCOMPARE(panelDuring, std::string("2 of 3"));
        QVERIFY(disabledDuring);
        QVERIFY2(ticker.ticks >= stoppedAt + 10,
                 (std::to_string(ticker.ticks) + " " + std::to_string(stoppedAt) + " " +
                  config.Scalar("SELECT group_concat(Comments) FROM Log"))
                     .c_str());
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Log WHERE Successful = 1"), std::string("2"));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Log"), std::string("2"));
        QVERIFY(test::ReadFile(paths[2]) == third);
        QVERIFY(AllEnabled(*s.form, true));
        QCOMPARE(s.form->StatusPanel(3), std::string());
    }
};

static test::RegisterTests<LongWorkTest> registered;

#include "LongWorkTest.moc"
