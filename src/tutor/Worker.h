#pragma once
// The worker thread and the window-thread halves of its request protocol.
#include <functional>
#include <thread>

#include "tutor/TutorState.h"

namespace lexipond {

// The worker's procedure: first word, then requests until quitFlag is 666.
void WorkerMain(Tutor& tutor);

// Owns the worker thread; the destructor stops and joins it.
class Worker {
public:
    explicit Worker(Tutor& tutor) : tutor_(tutor) {}
    ~Worker() { Join(); }
    void Start();
    void Join(); // waits for WorkerMain to return (after a stop request)
    bool Running() const { return thread_.joinable(); }

private:
    Tutor& tutor_;
    std::thread thread_;
};

// CMD_EDIT_WORD / CMD_ADD_WORD: hand the worker a job. They never block; they
// return false (and change nothing) while another request is in hand.
bool EditWordCommand(Tutor& tutor);
bool AddWordCommand(Tutor& tutor);
// CMD_WORD_DETAILS: marks the dialog open, runs it, then asks for the re-sort.
void WordDetailsCommand(Tutor& tutor, const std::function<void()>& runDialog);
// CMD_EXIT after its confirmation: returns true when the window must be destroyed
// now (a stop was already under way), false when the worker was asked to stop.
bool ExitCommand(Tutor& tutor);

} // namespace lexipond
