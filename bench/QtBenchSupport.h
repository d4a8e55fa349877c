#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// main() of the benchmarks that run the window layer: off screen (unless the
// caller chose a platform), with a private runtime folder inside the run's
// scratch folder, one QApplication for every benchmark of the program.
#include "BenchSupport.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

namespace lexipond::bench {

inline int RunOffscreenQtBenchmarks(int argc, char** argv) {
    // The offscreen platform says at every dialog what it cannot do; not news here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtWarningMsg || !text.contains(QStringLiteral("does not support")))
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::filesystem::path runtime = BenchFolder() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace lexipond::bench
