// SPDX-License-Identifier: GPL-3.0-or-later
// The re-sort after the word dialog, killed at random instants: the database
// afterwards is the one before the re-sort or its whole result, and the
// renamed word is there exactly once either way.
#include "TestSupport.h"
#include "core/recordfile/RecordFileTestSupport.h"
#include "core/tutor/WordStore.h"
#include "core/tutor/Worker.h"

#include <csignal>
#include <random>
#include <sys/wait.h>

namespace lexipond {
namespace {

using namespace testing;

int CountWord(const std::string& path, const std::string& word) {
    RecordFile db;
    int count = 0;
    if (OpenRecordFile(db, path, Access::ReadOnly) == OpenResult::Opened)
        ForEachLiveRecord(db,
                          [&](int32_t slot) { count += ReadText(db, slot, kFieldWord) == word; });
    CloseRecordFile(db);
    return count;
}

// Opens the database as the program does and re-sorts it.
void Resort(const std::string& path) {
    TutorWorld world;
    ASSERT_EQ(OpenRecordFile(world.db, path, Access::ReadWrite), OpenResult::Opened);
    world.state.currentRecord = 0;
    ResortWords(world.tutor);
    CloseRecordFile(world.db);
}

TEST(ResortKill, AKilledReSortLosesAndDoublesNoWord) {
    TempFolder folder;
    const std::string path = folder / "LPDB.lbf";
    MakeWordDatabase(path, NumberedWords(3000));
    {
        // What the dialog leaves: the first word renamed to sort last, one deleted.
        RecordFile db;
        ASSERT_EQ(OpenRecordFile(db, path, Access::ReadWrite), OpenResult::Opened);
        ASSERT_TRUE(WriteText(db, 0, kFieldWord, "zz renamed"));
        ASSERT_EQ(SetRecordTag(db, 1500, RecordDeleted), 1);
        CloseRecordFile(db);
    }
    const std::string before = ReadBytes(path);
    const auto start = std::chrono::steady_clock::now();
    Resort(path);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
    const std::string after = ReadBytes(path);
    ASSERT_NE(before, after);

    std::mt19937 random(5);
    int sawBefore = 0, sawAfter = 0;
    // 40 kills over one and a half times the re-sort's own length; on a busy
    // machine the child may run slower than the timing above, so while either
    // outcome is still unseen the kills go on, each round reaching further.
    for (int kill_ = 0; kill_ < 200 && (kill_ < 40 || sawBefore == 0 || sawAfter == 0); ++kill_) {
        SCOPED_TRACE("kill " + std::to_string(kill_));
        WriteBytes(path, before);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Resort(path);
            _exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(
            random() % static_cast<uint32_t>(took * 3 / 2 * (1 + kill_ / 40) + 1)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string now = ReadBytes(path);
        ASSERT_TRUE(now == before || now == after) << "a mixed database after a kill";
        (now == before ? sawBefore : sawAfter) += 1;
        EXPECT_EQ(CountWord(path, "zz renamed"), 1);
        EXPECT_EQ(LiveWords(path), 2999u);
    }
    EXPECT_GT(sawBefore, 0);
    EXPECT_GT(sawAfter, 0);
}

} // namespace
} // namespace lexipond
