// SPDX-License-Identifier: GPL-3.0-or-later
// The whole history as CSV: read back by a strict reader of the format, every
// row and field is the history's, bytes and all.
#include "core/history/HistoryCsv.h"

#include "CsvReader.h"
#include "HistoryTestSupport.h"
#include "TestSupport.h"

namespace lexipond {
namespace {

using namespace testing;

TEST(HistoryCsvTest, EveryRowComesBackFieldForField) {
    TempFolder folder;
    std::vector<HistoryRow> rows = {
        MakeRow(1'772'445'600, 60, 0, "Zov", "cat", HistoryAnswer::Correct, JudgedBy::Click),
        MakeRow(1'772'445'601, -330, 3, "Ann, \"the\" reader", "a,b", HistoryAnswer::Incorrect),
        MakeRow(1'772'445'602, 0, 4, "J\xf6rg", "two\r\nlines\nand\rmore", HistoryAnswer::Skip),
        MakeRow(1'772'445'603, 840, 0, "Zov", "caf\xe9 \xff \"", HistoryAnswer::Correct,
                JudgedBy::Listening),
    };
    rows[3].heard = "caf\xc3\xa9, \"yes\"";
    rows[3].level = 6;
    {
        AnswerHistory history;
        history.Start(folder.Slash());
        HistoryTicket ticket = 0;
        for (const HistoryRow& row : rows)
            ticket = history.Append(row);
        HistoryRow undo = rows[3];
        undo.when.utcSeconds += 5;
        undo.judgedBy = JudgedBy::Key;
        history.AppendUndo(ticket, undo);
        rows.push_back(undo);
        rows.back().undoes = 4;
    }
    HistoryReader reader;
    std::string reason;
    ASSERT_EQ(reader.Open(folder / kHistoryFileName, reason), HistoryRead::Ready) << reason;
    std::string text;
    ASSERT_TRUE(WriteHistoryCsv(reader, [&](std::string_view piece) {
        text += piece;
        return true;
    })) << reader.Error();

    const std::optional<CsvRecords> records = ReadCsv(text);
    ASSERT_TRUE(records) << "not RFC 4180";
    ASSERT_EQ(records->size(), rows.size() + 1);
    EXPECT_EQ(records->front(),
              (std::vector<std::string>{"id", "time_utc", "utc_offset_min", "learner_slot",
                                        "learner_name", "word", "answer", "undoes", "level",
                                        "judged_by", "heard"}));
    const char* const times[] = {"2026-03-02T10:00:00Z", "2026-03-02T10:00:01Z",
                                 "2026-03-02T10:00:02Z", "2026-03-02T10:00:03Z",
                                 "2026-03-02T10:00:08Z"};
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const HistoryRow& row = rows[i];
        EXPECT_EQ((*records)[i + 1],
                  (std::vector<std::string>{
                      std::to_string(i + 1), times[i], std::to_string(row.when.offsetMinutes),
                      std::to_string(row.learnerSlot), row.learnerName, row.word,
                      std::string(AnswerName(row.answer)),
                      row.undoes ? std::to_string(*row.undoes) : "", std::to_string(row.level),
                      std::string(JudgedByName(row.judgedBy)), row.heard.value_or("")}));
    }
}

} // namespace
} // namespace lexipond
