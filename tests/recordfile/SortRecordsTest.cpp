// The sort must leave exactly the bytes that a stable neighbour-exchange sort
// leaves: checked against a plain bubble sort on random files.
#include "recordfile/SortRecords.h"

#include "platform/Collation.h"
#include "recordfile/RecordFile.h"
#include "recordfile/RecordFileTestSupport.h"
#include "recordfile/WordDatabase.h"
#include "text/TextHelpers.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace lexipond {
namespace {

using namespace lexipond::testing;
using platform::Collator;

uint8_t* Slot(RecordFile& file, uint32_t slot) {
    return file.view + file.recordAreaOffset + static_cast<uint64_t>(slot) * file.recordSize;
}

uint32_t Tag(RecordFile& file, uint32_t slot) {
    uint32_t tag;
    std::memcpy(&tag, Slot(file, slot), 4);
    return tag;
}

std::string Key(RecordFile& file, uint32_t slot, uint32_t field) {
    const int32_t type = GetField(file, static_cast<int32_t>(slot), field);
    if (type >= 0 && type < 10) {
        char number[12];
        NumberToText(file.numberValue, number);
        return number;
    }
    return file.textValue;
}

// The reference: compaction, then a bubble sort whose passes end at the last
// exchange, exchanging only strictly greater neighbours that are both used.
int BubbleSortRecords(RecordFile& file, uint32_t field, const Collator& collator) {
    if (!file.view || file.capacity <= 2 || field == 0 || file.liveCount == 0)
        return 0;
    CompactRecords(file);
    std::vector<uint8_t> scratch(file.recordSize);
    uint32_t limit = file.capacity - 1;
    uint32_t lastSwap = 0;
    uint32_t i = 1;
    while (i <= limit) {
        if (Tag(file, i - 1) >= 10 && Tag(file, i) >= 10 &&
            collator.Compare(Key(file, i - 1, field), Key(file, i, field)) > 0) {
            std::memcpy(scratch.data(), Slot(file, i - 1), file.recordSize);
            std::memcpy(Slot(file, i - 1), Slot(file, i), file.recordSize);
            std::memcpy(Slot(file, i), scratch.data(), file.recordSize);
            lastSwap = i;
        }
        ++i;
        if (i > limit && lastSwap != 0) {
            limit = lastSwap;
            lastSwap = 0;
            i = 1;
        }
    }
    return 1;
}

void PutText(RecordFile& file, int32_t slot, uint32_t field, const std::string& text) {
    std::memset(file.textValue, 0, sizeof file.textValue);
    std::memcpy(file.textValue, text.data(), std::min<size_t>(text.size(), 1023));
    PutField(file, slot, field);
}

void PutNumber(RecordFile& file, int32_t slot, uint32_t field, int32_t value) {
    file.numberValue = value;
    PutField(file, slot, field);
}

std::vector<uint8_t> ViewBytes(const RecordFile& file) {
    return std::vector<uint8_t>(file.view, file.view + file.mappingHandle.length);
}

const std::vector<std::string> kWords = {
    "dog",
    "Dog",
    "DOG",
    "cat",
    "Cat",
    "10",
    "9",
    "100",
    "-5",
    "",
    "caf\xC3\xA9",
    "cafe\xCC\x81",
    "cafe",
    "\xE9t\xE9",
    "zebra",
    "Zebra",
    "a b",
    "a-b",
    "ab",
    "Stra\xC3\x9F"
    "e",
    "strasse",
    "\xC3\xB1",
    "n",
    "\xF0\x9F\x90\xB6",
    "\x80\xFF",
    "dog",
};
const std::vector<int32_t> kNumbers = {
    0, 1, 9, 10, 100, -1, -5, 2147483647, static_cast<int32_t>(0x80000000), 42, 9, 10};

// Fills a new word database with count random records and then frees or
// re-tags random slots, so the file has gaps, duplicates and unusual tags.
void FillRandom(RecordFile& file, std::mt19937& random, uint32_t count) {
    for (uint32_t n = 0; n < count; ++n) {
        const int32_t slot = AddRecord(file);
        ASSERT_GE(slot, 0);
        PutText(file, slot, kFieldWord, kWords[random() % kWords.size()]);
        for (uint32_t field = 2; field <= 13; ++field)
            PutNumber(file, slot, field, kNumbers[random() % kNumbers.size()]);
        PutText(file, slot, kFieldNotes, "record " + std::to_string(n));
    }
    for (uint32_t slot = 0; slot < file.capacity; ++slot) {
        const uint32_t roll = random() % 20;
        if (roll < 3)
            SetRecordTag(file, static_cast<int32_t>(slot), RecordDeleted);
        else if (roll == 3 && Tag(file, slot) >= 10)
            SetRecordTag(file, static_cast<int32_t>(slot), 11);
    }
}

class SortRecordsTest : public ::testing::Test {
  protected:
    void SetUp() override { CreateDatabase(file_, folder_); }
    void TearDown() override {
        CloseRecordFile(file_);
        CloseRecordFile(reference_);
    }

    // Opens a byte-for-byte copy of file_ as reference_.
    void OpenReferenceCopy() {
        const std::string copy = folder_.File("reference.lbf");
        std::filesystem::copy_file(file_.fileName, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        reference_.fileName = copy;
        reference_.writable = 1;
        ASSERT_EQ(OpenRecordFile(reference_), 1);
    }

    TempFolder folder_;
    RecordFile file_;
    RecordFile reference_;
    const Collator collator_{"en_US"};
};

TEST_F(SortRecordsTest, MatchesBubbleSortOnRandomFiles) {
    struct Row {
        uint32_t seed;
        uint32_t count;
        uint32_t field;
    };
    const Row rows[] = {
        {1, 3, kFieldWord},   {2, 40, kFieldWord},     {3, 300, kFieldWord},
        {4, 300, kFieldWord}, {5, 120, TotalField(0)}, {6, 300, CorrectField(4)},
        {7, 60, kFieldNotes}, {8, 1, kFieldWord},      {9, 200, kFieldReservedA},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("seed " + std::to_string(row.seed) + " field " + std::to_string(row.field));
        CloseRecordFile(file_);
        CloseRecordFile(reference_);
        CreateDatabase(file_, folder_, "db" + std::to_string(row.seed) + ".lbf");
        std::mt19937 random(row.seed);
        FillRandom(file_, random, row.count);
        if (file_.liveCount == 0)
            continue;
        OpenReferenceCopy();
        const uint32_t liveBefore = file_.liveCount;

        ASSERT_EQ(SortRecords(file_, row.field, collator_), 1);
        ASSERT_EQ(BubbleSortRecords(reference_, row.field, collator_), 1);
        EXPECT_EQ(file_.liveCount, liveBefore);
        ASSERT_EQ(ViewBytes(file_), ViewBytes(reference_));
    }
}

TEST_F(SortRecordsTest, RunsLeftByAnExhaustedCompactionAreSortedEachOnItsOwn) {
    // 1000 free slots below 1100 records: compaction runs out of moves after
    // bringing 500 records down, leaving a gap between two runs.
    std::mt19937 random(99);
    for (uint32_t n = 0; n < 2100; ++n) {
        const int32_t slot = AddRecord(file_);
        ASSERT_GE(slot, 0);
        PutText(file_, slot, kFieldWord, kWords[random() % kWords.size()]);
        PutText(file_, slot, kFieldNotes, std::to_string(n));
    }
    for (int32_t slot = 0; slot < 1000; ++slot)
        SetRecordTag(file_, slot, RecordDeleted);
    OpenReferenceCopy();

    ASSERT_EQ(SortRecords(file_, kFieldWord, collator_), 1);
    ASSERT_EQ(BubbleSortRecords(reference_, kFieldWord, collator_), 1);
    ASSERT_EQ(ViewBytes(file_), ViewBytes(reference_));
    EXPECT_EQ(file_.liveCount, 1100u);
    // The gap is still there, so there were two runs to sort.
    EXPECT_LT(Tag(file_, 600), 10u) << "the compaction did not leave a gap";
}

TEST_F(SortRecordsTest, ExchangeCarriesTagsAndEveryField) {
    const int32_t b = AddWord(file_, "b");
    const int32_t a = AddWord(file_, "a");
    PutNumber(file_, b, TotalField(2), 7);
    PutText(file_, b, kFieldNotes, "notes of b");
    PutNumber(file_, a, CorrectField(4), 3);
    SetRecordTag(file_, a, 11);
    ASSERT_EQ(SortRecords(file_, kFieldWord, collator_), 1);
    EXPECT_EQ(GetWord(file_, 0), "a");
    EXPECT_EQ(GetWord(file_, 1), "b");
    EXPECT_EQ(Tag(file_, 0), 11u);
    EXPECT_EQ(Tag(file_, 1), static_cast<uint32_t>(RecordLive));
    GetField(file_, 1, TotalField(2));
    EXPECT_EQ(file_.numberValue, 7);
    GetField(file_, 0, CorrectField(4));
    EXPECT_EQ(file_.numberValue, 3);
    GetField(file_, 1, kFieldNotes);
    EXPECT_STREQ(file_.textValue, "notes of b");
}

TEST_F(SortRecordsTest, OrderIsLinguisticStableAndNumbersSortAsText) {
    for (const char* word : {"b", "B", "a", "A", "b", "10", "9", "apple"})
        AddWord(file_, word);
    // Tell the two "b" apart by their notes.
    PutText(file_, 0, kFieldNotes, "first b");
    PutText(file_, 4, kFieldNotes, "second b");
    ASSERT_EQ(SortRecords(file_, kFieldWord, collator_), 1);
    std::vector<std::string> words;
    for (uint32_t slot = 0; slot < file_.liveCount; ++slot)
        words.push_back(GetWord(file_, static_cast<int32_t>(slot)));
    EXPECT_EQ(words, (std::vector<std::string>{"10", "9", "a", "A", "apple", "b", "b", "B"}));
    GetField(file_, 5, kFieldNotes);
    EXPECT_STREQ(file_.textValue, "first b");
    GetField(file_, 6, kFieldNotes);
    EXPECT_STREQ(file_.textValue, "second b");
}

TEST_F(SortRecordsTest, DeletedSlotIsClosedUpAndSortedFileIsLeftAlone) {
    for (const char* word : {"e", "d", "c", "b", "a"})
        AddWord(file_, word);
    SetRecordTag(file_, 2, RecordDeleted);
    ASSERT_EQ(file_.liveCount, 4u);
    ASSERT_EQ(SortRecords(file_, kFieldWord, collator_), 1);
    EXPECT_EQ(file_.liveCount, 4u);
    EXPECT_EQ(GetWord(file_, 0), "a");
    EXPECT_EQ(GetWord(file_, 3), "e");
    EXPECT_EQ(Tag(file_, 3), static_cast<uint32_t>(RecordLive));
    EXPECT_LT(Tag(file_, 4), 10u);

    const std::vector<uint8_t> sorted = ViewBytes(file_);
    ASSERT_EQ(SortRecords(file_, kFieldWord, collator_), 1);
    EXPECT_EQ(ViewBytes(file_), sorted);
}

TEST_F(SortRecordsTest, LeavesBuffersAndRecountFlagAsTheCallerHadThem) {
    for (const char* word : {"c", "a", "b"})
        AddWord(file_, word);
    std::strcpy(file_.textValue, "caller's text");
    file_.numberValue = 1234;
    file_.deferRecount = 0;
    ASSERT_EQ(SortRecords(file_, kFieldWord, collator_), 1);
    EXPECT_STREQ(file_.textValue, "caller's text");
    EXPECT_EQ(file_.numberValue, 1234);
    EXPECT_EQ(file_.deferRecount, 0u);
    file_.deferRecount = 1;
    SortRecords(file_, kFieldWord, collator_);
    EXPECT_EQ(file_.deferRecount, 1u);
}

TEST_F(SortRecordsTest, DoesNothingWhenItCannotSort) {
    AddWord(file_, "b");
    AddWord(file_, "a");
    SetRecordTag(file_, 0, RecordDeleted); // a gap that a compaction would close
    const std::vector<uint8_t> before = ViewBytes(file_);

    EXPECT_EQ(SortRecords(file_, 0, collator_), 0);
    EXPECT_EQ(SortRecords(file_, kWordFieldCount + 1, collator_), 0);
    EXPECT_EQ(ViewBytes(file_), before);

    // Read-only: not a byte may change (the pages could not be written anyway).
    ASSERT_EQ(Reopen(file_, false), 1);
    EXPECT_EQ(SortRecords(file_, kFieldWord, collator_), 0);
    EXPECT_EQ(ViewBytes(file_), before);

    // No live record.
    ASSERT_EQ(Reopen(file_, true), 1);
    SetRecordTag(file_, 1, RecordDeleted);
    EXPECT_EQ(SortRecords(file_, kFieldWord, collator_), 0);

    // Closed.
    CloseRecordFile(file_);
    EXPECT_EQ(SortRecords(file_, kFieldWord, collator_), 0);
}

TEST_F(SortRecordsTest, CapacityOfTwoIsNotSorted) {
    AddWord(file_, "b");
    AddWord(file_, "a");
    CloseRecordFile(file_);
    std::vector<uint8_t> bytes = ReadBytes(file_.fileName);
    PutWordAt(bytes, 1360, 2);
    WriteBytes(file_.fileName, bytes);
    ASSERT_EQ(Reopen(file_, true), 1);
    ASSERT_EQ(file_.capacity, 2u);
    EXPECT_EQ(SortRecords(file_, kFieldWord, collator_), 0);
    EXPECT_EQ(GetWord(file_, 0), "b");
}

} // namespace
} // namespace lexipond
