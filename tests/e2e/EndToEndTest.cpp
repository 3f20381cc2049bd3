// The maintenance pass and the Multi-User tab end to end: the window, the private Samba server
// of the network tests, a mount of the whole network with smbnetfs, a second client that holds
// databases open, and the headless program on the same scenario.

#include "config/ScheduleTab.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/ManagedDatabase.h"
#include "fixtures/NetworkMount.h"
#include "fixtures/ServerMessages.h"
#include "fixtures/TestFileDialogs.h"
#include "fixtures/TestPrompter.h"
#include "multiuser/MultiUser.h"
#include "multiuser/MultiUserTab.h"
#include "net/FakeServices.h"
#include "net/SambaClient.h"
#include "platform/LinuxProvider.h"
#include "platform/SambaNetApi.h"
#include "shell/frmMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace mallow;
namespace fs = std::filesystem;

// Compared texts are shown when they differ.
namespace QTest {
template <>
char* toString(const std::string& text)
{
    return qstrdup(text.c_str());
}
} // namespace QTest

namespace {

const std::string StateDir = MALLOW_SAMBA_DIR;
const std::string Password = "mallow-test";

std::string Field(const std::string& text)
{
    std::string field = text;
    field.resize(32, '\0');
    return field;
}

std::vector<std::string> Messages()
{
    return test::ServerMessages(StateDir);
}

std::string Lines(const std::string& text)
{
    return test::WithLineFeeds(text);
}

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

/// Five databases on the test share, registered by their path in a mount of the network, the
/// first two held open by a second client with records in their lock files; the first marked
/// for disconnection; a message with a delay of 2 seconds.
struct Scenario
{
    test::NetworkMount network{Password};
    test::ConfigFixture config;
    test::TempFolder backups;
    test::SambaClient client{"root", Password};
    std::vector<std::string> paths;
    std::vector<SMBCFILE*> held;

    Scenario()
    {
        if (!network.SkipReason().empty())
            return;
        test::AwaitMessagesInFlight();
        for (const auto& entry : fs::directory_iterator(StateDir + "/messages"))
            fs::remove(entry.path());
        fs::remove_all(StateDir + "/Data/E2E");
        fs::create_directories(StateDir + "/Data/E2E");
        for (int i = 1; i <= 5; ++i) {
            const std::string name = "db" + std::to_string(i) + ".mdb";
            test::MakeManagedDatabase(StateDir + "/Data/E2E/" + name, 3000, true);
            paths.push_back(network.Share() + "/E2E/" + name);
            config.AddApp(paths.back(), "", "", "", "", i == 1 ? 1 : 0);
        }
        config.Sql("UPDATE Schedule SET Backup='" + backups.Path() +
                   "', SendDisconnectMsg=1, DisconnectMessage='Closing for maintenance', "
                   "DelayBeforeDisconnect=2, BUDays=7, BUEnabled=1");
        Hold();
    }
    ~Scenario()
    {
        for (SMBCFILE* file : held)
            client.Close(file);
    }
    /// The second client opens the first two databases and their lock files.
    void Hold()
    {
        for (const char* name : {"db1", "db2"}) {
            SMBCFILE* database = client.Open("smb://127.0.0.1/Data/E2E/" + std::string(name) + ".mdb");
            SMBCFILE* lock = client.Open("smb://127.0.0.1/Data/E2E/" + std::string(name) + ".ldb");
            QVERIFY(database && lock);
            QVERIFY(client.Write(lock, Field("LOCALHOST") + Field("Admin")) > 0);
            held.push_back(database);
            held.push_back(lock);
        }
    }
    std::string Scalar(const std::string& sql) const { return config.Scalar(sql); }
    std::string LogOf(int database, const char* table = "Log") const
    {
        return Scalar(std::string("SELECT Successful || '|' || coalesce(Comments, '') FROM ") +
                      table + " WHERE Application = '" + paths[database - 1] +
                      "' ORDER BY [Event ID] DESC");
    }
};

/// Services against the test server as root.
struct ServerUsers
{
    platform::SambaNetApi api{platform::SambaNetApi::Options{5000, {"root", Password, ""}}};
    platform::LinuxProvider provider{
        platform::LinuxProvider::Options{5000, {"root", Password, ""}, nullptr, {}}};
    test::RecordingReporter reporter;
    multiuser::MultiUserServices services =
        multiuser::DefaultMultiUserServices({&platform::SystemVersion(), &api, &provider,
                                             &reporter, nullptr});
};

struct Window
{
    test::TestPrompter prompter;
    test::TestFileDialogs dialogs;
    SystemClock clock;
    ServerUsers users;
    std::unique_ptr<frmMain> form;
    explicit Window(const std::string& programFolder)
    {
        form = std::make_unique<frmMain>(ShellServices{&prompter, &clock, &dialogs, programFolder,
                                                       nullptr, &users.services});
        form->Start();
    }
};

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(fs::exists(StateDir + "/run/smbd.pid"), "the samba fixture is not running");
    }

    // Run Now over the five databases: the users of the first are warned, given the delay and
    // disconnected, and it is compacted and backed up; the second, held open and not marked,
    // is refused as in use; the other three compact and back up.
    void RunNowWarnsWaitsDisconnectsCompactsAndBacksUp()
    {
        Scenario scenario;
        if (!scenario.network.SkipReason().empty())
            QSKIP(scenario.network.SkipReason().c_str());
        Window window(scenario.config.ProgramFolder());
        ScheduleTab& schedule = *window.form->tabSchedule;
        schedule.txtDelayBeforDisconnect->setText(QStringLiteral("2"));
        QCOMPARE(schedule.chkBack->Value(), 1);

        const auto start = std::chrono::steady_clock::now();
        QTest::mouseClick(schedule.cmdRunNow, Qt::LeftButton);
        const auto took = std::chrono::steady_clock::now() - start;
        QVERIFY2(window.prompter.shown.empty(), window.prompter.Last().c_str());
        QVERIFY(took >= std::chrono::seconds(2));
        QVERIFY(!schedule.lblRemindStop->isVisible());
        QVERIFY(schedule.cmdRunNow->isEnabled());

        QCOMPARE(scenario.LogOf(1), std::string("1|"));
        QVERIFY(scenario.LogOf(2).rfind("0|3356 : ", 0) == 0);
        for (int i : {3, 4, 5})
            QCOMPARE(scenario.LogOf(i), std::string("1|"));
        for (int i : {1, 3, 4, 5})
            QCOMPARE(scenario.LogOf(i, "LogBackup"), std::string("1|"));
        QCOMPARE(scenario.Scalar("SELECT count(*) FROM LogBackup"), std::string("4"));
        // The first database's handles were closed: the client's next read fails; the
        // second's stay.
        QVERIFY(scenario.client.Read(scenario.held[0]) < 0);
        QVERIFY(scenario.client.Read(scenario.held[2]) >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(Contains(Messages(), "Closing for maintenance"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(Contains(Messages(), Lines(multiuser::MultiUser::DisconnectNotice(
                                                          scenario.paths[0]))),
                                 10000);
        QCOMPARE(window.form->StatusPanel(1), std::string("Waiting..."));
    }

    // Ctrl+S during the third database: it is finished and logged, the fourth and fifth are
    // not touched.
    void CtrlSDuringTheThirdDatabaseLeavesTheRestUntouched()
    {
        Scenario scenario;
        if (!scenario.network.SkipReason().empty())
            QSKIP(scenario.network.SkipReason().c_str());
        Window window(scenario.config.ProgramFolder());
        window.form->tabSchedule->txtDelayBeforDisconnect->setText(QStringLiteral("0"));
        QTimer watch;
        bool pressed = false;
        bool runNowDuringPass = false;
        connect(&watch, &QTimer::timeout, this, [&] {
            // While the pass runs, Run Now cannot start a second one and the reminder shows.
            if (!window.form->StatusPanel(3).empty() &&
                (window.form->tabSchedule->cmdRunNow->isEnabled() ||
                 window.form->tabSchedule->lblRemindStop->isHidden()))
                runNowDuringPass = true;
            if (!pressed && window.form->StatusPanel(3) == "3 of 5") {
                pressed = true;
                // The key goes where the user's keys go: to the control with the focus.
                QWidget* focus = QApplication::focusWidget();
                QTest::keyClick(focus ? focus : window.form.get(), Qt::Key_S, Qt::ControlModifier);
            }
        });
        watch.start(5);
        QTest::mouseClick(window.form->tabSchedule->cmdRunNow, Qt::LeftButton);
        QVERIFY(pressed);
        QVERIFY(!runNowDuringPass);
        QCOMPARE(scenario.LogOf(3), std::string("1|"));
        for (int untouched : {4, 5})
            QCOMPARE(scenario.Scalar("SELECT count(*) FROM Log WHERE Application = '" +
                                     scenario.paths[untouched - 1] + "'"),
                     std::string("0"));
        QCOMPARE(scenario.Scalar("SELECT count(*) FROM Log"), std::string("3"));
    }

    // The headless program on the same scenario: a line per database, a summary, a failing
    // exit status for the database it could not compact, and the same log rows.
    void TheHeadlessProgramDoesTheSame()
    {
        Scenario scenario;
        if (!scenario.network.SkipReason().empty())
            QSKIP(scenario.network.SkipReason().c_str());
        const std::string program = scenario.config.folder.File("mallow-run");
        fs::copy_file(MALLOW_RUN, program);
        const std::string credentials = scenario.config.folder.File("credentials");
        std::ofstream(credentials) << "username = root\npassword = " << Password << "\n";
        fs::permissions(credentials, fs::perms::owner_read | fs::perms::owner_write);
        const std::string output = scenario.config.folder.File("output.txt");
        const std::string command = "MALLOW_SMB_CREDENTIALS='" + credentials + "' USER=root PASSWD='" +
                                    Password + "' '" + program + "' > '" + output + "' 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream in(output);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        std::string all;
        for (const std::string& line : lines)
            all += line + "\n";
        QVERIFY(WIFEXITED(status));
        QVERIFY2(WEXITSTATUS(status) == 1, all.c_str());
        QVERIFY2(lines.size() == 6, all.c_str());
        QVERIFY2(lines[0].rfind("[1 of 5] OK " + scenario.paths[0] +
                                    ": users warned, users disconnected, compacted, backed up: ",
                                0) == 0,
                 lines[0].c_str());
        QVERIFY2(lines[1].rfind("[2 of 5] FAILED " + scenario.paths[1] + ": not compacted: ", 0) == 0,
                 lines[1].c_str());
        QVERIFY(lines[1].find("3356 : ") != std::string::npos);
        QVERIFY(lines[4].rfind("[5 of 5] OK ", 0) == 0);
        QVERIFY2(lines[5] == "5 of 5 databases done: 4 compacted, 4 backed up", all.c_str());
        QCOMPARE(scenario.LogOf(1), std::string("1|"));
        QVERIFY(scenario.LogOf(2).rfind("0|3356 : ", 0) == 0);
        QCOMPARE(scenario.Scalar("SELECT count(*) FROM LogBackup WHERE Successful=1"),
                 std::string("4"));
        QVERIFY(scenario.client.Read(scenario.held[0]) < 0);
    }

    // The Multi-User tab on the same scenario: choose a database, see its user, message them,
    // disconnect them, and see the list rebuilt without them.
    void TheMultiUserTabFindsMessagesAndDisconnects()
    {
        Scenario scenario;
        if (!scenario.network.SkipReason().empty())
            QSKIP(scenario.network.SkipReason().c_str());
        Window window(scenario.config.ProgramFolder());
        MultiUserTab& tab = *window.form->tabMultiUser;
        window.form->SSTab1->setCurrentIndex(3);
        QCOMPARE(tab.lstMUAvailDBs->count(), 5);
        QTest::mouseClick(tab.lstMUAvailDBs->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tab.lstMUAvailDBs->visualItemRect(tab.lstMUAvailDBs->item(0)).center());
        QVERIFY2(window.prompter.shown.empty(), window.prompter.Last().c_str());
        QCOMPARE(tab.ListView1->topLevelItemCount(), 1);
        QTreeWidgetItem* user = tab.ListView1->topLevelItem(0);
        QCOMPARE(user->text(0), QStringLiteral("root"));
        QCOMPARE(user->text(1), QStringLiteral("127.0.0.1"));
        QCOMPARE(user->text(2), QStringLiteral("Admin"));

        // Sending needs a chosen line.
        QTest::mouseClick(tab.cmdSendMsg, Qt::LeftButton);
        QCOMPARE(window.prompter.Last(), std::string("Please select a recipient(s)."));
        tab.ListView1->setCurrentItem(user);
        user->setSelected(true);
        window.prompter.inputAnswers.push_back(std::string("Back in 5 \"minutes\"; $(id)"));
        QTest::mouseClick(tab.cmdSendMsg, Qt::LeftButton);
        QCOMPARE(window.prompter.Last(), std::string("Message Sent"));
        QTRY_VERIFY_WITH_TIMEOUT(Contains(Messages(), "Back in 5 \"minutes\"; $(id)"), 10000);

        // Three chosen lines: three messages, then "Message Sent" once.
        for (const char* name : {"ann", "bob"}) {
            auto* extra = new QTreeWidgetItem(QStringList{QString::fromLatin1(name),
                                                          QStringLiteral("127.0.0.1"), QString()});
            tab.ListView1->addTopLevelItem(extra);
            extra->setSelected(true);
        }
        user->setSelected(true);
        const std::size_t before = Messages().size();
        const std::size_t prompts = window.prompter.shown.size();
        window.prompter.inputAnswers.push_back(std::string("to all three"));
        QTest::mouseClick(tab.cmdSendMsg, Qt::LeftButton);
        QCOMPARE(window.prompter.shown.size(), prompts + 2);
        QCOMPARE(window.prompter.Last(), std::string("Message Sent"));
        QTRY_COMPARE_WITH_TIMEOUT(Messages().size(), before + 3, 10000);
        for (int i = tab.ListView1->topLevelItemCount() - 1; i >= 0; --i)
            if (tab.ListView1->topLevelItem(i)->text(0) != QStringLiteral("root"))
                delete tab.ListView1->takeTopLevelItem(i);
        tab.ListView1->setCurrentItem(user);
        user->setSelected(true);

        // Answering No changes nothing.
        window.prompter.confirmAnswers.push_back(false);
        QTest::mouseClick(tab.cmdCloseFile, Qt::LeftButton);
        QVERIFY(scenario.client.Read(scenario.held[0]) >= 0);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        window.prompter.confirmAnswers.push_back(true);
        QTest::mouseClick(tab.cmdCloseFile, Qt::LeftButton);
        QCOMPARE(window.prompter.Last(),
                 std::string("The user has been disconnected from this file."));
        QVERIFY(scenario.client.Read(scenario.held[0]) < 0);
        QVERIFY(scenario.client.Read(scenario.held[1]) < 0);
        QCOMPARE(tab.ListView1->topLevelItemCount(), 0);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // A database nobody uses lists nobody; the next click after that works too.
        QTest::mouseClick(tab.lstMUAvailDBs->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tab.lstMUAvailDBs->visualItemRect(tab.lstMUAvailDBs->item(3)).center());
        QCOMPARE(tab.ListView1->topLevelItemCount(), 0);
        QTest::mouseClick(tab.lstMUAvailDBs->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tab.lstMUAvailDBs->visualItemRect(tab.lstMUAvailDBs->item(1)).center());
        QCOMPARE(tab.ListView1->topLevelItemCount(), 1);
    }

    // A database on a local disk: the tab says it cannot find the network path, and the next
    // click works.
    void ALocalDatabaseIsNoNetworkPath()
    {
        test::ConfigFixture config;
        test::TempFolder data;
        config.AddApp(data.File("local.mdb"));
        Window window(config.ProgramFolder());
        MultiUserTab& tab = *window.form->tabMultiUser;
        window.form->SSTab1->setCurrentIndex(3);
        for (int attempt = 0; attempt < 2; ++attempt) {
            QTest::mouseClick(tab.lstMUAvailDBs->viewport(), Qt::LeftButton, Qt::NoModifier,
                              tab.lstMUAvailDBs->visualItemRect(tab.lstMUAvailDBs->item(0)).center());
            QCOMPARE(window.prompter.Last(),
                     std::string("An error has occured in module 'lstMUAvailDBs_Click'.\r\n"
                                 "Could not retrieve the UNC path.\r\nThe path may not be on a "
                                 "network."));
            QCOMPARE(QApplication::overrideCursor(), nullptr);
        }
        window.prompter.shown.clear();
        QTest::mouseClick(tab.cmdCloseFile, Qt::LeftButton);
        QCOMPARE(window.prompter.Last(),
                 std::string("An error has occured in module 'cmdCloseFile_Click'.\r\n"
                             "Object variable or With block variable not set"));
    }
};

} // namespace

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
