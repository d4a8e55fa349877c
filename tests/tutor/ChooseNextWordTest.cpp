// Word choice: the random numbers behind it, candidates by level, scores, ties
// and the draw of slots.
#include "TutorTestSupport.h"
#include "platform/Random.h"

#include <map>
#include <set>

namespace lexipond {
namespace {

using testing::TutorFixture;

using RandomBelowTest = TutorFixture;

TEST_F(RandomBelowTest, ZeroAndOneGiveOneWithoutTouchingAnySource) {
    for (const bool failing : {false, true}) {
        random.failing = failing;
        state.randomState = 12345;
        EXPECT_EQ(RandomBelow(tutor, 0), 1u);
        EXPECT_EQ(RandomBelow(tutor, 1), 1u);
        EXPECT_EQ(random.fills + random.tickReads, 0);
        EXPECT_EQ(state.randomState, 12345u);
    }
}

TEST_F(RandomBelowTest, SourceGivesOneToNAndTheFallbackKeepsItsArithmetic) {
    struct Row {
        bool fallback;
        uint32_t state, input, n, expected, expectedState;
    };
    const Row rows[] = {
        // The source's value mod n, plus 1, whatever the state was.
        {false, 0, 9, 10, 10, 10},
        {false, 0, 10, 10, 1, 1},
        {false, 0, 0xFFFFFFFFu, 7, 4, 4},
        {false, 0, 5, 0xFFFFFFFFu, 6, 6},
        {false, 24464, 41, 10, 2, 2},
        // Fallback from state 0: t*t mod 65536 (t*t wraps in 32 bits); then
        // (state*n) >> 12, brought to 0..n by subtracting n.
        {true, 0, 300, 10, 9, 24464},
        {true, 0, 16, 10, 0, 256},
        {true, 0, 70000, 7, 7, 4352},
        // Later: ((state*state) mod 65536) >> 1, plus the tick's low byte.
        {true, 24464, 0x1234, 10, 5, 6324},
        {true, 65535, 255, 3, 0, 255},
        {true, 24464, 0, 1000000, 482674, 6272}, // state*n wraps in 32 bits
    };
    for (const Row& row : rows) {
        random.failing = row.fallback;
        random.script = {row.input};
        random.ticks = {row.input};
        random.fills = random.tickReads = 0;
        state.randomState = row.state;
        EXPECT_EQ(RandomBelow(tutor, row.n), row.expected) << row.input << " " << row.n;
        EXPECT_EQ(state.randomState, row.expectedState) << row.input << " " << row.n;
        EXPECT_EQ(random.fills, 1) << "the source is tried on every call";
        EXPECT_EQ(random.tickReads, row.fallback ? 1 : 0);
    }
}

TEST(SystemRandomSource, GivesVaryingValuesAndAMonotonicTick) {
    platform::SystemRandomSource source;
    std::set<uint32_t> seen;
    for (uint32_t i = 0, value = 0; i < 16; ++i) {
        ASSERT_TRUE(source.Fill(value));
        seen.insert(value);
    }
    EXPECT_GT(seen.size(), 8u);
    const uint32_t first = source.TickCount();
    EXPECT_LE(source.TickCount() - first, 1000u) << "a step back wraps to a huge difference";
}

// Slots in the order the words are added.
enum : uint32_t { A, B, C, D, E, F, G, H, I };

class ChooseNextWordTest : public TutorFixture {
  protected:
    void SetUp() override {
        MakeDatabase({
            {"alpha", 10, 9, 10, 1}, // A: 9000 for user 0, 1000 for user 1
            {"bravo", 10, 1, 10, 9}, // B: 1000 for user 0, 9000 for user 1
            {"charlie", 10, 7},      // C: 7000
            {"delta"},               // D, E: never asked
            {"echo"},
            {"foxtrot", 10, 5}, // F, G: 5000
            {"golf", 2, 1},
            {"hotel", 0, 5}, // H: never asked, though 5 "correct"
            {"india", 1, 1}, // I: 10000
        });
        ASSERT_GT(db.capacity, I);
    }
};

TEST_F(ChooseNextWordTest, DrawsCandidatesByLevelAndKeepsTheBestScore) {
    struct Row {
        int32_t level, user;
        std::vector<uint32_t> draws; // also how many candidates the level draws
        uint32_t expected;
        const char* why;
    };
    const std::vector<Row> rows = {
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
    for (const Row& row : rows) {
        settings.level = row.level;
        settings.currentUser = row.user;
        state.currentRecord = -1;
        random.script.assign(row.draws.begin(), row.draws.end());
        random.fills = 0;
        const int repaints = window.CountInvalidated();
        const auto expected = static_cast<int32_t>(row.expected);
        EXPECT_EQ(ChooseNextWord(tutor), expected) << row.why;
        EXPECT_EQ(random.fills, static_cast<int>(row.draws.size())) << row.why;
        EXPECT_EQ(state.currentRecord, expected) << row.why;
        EXPECT_EQ(state.currentWord, WordAt(expected)) << row.why;
        EXPECT_EQ(state.wordTotal, NumberAt(expected, TotalField(row.user))) << row.why;
        EXPECT_EQ(state.wordCorrect, NumberAt(expected, CorrectField(row.user))) << row.why;
        EXPECT_EQ(window.CountInvalidated(), repaints + 1) << row.why;
    }
}

TEST_F(ChooseNextWordTest, DrawsAgainWhileTheWordOnShowIsHitAndGivesUpAfter1000Draws) {
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

TEST_F(ChooseNextWordTest, EveryLiveWordIsShownEquallyOftenAndFreeSlotsNever) {
    // Free slots inside the record area as well as behind it.
    ASSERT_EQ(SetRecordTag(db, C, RecordDeleted), 1);
    ASSERT_EQ(SetRecordTag(db, G, RecordDeleted), 1);
    ASSERT_EQ(db.liveCount, 7u);
    random.counter = 0; // draws walk through every slot in turn
    std::map<int32_t, int> shown;
    for (int i = 0; i < 5 * 7; ++i) {
        const int32_t slot = ChooseNextWord(tutor);
        ASSERT_TRUE(SlotLive(slot)) << slot;
        ++shown[slot];
    }
    EXPECT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown.count(0), 1u) << "the first word in order is drawable";
    for (const auto& [slot, count] : shown)
        EXPECT_EQ(count, 5) << "slot " << slot;
}

TEST_F(ChooseNextWordTest, MostlyFreeFileStillGivesALiveWord) {
    for (uint32_t slot : {B, D, E, F, G, H, I})
        SetRecordTag(db, slot, RecordDeleted);
    random.script.assign(5000, B); // the source keeps hitting a free slot
    const int32_t slot = ChooseNextWord(tutor);
    EXPECT_TRUE(slot == static_cast<int32_t>(A) || slot == static_cast<int32_t>(C)) << slot;
}

TEST_F(ChooseNextWordTest, FallbackGeneratorNeverYieldsAFreeOrOutOfRangeSlot) {
    SetRecordTag(db, D, RecordDeleted);
    settings.level = 0;
    random.failing = true;
    for (uint32_t t = 0; t < 300; ++t) {
        random.ticks = {t * 7919u};
        const int32_t slot = ChooseNextWord(tutor);
        EXPECT_TRUE(slot == -1 || SlotLive(slot)) << slot;
    }
}

using FewWordsTest = TutorFixture;

TEST_F(FewWordsTest, FewOrNoWordsGiveNoCandidateAndReadNothingOutOfRange) {
    EXPECT_EQ(ChooseNextWord(tutor), -1) << "no database open";
    MakeDatabase({});
    settings.level = 0;
    EXPECT_EQ(ChooseNextWord(tutor), -1) << "an empty database";
    EXPECT_EQ(state.currentRecord, -1);

    const int32_t only = AddWord({"solo", 3, 2});
    EXPECT_EQ(ChooseNextWord(tutor), only) << "the one word is shown when nothing is";
    EXPECT_STREQ(state.currentWord, "solo");
    EXPECT_EQ(ChooseNextWord(tutor), -1) << "the one word is already on show";
    EXPECT_EQ(state.currentRecord, only);
}

} // namespace
} // namespace lexipond
