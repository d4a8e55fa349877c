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
        {"a\xe2\x82\xac\xe2\x82\xac", 5, "a\xe2\x82\xac"},
        {"\xf0\x9f\x90\xb1z", 3, ""},
        // Bytes outside valid UTF-8 are Windows-1252 characters of their own.
        {"caf\xe9\xe9", 4, "caf\xe9"},
        {"ab\xc3x", 3, "ab\xc3"},
        {"a\xed\xa0\x80", 2, "a\xed"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(std::string(CutText(row.text, row.limit)), row.expected) << row.text;
}

TEST(WordDetailsTest, OddTalliesAndAlphasGiveSanePercentages) {
    EXPECT_EQ(PercentCorrect(0, 5), 100u);
    EXPECT_EQ(PercentCorrect(200, 1), 0u);
    EXPECT_EQ(AlphaToPercent(0), 100u);
    EXPECT_EQ(AlphaToPercent(-1), 0u);
    EXPECT_EQ(AlphaToPercent(256), 0u);
    EXPECT_EQ(PercentToAlpha(50), 130);
    EXPECT_EQ(PercentToAlpha(4000), 5);
}

TEST(WordDetailsTest, RecordsRefuseSlotsOutsideTheFileAndDeletingTheLastWord) {
    TempFolder folder;
    RecordFile db;
    db.fileName = folder / "LPDB.lbf";
    MakeWordDatabase(db.fileName, {"dog", "cat", "ant"});
    db.writable = 1;
    ASSERT_NE(OpenRecordFile(db), 0);
    WordDetails details;
    EXPECT_FALSE(ReadWordDetails(db, -1, details));
    EXPECT_FALSE(ReadWordDetails(db, static_cast<int32_t>(db.capacity), details));
    EXPECT_FALSE(SaveWordDetails(db, static_cast<int32_t>(db.capacity), "x", ""));

    EXPECT_TRUE(DeleteWordRecord(db, 1)); // the rest is sorted
    EXPECT_EQ(SlotWords(db, LiveSlots(db)), (std::vector<std::string>{"ant", "dog"}));
    EXPECT_TRUE(DeleteWordRecord(db, 0));
    EXPECT_FALSE(DeleteWordRecord(db, 0));
    EXPECT_EQ(SlotWords(db, LiveSlots(db)), std::vector<std::string>{"dog"});
    CloseRecordFile(db);
}

} // namespace
} // namespace lexipond::testing
