// "Open" on the Applications tab: the database program the registry names, started with the
// database and the security details the tab shows.

#include "ShellTestSupport.h"
#include "TempRegistry.h"
#include "fixtures/ConfigFixture.h"
#include "launcher/Launcher.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>

using namespace mallow;
namespace fs = std::filesystem;

class OpenDatabaseTest : public QObject
{
    Q_OBJECT

private slots:
    void NothingChosenAndNoProgramAreSaid()
    {
        test::TempRegistry registry;
        test::ConfigFixture config;
        test::StartedForm empty(config.ProgramFolder());
        for (int round = 0; round < 2; ++round) {
            test::Click(empty.form->tabApplications->cmdOpen);
            QCOMPARE(empty.prompter.Last(), std::string("Please select an application."));
        }
        empty.form->close();

        config.AddApp("/data/sales.mdb");
        test::StartedForm s(config.ProgramFolder());
        for (int round = 0; round < 2; ++round) {
            s.prompter.shown.clear();
            test::Click(s.form->tabApplications->cmdOpen);
            QCOMPARE(s.prompter.Last(),
                     std::string("Mallow can not find Microsoft Access on this machine."));
        }
        // A damaged registry store is said, and left as it is.
        test::WriteFile(registry.StorePath(), "not a store\n");
        test::Click(s.form->tabApplications->cmdOpen);
        QVERIFY2(test::StartsWith(s.prompter.Last(), test::HandlerPrefix("cmdOpen_Click")) &&
                     s.prompter.Last().find(registry.StorePath()) != std::string::npos,
                 s.prompter.Last().c_str());
        QCOMPARE(test::ReadFile(registry.StorePath()), std::string("not a store\n"));
    }

    void StartsTheProgramWithWhatTheBoxesShow()
    {
        test::TempRegistry registry;
        test::ConfigFixture config;
        const std::string marker = registry.folder.File("ran");
        const std::string database = "/data/$(touch " + marker + ") sales.mdb";
        config.AddApp(database, "dbpw", "/data/saved.mdw", "saved", "savedpw");
        config.AddApp("/data/orders.mdb", "orderspw");
        test::StartedForm s(config.ProgramFolder());
        auto* tab = s.form->tabApplications;
        QCOMPARE(tab->lstApplications->currentItem()->text().toStdString(), database);

        // Only the older installation is named; the boxes as edited, not as saved.
        const std::string office8 = registry.folder.File("office 8/bin");
        const std::string program8 = office8 + "/msaccess.exe";
        test::TempRegistry::MakeRecorder(program8);
        registry.Set(launcher::Office8Key, launcher::Office8Value, office8);
        tab->txtMDW->setText(QStringLiteral("/data/sys tem.mdw"));
        tab->txtUserName->setText(QStringLiteral("ann smith"));
        tab->txtUserPassword->setText(QStringLiteral("`touch ") + QString::fromStdString(marker) +
                                      QStringLiteral("`"));
        test::Click(tab->cmdOpen);
        QVERIFY2(s.prompter.shown.empty(), s.prompter.Last().c_str());
        QCOMPARE(test::TempRegistry::RecordedArguments(program8),
                 database + "\n/wrkgrp\n/data/sys tem.mdw\n/User\nann smith\n/Pwd\n`touch " +
                     marker + "`\n");
        QVERIFY(!fs::exists(marker));

        // The newer installation wins; without a workgroup file only the database goes,
        // whatever its password.
        const std::string office9 = registry.folder.File("office9");
        test::TempRegistry::MakeRecorder(office9 + "/msaccess.exe");
        registry.Set(launcher::Office9Key, launcher::Office9Value, office9 + "/");
        test::ClickLine(tab->lstApplications, 1);
        QCOMPARE(tab->txtPassword->text(), QStringLiteral("orderspw"));
        QCOMPARE(tab->txtMDW->text(), QString());
        test::Click(tab->cmdOpen);
        QCOMPARE(test::TempRegistry::RecordedArguments(office9 + "/msaccess.exe"),
                 std::string("/data/orders.mdb\n"));
        QVERIFY(s.prompter.shown.empty());

        // A registry entry left by a removed installation: the handler's error, and the click
        // after it works once the program is back.
        fs::remove_all(office9);
        test::Click(tab->cmdOpen);
        QCOMPARE(s.prompter.Last(), test::HandlerError("cmdOpen_Click", "File not found"));
        s.prompter.shown.clear();
        test::TempRegistry::MakeRecorder(office9 + "/msaccess.exe");
        test::Click(tab->cmdOpen);
        QCOMPARE(test::TempRegistry::RecordedArguments(office9 + "/msaccess.exe"),
                 std::string("/data/orders.mdb\n"));
        QVERIFY(s.prompter.shown.empty());
    }
};

static test::RegisterTests<OpenDatabaseTest> registered;
#include "OpenDatabaseTest.moc"
