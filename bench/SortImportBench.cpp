// SPDX-License-Identifier: GPL-3.0-or-later
// Word list import into a new database followed by the sort, and the sort of
// shuffled words alone, at 1,000 / 10,000 / 100,000 unique words, collated for
// en_US as GNU sort is in bench/compare-gnu-sort.sh. Then the one-pass import
// of lexipond-db (SortedImport): into a new database, the same list again, and
// new words merged into a large database; these leave out the sync that
// lexipond-db adds before the rename (see compare-gnu-sort.sh for that).
#include "BenchSupport.h"
#include "core/words/ImportWordFile.h"
#include "core/platform/Collation.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/SortRecords.h"
#include "core/words/SortedImport.h"
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

// count unique random words of 3 to 12 letters (or shortest to shortest + 9),
// a few capitalised, in random order.
std::vector<std::string> UniqueWords(size_t count, size_t shortest = 3) {
    std::mt19937 random(20240601u + static_cast<unsigned>(count + shortest));
    std::unordered_set<std::string> seen;
    std::vector<std::string> words;
    words.reserve(count);
    while (words.size() < count) {
        std::string word(shortest + random() % 10, 'a');
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
const std::string& WordListFile(size_t count, size_t shortest = 3) {
    static std::map<std::pair<size_t, size_t>, std::string> files;
    auto it = files.find({count, shortest});
    if (it == files.end()) {
        const std::string path = (BenchFolder() / ("words-" + std::to_string(count) + "-" +
                                                   std::to_string(shortest) + ".txt"))
                                     .string();
        std::ofstream out(path, std::ios::binary);
        for (const std::string& word : UniqueWords(count, shortest))
            out << word << "\r\n";
        it = files.emplace(std::make_pair(count, shortest), path).first;
    }
    return it->second;
}

// A new database filled by the one-pass import, as lexipond-db makes it (no sync).
bool SortedImportIntoNew(const std::string& list, const std::string& path, ImportReport& report) {
    RecordFile db;
    db.fileName = path;
    if (!CreateWordDatabase(db))
        return false;
    SortedImport import(BenchCollator());
    bool done = import.Prepare(db, list.c_str(), report) == SortedImport::Plan::Write;
    if (done) {
        const std::vector<uint8_t> empty(db.view, db.view + db.mappingHandle.length);
        done = import.Write(empty.data(), empty.size(), db.fileHandle);
    }
    CloseRecordFile(db);
    return done;
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

void BM_SortedImportIntoNewDatabase(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    const std::string& list = WordListFile(count);
    const std::string dbPath = (BenchFolder() / "sorted-import.lbf").string();
    for (auto _ : state) {
        ImportReport report;
        if (!SortedImportIntoNew(list, dbPath, report) || report.added != count) {
            state.SkipWithError("the import failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count));
    state.counters["file_MiB"] =
        static_cast<double>(std::filesystem::file_size(dbPath)) / (1024.0 * 1024.0);
}

// The same list into the database it made: every word a duplicate, nothing written.
void BM_SortedImportSameListAgain(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    const std::string& list = WordListFile(count);
    const std::string dbPath = (BenchFolder() / "again.lbf").string();
    ImportReport first;
    if (!SortedImportIntoNew(list, dbPath, first)) {
        state.SkipWithError("the first import failed");
        return;
    }
    for (auto _ : state) {
        RecordFile db;
        ImportReport report;
        SortedImport import(BenchCollator());
        if (OpenRecordFile(db, dbPath, Access::ReadWrite) != OpenResult::Opened ||
            import.Prepare(db, list.c_str(), report) != SortedImport::Plan::Unchanged ||
            report.duplicates != count) {
            state.SkipWithError("the words were not all found");
            break;
        }
        CloseRecordFile(db);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count));
}

// 10,000 new words (13 to 22 letters, so none present) merged into a database of
// range(0) words: open, read, sort the new words, write the whole result beside it.
void BM_SortedImportMergeTenThousand(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    const std::string dbPath = (BenchFolder() / "merge-into.lbf").string();
    const std::string outPath = (BenchFolder() / "merged.lbf").string();
    const std::string& list = WordListFile(10000, 13);
    ImportReport first;
    if (!SortedImportIntoNew(WordListFile(count), dbPath, first)) {
        state.SkipWithError("the database could not be made");
        return;
    }
    for (auto _ : state) {
        RecordFile db;
        ImportReport report;
        SortedImport import(BenchCollator());
        bool done = OpenRecordFile(db, dbPath, Access::ReadWrite) == OpenResult::Opened &&
                    import.Prepare(db, list.c_str(), report) == SortedImport::Plan::Write;
        if (done) {
            platform::FileHandle out = platform::CreateFileAlways(outPath.c_str());
            done = import.Write(db.view, db.mappingHandle.length, out);
            platform::CloseFile(out);
        }
        CloseRecordFile(db);
        if (!done || report.added != 10000) {
            state.SkipWithError("the merge failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

BENCHMARK(BM_SortedImportIntoNewDatabase)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_SortedImportSameListAgain)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_SortedImportMergeTenThousand)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_ImportIntoNewDatabaseThenSort)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortShuffledWords)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
