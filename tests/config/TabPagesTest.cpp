// The Applications page on its own, with a context of the test's making: what it does to the
// rest of the window goes only through the context it was handed.

#include "config/ApplicationsTab.h"
#include "multiuser/MultiUser.h"
#include "net/NetServices.h"
#include "config/ConfigDatabase.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/ManagedDatabase.h"
#include "fixtures/TestFileDialogs.h"
#include "fixtures/TestPrompter.h"
#include "maintenance/Compact.h"
#include "util/Clock.h"
#include "util/Dates.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <map>
#include <string>
#include <vector>

using namespace mallow;

namespace {

struct RecordedStatus : StatusPanels
{
    void SetStatusPanel(int index, const std::string& text) override { panels[index] = text; }
    std::map<int, std::string> panels;
};

/// Everything a page is handed, with every link recording what it was asked to do.
struct LonePage
{
    explicit LonePage(const std::string& programFolder)
    {
        config.Open(programFolder);
        context.links.ApplicationsListed = [this](const QStringList& paths) {
            links.push_back("listed " + paths.join(QLatin1Char(',')).toStdString());
        };
        context.links.ApplicationListCleared = [this] { links.push_back("cleared"); };
        context.links.BackUpFolder = [this] { return backUpFolder; };
        context.links.ClearSummary = [this] { links.push_back("summary cleared"); };
        context.ResetStatusPanels = [this] { links.push_back("status reset"); };
    }

    test::TestPrompter prompter;
    test::TestFileDialogs dialogs;
    FixedClock clock{dates::ToAutomationDate({2026, 12, 8, 10, 30, 0})};
    RecordedStatus status;
    QWidget window;
    ConfigDatabase config;
    bool continueRun = false;
    std::string lastResultText;
    Compact compact{config, clock, status, lastResultText};
    std::string backUpFolder;
    std::vector<std::string> links;
    multiuser::MultiUser users{multiuser::DefaultMultiUserServices(net::DefaultNetServices())};
    TabContext context{.prompter = prompter,
                       .dialogs = dialogs,
                       .clock = clock,
                       .status = status,
                       .window = window,
                       .config = config,
                       .compact = compact,
                       .programFolder = {},
                       .ContinueRun = continueRun,
                       .LastResultText = lastResultText,
                       .users = users,
                       .links = {}};
};

} // namespace

class TabPagesTest : public QObject
{
    Q_OBJECT

private slots:
    void OtherListsFollowTheApplicationListThroughTheLinks()
    {
        test::ConfigFixture config;
        config.AddApp("/d/b.mdb");
        config.AddApp("/d/a.mdb");
        LonePage lone(config.ProgramFolder());
        ApplicationsTab page(lone.context);

        page.LoadList();
        QCOMPARE(lone.links, std::vector<std::string>({"listed /d/a.mdb,/d/b.mdb"}));
        QCOMPARE(page.lstApplications->currentRow(), 0);
        QCOMPARE(lone.status.panels[2], std::string("/d/a.mdb"));

        // Every refill empties the other lists first, then hands them the whole list again.
        lone.links.clear();
        lone.dialogs.openAnswers = {std::string("/d/c.mdb")};
        page.cmdAdd->click();
        QCOMPARE(lone.links,
                 std::vector<std::string>({"cleared", "listed /d/a.mdb,/d/b.mdb,/d/c.mdb"}));
        QCOMPARE(lone.status.panels[2], std::string("/d/c.mdb"));

        lone.links.clear();
        page.lstApplications->setCurrentRow(0);
        page.cmdRemove->click();
        QCOMPARE(lone.links, std::vector<std::string>({"cleared", "listed /d/b.mdb,/d/c.mdb"}));

        // A page whose links were never made still works on its own list.
        LonePage unlinked(config.ProgramFolder());
        unlinked.context.links = {};
        ApplicationsTab alone(unlinked.context);
        alone.LoadList();
        QCOMPARE(alone.lstApplications->count(), 2);
    }

    void CommandsUseTheLinkedFolderSummaryStatusAndPointer()
    {
        test::ConfigFixture config;
        test::TempFolder data;
        test::TempFolder backups;
        const std::string path = data.File("sales.mdb");
        test::MakeManagedDatabase(path, 20, true);
        config.AddApp(path);
        LonePage lone(config.ProgramFolder());
        ApplicationsTab page(lone.context);
        page.LoadList();

        // No folder on the Schedule tab: nothing is backed up, the summary stays.
        lone.links.clear();
        page.cmdBackup->click();
        QCOMPARE(lone.prompter.Last(),
                 std::string("Please fill in a back up directory (on the Schedule tab)."));
        QVERIFY(lone.links.empty());

        lone.backUpFolder = backups.Path();
        page.cmdBackup->click();
        QVERIFY2(lone.prompter.Last().find("sales.mdb back up was successful.") !=
                     std::string::npos,
                 lone.prompter.Last().c_str());
        QCOMPARE(lone.lastResultText, lone.prompter.Last());
        QCOMPARE(lone.links, std::vector<std::string>({"summary cleared"}));
        QCOMPARE(lone.status.panels[1], std::string("Waiting ..."));

        // The hourglass is the window's while the database is compacted, never the page's.
        bool windowBusy = false;
        bool pageBusy = false;
        lone.compact.OnStep = [&](const char*) {
            windowBusy = windowBusy || lone.window.cursor().shape() == Qt::WaitCursor;
            pageBusy = pageBusy || page.testAttribute(Qt::WA_SetCursor);
        };
        lone.links.clear();
        page.cmdCompactCurrent->click();
        QVERIFY2(lone.prompter.Last().find("compact was successful.") != std::string::npos,
                 lone.prompter.Last().c_str());
        QVERIFY(windowBusy);
        QVERIFY(!pageBusy);
        QVERIFY(lone.window.cursor().shape() != Qt::WaitCursor);
        QCOMPARE(lone.links, std::vector<std::string>({"summary cleared", "status reset"}));
        QCOMPARE(lone.status.panels[3], std::string("1 of 1"));
    }
};

QTEST_MAIN(TabPagesTest)
#include "TabPagesTest.moc"
