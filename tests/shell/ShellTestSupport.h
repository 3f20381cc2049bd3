#pragma once

#include "fixtures/TestFileDialogs.h"
#include "fixtures/TestPrompter.h"
#include "shell/frmMain.h"
#include "util/Clock.h"
#include "util/Dates.h"

#include <QObject>

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

    explicit StartedForm(const std::string& programFolder,
                         const platform::VersionSource* version = nullptr)
    {
        form = std::make_unique<frmMain>(
            ShellServices{&prompter, &clock, &dialogs, programFolder, version});
        form->Start();
    }
    template <typename W> W* Find(const char* name) const
    {
        return form->findChild<W*>(QLatin1String(name));
    }
};

/// The test classes of this program register themselves; main runs them all.
std::vector<std::function<QObject*()>>& TestClasses();

template <typename T> struct RegisterTests
{
    RegisterTests() { TestClasses().push_back([] { return new T; }); }
};

} // namespace mallow::test
