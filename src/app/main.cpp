// SPDX-License-Identifier: GPL-3.0-or-later
// Lexipond: a sight-word tutor for one adult and a young reader.
#include "LexipondVersion.h"
#include "core/platform/Folders.h"
#include "ui/common/Translations.h"
#include "ui/window/MainWindow.h"
#include "ui/window/Program.h"
#include "ui/window/TerminationSignals.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace {

constexpr char kHelp[] =
    "Usage: lexipond [--help | --version]\n"
    "A sight-word tutor: shows one word in large type; the adult beside the reader\n"
    "answers Correct, Incorrect or Skip. Everything else is in the menu that opens\n"
    "with a right click on the window.\n"
    "\n"
    "The learners' data (LPDB.lbf, dLexipond.dat and their \" Bak\" copies) lives in\n"
    "$XDG_DATA_HOME/Hollet/Lexipond/ (~/.local/share/Hollet/Lexipond/ by default).\n"
    "\n"
    "  --help     shows this text\n"
    "  --version  shows the version\n";

// The two informational options are answered before any window exists, so
// they work without a display; anything else is left to Qt's own options.
int AnswerInformationalOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("lexipond " LEXIPOND_VERSION "\n", stdout);
            return 0;
        }
    }
    return -1;
}

// The program whose run an exit() from below must save; null outside the run.
lexipond::Program* exitSaver = nullptr;

// Every exit() from below that we know of is an end without a display (Qt's
// xcb plugin and Xlib both say 1). After the save nothing is left to do: what
// would follow is the teardown of a toolkit whose windows were never
// destroyed, with its connection gone, so the run ends here.
extern "C" void SaveBeforeExit() {
    if (!exitSaver)
        return;
    std::exchange(exitSaver, nullptr)->SaveBeforeExit();
    std::fflush(nullptr);
    _exit(EXIT_FAILURE);
}

} // namespace

int main(int argc, char* argv[]) {
    if (const int answered = AnswerInformationalOption(argc, argv); answered >= 0)
        return answered;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexipond"));
    QApplication::setApplicationVersion(QStringLiteral(LEXIPOND_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.hollet.Lexipond"));
    // Only the main window's destruction ends the run (not a closed prompt).
    QApplication::setQuitOnLastWindowClosed(false);
    lexipond::InstallTranslations(application);

    lexipond::Program program(lexipond::platform::ExecutableFolder());
    // A logout, a kill or a closed terminal saves without any question; the
    // handlers are in place before any file is touched, prompts of the start
    // included (the program decides what an end means while it starts).
    lexipond::TerminationSignals terminations;
    QObject::connect(&terminations, &lexipond::TerminationSignals::terminationRequested,
                     &application, [&program] { program.RequestEnd(); });
    if (!program.Start())
        return 0;
    if (program.EndPending()) {
        program.EndOfSession();
        return 0;
    }
    QObject::connect(program.Window(), &lexipond::MainWindow::windowDestroyed, &application,
                     &QCoreApplication::quit, Qt::QueuedConnection);
    // The session manager asks for a save at any time, not only at a logout (a
    // real logout follows with SIGTERM or SIGHUP): save and go on.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &application,
                     [&program](QSessionManager&) { program.SaveDuringSession(); });
    // Qt ends the process with exit() when the display is gone (a killed X
    // server, xkill, a dropped ssh -X): that saves too.
    exitSaver = &program;
    std::atexit(SaveBeforeExit);

    QApplication::exec();
    program.Finish();
    exitSaver = nullptr;
    return 0;
}
