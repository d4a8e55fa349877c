#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// One row of the answer history (docs/history-file-format.md): an answer, a
// skip, or the undo of one of them. Plain values; any thread.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lexipond {

// What the adult gave for the word on show. An undo row carries the answer it
// takes back.
enum class HistoryAnswer { Correct, Incorrect, Skip };

// How it was given: a click on the card's button, or a key (or the menu's
// command of that key). Listening is for the spoken answers to come.
enum class JudgedBy { Click, Key, Listening };

// The names stored in the file: "Correct", "Incorrect", "Skip"; "click",
// "key", "listening".
std::string_view AnswerName(HistoryAnswer answer);
std::string_view JudgedByName(JudgedBy judgedBy);
std::optional<HistoryAnswer> AnswerFromName(std::string_view name);
std::optional<JudgedBy> JudgedByFromName(std::string_view name);

// A moment: Unix seconds (UTC) and the local clock's offset from UTC then, in
// minutes (east positive), so that the local day of every row is known for
// good even when the time zone or the summer time changes later.
struct HistoryTime {
    int64_t utcSeconds = 0;
    int32_t offsetMinutes = 0;
    bool operator==(const HistoryTime&) const = default;
};

// Now, with the local offset now.
HistoryTime HistoryNow();

// "2026-12-07T10:15:00Z".
std::string IsoUtcText(int64_t utcSeconds);

inline constexpr int kHistoryLearnerSlots = 5;

struct HistoryRow {
    int64_t id = 0; // given by the file when written; 0 before
    HistoryTime when;
    int32_t learnerSlot = 0; // 0..4, the program's users 1..5
    std::string learnerName; // the name's bytes as the settings held them then
    std::string word;        // the word's bytes as the database held them
    HistoryAnswer answer = HistoryAnswer::Skip;
    std::optional<int64_t> undoes; // an undo row: the id of the row it takes back
    int32_t level = 0;             // the settings' level, 0 (Easiest) .. 6 (Hardest)
    JudgedBy judgedBy = JudgedBy::Key;
    std::optional<std::string> heard; // what was heard, when listening judged
    bool operator==(const HistoryRow&) const = default;
};

} // namespace lexipond
