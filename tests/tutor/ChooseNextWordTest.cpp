// Choosing the next word: candidates by level, scores, ties and the draw of slots.
#include "TutorTestSupport.h"
#include "recordfile/RecordFile.h"
#include "tutor/Tutoring.h"

#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace lexipond {
namespace {

using testing::RecordingWindow;
using testing::TutorFixture;
using testing::WordSpec;

// Slots in the order the words are added.
enum : uint32_t { A, B, C, D, E, F, G, H, I };

class ChooseNextWordTest : public TutorFixture {
  protected:
    void SetUp() override {
        MakeDatabase({
            {"alpha", 10, 9, 10, 1}, // A: 9000 for user 0, 1000 for user 1
            {"bravo", 10, 1, 10, 9}, // B: 1000 for user 0, 9000 for user 1
            {"charlie", 10, 7},      // C: 7000 (3000 inverted)
            {"delta"},               // D: never asked
            {"echo"},                // E: never asked
            {"foxtrot", 10, 5},      // F: 5000
            {"golf", 2, 1},          // G: 5000
            {"hotel", 0, 5},         // H: never asked, though 5 "correct"
            {"india", 1, 1},         // I: 10000
        });
        ASSERT_GT(db.capacity, I);
    }
    void Script(const std::vector<uint32_t>& slots) {
        random.script.assign(slots.begin(), slots.end());
    }
};

TEST_F(ChooseNextWordTest, DrawsTheNumberOfCandidatesOfEachLevel) {
    const std::map<int32_t, int> candidates = {{0, 10}, {1, 7},  {2, 5}, {3, 1}, {4, 5},
                                               {5, 7},  {6, 10}, {7, 5}, {-1, 5}};
    for (const auto& [level, count] : candidates) {
        settings.level = level;
        state.currentRecord = -1;
        random.fills = 0;
        Script(std::vector<uint32_t>(static_cast<size_t>(count), C));
        EXPECT_EQ(ChooseNextWord(tutor), static_cast<int32_t>(C)) << "level " << level;
        EXPECT_EQ(random.fills, count) << "level " << level;
    }
}

TEST_F(ChooseNextWordTest, ScoresCandidatesByLevelAndUser) {
    struct Row {
        int32_t level;
        int32_t user;
        std::vector<uint32_t> draws;
        uint32_t expected;
        const char* why;
    };
    const std::vector<Row> rows = {
        {0, 0, {A, B, A, A, A, A, A, A, A, A}, A, "easiest prefers the better-read word"},
        {6, 0, {A, B, A, A, A, A, A, A, A, A}, B, "hardest prefers the missed word"},
        {0, 1, {A, B, A, A, A, A, A, A, A, A}, B, "scores come from the current user's fields"},
        {2, 0, {A, B, A, A, A}, A, "easy is not inverted"},
        {4, 0, {A, B, A, A, A}, B, "hard is inverted"},
        {7, 0, {A, B, A, A, A}, B, "an unknown level draws five and inverts"},
        {-1, 0, {A, B, A, A, A}, B, "a negative level compares as a large unsigned one"},
        {3, 0, {A}, A, "normal shows its single candidate whatever its tallies"},
        {3, 0, {B}, B, "normal shows its single candidate whatever its tallies"},
        {6, 0, {C, D, E, C, C, C, C, C, C, C}, D, "the first never-asked word wins"},
        {0, 0, {I, H, I, I, I, I, I, I, I, I}, H, "total 0 scores 10001 whatever is correct"},
        {6, 0, {I, H, I, I, I, I, I, I, I, I}, H, "never asked beats every asked word"},
        {2, 0, {F, G, F, G, F}, F, "equal scores: the first drawn stays"},
        {2, 0, {G, F, G, F, G}, G, "equal scores: the first drawn stays"},
    };
    for (const Row& row : rows) {
        settings.level = row.level;
        settings.currentUser = row.user;
        state.currentRecord = -1;
        Script(row.draws);
        random.fills = 0;
        EXPECT_EQ(ChooseNextWord(tutor), static_cast<int32_t>(row.expected)) << row.why;
        EXPECT_EQ(state.currentRecord, static_cast<int32_t>(row.expected)) << row.why;
        EXPECT_EQ(random.fills, static_cast<int>(row.draws.size())) << row.why;
    }
}

TEST_F(ChooseNextWordTest, LoadsTheWinnerWithItsTalliesAndRepaints) {
    settings.level = 3;
    settings.currentUser = 1;
    Script({A});
    const int before = window.CountInvalidated();
    ASSERT_EQ(ChooseNextWord(tutor), static_cast<int32_t>(A));
    EXPECT_STREQ(state.currentWord, "alpha");
    EXPECT_EQ(state.wordTotal, 10u);
    EXPECT_EQ(state.wordCorrect, 1u);
    EXPECT_EQ(window.CountInvalidated(), before + 1);
}

TEST_F(ChooseNextWordTest, DrawsAgainWhileTheWordOnShowIsHitAndGivesUpAfter1000Draws) {
    settings.level = 3;
    ShowSlot(A);
    // 998 hits, then another word: taken.
    std::vector<uint32_t> draws(998, A);
    draws.push_back(B);
    Script(draws);
    random.fills = 0;
    EXPECT_EQ(ChooseNextWord(tutor), static_cast<int32_t>(B));
    EXPECT_EQ(random.fills, 999);

    // 999 hits: the 1000th draw is thrown away even though it is another word.
    ShowSlot(A);
    draws.assign(999, A);
    draws.push_back(B);
    Script(draws);
    random.fills = 0;
    const int repaints = window.CountInvalidated();
    EXPECT_EQ(ChooseNextWord(tutor), -1);
    EXPECT_EQ(random.fills, 1000);
    EXPECT_EQ(state.currentRecord, static_cast<int32_t>(A));
    EXPECT_STREQ(state.currentWord, "alpha");
    EXPECT_EQ(window.CountInvalidated(), repaints);
}

TEST_F(ChooseNextWordTest, EveryLiveWordIsShownEquallyOftenAndFreeSlotsNever) {
    // Free slots inside the record area as well as behind it.
    ASSERT_EQ(SetRecordTag(db, static_cast<int32_t>(C), RecordDeleted), 1);
    ASSERT_EQ(SetRecordTag(db, static_cast<int32_t>(G), RecordDeleted), 1);
    settings.level = 3;
    random.counter = 0; // draws walk through every slot in turn
    std::map<int32_t, int> shown;
    const int rounds = 5;
    const int live = static_cast<int>(db.liveCount);
    ASSERT_EQ(live, 7);
    for (int i = 0; i < rounds * live; ++i) {
        const int32_t slot = ChooseNextWord(tutor);
        ASSERT_GE(slot, 0);
        ASSERT_LT(static_cast<uint32_t>(slot), db.capacity);
        ASSERT_TRUE(SlotLive(slot)) << slot;
        ++shown[slot];
    }
    EXPECT_EQ(shown.size(), 7u);
    for (const auto& [slot, count] : shown) {
        EXPECT_EQ(count, rounds) << "slot " << slot;
    }
    EXPECT_EQ(shown.count(0), 1u) << "the first word in order must be drawable";
}

TEST_F(ChooseNextWordTest, TwoWordsTakeTurns) {
    for (uint32_t slot = C; slot <= I; ++slot) {
        SetRecordTag(db, static_cast<int32_t>(slot), RecordDeleted);
    }
    ASSERT_EQ(db.liveCount, 2u);
    settings.level = 3;
    random.counter = 0;
    ShowSlot(A);
    for (int i = 0; i < 6; ++i) {
        const int32_t expected = static_cast<int32_t>(i % 2 == 0 ? B : A);
        EXPECT_EQ(ChooseNextWord(tutor), expected);
    }
}

TEST_F(ChooseNextWordTest, MostlyFreeFileFallsBackToTheKthLiveWord) {
    for (uint32_t slot : {B, D, E, F, G, H, I}) {
        SetRecordTag(db, static_cast<int32_t>(slot), RecordDeleted);
    }
    ASSERT_EQ(db.liveCount, 2u); // A and C
    settings.level = 3;
    // Every random slot is free; then the walk picks live word number 1 (0-based): C.
    std::vector<uint32_t> draws(64, B);
    draws.push_back(1);
    Script(draws);
    random.fills = 0;
    EXPECT_EQ(ChooseNextWord(tutor), static_cast<int32_t>(C));
    EXPECT_EQ(random.fills, 65);
}

TEST_F(ChooseNextWordTest, FallbackGeneratorNeverYieldsAFreeOrOutOfRangeSlot) {
    SetRecordTag(db, static_cast<int32_t>(D), RecordDeleted);
    settings.level = 0;
    random.failing = true;
    for (uint32_t t = 0; t < 300; ++t) {
        random.ticks = {t * 7919u};
        const int32_t slot = ChooseNextWord(tutor);
        if (slot >= 0) {
            ASSERT_LT(static_cast<uint32_t>(slot), db.capacity);
            ASSERT_TRUE(SlotLive(slot)) << slot;
            ASSERT_NE(slot, static_cast<int32_t>(D));
        }
    }
}

class FewWordsTest : public TutorFixture {};

TEST_F(FewWordsTest, WithFewerThanTwoWordsNothingIsReadOutOfRange) {
    MakeDatabase({});
    settings.level = 0;
    EXPECT_EQ(ChooseNextWord(tutor), -1) << "an empty database has no candidate";
    EXPECT_EQ(state.currentRecord, -1);

    const int32_t only = AddWord({"solo", 3, 2});
    ASSERT_EQ(db.liveCount, 1u);
    EXPECT_EQ(ChooseNextWord(tutor), only) << "the one word is shown when nothing is";
    EXPECT_STREQ(state.currentWord, "solo");

    random.fills = 0;
    EXPECT_EQ(ChooseNextWord(tutor), -1) << "the one word is already on show";
    EXPECT_EQ(state.currentRecord, only);
    EXPECT_EQ(random.fills, 0);
}

TEST_F(FewWordsTest, ClosedDatabaseGivesNoCandidate) {
    MakeDatabase({{"one"}, {"two"}});
    CloseRecordFile(db);
    EXPECT_EQ(ChooseNextWord(tutor), -1);
    EXPECT_EQ(state.currentRecord, -1);
}

} // namespace
} // namespace lexipond
