// SPDX-License-Identifier: GPL-3.0-or-later
// lexipond-db killed at random instants while it sorts, imports (one by one
// into a database with holes, in one pass into a sorted one) or creates:
// the database afterwards holds exactly what it held before, or exactly the
// finished result, and passes the check; the next writing command clears
// what the killed one left behind.
#include "ProcessSupport.h"
#include "TestSupport.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/wait.h>

namespace lexipond {
namespace {

using namespace testing;

pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {LEXIPOND_DB_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return testing::Spawn(argv, {}, Output::Drop);
}

// The exit code, or -1 when it did not exit (killed).
int Wait(pid_t pid) {
    const int status = WaitEnd(pid, std::chrono::minutes(2));
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A shuffled word database with every third record deleted: a sort both
// compacts and moves, an import fills freed slots and grows the file.
void MakeDatabaseWithHoles(const std::string& path, int count) {
    std::vector<std::string> words = NumberedWords(count, "held");
    std::shuffle(words.begin(), words.end(), std::mt19937(3));
    MakeWordDatabase(path, words);
    RecordFile db;
    ASSERT_EQ(OpenRecordFile(db, path, Access::ReadWrite), OpenResult::Opened);
    for (int32_t slot = 0; slot < count; slot += 3)
        SetRecordTag(db, slot, RecordDeleted);
    CloseRecordFile(db);
}

std::vector<std::string> LeftoversBeside(const std::string& db) {
    std::vector<std::string> found;
    const fs::path folder = fs::path(db).parent_path();
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(fs::path(db).filename().string() + ".part", 0) == 0)
            found.push_back(entry.path().filename().string());
    return found;
}

struct KillRow {
    const char* name;
    bool databaseBefore; // false: the command creates it
    std::vector<std::string> (*args)(const std::string& db, const std::string& list);
};

TEST(LexipondDbKills, AKilledSortOrImportLeavesTheOldDatabaseOrTheWholeResult) {
    const KillRow rows[] = {
        {"sort", true, [](const std::string& db, const std::string&) {
             return std::vector<std::string>{"sort", db};
         }},
        {"import into a database with holes", true,
         [](const std::string& db, const std::string& list) {
             return std::vector<std::string>{"import", db, list};
         }},
        {"import merging into a sorted database", true,
         [](const std::string& db, const std::string& list) {
             return std::vector<std::string>{"import", db, list};
         }},
        {"import creating the database", false,
         [](const std::string& db, const std::string& list) {
             return std::vector<std::string>{"import", db, list};
         }},
    };
    constexpr int kKills = 24;
    for (const KillRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const std::string db = folder / "LPDB.lbf", list = folder / "list.txt";
        WriteWordList(list, 3000, "new");
        if (row.databaseBefore && std::string(row.name).find("sorted") != std::string::npos)
            MakeWordDatabase(db, NumberedWords(3000, "held")); // in order, packed
        else if (row.databaseBefore)
            MakeDatabaseWithHoles(db, 3000);
        const std::string before = row.databaseBefore ? ReadBytes(db) : "";

        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Wait(Spawn(row.args(db, list))), 0);
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count();
        const std::string after = ReadBytes(db);
        ASSERT_NE(after, before);

        std::mt19937 random(17);
        int sawBefore = 0, sawAfter = 0;
        for (int k = 0; k < kKills; ++k) {
            SCOPED_TRACE("kill " + std::to_string(k));
            if (row.databaseBefore)
                WriteBytes(db, before);
            else
                fs::remove(db);
            const pid_t pid = Spawn(row.args(db, list));
            ASSERT_GT(pid, 0);
            // Spread over twice the measured run (a loaded machine runs slower
            // than the measurement), with jitter so no two rows kill alike.
            const auto step = static_cast<uint32_t>(took * 2 / kKills + 1);
            std::this_thread::sleep_for(
                std::chrono::microseconds(uint64_t(k) * step + random() % step));
            kill(pid, SIGKILL);
            Wait(pid);
            const bool exists = fs::exists(db);
            const std::string now = exists ? ReadBytes(db) : "";
            ASSERT_TRUE(now == before || now == after)
                << (exists ? "a database that is neither the old one nor the result"
                           : "the database vanished");
            (now == before ? sawBefore : sawAfter) += 1;
            if (exists) {
                ASSERT_EQ(Wait(Spawn({"check", db})), 0) << "the database fails the check";
            }
            if (exists && k % 8 == 0) { // now and then: the next writer sweeps leftovers
                ASSERT_EQ(Wait(Spawn({"sort", db})), 0);
                EXPECT_TRUE(LeftoversBeside(db).empty()) << "the next command left leftovers";
            }
        }
        EXPECT_GT(sawBefore, 0) << "no kill came early enough";
        EXPECT_GT(sawAfter, 0) << "no kill came late enough";
    }
}

} // namespace
} // namespace lexipond
