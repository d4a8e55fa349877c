// SPDX-License-Identifier: GPL-3.0-or-later
// The card painted into its back buffer at the window's own size and at the
// sizes a full-screen card takes (a paint follows every answer), in the classic
// and the dark colours, and the button found for a click at those sizes.
// The offscreen platform unless the caller chose another.
#include "core/layout/CardLayout.h"
#include "ui/window/MainWindowPainter.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace lexipond {
namespace {

void PaintCard(benchmark::State& state) {
    const QSize size(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    MainWindowPainter painter;
    LookSettings look;
    look.scheme = state.range(2) != 0 ? ColourScheme::Dark : ColourScheme::Classic;
    painter.SetLook(look);
    PaintSnapshot snapshot;
    snapshot.word = QStringLiteral("because");
    snapshot.userName = QStringLiteral("Ann");
    snapshot.userTotal = snapshot.sessionTotal = snapshot.wordTotal = 9;
    painter.SetSnapshot(snapshot);
    painter.Resize(size);
    QImage window(size, QImage::Format_RGB32);
    const QString words[2] = {QStringLiteral("because"), QStringLiteral("little")};
    unsigned paints = 0;
    for (auto _ : state) {
        // A new word each time, as after an answer: the fitting runs too.
        snapshot.word = words[paints++ & 1];
        painter.SetSnapshot(snapshot);
        QPainter target(&window);
        painter.Paint(target);
        benchmark::DoNotOptimize(window.constBits());
    }
}
BENCHMARK(PaintCard)
    ->ArgNames({"width", "height", "dark"})
    ->Args({604, 316, 0})
    ->Args({1280, 720, 0})
    ->Args({1920, 1080, 0})
    ->Args({3840, 2160, 0})
    ->Args({1920, 1080, 1})
    ->Unit(benchmark::kMillisecond);

void ButtonUnderClick(benchmark::State& state) {
    const CardScale fit = FitCard(1920, 1080);
    int x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ButtonAt(fit, x, 900));
        x = (x + 7) % 1920;
    }
}
BENCHMARK(ButtonUnderClick);

} // namespace
} // namespace lexipond

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
