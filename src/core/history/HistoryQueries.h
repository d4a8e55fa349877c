#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the answer history: what the Progress window and lexipond-db show.
// Every figure leaves out the undo rows and the answers they took back. An
// answer is a Correct or Incorrect; skips are counted apart. Days are the
// learner's local days (each row's own offset from UTC), weeks run Monday to
// Sunday and are named by their Monday; a week at either end of a range
// counts only its days inside it.
//
// A reader is one connection, for one thread at a time; it never writes, and
// it may read while the program's writer appends.
#include "core/history/Connection.h"
#include "core/history/HistoryRow.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexipond {

// Local days, both ends included, as "YYYY-MM-DD".
struct DayRange {
    std::string first, last;
};

// The answers of one day, or of one week (`start` is then its Monday).
struct PeriodTally {
    std::string start; // "YYYY-MM-DD"
    uint32_t correct = 0, incorrect = 0, skipped = 0;
    uint32_t Answers() const { return correct + incorrect; }
    bool operator==(const PeriodTally&) const = default;
};

// A word's answers in a range.
struct WordTally {
    std::string word;
    uint32_t incorrect = 0, answers = 0;
    bool operator==(const WordTally&) const = default;
};

// A learner's whole history.
struct LearnerSummary {
    int32_t slot = 0;
    std::string name; // as their newest row has it
    uint32_t correct = 0, incorrect = 0, skipped = 0;
    uint32_t mastered = 0; // MasteredWords as of now
    bool operator==(const LearnerSummary&) const = default;
};

enum class HistoryRead {
    Ready,
    Missing, // no history file
    Damaged, // not a database, or not one of ours
    Newer,   // written by a later Lexipond
    Failed,  // cannot be opened (permissions...)
};

// The day number (days since 1970-01-01) of "YYYY-MM-DD"; nullopt for anything else.
std::optional<int64_t> DayNumber(std::string_view day);
// "YYYY-MM-DD" of a day number.
std::string DayText(int64_t dayNumber);
// The local day of a moment.
std::string LocalDay(const HistoryTime& when);

class HistoryReader {
  public:
    // Opens an existing history file; never creates, changes or moves one.
    // reason says why it is not Ready.
    HistoryRead Open(const std::string& path, std::string& reason);

    // Each returns nullopt when the file cannot be read (Error() says why) or
    // a range is not two days in order.
    std::optional<std::vector<PeriodTally>> Days(int32_t learner, const DayRange& range);
    std::optional<std::vector<PeriodTally>> Weeks(int32_t learner, const DayRange& range);
    // Words whose last three answers by the learner (up to the end of asOfDay,
    // when given) were all Correct, in byte order.
    std::optional<std::vector<std::string>> MasteredWords(int32_t learner,
                                                          std::string_view asOfDay = {});
    // The words answered Incorrect in the range, most Incorrect first (then by
    // their bytes), at most `limit`.
    std::optional<std::vector<WordTally>> WordsNeedingWork(int32_t learner, const DayRange& range,
                                                           size_t limit);
    // Every learner slot with a row, in slot order.
    std::optional<std::vector<LearnerSummary>> Learners();
    // Every row, undo rows too, in the order written. false when it stopped
    // on an error or when `each` returned false.
    bool ForEachRow(const std::function<bool(const HistoryRow&)>& each);

    const std::string& Error() const { return error_; }

  private:
    template <class T> std::optional<T> Failed();
    std::optional<std::vector<PeriodTally>> Periods(const std::string& sql, int32_t learner,
                                                    const DayRange& range);

    history::Connection db_;
    std::string error_;
};

} // namespace lexipond
