// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/HistoryQueries.h"

#include "core/history/HistoryOpen.h"
#include "core/history/Sqlite.h"
#include "core/platform/Folders.h"

#include <chrono>
#include <cstdio>
#include <limits>

namespace lexipond {

namespace {

using history::ErrorText;
using history::Statement;

constexpr int64_t kDaySeconds = 86'400;
// Rows are fetched by UTC time through the index, a day wider on each side
// than the local days asked for (no offset is a day), then kept by local day.
constexpr int64_t kOffsetMargin = kDaySeconds;

// The answers of a learner in a UTC window that count: no undo rows, nothing
// taken back. ?1 learner, ?2 and ?3 the UTC window; `day` is the local day.
constexpr char kCountedAnswers[] = R"(
    WITH counted AS (
        SELECT a.word, a.answer, a.at_utc + a.utc_offset_min * 60 AS local_seconds
        FROM answers AS a
        WHERE a.learner_slot = ?1 AND a.at_utc BETWEEN ?2 AND ?3 AND a.undoes IS NULL
          AND NOT EXISTS (SELECT 1 FROM answers AS u WHERE u.undoes = a.id)),
    dated AS (
        SELECT word, answer,
               (local_seconds - ((local_seconds % 86400) + 86400) % 86400) / 86400 AS day
        FROM counted)
)";

// ?4 and ?5: the first and last day numbers.
const std::string kDays = std::string(kCountedAnswers) + R"(
    SELECT day, sum(answer = 'Correct'), sum(answer = 'Incorrect'), sum(answer = 'Skip')
    FROM dated WHERE day BETWEEN ?4 AND ?5 GROUP BY day ORDER BY day)";

// 1970-01-01, day 0, was a Thursday: day + 3 counts from a Monday.
const std::string kWeeks = std::string(kCountedAnswers) + R"(
    SELECT day - ((day + 3) % 7 + 7) % 7 AS monday,
           sum(answer = 'Correct'), sum(answer = 'Incorrect'), sum(answer = 'Skip')
    FROM dated WHERE day BETWEEN ?4 AND ?5 GROUP BY monday ORDER BY monday)";

// ?6: how many.
const std::string kNeedingWork = std::string(kCountedAnswers) + R"(
    SELECT word, sum(answer = 'Incorrect') AS wrong, sum(answer <> 'Skip')
    FROM dated WHERE day BETWEEN ?4 AND ?5
    GROUP BY word HAVING wrong > 0 ORDER BY wrong DESC, word LIMIT ?6)";

// ?1 learner, ?2 the latest UTC time, ?3 the end of the last local day (in
// local seconds). For each word the learner answered, its newest three
// answers by the word's index, newest first (the highest id is the newest,
// whatever the clock did). The unary + keeps SQLite from taking the time
// index instead, which would sort every answer.
constexpr char kMastered[] = R"(
    SELECT w.word FROM (SELECT DISTINCT word FROM answers WHERE learner_slot = ?1) AS w
    WHERE (SELECT count(*) FROM (
               SELECT a.answer FROM answers AS a
               WHERE a.learner_slot = ?1 AND a.word = w.word AND a.undoes IS NULL
                 AND a.answer <> 'Skip' AND +a.at_utc <= ?2
                 AND a.at_utc + a.utc_offset_min * 60 < ?3
                 AND NOT EXISTS (SELECT 1 FROM answers AS u WHERE u.undoes = a.id)
               ORDER BY a.id DESC LIMIT 3) AS newest
           WHERE newest.answer = 'Correct') = 3
    ORDER BY w.word)";

constexpr char kSlots[] = "SELECT DISTINCT learner_slot FROM answers ORDER BY learner_slot";
constexpr char kNewestName[] =
    "SELECT learner_name FROM answers WHERE learner_slot = ?1 ORDER BY id DESC LIMIT 1";
constexpr char kTotals[] = R"(
    SELECT sum(answer = 'Correct'), sum(answer = 'Incorrect'), sum(answer = 'Skip')
    FROM answers AS a
    WHERE a.learner_slot = ?1 AND a.undoes IS NULL
      AND NOT EXISTS (SELECT 1 FROM answers AS u WHERE u.undoes = a.id))";

constexpr char kEveryRow[] =
    "SELECT id, at_utc, utc_offset_min, learner_slot, learner_name, word, answer, undoes, level, "
    "judged_by, heard FROM answers ORDER BY id";

int64_t FloorDivide(int64_t value, int64_t by) {
    const int64_t quotient = value / by;
    return quotient * by > value ? quotient - 1 : quotient;
}

uint32_t Count(const Statement& statement, int column) {
    return static_cast<uint32_t>(statement.Int(column));
}

// The day numbers of a range, and the UTC window that holds every row of them.
struct Window {
    int64_t firstDay, lastDay, fromUtc, toUtc;
};

std::optional<Window> WindowOf(const DayRange& range) {
    const std::optional<int64_t> first = DayNumber(range.first), last = DayNumber(range.last);
    if (!first || !last || *first > *last)
        return std::nullopt;
    return Window{*first, *last, *first * kDaySeconds - kOffsetMargin,
                  (*last + 1) * kDaySeconds + kOffsetMargin};
}

void BindWindow(Statement& statement, int32_t learner, const Window& window) {
    statement.Bind(1, learner);
    statement.Bind(2, window.fromUtc);
    statement.Bind(3, window.toUtc);
    statement.Bind(4, window.firstDay);
    statement.Bind(5, window.lastDay);
}

} // namespace

std::optional<int64_t> DayNumber(std::string_view day) {
    if (day.size() != 10 || day[4] != '-' || day[7] != '-')
        return std::nullopt;
    int parts[3] = {};
    const size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int i = 0; i < 3; ++i)
        for (size_t at = starts[i]; at < starts[i] + lengths[i]; ++at) {
            if (day[at] < '0' || day[at] > '9')
                return std::nullopt;
            parts[i] = parts[i] * 10 + (day[at] - '0');
        }
    using namespace std::chrono;
    const year_month_day date{year{parts[0]}, month{static_cast<unsigned>(parts[1])},
                              std::chrono::day{static_cast<unsigned>(parts[2])}};
    if (!date.ok())
        return std::nullopt;
    return sys_days{date}.time_since_epoch().count();
}

std::string DayText(int64_t dayNumber) {
    using namespace std::chrono;
    const year_month_day date{sys_days{days{dayNumber}}};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

std::string LocalDay(const HistoryTime& when) {
    return DayText(FloorDivide(when.utcSeconds + int64_t{when.offsetMinutes} * 60, kDaySeconds));
}

template <class T> std::optional<T> HistoryReader::Failed() {
    error_ = db_ ? ErrorText(db_.get()) : "the history is not open";
    return std::nullopt;
}

HistoryRead HistoryReader::Open(const std::string& path, std::string& reason) {
    db_.reset();
    if (!platform::FileExists(path)) {
        reason = "there is no " + path;
        return HistoryRead::Missing;
    }
    // Read and write, so that a log left by a kill can be played into the
    // file; read-only when the file allows no more. Never created here.
    for (const int flags : {SQLITE_OPEN_READWRITE, SQLITE_OPEN_READONLY}) {
        sqlite3* raw = nullptr;
        const int opened = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
        db_.reset(raw);
        if (opened == SQLITE_OK)
            break;
        reason = path + " cannot be opened: " + ErrorText(raw);
        db_.reset();
    }
    if (!db_)
        return HistoryRead::Failed;
    sqlite3_busy_timeout(db_.get(), 5000); // the program may be writing
    Statement version(db_.get(), "PRAGMA user_version");
    const int step = version.Step();
    if (step != SQLITE_ROW) {
        const int primary = sqlite3_extended_errcode(db_.get()) & 0xff;
        const bool damaged = primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
        reason = path + (damaged ? " is damaged: " : " cannot be read: ") + ErrorText(db_.get());
        db_.reset();
        return damaged ? HistoryRead::Damaged : HistoryRead::Failed;
    }
    const int64_t found = version.Int(0);
    if (found > kHistorySchemaVersion) {
        reason = path + " was written by a newer Lexipond (history version " +
                 std::to_string(found) + ")";
        db_.reset();
        return HistoryRead::Newer;
    }
    if (found != kHistorySchemaVersion) {
        reason = path + " is not a Lexipond answer history";
        db_.reset();
        return HistoryRead::Damaged;
    }
    return HistoryRead::Ready;
}

std::optional<std::vector<PeriodTally>>
HistoryReader::Periods(const std::string& sql, int32_t learner, const DayRange& range) {
    const std::optional<Window> window = WindowOf(range);
    if (!window) {
        error_ = "not a range of days: " + range.first + " to " + range.last;
        return std::nullopt;
    }
    Statement periods(db_.get(), sql);
    BindWindow(periods, learner, *window);
    std::vector<PeriodTally> tallies;
    int step;
    while ((step = periods.Step()) == SQLITE_ROW)
        tallies.push_back(
            {DayText(periods.Int(0)), Count(periods, 1), Count(periods, 2), Count(periods, 3)});
    if (step != SQLITE_DONE)
        return Failed<std::vector<PeriodTally>>();
    return tallies;
}

std::optional<std::vector<PeriodTally>> HistoryReader::Days(int32_t learner,
                                                            const DayRange& range) {
    return Periods(kDays, learner, range);
}

std::optional<std::vector<PeriodTally>> HistoryReader::Weeks(int32_t learner,
                                                             const DayRange& range) {
    return Periods(kWeeks, learner, range);
}

std::optional<std::vector<std::string>> HistoryReader::MasteredWords(int32_t learner,
                                                                     std::string_view asOfDay) {
    int64_t latestUtc = std::numeric_limits<int64_t>::max();
    int64_t localEnd = std::numeric_limits<int64_t>::max();
    if (!asOfDay.empty()) {
        const std::optional<int64_t> day = DayNumber(asOfDay);
        if (!day) {
            error_ = "not a day: " + std::string(asOfDay);
            return std::nullopt;
        }
        localEnd = (*day + 1) * kDaySeconds;
        latestUtc = localEnd + kOffsetMargin;
    }
    Statement mastered(db_.get(), kMastered);
    mastered.Bind(1, learner);
    mastered.Bind(2, latestUtc);
    mastered.Bind(3, localEnd);
    std::vector<std::string> words;
    int step;
    while ((step = mastered.Step()) == SQLITE_ROW)
        words.push_back(mastered.Bytes(0));
    if (step != SQLITE_DONE)
        return Failed<std::vector<std::string>>();
    return words;
}

std::optional<std::vector<WordTally>>
HistoryReader::WordsNeedingWork(int32_t learner, const DayRange& range, size_t limit) {
    const std::optional<Window> window = WindowOf(range);
    if (!window) {
        error_ = "not a range of days: " + range.first + " to " + range.last;
        return std::nullopt;
    }
    Statement needing(db_.get(), kNeedingWork);
    BindWindow(needing, learner, *window);
    needing.Bind(
        6, static_cast<int64_t>(std::min<size_t>(limit, std::numeric_limits<int64_t>::max())));
    std::vector<WordTally> words;
    int step;
    while ((step = needing.Step()) == SQLITE_ROW)
        words.push_back({needing.Bytes(0), Count(needing, 1), Count(needing, 2)});
    if (step != SQLITE_DONE)
        return Failed<std::vector<WordTally>>();
    return words;
}

std::optional<std::vector<LearnerSummary>> HistoryReader::Learners() {
    Statement slots(db_.get(), kSlots);
    std::vector<LearnerSummary> learners;
    int step;
    while ((step = slots.Step()) == SQLITE_ROW)
        learners.push_back({static_cast<int32_t>(slots.Int(0)), "", 0, 0, 0, 0});
    if (step != SQLITE_DONE)
        return Failed<std::vector<LearnerSummary>>();
    Statement name(db_.get(), kNewestName), totals(db_.get(), kTotals);
    for (LearnerSummary& learner : learners) {
        name.Bind(1, learner.slot);
        if (name.Step() != SQLITE_ROW)
            return Failed<std::vector<LearnerSummary>>();
        learner.name = name.Bytes(0);
        name.Reset();
        totals.Bind(1, learner.slot);
        if (totals.Step() != SQLITE_ROW)
            return Failed<std::vector<LearnerSummary>>();
        learner.correct = Count(totals, 0);
        learner.incorrect = Count(totals, 1);
        learner.skipped = Count(totals, 2);
        totals.Reset();
        const auto mastered = MasteredWords(learner.slot);
        if (!mastered)
            return std::nullopt;
        learner.mastered = static_cast<uint32_t>(mastered->size());
    }
    return learners;
}

bool HistoryReader::ForEachRow(const std::function<bool(const HistoryRow&)>& each) {
    Statement rows(db_.get(), kEveryRow);
    int step;
    while ((step = rows.Step()) == SQLITE_ROW) {
        HistoryRow row;
        row.id = rows.Int(0);
        row.when = {rows.Int(1), static_cast<int32_t>(rows.Int(2))};
        row.learnerSlot = static_cast<int32_t>(rows.Int(3));
        row.learnerName = rows.Bytes(4);
        row.word = rows.Bytes(5);
        row.answer = AnswerFromName(rows.Bytes(6)).value_or(HistoryAnswer::Skip);
        if (!rows.IsNull(7))
            row.undoes = rows.Int(7);
        row.level = static_cast<int32_t>(rows.Int(8));
        row.judgedBy = JudgedByFromName(rows.Bytes(9)).value_or(JudgedBy::Key);
        if (!rows.IsNull(10))
            row.heard = rows.Bytes(10);
        if (!each(row))
            return false;
    }
    if (step != SQLITE_DONE) {
        Failed<bool>();
        return false;
    }
    return true;
}

} // namespace lexipond
