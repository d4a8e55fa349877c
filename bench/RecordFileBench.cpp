// SPDX-License-Identifier: GPL-3.0-or-later
// Record file engine: adding, reading, searching and compacting 100,000 word records.
#include "BenchSupport.h"
#include "core/recordfile/RecordFile.h"
#include "core/words/WordDatabase.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace lexipond;
using bench::BenchFolder;

constexpr int kRecords = 100000;

// Adds count words with their tallies to a new database at path; returns false on failure.
bool FillDatabase(RecordFile& file, const std::string& path, int count) {
    file.fileName = path;
    if (!CreateWordDatabase(file))
        return false;
    for (int i = 0; i < count; ++i) {
        const int32_t slot = AddRecord(file);
        if (slot < 0)
            return false;
        char word[16];
        std::snprintf(word, sizeof word, "word%07d", i);
        WriteText(file, slot, kFieldWord, word);
        WriteNumber(file, slot, kFieldReservedA, 0);
        WriteNumber(file, slot, kFieldReservedB, 0);
        for (uint32_t user = 0; user < 5; ++user) {
            WriteNumber(file, slot, TotalField(user), (i + static_cast<int>(user)) % 97);
            WriteNumber(file, slot, CorrectField(user), (i + static_cast<int>(user)) % 41);
        }
    }
    return true;
}

// One filled database shared by the read, search and compaction benchmarks.
const std::string& FilledDatabase() {
    static const std::string path = [] {
        const std::string p = (BenchFolder() / "filled.lbf").string();
        RecordFile file;
        if (!FillDatabase(file, p, kRecords))
            std::abort();
        CloseRecordFile(file);
        return p;
    }();
    return path;
}

void OpenFilled(benchmark::State& state, RecordFile& file, const std::string& path) {
    if (OpenRecordFile(file, path, Access::ReadWrite) != OpenResult::Opened)
        state.SkipWithError("cannot open the database");
}

void BM_AddRecords(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string path = (BenchFolder() / "add.lbf").string();
    for (auto _ : state) {
        RecordFile file;
        if (!FillDatabase(file, path, count)) {
            state.SkipWithError("adding failed");
            break;
        }
        state.PauseTiming();
        state.counters["capacity"] = file.capacity;
        CloseRecordFile(file);
        state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_AddRecords)->Arg(10000)->Arg(kRecords)->Unit(benchmark::kMillisecond);

void BM_ReadEveryField(benchmark::State& state) {
    RecordFile file;
    OpenFilled(state, file, FilledDatabase());
    int64_t checksum = 0;
    for (auto _ : state) {
        for (int32_t slot = 0; slot < kRecords; ++slot) {
            for (uint32_t field = 1; field <= kWordFieldCount; ++field) {
                if (field == kFieldWord || field == kFieldNotes)
                    checksum += ReadText(file, slot, field).value_or("").size();
                else
                    checksum += ReadNumber(file, slot, field).value_or(0);
            }
        }
    }
    benchmark::DoNotOptimize(checksum);
    state.SetItemsProcessed(state.iterations() * kRecords * kWordFieldCount);
    CloseRecordFile(file);
}
BENCHMARK(BM_ReadEveryField)->Unit(benchmark::kMillisecond);

// A key found nowhere: every field of every record is read and scanned.
void BM_FindTextWalkNoMatch(benchmark::State& state) {
    RecordFile file;
    OpenFilled(state, file, FilledDatabase());
    for (auto _ : state)
        benchmark::DoNotOptimize(FindText(file, "zebra", -1));
    state.SetItemsProcessed(state.iterations() * kRecords);
    CloseRecordFile(file);
}
BENCHMARK(BM_FindTextWalkNoMatch)->Unit(benchmark::kMillisecond);

// A key every word holds: one FindText call per record, walking the whole file.
void BM_FindTextWalkEveryRecord(benchmark::State& state) {
    RecordFile file;
    OpenFilled(state, file, FilledDatabase());
    int64_t found = 0;
    for (auto _ : state) {
        for (auto slot = FindText(file, "WORD", -1); slot; slot = FindText(file, "WORD", *slot))
            ++found;
    }
    if (found != state.iterations() * kRecords)
        state.SkipWithError("walk missed records");
    state.SetItemsProcessed(state.iterations() * kRecords);
    CloseRecordFile(file);
}
BENCHMARK(BM_FindTextWalkEveryRecord)->Unit(benchmark::kMillisecond);

// Copies source, deletes every other of its count records and runs one compaction.
void CompactEveryOther(benchmark::State& state, const std::string& source, int count) {
    const std::string path = (BenchFolder() / "compact.lbf").string();
    uint32_t left = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
        RecordFile file;
        OpenFilled(state, file, path);
        for (int32_t slot = 0; slot < count; slot += 2)
            SetRecordTag(file, slot, RecordDeleted);
        state.ResumeTiming();
        left = CompactRecords(file);
        state.PauseTiming();
        CloseRecordFile(file);
        state.ResumeTiming();
    }
    state.counters["moves"] = kCompactionBudget - left;
}

// With 50,000 gaps the moves needed far exceed the budget, so this measures a
// compaction that spends all of it.
void BM_CompactAfterDeletingEveryOther(benchmark::State& state) {
    CompactEveryOther(state, FilledDatabase(), kRecords);
}
BENCHMARK(BM_CompactAfterDeletingEveryOther)->Unit(benchmark::kMillisecond);

// The same on 1,000 records (500 gaps): a compaction that finishes.
void BM_CompactSmallAfterDeletingEveryOther(benchmark::State& state) {
    const std::string source = (BenchFolder() / "small.lbf").string();
    RecordFile file;
    if (!FillDatabase(file, source, 1000)) {
        state.SkipWithError("adding failed");
        return;
    }
    CloseRecordFile(file);
    CompactEveryOther(state, source, 1000);
}
BENCHMARK(BM_CompactSmallAfterDeletingEveryOther)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
