// SPDX-License-Identifier: GPL-3.0-or-later
// Placing the changed records must leave exactly the bytes the full sort leaves
// (SortRecordsAtomically on a copy of the same edited file), refuse what it does
// not handle without touching the file, and survive a kill at any instant; the
// binary search for a word in the placed file must find what a walk finds.
#include "core/recordfile/PlaceRecords.h"

#include "RecordFileTestSupport.h"
#include "TestSupport.h"
#include "core/platform/Collation.h"
#include "core/recordfile/SortRecords.h"

#include <cerrno>
#include <csignal>
#include <random>
#include <sys/wait.h>

namespace lexipond {
namespace {

using namespace lexipond::testing;
using platform::Collator;

// Duplicates, case, canonically equivalent spellings (equal keys), bytes that are
// not UTF-8, the empty word and words that sort first or last.
// clang-format off
const std::vector<std::string> kPool = {
    "dog", "Dog", "DOG", "dog", "cat", "caf\xC3\xA9", "cafe\xCC\x81", "cafe", "", "10", "9",
    "\x80\xFF", "\xC3", "\xC0\xAF", "zebra", "Zebra", "a", "A", "\xF0\x9F\x98\x80", "zzzz",
    "\xE4\xB8\xAD", "apple", "apple", "New Word", "a b", "a-b"};
// clang-format on

// The bytes the full sort makes of the file at path as it is now (sorting in
// place gives the bytes SortRecordsAtomically gives: SortRecordsTest).
std::string FullSortBytes(const std::string& path, const std::string& scratch,
                          const Collator& collator) {
    WriteBytes(scratch, ReadBytes(path));
    RecordFile copy;
    EXPECT_EQ(OpenRecordFile(copy, scratch, Access::ReadWrite), OpenResult::Opened);
    EXPECT_EQ(SortRecords(copy, kFieldWord, collator), 1);
    CloseRecordFile(copy);
    return ReadBytes(scratch);
}

std::string SlotBytes(const RecordFile& file, int32_t slot) {
    return std::string(reinterpret_cast<const char*>(file.view) + file.recordAreaOffset +
                           uint64_t(slot) * file.recordSize,
                       file.recordSize);
}

// Random tallies and notes, so that records with equal words still differ.
int32_t AddRandomWord(RecordFile& db, std::mt19937& random) {
    return AddWordRecord(db, kPool[random() % kPool.size()], "n" + std::to_string(random() % 1000),
                         {int32_t(random() % 50), int32_t(random() % 50)});
}

TEST(PlaceRecords, LeavesTheBytesOfAFullSortAfterRandomEdits) {
    const Collator collator("en_US");
    TempFolder folder;
    const std::string path = folder / "LPDB.lbf", scratch = folder / "reference.lbf";
    std::mt19937 random(20261207);
    int placedWithMoves = 0, placedWithGap = 0;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::remove(path.c_str());
        RecordFile db;
        db.fileName = path;
        ASSERT_NE(CreateWordDatabase(db), 0);
        const int words = 1 + int(random() % 40);
        for (int i = 0; i < words; ++i)
            AddRandomWord(db, random);
        ASSERT_EQ(SortRecords(db, kFieldWord, collator), 1);

        // A few batches of edits, each ended by a placement as the dialog's
        // delete or the re-sort after it does.
        for (int batch = 0; batch < 3; ++batch) {
            std::vector<int32_t> changed;
            const uint32_t edits = random() % 4;
            for (uint32_t e = 0; e < edits; ++e) {
                const uint32_t kind = random() % 3;
                const auto live = int32_t(db.liveCount);
                if (kind == 0 || live == 0) {
                    changed.push_back(AddRandomWord(db, random));
                } else {
                    // Renames favour the ends: the first and the last slot.
                    const uint32_t pick = random() % 4;
                    const int32_t slot = pick == 0   ? 0
                                         : pick == 1 ? live - 1
                                                     : int32_t(random() % uint32_t(live));
                    ASSERT_TRUE(WriteText(db, slot, kFieldWord, kPool[random() % kPool.size()]));
                    changed.push_back(slot);
                }
            }
            if (random() % 2 && db.liveCount > 1) {
                const auto slot = int32_t(random() % db.liveCount);
                ASSERT_EQ(SetRecordTag(db, slot, RecordDeleted), 1);
                changed.push_back(slot);
                placedWithGap += 1;
            }
            int32_t follow = int32_t(random() % (db.liveCount + 2)) - 1;
            const std::string followed =
                follow >= 0 && uint32_t(follow) < db.capacity ? SlotBytes(db, follow) : "";
            const bool followedUsed = follow >= 0 && ReadText(db, follow, kFieldWord).has_value();
            const std::string before = ReadBytes(path);
            const std::string expected = FullSortBytes(path, scratch, collator);
            ASSERT_EQ(PlaceChangedRecords(db, kFieldWord, collator, changed, &follow),
                      PlaceOutcome::Placed);
            const std::string after = ReadBytes(path);
            ASSERT_TRUE(after == expected) << "not the full sort's bytes, batch " << batch;
            placedWithMoves += after != before;
            EXPECT_FALSE(fs::exists(PlacementJournalName(path)));
            const uint32_t live = db.liveCount, used = db.usedTally;
            EXPECT_EQ(live, CountLiveRecords(db)) << "the live count went astray";
            EXPECT_EQ(used, CountUsedRecords(db)) << "the used count went astray";
            // The binary search for a word finds what a walk finds (equal keys,
            // as for the two spellings of cafe, are not the same word).
            const std::string& sought = kPool[random() % kPool.size()];
            std::vector<int32_t> walked;
            for (uint32_t slot = 0; slot < db.capacity; ++slot)
                if (ReadText(db, int32_t(slot), kFieldWord) == sought)
                    walked.push_back(int32_t(slot));
            EXPECT_EQ(SlotsHoldingExactly(db, kFieldWord, collator, sought), walked) << sought;
            if (followedUsed && follow >= 0) {
                EXPECT_EQ(SlotBytes(db, follow), followed) << "followed to the wrong slot";
            }
        }
        CloseRecordFile(db);
    }
    // The rounds must have exercised real moves, gaps included.
    EXPECT_GT(placedWithMoves, 300);
    EXPECT_GT(placedWithGap, 150);
}

TEST(PlaceRecords, LeavesWhatItCannotPlaceToTheSortUntouched) {
    const Collator collator("en_US");
    TempFolder folder;
    const std::string path = folder / "LPDB.lbf";
    MakeWordDatabase(path, NumberedWords(30));
    RecordFile db;
    ASSERT_EQ(OpenRecordFile(db, path, Access::ReadWrite), OpenResult::Opened);
    ASSERT_EQ(SortRecords(db, kFieldWord, collator), 1);

    // Two gaps: compaction's leftovers are not worked out here.
    ASSERT_EQ(SetRecordTag(db, 3, RecordDeleted), 1);
    ASSERT_EQ(SetRecordTag(db, 9, RecordDeleted), 1);
    const std::string twoGaps = ReadBytes(path);
    EXPECT_EQ(PlaceChangedRecords(db, kFieldWord, collator, {3, 9}), PlaceOutcome::NeedsSort);
    EXPECT_TRUE(ReadBytes(path) == twoGaps) << "the file changed";
    ASSERT_EQ(SortRecords(db, kFieldWord, collator), 1);

    // A gap the caller did not report: the used records do not end where their
    // count says.
    ASSERT_EQ(SetRecordTag(db, 5, RecordDeleted), 1);
    const int32_t added = AddWordRecord(db, "aardvark");
    ASSERT_EQ(added, 5);
    ASSERT_EQ(SetRecordTag(db, 2, RecordDeleted), 1);
    const std::string unreported = ReadBytes(path);
    EXPECT_EQ(PlaceChangedRecords(db, kFieldWord, collator, {5}), PlaceOutcome::NeedsSort);
    EXPECT_TRUE(ReadBytes(path) == unreported) << "the file changed";
    CloseRecordFile(db);
}

TEST(PlaceRecords, AFullDiskLeavesTheFileAsItWas) {
    const Collator collator("en_US");
    TempFolder folder;
    const std::string path = folder / "LPDB.lbf";
    MakeWordDatabase(path, NumberedWords(50));
    RecordFile db;
    ASSERT_EQ(OpenRecordFile(db, path, Access::ReadWrite), OpenResult::Opened);
    ASSERT_TRUE(WriteText(db, 0, kFieldWord, "zzz"));
    const std::string before = ReadBytes(path);
    {
        platform::ScopedFileOperations operations;
        FillDisk(*operations);
        EXPECT_EQ(PlaceChangedRecords(db, kFieldWord, collator, {0}), PlaceOutcome::Failed);
    }
    EXPECT_TRUE(ReadBytes(path) == before) << "the file changed";
    EXPECT_FALSE(fs::exists(PlacementJournalName(path)));
    EXPECT_EQ(PlaceChangedRecords(db, kFieldWord, collator, {0}), PlaceOutcome::Placed);
    EXPECT_EQ(GetText(db, 49), "zzz");
    CloseRecordFile(db);
}

// The placement runs in a child that is killed at a random instant; the next
// open finishes it. Whatever the instant, the file is then the edited file
// before the placement (killed before the first move) or the full sort's bytes.
TEST(PlaceKill, AKilledPlacementIsFinishedByTheNextOpen) {
    const Collator collator("en_US");
    TempFolder folder;
    const std::string path = folder / "LPDB.lbf", scratch = folder / "reference.lbf";
    const int words = 10000;
    MakeWordDatabase(path, NumberedWords(words));
    std::vector<int32_t> changed;
    {
        // The first word renamed to sort last, the last to sort first, one freed
        // in the middle and a word added: every record between them shifts.
        RecordFile db;
        ASSERT_EQ(OpenRecordFile(db, path, Access::ReadWrite), OpenResult::Opened);
        ASSERT_EQ(SortRecords(db, kFieldWord, collator), 1); // word10000 comes before word1001
        ASSERT_TRUE(WriteText(db, 0, kFieldWord, "zz renamed"));
        ASSERT_TRUE(WriteText(db, words - 1, kFieldWord, "aa renamed"));
        ASSERT_EQ(SetRecordTag(db, words / 2, RecordDeleted), 1);
        changed = {0, words - 1, words / 2, AddWordRecord(db, "word7000x")};
        CloseRecordFile(db);
    }
    const std::string before = ReadBytes(path);
    const std::string expected = FullSortBytes(path, scratch, collator);
    ASSERT_NE(before, expected);
    // The child says when it is about to place (after its open), so that the
    // kills land in the placement itself.
    int ready[2];
    const auto start = [&] {
        EXPECT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            RecordFile db;
            if (OpenRecordFile(db, path, Access::ReadWrite) != OpenResult::Opened)
                _exit(2);
            (void)!write(ready[1], "r", 1);
            _exit(PlaceChangedRecords(db, kFieldWord, collator, changed) == PlaceOutcome::Placed
                      ? 0
                      : 3);
        }
        char byte = 0;
        (void)!read(ready[0], &byte, 1);
        close(ready[0]);
        close(ready[1]);
        return child;
    };
    // How long one whole placement takes, to spread the kills over it.
    pid_t child = start();
    ASSERT_GT(child, 0);
    const auto started = std::chrono::steady_clock::now();
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
    ASSERT_TRUE(ReadBytes(path) == expected) << "not the full sort's bytes";

    std::mt19937 random(7);
    int sawBefore = 0, finished = 0;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE("kill " + std::to_string(round));
        WriteBytes(path, before);
        std::remove(PlacementJournalName(path).c_str());
        child = start();
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(
            std::chrono::microseconds(random() % static_cast<uint32_t>(took + 1)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const bool leftJournal = fs::exists(PlacementJournalName(path));
        if (round % 2 == 0) { // as start-up and lexipond-db do before their check
            FinishPlacementAt(path);
        } else {
            RecordFile db;
            ASSERT_EQ(OpenRecordFile(db, path, Access::ReadWrite), OpenResult::Opened);
            CloseRecordFile(db);
        }
        EXPECT_FALSE(fs::exists(PlacementJournalName(path)));
        const std::string now = ReadBytes(path);
        ASSERT_TRUE(now == before || now == expected) << "a mixed file after a kill";
        sawBefore += now == before;
        finished += leftJournal && now == expected;
    }
    EXPECT_GT(sawBefore + finished, 0);
    EXPECT_GT(finished, 0) << "no kill landed while records moved";
}

} // namespace
} // namespace lexipond
