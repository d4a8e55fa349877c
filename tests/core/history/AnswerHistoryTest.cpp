// SPDX-License-Identifier: GPL-3.0-or-later
// The history's writer: every row queued reaches the file whole and in order,
// an undo names the row of the answer it takes back, and nothing is written
// after the close.
#include "HistoryTestSupport.h"
#include "TestSupport.h"

namespace lexipond {
namespace {

using namespace testing;

class AnswerHistoryTest : public ::testing::Test {
  protected:
    AnswerHistoryTest() { history.Start(folder.Slash()); }
    std::vector<HistoryRow> Rows() { return ReadHistoryRows(folder / kHistoryFileName); }

    TempFolder folder;
    AnswerHistory history;
};

TEST_F(AnswerHistoryTest, RowsReachTheFileWithEveryFieldAndTheirBytes) {
    std::vector<HistoryRow> rows = {
        MakeRow(1'772'445'600, 60, 0, "Zov", "cat", HistoryAnswer::Correct, JudgedBy::Click),
        MakeRow(1'772'445'601, -300, 4, "J\xf6rg \xff", "caf\xe9", HistoryAnswer::Incorrect),
        MakeRow(-5, 840, 2, "", "a, \"b\"\r\nc", HistoryAnswer::Skip, JudgedBy::Listening),
    };
    rows[1].level = 6;
    rows[2].heard = "a bee";
    for (const HistoryRow& row : rows)
        history.Append(row);
    history.Flush(); // readable while the writer still runs
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i].id = static_cast<int64_t>(i + 1);
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(history.Committed(), 3u);
}

TEST_F(AnswerHistoryTest, AnUndoNamesTheRowOfItsAnswerAndAnUnknownAnswerIsNotTakenBack) {
    const HistoryTicket cat =
        history.Append(MakeRow(10, 0, 0, "Zov", "cat", HistoryAnswer::Correct));
    const HistoryTicket dog =
        history.Append(MakeRow(11, 0, 1, "Quen", "dog", HistoryAnswer::Incorrect));
    history.AppendUndo(dog, MakeRow(12, 0, 1, "Quen", "dog", HistoryAnswer::Incorrect));
    history.AppendUndo(0, MakeRow(13, 0, 0, "Zov", "cat", HistoryAnswer::Correct));
    history.AppendUndo(dog + 100, MakeRow(14, 0, 0, "Zov", "cat", HistoryAnswer::Correct));
    history.AppendUndo(cat, MakeRow(15, 0, 0, "Zov", "cat", HistoryAnswer::Correct));
    history.Close();
    const std::vector<HistoryRow> rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2].word, "dog");
    EXPECT_EQ(rows[2].undoes, rows[1].id);
    EXPECT_EQ(rows[3].undoes, rows[0].id);
    EXPECT_EQ(rows[3].when.utcSeconds, 15);
    EXPECT_EQ(history.Dropped(), 1u) << "the undo of an answer never given";
}

TEST_F(AnswerHistoryTest, OnlyTheNewestAnswersCanStillBeTakenBack) {
    std::vector<HistoryTicket> tickets;
    for (size_t i = 0; i <= kHistoryTicketsKept; ++i)
        tickets.push_back(history.Append(
            MakeRow(static_cast<int64_t>(i), 0, 0, "Zov", "w", HistoryAnswer::Correct)));
    history.AppendUndo(tickets[0], MakeRow(0, 0, 0, "Zov", "w", HistoryAnswer::Correct));
    history.AppendUndo(tickets[1], MakeRow(0, 0, 0, "Zov", "w", HistoryAnswer::Correct));
    history.Close();
    const std::vector<HistoryRow> rows = Rows();
    ASSERT_EQ(rows.size(), kHistoryTicketsKept + 2);
    EXPECT_EQ(rows.back().undoes, rows[1].id);
    EXPECT_EQ(history.Dropped(), 1u);
}

TEST_F(AnswerHistoryTest, CloseWritesWhatIsQueuedAndNothingAfter) {
    for (int i = 0; i < 200; ++i)
        history.Append(MakeRow(i, 0, 0, "Zov", "w" + std::to_string(i), HistoryAnswer::Correct));
    history.Close();
    EXPECT_EQ(history.Append(MakeRow(999, 0, 0, "Zov", "late", HistoryAnswer::Correct)), 0u);
    history.Flush(); // returns at once
    history.Close();
    std::vector<HistoryRow> rows = Rows();
    ASSERT_EQ(rows.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(rows[size_t(i)].word, "w" + std::to_string(i));
    EXPECT_FALSE(std::filesystem::exists(folder / (std::string(kHistoryFileName) + "-wal")));

    history.Start(folder.Slash()); // started again, the answers can be taken back again
    const HistoryTicket again =
        history.Append(MakeRow(1, 0, 0, "Zov", "again", HistoryAnswer::Skip));
    history.AppendUndo(again, MakeRow(2, 0, 0, "Zov", "again", HistoryAnswer::Skip));
    history.Close();
    rows = Rows();
    ASSERT_EQ(rows.size(), 202u);
    EXPECT_EQ(rows[201].undoes, rows[200].id);
}

} // namespace
} // namespace lexipond
