// Growing, shrinking and compacting, including the move budget and failed writes.
#include "platform/FileMapping.h"
#include "recordfile/RecordFile.h"
#include "recordfile/RecordFileTestSupport.h"
#include "recordfile/WordDatabase.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/mman.h>
#include <vector>

namespace lexipond {
namespace {

using namespace lexipond::testing;

constexpr uint32_t kArea = 1556;
constexpr uint32_t kSlot = 416;

// A word database file with the given capacity, exactly as long as its slots, whose
// slot n carries tags[n] and the word "w<n>".
std::vector<uint8_t> DatabaseBytes(const std::vector<uint8_t>& newDatabase, uint32_t capacity,
                                   const std::vector<uint32_t>& tags) {
    std::vector<uint8_t> bytes(newDatabase.begin(), newDatabase.begin() + kArea);
    bytes.resize(kArea + static_cast<size_t>(capacity) * kSlot, 0);
    PutWordAt(bytes, 1360, capacity);
    for (size_t n = 0; n < tags.size(); ++n) {
        PutWordAt(bytes, kArea + n * kSlot, tags[n]);
        const std::string word = "w" + std::to_string(n);
        std::memcpy(bytes.data() + kArea + n * kSlot + 4, word.c_str(), word.size() + 1);
    }
    return bytes;
}

class RecordFileResize : public ::testing::Test {
  protected:
    void SetUp() override {
        CreateDatabase(file_, folder_);
        CloseRecordFile(file_);
        template_ = ReadBytes(file_.fileName);
    }
    void TearDown() override { CloseRecordFile(file_); }

    void OpenWith(uint32_t capacity, const std::vector<uint32_t>& tags) {
        WriteBytes(file_.fileName, DatabaseBytes(template_, capacity, tags));
        ASSERT_EQ(Reopen(file_), 1);
    }
    std::vector<uint32_t> Live(uint32_t count) { return std::vector<uint32_t>(count, RecordLive); }

    TempFolder folder_;
    RecordFile file_;
    std::vector<uint8_t> template_;
};

TEST_F(RecordFileResize, SecondWordGrowsNewDatabaseByTenSlots) {
    CreateDatabase(file_, folder_);
    EXPECT_EQ(AddWord(file_, "one"), 0);
    EXPECT_EQ(file_.capacity, 10u);
    EXPECT_EQ(AddWord(file_, "two"), 1);
    EXPECT_EQ(file_.capacity, 20u);
    EXPECT_EQ(FileLength(file_.fileName), 11956u);
    EXPECT_EQ(GetWord(file_, 0), "one");
    EXPECT_EQ(GetWord(file_, 1), "two");
    CloseRecordFile(file_);
    EXPECT_EQ(WordAt(ReadBytes(file_.fileName), 1360), 20u);
}

TEST_F(RecordFileResize, GrowthStepFollowsUsedSlots) {
    struct Row {
        uint32_t capacity;
        uint32_t used;
        uint32_t grownBy; // 0: no growth
    };
    const Row rows[] = {
        {180, 175, 10}, {187, 176, 11}, {200, 181, 0}, {200, 182, 11},  // above 90 %
        {400, 300, 0},  {30, 21, 10},   {30, 20, 0},   {1000, 991, 61}, // fewer than 10 free
    };
    for (const Row& row : rows) {
        OpenWith(row.capacity, Live(row.used));
        const uint64_t length = FileLength(file_.fileName);
        ASSERT_EQ(MaintainCapacity(file_), 1);
        EXPECT_EQ(file_.capacity, row.capacity + row.grownBy) << row.used << "/" << row.capacity;
        EXPECT_EQ(FileLength(file_.fileName), length + uint64_t{row.grownBy} * kSlot);
        EXPECT_EQ(GetWord(file_, static_cast<int32_t>(row.used - 1)),
                  "w" + std::to_string(row.used - 1));
        CloseRecordFile(file_);
        EXPECT_EQ(WordAt(ReadBytes(file_.fileName), 1360), row.capacity + row.grownBy);
    }
}

TEST_F(RecordFileResize, ShrinkStepFollowsCapacity) {
    struct Row {
        uint32_t capacity;
        uint32_t shrunkBy;
    };
    for (const Row& row : {Row{100, 10}, Row{101, 18}, Row{160, 30}, Row{51, 10}, Row{50, 0}}) {
        std::vector<uint32_t> tags(row.capacity, RecordDeleted);
        tags[3] = tags[7] = tags[20] = RecordLive; // 3 % used: compaction then shrink
        OpenWith(row.capacity, tags);
        ASSERT_EQ(MaintainCapacity(file_), 1);
        const uint32_t expected = row.capacity - row.shrunkBy;
        EXPECT_EQ(file_.capacity, expected) << row.capacity;
        EXPECT_EQ(file_.liveCount, 3u);
        EXPECT_EQ(FileLength(file_.fileName), row.shrunkBy
                                                  ? kArea + uint64_t{expected} * kSlot
                                                  : kArea + uint64_t{row.capacity} * kSlot);
        if (row.shrunkBy) {
            EXPECT_EQ(GetWord(file_, 0), "w3");
            EXPECT_EQ(GetWord(file_, 1), "w7");
            EXPECT_EQ(GetWord(file_, 2), "w20");
        }
        CloseRecordFile(file_);
        EXPECT_EQ(WordAt(ReadBytes(file_.fileName), 1360), expected);
    }
}

TEST_F(RecordFileResize, NoResizeBetweenThresholdsOrWithoutLiveRecords) {
    OpenWith(100, Live(80)); // 80 %, 20 free
    EXPECT_EQ(MaintainCapacity(file_), 1);
    EXPECT_EQ(file_.capacity, 100u);
    OpenWith(100, Live(70)); // exactly 70 %: no shrink
    EXPECT_EQ(MaintainCapacity(file_), 1);
    EXPECT_EQ(file_.capacity, 100u);
    OpenWith(100, {}); // no live record: nothing is done
    EXPECT_EQ(MaintainCapacity(file_), 0);
    EXPECT_EQ(file_.capacity, 100u);
}

TEST_F(RecordFileResize, CompactionMovesRecordsDownInOrder) {
    OpenWith(10, {RecordLive, RecordDeleted, RecordLive, RecordEmpty, RecordLive});
    EXPECT_EQ(CompactRecords(file_), 499997u);
    EXPECT_EQ(file_.liveCount, 3u);
    EXPECT_EQ(file_.deferRecount, 0u);
    const char* words[] = {"w0", "w2", "w4", "w4", "w4"};
    const uint32_t tags[] = {10, 10, 10, 5, 5};
    CloseRecordFile(file_);
    const auto bytes = ReadBytes(file_.fileName);
    for (int n = 0; n < 5; ++n) {
        EXPECT_EQ(WordAt(bytes, kArea + n * kSlot), tags[n]) << n;
        EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + kArea + n * kSlot + 4), words[n])
            << n;
    }
    EXPECT_EQ(WordAt(bytes, kArea + 5 * kSlot), 0u); // free slots above keep their tags
}

TEST_F(RecordFileResize, CompactDatabaseMovesNothing) {
    OpenWith(10, {RecordLive, RecordLive, 11, RecordDeleted, RecordEmpty});
    const auto before = ReadBytes(file_.fileName);
    EXPECT_EQ(CompactRecords(file_), kCompactionBudget);
    EXPECT_EQ(ReadBytes(file_.fileName), before);
    file_.deferRecount = 1;
    CompactRecords(file_);
    EXPECT_EQ(file_.deferRecount, 1u); // restored, not cleared
}

TEST_F(RecordFileResize, SmallBudgetStopsAfterExactlyThatManyMoves) {
    OpenWith(10, {RecordLive, RecordDeleted, RecordLive, RecordEmpty, RecordLive});
    EXPECT_EQ(CompactRecords(file_, 2), 0u);
    EXPECT_EQ(GetWord(file_, 0), "w0");
    EXPECT_EQ(GetWord(file_, 1), "w2");
    EXPECT_EQ(GetWord(file_, 3), "w4");
    EXPECT_EQ(FindRecordByTag(file_, RecordLive, 2), 3);
    EXPECT_EQ(file_.liveCount, 3u);
}

TEST_F(RecordFileResize, FullBudgetRunsOutOnALargeGap) {
    // 1000 free slots below 1001 records: 1,001,000 moves needed, 500,000 allowed.
    std::vector<uint32_t> tags(1000, RecordDeleted);
    tags.resize(2001, RecordLive);
    OpenWith(2100, tags);
    EXPECT_EQ(CompactRecords(file_), 0u);
    EXPECT_EQ(file_.liveCount, 1001u);
    EXPECT_EQ(GetWord(file_, 0), "w1000");
    EXPECT_EQ(GetWord(file_, 499), "w1499");
    EXPECT_EQ(FindRecordByTag(file_, RecordLive, 500), 1500);
    EXPECT_EQ(GetWord(file_, 1500), "w1500");
    // A shrink needs a finished compaction: the file keeps its size.
    const uint64_t length = FileLength(file_.fileName);
    EXPECT_EQ(MaintainCapacity(file_), 1);
    EXPECT_EQ(file_.capacity, 2100u);
    EXPECT_EQ(FileLength(file_.fileName), length);
}

// The compaction as first written: after every move the scan starts again at slot 0.
// Slots are modelled as (tag, payload) pairs; returns the budget left.
uint32_t ReferenceCompaction(std::vector<std::pair<uint32_t, uint32_t>>& slots, uint32_t budget) {
    int64_t lastFree = -1;
    size_t i = 0;
    while (i != slots.size() && budget != 0) {
        if (slots[i].first < 10) {
            lastFree = static_cast<int64_t>(i);
            ++i;
        } else if (lastFree == -1) {
            ++i;
        } else {
            slots[static_cast<size_t>(lastFree)] = slots[i];
            slots[i].first = RecordDeleted;
            --budget;
            lastFree = -1;
            i = 0;
        }
    }
    return budget;
}

TEST_F(RecordFileResize, CompactionMatchesRestartFromZeroOnRandomLayouts) {
    std::mt19937 random(20240607);
    const uint32_t tagChoices[] = {0, 5, 10, 10, 10, 11, 3};
    for (int round = 0; round < 60; ++round) {
        const uint32_t capacity = 1 + random() % 40;
        std::vector<uint32_t> tags(capacity);
        for (auto& tag : tags)
            tag = tagChoices[random() % 7];
        if (std::count(tags.begin(), tags.end(), RecordLive) == 0)
            tags[random() % capacity] = RecordLive;
        const uint32_t budget = round % 3 == 0 ? kCompactionBudget : random() % 30;

        std::vector<std::pair<uint32_t, uint32_t>> model;
        for (uint32_t n = 0; n < capacity; ++n)
            model.emplace_back(tags[n], n);
        const uint32_t expectedLeft = ReferenceCompaction(model, budget);

        OpenWith(capacity, tags);
        ASSERT_EQ(CompactRecords(file_, budget), expectedLeft) << "round " << round;
        for (uint32_t n = 0; n < capacity; ++n) {
            ASSERT_EQ(FindRecordByTag(file_, model[n].first, static_cast<int32_t>(n)),
                      static_cast<int32_t>(n))
                << "round " << round << " slot " << n;
            ASSERT_EQ(GetWord(file_, static_cast<int32_t>(n)),
                      "w" + std::to_string(model[n].second))
                << "round " << round << " slot " << n;
        }
    }
}

TEST_F(RecordFileResize, AddingManyWordsAndDeletingMostShrinksTheFile) {
    CreateDatabase(file_, folder_);
    for (int i = 0; i < 400; ++i)
        ASSERT_GE(AddWord(file_, "word" + std::to_string(i)), 0);
    EXPECT_EQ(file_.liveCount, 400u);
    const uint32_t grown = file_.capacity;
    EXPECT_GE(grown, 410u);
    for (int32_t slot = 0; slot < 400; ++slot)
        if (slot % 10 != 0)
            SetRecordTag(file_, slot, RecordDeleted);
    ASSERT_EQ(file_.liveCount, 40u);
    AddWord(file_, "late");
    EXPECT_LT(file_.capacity, grown);
    EXPECT_EQ(FileLength(file_.fileName), kArea + uint64_t{file_.capacity} * kSlot);
    // Compaction kept the order of the survivors.
    EXPECT_EQ(GetWord(file_, 0), "word0");
    EXPECT_EQ(GetWord(file_, 1), "word10");
    EXPECT_EQ(GetWord(file_, 39), "word390");
    EXPECT_EQ(GetWord(file_, 40), "late");
}

// Fault injection through the file layer's operations table.
struct Faults {
    static inline int writesBeforeFailure = -1; // -1: never fail
    static inline size_t bytesOnFailingWrite = 0;
    static inline bool failMap = false;
    static inline bool failTruncate = false;

    static ssize_t Write(int fd, const void* data, size_t count) {
        if (writesBeforeFailure == 0) {
            // Disk full: part of the bytes once, then nothing.
            const size_t part = std::min(count, bytesOnFailingWrite);
            bytesOnFailingWrite = 0;
            if (part > 0)
                return ::write(fd, data, part);
            errno = ENOSPC;
            return -1;
        }
        if (writesBeforeFailure > 0)
            --writesBeforeFailure;
        return ::write(fd, data, count);
    }
    static void* Map(void* address, size_t length, int protection, int flags, int fd,
                     off_t offset) {
        if (failMap)
            return MAP_FAILED;
        return ::mmap(address, length, protection, flags, fd, offset);
    }
    static int Truncate(int fd, off_t length) {
        if (failTruncate) {
            errno = EIO;
            return -1;
        }
        return ::ftruncate(fd, length);
    }
    static void Install(platform::ScopedFileOperations& scope) {
        writesBeforeFailure = -1;
        bytesOnFailingWrite = 0;
        failMap = false;
        failTruncate = false;
        scope->write = &Write;
        scope->mmap = &Map;
        scope->ftruncate = &Truncate;
    }
};

TEST_F(RecordFileResize, FailedGrowthKeepsFileValidAndRecordsIntact) {
    for (const size_t partial : {size_t{0}, size_t{1000}, size_t{4159}}) {
        CreateDatabase(file_, folder_);
        AddWord(file_, "first");
        platform::ScopedFileOperations scope;
        Faults::Install(scope);
        Faults::writesBeforeFailure = 0;
        Faults::bytesOnFailingWrite = partial;
        // Growth fails, but a free slot is still there.
        EXPECT_EQ(AddWord(file_, "second"), 1) << partial;
        EXPECT_EQ(file_.capacity, 10u);
        EXPECT_EQ(FileLength(file_.fileName), 7796u);
        CloseRecordFile(file_);
        platform::ResetFileOperations();
        const auto bytes = ReadBytes(file_.fileName);
        EXPECT_EQ(WordAt(bytes, 1360), 10u);
        ASSERT_EQ(Reopen(file_), 1);
        EXPECT_EQ(GetWord(file_, 0), "first");
        EXPECT_EQ(GetWord(file_, 1), "second");
        CloseRecordFile(file_);
    }
}

TEST_F(RecordFileResize, FailedCapacityWriteAfterGrowthKeepsOldCapacity) {
    CreateDatabase(file_, folder_);
    AddWord(file_, "first");
    platform::ScopedFileOperations scope;
    Faults::Install(scope);
    Faults::writesBeforeFailure = 1; // the slots are written, the header word is not
    EXPECT_EQ(AddWord(file_, "second"), 1);
    EXPECT_EQ(file_.capacity, 10u);
    CloseRecordFile(file_);
    platform::ResetFileOperations();
    EXPECT_EQ(WordAt(ReadBytes(file_.fileName), 1360), 10u);
    ASSERT_EQ(Reopen(file_), 1);
    EXPECT_EQ(GetWord(file_, 1), "second");
}

TEST_F(RecordFileResize, FullFileWhoseGrowthFailsRefusesToAdd) {
    OpenWith(12, Live(12));
    platform::ScopedFileOperations scope;
    Faults::Install(scope);
    Faults::writesBeforeFailure = 0;
    EXPECT_EQ(AddRecord(file_), -1);
    EXPECT_NE(file_.view, nullptr);
    EXPECT_EQ(file_.liveCount, 12u);
    EXPECT_EQ(GetWord(file_, 11), "w11");
}

TEST_F(RecordFileResize, FailedRemapLeavesFileClosedAndIntact) {
    CreateDatabase(file_, folder_);
    AddWord(file_, "first");
    {
        platform::ScopedFileOperations scope;
        Faults::Install(scope);
        Faults::failMap = true;
        EXPECT_EQ(AddRecord(file_), -1);
        EXPECT_EQ(file_.view, nullptr);
        EXPECT_FALSE(file_.fileHandle);
        EXPECT_EQ(GetField(file_, 0, 1), -1);
    }
    ASSERT_EQ(Reopen(file_), 1);
    EXPECT_EQ(file_.capacity, 20u); // the growth itself had succeeded
    EXPECT_EQ(GetWord(file_, 0), "first");
}

TEST_F(RecordFileResize, FailedCutOrHeaderWriteDuringShrinkKeepsFileValid) {
    std::vector<uint32_t> tags(100, RecordDeleted);
    tags[50] = RecordLive;
    {
        OpenWith(100, tags);
        platform::ScopedFileOperations scope;
        Faults::Install(scope);
        Faults::failTruncate = true;
        EXPECT_EQ(MaintainCapacity(file_), 1);
        EXPECT_EQ(file_.capacity, 90u); // header lowered, file merely longer
        EXPECT_EQ(FileLength(file_.fileName), kArea + 100u * kSlot);
        EXPECT_EQ(GetWord(file_, 0), "w50");
    }
    {
        OpenWith(100, tags);
        platform::ScopedFileOperations scope;
        Faults::Install(scope);
        Faults::writesBeforeFailure = 0;
        EXPECT_EQ(MaintainCapacity(file_), 1);
        EXPECT_EQ(file_.capacity, 100u);
        EXPECT_EQ(FileLength(file_.fileName), kArea + 100u * kSlot);
        EXPECT_EQ(GetWord(file_, 0), "w50");
    }
}

TEST_F(RecordFileResize, FailedCreationHoldsNothing) {
    platform::ScopedFileOperations scope;
    Faults::Install(scope);
    Faults::writesBeforeFailure = 0;
    RecordFile file;
    file.fileName = folder_.File("new.lbf");
    EXPECT_EQ(CreateWordDatabase(file), 0);
    EXPECT_EQ(file.view, nullptr);
    EXPECT_FALSE(file.fileHandle);
}

} // namespace
} // namespace lexipond
