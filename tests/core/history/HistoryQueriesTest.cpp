// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of the Progress window and lexipond-db on a history prepared by
// hand, against tables worked out by hand: local days (each row's own offset),
// Monday weeks, words mastered and words needing work, undone answers left out.
#include "HistoryTestSupport.h"
#include "TestSupport.h"

namespace lexipond {
namespace {

using namespace testing;
using enum HistoryAnswer;

// UTC seconds of some moments in March 2026 (Monday the 2nd and the 9th).
constexpr int64_t k0301At2259 = 1'772'405'940, k0301At2330 = 1'772'407'800,
                  k0301At1500 = 1'772'377'200, k0302At1000 = 1'772'445'600,
                  k0303At0300 = 1'772'506'800, k0305At1000 = 1'772'704'800,
                  k0308At2230 = 1'773'009'000, k0309At0030 = 1'773'016'200,
                  k0309At0800 = 1'773'043'200, k0228At1200 = 1'772'280'000,
                  k0310At1200 = 1'773'144'000, k0310At0500 = 1'773'118'800,
                  k0310At1100 = 1'773'140'400;

class HistoryQueriesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        AnswerHistory history;
        history.Start(folder->Slash());
        const auto ann = [&](int64_t utc, int32_t offset, const char* word, HistoryAnswer answer,
                             const char* name = "Ann") {
            return history.Append(MakeRow(utc, offset, 0, name, word, answer));
        };
        const auto undo = [&](HistoryTicket ticket, int64_t utc, const char* word) {
            history.AppendUndo(ticket, MakeRow(utc, 0, 0, "Ann", word, Incorrect));
        };
        ann(k0301At2330, 60, "cat", Correct); // local 03-02 00:30
        ann(k0302At1000, 60, "cat", Correct);
        ann(k0302At1000 + 60, 60, "dog", Incorrect);
        ann(k0302At1000 + 120, 60, "dog", Skip);
        undo(ann(k0303At0300, -300, "cat", Incorrect), k0303At0300 + 60,
             "cat");                            // local 03-02 22:00
        ann(k0308At2230, -300, "cat", Correct); // local 03-08 17:30, a Sunday
        ann(k0309At0030, 60, "dog", Incorrect); // local 03-09 01:30
        ann(k0309At0800, 60, "cat", Correct);
        undo(ann(k0309At0800 + 3600, 60, "cat", Incorrect), k0309At0800 + 3660, "cat");
        ann(k0309At0800 + 3700, 60, "sun", Correct);
        ann(k0309At0800 + 3800, 60, "sun", Correct);
        ann(k0309At0800 + 3900, 60, "sun", Incorrect);
        ann(k0309At0800 + 4000, 60, "ant", Incorrect);
        ann(k0228At1200, 60, "owl", Correct); // before the range, written later
        ann(k0228At1200 + 60, 60, "owl", Correct);
        ann(k0228At1200 + 120, 60, "owl", Correct);
        ann(k0310At1200, 60, "cat", Incorrect);          // after the range
        ann(k0301At2259, 60, "dog", Correct);            // local 03-01 23:59: just before
        ann(k0301At1500, 840, "dog", Skip);              // local 03-02 05:00 at UTC+14
        ann(k0310At1100, -720, "ant", Skip);             // local 03-09 23:00 at UTC-12
        ann(k0310At0500, -300, "ant", Correct, "Annie"); // local 03-10 00:00: just after
        for (int i = 0; i < 3; ++i) {
            history.Append(MakeRow(k0302At1000 + i, 60, 1, "Bo", "cat", Incorrect));
            history.Append(MakeRow(k0305At1000 + i, 60, 1, "Bo", "bee", Correct));
        }
        history.Close();
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }
    void SetUp() override {
        std::string reason;
        ASSERT_EQ(reader.Open(*folder / kHistoryFileName, reason), HistoryRead::Ready) << reason;
    }

    static inline TempFolder* folder = new TempFolder;
    HistoryReader reader;
    const DayRange range{"2026-03-02", "2026-03-09"};
};

TEST_F(HistoryQueriesTest, DaysAndWeeks) {
    using Tallies = std::vector<PeriodTally>;
    const struct {
        const char* name;
        int32_t learner;
        DayRange range;
        Tallies days, weeks;
    } rows[] = {
        {"Ann, two whole weeks",
         0,
         range,
         {{"2026-03-02", 2, 1, 2}, {"2026-03-08", 1, 0, 0}, {"2026-03-09", 3, 3, 1}},
         {{"2026-03-02", 3, 1, 2}, {"2026-03-09", 3, 3, 1}}},
        {"Ann, from a Wednesday: the first week only from there",
         0,
         {"2026-03-04", "2026-03-09"},
         {{"2026-03-08", 1, 0, 0}, {"2026-03-09", 3, 3, 1}},
         {{"2026-03-02", 1, 0, 0}, {"2026-03-09", 3, 3, 1}}},
        {"Ann, one day",
         0,
         {"2026-03-01", "2026-03-01"},
         {{"2026-03-01", 1, 0, 0}},
         {{"2026-02-23", 1, 0, 0}}},
        {"Bo",
         1,
         range,
         {{"2026-03-02", 0, 3, 0}, {"2026-03-05", 3, 0, 0}},
         {{"2026-03-02", 3, 3, 0}}},
        {"nobody in slot 4", 4, range, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(reader.Days(row.learner, row.range), row.days) << reader.Error();
        EXPECT_EQ(reader.Weeks(row.learner, row.range), row.weeks) << reader.Error();
    }
}

TEST_F(HistoryQueriesTest, WordsMasteredAndNeedingWork) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(reader.MasteredWords(0, "2026-03-09"), (Words{"cat", "owl"}))
        << "the undone Incorrect on 03-09 does not count";
    EXPECT_EQ(reader.MasteredWords(0, "2026-03-01"), Words{"owl"}) << "cat not yet three times";
    EXPECT_EQ(reader.MasteredWords(0), Words{"owl"}) << "cat missed on 03-10";
    EXPECT_EQ(reader.MasteredWords(1), Words{"bee"});

    using Needs = std::vector<WordTally>;
    EXPECT_EQ(reader.WordsNeedingWork(0, range, 10),
              (Needs{{"dog", 2, 2}, {"ant", 1, 1}, {"sun", 1, 3}}));
    EXPECT_EQ(reader.WordsNeedingWork(0, range, 2), (Needs{{"dog", 2, 2}, {"ant", 1, 1}}));
    EXPECT_EQ(reader.WordsNeedingWork(1, range, 10), (Needs{{"cat", 3, 3}}));
}

TEST_F(HistoryQueriesTest, LearnersAreSummedOverTheWholeHistoryUnderTheirNewestName) {
    EXPECT_EQ(reader.Learners(),
              (std::vector<LearnerSummary>{{0, "Annie", 11, 5, 3, 1}, {1, "Bo", 3, 3, 0, 1}}));
}

TEST_F(HistoryQueriesTest, DaysAreCheckedAndCountedAcrossTheCalendar) {
    EXPECT_EQ(reader.Days(0, {"2026-03-09", "2026-03-02"}), std::nullopt) << "reversed";
    EXPECT_EQ(reader.Days(0, {"2026-02-30", "2026-03-02"}), std::nullopt) << "no such day";
    EXPECT_EQ(reader.MasteredWords(0, "9 March"), std::nullopt);
    const struct {
        const char* day;
        std::optional<int64_t> number;
    } days[] = {{"1969-12-31", -1},
                {"2024-02-29", 19'782},
                {"2023-02-29", {}},
                {"2026-3-09", {}},
                {"2026-03-09", 20'521}};
    for (const auto& [day, number] : days) {
        EXPECT_EQ(DayNumber(day), number) << day;
        if (number) {
            EXPECT_EQ(DayText(*number), day);
        }
    }
    EXPECT_EQ(LocalDay({-1, 0}), "1969-12-31");
    EXPECT_EQ(LocalDay({k0301At2330, 60}), "2026-03-02");
    EXPECT_EQ(LocalDay({k0303At0300, -300}), "2026-03-02");
}

} // namespace
} // namespace lexipond
