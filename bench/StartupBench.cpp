// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own speed as the user sees it: from process start to the first
// painted word, and from a Correct click to the next word painted, with small
// and large word databases.
//
// The first-word figure runs this executable again as a child ("--first-word
// <folder>"): the child does what main() does and ends the moment the first
// word has been painted, so the time covers process start, loading Qt, the
// settings and the database, the window and the worker's first choice.
#include "QtBenchSupport.h"
#include "core/platform/Folders.h"
#include "core/recordfile/RecordFile.h"
#include "core/settings/SettingsFile.h"
#include "core/tutor/WordStore.h"
#include "core/words/WordDatabase.h"
#include "ui/common/AppContext.h"
#include "ui/speech/WordListener.h"
#include "ui/window/ListeningMode.h"
#include "ui/window/MainWindow.h"
#include "ui/window/Program.h"
#if LEXIPOND_WITH_SPEECH
#include "core/speech/Synthesizer.h"
#endif

#include <QApplication>
#include <QMouseEvent>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace lexipond;

namespace {

std::string selfPath;

// A program folder with a settings file (no welcome) and a database of `words`
// sorted words, made once per size and reused.
const std::string& ProgramFolder(int words) {
    static std::map<int, std::string> made;
    auto found = made.find(words);
    if (found != made.end())
        return found->second;
    std::string folder =
        (fs::temp_directory_path() /
         ("lexipond-startup-bench-" + std::to_string(getpid()) + "-" + std::to_string(words)))
            .string() +
        "/";
    fs::create_directories(folder);
    SettingsBlock settings{};
    ApplyDefaultSettings(settings);
    settings.windowPlacement = WindowPlacement{44, 0, 1, -1, -1, -1, -1, 50, 50, 654, 366};
    SaveSettingsFile(settings, folder);
    RecordFile db;
    db.fileName = folder + kWordDatabaseName;
    CreateWordDatabase(db);
    for (int i = 0; i < words; ++i) {
        const int32_t slot = AddRecord(db);
        char word[16];
        std::snprintf(word, sizeof word, "w%07d", i);
        WriteText(db, slot, kFieldWord, word);
        for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
            WriteNumber(db, slot, field, (field >= 3 && i % 8 != 0) ? i % 7 : 0);
        WriteText(db, slot, kFieldNotes, "");
    }
    CloseRecordFile(db);
    return made.emplace(words, folder).first->second;
}

void CleanUp() {
    for (int words : {315, 100000}) {
        std::error_code error;
        fs::remove_all(fs::temp_directory_path() /
                           ("lexipond-startup-bench-" + std::to_string(getpid()) + "-" +
                            std::to_string(words)),
                       error);
    }
}

// The child: main() up to the first painted word, then out at once.
int FirstWordChild(const char* folder, int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Program program(folder);
    program.instanceWait = std::chrono::milliseconds(0);
    if (!program.Start())
        return 2;
    program.Window()->onWordPainted = [] { _exit(0); };
    QApplication::exec();
    return 3;
}

void BM_ProcessStartToFirstWordPainted(benchmark::State& state) {
    const std::string& folder = ProgramFolder(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            execl(selfPath.c_str(), selfPath.c_str(), "--first-word", folder.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        const auto elapsed = std::chrono::steady_clock::now() - started;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the child did not paint a word");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    }
    state.counters["words"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ProcessStartToFirstWordPainted)
    ->Arg(315)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// Starts a later run in `program` and waits for its first painted word.
bool StartAndPaint(Program& program) {
    program.instanceWait = std::chrono::milliseconds(0);
    if (!program.Start())
        return false;
    bool painted = false;
    program.Window()->onWordPainted = [&painted] { painted = true; };
    while (!painted)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return true;
}

// A press and release on Correct, then the paint that the click asked for, now.
void ClickCorrectAndPaint(MainWindow& window) {
    const QPointF at(85, 285);
    QMouseEvent press(QEvent::MouseButtonPress, at, window.mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, window.mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &press);
    QApplication::sendEvent(&window, &release);
    window.repaint();
}

void BM_CorrectClickToNextWordPainted(benchmark::State& state) {
    Program program(ProgramFolder(static_cast<int>(state.range(0))));
    if (!StartAndPaint(program)) {
        state.SkipWithError("the program did not start");
        return;
    }
    MainWindow* window = program.Window();
    TutorState& tutorState = program.Store().Core().state;
    for (auto _ : state) {
        const int32_t before = tutorState.currentRecord;
        ClickCorrectAndPaint(*window);
        benchmark::DoNotOptimize(before);
    }
    state.counters["words"] = static_cast<double>(state.range(0));
    state.counters["answers"] = benchmark::Counter(static_cast<double>(tutorState.sessionTotal));
    program.EndOfSession();
    QApplication::processEvents();
}
BENCHMARK(BM_CorrectClickToNextWordPainted)
    ->Arg(315)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

#if LEXIPOND_WITH_SPEECH
// The same click while listening is on, with the judge kept busy the whole
// time on another thread: a second listener judges a spoken word again and
// again (each takes a few hundred ms of a core), as the window's own would
// while a reader speaks. The window's events are handled between the clicks.
void BM_CorrectClickToNextWordPaintedWhileListening(benchmark::State& state) {
    Program program(ProgramFolder(static_cast<int>(state.range(0))));
    if (!StartAndPaint(program)) {
        state.SkipWithError("the program did not start");
        return;
    }
    MainWindow* window = program.Window();
    if (!WordListener::Available()) {
        state.SkipWithError("pocketsphinx-en-us is not installed");
        return;
    }
    window->Listening().Toggle(WordListener::Source::Recordings);
    speech::PcmAudio spoken = speech::Synthesize("said", speech::Voice::Kal16).audio;
    spoken.samples.insert(spoken.samples.end(), spoken.sampleRate, int16_t(0));
    std::vector<std::string> words = program.Store().ListWords().words;
    words.resize(std::min(words.size(), size_t(2000)));
    words.push_back("said");
    WordListener busy;
    int judged = 0;
    QObject::connect(&busy, &WordListener::judged, [&](const ListenOutcome&) {
        ++judged;
        busy.Listen("said");
        busy.Feed(spoken);
    });
    bool ready = false;
    QObject::connect(&busy, &WordListener::ready, [&] {
        ready = true;
        busy.Feed(spoken);
    });
    busy.Start(words, "said", WordListener::Source::Recordings);
    while (!ready || !window->Listening().IsOn())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    for (auto _ : state) {
        ClickCorrectAndPaint(*window);
        state.PauseTiming();
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        state.ResumeTiming();
    }
    state.counters["words"] = static_cast<double>(state.range(0));
    state.counters["judged meanwhile"] = judged;
    window->Listening().Stop();
    program.EndOfSession();
    QApplication::processEvents();
}
BENCHMARK(BM_CorrectClickToNextWordPaintedWhileListening)
    ->Arg(315)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);
#endif

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--first-word") == 0)
        return FirstWordChild(argv[2], argc, argv);
    selfPath = fs::canonical("/proc/self/exe").string();
    const int status = bench::RunOffscreenQtBenchmarks(argc, argv);
    CleanUp();
    return status;
}
