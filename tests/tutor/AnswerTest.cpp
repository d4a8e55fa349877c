// Answers: the click bands, the tallies, the report and the running counters.
#include "TutorTestSupport.h"
#include "recordfile/SortRecords.h"

#include <cstring>

namespace lexipond {
namespace {

class AnswerTest : public testing::TutorFixture {
  protected:
    void SetUp() override {
        MakeDatabase({{"cat", 4, 3, 1, 0}, {"dog", 2, 0}, {"emu"}, {"fox"}});
        random.counter = 0;
        ShowSlot(0);
    }
    std::string Report() { return ReportText(tutor); }
};

TEST_F(AnswerTest, ClickBandsDecideWhatIsRecorded) {
    enum Outcome { Nothing, Correct, Incorrect, Skip };
    const struct {
        uint16_t x, y;
        Outcome outcome;
    } rows[] = {
        {15, 280, Nothing},  {155, 280, Nothing}, {16, 268, Correct},    {154, 301, Correct},
        {16, 267, Nothing},  {16, 302, Nothing},  {100, 310, Nothing},   {100, 0, Nothing},
        {200, 280, Nothing}, {235, 280, Nothing}, {236, 280, Incorrect}, {374, 301, Incorrect},
        {375, 280, Nothing}, {400, 280, Nothing}, {450, 290, Nothing},   {451, 290, Skip},
        {589, 268, Skip},    {590, 290, Nothing},
    };
    for (const auto& row : rows) {
        ShowSlot(0);
        const uint32_t total = NumberAt(0, TotalField(0)), correct = NumberAt(0, CorrectField(0));
        const uint32_t session = state.sessionTotal, sessionCorrect = state.sessionCorrect;
        const std::string report = Report();
        HandleClick(tutor, row.x, row.y);

        const bool tallied = row.outcome == Correct || row.outcome == Incorrect;
        const bool right = row.outcome == Correct;
        const std::string where = std::to_string(row.x) + "," + std::to_string(row.y);
        EXPECT_EQ(NumberAt(0, TotalField(0)), total + tallied) << where;
        EXPECT_EQ(NumberAt(0, CorrectField(0)), correct + right) << where;
        EXPECT_EQ(state.sessionTotal, session + tallied) << where;
        EXPECT_EQ(state.sessionCorrect, sessionCorrect + right) << where;
        const std::string line = right ? "cat, Correct\r\n" : tallied ? "cat, Incorrect\r\n" : "";
        EXPECT_EQ(Report(), report + line) << where;
        EXPECT_EQ(state.currentRecord != 0, row.outcome != Nothing) << where;
    }
}

TEST_F(AnswerTest, AnswersTallyTheCurrentUsersFieldsAndReportInOrder) {
    settings.currentUser = 1;
    SetUpUser(tutor);
    const int32_t cat = SlotOf("cat"), dog = SlotOf("dog");
    const std::pair<int32_t, bool> answers[] = {{cat, true}, {dog, false}, {cat, true}};
    for (const auto& [slot, right] : answers) {
        ShowSlot(slot);
        RecordAnswer(tutor, right);
    }
    EXPECT_EQ(Report(), "cat, Correct\r\ndog, Incorrect\r\ncat, Correct\r\n");
    EXPECT_EQ(std::strlen(state.reportBuffer.get()), Report().size());
    EXPECT_EQ(state.sessionTotal, 3u);
    EXPECT_EQ(state.sessionCorrect, 2u);
    EXPECT_EQ(state.userTotal, 1u + 3u);
    EXPECT_EQ(state.userCorrect, 0u + 2u);
    EXPECT_EQ(NumberAt(cat, TotalField(1)), 3u);
    EXPECT_EQ(NumberAt(cat, CorrectField(1)), 2u);
    EXPECT_EQ(NumberAt(dog, TotalField(1)), 1u);
    EXPECT_EQ(NumberAt(dog, CorrectField(1)), 0u);
    EXPECT_EQ(NumberAt(cat, TotalField(0)), 4u) << "another user's fields are untouched";
    EXPECT_EQ(NumberAt(dog, TotalField(0)), 2u);
}

TEST_F(AnswerTest, ReportStopsGrowingAtItsLimitButTalliesGoOn) {
    char* buffer = state.reportBuffer.get();
    std::memset(buffer, 'x', kReportTextLimit - 1);
    state.reportLength = kReportTextLimit - 1;
    RecordAnswer(tutor, false); // still below the limit: written, crossing it
    EXPECT_STREQ(buffer + kReportTextLimit - 1, "cat, Incorrect\r\n");
    EXPECT_EQ(state.reportLength, std::strlen(buffer));

    const uint32_t length = state.reportLength;
    RecordAnswer(tutor, true);
    EXPECT_EQ(state.reportLength, length);
    EXPECT_EQ(std::strlen(buffer), length);
    EXPECT_EQ(NumberAt(0, TotalField(0)), 6u);
    EXPECT_EQ(state.sessionTotal, 2u);
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
    EXPECT_EQ(state.wordTotal, 1u) << "with the new user's tallies";

    settings.currentUser = 0; // totals summed afresh include the answers given
    SetUpUser(tutor);
    EXPECT_EQ(state.userTotal, 4u + 2u + 2u);
    EXPECT_EQ(state.userCorrect, 3u + 0u + 1u);

    std::strcpy(settings.userNames[0], "Zov");
    settings.currentUser = 77; // a damaged settings file: the first user slot
    SetUpUser(tutor);
    EXPECT_STREQ(state.currentUserName, "Zov");
    EXPECT_EQ(state.userTotal, 8u);
}

TEST_F(AnswerTest, NoWordOnShowTalliesNothingButAClickStillChooses) {
    state.currentRecord = -1;
    RecordAnswer(tutor, true);
    LoadCurrentWord(tutor);
    EXPECT_EQ(state.currentRecord, -1);
    HandleClick(tutor, 50, 280);
    EXPECT_NE(state.currentRecord, -1);
    EXPECT_EQ(state.sessionTotal, 0u);
    EXPECT_EQ(Report(), "");
    EXPECT_EQ(NumberAt(0, TotalField(0)), 4u);
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
    AddWord({"ant"}); // sorts before "cat", which is on show in slot 0
    ASSERT_EQ(SortRecords(db, kFieldWord), 1);
    RecordAnswer(tutor, true);
    EXPECT_EQ(state.currentRecord, SlotOf("cat"));
    EXPECT_EQ(NumberAt(SlotOf("cat"), TotalField(0)), 5u);
    EXPECT_EQ(NumberAt(SlotOf("ant"), TotalField(0)), 0u);
    EXPECT_EQ(Report(), "cat, Correct\r\n");
}

TEST(PercentText, BuildsPartOfWholeWithATruncatedPercentage) {
    const struct {
        uint32_t part, whole;
        const char* text;
    } rows[] = {
        {7, 9, "7 of 9 (77%)"},
        {0, 0, "0 of 0 (100%)"},
        {5, 0, "5 of 0 (100%)"},
        {4294967295u, 4294967295u, "4294967295 of 4294967295 (100%)"},
        {4294967295u, 1, "4294967295 of 1 (429496729500%)"},
    };
    for (const auto& row : rows) {
        char text[42];
        std::memset(text, '#', sizeof text);
        EXPECT_EQ(PercentText(row.part, row.whole, text), std::strlen(row.text));
        EXPECT_STREQ(text, row.text);
    }
}

} // namespace
} // namespace lexipond
