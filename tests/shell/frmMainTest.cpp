#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"
#include "util/Paths.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <memory>
#include <sys/stat.h>

using namespace mallow;
namespace fs = std::filesystem;

namespace {

using test::FixedNow;
using Started = test::StartedForm;

std::string ListingOf(const std::string& folder)
{
    std::string names;
    for (const auto& entry : fs::directory_iterator(folder))
        names += entry.path().filename().string() + "|" +
                 std::to_string(fs::file_size(entry.path())) + ";";
    return names;
}

} // namespace

class frmMainTest : public QObject
{
    Q_OBJECT

private slots:
    void StartsWithFullDatabase()
    {
        test::ConfigFixture config;
        config.AddApp("\\\\srv\\data\\zeta.mdb");
        const long alpha =
            config.AddApp("\\\\srv\\data\\alpha.mdb", "pw", "C:\\sys.mdw", "ann", "secret", 1);
        config.AddApp("/srv/data/Ünïcode 'quoted' 100%.mdb");
        config.Sql("UPDATE Schedule SET Monday='2:00 AM', Sunday='14:00', Backup='/backups', "
                   "Enabled=1, BUEnabled=1, BUDays=14, SendDisconnectMsg=1, "
                   "DelayBeforeDisconnect=30, DisconnectMessage='Bye', RunAtStartup=1");
        Started s(config.ProgramFolder());

        QVERIFY(s.prompter.shown.empty());
        QCOMPARE(s.form->windowTitle(), QStringLiteral("Mallow V 2.1"));
        QVERIFY(s.form->isVisible());

        auto* tabs = s.Find<QTabWidget>("SSTab1");
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Applications"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Schedule"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Results"));
        QCOMPARE(tabs->tabText(3), QStringLiteral("Multi-User"));
        QCOMPARE(tabs->currentIndex(), 0);

        // Ordered by path; item data is the App ID; the first line is chosen.
        auto* list = s.Find<QListWidget>("lstApplications");
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QStringLiteral("/srv/data/Ünïcode 'quoted' 100%.mdb"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("\\\\srv\\data\\alpha.mdb"));
        QCOMPARE(list->item(1)->data(Qt::UserRole).toLongLong(), qlonglong(alpha));
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(s.Find<QListWidget>("lstMUAvailDBs")->count(), 3);

        auto* combo = s.Find<QComboBox>("cboApps");
        QCOMPARE(combo->count(), 4);
        QCOMPARE(combo->itemText(0), QStringLiteral("All (Show All)"));
        QCOMPARE(combo->itemData(0).toLongLong(), 0);
        QCOMPARE(combo->itemData(2).toLongLong(), qlonglong(alpha));
        QCOMPARE(combo->currentText(), QStringLiteral("All (Show All)"));

        QCOMPARE(s.Find<QLineEdit>("Monday")->text(), QStringLiteral("2:00 AM"));
        QCOMPARE(s.Find<QLineEdit>("Sunday")->text(), QStringLiteral("14:00"));
        QCOMPARE(s.Find<QLineEdit>("Tuesday")->text(), QString());
        QCOMPARE(s.Find<QLineEdit>("txtBack")->text(), QStringLiteral("/backups"));
        QCOMPARE(s.Find<QLineEdit>("txtBUDays")->text(), QStringLiteral("14"));
        QCOMPARE(s.Find<QLineEdit>("txtDelayBeforDisconnect")->text(), QStringLiteral("30"));
        QCOMPARE(s.Find<QLineEdit>("txtDisconnectMessage")->text(), QStringLiteral("Bye"));
        QVERIFY(s.Find<QCheckBox>("chkEnabled")->isChecked());
        QVERIFY(s.Find<QCheckBox>("chkBack")->isChecked());
        QVERIFY(s.Find<QCheckBox>("chkSendDisconnectMsg")->isChecked());
        QVERIFY(s.form->mnuRunStartup->isChecked());
        QVERIFY(!s.form->mnuMinimizeStartup->isChecked());

        QCOMPARE(s.Find<QPushButton>("cmdBackup")->toolTip(),
                 QStringLiteral("Back up the selected database to /backups"));
        QCOMPARE(s.Find<QLineEdit>("txtBeginningDate")->text(), QStringLiteral("12/8/2026"));
        QCOMPARE(s.Find<QLineEdit>("txtEndingDate")->text(), QStringLiteral("12/8/2026"));

        QCOMPARE(s.form->StatusPanel(1), std::string("Waiting..."));
        QCOMPARE(s.form->StatusPanel(4), std::string("Tuesday"));
        QCOMPARE(s.form->StatusPanel(5), std::string("10:30 AM"));
        QCOMPARE(s.form->Timer1->interval(), 60000);
        QVERIFY(s.form->Timer1->isActive());

        auto* users = s.Find<QTreeWidget>("ListView1");
        QCOMPARE(users->columnCount(), 3);
        QCOMPARE(users->headerItem()->text(0), QStringLiteral("NT User ID"));
        QCOMPARE(users->headerItem()->text(1), QStringLiteral("Computer Name"));
        QCOMPARE(users->headerItem()->text(2), QStringLiteral("Access User ID"));
        QCOMPARE(users->topLevelItemCount(), 0);
        QVERIFY(!s.form->windowIcon().isNull());
    }

    void ControlsCarryTheirCaptionsAndTips()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        const struct
        {
            const char* name;
            const char* caption;
            const char* tip;
        } buttons[] = {
            {"cmdAdd", "Add", "Add a new database"},
            {"cmdRemove", "Remove", "Remove selected database"},
            {"cmdCompactCurrent", "Compact", "Compact selected database"},
            {"cmdOpen", "Open", "Open the selected database."},
            {"cmdFind", "Find", ""},
            {"cmdSaveDatabaseInfo", "Save Database Information", "Save the database info."},
            {"cmdBrowseSystemFile", "Browse",
             "Browze to the system file for the selected database."},
            {"cmdBrowseBackUpLoc", "Browse", "Browze to a folder to back up to."},
            {"cmdSaveSchedule", "Save Schedule/Options", "Save the Schedule and Options"},
            {"cmdRunNow", "Run Now", "Run entire process now."},
            {"cmdRefresh", "Refresh", ""},
            {"cmdPrint", "Print Results", "Print the results to the default printer."},
            {"cmdRemoveOldData", "Remove", ""},
            {"cmdSendMsg", "Send Message", ""},
            {"cmdCloseFile", "Disconnect", ""},
            {"cmdFindMU", "Find", ""},
        };
        for (const auto& b : buttons) {
            auto* button = s.Find<QPushButton>(b.name);
            QVERIFY2(button, b.name);
            QCOMPARE(button->text(), QString::fromUtf8(b.caption));
            QCOMPARE(button->toolTip(), QString::fromUtf8(b.tip));
        }
        auto* remind = s.Find<QLabel>("lblRemindStop");
        QCOMPARE(remind->text(), QStringLiteral("Cts-s will stop the process."));
        QVERIFY(remind->isHidden());
        QCOMPARE(s.Find<QTabWidget>("SSTab2")->tabText(0), QStringLiteral("View"));
        QCOMPARE(s.Find<QTabWidget>("SSTab2")->tabText(1), QStringLiteral("Criteria"));
        QCOMPARE(s.Find<QTabWidget>("SSTab2")->tabText(2), QStringLiteral("Actions"));
        QCOMPARE(s.form->mnuTray->title(), QStringLiteral("Popup"));
        QVERIFY(s.form->mnuRunStartup->isCheckable());
    }

    void EmptyListAndNullScheduleColumns()
    {
        test::ConfigFixture config;
        config.Sql("UPDATE Schedule SET Monday=NULL, Tuesday=NULL, Wednesday=NULL, "
                   "Thursday=NULL, Friday=NULL, Saturday=NULL, Sunday=NULL, Backup=NULL, "
                   "Enabled=NULL, BUEnabled=NULL, BUDays=NULL, SendDisconnectMsg=NULL, "
                   "DelayBeforeDisconnect=NULL, DisconnectMessage=NULL, RunAtStartup=2, "
                   "MinimizeAtStartup=NULL");
        Started s(config.ProgramFolder());

        QVERIFY(s.prompter.shown.empty());
        auto* list = s.Find<QListWidget>("lstApplications");
        QCOMPARE(list->count(), 0);
        QCOMPARE(list->currentRow(), -1);
        QCOMPARE(s.Find<QComboBox>("cboApps")->count(), 1);
        QCOMPARE(s.Find<QLineEdit>("txtBUDays")->text(), QStringLiteral("1"));
        for (const char* box :
             {"Monday", "Friday", "txtBack", "txtDelayBeforDisconnect", "txtDisconnectMessage"})
            QCOMPARE(s.Find<QLineEdit>(box)->text(), QString());
        for (const char* check : {"chkEnabled", "chkBack", "chkSendDisconnectMsg"})
            QVERIFY(!s.Find<QCheckBox>(check)->isChecked());
        QVERIFY(!s.form->mnuRunStartup->isChecked());
        QVERIFY(!s.form->mnuMinimizeStartup->isChecked());
        QVERIFY(s.form->isVisible());
    }

    void MinimizeOnStartupStartsMinimizedOnTheTaskbar()
    {
        // No tray icon exists to bring a hidden window back: it starts minimized, never hidden.
        test::ConfigFixture config;
        config.Sql("UPDATE Schedule SET MinimizeAtStartup=1");
        Started s(config.ProgramFolder());
        QVERIFY(s.prompter.shown.empty());
        QVERIFY(s.form->mnuMinimizeStartup->isChecked());
        QVERIFY(s.form->isVisible());
        QVERIFY(s.form->isMinimized());
        s.form->close();

        config.Sql("UPDATE Schedule SET MinimizeAtStartup=2");
        Started normal(config.ProgramFolder());
        QVERIFY(!normal.form->mnuMinimizeStartup->isChecked());
        QVERIFY(normal.form->isVisible());
        QVERIFY(!normal.form->isMinimized());
    }

    void EveryHandlerReportsTheClosedDatabaseAfterAFailedStart()
    {
        test::TempFolder folder;
        test::ConfigFixture old;
        Started s(folder.Path());
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        const std::string closed = "Operation is not allowed when the object is closed.";
        QWidget* window = s.form.get();
        // Each twice: the click after an error works as well.
        for (int round = 0; round < 2; ++round) {
            test::ClickTab(s.form->SSTab1, 0);
            test::Click(s.form->tabApplications->cmdSaveDatabaseInfo);
            QCOMPARE(s.prompter.Last(), test::HandlerError("cmdSaveDatabaseInfo_Click", closed));
            s.dialogs.openAnswers = {std::string("/d/new.mdb")};
            test::Click(s.form->tabApplications->cmdAdd);
            QCOMPARE(s.prompter.Last(), test::HandlerError("cmdAdd_Click", closed));
            s.dialogs.openAnswers = {old.DatabasePath()};
            test::ChooseMenu(s.form.get(), "mnuOptions", s.form->mnuImport);
            QCOMPARE(s.prompter.Last(), test::HandlerError("mnuImport_Click", closed));
            // Nothing is chosen in the empty list.
            for (QPushButton* button :
                 {s.form->tabApplications->cmdRemove, s.form->tabApplications->cmdCompactCurrent,
                  s.form->tabApplications->cmdBackup}) {
                s.prompter.shown.clear();
                test::Click(button);
                QCOMPARE(s.prompter.Last(), std::string("Please select an application."));
            }

            test::ClickTab(s.form->SSTab1, 1);
            s.dialogs.folderAnswers = {"/backups"};
            test::Click(s.form->tabSchedule->cmdBrowseBackUpLoc);
            QCOMPARE(s.prompter.Last(), test::HandlerError("cmdBrowseBackUpLoc_Click", closed));
            QCOMPARE(s.form->tabSchedule->txtBack->text(), QStringLiteral("/backups"));
            test::Click(s.form->tabSchedule->cmdSaveSchedule);
            QCOMPARE(s.prompter.Last(), test::HandlerError("cmdSaveSchedule_Click", closed));
            QVERIFY(window->isVisible());
        }
        // What needs no database still works, and the window closes without a word.
        test::ClickTab(s.form->SSTab1, 0);
        s.prompter.shown.clear();
        s.dialogs.openAnswers = {std::string("/sys/secured.mdw")};
        test::Click(s.form->tabApplications->cmdBrowseSystemFile);
        QCOMPARE(s.form->tabApplications->txtMDW->text(), QStringLiteral("/sys/secured.mdw"));
        test::ChooseMenu(s.form.get(), "mnuFile", s.form->mnuExit);
        QVERIFY(!window->isVisible());
        QVERIFY(s.prompter.shown.empty());
        QVERIFY(fs::is_empty(folder.Path()));
    }

    void HandlersAfterAPartlyOpenedDatabase()
    {
        // Apps opens, Schedule does not: the row sets after it stay closed too.
        test::ConfigFixture config;
        config.Sql("DROP TABLE Schedule");
        test::TempFolder data;
        const std::string path = data.File("a.mdb");
        test::WriteFile(path, "");
        Started s(config.ProgramFolder());
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        const std::string closed = "Operation is not allowed when the object is closed.";

        s.dialogs.openAnswers = {path};
        test::Click(s.form->tabApplications->cmdAdd);
        QCOMPARE(s.prompter.Last(), std::string("If needed, add security info and click the "
                                                "'Save Database Information' button."));
        QCOMPARE(s.form->tabApplications->lstApplications->currentItem()->text().toStdString(),
                 path);
        s.form->tabSchedule->txtBack->setText(QString::fromStdString(data.Path()));
        test::Click(s.form->tabApplications->cmdBackup);
        QCOMPARE(s.prompter.Last(), test::HandlerError("cmdBackup_Click", closed));
        test::Click(s.form->tabApplications->cmdCompactCurrent);
        // The connection is open: compaction opens a row set of its own on Log and logs there.
        QVERIFY2(s.prompter.Last().find("compact was unsuccessful.\r\n3343 : ") !=
                     std::string::npos,
                 s.prompter.Last().c_str());
        test::ClickTab(s.form->SSTab1, 1);
        test::Click(s.form->tabSchedule->cmdSaveSchedule);
        QCOMPARE(s.prompter.Last(), test::HandlerError("cmdSaveSchedule_Click", closed));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Log WHERE Successful = 0"), std::string("1"));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM LogBackup"), std::string("0"));
        QVERIFY(s.form->cursor().shape() != Qt::WaitCursor);
        QVERIFY(!QApplication::overrideCursor());
    }

    void ProgramFoldersMayHoldAnyCharacter()
    {
        test::TempFolder base;
        for (const std::string name : {"opt;semi", "it's \"quoted\"; x=y", " blank "}) {
            const std::string folder = base.File(name);
            fs::create_directories(folder);
            fs::copy_file(test::BuiltConfigDatabase(), folder + "/Compact20.mdb");
            Started s(folder);
            QVERIFY2(s.prompter.shown.empty(), s.prompter.Last().c_str());
            QCOMPARE(s.form->windowTitle(), QStringLiteral("Mallow V 2.1"));
            test::ClickTab(s.form->SSTab1, 1);
            test::Click(s.form->tabSchedule->cmdSaveSchedule);
            QCOMPARE(s.prompter.Last(), std::string("The schedule has been saved."));
            s.form->close();
            QVERIFY(!fs::exists(folder + "/Compact20.ldb"));
        }
    }

    void LongProgramFoldersStart()
    {
        test::TempFolder base;
        // Beyond SQLite's 512 bytes, and close to the system's limit of 4096.
        for (const size_t length : {size_t(700), size_t(4050)}) {
            std::string folder = base.Path() + "/" + std::to_string(length);
            while (folder.size() + 201 <= length)
                folder += "/" + std::string(200, 'f');
            if (folder.size() + 1 < length)
                folder += "/" + std::string(length - folder.size() - 1, 'g');
            fs::create_directories(folder);
            fs::copy_file(test::BuiltConfigDatabase(), folder + "/Compact20.mdb");
            Started s(folder);
            QVERIFY2(s.prompter.shown.empty(), s.prompter.Last().c_str());
            test::ClickTab(s.form->SSTab1, 1);
            s.form->tabSchedule->txtBack->setText(QStringLiteral("/long/backups"));
            test::Click(s.form->tabSchedule->cmdSaveSchedule);
            QCOMPARE(s.prompter.Last(), std::string("The schedule has been saved."));
            s.form->close();
            QVERIFY(!fs::exists(folder + "/Compact20.ldb"));
            Started again(folder);
            QCOMPARE(again.form->tabSchedule->txtBack->text(), QStringLiteral("/long/backups"));
        }
    }

    void MissingDatabaseIsReportedAndWindowStillShows()
    {
        test::TempFolder folder;
        Started s(folder.Path());
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        QCOMPARE(QString::fromStdString(s.prompter.Last()),
                 QStringLiteral("An error has occured in module 'Form_Load'.\r\n"
                                "Could not find file '") +
                     QString::fromStdString(folder.Path()) + QStringLiteral("/Compact20.mdb'."));
        QVERIFY(s.form->isVisible());
        QVERIFY(s.form->windowTitle() != QStringLiteral("Mallow V 2.1"));
        QCOMPARE(s.form->StatusPanel(1), std::string("Status"));
        QCOMPARE(s.Find<QListWidget>("lstApplications")->count(), 0);
        QVERIFY(!s.form->Timer1->isActive());
        QVERIFY(fs::is_empty(folder.Path()));
    }

    void BadConfigurationDatabasesAreReportedAndLeftAlone_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("not a database") << "garbage";
        QTest::newRow("truncated") << "truncate";
        QTest::newRow("no Schedule table") << "drop table";
        QTest::newRow("no Apps column") << "drop column";
        QTest::newRow("empty file") << "empty";
    }
    void BadConfigurationDatabasesAreReportedAndLeftAlone()
    {
        QFETCH(QString, damage);
        test::ConfigFixture config;
        config.AddApp("/data/a.mdb");
        if (damage == "garbage")
            test::WriteFile(config.DatabasePath(), std::string(8192, 'x'));
        else if (damage == "truncate")
            fs::resize_file(config.DatabasePath(), 1500);
        else if (damage == "drop table")
            config.Sql("DROP TABLE Schedule");
        else if (damage == "drop column")
            config.Sql("ALTER TABLE Apps RENAME TO Old; CREATE TABLE Apps (\"App ID\" INTEGER "
                       "PRIMARY KEY, Password TEXT); DROP TABLE Old");
        else
            test::WriteFile(config.DatabasePath(), "");
        const std::string before = test::ReadFile(config.DatabasePath());
        const std::string listing = ListingOf(config.ProgramFolder());

        Started s(config.ProgramFolder());
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        QVERIFY2(s.prompter.Last().rfind("An error has occured in module 'Form_Load'.\r\n", 0) == 0,
                 s.prompter.Last().c_str());
        QVERIFY(s.prompter.Last().size() > 48);
        QVERIFY(s.form->isVisible());
        s.form->close();
        QCOMPARE(test::ReadFile(config.DatabasePath()) == before, true);
        QCOMPARE(ListingOf(config.ProgramFolder()), listing);
    }

    void The9xFamilyHasNoMultiUserFeatures()
    {
        struct Windows98 : platform::VersionSource
        {
            platform::OSVERSIONINFO GetVersionEx() const override
            {
                platform::OSVERSIONINFO info;
                info.dwMajorVersion = 4;
                info.dwMinorVersion = 10;
                info.dwPlatformId = platform::VER_PLATFORM_WIN32_WINDOWS;
                return info;
            }
        } windows98;
        test::ConfigFixture config;
        Started old(config.ProgramFolder(), &windows98);
        QVERIFY(!old.Find<QCheckBox>("chkDisconnect")->isEnabled());
        QVERIFY(!old.form->SSTab1->isTabEnabled(3));
        old.form->close();

        Started here(config.ProgramFolder());
        QVERIFY(here.Find<QCheckBox>("chkDisconnect")->isEnabled());
        QVERIFY(here.form->SSTab1->isTabEnabled(3));
    }

    void ShutdownReleasesTheDatabase()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        QVERIFY(s.form->Config.IsOpen());
        QVERIFY(fs::exists(config.folder.File("Compact20.ldb")));
        s.form->mnuExit->trigger();
        QVERIFY(!s.form->isVisible());
        QVERIFY(!s.form->Config.IsOpen());
        QVERIFY(!s.form->Config.AppsRecordset->IsOpen());
        QVERIFY(!fs::exists(config.folder.File("Compact20.ldb")));
        QVERIFY(s.prompter.shown.empty());
    }

    void CtrlSStopsAPassWhereverTheFocusIs()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        auto* box = s.Find<QLineEdit>("txtMDW");
        box->setFocus();
        s.form->activateWindow();

        s.form->ContinueRun = true;
        QTest::keyClick(box, Qt::Key_S);
        QVERIFY(s.form->ContinueRun);
        QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!s.form->ContinueRun);

        s.form->ContinueRun = true;
        QTest::keyClick(s.form.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!s.form->ContinueRun);
        QVERIFY(s.prompter.shown.empty());
    }

    void CtrlSStopsAPassFromTheApplicationFilterToo()
    {
        // The filter's combo box watches its own keys; the window still sees each one first.
        test::ConfigFixture config;
        config.AddApp("/d/sales.mdb");
        Started s(config.ProgramFolder());
        QComboBox* combo = s.form->tabResults->cboApps;
        s.form->SSTab1->setCurrentIndex(2);
        s.form->tabResults->SSTab2->setCurrentIndex(1);
        s.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.form.get()));
        combo->setFocus();
        combo->lineEdit()->clear();

        s.form->ContinueRun = true;
        QTest::keyClicks(combo, "/d/s");
        QVERIFY(s.form->ContinueRun);
        QCOMPARE(combo->currentText(), QStringLiteral("/d/sales.mdb"));
        QTest::keyClick(combo, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!s.form->ContinueRun);
        // The stop key types nothing and completes nothing.
        QCOMPARE(combo->currentText(), QStringLiteral("/d/sales.mdb"));
        QVERIFY(s.prompter.shown.empty());
    }

    void StatusPanelsAndCurrentApplicationText()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        s.form->SetStatusPanel(1, "Compacting ...");
        s.form->SetStatusPanel(2, "x");
        s.form->SetStatusPanel(3, "1 of 1");
        s.form->ResetStatusPanels();
        QCOMPARE(s.form->StatusPanel(1), std::string("Waiting..."));
        QCOMPARE(s.form->StatusPanel(2), std::string());
        QCOMPARE(s.form->StatusPanel(3), std::string());
        QCOMPARE(s.form->StatusPanel(4), std::string("Tuesday"));

        QCOMPARE(CurrentApplicationText("\\\\srv\\share\\folder\\app.mdb"),
                 std::string("\\\\srv\\share\\fol...\\app.mdb"));
        QCOMPARE(CurrentApplicationText("/srv/share/folder/app.mdb"),
                 std::string("/srv/share/fold.../app.mdb"));
        // Fifteen characters, not fifteen bytes.
        QCOMPARE(CurrentApplicationText("/ééééééééééééééé/x.mdb"),
                 std::string("/éééééééééééééé.../x.mdb"));
        // A folder of fifteen characters or fewer shows whole, with nothing marked as left out.
        QCOMPARE(CurrentApplicationText("/data/a.mdb"), std::string("/data/a.mdb"));
        QCOMPARE(CurrentApplicationText("C:\\a.mdb"), std::string("C:\\a.mdb"));
        QCOMPARE(CurrentApplicationText("/fifteen-chars/a.mdb"),
                 std::string("/fifteen-chars/a.mdb"));
        QCOMPARE(CurrentApplicationText("/sixteen-chars-/a.mdb"),
                 std::string("/sixteen-chars-.../a.mdb"));
        QCOMPARE(CurrentApplicationText("a.mdb"), std::string("a.mdb"));
    }
};

static test::RegisterTests<frmMainTest> registered;
#include "frmMainTest.moc"
