#pragma once

#include "config/ApplicationsTab.h"
#include "config/ScheduleTab.h"
#include "fixtures/TestFileDialogs.h"
#include "fixtures/TestPrompter.h"
#include "multiuser/MultiUserTab.h"
#include "reports/ResultsTab.h"
#include "shell/frmMain.h"
#include "util/Clock.h"
#include "util/Dates.h"

#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

namespace mallow::test {

/// Tuesday, 8 December 2026, 10:30:00.
inline const double FixedNow = dates::ToAutomationDate({2026, 12, 8, 10, 30, 0});

/// A main window started on a program folder, with prompts and dialogs a test answers.
struct StartedForm
{
    TestPrompter prompter;
    TestFileDialogs dialogs;
    FixedClock clock{FixedNow};
    std::unique_ptr<frmMain> form;

    /// `inTray`: the window is told that its tray icon stands in a notification area.
    explicit StartedForm(const std::string& programFolder,
                         const platform::VersionSource* version = nullptr, bool inTray = false)
    {
        ShellServices services{&prompter, &clock, &dialogs, programFolder, version};
        if (inTray)
            services.trayHost = [] { return true; };
        form = std::make_unique<frmMain>(std::move(services));
        form->Start();
    }
    template <typename W> W* Find(const char* name) const
    {
        return form->findChild<W*>(QLatin1String(name));
    }
};

/// Clicks the middle of a control with the mouse, as a user does; a check box on its box.
inline void Click(QWidget* widget)
{
    QPoint at = widget->rect().center();
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        at = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
    }
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
}

/// Brings a tab page to the front by clicking its tab.
inline void ClickTab(QTabWidget* tabs, int index)
{
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
}

/// Clicks one line of a list.
inline void ClickLine(QListWidget* list, int row)
{
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(row)).center());
}

/// Opens a menu of the menu bar with the mouse and clicks one of its entries.
inline void ChooseMenu(QMainWindow* window, const char* menuName, QAction* entry)
{
    auto* menu = window->findChild<QMenu*>(QLatin1String(menuName));
    QVERIFY(menu);
    QMenuBar* bar = window->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                      bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(entry).center());
    QTRY_VERIFY(!menu->isVisible());
}

/// The first line of the report a handler shows for an error, with its line break.
inline std::string HandlerPrefix(const char* name)
{
    return std::string("An error has occured in module '") + name + "'.\r\n";
}

inline bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

/// The report a handler shows for an error: "An error has occured in module 'name'." and the
/// error's description on the next line.
inline std::string HandlerError(const char* name, const std::string& description)
{
    return std::string("An error has occured in module '") + name + "'.\r\n" + description;
}

/// The test classes of this program register themselves; main runs them all.
std::vector<std::function<QObject*()>>& TestClasses();

template <typename T> struct RegisterTests
{
    RegisterTests()
    {
        TestClasses().push_back([] { return new T; });
    }
};

} // namespace mallow::test
