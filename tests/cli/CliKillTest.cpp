// SPDX-License-Identifier: GPL-3.0-or-later
// lexipond-db killed at random instants while it imports: one by one into a
// database with holes (a change on a copy, the way sort goes too), in one pass
// into a sorted one, or creating the database: the database afterwards holds
// exactly what it held before, or exactly the finished result, and passes the
// check; the next writing command clears what the killed one left behind.
#include "ProcessSupport.h"
#include "core/recordfile/RecordFileTestSupport.h"

#include <algorithm>
#include <csignal>
#include <random>
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

// A shuffled word database with every third record deleted: an import fills
// freed slots and grows the file.
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

TEST(LexipondDbKills, AKilledImportLeavesTheOldDatabaseOrTheWholeResult) {
    enum class Before { Holes, Sorted, None };
    const std::pair<const char*, Before> rows[] = {
        {"import into a database with holes", Before::Holes},
        {"import merging into a sorted database", Before::Sorted},
        {"import creating the database", Before::None},
    };
    constexpr int kKills = 24;
    for (const auto& [name, kind] : rows) {
        SCOPED_TRACE(name);
        TempFolder folder;
        const std::string db = folder / "LPDB.lbf", list = folder / "list.txt";
        WriteWordList(list, 3000, "new");
        if (kind == Before::Sorted)
            MakeWordDatabase(db, NumberedWords(3000, "held")); // in order, packed
        else if (kind == Before::Holes)
            MakeDatabaseWithHoles(db, 3000);
        const std::string before = kind == Before::None ? "" : ReadBytes(db);

        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Wait(Spawn({"import", db, list})), 0);
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count();
        const std::string after = ReadBytes(db);
        ASSERT_NE(after, before);

        std::mt19937 random(17);
        int sawBefore = 0, sawAfter = 0;
        for (int k = 0; k < kKills; ++k) {
            SCOPED_TRACE("kill " + std::to_string(k));
            if (kind == Before::None)
                fs::remove(db);
            else
                WriteBytes(db, before);
            const pid_t pid = Spawn({"import", db, list});
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
                for (const std::string& file : FileNames(folder.Path()))
                    EXPECT_EQ(file.find(".part"), std::string::npos) << "a leftover: " << file;
            }
        }
        EXPECT_GT(sawBefore, 0) << "no kill came early enough";
        EXPECT_GT(sawAfter, 0) << "no kill came late enough";
    }
}

} // namespace
} // namespace lexipond
