#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The worker thread and the window-thread halves of its request protocol.
//
// Protocol: workerRequest moves 0 (idle) -> 3 or 5 (EditWordCommand/AddWordCommand)
// -> 999 (WordDetailsCommand, dialog open) -> 7 (dialog closed, re-sort) -> 0 (the
// worker, after the re-sort). Every change is made under tutor.lock, and the
// window thread never waits for the worker.
#include "core/tutor/TutorState.h"

#include <chrono>
#include <functional>
#include <thread>

namespace lexipond {

// How long the worker sleeps when nobody wakes it.
inline constexpr std::chrono::milliseconds kWorkerWakeInterval{6000};
// The worker checks the word order (CheckWordOrderStep) from this long after its
// start, a slice at a time with naps between.
inline constexpr std::chrono::milliseconds kOrderCheckDelay{2000};
inline constexpr std::chrono::milliseconds kOrderCheckNap{2};

// The worker's procedure: first word, then requests until quitFlag is 666; then
// it posts the close, closes the word database and posts CMD_DESTROY.
void WorkerMain(Tutor& tutor, std::chrono::milliseconds wakeInterval = kWorkerWakeInterval);

// Request 7's work: sorts the word database by word and finds the word on show
// again (the record whose word equals it, else the first later record containing
// it); when it is gone, another word is chosen. Takes the lock.
void ResortWords(Tutor& tutor);

// The word order's bookkeeping (TutorState::wordOrder); each takes the lock.
// A word's text was written, a record added or freed at slot.
void NoteWordChanged(Tutor& tutor, int32_t slot);
// Words came and went in bulk (an import): the order is unknown again.
void NoteWordsReplaced(Tutor& tutor);
// Puts the words in order after changes: nothing when none were made to a
// database known to be in order, the changed records placed when few were,
// else a full sort on a copy (SortRecordsAtomically). follow, when given, is
// a slot whose record is followed to its new slot (-1 when not known after).
void PutWordsInOrder(Tutor& tutor, int32_t* follow = nullptr);
// One slice of the worker's check of the order while it is unknown: true
// while there is more to check.
bool CheckWordOrderStep(Tutor& tutor);

// Owns the worker thread; the destructor stops and joins it.
class Worker {
  public:
    explicit Worker(Tutor& tutor, std::chrono::milliseconds wakeInterval = kWorkerWakeInterval)
        : tutor_(tutor), wakeInterval_(wakeInterval) {}
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker() {
        Stop();
        Join();
    }
    // False when the thread could not be started (or already runs).
    bool Start();
    // Asks the worker to stop (quitFlag 666, then the wake-up); does not wait.
    void Stop();
    // Waits for WorkerMain to return (after a stop request). The program joins the
    // worker before its own final use of the database file, which the worker closes.
    void Join();
    bool Running() const { return thread_.joinable(); }

  private:
    Tutor& tutor_;
    std::chrono::milliseconds wakeInterval_;
    std::thread thread_;
};

// CMD_EDIT_WORD / CMD_ADD_WORD: hand the worker a job. They never block; they
// return false (and change nothing) while another request is in hand, after a stop
// was requested, or (Edit) while no word is on show.
bool EditWordCommand(Tutor& tutor);
bool AddWordCommand(Tutor& tutor);
// CMD_WORD_DETAILS: marks the dialog open, runs it, then asks for the re-sort.
// runDialog is called without the lock held; the dialog reaches the database
// through WordStore, which takes the lock per operation. A stale CMD_WORD_DETAILS
// (no request 3 or 5 in hand, e.g. a repeat posted while the window thread was
// busy) does nothing and returns false.
bool WordDetailsCommand(Tutor& tutor, const std::function<void()>& runDialog);
// CMD_EXIT after its confirmation: returns true when the window must be destroyed
// now (a stop was already under way), false when the worker was asked to stop.
bool ExitCommand(Tutor& tutor);

} // namespace lexipond
