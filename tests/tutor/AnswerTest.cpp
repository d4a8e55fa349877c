// Answers: the click bands, the tallies, the report and the running counters.
#include "TutorTestSupport.h"
#include "recordfile/RecordFile.h"
#include "recordfile/SortRecords.h"
#include "tutor/Tutoring.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace lexipond {
namespace {

using testing::TutorFixture;

class AnswerTest : public TutorFixture {
  protected:
    void SetUp() override {
        MakeDatabase({{"cat", 4, 3, 1, 0}, {"dog", 2, 0}, {"emu"}, {"fox"}});
        settings.level = 3;
        random.counter = 0;
        ShowSlot(0);
    }
    std::string Report() { return ReportText(tutor); }
};

TEST_F(AnswerTest, ClickBandsDecideWhatIsRecorded) {
    enum Outcome { Nothing, Correct, Incorrect, Skip };
    struct Row {
        uint16_t x, y;
        Outcome outcome;
    };
    const Row rows[] = {
        {15, 280, Nothing},  {155, 280, Nothing},   {16, 268, Correct},    {154, 301, Correct},
        {16, 267, Nothing},  {16, 302, Nothing},    {100, 310, Nothing},   {200, 280, Nothing},
        {235, 280, Nothing}, {236, 280, Incorrect}, {374, 301, Incorrect}, {375, 280, Nothing},
        {400, 280, Nothing}, {450, 290, Nothing},   {451, 290, Skip},      {500, 290, Skip},
        {589, 268, Skip},    {590, 290, Nothing},   {65535, 280, Nothing}, {100, 65535, Nothing},
        {100, 0, Nothing},
    };
    for (const Row& row : rows) {
        ShowSlot(0);
        const uint32_t total = NumberAt(0, TotalField(0));
        const uint32_t correct = NumberAt(0, CorrectField(0));
        const uint32_t session = state.sessionTotal;
        const uint32_t sessionCorrect = state.sessionCorrect;
        const std::string report = Report();
        HandleClick(tutor, row.x, row.y);

        const bool tallied = row.outcome == Correct || row.outcome == Incorrect;
        const bool right = row.outcome == Correct;
        EXPECT_EQ(NumberAt(0, TotalField(0)), total + tallied) << row.x << "," << row.y;
        EXPECT_EQ(NumberAt(0, CorrectField(0)), correct + right) << row.x << "," << row.y;
        EXPECT_EQ(state.sessionTotal, session + tallied) << row.x << "," << row.y;
        EXPECT_EQ(state.sessionCorrect, sessionCorrect + right) << row.x << "," << row.y;
        const std::string line =
            tallied ? std::string("cat, ") + (right ? "Correct" : "Incorrect") + "\r\n" : "";
        EXPECT_EQ(Report(), report + line) << row.x << "," << row.y;
        const bool chose = row.outcome != Nothing;
        EXPECT_EQ(state.currentRecord != 0, chose) << row.x << "," << row.y;
    }
}

TEST_F(AnswerTest, AnswersTallyTheWordCountersAndReportInOrder) {
    settings.currentUser = 1;
    SetUpUser(tutor);
    EXPECT_EQ(state.userTotal, 1u);
    EXPECT_EQ(state.userCorrect, 0u);
    const int32_t dog = SlotOf("dog");

    ShowSlot(SlotOf("cat"));
    RecordAnswer(tutor, true);
    ShowSlot(dog);
    RecordAnswer(tutor, false);
    ShowSlot(SlotOf("cat"));
    RecordAnswer(tutor, true);

    EXPECT_EQ(Report(), "cat, Correct\r\ndog, Incorrect\r\ncat, Correct\r\n");
    EXPECT_EQ(std::strlen(state.reportBuffer.get()), Report().size());
    EXPECT_EQ(state.sessionTotal, 3u);
    EXPECT_EQ(state.sessionCorrect, 2u);
    EXPECT_EQ(state.userTotal, 4u);
    EXPECT_EQ(state.userCorrect, 2u);
    // User slot 1's fields only; slot 0's are untouched.
    EXPECT_EQ(NumberAt(SlotOf("cat"), TotalField(1)), 3u);
    EXPECT_EQ(NumberAt(SlotOf("cat"), CorrectField(1)), 2u);
    EXPECT_EQ(NumberAt(dog, TotalField(1)), 1u);
    EXPECT_EQ(NumberAt(dog, CorrectField(1)), 0u);
    EXPECT_EQ(NumberAt(SlotOf("cat"), TotalField(0)), 4u);
    EXPECT_EQ(NumberAt(dog, TotalField(0)), 2u);
    // The loaded word tallies are not bumped by an answer.
    EXPECT_EQ(state.wordTotal, 2u);
}

TEST_F(AnswerTest, ReportStopsGrowingAtItsLimitButTalliesGoOn) {
    char* buffer = state.reportBuffer.get();
    std::memset(buffer, 'x', kReportTextLimit - 1);
    buffer[kReportTextLimit - 1] = '\0';
    state.reportLength = kReportTextLimit - 1;

    RecordAnswer(tutor, false); // still below the limit: written, crossing it
    EXPECT_EQ(state.reportLength, kReportTextLimit - 1 + std::strlen("cat, Incorrect\r\n"));
    EXPECT_STREQ(buffer + kReportTextLimit - 1, "cat, Incorrect\r\n");

    const uint32_t length = state.reportLength;
    const uint32_t total = NumberAt(0, TotalField(0));
    RecordAnswer(tutor, true);
    EXPECT_EQ(state.reportLength, length);
    EXPECT_EQ(std::strlen(buffer), length);
    EXPECT_EQ(NumberAt(0, TotalField(0)), total + 1);
    EXPECT_EQ(state.sessionTotal, 2u);
    EXPECT_LT(state.reportLength + 1, kReportBufferSize);
}

TEST_F(AnswerTest, SetUpUserResetsTheSessionButKeepsTheReport) {
    HandleClick(tutor, 50, 280);
    ShowSlot(0);
    HandleClick(tutor, 300, 280);
    ASSERT_EQ(state.sessionTotal, 2u);
    const std::string report = Report();

    settings.currentUser = 1;
    std::strcpy(settings.userNames[1], "Quentin");
    ShowSlot(0);
    SetUpUser(tutor);
    EXPECT_EQ(state.sessionTotal, 0u);
    EXPECT_EQ(state.sessionCorrect, 0u);
    EXPECT_EQ(Report(), report);
    EXPECT_STREQ(state.currentUserName, "Quentin");
    EXPECT_EQ(state.userTotal, 1u);
    EXPECT_EQ(state.currentRecord, 0) << "the word on show stays";
    EXPECT_EQ(state.wordTotal, 1u) << "its tallies are the new user's";
    EXPECT_EQ(state.wordCorrect, 0u);

    settings.currentUser = 0; // back: totals summed afresh include the answers given
    SetUpUser(tutor);
    EXPECT_EQ(state.userTotal, 4u + 2u + 2u);
    EXPECT_EQ(state.userCorrect, 3u + 0u + 1u);
}

TEST_F(AnswerTest, NoWordOnShowTalliesNothingButAClickStillChooses) {
    state.currentRecord = -1;
    const uint32_t total = NumberAt(0, TotalField(0));
    RecordAnswer(tutor, true);
    EXPECT_EQ(state.sessionTotal, 0u);
    EXPECT_EQ(Report(), "");
    EXPECT_EQ(NumberAt(0, TotalField(0)), total);

    LoadCurrentWord(tutor); // skipped: nothing to load
    EXPECT_EQ(state.currentRecord, -1);

    HandleClick(tutor, 50, 280);
    EXPECT_EQ(state.sessionTotal, 0u);
    EXPECT_NE(state.currentRecord, -1);
}

TEST_F(AnswerTest, AnswerThatCannotBeStoredIsNotCounted) {
    CloseRecordFile(db);
    db.writable = 0;
    ASSERT_EQ(OpenRecordFile(db), 1);
    RecordAnswer(tutor, true);
    EXPECT_EQ(state.sessionTotal, 0u);
    EXPECT_EQ(state.userCorrect, 0u);
    EXPECT_EQ(Report(), "");
    EXPECT_EQ(NumberAt(0, TotalField(0)), 4u);
}

TEST_F(AnswerTest, AnswerFollowsTheWordOnShowWhenRecordsMoved) {
    // "cat" is on show in slot 0; words that sort before it push it further down.
    AddWord({"ant"});
    AddWord({"bee"});
    ASSERT_EQ(SortRecords(db, kFieldWord), 1);
    const int32_t cat = SlotOf("cat");
    ASSERT_NE(cat, 0);
    const uint32_t antTotal = NumberAt(SlotOf("ant"), TotalField(0));
    RecordAnswer(tutor, true);
    EXPECT_EQ(state.currentRecord, cat);
    EXPECT_EQ(NumberAt(cat, TotalField(0)), 5u);
    EXPECT_EQ(NumberAt(cat, CorrectField(0)), 4u);
    EXPECT_EQ(NumberAt(SlotOf("ant"), TotalField(0)), antTotal);
    EXPECT_EQ(Report(), "cat, Correct\r\n");
}

TEST_F(AnswerTest, StoredUserSlotOutsideTheFiveCountsAsTheFirst) {
    settings.currentUser = 77;
    SetUpUser(tutor);
    EXPECT_STREQ(state.currentUserName, "Zov");
    EXPECT_EQ(state.userTotal, 6u);
    RecordAnswer(tutor, true);
    EXPECT_EQ(NumberAt(0, TotalField(0)), 5u);
}

TEST(PercentText, BuildsPartOfWholeWithATruncatedPercentage) {
    struct Row {
        uint32_t part, whole;
        const char* text;
    };
    const Row rows[] = {
        {7, 9, "7 of 9 (77%)"},
        {0, 0, "0 of 0 (100%)"},
        {5, 0, "5 of 0 (100%)"},
        {1, 3, "1 of 3 (33%)"},
        {50000000, 100000000, "50000000 of 100000000 (50%)"},
        {4294967295u, 4294967295u, "4294967295 of 4294967295 (100%)"},
        {4294967295u, 1, "4294967295 of 1 (429496729500%)"},
    };
    for (const Row& row : rows) {
        char text[42];
        std::memset(text, '#', sizeof text);
        const uint32_t length = PercentText(row.part, row.whole, text);
        EXPECT_STREQ(text, row.text);
        EXPECT_EQ(length, std::strlen(row.text));
    }
}

} // namespace
} // namespace lexipond
