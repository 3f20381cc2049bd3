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
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <cmath>
#include <ctime>
#include <map>
#include <regex>
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

/// On the file server itself: three databases registered by their local paths in the folder
/// the test server exports as [Data]. WS1 (a client over port 445, named by its address) holds
/// sales open, marked for disconnection; WS2 (a NetBIOS client) holds orders, not marked; stock
/// is free.
struct LocalScenario
{
    test::ConfigFixture config;
    test::TempFolder backups;
    test::SambaClient ws1{"root", Password};
    test::SambaClient ws2{"root", Password, "WS2"};
    std::vector<std::string> paths;
    std::vector<SMBCFILE*> held;

    LocalScenario()
    {
        test::AwaitMessagesInFlight();
        for (const auto& entry : fs::directory_iterator(StateDir + "/messages"))
            fs::remove(entry.path());
        fs::remove_all(StateDir + "/Data/Local");
        // Named so that the list, in its order of paths, holds them in this order.
        for (const char* name : {"A-Sales/sales", "B-Orders/orders", "C-Stock/stock"}) {
            const std::string path = StateDir + "/Data/Local/" + name + ".mdb";
            fs::create_directories(fs::path(path).parent_path());
            test::MakeManagedDatabase(path, 3000, true);
            paths.push_back(path);
        }
        config.AddApp(paths[0], "", "", "", "", 1);
        config.AddApp(paths[1], "", "", "", "", 0);
        config.AddApp(paths[2], "", "", "", "", 0);
        config.Sql("UPDATE Schedule SET Backup='" + backups.Path() +
                   "', SendDisconnectMsg=1, DisconnectMessage='Closing for maintenance', "
                   "DelayBeforeDisconnect=2, BUDays=7, BUEnabled=1");
        Hold(ws1, "A-Sales/sales", "LOCALHOST");
        Hold(ws2, "B-Orders/orders", "WS2");
    }
    ~LocalScenario()
    {
        for (std::size_t i = 0; i < held.size(); ++i)
            (i < 2 ? ws1 : ws2).Close(held[i]);
    }
    void Hold(test::SambaClient& client, const std::string& name, const std::string& computer)
    {
        SMBCFILE* database = client.Open("smb://127.0.0.1/Data/Local/" + name + ".mdb");
        SMBCFILE* lock = client.Open("smb://127.0.0.1/Data/Local/" + name + ".ldb");
        QVERIFY(database && lock);
        QVERIFY(client.Write(lock, Field(computer) + Field("Admin")) > 0);
        held.push_back(database);
        held.push_back(lock);
    }
    std::string LogOf(int database, const char* table = "Log") const
    {
        return config.Scalar(std::string("SELECT Successful || '|' || coalesce(Comments, '') FROM ") +
                             table + " WHERE Application = '" + paths[database - 1] +
                             "' ORDER BY [Event ID] DESC");
    }
    /// What a pass must do: WS1 warned and then closed, orders left to WS2 and refused, stock
    /// compacted, the two compacted ones backed up, every committed row kept.
    void CheckOutcome() const
    {
        QCOMPARE(LogOf(1), std::string("1|"));
        const std::string refused = LogOf(2);
        QVERIFY2(refused.rfind("0|3356 : ", 0) == 0 && refused.find("on machine 'ws2'") !=
                                                           std::string::npos,
                 refused.c_str());
        QCOMPARE(LogOf(3), std::string("1|"));
        QCOMPARE(LogOf(1, "LogBackup"), std::string("1|"));
        QCOMPARE(LogOf(3, "LogBackup"), std::string("1|"));
        QCOMPARE(config.Scalar("SELECT count(*) FROM LogBackup"), std::string("2"));
        for (const std::string& path : paths)
            QCOMPARE(test::ManagedRowCount(path), 1500);
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

/// Runs the headless program beside the configuration database with the test server's
/// credentials: "exit N" on the first line, then what it printed.
std::string RunHeadless(const test::ConfigFixture& config, const std::string& arguments)
{
    const std::string program = config.folder.File("mallow-run");
    if (!fs::exists(program))
        fs::copy_file(MALLOW_RUN, program);
    const std::string credentials = config.folder.File("credentials");
    std::ofstream(credentials) << "username = root\npassword = " << Password << "\n";
    fs::permissions(credentials, fs::perms::owner_read | fs::perms::owner_write);
    const std::string output = config.folder.File("output.txt");
    const std::string command = "MALLOW_SMB_CREDENTIALS='" + credentials + "' USER=root PASSWD='" +
                                Password + "' '" + program + "' " + arguments + " > '" + output +
                                "' 2>&1";
    const int status = std::system(command.c_str());
    std::stringstream text;
    text << "exit " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1) << "\n"
         << std::ifstream(output).rdbuf();
    return text.str();
}

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
        const std::string all = RunHeadless(scenario.config, "");
        std::istringstream in(all);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        // The exit status first, then what the program printed.
        QVERIFY2(!lines.empty() && lines[0] == "exit 1", all.c_str());
        lines.erase(lines.begin());
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

    // On the file server: the databases registered by their local paths are supervised through
    // the server's own shares, by Run Now in the window and by the headless program.
    void RunNowOnTheServerSupervisesLocalPaths()
    {
        LocalScenario scenario;
        Window window(scenario.config.ProgramFolder());
        window.form->tabSchedule->txtDelayBeforDisconnect->setText(QStringLiteral("2"));

        // The Multi-User tab lists WS2 on orders.
        MultiUserTab& tab = *window.form->tabMultiUser;
        window.form->SSTab1->setCurrentIndex(3);
        QTest::mouseClick(tab.lstMUAvailDBs->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tab.lstMUAvailDBs->visualItemRect(tab.lstMUAvailDBs->item(1)).center());
        QVERIFY2(window.prompter.shown.empty(), window.prompter.Last().c_str());
        QCOMPARE(tab.ListView1->topLevelItemCount(), 1);
        QCOMPARE(tab.ListView1->topLevelItem(0)->text(1), QStringLiteral("ws2"));
        QCOMPARE(tab.ListView1->topLevelItem(0)->text(2), QStringLiteral("Admin"));

        window.form->SSTab1->setCurrentIndex(1);
        const auto start = std::chrono::steady_clock::now();
        QTest::mouseClick(window.form->tabSchedule->cmdRunNow, Qt::LeftButton);
        QVERIFY2(window.prompter.shown.empty(), window.prompter.Last().c_str());
        QVERIFY(std::chrono::steady_clock::now() - start >= std::chrono::seconds(2));
        scenario.CheckOutcome();
        QVERIFY(scenario.ws1.Read(scenario.held[0]) < 0);
        QVERIFY(scenario.ws2.Read(scenario.held[2]) >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(Contains(Messages(), "Closing for maintenance"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            Contains(Messages(), Lines(multiuser::MultiUser::DisconnectNotice(scenario.paths[0]))),
            10000);
    }

    void TheHeadlessProgramOnTheServerSupervisesLocalPaths()
    {
        LocalScenario scenario;
        const std::string output = RunHeadless(scenario.config, "");
        QVERIFY2(output.rfind("exit 1\n", 0) == 0, output.c_str());
        QVERIFY2(output.find("[1 of 3] OK " + scenario.paths[1 - 1] +
                             ": users warned, users disconnected, compacted, backed up") !=
                     std::string::npos,
                 output.c_str());
        scenario.CheckOutcome();
        QVERIFY(scenario.ws1.Read(scenario.held[0]) < 0);
        QVERIFY(scenario.ws2.Read(scenario.held[2]) >= 0);
    }

    // The same pass with its figures for monitoring and its report as JSON, both read back.
    void TheHeadlessProgramWritesFiguresAndJson()
    {
        LocalScenario scenario;
        const std::string metrics = scenario.config.folder.File("mallow.prom");
        const std::string output = RunHeadless(scenario.config, "--json --metrics '" + metrics + "'");
        QVERIFY2(output.rfind("exit 1\n", 0) == 0, output.c_str());
        scenario.CheckOutcome();

        std::vector<QJsonObject> objects;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] != '{')
                continue;
            QJsonParseError error;
            const QJsonDocument document =
                QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
            QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(), line.c_str());
            objects.push_back(document.object());
        }
        QCOMPARE(objects.size(), std::size_t(4));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(objects[i]["database"].toString().toStdString(), scenario.paths[i]);
            QCOMPARE(objects[i]["server"].toString(), QStringLiteral("\\\\127.0.0.1"));
            QCOMPARE(objects[i]["compacted"].toBool(), i != 1);
        }
        QCOMPARE(objects[0]["users_disconnected"].toInt(), 1);
        QCOMPARE(objects[0]["backed_up"].toBool(), true);
        QVERIFY(objects[1]["backed_up"].isNull());
        QVERIFY(objects[0]["size_after"].toDouble() <= objects[0]["size_before"].toDouble());
        QCOMPARE(objects[3]["summary"].toBool(), true);
        QCOMPARE(objects[3]["exit_status"].toInt(), 1);
        QCOMPARE(objects[3]["compacted"].toInt(), 2);

        // Every line is a comment or a sample of the text format; the values are the pass's.
        QCOMPARE(fs::status(metrics).permissions() & fs::perms::mask,
                 fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                     fs::perms::others_read);
        const std::regex sample(
            "^([a-zA-Z_:][a-zA-Z0-9_:]*)(\\{((?:[a-zA-Z_][a-zA-Z0-9_]*=\"(?:[^\"\\\\\\n]|\\\\.)*\",?)*)\\})? "
            "(-?[0-9.eE+]+)$");
        std::map<std::string, double> values;
        std::ifstream in(metrics);
        int samples = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("# HELP ", 0) == 0 || line.rfind("# TYPE ", 0) == 0)
                continue;
            std::smatch match;
            QVERIFY2(std::regex_match(line, match, sample), line.c_str());
            values[match[1].str() + "{" + match[3].str() + "}"] = std::stod(match[4].str());
            ++samples;
        }
        const auto of = [&](const std::string& name, int database, const std::string& extra = "") {
            const std::string key = name + "{database=\"" + scenario.paths[database] +
                                    "\",server=\"\\\\\\\\127.0.0.1\"" + extra + "}";
            return values.count(key) ? values[key] : -1.0;
        };
        QCOMPARE(of("mallow_compaction_success", 0), 1.0);
        QCOMPARE(of("mallow_compaction_success", 1), 0.0);
        QCOMPARE(of("mallow_compaction_success", 2), 1.0);
        QCOMPARE(of("mallow_backup_success", 0), 1.0);
        QCOMPARE(of("mallow_backup_success", 1), 0.0);
        QCOMPARE(of("mallow_users_disconnected", 0), 1.0);
        QCOMPARE(of("mallow_users_disconnected", 1), 0.0);
        QVERIFY(of("mallow_database_size_bytes", 0, ",when=\"after\"") > 0);
        QVERIFY(of("mallow_database_size_bytes", 0, ",when=\"after\"") <=
                of("mallow_database_size_bytes", 0, ",when=\"before\""));
        QCOMPARE(values["mallow_pass_databases{outcome=\"ok\"}"], 2.0);
        QCOMPARE(values["mallow_pass_databases{outcome=\"failed\"}"], 1.0);
        QCOMPARE(values["mallow_pass_databases{outcome=\"skipped\"}"], 0.0);
        QCOMPARE(values["mallow_pass_success{}"], 0.0);
        QVERIFY(values["mallow_pass_duration_seconds{}"] >= 2);
        QVERIFY(std::abs(values["mallow_pass_last_run_timestamp_seconds{}"] -
                         static_cast<double>(std::time(nullptr))) < 120);
        QVERIFY(samples >= 16);
    }

    // A dry run on the same scenario lists who holds what and what a pass would do, and
    // changes nothing: files, log rows, open handles and messages stay as they were.
    void ADryRunChangesNothing()
    {
        LocalScenario scenario;
        std::vector<std::string> contents;
        for (const std::string& path : scenario.paths)
            contents.push_back(test::ReadFile(path));
        const std::string output = RunHeadless(scenario.config, "--dry-run");
        QVERIFY2(output.rfind("exit 1\n", 0) == 0, output.c_str());
        QVERIFY2(output.find("[1 of 3] " + scenario.paths[0] + ": held by root on 127.0.0.1 as "
                                                               "Admin; would warn, disconnect and compact") !=
                     std::string::npos,
                 output.c_str());
        QVERIFY2(output.find("[2 of 3] " + scenario.paths[1] +
                             ": held by root on ws2 as Admin; would not compact: kept open") !=
                     std::string::npos,
                 output.c_str());
        QVERIFY2(output.find("[3 of 3] " + scenario.paths[2] + ": held by nobody; would compact") !=
                     std::string::npos,
                 output.c_str());
        for (std::size_t i = 0; i < scenario.paths.size(); ++i)
            QVERIFY(test::ReadFile(scenario.paths[i]) == contents[i]);
        QCOMPARE(scenario.config.Scalar("SELECT count(*) FROM Log"), std::string("0"));
        QCOMPARE(scenario.config.Scalar("SELECT count(*) FROM LogBackup"), std::string("0"));
        QVERIFY(fs::is_empty(scenario.backups.Path()));
        QVERIFY(scenario.ws1.Read(scenario.held[0]) >= 0);
        QVERIFY(scenario.ws2.Read(scenario.held[2]) >= 0);
        test::AwaitMessagesInFlight();
        QVERIFY(Messages().empty());
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
