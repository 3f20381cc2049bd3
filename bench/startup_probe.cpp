// One start of a program to its window shown, for timing whole processes:
//   startup_probe mallow PROGRAM_FOLDER   the main window on that folder's Compact20.mdb
//   startup_probe empty                   an empty Qt main window
// Exits 0 once the window is on screen, 1 when it never shows or start-up reported an error.

#include "fixtures/TestFileDialogs.h"
#include "fixtures/TestPrompter.h"
#include "shell/frmMain.h"
#include "util/Clock.h"

#include <QApplication>
#include <QMainWindow>
#include <QTest>

#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "mallow") == 0) {
        mallow::test::TestPrompter prompter;
        mallow::test::TestFileDialogs dialogs;
        mallow::SystemClock clock;
        mallow::frmMain window({&prompter, &clock, &dialogs, argv[2]});
        window.Start();
        return QTest::qWaitForWindowExposed(&window) && prompter.shown.empty() ? 0 : 1;
    }
    QMainWindow window;
    window.show();
    return QTest::qWaitForWindowExposed(&window) ? 0 : 1;
}
