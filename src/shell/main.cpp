#include "shell/QtFileDialogs.h"
#include "shell/QtPrompter.h"
#include "shell/frmMain.h"
#include "util/Clock.h"
#include "util/Paths.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mallow"));

    mallow::SystemClock clock;
    mallow::QtPrompter prompter;
    mallow::QtFileDialogs dialogs;
    mallow::ShellServices services{&prompter, &clock, &dialogs, mallow::ProgramFolder()};
    services.stateFolder = mallow::StateFolder();
    mallow::frmMain window(std::move(services));
    prompter.SetOwner(&window);
    dialogs.SetOwner(&window);
    window.Start();
    return QApplication::exec();
}
