// Lexipond: a sight-word tutor for one adult and a young reader.
#include "core/platform/Folders.h"
#include "ui/window/MainWindow.h"
#include "ui/window/Program.h"
#include "ui/window/TerminationSignals.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexipond"));
    QApplication::setApplicationVersion(QStringLiteral("1.9"));
    QApplication::setDesktopFileName(QStringLiteral("lexipond"));
    // Only the main window's destruction ends the run (not a closed prompt).
    QApplication::setQuitOnLastWindowClosed(false);

    lexipond::Program program(lexipond::platform::ExecutableFolder());
    if (!program.Start())
        return 0;
    QObject::connect(program.Window(), &lexipond::MainWindow::windowDestroyed, &application,
                     &QCoreApplication::quit, Qt::QueuedConnection);

    // A logout, a kill or a closed terminal saves without any question.
    lexipond::TerminationSignals terminations;
    QObject::connect(&terminations, &lexipond::TerminationSignals::terminationRequested,
                     &application, [&program] { program.EndOfSession(); });
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &application,
                     [&program](QSessionManager&) { program.EndOfSession(); });

    QApplication::exec();
    program.Finish();
    return 0;
}
