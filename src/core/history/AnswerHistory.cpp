// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/AnswerHistory.h"

#include "core/history/HistoryFile.h"

#include <deque>
#include <system_error>

namespace lexipond {

namespace {

constexpr char kInsert[] =
    "INSERT INTO answers (at_utc, utc_offset_min, learner_slot, learner_name, word, answer, "
    "undoes, level, judged_by, heard) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)";

} // namespace

struct AnswerHistory::Writer {
    HistoryOptions options;
    history::Connection db;
    std::unique_ptr<history::Statement> insert;
    // The row ids of the newest answers: ids[i] belongs to ticket firstTicket + i
    // (0: its row was not written).
    std::deque<int64_t> ids;
    HistoryTicket firstTicket = 1;
};

AnswerHistory::AnswerHistory() = default;

AnswerHistory::~AnswerHistory() {
    Close();
}

void AnswerHistory::Start(const std::string& dataFolder, HistoryOptions options) {
    if (thread_.joinable())
        return;
    stopping_ = false;
    opened_ = std::promise<HistoryOpenReport>();
    openReport_ = opened_.get_future().share();
    writer_ = std::make_unique<Writer>();
    writer_->options = std::move(options);
    {
        std::lock_guard<std::mutex> guard(appendMutex_);
        writer_->firstTicket = lastTicket_ + 1; // tickets go on counting after a Close
        accepting_ = true;
    }
    try {
        thread_ = std::thread([this, dataFolder] { Run(dataFolder); });
    } catch (const std::system_error& error) {
        {
            std::lock_guard<std::mutex> guard(appendMutex_);
            accepting_ = false;
        }
        opened_.set_value({HistoryOpen::Unavailable, error.what(), ""});
    }
}

HistoryOpenReport AnswerHistory::OpenReport() {
    if (!openReport_.valid())
        return {HistoryOpen::Unavailable, "the history was not started", ""};
    const std::shared_future<HistoryOpenReport> report = openReport_;
    return report.get();
}

HistoryTicket AnswerHistory::Append(HistoryRow row) {
    std::lock_guard<std::mutex> guard(appendMutex_);
    if (!accepting_)
        return 0;
    // The writer numbers the answers as they come out of the queue, as here.
    const HistoryTicket ticket = ++lastTicket_;
    queue_.Push([this, row = std::move(row)] { WriteAnswer(row); });
    wake_.Set();
    return ticket;
}

void AnswerHistory::AppendUndo(HistoryTicket answered, HistoryRow row) {
    std::lock_guard<std::mutex> guard(appendMutex_);
    if (!accepting_ || answered == 0)
        return;
    queue_.Push([this, answered, row = std::move(row)] { WriteUndo(answered, row); });
    wake_.Set();
}

void AnswerHistory::Flush() {
    std::promise<void> done;
    std::future<void> written = done.get_future();
    {
        std::lock_guard<std::mutex> guard(appendMutex_);
        if (!accepting_)
            return;
        queue_.Push([&done] { done.set_value(); });
        wake_.Set();
    }
    written.wait();
}

void AnswerHistory::Close() {
    {
        std::lock_guard<std::mutex> guard(appendMutex_);
        accepting_ = false;
    }
    if (!thread_.joinable())
        return;
    stopping_ = true;
    wake_.Set();
    thread_.join();
    writer_.reset();
}

void AnswerHistory::Run(const std::string& dataFolder) {
    Writer& writer = *writer_;
    HistoryOpenReport report = OpenHistoryForWriting(dataFolder, writer.db);
    if (writer.db) {
        writer.insert = std::make_unique<history::Statement>(writer.db.get(), kInsert);
        if (!writer.insert->Prepared()) {
            report = {HistoryOpen::Unavailable, history::ErrorText(writer.db.get()), ""};
            writer.insert.reset();
            writer.db.reset();
        }
    }
    opened_.set_value(report);
    for (;;) {
        wake_.Wait();
        wake_.Reset();
        // Close stops the appends before it sets stopping_: a stop seen here
        // means the queue holds every row there will be.
        const bool stop = stopping_.load();
        while (std::optional<std::function<void()>> task = queue_.Take())
            (*task)();
        if (stop)
            break;
    }
    writer.insert.reset();
    // The last connection to close merges the log into the file and removes it.
    writer.db.reset();
}

int64_t AnswerHistory::Write(const HistoryRow& row) {
    Writer& writer = *writer_;
    if (!writer.insert) {
        ++dropped_;
        return 0;
    }
    history::Statement& insert = *writer.insert;
    insert.Bind(1, row.when.utcSeconds);
    insert.Bind(2, row.when.offsetMinutes);
    insert.Bind(3, row.learnerSlot);
    insert.BindBytes(4, row.learnerName);
    insert.BindBytes(5, row.word);
    insert.BindText(6, AnswerName(row.answer));
    if (row.undoes)
        insert.Bind(7, *row.undoes);
    else
        insert.BindNull(7);
    insert.Bind(8, row.level);
    insert.BindText(9, JudgedByName(row.judgedBy));
    if (row.heard)
        insert.BindText(10, *row.heard);
    else
        insert.BindNull(10);
    const int step = insert.Step(); // no transaction open: the insert commits itself
    insert.Reset();
    if (step != SQLITE_DONE) {
        ++dropped_;
        return 0;
    }
    const int64_t id = sqlite3_last_insert_rowid(writer.db.get());
    const uint64_t committed = ++committed_;
    if (writer.options.afterCommit)
        writer.options.afterCommit(committed);
    return id;
}

void AnswerHistory::WriteAnswer(const HistoryRow& row) {
    Writer& writer = *writer_;
    HistoryRow answer = row;
    answer.undoes.reset();
    // This answer's ticket is firstTicket + ids.size().
    writer.ids.push_back(Write(answer));
    if (writer.ids.size() > kHistoryTicketsKept) {
        writer.ids.pop_front();
        ++writer.firstTicket;
    }
}

void AnswerHistory::WriteUndo(HistoryTicket answered, HistoryRow row) {
    Writer& writer = *writer_;
    const bool known =
        answered >= writer.firstTicket && answered - writer.firstTicket < writer.ids.size();
    const int64_t id = known ? writer.ids[answered - writer.firstTicket] : 0;
    if (id == 0) {
        ++dropped_; // nothing in the file to take back
        return;
    }
    row.undoes = id;
    Write(row);
}

} // namespace lexipond
