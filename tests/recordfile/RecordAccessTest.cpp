// Fields, adding, tags, counts, walking and the key search.
#include "recordfile/RecordFile.h"
#include "recordfile/RecordFileTestSupport.h"
#include "recordfile/WordDatabase.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace lexipond {
namespace {

using namespace lexipond::testing;

class RecordAccess : public ::testing::Test {
  protected:
    void SetUp() override { CreateDatabase(file_, folder_); }
    void TearDown() override { CloseRecordFile(file_); }
    TempFolder folder_;
    RecordFile file_;
};

TEST_F(RecordAccess, FirstWordTakesSlotZeroWithoutResizing) {
    const auto length = FileLength(file_.fileName);
    EXPECT_EQ(AddWord(file_, "cat"), 0);
    EXPECT_EQ(file_.liveCount, 1u);
    EXPECT_EQ(file_.capacity, 10u);
    EXPECT_EQ(FileLength(file_.fileName), length);
    EXPECT_EQ(GetWord(file_, 0), "cat");
}

TEST_F(RecordAccess, TextFieldsCutAtTheirWidth) {
    const int32_t slot = AddRecord(file_);
    const std::string long64(64, 'w');
    EXPECT_EQ(PutWord(file_, slot, long64), 12);
    EXPECT_EQ(file_.textValue[0], '\0'); // the write empties the buffer
    EXPECT_EQ(GetWord(file_, slot), std::string(63, 'w'));

    std::memset(file_.textValue, 'n', sizeof file_.textValue - 1);
    EXPECT_EQ(PutField(file_, slot, kFieldNotes), 13);
    EXPECT_EQ(GetField(file_, slot, kFieldNotes), 13);
    EXPECT_EQ(std::string(file_.textValue), std::string(299, 'n'));
}

TEST_F(RecordAccess, CutNeverSplitsAUtf8Character) {
    const int32_t slot = AddRecord(file_);
    const std::string ascii62(62, 'a');
    PutWord(file_, slot, ascii62 + "\xC3\xA9"); // é would straddle the 63-byte limit
    EXPECT_EQ(GetWord(file_, slot), ascii62);
    PutWord(file_, slot, std::string(61, 'a') + "\xE2\x82\xAC" + "z"); // € from byte 61 to 63
    EXPECT_EQ(GetWord(file_, slot), std::string(61, 'a'));
    PutWord(file_, slot, std::string(61, 'a') + "\xC3\xA9" + "z"); // é fits exactly
    EXPECT_EQ(GetWord(file_, slot), std::string(61, 'a') + "\xC3\xA9");
    // Single-byte (Windows-1252) text keeps the plain cut at the width.
    PutWord(file_, slot, std::string(62, 'a') + "\xE9" + "\xE9");
    EXPECT_EQ(GetWord(file_, slot), std::string(62, 'a') + "\xE9");
}

TEST_F(RecordAccess, SecondTextWriteWithoutRefillLeavesFieldEmpty) {
    const int32_t slot = AddRecord(file_);
    PutWord(file_, slot, "first");
    EXPECT_EQ(PutField(file_, slot, kFieldNotes), 13);
    EXPECT_EQ(GetField(file_, slot, kFieldNotes), 13);
    EXPECT_STREQ(file_.textValue, "");
    EXPECT_EQ(GetWord(file_, slot), "first");
}

TEST_F(RecordAccess, NumbersRoundTripAndWrapAsUnsignedTallies) {
    const int32_t slot = AddRecord(file_);
    for (int32_t value : {0, 1, 12, -1, 0x7FFFFFFF, static_cast<int32_t>(0x80000000)}) {
        file_.numberValue = value;
        EXPECT_EQ(PutField(file_, slot, TotalField(4)), 2);
        file_.numberValue = 12345;
        EXPECT_EQ(GetField(file_, slot, TotalField(4)), 2);
        EXPECT_EQ(file_.numberValue, value);
    }
    // Fields are independent: the neighbour keeps its value.
    file_.numberValue = 3;
    PutField(file_, slot, CorrectField(0));
    file_.numberValue = 4;
    PutField(file_, slot, TotalField(0));
    GetField(file_, slot, CorrectField(0));
    EXPECT_EQ(file_.numberValue, 3);
}

TEST_F(RecordAccess, RefusalsLeaveBuffersAndFileAlone) {
    // No live record yet: reads and writes are refused.
    file_.numberValue = 77;
    std::strcpy(file_.textValue, "keep");
    EXPECT_EQ(GetField(file_, 0, kFieldWord), -1);
    EXPECT_EQ(PutField(file_, 0, kFieldWord), -1);
    EXPECT_EQ(file_.numberValue, 77);
    EXPECT_STREQ(file_.textValue, "keep");
    EXPECT_EQ(FindRecordByTag(file_, RecordLive, 0), -1);

    const int32_t slot = AddWord(file_, "dog");
    struct Row {
        int32_t slot;
        uint32_t field;
    };
    const int32_t capacity = static_cast<int32_t>(file_.capacity);
    for (const Row& row : {Row{slot, 0}, Row{slot, 15}, Row{slot, 0xFFFFFFFF}, Row{-1, 1},
                           Row{capacity, 1}, Row{0x7FFFFFFF, 1}, Row{-2147483647 - 1, 3}}) {
        std::strcpy(file_.textValue, "keep");
        EXPECT_EQ(GetField(file_, row.slot, row.field), -1) << row.slot << "/" << row.field;
        EXPECT_EQ(PutField(file_, row.slot, row.field), -1) << row.slot << "/" << row.field;
        EXPECT_STREQ(file_.textValue, "keep");
    }
    EXPECT_EQ(SetRecordTag(file_, capacity, RecordLive), 0);
    EXPECT_EQ(SetRecordTag(file_, -1, RecordLive), 0);
    EXPECT_EQ(CopyRecord(file_, slot, capacity), 0);
    EXPECT_EQ(CopyRecord(file_, -1, slot), 0);
    EXPECT_EQ(FindRecordByTag(file_, RecordLive, -5), -1);
    EXPECT_EQ(NextLiveRecord(file_, 0x7FFFFFFF), 0x7FFFFFFF);
    EXPECT_EQ(FindNextMatch(file_, 0x7FFFFFFF), -1);
    EXPECT_EQ(RecordMatchesKey(file_, capacity), -1);
    EXPECT_EQ(file_.liveCount, 1u);
    EXPECT_EQ(GetWord(file_, slot), "dog");
}

TEST_F(RecordAccess, ClosedFileRefusesEverything) {
    AddWord(file_, "dog");
    CloseRecordFile(file_);
    EXPECT_EQ(GetField(file_, 0, 1), -1);
    EXPECT_EQ(PutField(file_, 0, 1), -1);
    EXPECT_EQ(AddRecord(file_), -1);
    EXPECT_EQ(SetRecordTag(file_, 0, 5), 0);
    EXPECT_EQ(CopyRecord(file_, 0, 1), 0);
    EXPECT_EQ(CountUsedRecords(file_), 0u);
    EXPECT_EQ(CountLiveRecords(file_), 0u);
    EXPECT_EQ(FindRecordByTag(file_, 10, 0), -1);
    EXPECT_EQ(NextLiveRecord(file_, 3), 3);
    EXPECT_EQ(FindNextMatch(file_, 0), -1);
    EXPECT_EQ(RecordMatchesKey(file_, 0), -1);
    EXPECT_EQ(MaintainCapacity(file_), 0);
    EXPECT_EQ(CompactRecords(file_), kCompactionBudget);
}

TEST_F(RecordAccess, DeletedSlotIsReusedWithItsOldBytes) {
    for (const char* word : {"a", "b", "c", "d", "e", "f"})
        AddWord(file_, word);
    ASSERT_EQ(GetWord(file_, 4), "e");
    const uint32_t live = file_.liveCount;
    EXPECT_EQ(SetRecordTag(file_, 4, RecordDeleted), 1);
    EXPECT_EQ(file_.liveCount, live - 1);
    const uint32_t capacity = file_.capacity;
    const int32_t slot = AddRecord(file_);
    ASSERT_EQ(file_.capacity, capacity) << "this add must not resize";
    EXPECT_EQ(slot, 4);
    EXPECT_EQ(GetWord(file_, 4), "e");
}

TEST_F(RecordAccess, TagsAndCountsFollowTheirRules) {
    for (const char* word : {"a", "b", "c", "d", "e"})
        AddWord(file_, word);
    SetRecordTag(file_, 1, 11); // used, not live
    SetRecordTag(file_, 2, 9);  // free for counting, not taken by adding
    EXPECT_EQ(file_.liveCount, 3u);
    EXPECT_EQ(CountLiveRecords(file_), 3u);
    EXPECT_EQ(CountUsedRecords(file_), 4u);
    SetRecordTag(file_, 3, 0xFFFFFFFF); // unsigned: used
    EXPECT_EQ(CountUsedRecords(file_), 4u + 0u);
    EXPECT_EQ(file_.liveCount, 2u);

    // While deferred, tag changes leave liveCount until the next count.
    file_.deferRecount = 1;
    SetRecordTag(file_, 0, RecordDeleted);
    EXPECT_EQ(AddRecord(file_), 0);
    SetRecordTag(file_, 4, RecordDeleted);
    EXPECT_EQ(file_.liveCount, 2u);
    file_.deferRecount = 0;
    EXPECT_EQ(CountLiveRecords(file_), 1u);

    // Adding takes tag 0 or 5 only: slot 2 (tag 9) is skipped.
    EXPECT_EQ(AddRecord(file_), 4);
    EXPECT_EQ(AddRecord(file_), 5);
}

TEST_F(RecordAccess, CopyRecordCopiesTagAndFieldsWithoutRecount) {
    AddWord(file_, "from");
    AddWord(file_, "to");
    file_.numberValue = 42;
    PutField(file_, 0, TotalField(2));
    EXPECT_EQ(CopyRecord(file_, 0, 5), 1);
    EXPECT_EQ(file_.liveCount, 2u); // not recounted
    EXPECT_EQ(GetWord(file_, 5), "from");
    GetField(file_, 5, TotalField(2));
    EXPECT_EQ(file_.numberValue, 42);
    EXPECT_EQ(CountLiveRecords(file_), 3u);
    EXPECT_EQ(FindRecordByTag(file_, RecordLive, 2), 5);
}

TEST_F(RecordAccess, WalkVisitsEveryLiveRecordOnce) {
    for (int i = 0; i < 9; ++i)
        AddWord(file_, "w" + std::to_string(i));
    SetRecordTag(file_, 0, RecordDeleted);
    SetRecordTag(file_, 3, RecordDeleted);
    SetRecordTag(file_, 8, RecordDeleted);
    std::vector<int32_t> visited;
    int32_t slot = FindRecordByTag(file_, RecordLive, 0);
    while (slot >= 0) {
        visited.push_back(slot);
        const int32_t next = NextLiveRecord(file_, slot);
        if (next == slot)
            break;
        slot = next;
    }
    EXPECT_EQ(visited, (std::vector<int32_t>{1, 2, 4, 5, 6, 7}));
    EXPECT_EQ(NextLiveRecord(file_, 7), 7);
    EXPECT_EQ(NextLiveRecord(file_, -1), 1);
}

TEST(KeyScan, CaseRuleAndRestartRule) {
    struct Row {
        const char* key;
        const char* text;
        bool found;
    };
    const Row rows[] = {
        {"", "", true},
        {"", "anything", true},
        {"cat", "cat", true},
        {"cat", "concatenate", true},
        {"CAT", "cat", true},
        {"cat", "CaT", true},
        {"ab", "aab", false}, // the failed 'a' is never retried as a start
        {"ab", "xab", true},
        {"aab", "aaab", false},
        {"cat", "ca", false},
        {"cats", "cat", false},
        {"x", "", false},
        {"{", "{", true},  // exact bytes match whatever they are
        {"{", "[", false}, // no case swap from 123 up
        {"[", "{", false},
        {"@", "`", false}, // not letters: no swap
        {"\xC3\xA9", "caf\xC3\xA9", true},
        {"\xC3\x89", "caf\xC3\xA9", false}, // only ASCII letters fold
        {"1", "a1", true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(KeyFoundInText(row.key, row.text), row.found) << row.key << " in " << row.text;
}

TEST_F(RecordAccess, SearchMatchesTextAndNumbers) {
    AddWord(file_, "unused");    // slot 0: never examined by a search from 0
    AddWord(file_, "Apple");     // 1
    AddWord(file_, "pineapple"); // 2
    AddWord(file_, "banana");    // 3
    file_.numberValue = 12;
    PutField(file_, 3, CorrectField(1));
    AddWord(file_, "grape"); // 4
    SetRecordTag(file_, 2, RecordDeleted);

    SetKey(file_, "apple");
    EXPECT_EQ(FindNextMatch(file_, 0), 1);
    EXPECT_EQ(FindNextMatch(file_, 1), -1); // slot 2 is deleted

    SetKey(file_, "12");
    EXPECT_EQ(FindNextMatch(file_, 0), 3);
    EXPECT_EQ(RecordMatchesKey(file_, 3), 3);
    EXPECT_EQ(RecordMatchesKey(file_, 4), -1);

    // A key whose value is 0 never matches a number field (every tally here is 0).
    SetKey(file_, "0");
    EXPECT_EQ(FindNextMatch(file_, 0), -1);

    // An empty key finds the next live slot, never the argument itself.
    SetKey(file_, "");
    EXPECT_EQ(FindNextMatch(file_, 0), 1);
    EXPECT_EQ(FindNextMatch(file_, 1), 3);
    EXPECT_EQ(FindNextMatch(file_, -1), 0);
    EXPECT_EQ(FindNextMatch(file_, 4), -1);

    // Unterminated key: the buffer's last byte ends it.
    std::memset(file_.searchKey, 'q', sizeof file_.searchKey);
    EXPECT_EQ(FindNextMatch(file_, 0), -1);
}

TEST_F(RecordAccess, MatchLeavesBuffersHoldingTheLastFieldRead) {
    AddWord(file_, "x");
    AddWord(file_, "hello");
    SetKey(file_, "hell");
    EXPECT_EQ(RecordMatchesKey(file_, 1), 1);
    EXPECT_STREQ(file_.textValue, "hello"); // fields read from 14 down to the word
    SetKey(file_, "zzz");
    EXPECT_EQ(RecordMatchesKey(file_, 1), -1);
    EXPECT_STREQ(file_.textValue, "hello");
}

} // namespace
} // namespace lexipond
