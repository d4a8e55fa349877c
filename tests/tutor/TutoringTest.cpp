// Word choice with scripted random numbers, answers, the report and the counters.
#include "TutorTestSupport.h"
#include "platform/Random.h"
#include "recordfile/SortRecords.h"

#include <cstring>
#include <map>
#include <set>

namespace lexipond {
namespace {

using RandomBelowTest = testing::TutorFixture;

TEST_F(RandomBelowTest, SourceGivesOneToNAndTheFallbackKeepsItsArithmetic) {
    // n of 0 or 1 gives 1 and touches no source; the source's value v gives v mod n + 1.
    // Fallback: from state 0, t*t mod 65536, later ((s*s) mod 65536) >> 1 plus the tick's
    // low byte; then (s*n) >> 12, brought to 0..n by subtracting n. Products wrap in 32 bits.
    const struct {
        bool fallback;
        uint32_t state, input, n, expected, expectedState;
    } rows[] = {{false, 12345, 7, 0, 1, 12345},   {true, 12345, 7, 1, 1, 12345},
                {false, 0, 9, 10, 10, 10},        {false, 0, 10, 10, 1, 1},
                {false, 0, 0xFFFFFFFFu, 7, 4, 4}, {false, 24464, 41, 10, 2, 2},
                {true, 0, 300, 10, 9, 24464},     {true, 0, 16, 10, 0, 256},
                {true, 0, 70000, 7, 7, 4352},     {true, 24464, 0x1234, 10, 5, 6324},
                {true, 65535, 255, 3, 0, 255},    {true, 24464, 0, 1000000, 482674, 6272}};
    for (const auto& row : rows) {
        random.failing = row.fallback;
        random.script = {row.input};
        random.ticks = {row.input};
        random.fills = random.tickReads = 0;
        state.randomState = row.state;
        const std::string why = std::to_string(row.input) + " " + std::to_string(row.n);
        EXPECT_EQ(RandomBelow(tutor, row.n), row.expected) << why;
        EXPECT_EQ(state.randomState, row.expectedState) << why;
        EXPECT_EQ(random.fills, row.n > 1 ? 1 : 0) << why << ": the source is tried every time";
        EXPECT_EQ(random.tickReads, row.fallback && row.n > 1 ? 1 : 0) << why;
    }
}

TEST(SystemRandomSource, GivesVaryingValuesAndAMonotonicTick) {
    platform::SystemRandomSource source;
    std::set<uint32_t> seen;
    for (uint32_t i = 0, value = 0; i < 16; ++i, seen.insert(value))
        ASSERT_TRUE(source.Fill(value));
    EXPECT_GT(seen.size(), 8u);
    const uint32_t first = source.TickCount();
    EXPECT_LE(source.TickCount() - first, 1000u) << "a step back wraps to a huge difference";
}

using Counts = std::vector<uint32_t>;
// Slots in the order the words are added.
enum : uint32_t { A, B, C, D, E, F, G, H, I };

class TutoringTest : public testing::TutorFixture {
  protected:
    void SetUp() override {
        MakeDatabase({
            {"alpha", {10, 9, 10, 1}}, // 9000 for user 0, 1000 for user 1
            {"bravo", {10, 1, 10, 9}}, // 1000 for user 0, 9000 for user 1
            {"charlie", {10, 7}},      // 7000
            {"delta"},                 // D, E: never asked
            {"echo"},
            {"foxtrot", {10, 5}}, // F, G: 5000
            {"golf", {2, 1}},
            {"hotel", {0, 5}}, // never asked, though 5 "correct"
            {"india", {1, 1}}, // 10000
        });
        ASSERT_GT(db.capacity, I);
    }
    std::string Report() { return ReportText(tutor); }
    Counts Tallies(uint32_t slot, uint32_t user = 0) {
        return {NumberAt(slot, TotalField(user)), NumberAt(slot, CorrectField(user))};
    }
};

TEST_F(TutoringTest, ChoiceDrawsCandidatesByLevelAndKeepsTheBestScore) {
    const struct {
        int32_t level, user;
        std::vector<uint32_t> draws; // as many as the level draws candidates
        uint32_t expected;
        const char* why;
    } rows[] = {
        {0, 0, {A, B, A, A, A, A, A, A, A, A}, A, "easiest prefers the better-read word"},
        {6, 0, {A, B, A, A, A, A, A, A, A, A}, B, "hardest prefers the missed word"},
        {0, 1, {A, B, A, A, A, A, A, A, A, A}, B, "scores come from the current user"},
        {1, 0, {B, A, B, B, B, B, B}, A, "easier is not inverted"},
        {5, 0, {A, B, A, A, A, A, A}, B, "harder is inverted"},
        {2, 0, {B, A, B, B, B}, A, "easy is not inverted"},
        {4, 0, {A, B, A, A, A}, B, "hard is inverted"},
        {3, 0, {A}, A, "normal shows its single candidate"},
        {7, 0, {A, B, A, A, A}, B, "an unknown level draws five and inverts"},
        {-1, 0, {A, B, A, A, A}, B, "a negative level compares as a large unsigned one"},
        {6, 0, {C, D, E, C, C, C, C, C, C, C}, D, "the first never-asked word wins"},
        {0, 0, {I, H, I, I, I, I, I, I, I, I}, H, "total 0 scores 10001 whatever is correct"},
        {2, 0, {F, G, F, G, F}, F, "equal scores: the first drawn stays"},
        {2, 0, {G, F, G, F, G}, G, "equal scores: the first drawn stays"},
    };
    for (const auto& row : rows) {
        settings.level = row.level;
        settings.currentUser = row.user;
        state.currentRecord = -1;
        random.script.assign(row.draws.begin(), row.draws.end());
        random.fills = 0;
        const int repaints = window.CountInvalidated();
        const auto expected = static_cast<int32_t>(row.expected);
        EXPECT_EQ(ChooseNextWord(tutor), expected) << row.why;
        EXPECT_EQ(random.fills, static_cast<int>(row.draws.size())) << row.why;
        EXPECT_EQ(state.currentWord, WordAt(expected)) << row.why;
        EXPECT_EQ((Counts{state.wordTotal, state.wordCorrect}), Tallies(expected, row.user));
        EXPECT_EQ(window.CountInvalidated(), repaints + 1) << row.why;
    }
}

TEST_F(TutoringTest, ChoiceDrawsAgainWhileTheWordOnShowIsHitAndGivesUpAfter1000Draws) {
    for (const bool givesUp : {false, true}) {
        ShowSlot(A);
        random.script.assign(givesUp ? 999 : 998, A);
        random.script.push_back(B); // thrown away when it is the 1000th draw
        random.fills = 0;
        const int repaints = window.CountInvalidated();
        EXPECT_EQ(ChooseNextWord(tutor), givesUp ? -1 : static_cast<int32_t>(B));
        EXPECT_EQ(random.fills, givesUp ? 1000 : 999);
        EXPECT_EQ(state.currentRecord, static_cast<int32_t>(givesUp ? A : B));
        EXPECT_EQ(window.CountInvalidated(), repaints + !givesUp);
    }
    EXPECT_STREQ(state.currentWord, "alpha");
}

TEST_F(TutoringTest, EveryLiveWordIsShownEquallyOftenAndFreeSlotsNever) {
    // Free slots inside the record area as well as behind it.
    ASSERT_EQ(SetRecordTag(db, C, RecordDeleted), 1);
    ASSERT_EQ(SetRecordTag(db, G, RecordDeleted), 1);
    random.counter = 0; // draws walk through every slot in turn
    std::map<int32_t, int> shown;
    for (int i = 0; i < 5 * 7; ++i)
        ++shown[ChooseNextWord(tutor)];
    EXPECT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown.count(0), 1u) << "the first word in order is drawable";
    for (const auto& [slot, count] : shown)
        EXPECT_TRUE(SlotLive(slot) && count == 5) << "slot " << slot << " shown " << count;

    random.failing = true; // the fallback generator's numbers, 0..n
    settings.level = 0;
    for (uint32_t t = 0; t < 300; ++t) {
        random.ticks = {t * 7919u};
        const int32_t slot = ChooseNextWord(tutor);
        EXPECT_TRUE(slot == -1 || SlotLive(slot)) << slot;
    }
    for (uint32_t slot : {B, D, E, F, H})
        SetRecordTag(db, slot, RecordDeleted);
    random.failing = false;
    random.script.assign(5000, C); // the source keeps hitting a free slot
    const int32_t slot = ChooseNextWord(tutor);
    EXPECT_TRUE(slot == static_cast<int32_t>(A) || slot == static_cast<int32_t>(I)) << slot;
}

using FewWordsTest = testing::TutorFixture;

TEST_F(FewWordsTest, FewOrNoWordsGiveNoCandidate) {
    EXPECT_EQ(ChooseNextWord(tutor), -1) << "no database open";
    MakeDatabase({});
    EXPECT_EQ(ChooseNextWord(tutor), -1) << "an empty database";
    const int32_t only = AddWord({"solo", {3, 2}});
    EXPECT_EQ(ChooseNextWord(tutor), only) << "the one word is shown when nothing is";
    EXPECT_EQ(ChooseNextWord(tutor), -1) << "the one word is already on show";
    EXPECT_EQ(state.currentRecord, only);
    EXPECT_STREQ(state.currentWord, "solo");
}

TEST_F(TutoringTest, ClickBandsDecideWhatIsRecorded) {
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
        ShowSlot(A);
        Counts tallies = Tallies(A);
        std::string report = Report();
        if (row.outcome == Correct || row.outcome == Incorrect) {
            tallies = {tallies[0] + 1, tallies[1] + (row.outcome == Correct)};
            report += row.outcome == Correct ? "alpha, Correct\r\n" : "alpha, Incorrect\r\n";
        }
        HandleClick(tutor, row.x, row.y);
        const std::string where = std::to_string(row.x) + "," + std::to_string(row.y);
        EXPECT_EQ(Tallies(A), tallies) << where;
        EXPECT_EQ(Report(), report) << where;
        EXPECT_EQ(state.currentRecord != static_cast<int32_t>(A), row.outcome != Nothing) << where;
    }
}

TEST_F(TutoringTest, AnswersTallyTheCurrentUserAndReportInOrder) {
    settings.currentUser = 1;
    SetUpUser(tutor);
    for (const auto& [slot, right] :
         std::vector<std::pair<uint32_t, bool>>{{A, true}, {B, false}, {A, true}}) {
        ShowSlot(slot);
        RecordAnswer(tutor, right);
    }
    EXPECT_EQ(Report(), "alpha, Correct\r\nbravo, Incorrect\r\nalpha, Correct\r\n");
    EXPECT_EQ(std::strlen(state.reportBuffer.get()), Report().size());
    EXPECT_EQ((Counts{state.sessionTotal, state.sessionCorrect}), (Counts{3, 2}));
    EXPECT_EQ((Counts{state.userTotal, state.userCorrect}), (Counts{20 + 3, 10 + 2}));
    EXPECT_EQ(Tallies(A, 1), (Counts{12, 3}));
    EXPECT_EQ(Tallies(B, 1), (Counts{11, 9}));
    EXPECT_EQ(Tallies(A), (Counts{10, 9})) << "another user's tallies are untouched";
}

TEST_F(TutoringTest, ReportStopsGrowingAtItsLimitButTalliesGoOn) {
    ShowSlot(A);
    char* buffer = state.reportBuffer.get();
    std::memset(buffer, 'x', kReportTextLimit - 1);
    state.reportLength = kReportTextLimit - 1;
    RecordAnswer(tutor, false); // still below the limit: written, crossing it
    EXPECT_STREQ(buffer + kReportTextLimit - 1, "alpha, Incorrect\r\n");
    const uint32_t length = state.reportLength;
    RecordAnswer(tutor, true);
    EXPECT_EQ(state.reportLength, length);
    EXPECT_EQ(std::strlen(buffer), length);
    EXPECT_EQ(Tallies(A), (Counts{12, 10}));
    EXPECT_EQ(state.sessionTotal, 2u);
}

TEST_F(TutoringTest, SetUpUserResetsTheSessionButKeepsTheReportAndTheWordOnShow) {
    for (const uint16_t x : {50, 300}) {
        ShowSlot(A);
        HandleClick(tutor, x, 280);
    }
    const std::string report = Report();
    std::strcpy(settings.userNames[0], "Zov");
    std::strcpy(settings.userNames[1], "Quen");
    const struct {
        int32_t user;
        const char* name;
        Counts userTallies, wordTallies;
    } rows[] = {{1, "Quen", {20, 10}, {10, 1}},
                {0, "Zov", {43 + 2, 29 + 1}, {12, 10}}, // summed afresh with the answers given
                {77, "Zov", {45, 30}, {12, 10}}};       // a damaged settings file: the first
    for (const auto& row : rows) {
        ShowSlot(A);
        settings.currentUser = row.user;
        SetUpUser(tutor);
        EXPECT_EQ(state.sessionTotal + state.sessionCorrect, 0u);
        EXPECT_EQ(Report(), report);
        EXPECT_STREQ(state.currentUserName, row.name);
        EXPECT_EQ((Counts{state.userTotal, state.userCorrect}), row.userTallies);
        EXPECT_EQ(state.currentRecord, static_cast<int32_t>(A));
        EXPECT_EQ((Counts{state.wordTotal, state.wordCorrect}), row.wordTallies) << row.user;
    }
}

TEST_F(TutoringTest, AnswerGoesToTheWordOnShowWhereverItMovedAndNowhereElse) {
    RecordAnswer(tutor, true); // no word on show
    LoadCurrentWord(tutor);
    EXPECT_EQ(state.currentRecord, -1);
    HandleClick(tutor, 50, 280); // tallies nothing but still chooses
    EXPECT_NE(state.currentRecord, -1);
    EXPECT_EQ(state.sessionTotal, 0u);

    ShowSlot(B);
    AddWord({"bat"}); // sorts before "bravo"
    ASSERT_EQ(SortRecords(db, kFieldWord), 1);
    RecordAnswer(tutor, true);
    EXPECT_EQ(state.currentRecord, SlotOf("bravo"));
    EXPECT_EQ(Tallies(SlotOf("bravo")), (Counts{11, 2}));
    EXPECT_EQ(Tallies(SlotOf("bat")), (Counts{0, 0}));

    CloseRecordFile(db); // an answer that cannot be stored is not counted either
    db.writable = 0;
    ASSERT_EQ(OpenRecordFile(db), 1);
    RecordAnswer(tutor, false);
    EXPECT_EQ(state.sessionTotal, 1u);
    EXPECT_EQ(Report(), "bravo, Correct\r\n");
    EXPECT_EQ(Tallies(SlotOf("bravo")), (Counts{11, 2}));
}

TEST(PercentText, BuildsPartOfWholeWithATruncatedPercentage) {
    const struct {
        uint32_t part, whole;
        const char* text;
    } rows[] = {{7, 9, "7 of 9 (77%)"},
                {0, 0, "0 of 0 (100%)"},
                {5, 0, "5 of 0 (100%)"},
                {4294967295u, 4294967295u, "4294967295 of 4294967295 (100%)"},
                {4294967295u, 1, "4294967295 of 1 (429496729500%)"}};
    for (const auto& row : rows) {
        char text[42];
        std::memset(text, '#', sizeof text);
        EXPECT_EQ(PercentText(row.part, row.whole, text), std::strlen(row.text));
        EXPECT_STREQ(text, row.text);
    }
}

} // namespace
} // namespace lexipond
