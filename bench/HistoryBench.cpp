// SPDX-License-Identifier: GPL-3.0-or-later
// The answer history: 100,000 answers written in a row through the writer
// thread (one transaction each), what an answer costs the window thread
// (queuing a row), and the Progress window's and lexipond-db's queries over a
// history of 100,000 answers by one learner over a year.
#include "BenchSupport.h"
#include "HistoryBenchSupport.h"
#include "core/history/AnswerHistory.h"
#include "core/history/HistoryCsv.h"
#include "core/history/HistoryQueries.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace lexipond;
using bench::BenchFolder;

constexpr int kAnswers = 100'000;
constexpr int kWords = 300;
constexpr int64_t kYearStart = 1'767'225'600; // 2026-01-01T00:00:00Z

// The i-th answer of a year of answers: spread over the year, one word in
// kWords, mostly Correct; every 20th is taken back.
HistoryRow Answer(int i, uint32_t& random) {
    HistoryRow row = bench::YearAnswer(i, kAnswers, kWords, kYearStart, 60, random);
    row.level = 3;
    row.judgedBy = JudgedBy::Click;
    return row;
}

// Writes the year of answers into folder through the writer; false when the
// file could not be made.
bool WriteYear(const std::string& folder) {
    AnswerHistory history;
    history.Start(folder);
    if (history.OpenReport().outcome != HistoryOpen::Created)
        return false;
    uint32_t random = 1;
    for (int i = 0; i < kAnswers; ++i) {
        HistoryRow row = Answer(i, random);
        const HistoryTicket ticket = history.Append(row);
        if (i % 20 == 19)
            history.AppendUndo(ticket, row);
    }
    history.Close();
    return history.Committed() == kAnswers + kAnswers / 20;
}

std::string FreshFolder(const char* name, int run) {
    const auto folder = BenchFolder() / (std::string(name) + std::to_string(run));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.string() + "/";
}

// From the first Append to the last row committed (Close waits for it).
void BM_WriteHundredThousandAnswers(benchmark::State& state) {
    int run = 0;
    for (auto _ : state) {
        if (!WriteYear(FreshFolder("write", run++))) {
            state.SkipWithError("the history was not written whole");
            return;
        }
    }
    state.counters["rows/s"] = benchmark::Counter(
        double(kAnswers + kAnswers / 20) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WriteHundredThousandAnswers)
    ->Iterations(3)
    ->UseRealTime() // the writing is on the writer thread
    ->Unit(benchmark::kMillisecond);

// What TakeAnswer adds to an answer: the row queued for the writer.
void BM_QueueOneAnswer(benchmark::State& state) {
    AnswerHistory history;
    history.Start(FreshFolder("queue", 0));
    history.OpenReport();
    uint32_t random = 7;
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        HistoryRow row = Answer(i++ % kAnswers, random);
        state.ResumeTiming();
        benchmark::DoNotOptimize(history.Append(std::move(row)));
    }
    history.Close();
}
BENCHMARK(BM_QueueOneAnswer)->Iterations(20'000);

// The year of answers, written once for the queries.
const std::string& YearFile() {
    static const std::string* path = [] {
        const std::string folder = FreshFolder("year", 0);
        if (!WriteYear(folder))
            std::abort();
        return new std::string(folder + kHistoryFileName);
    }();
    return *path;
}

// The program's open at the start of a run (on the writer thread, while the
// window comes up): quick_check of the whole file, then the schema version.
void BM_OpenHundredThousandAnswers(benchmark::State& state) {
    const std::string folder =
        YearFile().substr(0, YearFile().size() - std::string_view(kHistoryFileName).size());
    for (auto _ : state) {
        AnswerHistory history;
        history.Start(folder);
        if (history.OpenReport().outcome != HistoryOpen::Opened) {
            state.SkipWithError("the history did not open as it was");
            return;
        }
        history.Close();
    }
}
BENCHMARK(BM_OpenHundredThousandAnswers)->UseRealTime()->Unit(benchmark::kMillisecond);

struct Reader {
    explicit Reader(benchmark::State& state) {
        std::string reason;
        if (reader.Open(YearFile(), reason) != HistoryRead::Ready)
            state.SkipWithError(reason.c_str());
    }
    HistoryReader reader;
};

const DayRange kWholeYear{"2026-01-01", "2026-12-31"};

void BM_DaysOfAYear(benchmark::State& state) {
    Reader r(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.reader.Days(0, kWholeYear));
}
BENCHMARK(BM_DaysOfAYear)->Unit(benchmark::kMillisecond);

void BM_WeeksOfAYear(benchmark::State& state) {
    Reader r(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.reader.Weeks(0, kWholeYear));
}
BENCHMARK(BM_WeeksOfAYear)->Unit(benchmark::kMillisecond);

void BM_FourWeeks(benchmark::State& state) {
    Reader r(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.reader.Weeks(0, {"2026-11-30", "2026-12-27"}));
}
BENCHMARK(BM_FourWeeks)->Unit(benchmark::kMillisecond);

void BM_WordsMastered(benchmark::State& state) {
    Reader r(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.reader.MasteredWords(0));
}
BENCHMARK(BM_WordsMastered)->Unit(benchmark::kMillisecond);

void BM_WordsNeedingWorkInAYear(benchmark::State& state) {
    Reader r(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.reader.WordsNeedingWork(0, kWholeYear, 20));
}
BENCHMARK(BM_WordsNeedingWorkInAYear)->Unit(benchmark::kMillisecond);

// lexipond-db history's figures: totals, newest name and words mastered.
void BM_LearnerSummary(benchmark::State& state) {
    Reader r(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.reader.Learners());
}
BENCHMARK(BM_LearnerSummary)->Unit(benchmark::kMillisecond);

// lexipond-db history --csv, into memory.
void BM_CsvOfAYear(benchmark::State& state) {
    Reader r(state);
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        WriteHistoryCsv(r.reader, [&](std::string_view piece) {
            bytes += piece.size();
            return true;
        });
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_CsvOfAYear)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
