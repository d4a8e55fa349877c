#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The answer history's writer: every answer and every undo becomes a row of
// "history.sqlite", written in a transaction of its own by a thread of the
// history's own, so that the answer path only queues. A kill at any moment
// loses at most the rows still queued (the answer in flight) and never damages
// the file; Close writes what is queued and closes the file.
//
// Threads: Start, Close and the destructor belong to one thread (the
// program's window thread); Append, AppendUndo, Flush and the counters may be
// called from any thread. The file, its connection and the rows' ids are the
// writer thread's alone, from the open to the close.
#include "core/history/HistoryOpen.h"
#include "core/history/HistoryRow.h"
#include "core/platform/Event.h"
#include "core/platform/TaskQueue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace lexipond {

// An answer as the history knows it until its row is written: undo rows name
// the answer they take back by it. 0: none (the history was not running).
using HistoryTicket = uint64_t;

// How many of the newest answers an undo can still refer to; older ones are
// forgotten (the tutor keeps no more steps than this for Undo).
inline constexpr size_t kHistoryTicketsKept = 10'000;

struct HistoryOptions {
    // Called on the writer thread after each row is committed, with the count
    // committed since Start (for a caller that must know what is on disk).
    std::function<void(uint64_t committed)> afterCommit;
};

class AnswerHistory {
  public:
    AnswerHistory();
    AnswerHistory(const AnswerHistory&) = delete;
    AnswerHistory& operator=(const AnswerHistory&) = delete;
    ~AnswerHistory(); // Close

    // Starts the writer thread, which opens dataFolder's history file
    // (OpenHistoryForWriting) before anything else. Returns at once; rows
    // appended meanwhile wait for the open. Does nothing while running; after
    // Close it starts afresh.
    void Start(const std::string& dataFolder, HistoryOptions options = {});
    // Waits for the open and tells how it went (Unavailable when never started).
    HistoryOpenReport OpenReport();

    // Queues an answer row (row.id and row.undoes are ignored). The ticket by
    // which an undo refers to it; 0 when not running.
    HistoryTicket Append(HistoryRow row);
    // Queues the row that takes back the answer of `answered` (row.undoes is
    // set from it). Dropped when that answer's row was never written.
    void AppendUndo(HistoryTicket answered, HistoryRow row);

    // Waits until every row queued before the call is written or given up.
    void Flush();
    // Writes what is queued, closes the file and ends the thread. Rows
    // appended later are dropped. Safe to call more than once.
    void Close();

    uint64_t Committed() const { return committed_.load(); }
    // Rows that could not be written (no file, a full disk...).
    uint64_t Dropped() const { return dropped_.load(); }

  private:
    struct Writer; // the writer thread's own state

    void Run(const std::string& dataFolder);
    // On the writer thread: one row in a transaction of its own; its id, or 0.
    int64_t Write(const HistoryRow& row);
    void WriteAnswer(const HistoryRow& row);
    void WriteUndo(HistoryTicket answered, HistoryRow row);

    std::mutex appendMutex_; // tickets are handed out in the queue's order
    bool accepting_ = false; // under appendMutex_
    HistoryTicket lastTicket_ = 0;
    platform::TaskQueue queue_;
    platform::Event wake_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> committed_{0}, dropped_{0};
    std::promise<HistoryOpenReport> opened_;
    std::shared_future<HistoryOpenReport> openReport_;
    std::unique_ptr<Writer> writer_; // made by Start, then the writer thread's alone
    std::thread thread_;
};

} // namespace lexipond
