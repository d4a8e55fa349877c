// SPDX-License-Identifier: GPL-3.0-or-later
// What the end of a run costs with a large word database: the shutdown save
// (settings, the format check, the " Bak" copy, the dated backup) against a
// plain `cp` of the same file, in the same run. The database changes between
// exits (a tally), as it does after a lesson, so every exit makes its copies.
#include "BenchSupport.h"
#include "core/lifecycle/Backups.h"
#include "core/lifecycle/Lifecycle.h"
#include "core/recordfile/RecordFile.h"
#include "core/settings/Settings.h"
#include "core/words/WordDatabase.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace lexipond {
namespace {

// Writes a sorted database of `words` words straight in the file format.
std::string MakeDatabase(uint32_t words) {
    const std::filesystem::path folder = bench::BenchFolder() / ("exit-" + std::to_string(words));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / kWordDatabaseName).string();
    if (std::filesystem::exists(path))
        return path;
    const uint32_t capacity = words + words / 16 + 10, slot = 416, area = 1556;
    std::vector<char> head(area, 0);
    auto put = [&head](size_t at, uint32_t value) { std::memcpy(&head[at], &value, 4); };
    std::memcpy(head.data(), "DATA1000", 8);
    put(608, 1), put(1352, 2), put(1356, 14), put(1360, capacity), put(1364, 2);
    for (uint32_t field = 1, offset = 1560; field <= 14; ++field) {
        const uint32_t type = field == 1 ? 12 : field == 14 ? 13 : 2;
        put(1444 + 8 * (field - 1), type), put(1448 + 8 * (field - 1), offset);
        offset += type == 12 ? 64 : type == 13 ? 300 : 4;
    }
    std::ofstream out(path, std::ios::binary);
    out.write(head.data(), head.size());
    std::vector<char> record(slot, 0);
    for (uint32_t i = 0; i < capacity + 5; ++i) {
        std::memset(record.data(), 0, slot);
        if (i < words) {
            const uint32_t live = RecordLive;
            std::memcpy(record.data(), &live, 4);
            const std::string word = "w" + std::to_string(10'000'000 + i);
            std::memcpy(record.data() + 4, word.data(), word.size());
        }
        out.write(record.data(), slot);
    }
    return path;
}

void BM_ShutdownSave(benchmark::State& state) {
    const std::string path = MakeDatabase(static_cast<uint32_t>(state.range(0)));
    const std::string folder = std::filesystem::path(path).parent_path().string() + "/";
    SettingsBlock settings{};
    int32_t tally = 0;
    for (auto _ : state) {
        state.PauseTiming();
        RecordFile db;
        OpenRecordFile(db, path, Access::ReadWrite);
        WriteNumber(db, 0, TotalField(0), ++tally); // a lesson happened
        CloseRecordFile(db); // the worker closes it before the save, as in the program
        ::sync();            // a lesson's writes reached the disk long before its end
        state.ResumeTiming();
        ShutdownSave(db, settings, folder, true);
    }
    state.counters["MB"] = double(std::filesystem::file_size(path)) / 1e6;
}

void BM_PlainCp(benchmark::State& state) {
    const std::string path = MakeDatabase(static_cast<uint32_t>(state.range(0)));
    const std::string command = "cp '" + path + "' '" + path + ".cp'";
    for (auto _ : state) {
        state.PauseTiming();
        ::sync();
        state.ResumeTiming();
        benchmark::DoNotOptimize(std::system(command.c_str()));
    }
    std::filesystem::remove(path + ".cp");
}

// The pieces of the save, to see where its time goes.
// Alternated per size, so that both see the same machine load.
BENCHMARK(BM_ShutdownSave)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainCp)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace lexipond

BENCHMARK_MAIN();
