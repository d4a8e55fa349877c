// SPDX-License-Identifier: GPL-3.0-or-later
// The Progress window over 100,000 answers (a year of one learner's answers,
// ending today, so the first view's four weeks hold some): from the command to
// the window painted with its chart and lists, and a change of learner or range
// to the figures shown again. On the offscreen platform unless the caller
// chose another.
#include "HistoryBenchSupport.h"
#include "QtBenchSupport.h"
#include "core/history/AnswerHistory.h"
#include "core/platform/Random.h"
#include "core/recordfile/RecordFile.h"
#include "core/settings/SettingsFile.h"
#include "core/tutor/WordStore.h"
#include "core/words/WordDatabase.h"
#include "ui/common/AppContext.h"
#include "ui/progress/ProgressWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;
using namespace lexipond;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kAnswers = 100'000;
constexpr int kWords = 300;

struct NoWindow final : WindowPort {
    void Invalidate() override {}
    void PostCommand(int) override {}
    void PostClose() override {}
};

// A data folder with an empty word database and a year of answers ending now.
struct World {
    World() {
        fs::create_directories(folder);
        db.fileName = folder + kWordDatabaseName;
        CreateWordDatabase(db);
        ApplyDefaultSettings(settings);
        AnswerHistory history;
        history.Start(folder);
        const int64_t now = QDateTime::currentSecsSinceEpoch();
        const int32_t offset = QDateTime::currentDateTime().offsetFromUtc() / 60;
        uint32_t random = 1;
        for (int i = 0; i < kAnswers; ++i) {
            const HistoryRow row = bench::YearAnswer(i, kAnswers, kWords,
                                                     now - bench::kYearSeconds, offset, random);
            history.Append(row);
        }
        history.Close();
        written = history.Committed() == kAnswers;
    }
    ~World() { CloseRecordFile(db); }

    std::string folder = (bench::BenchFolder() / "progress").string() + "/";
    RecordFile db;
    SettingsBlock settings{};
    TutorState state;
    platform::SystemRandomSource random;
    NoWindow window;
    WordStore store{db, settings, state, random, window};
    AppContext app{store, settings, folder, folder};
    bool written = false;
};

World& TheWorld() {
    static World* world = new World; // kept to the end: the window may outlive a run
    return *world;
}

// The command to the window painted with its figures.
void BM_OpenProgressWindow(benchmark::State& state) {
    World& world = TheWorld();
    if (!world.written) {
        state.SkipWithError("the history was not written whole");
        return;
    }
    for (auto _ : state) {
        const auto start = Clock::now();
        OpenProgressWindow(world.app, nullptr);
        QDialog* window = world.app.progress;
        window->repaint();
        for (QWidget* child : window->findChildren<QWidget*>())
            child->repaint();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        // The figures must be the year's, not a window that found no history.
        auto* needsWork = window->findChild<QTreeWidget*>(QStringLiteral("needsWork"));
        const int shown = needsWork ? needsWork->topLevelItemCount() : 0;
        if (shown == 0) {
            auto* status = window->findChild<QLabel*>(QStringLiteral("status"));
            std::fprintf(stderr, "status: %s\n", status ? qPrintable(status->text()) : "-");
            state.SkipWithError("the window showed no figures");
            return;
        }
        delete window;
        state.counters["words_needing_work"] = shown;
    }
}
BENCHMARK(BM_OpenProgressWindow)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

// Another learner chosen, and back: the figures read and shown again.
void BM_SwitchLearner(benchmark::State& state) {
    World& world = TheWorld();
    OpenProgressWindow(world.app, nullptr);
    QDialog* window = world.app.progress;
    auto* learner = window->findChild<QComboBox*>(QStringLiteral("learner"));
    int choice = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        learner->setCurrentIndex(choice ^= 1);
        window->repaint();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    delete window;
}
BENCHMARK(BM_SwitchLearner)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return bench::RunOffscreenQtBenchmarks(argc, argv);
}
