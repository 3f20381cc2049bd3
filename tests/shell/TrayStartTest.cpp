// Start-up on a desktop that has a notification area: the case where hiding the window would
// seem safe, but no icon of Mallow's exists there to bring it back.

#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"

#include <QSystemTrayIcon>
#include <QTest>

using namespace mallow;

class TrayStartTest : public QObject
{
    Q_OBJECT

private slots:
    void MinimizeOnStartupNeverHidesTheWindow()
    {
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 15000);
        test::ConfigFixture config;
        config.Sql("UPDATE Schedule SET MinimizeAtStartup=1");
        test::StartedForm s(config.ProgramFolder());
        QVERIFY(s.prompter.shown.empty());
        QVERIFY(s.form->mnuMinimizeStartup->isChecked());
        QVERIFY(s.form->isVisible());
        QVERIFY(s.form->isMinimized());
        QVERIFY(!s.form->isHidden());

        // Restored from the taskbar, it is the whole window.
        s.form->showNormal();
        QTRY_VERIFY(!s.form->isMinimized());
        QTRY_VERIFY(s.form->windowHandle()->isExposed());
    }
};

QTEST_MAIN(TrayStartTest)
#include "TrayStartTest.moc"
