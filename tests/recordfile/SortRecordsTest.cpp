// The sort must leave exactly the bytes a stable neighbour-exchange sort leaves:
// checked against a plain bubble sort on random files.
#include "recordfile/SortRecords.h"

#include "RecordFileTestSupport.h"
#include "platform/Collation.h"
#include "text/TextHelpers.h"

#include <random>

namespace lexipond {
namespace {

using namespace lexipond::testing;
using platform::Collator;

uint8_t* Slot(RecordFile& file, uint32_t slot) {
    return file.view + file.recordAreaOffset + uint64_t{slot} * file.recordSize;
}

uint32_t Tag(RecordFile& file, uint32_t slot) {
    uint32_t tag;
    std::memcpy(&tag, Slot(file, slot), 4);
    return tag;
}

std::string Key(RecordFile& file, uint32_t slot, uint32_t field) {
    const int32_t type = GetField(file, static_cast<int32_t>(slot), field);
    if (type >= 10)
        return file.textValue;
    char number[12];
    NumberToText(file.numberValue, number);
    return number;
}

// Compaction, then bubble passes that end at the last exchange, exchanging only
// strictly greater neighbours that are both used.
void BubbleSortRecords(RecordFile& file, uint32_t field, const Collator& collator) {
    CompactRecords(file);
    std::vector<uint8_t> scratch(file.recordSize);
    for (uint32_t limit = file.capacity - 1; limit != 0;) {
        uint32_t lastSwap = 0;
        for (uint32_t i = 1; i <= limit; ++i) {
            if (Tag(file, i - 1) >= 10 && Tag(file, i) >= 10 &&
                collator.Compare(Key(file, i - 1, field), Key(file, i, field)) > 0) {
                std::memcpy(scratch.data(), Slot(file, i - 1), file.recordSize);
                std::memcpy(Slot(file, i - 1), Slot(file, i), file.recordSize);
                std::memcpy(Slot(file, i), scratch.data(), file.recordSize);
                lastSwap = i;
            }
        }
        limit = lastSwap;
    }
}

std::string ViewBytes(const RecordFile& file) {
    return std::string(reinterpret_cast<const char*>(file.view), file.mappingHandle.length);
}

// Duplicates, case, numbers, accents both composed and not, invalid UTF-8, and long
// shared beginnings.
// clang-format off
const std::vector<std::string> kWords = {
    "dog", "Dog", "DOG", "cat", "10", "9", "100", "-5", "", "caf\xC3\xA9", "cafe\xCC\x81", "cafe",
    "\xE9t\xE9", "zebra", "Zebra", "a b", "a-b", "Stra\xC3\x9F\x65", "strasse", "\x80\xFF", "dog",
    "\xC3", "\xC0\xAF", "\xF0\x9F\x98\x80", "\xE4\xB8\xAD", "transportation1", "transportation2"};
// clang-format on
const int32_t kNumbers[] = {0, 1, 9, 10, 100, -1, -5, INT32_MAX, INT32_MIN, 9, 10};

class SortRecordsTest : public ::testing::Test {
  protected:
    void SetUp() override { CreateDatabase(file_, folder_); }
    void TearDown() override {
        CloseRecordFile(file_);
        CloseRecordFile(reference_);
    }
    // Sorts file_ and a byte-for-byte copy of it, the copy by the bubble sort.
    void SortBoth(uint32_t field) {
        reference_.fileName = folder_ / "reference.lbf";
        fs::copy_file(file_.fileName, reference_.fileName, fs::copy_options::overwrite_existing);
        ASSERT_EQ(Reopen(reference_), 1);
        const uint32_t live = file_.liveCount;
        std::strcpy(file_.textValue, "caller's text");
        file_.numberValue = 1234;
        ASSERT_EQ(SortRecords(file_, field, collator_), 1);
        BubbleSortRecords(reference_, field, collator_);
        EXPECT_EQ(file_.liveCount, live);
        EXPECT_STREQ(file_.textValue, "caller's text");
        EXPECT_EQ(file_.numberValue, 1234);
        ASSERT_EQ(ViewBytes(file_), ViewBytes(reference_));
    }

    TempFolder folder_;
    RecordFile file_;
    RecordFile reference_;
    const Collator collator_{"en_US"};
};

TEST_F(SortRecordsTest, MatchesBubbleSortOnRandomFiles) {
    const std::pair<uint32_t, uint32_t> rows[] = {{3, kFieldWord},        {40, kFieldWord},
                                                  {300, kFieldWord},      {120, TotalField(0)},
                                                  {300, CorrectField(4)}, {60, kFieldNotes}};
    uint32_t seed = 0;
    for (const auto& [count, field] : rows) {
        SCOPED_TRACE("seed " + std::to_string(++seed));
        CloseRecordFile(file_);
        CloseRecordFile(reference_);
        CreateDatabase(file_, folder_, "db" + std::to_string(seed) + ".lbf");
        std::mt19937 random(seed);
        for (uint32_t n = 0; n < count; ++n) {
            const int32_t slot = AddWord(file_, kWords[random() % kWords.size()]);
            for (uint32_t field = 2; field <= 13; ++field) {
                file_.numberValue = kNumbers[random() % std::size(kNumbers)];
                PutField(file_, slot, field);
            }
            PutText(file_, slot, "record " + std::to_string(n), kFieldNotes);
        }
        for (int32_t slot = 0; slot < static_cast<int32_t>(file_.capacity); ++slot) {
            const uint32_t roll = random() % 20; // free some slots, re-tag others as used
            if (roll < 3)
                SetRecordTag(file_, slot, RecordDeleted);
            else if (roll == 3 && Tag(file_, slot) >= 10)
                SetRecordTag(file_, slot, 11);
        }
        if (file_.liveCount != 0)
            SortBoth(field);
    }
}

TEST_F(SortRecordsTest, RunsLeftByAnExhaustedCompactionAreSortedEachOnItsOwn) {
    // 1000 free slots below 1100 records: the compaction runs out of moves
    // after bringing 500 down, leaving a gap between two runs.
    std::mt19937 random(99);
    for (uint32_t n = 0; n < 2100; ++n)
        PutText(file_, AddWord(file_, kWords[random() % kWords.size()]), std::to_string(n),
                kFieldNotes);
    for (int32_t slot = 0; slot < 1000; ++slot)
        SetRecordTag(file_, slot, RecordDeleted);
    SortBoth(kFieldWord);
    EXPECT_LT(Tag(file_, 600), 10u) << "the compaction did not leave a gap";
}

TEST_F(SortRecordsTest, DoesNothingWhenItCannotSort) {
    AddWord(file_, "b");
    AddWord(file_, "a");
    SetRecordTag(file_, 0, RecordDeleted); // a gap that a compaction would close
    const std::string before = ViewBytes(file_);
    EXPECT_EQ(SortRecords(file_, 0, collator_), 0);
    EXPECT_EQ(SortRecords(file_, kWordFieldCount + 1, collator_), 0);
    ASSERT_EQ(Reopen(file_, false), 1);
    EXPECT_EQ(SortRecords(file_, kFieldWord, collator_), 0) << "read-only";
    EXPECT_EQ(ViewBytes(file_), before);
    ASSERT_EQ(Reopen(file_), 1);
    SetRecordTag(file_, 1, RecordDeleted);
    EXPECT_EQ(SortRecords(file_, kFieldWord, collator_), 0) << "no live record";
    CloseRecordFile(file_);
    EXPECT_EQ(SortRecords(file_, kFieldWord, collator_), 0) << "closed";
}

} // namespace
} // namespace lexipond
