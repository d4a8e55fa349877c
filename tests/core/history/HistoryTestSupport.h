#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// What the answer history's tests share: rows made in one line, the rows of a
// history file read back, and raw SQL on a file for the damage the program
// must survive.
#include "core/history/AnswerHistory.h"
#include "core/history/HistoryQueries.h"

#include <gtest/gtest.h>
#include <ostream>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace lexipond {

// How a row looks in a failed test's message.
inline void PrintTo(const HistoryRow& row, std::ostream* out) {
    *out << "{id " << row.id << ", " << row.when.utcSeconds << "s " << row.when.offsetMinutes
         << "min, learner " << row.learnerSlot << " " << ::testing::PrintToString(row.learnerName)
         << ", " << ::testing::PrintToString(row.word) << ", " << AnswerName(row.answer)
         << (row.undoes ? ", undoes " + std::to_string(*row.undoes) : "") << ", level " << row.level
         << ", " << JudgedByName(row.judgedBy)
         << (row.heard ? ", heard " + ::testing::PrintToString(*row.heard) : "") << "}";
}

} // namespace lexipond

namespace lexipond::testing {

inline HistoryRow MakeRow(int64_t utc, int32_t offsetMinutes, int32_t slot, std::string name,
                          std::string word, HistoryAnswer answer,
                          JudgedBy judgedBy = JudgedBy::Key) {
    HistoryRow row;
    row.when = {utc, offsetMinutes};
    row.learnerSlot = slot;
    row.learnerName = std::move(name);
    row.word = std::move(word);
    row.answer = answer;
    row.level = 3;
    row.judgedBy = judgedBy;
    return row;
}

// Every row of the history file at path, in the order written; the test
// fails when it cannot be read.
inline std::vector<HistoryRow> ReadHistoryRows(const std::string& path) {
    HistoryReader reader;
    std::string reason;
    EXPECT_EQ(reader.Open(path, reason), HistoryRead::Ready) << reason;
    std::vector<HistoryRow> rows;
    EXPECT_TRUE(reader.ForEachRow([&](const HistoryRow& row) {
        rows.push_back(row);
        return true;
    })) << reader.Error();
    return rows;
}

// Runs SQL on a file with a connection of the test's own; the first column
// of the first row, or the error text.
inline std::string RunSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::string result;
    const int code = sqlite3_exec(
        db, sql.c_str(),
        [](void* out, int, char** values, char**) {
            auto& text = *static_cast<std::string*>(out);
            if (text.empty() && values[0])
                text = values[0];
            return 0;
        },
        &result, nullptr);
    if (code != SQLITE_OK)
        result = std::string("error: ") + sqlite3_errmsg(db);
    sqlite3_close(db);
    return result;
}

} // namespace lexipond::testing
