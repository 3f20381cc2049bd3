#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/ManagedDatabase.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <filesystem>

using namespace mallow;
namespace fs = std::filesystem;

class MaintenanceButtonsTest : public QObject
{
    Q_OBJECT

private slots:
    void ButtonsNeedAChosenApplication()
    {
        test::ConfigFixture config;
        config.AddApp("/d/a.mdb");
        test::StartedForm s(config.ProgramFolder());
        s.form->tabApplications->lstApplications->setCurrentRow(-1);
        s.form->tabApplications->cmdCompactCurrent->click();
        QCOMPARE(s.prompter.Last(), std::string("Please select an application."));
        s.form->tabApplications->cmdBackup->click();
        QCOMPARE(s.prompter.Last(), std::string("Please select an application."));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Log"), std::string("0"));

        s.form->tabApplications->lstApplications->setCurrentRow(0);
        s.form->tabSchedule->txtBack->clear();
        s.form->tabApplications->cmdBackup->click();
        QCOMPARE(s.prompter.Last(),
                 std::string("Please fill in a back up directory (on the Schedule tab)."));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM LogBackup"), std::string("0"));
    }

    void CompactUsesTheBoxesAsTheyStandAndReloadsThem()
    {
        test::ConfigFixture config;
        test::TempFolder data;
        const std::string path = data.File("sales.mdb");
        test::MakeManagedDatabase(path, 200, true);
        config.AddApp(path, "", "", "", "", 0);
        test::StartedForm s(config.ProgramFolder());
        s.form->tabResults->rtfSummary->setPlainText(QStringLiteral("old summary"));
        // Typed but never saved: used for this compaction, then replaced by the saved value.
        s.form->tabApplications->txtUserName->setText(QStringLiteral("typed"));

        s.form->tabApplications->cmdCompactCurrent->click();
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        const std::string text = s.prompter.Last();
        QVERIFY2(text.find(path + " compact was successful.\r\nSize Before = ") !=
                     std::string::npos,
                 text.c_str());
        QCOMPARE(s.form->LastResultText, text);
        QCOMPARE(s.form->tabResults->rtfSummary->toPlainText(), QString());
        QCOMPARE(s.form->tabApplications->txtUserName->text(), QString());
        QCOMPARE(s.form->StatusPanel(1), std::string("Waiting..."));
        QCOMPARE(s.form->StatusPanel(3), std::string());
        QCOMPARE(config.Scalar("SELECT Successful FROM Log"), std::string("1"));
        QCOMPARE(test::ManagedRowCount(path), 100);
        QVERIFY(s.form->cursor().shape() != Qt::WaitCursor);
    }

    void BackUpsWorkAfterBrowsingAndSavingTheSchedule()
    {
        test::ConfigFixture config;
        test::TempFolder data;
        test::TempFolder backups;
        const std::string path = data.File("sales.mdb");
        test::MakeManagedDatabase(path, 20, false);
        config.AddApp(path);
        test::StartedForm s(config.ProgramFolder());

        test::ClickTab(s.form->SSTab1, 1);
        s.dialogs.folderAnswers = {backups.Path()};
        test::Click(s.form->tabSchedule->cmdBrowseBackUpLoc);
        test::Click(s.form->tabSchedule->cmdSaveSchedule);
        QCOMPARE(s.prompter.Last(), std::string("The schedule has been saved."));
        QCOMPARE(config.Scalar("SELECT Backup FROM Schedule"), backups.Path());

        test::ClickTab(s.form->SSTab1, 0);
        for (int i = 0; i < 2; ++i) {
            test::Click(s.form->tabApplications->cmdBackup);
            QVERIFY2(s.prompter.Last().find("sales.mdb back up was successful.") !=
                         std::string::npos,
                     s.prompter.Last().c_str());
        }
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM LogBackup WHERE Successful=1"),
                 std::string("2"));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM LogBackup WHERE Successful=0"),
                 std::string("0"));

        // Browsing again and saving a folder typed over it: the typed one is kept.
        test::ClickTab(s.form->SSTab1, 1);
        s.dialogs.folderAnswers = {"/browsed"};
        test::Click(s.form->tabSchedule->cmdBrowseBackUpLoc);
        s.form->tabSchedule->txtBack->selectAll();
        QTest::keyClicks(s.form->tabSchedule->txtBack, QString::fromStdString(backups.Path()));
        test::Click(s.form->tabSchedule->cmdSaveSchedule);
        test::ClickTab(s.form->SSTab1, 0);
        test::Click(s.form->tabApplications->cmdBackup);
        QVERIFY2(s.prompter.Last().find("back up was successful.") != std::string::npos,
                 s.prompter.Last().c_str());
        QCOMPARE(config.Scalar("SELECT Backup FROM Schedule"), backups.Path());
    }

    void BackUpCopiesIntoTheFolderOfTheBox()
    {
        test::ConfigFixture config;
        test::TempFolder data;
        test::TempFolder backups;
        const std::string path = data.File("sales.mdb");
        test::MakeManagedDatabase(path, 20, false);
        config.AddApp(path);
        test::StartedForm s(config.ProgramFolder());
        s.form->tabSchedule->txtBack->setText(QString::fromStdString(backups.Path()));

        s.form->tabApplications->cmdBackup->click();
        const std::string stamp = dates::Format(test::FixedNow, "mm-dd-yyyy");
        const std::string copy = backups.File("sales" + stamp + ".mdb");
        QVERIFY2(s.prompter.Last().find("sales.mdb back up was successful.\r\nBacked up to " +
                                        copy) != std::string::npos,
                 s.prompter.Last().c_str());
        QCOMPARE(test::ManagedRowCount(copy), 20);
        QCOMPARE(s.form->StatusPanel(1), std::string("Waiting ..."));
        QCOMPARE(config.Scalar("SELECT Successful FROM LogBackup"), std::string("1"));

        // A folder that does not exist: a failed row and the reason, no copy anywhere.
        s.form->tabSchedule->txtBack->setText(QString::fromStdString(backups.File("nowhere")));
        s.form->tabApplications->cmdBackup->click();
        QVERIFY(s.prompter.Last().find("back up was unsuccessful.\r\n76 : ") != std::string::npos);
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM LogBackup WHERE Successful=0"),
                 std::string("1"));
        QVERIFY(!fs::exists(backups.File("nowhere")));
    }
};

static test::RegisterTests<MaintenanceButtonsTest> registered;
#include "MaintenanceButtonsTest.moc"
