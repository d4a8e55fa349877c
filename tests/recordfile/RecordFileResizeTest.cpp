// Growing, shrinking and compacting, including the move budget and failed writes.
#include "RecordFileTestSupport.h"

#include <cerrno>
#include <random>
#include <sys/mman.h>

namespace lexipond {
namespace {

using namespace lexipond::testing;

class RecordFileResize : public ::testing::Test {
  public:
    void SetUp() override {
        CreateDatabase(file_, folder_);
        CloseRecordFile(file_);
        header_ = ReadBytes(file_.fileName).substr(0, kArea);
    }
    void TearDown() override { CloseRecordFile(file_); }

    // Opens a database exactly as long as its capacity whose slot n has tags[n] and word "w<n>".
    void OpenWith(uint32_t capacity, const std::vector<uint32_t>& tags) {
        CloseRecordFile(file_);
        std::string bytes = header_;
        bytes.resize(kArea + size_t{capacity} * kSlot);
        PutWordAt(bytes, 1360, capacity);
        for (size_t n = 0; n < tags.size(); ++n) {
            PutWordAt(bytes, kArea + n * kSlot, tags[n]);
            const std::string word = "w" + std::to_string(n);
            word.copy(&bytes[kArea + n * kSlot + 4], word.size());
        }
        WriteBytes(file_.fileName, bytes);
        ASSERT_EQ(Reopen(file_), 1);
    }
    uint64_t Length() const { return fs::file_size(file_.fileName); }
    uint32_t StoredCapacity() {
        CloseRecordFile(file_);
        return WordAt(ReadBytes(file_.fileName), 1360);
    }

    TempFolder folder_;
    RecordFile file_;
    std::string header_;
};

TEST_F(RecordFileResize, SecondWordGrowsNewDatabaseByTenSlots) {
    CreateDatabase(file_, folder_);
    EXPECT_EQ(AddWord(file_, "one"), 0);
    EXPECT_EQ(Length(), 7796u) << "the first word needs no growth";
    EXPECT_EQ(AddWord(file_, "two"), 1);
    EXPECT_EQ(file_.capacity, 20u);
    EXPECT_EQ(Length(), 11956u);
    EXPECT_EQ(GetText(file_, 0), "one");
    EXPECT_EQ(StoredCapacity(), 20u);
}

TEST_F(RecordFileResize, CapacityGrowsAndShrinksByItsSteps) {
    const std::tuple<uint32_t, uint32_t, uint32_t> rows[] = {
        // capacity, live records (after free slots), capacity afterwards
        {180, 175, 190},   {187, 176, 198}, {200, 181, 200}, {200, 182, 211}, {30, 21, 40},
        {1000, 991, 1061}, {100, 80, 100},  {100, 70, 100},  {100, 3, 90},    {101, 3, 83},
        {160, 3, 130},     {51, 3, 41},     {50, 3, 50}};
    for (const auto& [capacity, live, after] : rows) {
        SCOPED_TRACE(std::to_string(live) + "/" + std::to_string(capacity));
        std::vector<uint32_t> tags(capacity, RecordLive);
        std::fill_n(tags.begin(), capacity - live, RecordDeleted);
        OpenWith(capacity, tags);
        ASSERT_EQ(MaintainCapacity(file_), 1);
        EXPECT_EQ(file_.capacity, after);
        EXPECT_EQ(CountLiveRecords(file_), live);
        EXPECT_EQ(GetText(file_, FindRecordByTag(file_, RecordLive, 0)),
                  "w" + std::to_string(capacity - live));
        EXPECT_EQ(Length(), kArea + uint64_t{after} * kSlot);
        EXPECT_EQ(StoredCapacity(), after);
    }
    OpenWith(100, {});
    EXPECT_EQ(MaintainCapacity(file_), 0) << "no live record: nothing is done";
}

TEST_F(RecordFileResize, ExhaustedBudgetStopsCompactionAndShrink) {
    // 1000 free slots below 1001 records: 1,001,000 moves needed, 500,000 allowed.
    std::vector<uint32_t> tags(1000, RecordDeleted);
    tags.resize(2001, RecordLive);
    OpenWith(2100, tags);
    EXPECT_EQ(CompactRecords(file_), 0u);
    EXPECT_EQ(file_.liveCount, 1001u);
    EXPECT_EQ(GetText(file_, 499), "w1499");
    EXPECT_EQ(FindRecordByTag(file_, RecordLive, 500), 1500);
    EXPECT_EQ(MaintainCapacity(file_), 1);
    EXPECT_EQ(file_.capacity, 2100u) << "a shrink needs a finished compaction";
    EXPECT_EQ(Length(), kArea + 2100u * kSlot);
}

// The compaction in its plainest form: after every move the scan starts again at
// slot 0. Slots are (tag, word number) pairs; returns the budget left.
uint32_t PlainCompaction(std::vector<std::pair<uint32_t, uint32_t>>& slots, uint32_t budget) {
    int64_t lastFree = -1;
    for (size_t i = 0; i != slots.size() && budget != 0;) {
        if (slots[i].first < 10) {
            lastFree = static_cast<int64_t>(i++);
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

// Compacts a file of these tags (capacity 40 at most) and checks every slot against the
// plain form; returns the budget left.
uint32_t CompactLikePlainForm(RecordFileResize& test, const std::vector<uint32_t>& tags,
                              uint32_t budget) {
    std::vector<std::pair<uint32_t, uint32_t>> model;
    for (uint32_t n = 0; n < tags.size(); ++n)
        model.emplace_back(tags[n], n);
    const uint32_t left = PlainCompaction(model, budget);
    test.OpenWith(static_cast<uint32_t>(tags.size()), tags);
    RecordFile& file = test.file_;
    EXPECT_EQ(CompactRecords(file, budget), left);
    for (int32_t n = 0; n < static_cast<int32_t>(tags.size()); ++n) {
        EXPECT_EQ(FindRecordByTag(file, model[n].first, n), n) << "slot " << n;
        EXPECT_EQ(GetText(file, n), "w" + std::to_string(model[n].second)) << "slot " << n;
    }
    return left;
}

TEST_F(RecordFileResize, CompactionMovesRecordsDownInOrderWithinItsBudget) {
    const std::vector<uint32_t> tags = {10, 5, 10, 0, 10, 0, 0};
    EXPECT_EQ(CompactLikePlainForm(*this, tags, kCompactionBudget), 499997u);
    EXPECT_EQ(GetText(file_, 1) + GetText(file_, 4), "w2w4") << "moved-from slots keep bytes";
    EXPECT_EQ(file_.liveCount, 3u);
    EXPECT_EQ(CompactRecords(file_), kCompactionBudget) << "nothing left to move";
    std::mt19937 random(20240607);
    const uint32_t tagChoices[] = {0, 5, 10, 10, 10, 11, 3};
    for (int round = 0; round < 60 && !HasFailure(); ++round) {
        SCOPED_TRACE(round);
        std::vector<uint32_t> layout(1 + random() % 40);
        for (auto& tag : layout)
            tag = tagChoices[random() % 7];
        layout[random() % layout.size()] = RecordLive;
        CompactLikePlainForm(*this, layout, round % 3 == 0 ? kCompactionBudget : random() % 30);
    }
}

// Failures injected below the file layer.
struct Fault {
    int writes = -1;    // writes that succeed before the disk is full; -1: never full
    size_t partial = 0; // bytes the failing write still manages, once
    bool map = false, truncate = false;
};
Fault fault;

ssize_t FaultyWrite(int fd, const void* data, size_t count) {
    if (fault.writes != 0) {
        fault.writes -= fault.writes > 0;
        return ::write(fd, data, count);
    }
    const size_t part = std::min(count, std::exchange(fault.partial, 0));
    if (part > 0)
        return ::write(fd, data, part);
    errno = ENOSPC;
    return -1;
}

void Inject(platform::ScopedFileOperations& scope, Fault injected) {
    fault = injected;
    scope->write = &FaultyWrite;
    scope->mmap = [](void* at, size_t length, int protection, int flags, int fd, off_t offset) {
        return fault.map ? MAP_FAILED : ::mmap(at, length, protection, flags, fd, offset);
    };
    scope->ftruncate = [](int fd, off_t length) {
        errno = EIO;
        return fault.truncate ? -1 : ::ftruncate(fd, length);
    };
}

TEST_F(RecordFileResize, FailedGrowthLeavesAnOpenableFileWithEveryRecord) {
    const std::tuple<const char*, Fault, uint32_t> rows[] = {
        {"disk full at once", {.writes = 0}, 10},
        {"disk full part-way", {.writes = 0, .partial = 1000}, 10},
        {"disk full one byte short", {.writes = 0, .partial = 4159}, 10},
        {"header write fails", {.writes = 1}, 10},
        {"remap fails", {.map = true}, 20}};
    for (const auto& [what, injected, capacity] : rows) {
        SCOPED_TRACE(what);
        CreateDatabase(file_, folder_);
        AddWord(file_, "first");
        {
            platform::ScopedFileOperations scope;
            Inject(scope, injected);
            // A free slot is still there; a failed remap leaves the file closed.
            EXPECT_EQ(AddWord(file_, "second"), injected.map ? -1 : 1);
            EXPECT_EQ(file_.view == nullptr, injected.map);
            CloseRecordFile(file_);
        }
        ASSERT_EQ(Reopen(file_), 1);
        EXPECT_EQ(file_.capacity, capacity);
        EXPECT_EQ(GetText(file_, 0) + GetText(file_, 1), injected.map ? "first" : "firstsecond");
        CloseRecordFile(file_);
    }
    OpenWith(12, std::vector<uint32_t>(12, RecordLive));
    platform::ScopedFileOperations scope;
    Inject(scope, {.writes = 0});
    EXPECT_EQ(AddRecord(file_), -1) << "a full file that cannot grow refuses to add";
    EXPECT_EQ(GetText(file_, 11), "w11");
}

TEST_F(RecordFileResize, FailedShrinkLeavesAValidFile) {
    std::vector<uint32_t> tags(100, RecordDeleted);
    tags[50] = RecordLive;
    for (const bool cutFails : {true, false}) {
        SCOPED_TRACE(cutFails ? "cut fails" : "header write fails");
        OpenWith(100, tags);
        {
            platform::ScopedFileOperations scope;
            Inject(scope, {.writes = cutFails ? -1 : 0, .truncate = cutFails});
            EXPECT_EQ(MaintainCapacity(file_), 1);
            EXPECT_EQ(Length(), kArea + 100u * kSlot);
            CloseRecordFile(file_);
        }
        ASSERT_EQ(Reopen(file_), 1);
        EXPECT_EQ(file_.capacity, cutFails ? 90u : 100u); // a longer file is still valid
        EXPECT_EQ(GetText(file_, 0), "w50");
    }
}

} // namespace
} // namespace lexipond
