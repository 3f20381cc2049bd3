// The Options menu's start-up switches, the help window and the About box, chosen from the
// menus as a user does.

#include "ShellTestSupport.h"
#include "TempRegistry.h"
#include "fixtures/ConfigFixture.h"
#include "shell/frmAbout.h"
#include "shell/frmHelp.h"
#include "util/Paths.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>

#include <filesystem>
#include <functional>

using namespace mallow;
namespace fs = std::filesystem;

namespace {

using test::StartedForm;

const char* const RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

/// Opens the About box from the Help menu and runs `inside` while it is up; fails, rather than
/// hangs, when the box does not come up or stays open.
void WithAbout(StartedForm& s, const std::function<void(frmAbout&)>& inside)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* about = s.form->findChild<frmAbout*>(QStringLiteral("frmAbout"));
        if (!about)
            return;
        QTRY_VERIFY(about->isVisible());
        ran = true;
        inside(*about);
    });
    // Whatever happens inside, the box goes away in the end.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (auto* about = s.form->findChild<frmAbout*>(QStringLiteral("frmAbout")))
            about->reject();
    });
    guard.start(20000);
    test::ChooseMenu(s.form.get(), "mnuHelp", s.form->mnuAboutMallow);
    QVERIFY(ran);
    QVERIFY(guard.isActive());
    QVERIFY(!s.form->findChild<frmAbout*>(QStringLiteral("frmAbout")));
}

/// Clicks the link to `href` in the page the help window shows.
void ClickLink(QTextBrowser* browser, const QString& href)
{
    QTextDocument* document = browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().anchorHref() != href)
                continue;
            QTextCursor cursor(document);
            cursor.setPosition(fragment.position() + 1);
            browser->ensureCursorVisible();
            browser->setTextCursor(cursor);
            browser->ensureCursorVisible();
            const QPoint at = browser->cursorRect(cursor).center();
            QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            return;
        }
    }
    QFAIL(qPrintable("no link to " + href));
}

QString PageName(const QTextBrowser* browser)
{
    return browser->source().fileName();
}

} // namespace

class OptionsHelpTest : public QObject
{
    Q_OBJECT

private slots:
    void RunAtStartupWritesAndRemovesTheAutostartEntry()
    {
        test::TempRegistry registry;
        test::ConfigFixture config;
        StartedForm s(config.ProgramFolder());
        const std::string entry = registry.AutostartFolder() + "/Mallow.desktop";
        const std::string program = config.ProgramFolder() + "/mallow";

        test::ChooseMenu(s.form.get(), "mnuOptions", s.form->mnuRunStartup);
        QVERIFY2(s.prompter.shown.empty(), s.prompter.Last().c_str());
        QVERIFY(s.form->mnuRunStartup->isChecked());
        QCOMPARE(config.Scalar("SELECT RunAtStartup FROM Schedule"), std::string("1"));
        QCOMPARE(test::ReadFile(entry), registry::AutostartEntry("Mallow", program));
        QVERIFY(test::ReadFile(entry).find("\nExec=\"" + program + "\"\n") != std::string::npos);
        QCOMPARE(registry::GetRegValueByEnum(registry::HKEY_LOCAL_MACHINE, RunKey, "Mallow"),
                 program);
        QCOMPARE(QProcess::execute(QStringLiteral("desktop-file-validate"),
                                   {QString::fromStdString(entry)}),
                 0);
        // The window itself stays as it is.
        QVERIFY(s.form->isVisible());

        test::ChooseMenu(s.form.get(), "mnuOptions", s.form->mnuRunStartup);
        QVERIFY(!s.form->mnuRunStartup->isChecked());
        QCOMPARE(config.Scalar("SELECT RunAtStartup FROM Schedule"), std::string("0"));
        QVERIFY(!fs::exists(entry));
        QVERIFY(fs::is_directory(registry.AutostartFolder()));
        QCOMPARE(registry::GetRegValueByEnum(registry::HKEY_LOCAL_MACHINE, RunKey, "Mallow"),
                 std::string());
        QVERIFY(s.prompter.shown.empty());
        s.form->close();

        // Checked with no entry to remove: only the flag changes. The next start shows the
        // stored flag.
        config.Sql("UPDATE Schedule SET RunAtStartup=1");
        StartedForm again(config.ProgramFolder());
        QVERIFY(again.form->mnuRunStartup->isChecked());
        test::ChooseMenu(again.form.get(), "mnuOptions", again.form->mnuRunStartup);
        QVERIFY(again.prompter.shown.empty());
        QVERIFY(!again.form->mnuRunStartup->isChecked());
        QCOMPARE(config.Scalar("SELECT RunAtStartup FROM Schedule"), std::string("0"));
        QVERIFY(!fs::exists(entry));
    }

    void MinimizeOnStartupIsStoredForTheNextStart()
    {
        test::ConfigFixture config;
        StartedForm s(config.ProgramFolder());
        test::ChooseMenu(s.form.get(), "mnuOptions", s.form->mnuMinimizeStartup);
        QVERIFY(s.form->mnuMinimizeStartup->isChecked());
        QCOMPARE(config.Scalar("SELECT MinimizeAtStartup FROM Schedule"), std::string("1"));
        QVERIFY(s.form->isVisible());
        QVERIFY(!s.form->isMinimized());
        test::ChooseMenu(s.form.get(), "mnuOptions", s.form->mnuMinimizeStartup);
        QVERIFY(!s.form->mnuMinimizeStartup->isChecked());
        QCOMPARE(config.Scalar("SELECT MinimizeAtStartup FROM Schedule"), std::string("0"));
        QVERIFY(s.prompter.shown.empty());
    }

    void StartupSwitchesReportAClosedDatabaseAndKeepTheirMarks()
    {
        test::TempRegistry registry;
        test::TempFolder folder;
        StartedForm s(folder.Path());
        s.prompter.shown.clear();
        const std::string closed = "Operation is not allowed when the object is closed.";
        for (int round = 0; round < 2; ++round) {
            test::ChooseMenu(s.form.get(), "mnuOptions", s.form->mnuRunStartup);
            QCOMPARE(s.prompter.Last(), test::HandlerError("mnuRunStartup_Click", closed));
            QVERIFY(!s.form->mnuRunStartup->isChecked());
            test::ChooseMenu(s.form.get(), "mnuOptions", s.form->mnuMinimizeStartup);
            QCOMPARE(s.prompter.Last(), test::HandlerError("mnuMinimizeStartup_Click", closed));
            QVERIFY(!s.form->mnuMinimizeStartup->isChecked());
        }
        QVERIFY(!fs::exists(registry.AutostartFolder()));
    }

    void HelpOpensWithContentsAndItsLinksWork()
    {
        test::ConfigFixture config;
        fs::copy(std::string(MALLOW_PROGRAM_DIR) + "/help", config.ProgramFolder() + "/help",
                 fs::copy_options::recursive);
        StartedForm s(config.ProgramFolder());
        QCOMPARE(s.form->HelpFile, config.ProgramFolder() + "/help/index.html");

        QWidget* focus = s.form->tabApplications->lstApplications;
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_F1);
        auto* help = s.form->findChild<frmHelp*>(QStringLiteral("frmHelp"));
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        QVERIFY(s.prompter.shown.empty());
        QCOMPARE(help->windowTitle(), QStringLiteral("Mallow Help"));
        QCOMPARE(PageName(help->txtPage), QStringLiteral("index.html"));
        QVERIFY(help->txtPage->toPlainText().contains(QStringLiteral("Contents")));

        // The contents: the contents page, then every page it links to.
        QStringList contents;
        for (int row = 0; row < help->lstContents->count(); ++row)
            contents << help->lstContents->item(row)->text();
        QCOMPARE(contents.size(), 8);
        QCOMPARE(contents.first(), QStringLiteral("Mallow Help"));
        QCOMPARE(contents.at(1), QStringLiteral("The Applications tab"));
        QVERIFY(contents.contains(QStringLiteral("Network set-up")));
        QCOMPARE(help->lstContents->currentRow(), 0);

        // A link of the page, then back and forward.
        QVERIFY(QTest::qWaitForWindowExposed(help));
        ClickLink(help->txtPage, QStringLiteral("schedule.html"));
        QTRY_COMPARE(PageName(help->txtPage), QStringLiteral("schedule.html"));
        QVERIFY(help->txtPage->toPlainText().contains(QStringLiteral("Run Now")));
        QCOMPARE(help->lstContents->currentItem()->text(), QStringLiteral("The Schedule tab"));
        QVERIFY(help->cmdBack->isEnabled());
        QVERIFY(!help->cmdForward->isEnabled());
        test::Click(help->cmdBack);
        QCOMPARE(PageName(help->txtPage), QStringLiteral("index.html"));
        QVERIFY(help->cmdForward->isEnabled());
        test::Click(help->cmdForward);
        QCOMPARE(PageName(help->txtPage), QStringLiteral("schedule.html"));

        // A line of the contents, and a link back to the contents from that page.
        test::ClickLine(help->lstContents, 4);
        QCOMPARE(PageName(help->txtPage), QStringLiteral("multiuser.html"));
        ClickLink(help->txtPage, QStringLiteral("index.html"));
        QTRY_COMPARE(PageName(help->txtPage), QStringLiteral("index.html"));

        // The Help menu sends F1: the same window, at its contents.
        ClickLink(help->txtPage, QStringLiteral("options.html"));
        QTRY_COMPARE(PageName(help->txtPage), QStringLiteral("options.html"));
        help->close();
        test::ChooseMenu(s.form.get(), "mnuHelp", s.form->mnuMallowHelp);
        QTRY_VERIFY(help->isVisible());
        QCOMPARE(PageName(help->txtPage), QStringLiteral("index.html"));
        QCOMPARE(s.form->findChildren<frmHelp*>().size(), 1);
        QVERIFY(s.prompter.shown.empty());

        // Unloading the window closes its help.
        s.form->close();
        QVERIFY(!help->isVisible());
    }

    void MissingHelpIsReported()
    {
        test::ConfigFixture config;
        StartedForm s(config.ProgramFolder());
        for (int round = 0; round < 2; ++round) {
            test::ChooseMenu(s.form.get(), "mnuHelp", s.form->mnuMallowHelp);
            QTRY_COMPARE(s.prompter.shown.size(), size_t(round + 1));
            QCOMPARE(s.prompter.Last(),
                     test::HandlerError("ShowHelp", "The help file " + config.ProgramFolder() +
                                                        "/help/index.html cannot be found."));
        }
        QVERIFY(!s.form->findChild<frmHelp*>());
    }

    void AboutShowsTheProgramAndStartsTheSystemInformationTool()
    {
        test::TempRegistry registry;
        test::ConfigFixture config;
        fs::copy_file(std::string(MALLOW_PROGRAM_DIR) + "/Mallow.ico",
                      config.ProgramFolder() + "/Mallow.ico");
        StartedForm s(config.ProgramFolder());
        const char* infoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
        const char* locationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
        // A folder and a program whose names a shell would split and run.
        const std::string tools = registry.folder.File("system tools; $(touch x)");
        const std::string pathTool = tools + "/it's info";
        test::TempRegistry::MakeRecorder(pathTool);

        WithAbout(s, [&](frmAbout& about) {
            QCOMPARE(about.windowTitle(), QStringLiteral("About Mallow"));
            QCOMPARE(about.lblVersion->text(), QStringLiteral("Version 2.1.0"));
            QCOMPARE(about.lblTitle->text(), QStringLiteral("Mallow"));
            QCOMPARE(about.cmdSysInfo->text(), QStringLiteral("&System Info..."));
            QCOMPARE(about.cmdOK->text(), QStringLiteral("OK"));
            QVERIFY(!about.picIcon->pixmap().isNull());
            QVERIFY(about.isModal());

            // Nothing named: said, and the next click says it again.
            test::Click(about.cmdSysInfo);
            QCOMPARE(s.prompter.Last(),
                     std::string("System Information Is Unavailable At This Time"));
            // A location whose folder lacks the program is no tool either.
            registry.Set(locationKey, "MSINFO", tools);
            s.prompter.shown.clear();
            test::Click(about.cmdSysInfo);
            QCOMPARE(s.prompter.Last(),
                     std::string("System Information Is Unavailable At This Time"));

            // The location's folder with the program in it.
            test::TempRegistry::MakeRecorder(tools + "/MSINFO32.EXE");
            s.prompter.shown.clear();
            test::Click(about.cmdSysInfo);
            QCOMPARE(test::TempRegistry::RecordedArguments(tools + "/MSINFO32.EXE"), std::string());
            QVERIFY(fs::exists(tools + "/MSINFO32.EXE.args"));

            // The tool's own path comes first; it is started as one program, whatever its name.
            registry.Set(infoKey, "PATH", pathTool);
            test::Click(about.cmdSysInfo);
            QCOMPARE(test::TempRegistry::RecordedArguments(pathTool), std::string());
            QVERIFY(fs::exists(pathTool + ".args"));
            QVERIFY(!fs::exists(registry.folder.File("x")));
            QVERIFY(s.prompter.shown.empty());

            // A path that names no program is the handler's error.
            registry.Set(infoKey, "PATH", tools + "/gone");
            test::Click(about.cmdSysInfo);
            QVERIFY2(test::StartsWith(s.prompter.Last(), test::HandlerPrefix("cmdSysInfo_Click")),
                     s.prompter.Last().c_str());
            QVERIFY(about.isVisible());
            test::Click(about.cmdOK);
        });
        QVERIFY(s.form->isVisible());
    }
};

static test::RegisterTests<OptionsHelpTest> registered;
#include "OptionsHelpTest.moc"
