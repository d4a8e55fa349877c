// The database side of the dialogs: text cuts, percentages and records.
#include "dialogs/WordDetails.h"

#include "TestSupport.h"

namespace lexipond::testing {
namespace {

TEST(WordDetailsTest, CutsEndOnAWholeCharacter) {
    const struct {
        std::string text;
        uint32_t limit;
        std::string expected;
    } rows[] = {
        {"abcdef", 4, "abcd"},
        {"abc\xc3\xa9", 4, "abc"},
        {"ab\xc3\xa9x", 4, "ab\xc3\xa9"},
        {"a\xe2\x82\xac\xe2\x82\xac", 5, "a\xe2\x82\xac"},
        {"\xf0\x9f\x90\xb1z", 3, ""},
        // Bytes outside valid UTF-8 are Windows-1252 characters of their own.
        {"caf\xe9\xe9", 4, "caf\xe9"},
        {"ab\xc3x", 3, "ab\xc3"},
        {"a\xc0\x80", 2, "a\xc0"},
        {"a\xed\xa0\x80", 2, "a\xed"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(std::string(CutText(row.text, row.limit)), row.expected) << row.text;
}

TEST(WordDetailsTest, PercentagesTruncateAndSurviveOddTallies) {
    EXPECT_EQ(PercentCorrect(3, 2), 66u);
    EXPECT_EQ(PercentCorrect(0, 5), 100u);
    EXPECT_EQ(PercentCorrect(200, 1), 0u);
    const std::pair<int32_t, uint32_t> shown[] = {{255, 0}, {5, 99}, {0, 100}, {-1, 0}, {256, 0}};
    for (const auto& [alpha, percent] : shown)
        EXPECT_EQ(AlphaToPercent(alpha), percent) << alpha;
    const std::pair<uint32_t, int32_t> stored[] = {{1, 255}, {50, 130}, {99, 5}, {4000, 5}};
    for (const auto& [percent, alpha] : stored)
        EXPECT_EQ(PercentToAlpha(percent), alpha) << percent;
}

class WordRecordsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeWordDatabase(folder / "LPDB.lbf", {"dog", "cat", "ant"});
        db.fileName = folder / "LPDB.lbf";
        db.writable = 1;
        ASSERT_NE(OpenRecordFile(db), 0);
    }
    void TearDown() override { CloseRecordFile(db); }

    TempFolder folder;
    RecordFile db;
};

TEST_F(WordRecordsTest, SaveAndReadCutTextsAndRefuseSlotsOutsideTheFile) {
    WordDetails details;
    const auto outside = static_cast<int32_t>(db.capacity);
    EXPECT_FALSE(ReadWordDetails(db, -1, details));
    EXPECT_FALSE(ReadWordDetails(db, outside, details));
    EXPECT_FALSE(SaveWordDetails(db, -1, "x", ""));
    EXPECT_FALSE(SaveWordDetails(db, outside, "x", ""));
    EXPECT_TRUE(SaveWordDetails(db, 0, std::string(80, 'q'), std::string(400, 'n')));
    ASSERT_TRUE(ReadWordDetails(db, 0, details));
    EXPECT_EQ(details.word, std::string(59, 'q'));
    EXPECT_EQ(details.notes, std::string(299, 'n'));
}

TEST_F(WordRecordsTest, DeleteSortsTheRestAndKeepsTheLastWord) {
    EXPECT_TRUE(DeleteWordRecord(db, 1));
    EXPECT_EQ(SlotWords(db, LiveSlots(db)), (std::vector<std::string>{"ant", "dog"}));
    EXPECT_TRUE(DeleteWordRecord(db, 0));
    EXPECT_FALSE(DeleteWordRecord(db, 0));
    EXPECT_EQ(SlotWords(db, LiveSlots(db)), std::vector<std::string>{"dog"});
    EXPECT_EQ(db.liveCount, 1u);
}

} // namespace
} // namespace lexipond::testing
