// The tray icon's window procedure, the tray menu and the window's states, driven as the user
// and the window manager drive them. Offscreen there is no notification area; where a test
// needs one, the window is told that its icon stands in one.

#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"
#include "shell/APIStuff.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace mallow;

namespace {

using test::StartedForm;

/// A main window whose tray icon stands in a notification area.
struct TrayForm : StartedForm
{
    explicit TrayForm(const std::string& programFolder) : StartedForm(programFolder, nullptr, true)
    {
    }
};

long Send(frmMain& form, unsigned message, long wParam, long lParam)
{
    return form.tray->TrayWindowProc(message, wParam, lParam);
}

/// The window manager minimizes the window, as the title bar's button does, and tells Qt.
void TitleBarMinimize(frmMain& form)
{
    form.windowHandle()->setWindowState(Qt::WindowMinimized);
}

/// A right click on the icon opens the tray menu; one of its items is clicked.
void ChooseTrayItem(frmMain& form, QAction* item)
{
    QCOMPARE(Send(form, msg::TrayCallback, 0, msg::WM_RBUTTONUP), 0L);
    QTRY_VERIFY(form.mnuTray->isVisible());
    QTest::mouseClick(form.mnuTray, Qt::LeftButton, Qt::NoModifier,
                      form.mnuTray->actionGeometry(item).center());
    QTRY_VERIFY(!form.mnuTray->isVisible());
}

QString EnabledItems(const frmMain& form)
{
    QString items;
    for (QAction* a : {form.mnuTrayRestore, form.mnuTrayMove, form.mnuTraySize,
                       form.mnuTrayMinimize, form.mnuTrayMaximize, form.mnuTrayClose})
        items += a->isEnabled() ? a->objectName().mid(7) + " " : QString();
    return items.trimmed();
}

} // namespace

class TrayTest : public QObject
{
    Q_OBJECT

private slots:
    void TrayMenuAndRecord()
    {
        test::ConfigFixture config;
        StartedForm s(config.ProgramFolder());
        QMenu* menu = s.form->mnuTray;
        QStringList captions;
        for (QAction* a : menu->actions())
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(captions.join('|'),
                 QStringLiteral("&Restore|&Move|&Size|Mi&nimize|Ma&ximize|-|&Close"));
        QCOMPARE(s.form->mnuTraySep, menu->actions().at(5));

        // The enabling table; a state that is none of the three changes nothing.
        s.form->SetTrayMenuItems(1);
        QCOMPARE(EnabledItems(*s.form), QStringLiteral("Restore Maximize Close"));
        s.form->SetTrayMenuItems(2);
        QCOMPARE(EnabledItems(*s.form), QStringLiteral("Restore Minimize Close"));
        s.form->SetTrayMenuItems(3);
        QCOMPARE(EnabledItems(*s.form), QStringLiteral("Restore Minimize Close"));
        s.form->SetTrayMenuItems(0);
        QCOMPARE(EnabledItems(*s.form), QStringLiteral("Move Size Minimize Maximize Close"));

        // The record: callback 2025, and the tip as the text, a NUL and blanks to 64.
        const auto& record = s.form->tray->Record();
        QCOMPARE(record.cbSize, 88u);
        QCOMPARE(record.uCallbackMessage, 2025u);
        QCOMPARE(record.uFlags, 4u);
        const std::string tip(record.szTip.data(), record.szTip.size());
        QCOMPARE(tip, std::string("Mallow V 2.1") + '\0' + std::string(51, ' '));
        QCOMPARE(s.form->tray->Icon()->toolTip(), QStringLiteral("Mallow V 2.1"));
        s.form->tray->SetTrayTip(std::string(80, 'x'));
        QCOMPARE(std::string(s.form->tray->Record().szTip.data(), 64), std::string(63, 'x') + '\0');
        QVERIFY(!s.form->tray->Icon()->icon().isNull());
    }

    void TitleBarMinimizeHidesAndTheIconBringsTheWindowBackAsItWas()
    {
        test::ConfigFixture config;
        TrayForm s(config.ProgramFolder());
        frmMain& form = *s.form;
        QCOMPARE(form.LastState, 0);

        // Maximized from the tray menu, then minimized from the title bar: into the tray.
        ChooseTrayItem(form, form.mnuTrayMaximize);
        QVERIFY(form.isMaximized());
        QCOMPARE(form.LastState, 2);
        TitleBarMinimize(form);
        QTRY_VERIFY(form.isHidden());
        QCOMPARE(EnabledItems(form), QStringLiteral("Restore Maximize Close"));
        QCOMPARE(form.LastState, 2);

        // Other mouse events of the icon do nothing of their own.
        Send(form, msg::TrayCallback, 0, msg::WM_MOUSEMOVE);
        Send(form, msg::TrayCallback, 0, msg::WM_LBUTTONDBLCLK);
        QVERIFY(form.isHidden());

        // A left click shows it maximized, as it was.
        QCOMPARE(Send(form, msg::TrayCallback, 0, msg::WM_LBUTTONUP), 0L);
        QVERIFY(form.isVisible());
        QVERIFY(form.isMaximized());
        QVERIFY(!form.isMinimized());
        QTRY_COMPARE(form.windowHandle()->windowState(), Qt::WindowMaximized);
        QCOMPARE(EnabledItems(form), QStringLiteral("Restore Minimize Close"));

        // Restore from the tray menu of the window hidden again: back, maximized.
        TitleBarMinimize(form);
        QTRY_VERIFY(form.isHidden());
        ChooseTrayItem(form, form.mnuTrayRestore);
        QVERIFY(form.isVisible());
        QVERIFY(form.isMaximized());
        QCOMPARE(EnabledItems(form), QStringLiteral("Restore Minimize Close"));

        // Restore of the visible maximized window is the window's own: normal size.
        ChooseTrayItem(form, form.mnuTrayRestore);
        QVERIFY(!form.isMaximized());
        QCOMPARE(form.LastState, 0);
        QCOMPARE(EnabledItems(form), QStringLiteral("Move Size Minimize Maximize Close"));

        // Hidden while normal, the click shows it normal.
        TitleBarMinimize(form);
        QTRY_VERIFY(form.isHidden());
        Send(form, msg::TrayCallback, 0, msg::WM_LBUTTONUP);
        QVERIFY(form.isVisible());
        QCOMPARE(form.WindowState(), 0);
    }

    void MaximizeFromTheTrayMenuShowsAHiddenWindow()
    {
        test::ConfigFixture config;
        TrayForm s(config.ProgramFolder());
        TitleBarMinimize(*s.form);
        QTRY_VERIFY(s.form->isHidden());
        ChooseTrayItem(*s.form, s.form->mnuTrayMaximize);
        QVERIFY(s.form->isVisible());
        QVERIFY(s.form->isMaximized());
        QVERIFY(!s.form->isMinimized());
        QCOMPARE(s.form->LastState, 2);
    }

    void TheMenusMinimizeGoesToTheTaskbar()
    {
        // Even with a notification area, the tray menu's Minimize does not hide the window.
        test::ConfigFixture config;
        TrayForm s(config.ProgramFolder());
        ChooseTrayItem(*s.form, s.form->mnuTrayMinimize);
        QVERIFY(s.form->isMinimized());
        QVERIFY(s.form->isVisible());
        QCOMPARE(EnabledItems(*s.form), QStringLiteral("Restore Maximize Close"));
        QCOMPARE(s.form->LastState, 0);
        ChooseTrayItem(*s.form, s.form->mnuTrayRestore);
        QVERIFY(!s.form->isMinimized());
        QVERIFY(s.form->isVisible());
    }

    void WithoutANotificationAreaMinimizingNeverHides()
    {
        test::ConfigFixture config;
        StartedForm s(config.ProgramFolder());
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        TitleBarMinimize(*s.form);
        QTRY_VERIFY(s.form->isMinimized());
        QVERIFY(s.form->isVisible());
        QCOMPARE(Send(*s.form, msg::WM_SYSCOMMAND, msg::SC_MINIMIZE, 0), 0L);
        QVERIFY(s.form->isVisible());
        QCOMPARE(EnabledItems(*s.form), QStringLiteral("Restore Maximize Close"));
        ChooseTrayItem(*s.form, s.form->mnuTrayRestore);
        QVERIFY(!s.form->isMinimized());
        QVERIFY(s.form->isVisible());
    }

    void MoveAndSizeWithTheKeyboard()
    {
        test::ConfigFixture config;
        TrayForm s(config.ProgramFolder());
        frmMain& form = *s.form;
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QRect before = form.geometry();
        QWidget* focus = form.tabApplications->lstApplications;
        focus->setFocus();

        ChooseTrayItem(form, form.mnuTrayMove);
        QTest::keyClick(focus, Qt::Key_Right);
        QTest::keyClick(focus, Qt::Key_Right);
        QTest::keyClick(focus, Qt::Key_Down);
        QTest::keyClick(focus, Qt::Key_Return);
        QTRY_COMPARE(form.geometry().topLeft(), before.topLeft() + QPoint(16, 8));
        QCOMPARE(form.size(), before.size());
        // The keys went to the mode, not to the list; the mode is over.
        QTest::keyClick(focus, Qt::Key_Right);
        QCOMPARE(form.geometry().topLeft(), before.topLeft() + QPoint(16, 8));

        const QRect moved = form.geometry();
        ChooseTrayItem(form, form.mnuTraySize);
        QTest::keyClick(focus, Qt::Key_Left);
        QTest::keyClick(focus, Qt::Key_Up);
        QTRY_COMPARE(form.size(), moved.size() - QSize(8, 8));
        QTest::keyClick(focus, Qt::Key_Escape);
        QTRY_COMPARE(form.geometry(), moved);

        // Move and size are for the normal window only.
        ChooseTrayItem(form, form.mnuTrayMaximize);
        QVERIFY(!form.mnuTrayMove->isEnabled());
        QCOMPARE(Send(form, msg::WM_SYSCOMMAND, msg::SC_MOVE, 0), 0L);
        QTest::keyClick(focus, Qt::Key_Right);
        QVERIFY(form.isMaximized());
    }

    void CloseFromTheTrayUnloadsAHiddenWindow()
    {
        test::ConfigFixture config;
        TrayForm s(config.ProgramFolder());
        TitleBarMinimize(*s.form);
        QTRY_VERIFY(s.form->isHidden());
        ChooseTrayItem(*s.form, s.form->mnuTrayClose);
        QVERIFY(!s.form->tray->Icon());
        QVERIFY(!s.form->Config.ScheduleRecordset->IsOpen());
        QVERIFY(s.prompter.shown.empty());
    }

    void MinimizeOnStartupHidesOnlyBehindAnIcon()
    {
        test::ConfigFixture config;
        config.Sql("UPDATE Schedule SET MinimizeAtStartup=1");
        {
            TrayForm s(config.ProgramFolder());
            QVERIFY(s.form->isHidden());
            QVERIFY(!s.form->isMinimized());
            QCOMPARE(EnabledItems(*s.form), QStringLiteral("Restore Maximize Close"));
            Send(*s.form, msg::TrayCallback, 0, msg::WM_LBUTTONUP);
            QVERIFY(s.form->isVisible());
            QCOMPARE(s.form->WindowState(), 0);
        }
        // Without a notification area it starts minimized on the taskbar.
        StartedForm s(config.ProgramFolder());
        QVERIFY(s.form->isVisible());
        QVERIFY(s.form->isMinimized());
    }
};

static test::RegisterTests<TrayTest> registered;
#include "TrayTest.moc"
