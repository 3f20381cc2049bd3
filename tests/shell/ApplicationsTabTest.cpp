#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <sqlite3.h>

#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace mallow;
namespace fs = std::filesystem;

namespace {

using Started = test::StartedForm;
using test::HandlerPrefix;
using test::StartsWith;

QStringList Lines(const QListWidget* list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

// An older configuration database to import from, with the given paths in its Apps table.
std::string OldConfiguration(const test::TempFolder& folder, const std::vector<std::string>& apps)
{
    test::ConfigFixture old;
    for (const auto& app : apps)
        old.AddApp(app, "pw-" + app, "/sys.mdw", "user", "secret", 1);
    const std::string path = folder.File("Compact.mdb");
    fs::copy_file(old.DatabasePath(), path, fs::copy_options::overwrite_existing);
    return path;
}

// Makes a file immutable for as long as the object lives: not even root can write to it then,
// so the database opens for reading only.
class Immutable
{
public:
    explicit Immutable(const std::string& path) : fd(open(path.c_str(), O_RDONLY))
    {
        int flags = 0;
        applied = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                  (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    }
    ~Immutable()
    {
        int flags = 0;
        if (applied && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0)
            close(fd);
    }
    bool Applied() const { return applied; }

private:
    int fd;
    bool applied = false;
};

} // namespace

class ApplicationsTabTest : public QObject
{
    Q_OBJECT

private slots:
    void AddsSeveralFilesFromOneDialog()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        s.dialogs.openAnswers.push_back(std::string("/data\0c.mdb\0a.mdb\0b.mdb", 23));
        s.form->tabApplications->cmdAdd->click();

        QCOMPARE(s.dialogs.requests.size(), size_t(1));
        QCOMPARE(s.dialogs.requests[0].filter, std::string("Access Databases (*.MDB)|*.mdb"));
        QVERIFY(s.dialogs.requests[0].multiSelect);
        QVERIFY(s.dialogs.requests[0].fileName.empty());
        QCOMPARE(Lines(s.form->tabApplications->lstApplications),
                 QStringList({"/data/a.mdb", "/data/b.mdb", "/data/c.mdb"}));
        QCOMPARE(s.form->tabMultiUser->lstMUAvailDBs->count(), 3);
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Apps"), std::string("3"));
        // The details shown are those of the last file added: b.mdb.
        QCOMPARE(s.form->StatusPanel(2), std::string("/data/b.mdb"));
        QCOMPARE(s.prompter.Last(), std::string("If needed, add security info and click the "
                                                "'Save Database Information' button."));
    }

    void AfterAddTheAdviceCanBeFollowed()
    {
        test::ConfigFixture config;
        config.AddApp("/d/z.mdb", "zpw", "", "zed");
        Started s(config.ProgramFolder());
        // The dialog opens at the root, like the other file dialogs of the tab.
        s.dialogs.openAnswers = {std::string("/data\0c.mdb\0a.mdb", 17)};
        test::Click(s.form->tabApplications->cmdAdd);
        QCOMPARE(s.dialogs.requests.back().initialFolder, std::string("C:\\"));
        QCOMPARE(s.prompter.Last(), std::string("If needed, add security info and click the "
                                                "'Save Database Information' button."));
        // The line of the last database added is the chosen one, its details shown.
        QVERIFY(s.form->tabApplications->lstApplications->currentItem());
        QCOMPARE(s.form->tabApplications->lstApplications->currentItem()->text(),
                 QStringLiteral("/data/a.mdb"));
        QCOMPARE(s.form->tabApplications->txtUserName->text(), QString());
        QCOMPARE(s.form->StatusPanel(2), std::string("/data/a.mdb"));

        // Doing what the message says saves the details of that database.
        s.form->tabApplications->txtUserName->setFocus();
        QTest::keyClicks(s.form->tabApplications->txtUserName, "ann");
        QTest::keyClicks(s.form->tabApplications->txtPassword, "pw;1");
        test::Click(s.form->tabApplications->cmdSaveDatabaseInfo);
        QCOMPARE(s.prompter.Last(), std::string("The database information has been saved."));
        QCOMPARE(config.Scalar("SELECT UserName || '|' || Password FROM Apps WHERE "
                               "App='/data/a.mdb'"),
                 std::string("ann|pw;1"));
        QCOMPARE(config.Scalar("SELECT UserName FROM Apps WHERE App='/d/z.mdb'"),
                 std::string("zed"));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Apps WHERE UserName IS NOT NULL"),
                 std::string("2"));
    }

    void CancelledDialogAddsNothing()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        s.form->tabApplications->cmdAdd->click();
        QCOMPARE(s.form->tabApplications->lstApplications->count(), 0);
        QVERIFY(s.prompter.shown.empty());
    }

    void UnusualPathsAreStoredAndListedExactly()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        const std::string odd =
            "/srv/it's \"quoted\" 100% _x_ Ünïcødé/" + std::string(300, 'n') + ".mdb";
        s.dialogs.openAnswers.push_back(odd);
        s.form->tabApplications->cmdAdd->click();
        QCOMPARE(s.form->tabApplications->lstApplications->count(), 1);
        QCOMPARE(s.form->tabApplications->lstApplications->item(0)->text().toStdString(), odd);
        QCOMPARE(config.Scalar("SELECT App FROM Apps"), odd);
    }

    void RemovesTheChosenLineAfterConfirming()
    {
        test::ConfigFixture config;
        config.AddApp("/d/a.mdb");
        config.AddApp("/d/b.mdb");
        config.AddApp("/d/c.mdb");
        Started s(config.ProgramFolder());
        s.form->tabApplications->lstApplications->setCurrentRow(1);

        s.prompter.confirmAnswers = {false};
        s.form->tabApplications->cmdRemove->click();
        QCOMPARE(s.prompter.shown.back().kind, std::string("Confirm"));
        QCOMPARE(s.prompter.Last(),
                 std::string("Are you sure you want to remove /d/b.mdb from the list ?"));
        QCOMPARE(s.prompter.shown.back().title, std::string("Remove Application"));
        QCOMPARE(s.form->tabApplications->lstApplications->count(), 3);

        s.prompter.confirmAnswers = {true};
        s.form->tabApplications->cmdRemove->click();
        QCOMPARE(Lines(s.form->tabApplications->lstApplications),
                 QStringList({"/d/a.mdb", "/d/c.mdb"}));
        QCOMPARE(s.form->tabMultiUser->lstMUAvailDBs->count(), 2);
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Apps WHERE App='/d/b.mdb'"), std::string("0"));
    }

    void RemoveOrSaveWithoutAChosenLineAsksForOne()
    {
        test::ConfigFixture config;
        Started empty(config.ProgramFolder());
        empty.form->tabApplications->cmdSaveDatabaseInfo->click();
        QCOMPARE(empty.prompter.Last(),
                 std::string("There are currently no applications available."));
        empty.form->close();

        config.AddApp("/d/a.mdb");
        Started s(config.ProgramFolder());
        s.form->tabApplications->lstApplications->setCurrentRow(-1);
        s.form->tabApplications->cmdRemove->click();
        QCOMPARE(s.prompter.Last(), std::string("Please select an application."));
        s.form->tabApplications->cmdSaveDatabaseInfo->click();
        QCOMPARE(s.prompter.Last(), std::string("Please select an application."));
        QCOMPARE(s.prompter.shown.size(), size_t(2));
    }

    void ChoosingShowsDetailsAndSavingWritesThem()
    {
        test::ConfigFixture config;
        config.AddApp("/d/a.mdb", "dbpw", "/sys/a.mdw", "ann", "secret", 1);
        const long b = config.AddApp("/d/b.mdb");
        config.Sql("UPDATE Apps SET UserName=NULL, Password=NULL WHERE App='/d/b.mdb'");
        Started s(config.ProgramFolder());

        // Start-up chose the first line and showed its details.
        QCOMPARE(s.form->tabApplications->txtPassword->text(), QStringLiteral("dbpw"));
        QCOMPARE(s.form->tabApplications->txtMDW->text(), QStringLiteral("/sys/a.mdw"));
        QVERIFY(s.form->tabApplications->chkDisconnect->isChecked());
        QCOMPARE(s.form->StatusPanel(2), std::string("/d/a.mdb"));

        s.form->tabApplications->lstApplications->setCurrentRow(1);
        QCOMPARE(s.form->tabApplications->txtUserName->text(), QString());
        QCOMPARE(s.form->tabApplications->txtPassword->text(), QString());
        QVERIFY(!s.form->tabApplications->chkDisconnect->isChecked());

        s.form->tabApplications->txtPassword->setText(QStringLiteral(" spaced pw "));
        s.form->tabApplications->txtMDW->setText(QStringLiteral("/sys/b's.mdw"));
        s.form->tabApplications->chkDisconnect->setChecked(true);
        s.form->tabApplications->cmdSaveDatabaseInfo->click();
        QCOMPARE(s.prompter.Last(), std::string("The database information has been saved."));
        const std::string where = " FROM Apps WHERE [App ID]=" + std::to_string(b);
        QCOMPARE(config.Scalar("SELECT Password" + where), std::string(" spaced pw "));
        QCOMPARE(config.Scalar("SELECT MDW" + where), std::string("/sys/b's.mdw"));
        QCOMPARE(config.Scalar("SELECT UserName" + where), std::string(""));
        QCOMPARE(config.Scalar("SELECT LogUsersOff" + where), std::string("1"));
        QCOMPARE(config.Scalar("SELECT App" + where), std::string("/d/b.mdb"));
    }

    void ImportsAnOlderApplicationList()
    {
        test::ConfigFixture config;
        config.AddApp("/d/existing.mdb");
        test::TempFolder elsewhere;
        const std::string old = OldConfiguration(elsewhere, {"/old/x.mdb", "/old/y.mdb"});
        Started s(config.ProgramFolder());

        s.dialogs.openAnswers = {old, old};
        s.form->mnuImport->trigger();
        QCOMPARE(s.dialogs.requests[0].fileName, std::string("Compact.mdb"));
        QCOMPARE(s.dialogs.requests[0].initialFolder, std::string("C:\\"));
        QVERIFY(s.dialogs.requests[0].cancelError);
        QCOMPARE(s.prompter.Last(), std::string("Applications have been successfully imported."));
        QCOMPARE(Lines(s.form->tabApplications->lstApplications),
                 QStringList({"/d/existing.mdb", "/old/x.mdb", "/old/y.mdb"}));
        QCOMPARE(config.Scalar("SELECT Password FROM Apps WHERE App='/old/x.mdb'"),
                 std::string("pw-/old/x.mdb"));
        // The disconnection flag is not taken over.
        QCOMPARE(config.Scalar("SELECT LogUsersOff FROM Apps WHERE App='/old/x.mdb'"),
                 std::string("0"));

        // No duplicate check: a second import lists everything twice.
        s.form->mnuImport->trigger();
        QCOMPARE(s.form->tabApplications->lstApplications->count(), 5);
        QCOMPARE(s.form->tabMultiUser->lstMUAvailDBs->count(), 5);
        // The source is closed again.
        QVERIFY(!fs::exists(elsewhere.File("Compact.ldb")));
    }

    void ImportCancelledOrEmptyOrBad()
    {
        test::ConfigFixture config;
        config.AddApp("/d/a.mdb");
        test::TempFolder elsewhere;
        Started s(config.ProgramFolder());

        s.form->mnuImport->trigger(); // cancelled: silent
        QVERIFY(s.prompter.shown.empty());

        s.dialogs.openAnswers = {OldConfiguration(elsewhere, {})};
        s.form->mnuImport->trigger();
        QCOMPARE(s.prompter.Last(), std::string("There are no records to import."));

        const std::string garbage = elsewhere.File("garbage.mdb");
        test::WriteFile(garbage, std::string(4096, '\x7f'));
        const std::string noApps = elsewhere.File("noapps.mdb");
        fs::copy_file(config.DatabasePath(), noApps);
        {
            sqlite3* db = nullptr;
            sqlite3_open(noApps.c_str(), &db);
            sqlite3_exec(db, "DROP TABLE Apps", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        const std::string truncated = elsewhere.File("truncated.mdb");
        fs::copy_file(OldConfiguration(elsewhere, {"/old/z.mdb"}), truncated);
        fs::resize_file(truncated, 2000);

        for (const std::string& bad : {garbage, noApps, truncated, elsewhere.File("missing.mdb")}) {
            const size_t before = s.prompter.shown.size();
            s.dialogs.openAnswers = {bad};
            s.form->mnuImport->trigger();
            QCOMPARE(s.prompter.shown.size(), before + 1);
            QVERIFY2(StartsWith(s.prompter.Last(), HandlerPrefix("mnuImport_Click")),
                     s.prompter.Last().c_str());
            QVERIFY(s.prompter.Last().size() > HandlerPrefix("mnuImport_Click").size());
            QCOMPARE(Lines(s.form->tabApplications->lstApplications), QStringList({"/d/a.mdb"}));
        }
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Apps"), std::string("1"));
    }

    void AFailedImportLeavesNothingPending()
    {
        test::ConfigFixture config;
        config.AddApp("/d/a.mdb");
        test::TempFolder elsewhere;
        // An older file whose Apps table lacks a column.
        const std::string old = OldConfiguration(elsewhere, {"/old/x.mdb"});
        {
            sqlite3* db = nullptr;
            sqlite3_open(old.c_str(), &db);
            sqlite3_exec(db, "ALTER TABLE Apps DROP COLUMN UserPassword", nullptr, nullptr,
                         nullptr);
            sqlite3_close(db);
        }
        Started s(config.ProgramFolder());
        s.dialogs.openAnswers = {old};
        test::ChooseMenu(s.form.get(), "mnuOptions", s.form->mnuImport);
        QCOMPARE(s.prompter.Last(),
                 test::HandlerError("mnuImport_Click",
                                    "Item cannot be found in the collection corresponding to the "
                                    "requested name or ordinal."));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Apps"), std::string("1"));
        QVERIFY(!fs::exists(elsewhere.File("Compact.ldb")));

        // The next Add writes its own row and nothing of the failed one.
        s.dialogs.openAnswers = {std::string("/d/new.mdb")};
        test::Click(s.form->tabApplications->cmdAdd);
        QCOMPARE(s.prompter.Last(), std::string("If needed, add security info and click the "
                                                "'Save Database Information' button."));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Apps"), std::string("2"));
        QCOMPARE(config.Scalar("SELECT quote(Password) || quote(UserName) || quote(MDW) FROM "
                               "Apps WHERE App='/d/new.mdb'"),
                 std::string("NULLNULLNULL"));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Apps WHERE UserName = 'user'"),
                 std::string("0"));
        QCOMPARE(Lines(s.form->tabApplications->lstApplications),
                 QStringList({"/d/a.mdb", "/d/new.mdb"}));
    }

    void RecordsThatFailToAddAreDroppedAndTheOnesBeforeStay()
    {
        test::ConfigFixture config;
        // Another program guards the table: no path holding "bad" may be written.
        config.Sql("CREATE TRIGGER NoBad BEFORE INSERT ON Apps WHEN NEW.App LIKE '%bad%' "
                   "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        test::TempFolder elsewhere;
        const std::string old =
            OldConfiguration(elsewhere, {"/old/1.mdb", "/old/2bad.mdb", "/old/3.mdb"});
        Started s(config.ProgramFolder());

        s.dialogs.openAnswers = {old};
        test::ChooseMenu(s.form.get(), "mnuOptions", s.form->mnuImport);
        QVERIFY2(StartsWith(s.prompter.Last(), HandlerPrefix("mnuImport_Click")),
                 s.prompter.Last().c_str());
        QCOMPARE(config.Scalar("SELECT group_concat(App, ' ') FROM Apps"),
                 std::string("/old/1.mdb"));

        s.dialogs.openAnswers = {std::string("/d\0ok.mdb\0bad.mdb", 17)};
        test::Click(s.form->tabApplications->cmdAdd);
        QVERIFY2(StartsWith(s.prompter.Last(), HandlerPrefix("cmdAdd_Click")),
                 s.prompter.Last().c_str());
        s.dialogs.openAnswers = {std::string("/d/next.mdb")};
        test::Click(s.form->tabApplications->cmdAdd);
        QCOMPARE(s.prompter.Last(), std::string("If needed, add security info and click the "
                                                "'Save Database Information' button."));
        QCOMPARE(config.Scalar("SELECT group_concat(App, ' ') FROM (SELECT App FROM Apps "
                               "ORDER BY App)"),
                 std::string("/d/next.mdb /d/ok.mdb /old/1.mdb"));
        QCOMPARE(Lines(s.form->tabApplications->lstApplications),
                 QStringList({"/d/next.mdb", "/d/ok.mdb", "/old/1.mdb"}));
    }

    void ImportsFromAPathHoldingSemicolonsAndQuotes()
    {
        test::ConfigFixture config;
        test::TempFolder elsewhere;
        const std::string folder = elsewhere.File("semi;colon 'q' \"d\"");
        fs::create_directories(folder);
        const std::string old = folder + "/Compact.mdb";
        fs::copy_file(OldConfiguration(elsewhere, {"/old/x.mdb"}), old);
        Started s(config.ProgramFolder());
        s.dialogs.openAnswers = {old};
        test::ChooseMenu(s.form.get(), "mnuOptions", s.form->mnuImport);
        QCOMPARE(s.prompter.Last(), std::string("Applications have been successfully imported."));
        QCOMPARE(Lines(s.form->tabApplications->lstApplications), QStringList({"/old/x.mdb"}));
    }

    void ClicksOnlyToggleCheckBoxesEvenAfterAGreyOne()
    {
        test::ConfigFixture config;
        config.AddApp("/d/a.mdb", "", "", "", "", 2);
        config.AddApp("/d/b.mdb", "", "", "", "", 0);
        config.Sql("UPDATE Schedule SET Enabled=2");
        Started s(config.ProgramFolder());
        auto* box = s.form->tabApplications->chkDisconnect;
        // A stored 2 shows grey.
        QCOMPARE(box->checkState(), Qt::PartiallyChecked);

        // Another database, unchecked: one click checks it, the next unchecks it, and so on.
        test::ClickLine(s.form->tabApplications->lstApplications, 1);
        QCOMPARE(box->checkState(), Qt::Unchecked);
        for (const Qt::CheckState expected : {Qt::Checked, Qt::Unchecked, Qt::Checked}) {
            test::Click(box);
            QCOMPARE(box->checkState(), expected);
        }
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        QCOMPARE(box->checkState(), Qt::Unchecked);
        test::Click(box);
        test::Click(s.form->tabApplications->cmdSaveDatabaseInfo);
        QCOMPARE(config.Scalar("SELECT LogUsersOff FROM Apps WHERE App='/d/b.mdb'"),
                 std::string("1"));

        // The grey one is checked by a click, and never grey again.
        test::ClickLine(s.form->tabApplications->lstApplications, 0);
        QCOMPARE(box->checkState(), Qt::PartiallyChecked);
        for (const Qt::CheckState expected : {Qt::Checked, Qt::Unchecked, Qt::Checked}) {
            test::Click(box);
            QCOMPARE(box->checkState(), expected);
        }

        test::ClickTab(s.form->SSTab1, 1);
        QCOMPARE(s.form->tabSchedule->chkEnabled->checkState(), Qt::PartiallyChecked);
        for (const Qt::CheckState expected : {Qt::Checked, Qt::Unchecked}) {
            test::Click(s.form->tabSchedule->chkEnabled);
            QCOMPARE(s.form->tabSchedule->chkEnabled->checkState(), expected);
        }
        test::Click(s.form->tabSchedule->cmdSaveSchedule);
        QCOMPARE(config.Scalar("SELECT Enabled FROM Schedule"), std::string("0"));
    }

    void BrowseButtonsFillTheirBoxes()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        s.dialogs.openAnswers = {std::string("/sys/secured.mdw")};
        s.form->tabApplications->cmdBrowseSystemFile->click();
        QCOMPARE(s.form->tabApplications->txtMDW->text(), QStringLiteral("/sys/secured.mdw"));
        QCOMPARE(s.dialogs.requests[0].filter, std::string("System Files (*.MDW)|*.mdw"));
        QVERIFY(!s.dialogs.requests[0].multiSelect);

        s.form->tabSchedule->cmdBrowseBackUpLoc->click(); // cancelled
        QCOMPARE(s.form->tabSchedule->txtBack->text(), QString());
        s.dialogs.folderAnswers = {"/backups/nightly"};
        s.form->tabSchedule->cmdBrowseBackUpLoc->click();
        QCOMPARE(s.dialogs.folderTitles.back(),
                 std::string("What folder you want to back up to ?"));
        QCOMPARE(s.form->tabSchedule->txtBack->text(), QStringLiteral("/backups/nightly"));
        QVERIFY(s.prompter.shown.empty());
        // The folder reaches the file with the schedule.
        s.form->tabSchedule->cmdSaveSchedule->click();
        QCOMPARE(config.Scalar("SELECT Backup FROM Schedule"), std::string("/backups/nightly"));
    }

    void SaveToAReadOnlyDatabaseReportsTheEngineError()
    {
        test::ConfigFixture config;
        config.AddApp("/d/a.mdb");
        Immutable readOnly(config.DatabasePath());
        if (!readOnly.Applied())
            QSKIP("this file system or user cannot make a file immutable");
        Started s(config.ProgramFolder());
        QVERIFY2(s.prompter.shown.empty(), s.prompter.Last().c_str());
        QCOMPARE(s.form->tabApplications->lstApplications->count(), 1);
        s.form->tabSchedule->weekdayBoxes[1]->setText(QStringLiteral("1:00 AM"));
        s.form->tabSchedule->cmdSaveSchedule->click();
        QVERIFY2(StartsWith(s.prompter.Last(), HandlerPrefix("cmdSaveSchedule_Click")),
                 s.prompter.Last().c_str());
        s.form->tabApplications->cmdSaveDatabaseInfo->click();
        QVERIFY2(StartsWith(s.prompter.Last(), HandlerPrefix("cmdSaveDatabaseInfo_Click")),
                 s.prompter.Last().c_str());
        s.form->close();
        QCOMPARE(config.Scalar("SELECT Tuesday FROM Schedule"), std::string(""));
    }

    void ImportOfALockedFileLeavesTheListAsItWas()
    {
        test::ConfigFixture config;
        config.AddApp("/d/a.mdb");
        test::TempFolder elsewhere;
        const std::string old = OldConfiguration(elsewhere, {"/old/x.mdb"});
        sqlite3* other = nullptr;
        sqlite3_open(old.c_str(), &other);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        Started s(config.ProgramFolder());
        s.dialogs.openAnswers = {old};
        s.form->mnuImport->trigger();
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY2(StartsWith(s.prompter.Last(), HandlerPrefix("mnuImport_Click")),
                 s.prompter.Last().c_str());
        QCOMPARE(Lines(s.form->tabApplications->lstApplications), QStringList({"/d/a.mdb"}));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Apps"), std::string("1"));
    }
};

static test::RegisterTests<ApplicationsTabTest> registered;
#include "ApplicationsTabTest.moc"
