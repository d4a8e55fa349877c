// SPDX-License-Identifier: GPL-3.0-or-later
// Word list import into a new database followed by the sort, and the sort of
// shuffled words alone, at 1,000 / 10,000 / 100,000 unique words, collated for
// en_US as GNU sort is in bench/compare-gnu-sort.sh.
#include "BenchSupport.h"
#include "core/words/ImportWordFile.h"
#include "core/platform/Collation.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/SortRecords.h"
#include "core/words/WordDatabase.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

using namespace lexipond;
using bench::BenchFolder;

const platform::Collator& BenchCollator() {
    static const platform::Collator collator("en_US");
    return collator;
}

// count unique random words of 3 to 12 letters, a few capitalised, in random order.
std::vector<std::string> UniqueWords(size_t count) {
    std::mt19937 random(20240601u + static_cast<unsigned>(count));
    std::unordered_set<std::string> seen;
    std::vector<std::string> words;
    words.reserve(count);
    while (words.size() < count) {
        std::string word(3 + random() % 10, 'a');
        for (char& c : word)
            c = static_cast<char>('a' + random() % 26);
        if (random() % 8 == 0)
            word[0] = static_cast<char>(word[0] - 'a' + 'A');
        if (seen.insert(word).second)
            words.push_back(word);
    }
    return words;
}

// The word list file (CR LF lines) for a size, written once.
const std::string& WordListFile(size_t count) {
    static std::map<size_t, std::string> files;
    auto it = files.find(count);
    if (it == files.end()) {
        const std::string path =
            (BenchFolder() / ("words-" + std::to_string(count) + ".txt")).string();
        std::ofstream out(path, std::ios::binary);
        for (const std::string& word : UniqueWords(count))
            out << word << "\r\n";
        it = files.emplace(count, path).first;
    }
    return it->second;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_ImportIntoNewDatabaseThenSort(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    const std::string& list = WordListFile(count);
    const std::string dbPath = (BenchFolder() / "import.lbf").string();
    for (auto _ : state) {
        RecordFile db;
        db.fileName = dbPath;
        if (!CreateWordDatabase(db)) {
            state.SkipWithError("cannot create the database");
            break;
        }
        const uint32_t added = ImportWordFile(db, list.c_str(), BenchCollator());
        SortRecords(db, kFieldWord, BenchCollator());
        CloseRecordFile(db);
        if (added != count) {
            state.SkipWithError("not every word was added");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count));
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKb()) / 1024.0;
}

void BM_SortShuffledWords(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    const std::string templatePath =
        (BenchFolder() / ("shuffled-" + std::to_string(count) + ".lbf")).string();
    {
        // A database holding the words in random slot order.
        RecordFile db;
        db.fileName = templatePath;
        if (!CreateWordDatabase(db)) {
            state.SkipWithError("cannot create the database");
            return;
        }
        ImportWordFile(db, WordListFile(count).c_str(), BenchCollator());
        CloseRecordFile(db);
    }
    const std::string workPath = (BenchFolder() / "sort.lbf").string();
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(templatePath, workPath,
                                   std::filesystem::copy_options::overwrite_existing);
        RecordFile db;
        const bool open = OpenRecordFile(db, workPath, Access::ReadWrite) == OpenResult::Opened;
        state.ResumeTiming();
        if (!open || SortRecords(db, kFieldWord, BenchCollator()) != 1) {
            state.SkipWithError("sort failed");
            break;
        }
        state.PauseTiming();
        CloseRecordFile(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count));
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKb()) / 1024.0;
}

BENCHMARK(BM_ImportIntoNewDatabaseThenSort)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortShuffledWords)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
