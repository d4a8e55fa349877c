// SPDX-License-Identifier: GPL-3.0-or-later
// The sort must leave exactly the bytes a stable neighbour-exchange sort leaves:
// checked against a plain bubble sort on random files.
#include "core/recordfile/SortRecords.h"

#include "RecordFileTestSupport.h"
#include "core/platform/Collation.h"
#include "core/text/TextHelpers.h"

#include <random>

namespace lexipond {
namespace {

using namespace lexipond::testing;
using platform::Collator;

uint8_t* Slot(RecordFile& file, uint32_t slot) {
    return file.view + file.recordAreaOffset + uint64_t{slot} * file.recordSize;
}

bool Used(RecordFile& file, uint32_t slot) {
    uint32_t tag;
    std::memcpy(&tag, Slot(file, slot), 4);
    return tag >= RecordLive;
}

std::string Key(RecordFile& file, uint32_t slot, uint32_t field) {
    const auto at = static_cast<int32_t>(slot);
    if (std::optional<std::string> text = ReadText(file, at, field))
        return *text;
    char number[12];
    NumberToText(ReadNumber(file, at, field).value_or(0), number);
    return number;
}

// Compaction, then bubble passes that end at the last exchange, exchanging only
// strictly greater neighbours that are both used.
void BubbleSortRecords(RecordFile& file, uint32_t field, const Collator& collator) {
    CompactRecords(file);
    for (uint32_t limit = file.capacity - 1; limit != 0;) {
        uint32_t lastSwap = 0;
        for (uint32_t i = 1; i <= limit; ++i) {
            if (Used(file, i - 1) && Used(file, i) &&
                collator.Compare(Key(file, i - 1, field), Key(file, i, field)) > 0) {
                std::swap_ranges(Slot(file, i - 1), Slot(file, i), Slot(file, i));
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

TEST(SortRecords, LeavesTheBytesOfAPlainStableBubbleSort) {
    // Records, field, slots freed at the front (the last row runs the compaction out of moves).
    const uint32_t word = kFieldWord, total = TotalField(0), notes = kFieldNotes;
    const std::tuple<const char*, uint32_t, uint32_t, uint32_t> rows[] = {
        {"three words", 3, word, 0},
        {"300 words", 300, word, 0},
        {"120 numbers", 120, total, 0},
        {"60 notes", 60, notes, 0},
        {"compaction out of moves", 2100, word, 1000}};
    const Collator collator("en_US");
    TempFolder folder;
    uint32_t seed = 0;
    for (const auto& [name, count, field, freeFront] : rows) {
        SCOPED_TRACE(std::string(name) + ", seed " + std::to_string(++seed));
        RecordFile file, reference;
        file.fileName = folder / "words.lbf";
        ASSERT_NE(CreateWordDatabase(file), 0);
        std::mt19937 random(seed);
        for (uint32_t n = 0; n < count; ++n) {
            const int32_t slot = AddWord(file, kWords[random() % kWords.size()]);
            WriteNumber(file, slot, TotalField(0), kNumbers[random() % std::size(kNumbers)]);
            PutText(file, slot, "record " + std::to_string(n), kFieldNotes);
        }
        for (uint32_t slot = 0; slot < file.capacity; ++slot) {
            const uint32_t roll = slot < freeFront ? 0 : random() % 20;
            if (roll < 3) // free some slots, mark others used but not live
                SetRecordTag(file, static_cast<int32_t>(slot), RecordDeleted);
            else if (roll == 3 && Used(file, slot))
                SetRecordTag(file, static_cast<int32_t>(slot), 11);
        }
        reference.fileName = folder / "reference.lbf";
        fs::copy_file(file.fileName, reference.fileName, fs::copy_options::overwrite_existing);
        ASSERT_EQ(Reopen(reference), OpenResult::Opened);
        // The engine's value buffer decides what later text writes store behind their
        // terminators, so the sort must not touch it.
        std::strcpy(file.textValue, "caller's text");
        ASSERT_EQ(SortRecords(file, field, collator), 1);
        BubbleSortRecords(reference, field, collator);
        EXPECT_STREQ(file.textValue, "caller's text");
        EXPECT_EQ(ViewBytes(file), ViewBytes(reference));
        EXPECT_TRUE(freeFront == 0 || !Used(file, 600)) << "the compaction left no gap";
        CloseRecordFile(file);
        CloseRecordFile(reference);
    }
}

// The in-order test must agree with what the sort would do, or a file out of
// order would be left unsorted (or every re-sort would copy the file).
TEST(SortRecords, InOrderMeansTheSortWouldMoveNothingAndTheWholeSortMatchesInPlace) {
    const Collator collator("en_US");
    TempFolder folder;
    int inOrderSeen = 0, outOfOrderSeen = 0;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        RecordFile file;
        file.fileName = folder / "words.lbf";
        ASSERT_NE(CreateWordDatabase(file), 0);
        const uint32_t count = 2 + random() % 40;
        for (uint32_t n = 0; n < count; ++n)
            AddWord(file, kWords[random() % kWords.size()]);
        SortRecords(file, kFieldWord, collator);
        // Then a small disturbance, or none: a freed slot, a renamed word.
        const uint32_t disturbance = random() % 3;
        const auto slot = static_cast<int32_t>(random() % count);
        if (disturbance == 1 && file.liveCount > 2)
            SetRecordTag(file, slot, RecordDeleted);
        else if (disturbance == 2)
            PutText(file, slot, kWords[random() % kWords.size()]);
        const std::string before = ViewBytes(file);
        CloseRecordFile(file);

        RecordFile sorted;
        fs::copy_file(folder / "words.lbf", folder / "sorted.lbf",
                      fs::copy_options::overwrite_existing);
        ASSERT_EQ(OpenRecordFile(sorted, folder / "sorted.lbf", Access::ReadWrite),
                  OpenResult::Opened);
        SortRecords(sorted, kFieldWord, collator);
        const bool wouldMove = ViewBytes(sorted) != before;
        CloseRecordFile(sorted);

        ASSERT_EQ(OpenRecordFile(file, folder / "words.lbf", Access::ReadWrite), OpenResult::Opened);
        EXPECT_EQ(RecordsInOrder(file, kFieldWord, collator), !wouldMove);
        (wouldMove ? outOfOrderSeen : inOrderSeen) += 1;
        ASSERT_EQ(SortRecordsAtomically(file, kFieldWord, collator), 1);
        CloseRecordFile(file);
        EXPECT_TRUE(ReadBytes(folder / "words.lbf") == ReadBytes(folder / "sorted.lbf"));
    }
    EXPECT_GT(inOrderSeen, 5);
    EXPECT_GT(outOfOrderSeen, 5);
}

} // namespace
} // namespace lexipond
