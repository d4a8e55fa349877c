// SPDX-License-Identifier: GPL-3.0-or-later
// Tutoring engine: the next word on Hardest, setting up a user, one answer, an
// answer taken back and the re-sort after the word dialog, on word databases of
// 1,000 to 100,000 words (a million for the undo).
#include "BenchSupport.h"
#include "core/platform/Random.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/SortRecords.h"
#include "core/words/WordDatabase.h"
#include "core/settings/Settings.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/WordStore.h"
#include "core/tutor/Worker.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using namespace lexipond;
using bench::BenchFolder;

// A sorted database of count words; about one word in eight was never asked.
const std::string& Database(int count) {
    static auto* made = new std::map<int, std::string>;
    auto found = made->find(count);
    if (found != made->end()) {
        return found->second;
    }
    const std::string path = (BenchFolder() / ("words" + std::to_string(count) + ".lbf")).string();
    RecordFile file;
    file.fileName = path;
    if (!CreateWordDatabase(file)) {
        std::abort();
    }
    for (int i = 0; i < count; ++i) {
        const int32_t slot = AddRecord(file);
        if (slot < 0) {
            std::abort();
        }
        char word[16];
        std::snprintf(word, sizeof word, "w%07d", i);
        WriteText(file, slot, kFieldWord, word);
        for (uint32_t field = 2; field <= 13; ++field) {
            WriteNumber(file, slot, field, 0);
        }
        if (i % 8 != 0) {
            WriteNumber(file, slot, TotalField(0), 1 + i % 23);
            WriteNumber(file, slot, CorrectField(0), i % 11 < 1 + i % 23 ? i % 11 : 0);
        }
        WriteText(file, slot, kFieldNotes, "");
    }
    CloseRecordFile(file);
    return made->emplace(count, path).first->second;
}

class NullWindow final : public WindowPort {
  public:
    void Invalidate() override {}
    void PostCommand(int) override {}
    void PostClose() override {}
};

// A tutor over a copy-free open of the shared database, with a word on show.
struct BenchTutor {
    explicit BenchTutor(benchmark::State& run, int level = 6) {
        if (OpenRecordFile(db, Database(static_cast<int>(run.range(0))), Access::ReadWrite) !=
            OpenResult::Opened) {
            run.SkipWithError("cannot open the database");
            return;
        }
        settings.level = level;
        std::snprintf(settings.userNames[0], kUserNameSize, "Zov");
        SetUpUser(tutor);
        if (ChooseNextWord(tutor) < 0) {
            run.SkipWithError("no word chosen");
        }
    }
    ~BenchTutor() { CloseRecordFile(db); }

    RecordFile db;
    SettingsBlock settings{};
    std::unique_ptr<TutorState> state = std::make_unique<TutorState>();
    platform::SystemRandomSource random;
    NullWindow window;
    WordStore store{db, settings, *state, random, window};
    Tutor& tutor = store.Core();
};

void BM_ChooseNextWordHardest(benchmark::State& run) {
    BenchTutor t(run);
    for (auto _ : run) {
        benchmark::DoNotOptimize(ChooseNextWord(t.tutor));
    }
}
BENCHMARK(BM_ChooseNextWordHardest)->Arg(1000)->Arg(10000)->Arg(100000);

void BM_SetUpUser(benchmark::State& run) {
    BenchTutor t(run);
    for (auto _ : run) {
        SetUpUser(t.tutor);
        benchmark::DoNotOptimize(t.state->userTotal);
    }
}
BENCHMARK(BM_SetUpUser)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// One Correct click's work: the tally, the report line and the next word (Hardest).
void BM_AnswerAndNextWord(benchmark::State& run) {
    BenchTutor t(run);
    bool correct = false;
    for (auto _ : run) {
        correct = !correct;
        RecordAnswer(t.tutor, correct);
        benchmark::DoNotOptimize(ChooseNextWord(t.tutor));
        if (t.state->reportLength > 9'000'000) {
            t.state->reportLength = 0; // keep every line written, as early in a run
        }
    }
}
BENCHMARK(BM_AnswerAndNextWord)->Arg(1000)->Arg(10000)->Arg(100000);

// An answer taken back at once: the answer (TakeAnswer, the next word
// included), then Undo, which looks at every record's two tallies to find the
// answered one wherever it may have moved, and its word where they match.
void BM_AnswerThenUndo(benchmark::State& run) {
    BenchTutor t(run);
    for (auto _ : run) {
        TakeAnswer(t.tutor, AnswerKind::Correct);
        if (UndoLastAnswer(t.tutor) != UndoOutcome::Undone) {
            run.SkipWithError("the answer was not taken back");
            break;
        }
    }
}
BENCHMARK(BM_AnswerThenUndo)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The work after the word dialog on a database that is already in order, when
// that is not yet known (the first dialog of a run before the worker's check):
// every word is read to find out.
void BM_ResortWordsAfterDialog(benchmark::State& run) {
    BenchTutor t(run);
    for (auto _ : run) {
        t.state->wordOrder = WordOrder{};
        ResortWords(t.tutor);
    }
}
BENCHMARK(BM_ResortWordsAfterDialog)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// The same once the order is known and the dialog changed no word: nothing is read.
void BM_ResortWordsAfterUnchangedDialog(benchmark::State& run) {
    BenchTutor t(run);
    ResortWords(t.tutor); // finds the order
    for (auto _ : run) {
        ResortWords(t.tutor);
    }
}
BENCHMARK(BM_ResortWordsAfterUnchangedDialog)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
