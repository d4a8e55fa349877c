// The database side of the dialogs: text cuts, percentages, stepping and records.
#include "dialogs/WordDetails.h"

#include "recordfile/RecordFile.h"
#include "recordfile/WordDatabase.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace lexipond {
namespace {

struct CutRow {
    const char* name;
    std::string text;
    uint32_t limit;
    std::string expected;
};
void PrintTo(const CutRow& row, std::ostream* out) {
    *out << row.name;
}

class CutTextTest : public ::testing::TestWithParam<CutRow> {};

TEST_P(CutTextTest, CutsAtTheLastWholeCharacter) {
    const CutRow& row = GetParam();
    EXPECT_EQ(std::string(CutText(row.text, row.limit)), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CutTextTest,
    ::testing::Values(CutRow{"Short", "cat", 59, "cat"}, CutRow{"Exact", "abcde", 5, "abcde"},
                      CutRow{"Ascii", "abcdef", 4, "abcd"},
                      CutRow{"TwoByteStraddles", "abc\xc3\xa9", 4, "abc"},
                      CutRow{"TwoByteFits", "ab\xc3\xa9x", 4, "ab\xc3\xa9"},
                      CutRow{"ThreeByte", "a\xe2\x82\xac\xe2\x82\xac", 5, "a\xe2\x82\xac"},
                      CutRow{"FourByte", "\xf0\x9f\x90\xb1z", 3, ""},
                      // Windows-1252 bytes are characters of their own and may be cut anywhere.
                      CutRow{"LoneBytes", "caf\xe9\xe9", 4, "caf\xe9"},
                      CutRow{"LeadWithoutFollower", "ab\xc3x", 3, "ab\xc3"},
                      CutRow{"Overlong", "a\xc0\x80", 2, "a\xc0"},
                      CutRow{"Surrogate", "a\xed\xa0\x80", 2, "a\xed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PercentagesTest, TruncatedShareOrHundredWhenUnasked) {
    EXPECT_EQ(PercentCorrect(3, 2), 66u);
    EXPECT_EQ(PercentCorrect(0, 0), 100u);
    EXPECT_EQ(PercentCorrect(0, 5), 100u);
    EXPECT_EQ(PercentCorrect(7, 7), 100u);
    EXPECT_EQ(PercentCorrect(200, 1), 0u);
}

TEST(PercentagesTest, TransparencyFormulas) {
    const struct {
        int32_t alpha;
        uint32_t percent;
    } shown[] = {{75, 71}, {255, 0}, {5, 99}, {0, 100}, {-1, 0}, {256, 0}};
    for (const auto& row : shown)
        EXPECT_EQ(AlphaToPercent(row.alpha), row.percent) << row.alpha;
    const struct {
        uint32_t percent;
        int32_t alpha;
    } stored[] = {{71, 76}, {0, 255}, {1, 255}, {50, 130}, {99, 5}, {100, 5}, {4000, 5}};
    for (const auto& row : stored)
        EXPECT_EQ(PercentToAlpha(row.percent), row.alpha) << row.percent;
}

TEST(StepIndexTest, StepsStayInsideTheList) {
    EXPECT_EQ(StepIndex(0, 3, +1), 1);
    EXPECT_EQ(StepIndex(2, 3, -1), 1);
    EXPECT_EQ(StepIndex(2, 3, +1), -1);
    EXPECT_EQ(StepIndex(0, 3, -1), -1);
    EXPECT_EQ(StepIndex(-1, 3, +1), -1);
    EXPECT_EQ(StepIndex(0, 0, +1), -1);
    EXPECT_EQ(StepIndex(5, 3, -1), -1);
}

class WordRecordsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("lexipond-details-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
        db.fileName = (folder_ / "LPDB.lbf").string();
        ASSERT_NE(CreateWordDatabase(db), 0);
    }
    void TearDown() override {
        CloseRecordFile(db);
        std::filesystem::remove_all(folder_);
    }
    int32_t Add(const char* word) {
        const int32_t slot = AddRecord(db);
        std::strcpy(db.textValue, word);
        PutField(db, slot, kFieldWord);
        return slot;
    }

    RecordFile db;

  private:
    std::filesystem::path folder_;
};

TEST_F(WordRecordsTest, ListSkipsFreeSlotsAndKeepsSlotOrder) {
    EXPECT_TRUE(LiveSlots(db).empty());
    Add("b");
    const int32_t gone = Add("x");
    Add("a");
    SetRecordTag(db, gone, RecordDeleted);
    const std::vector<int32_t> slots = LiveSlots(db);
    EXPECT_EQ(slots, (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(SlotWords(db, slots), (std::vector<std::string>{"b", "a"}));
}

TEST_F(WordRecordsTest, NewRecordOverwritesOldBytes) {
    const int32_t slot = Add("old");
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
        db.numberValue = 40 + static_cast<int32_t>(field);
        PutField(db, slot, field);
    }
    std::strcpy(db.textValue, "old notes");
    PutField(db, slot, kFieldNotes);

    InitNewWordRecord(db, slot, false); // a copy keeps its texts
    WordDetails details;
    ASSERT_TRUE(ReadWordDetails(db, slot, details));
    EXPECT_EQ(details.word, "old");
    EXPECT_EQ(details.notes, "old notes");
    for (uint32_t user = 0; user < kUserCount; ++user)
        EXPECT_EQ(details.total[user] + details.correct[user], 0u) << user;

    InitNewWordRecord(db, slot, true);
    ASSERT_TRUE(ReadWordDetails(db, slot, details));
    EXPECT_EQ(details.word, "New Word");
    EXPECT_EQ(details.notes, "");
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
        GetField(db, slot, field);
        EXPECT_EQ(db.numberValue, 0) << field;
    }
}

TEST_F(WordRecordsTest, SaveAndReadRefuseSlotsOutsideTheFile) {
    Add("a");
    WordDetails details;
    EXPECT_FALSE(ReadWordDetails(db, -1, details));
    EXPECT_FALSE(ReadWordDetails(db, static_cast<int32_t>(db.capacity), details));
    EXPECT_FALSE(SaveWordDetails(db, -1, "x", ""));
    EXPECT_FALSE(SaveWordDetails(db, static_cast<int32_t>(db.capacity), "x", ""));
    EXPECT_TRUE(SaveWordDetails(db, 0, std::string(80, 'q'), std::string(400, 'n')));
    ASSERT_TRUE(ReadWordDetails(db, 0, details));
    EXPECT_EQ(details.word, std::string(59, 'q'));
    EXPECT_EQ(details.notes, std::string(299, 'n'));
}

TEST_F(WordRecordsTest, DeleteSortsTheRestAndKeepsTheLastWord) {
    Add("dog");
    const int32_t cat = Add("cat");
    Add("ant");
    EXPECT_TRUE(DeleteWordRecord(db, cat));
    EXPECT_EQ(SlotWords(db, LiveSlots(db)), (std::vector<std::string>{"ant", "dog"}));
    EXPECT_EQ(LiveSlots(db), (std::vector<int32_t>{0, 1}));
    EXPECT_TRUE(DeleteWordRecord(db, 0));
    EXPECT_FALSE(DeleteWordRecord(db, 0));
    EXPECT_EQ(SlotWords(db, LiveSlots(db)), std::vector<std::string>{"dog"});
}

} // namespace
} // namespace lexipond
