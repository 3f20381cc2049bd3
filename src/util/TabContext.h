#pragma once

#include "util/Work.h"

#include <QStringList>

#include <functional>
#include <string>

class QWidget;

namespace mallow::multiuser {
class MultiUser;
}

namespace mallow {

class Clock;
class Compact;
class ConfigDatabase;
class FileDialogs;
class Prompter;
class StatusPanels;

/// What the main window shares with its tab pages. The window makes one and hands it to every
/// page at construction; a page keeps a reference to it and reaches nothing else of the window.
struct TabContext
{
    Prompter& prompter;
    FileDialogs& dialogs;
    const Clock& clock;
    /// Panels 1 to 5 of the status bar.
    StatusPanels& status;
    /// Panel 1 back to "Waiting...", panels 2 and 3 empty.
    std::function<void()> ResetStatusPanels = [] {};
    /// The main window: its pointer turns to the hourglass while a command works.
    QWidget& window;
    /// The configuration database's connection and row sets, open from start-up to unload.
    ConfigDatabase& config;
    /// Compacting and backing up one database; reports into `status` and `LastResultText`.
    Compact& compact;
    /// Where Compact20.mdb, Mallow.ico and the help pages lie.
    std::string programFolder;
    /// Program-wide values: the stop flag of a maintenance pass, and the outcome text of the
    /// last compaction or back-up.
    bool& ContinueRun;
    std::string& LastResultText;
    /// Who has a database open on its server, their messages and disconnection.
    multiuser::MultiUser& users;

    /// What a command on one page does to the controls of another. The main window links each
    /// to the page that holds the control; left unlinked, it does nothing.
    struct Links
    {
        /// FillList appended these lines to lstApplications: the Multi-User tab lists them too.
        std::function<void(const QStringList& paths)> ApplicationsListed = [](const QStringList&) {
        };
        /// lstApplications was emptied before it is filled again.
        std::function<void()> ApplicationListCleared = [] {};
        /// The back-up folder as the Schedule tab's txtBack holds it now, saved or not.
        std::function<std::string()> BackUpFolder = [] { return std::string(); };
        /// Empties the Results tab's rtfSummary.
        std::function<void()> ClearSummary = [] {};
        /// Runs the maintenance pass over every application, backing up when asked.
        std::function<void(bool backUp)> RunMaintenance = [](bool) {};
        /// The window was closed while a command worked: it closes once the command is done,
        /// and the command shows no more boxes.
        std::function<bool()> Closing = [] { return false; };
    } links;

    /// Where long work runs: off the window's thread in the window.
    WorkRunner* work = &InlineRunner();
};

} // namespace mallow
