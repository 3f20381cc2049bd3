// The tray icon on a desktop that has a notification area (an X server of its own with a tray
// host), clicked through the X server as a user clicks it.

#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"
#include "shell/APIStuff.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWindow>

using namespace mallow;

namespace {

/// Where the icon stands once the tray host has taken it in and shows it.
QPoint IconCentre(const frmMain& form)
{
    auto docked = [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (QByteArray(widget->metaObject()->className()) == "QSystemTrayIconSys")
                return widget->isVisible() && widget->windowHandle() &&
                       widget->windowHandle()->isExposed();
        return false;
    };
    [&] { QTRY_VERIFY_WITH_TIMEOUT(docked(), 10000); }();
    return form.tray->Icon()->geometry().center();
}

/// Moves the pointer to `at` and clicks `button` (1 left, 3 right) through the X server.
void ClickAt(const QPoint& at, int button)
{
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                               {QStringLiteral("mousemove"), QString::number(at.x()),
                                QString::number(at.y()), QStringLiteral("click"),
                                QString::number(button)}),
             0);
}

/// Opens the tray menu with a right click on the icon and clicks `item`.
void ChooseFromIcon(frmMain& form, QAction* item)
{
    ClickAt(IconCentre(form), 3);
    QTRY_VERIFY(form.mnuTray->isVisible());
    QTRY_VERIFY(form.mnuTray->windowHandle() && form.mnuTray->windowHandle()->isExposed());
    ClickAt(form.mnuTray->mapToGlobal(form.mnuTray->actionGeometry(item).center()), 1);
    QTRY_VERIFY(!form.mnuTray->isVisible());
}

} // namespace

class TrayStartTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 15000);
    }

    void MinimizeOnStartupHidesBehindTheIconThatBringsTheWindowBack()
    {
        test::ConfigFixture config;
        config.Sql("UPDATE Schedule SET MinimizeAtStartup=1");
        test::StartedForm s(config.ProgramFolder());
        QVERIFY(s.prompter.shown.empty());
        QVERIFY(s.form->mnuMinimizeStartup->isChecked());
        QVERIFY(s.form->tray->InTray());
        QVERIFY(s.form->isHidden());
        QCOMPARE(s.form->tray->Icon()->toolTip(), QStringLiteral("Mallow V 2.1"));

        ClickAt(IconCentre(*s.form), 1);
        QTRY_VERIFY(s.form->isVisible());
        QVERIFY(!s.form->isMinimized());
        QTRY_VERIFY(s.form->windowHandle()->isExposed());
    }

    void ALeftClickShowsAHiddenMaximizedWindowMaximized()
    {
        test::ConfigFixture config;
        test::StartedForm s(config.ProgramFolder());
        QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));
        ChooseFromIcon(*s.form, s.form->mnuTrayMaximize);
        QVERIFY(s.form->isMaximized());

        // The title bar's minimize, as the window's event filter hands it on.
        QCOMPARE(s.form->tray->TrayWindowProc(msg::WM_SYSCOMMAND, msg::SC_MINIMIZE, 0), 0L);
        QVERIFY(s.form->isHidden());
        QTRY_VERIFY(!s.form->windowHandle()->isExposed());

        ClickAt(IconCentre(*s.form), 1);
        QTRY_VERIFY(s.form->isVisible());
        QVERIFY(s.form->isMaximized());
        QTRY_VERIFY(s.form->windowHandle()->isExposed());
    }

    void MaximizeFromTheTrayMenuShowsAHiddenWindow()
    {
        test::ConfigFixture config;
        config.Sql("UPDATE Schedule SET MinimizeAtStartup=1");
        test::StartedForm s(config.ProgramFolder());
        QVERIFY(s.form->isHidden());
        QVERIFY(s.form->mnuTrayRestore->isEnabled());
        QVERIFY(!s.form->mnuTrayMove->isEnabled());
        QVERIFY(!s.form->mnuTrayMinimize->isEnabled());

        ChooseFromIcon(*s.form, s.form->mnuTrayMaximize);
        QTRY_VERIFY(s.form->isVisible());
        QVERIFY(s.form->isMaximized());
        QTRY_VERIFY(s.form->windowHandle()->isExposed());

        // Close from the tray menu ends it, icon and all.
        ChooseFromIcon(*s.form, s.form->mnuTrayClose);
        QVERIFY(!s.form->isVisible());
        QVERIFY(!s.form->tray->Icon());
    }
};

QTEST_MAIN(TrayStartTest)
#include "TrayStartTest.moc"
