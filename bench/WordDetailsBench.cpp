// SPDX-License-Identifier: GPL-3.0-or-later
// The Word Details dialog with large word lists, through the running program
// (window, worker, the offscreen platform unless the caller chose another):
// - Edit to the dialog's first paint;
// - the Delete prompt's Yes to the dialog painted again with the list refilled;
// - how long an answer click made 20 ms after the dialog closed waits, after
//   the dialog renamed the word on show, added a word or deleted one.
// The databases hold sorted words written straight into the file, so that a
// million-word fixture takes a second or two to make.
#include "QtBenchSupport.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFormat.h"
#include "core/settings/SettingsFile.h"
#include "core/text/LittleEndian.h"
#include "core/tutor/Commands.h"
#include "core/tutor/WordStore.h"
#include "core/words/WordDatabase.h"
#include "ui/window/MainWindow.h"
#include "ui/window/Program.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace lexipond;
using Clock = std::chrono::steady_clock;

namespace {

// A program folder with a settings file (no welcome) and `words` sorted words
// ("w0000000" ...), most with tallies; made once per size.
const std::string& ProgramFolder(int words) {
    static std::map<int, std::string> made;
    if (auto found = made.find(words); found != made.end())
        return found->second;
    const std::string folder =
        (bench::BenchFolder() / ("program-" + std::to_string(words))).string() + "/";
    fs::create_directories(folder);
    SettingsBlock settings{};
    ApplyDefaultSettings(settings);
    settings.windowPlacement = WindowPlacement{44, 0, 1, -1, -1, -1, -1, 50, 50, 654, 366};
    SaveSettingsFile(settings, folder);

    const std::string path = folder + kWordDatabaseName;
    RecordFile db;
    db.fileName = path;
    CreateWordDatabase(db);
    const uint32_t area = db.recordAreaOffset, size = db.recordSize;
    std::vector<uint32_t> at; // each field's offset inside a slot
    for (const FieldLayout& field : db.fields)
        at.push_back(field.offset - area);
    CloseRecordFile(db);

    std::string head(area, '\0');
    std::ifstream(path, std::ios::binary).read(head.data(), area);
    const uint32_t capacity = words + std::max(words / 16, 10);
    StoreLE32(reinterpret_cast<uint8_t*>(head.data()) + recordformat::kCapacityOffset, capacity);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(head.data(), head.size());
    std::vector<uint8_t> chunk;
    for (uint32_t first = 0; first < capacity; first += 4096) {
        const uint32_t count = std::min<uint32_t>(4096, capacity - first);
        chunk.assign(size_t{count} * size, 0);
        for (uint32_t i = 0; i < count && first + i < uint32_t(words); ++i) {
            const uint32_t n = first + i;
            uint8_t* slot = chunk.data() + size_t{i} * size;
            StoreLE32(slot, RecordLive);
            std::snprintf(reinterpret_cast<char*>(slot + at[kFieldWord - 1]), 16, "w%07u", n);
            for (uint32_t field = 3; field <= 12; ++field)
                StoreLE32(slot + at[field - 1], n % 8 != 0 ? n % 7 : 0);
        }
        out.write(reinterpret_cast<const char*>(chunk.data()), std::streamsize(chunk.size()));
    }
    out.close();
    // A database that has sat on the disk a while: none of its pages is still
    // being written back when the program starts changing them.
    ::sync();
    return made.emplace(words, folder).first->second;
}

// Calls the handler at the first paint of the Word Details dialog that it
// allows, once the paint is done (from the event loop, so inside the dialog's
// modal loop).
class PaintWatch final : public QObject {
  public:
    std::function<bool(QWidget* dialog)> when; // which paint counts
    std::function<void(QWidget* dialog)> then;

    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Paint || !then)
            return false;
        auto* widget = qobject_cast<QWidget*>(object);
        QWidget* dialog = widget ? widget->window() : nullptr;
        if (!dialog || dialog->objectName() != QStringLiteral("wordDetails") ||
            (when && !when(dialog)))
            return false;
        auto handler = std::move(then);
        then = nullptr;
        when = nullptr;
        QTimer::singleShot(0, dialog, [handler, dialog] { handler(dialog); });
        return false;
    }
};

// A running program on a word database, its first word painted and its
// worker's check of the word order done.
struct Running {
    explicit Running(int words) : program(ProgramFolder(words)) {
        program.instanceWait = std::chrono::milliseconds(0);
        started = program.Start();
        if (!started)
            return;
        window = program.Window();
        bool painted = false;
        window->onWordPainted = [&painted] { painted = true; };
        Pump([&] { return painted && OrderKnown(); });
        window->onWordPainted = nullptr;
        qApp->installEventFilter(&watch);
    }
    ~Running() {
        qApp->removeEventFilter(&watch);
        if (started) {
            program.EndOfSession();
            QApplication::processEvents();
        }
    }
    Tutor& Core() { return program.Store().Core(); }
    bool OrderKnown() {
        std::lock_guard<std::recursive_mutex> guard(Core().lock);
        return Core().state.wordOrder.known != WordOrderKnown::Unknown;
    }
    bool Idle() { return Core().state.workerRequest.load() == RequestIdle; }
    static bool Pump(const std::function<bool()>& done) {
        const auto deadline = Clock::now() + std::chrono::seconds(300);
        while (!done()) {
            if (Clock::now() > deadline)
                return false;
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }
    // Opens the dialog on the word on show; `inside` runs once it has painted.
    void Edit(std::function<void(QDialog* dialog)> inside) {
        watch.then = [inside](QWidget* dialog) { inside(static_cast<QDialog*>(dialog)); };
        window->OnCommand(CMD_EDIT_WORD);
    }
    // Answers the next Delete prompt with Yes, noting when.
    static void AnswerYes(Clock::time_point& answered) {
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [poll, &answered] {
            auto* prompt = QApplication::activeModalWidget();
            auto* yes =
                prompt ? prompt->findChild<QPushButton*>(QStringLiteral("firstButton")) : nullptr;
            if (!yes)
                return;
            poll->stop();
            poll->deleteLater();
            answered = Clock::now();
            yes->click();
        });
        poll->start(1);
    }
    static void Click(QDialog* dialog, const char* button) {
        dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    }

    Program program;
    MainWindow* window = nullptr;
    bool started = false;
    PaintWatch watch;
};

void BM_WordDetailsOpenToFirstPaint(benchmark::State& state) {
    Running run(static_cast<int>(state.range(0)));
    if (!run.started || !run.OrderKnown()) {
        state.SkipWithError("the program did not start");
        return;
    }
    for (auto _ : state) {
        Clock::time_point painted{};
        const auto start = Clock::now();
        run.Edit([&painted](QDialog* dialog) {
            painted = Clock::now();
            dialog->reject();
        });
        if (!Running::Pump([&] { return painted != Clock::time_point{} && run.Idle(); })) {
            state.SkipWithError("the dialog did not paint");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(painted - start).count());
    }
    state.counters["words"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_WordDetailsOpenToFirstPaint)
    ->Arg(315)
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WordDetailsOpenToFirstPaint)
    ->Arg(100000)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WordDetailsOpenToFirstPaint)
    ->Arg(1000000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_DeleteToUsableDialog(benchmark::State& state) {
    Running run(static_cast<int>(state.range(0)));
    if (!run.started) {
        state.SkipWithError("the program did not start");
        return;
    }
    for (auto _ : state) {
        Clock::time_point answered{}, usable{};
        run.Edit([&](QDialog* dialog) {
            auto* box = dialog->findChild<QComboBox*>(QStringLiteral("wordBox"));
            const int before = box->count();
            // Usable again: painted with the list filled anew.
            run.watch.when = [box, before](QWidget*) { return box->count() == before - 1; };
            run.watch.then = [&usable](QWidget* shown) {
                usable = Clock::now();
                static_cast<QDialog*>(shown)->reject();
            };
            Running::AnswerYes(answered);
            Running::Click(dialog, "deleteButton");
        });
        if (!Running::Pump([&] { return usable != Clock::time_point{} && run.Idle(); })) {
            state.SkipWithError("the delete did not finish");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(usable - answered).count());
    }
    state.counters["words"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_DeleteToUsableDialog)
    ->Arg(100000)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

enum Change { Rename, Add, Delete };

// The dialog makes one change and closes with OK; 20 ms later a Correct click
// arrives. The time is that of the click (its wait for the lock included).
void BM_ClickAfterDialog(benchmark::State& state) {
    Running run(static_cast<int>(state.range(0)));
    if (!run.started) {
        state.SkipWithError("the program did not start");
        return;
    }
    const auto change = static_cast<Change>(state.range(1));
    int round = 0;
    double longest = 0;
    for (auto _ : state) {
        Clock::time_point closed{}, answered{};
        run.Edit([&](QDialog* dialog) {
            if (change == Rename) {
                // The word on show moves to the front: everything before it shifts.
                dialog->findChild<QComboBox*>(QStringLiteral("wordBox"))
                    ->lineEdit()
                    ->setText(QStringLiteral("a renamed %1").arg(round));
            } else if (change == Add) {
                Running::Click(dialog, "newButton");
            } else {
                Running::AnswerYes(answered);
                Running::Click(dialog, "deleteButton");
            }
            Running::Click(dialog, "okButton");
            closed = Clock::now();
        });
        if (!Running::Pump([&] { return closed != Clock::time_point{}; })) {
            state.SkipWithError("the dialog did not close");
            break;
        }
        const auto clickAt = closed + std::chrono::milliseconds(20);
        Running::Pump([&] { return Clock::now() >= clickAt; });
        const QPointF at(85, 285);
        QMouseEvent press(QEvent::MouseButtonPress, at, run.window->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, run.window->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        const auto start = Clock::now();
        QApplication::sendEvent(run.window, &press);
        QApplication::sendEvent(run.window, &release);
        const double took = std::chrono::duration<double>(Clock::now() - start).count();
        longest = std::max(longest, took);
        state.SetIterationTime(took);
        Running::Pump([&] { return run.Idle(); });
        ++round;
    }
    state.counters["words"] = static_cast<double>(state.range(0));
    state.counters["longest_ms"] = longest * 1000;
    state.SetLabel(change == Rename ? "rename" : change == Add ? "add" : "delete");
}
BENCHMARK(BM_ClickAfterDialog)
    ->Args({100000, Rename})
    ->Args({100000, Add})
    ->Args({100000, Delete})
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClickAfterDialog)
    ->Args({1000000, Rename})
    ->Args({1000000, Add})
    ->Args({1000000, Delete})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return bench::RunOffscreenQtBenchmarks(argc, argv);
}
