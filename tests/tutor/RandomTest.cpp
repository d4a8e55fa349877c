// The random source behind word choice: the system source and the fallback generator.
#include "platform/Random.h"

#include "TutorTestSupport.h"
#include "shell/Settings.h"
#include "tutor/Tutoring.h"

#include <gtest/gtest.h>
#include <set>

namespace lexipond {
namespace {

using testing::RecordingWindow;
using testing::ScriptedRandom;

struct RandomOnly {
    RecordFile db;
    SettingsBlock settings{};
    TutorState state;
    ScriptedRandom random;
    RecordingWindow window;
    Tutor tutor{db, settings, state, random, window};
};

TEST(RandomBelow, ZeroAndOneGiveOneWithoutTouchingAnySource) {
    for (const bool failing : {false, true}) {
        RandomOnly r;
        r.random.failing = failing;
        r.state.randomState = 12345;
        EXPECT_EQ(RandomBelow(r.tutor, 0), 1u);
        EXPECT_EQ(RandomBelow(r.tutor, 1), 1u);
        EXPECT_EQ(r.random.fills, 0);
        EXPECT_EQ(r.random.tickReads, 0);
        EXPECT_EQ(r.state.randomState, 12345u);
    }
}

TEST(RandomBelow, SourceValueGivesRemainderPlusOneAndBecomesTheState) {
    struct Row {
        uint32_t value, n, expected;
    };
    const Row rows[] = {
        {0, 10, 1},     {9, 10, 10},
        {10, 10, 1},    {0xFFFFFFFFu, 7, 4}, // 4294967295 mod 7 = 3
        {123456, 2, 1}, {5, 0xFFFFFFFFu, 6},
    };
    for (const Row& row : rows) {
        RandomOnly r;
        r.random.script = {row.value};
        EXPECT_EQ(RandomBelow(r.tutor, row.n), row.expected) << row.value << " " << row.n;
        EXPECT_EQ(r.state.randomState, row.expected);
        EXPECT_EQ(r.random.tickReads, 0);
    }
}

TEST(RandomBelow, FallbackGeneratorFollowsItsArithmetic) {
    RandomOnly r;
    r.random.failing = true;
    // From state 0: state = t*t mod 65536 = 90000 mod 65536 = 24464;
    // r = 244640 >> 12 = 59, brought below n by subtraction: 9.
    r.random.ticks = {300};
    EXPECT_EQ(RandomBelow(r.tutor, 10), 9u);
    EXPECT_EQ(r.state.randomState, 24464u);
    // Next: (24464^2 mod 65536) >> 1 = 12544 >> 1 = 6272, + (0x1234 & 255 = 52) = 6324;
    // r = 63240 >> 12 = 15 -> 5.
    r.random.ticks = {0x1234};
    EXPECT_EQ(RandomBelow(r.tutor, 10), 5u);
    EXPECT_EQ(r.state.randomState, 6324u);
    EXPECT_EQ(r.random.fills, 2); // the source is tried on every call
}

TEST(RandomBelow, FallbackCanGiveZeroAndNAndWrapsThe32BitProduct) {
    struct Row {
        uint32_t state, tick, n, expectedState, expected;
    };
    const Row rows[] = {
        // 16*16 = 256; 2560 >> 12 = 0.
        {0, 16, 10, 256, 0},
        // 70000^2 wraps in 32 bits; mod 65536 = 4352; 30464 >> 12 = 7 = n.
        {0, 70000, 7, 4352, 7},
        // 65535^2 mod 65536 = 1, >> 1 = 0, + 255; 765 >> 12 = 0.
        {65535, 255, 3, 255, 0},
        // 24464 -> 6272; 6272e6 mod 2^32 = 1977032704, >> 12 = 482674.
        {24464, 0, 1000000, 6272, 482674},
    };
    for (const Row& row : rows) {
        RandomOnly r;
        r.random.failing = true;
        r.state.randomState = row.state;
        r.random.ticks = {row.tick};
        EXPECT_EQ(RandomBelow(r.tutor, row.n), row.expected) << row.state << " " << row.tick;
        EXPECT_EQ(r.state.randomState, row.expectedState);
    }
}

TEST(RandomBelow, SourceIsTriedAgainAfterAFailure) {
    RandomOnly r;
    r.random.failing = true;
    r.random.ticks = {300};
    EXPECT_EQ(RandomBelow(r.tutor, 10), 9u);
    r.random.failing = false;
    r.random.script = {41};
    EXPECT_EQ(RandomBelow(r.tutor, 10), 2u);
    EXPECT_EQ(r.state.randomState, 2u);
}

TEST(SystemRandomSource, GivesVaryingValuesAndAMonotonicTick) {
    platform::SystemRandomSource source;
    std::set<uint32_t> seen;
    for (int i = 0; i < 16; ++i) {
        uint32_t value = 0;
        ASSERT_TRUE(source.Fill(value));
        seen.insert(value);
    }
    EXPECT_GT(seen.size(), 8u);
    const uint32_t first = source.TickCount();
    const uint32_t second = source.TickCount();
    EXPECT_LE(second - first, 1000u); // no step backwards (that would wrap to a huge difference)
}

} // namespace
} // namespace lexipond
