#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The tutoring state shared by the window thread and the worker, and the small
// interfaces through which the core reaches the window and the random source.
// WordStore (WordStore.h) owns the lock that guards this state and says who may
// touch what from which thread.
#include "core/platform/Event.h"
#include "core/platform/Random.h"
#include "core/recordfile/PlaceRecords.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lexipond {

class AnswerHistory;
struct RecordFile;
struct SettingsBlock;

inline constexpr uint32_t kReportBufferSize = 10'240'000;
inline constexpr uint32_t kReportTextLimit = 10'000'000;

// What is known of the word database's order between sorts, so that the re-sort
// after the Word Details dialog can skip a database it left in order and place
// the few records it changed instead of sorting them all.
enum class WordOrderKnown {
    Unknown,    // not yet checked since the start, an import or a failed sort
    InOrder,    // compact and in order, apart from the slots in `changed`
    OutOfOrder, // checked: needs a full sort
};

struct WordOrder {
    WordOrderKnown known = WordOrderKnown::Unknown;
    std::vector<int32_t> changed; // slots renamed, added or freed since known InOrder
    uint32_t used = 0;            // the file's used records as of the last note: a
                                  // record added or freed behind our back shows
    OrderCheck check;             // the worker's check while Unknown, a slice at a time
};

enum class AnswerKind { Correct, Incorrect, Skip };

// One answer (or skip) of this run, as Undo needs it to put everything back.
struct AnswerStep {
    AnswerKind kind = AnswerKind::Skip;
    int32_t slot = -1;    // where the word was; a sort or an import may move it
    std::string word;     // the word's bytes, to find the record again
    uint32_t user = 0;    // the learner whose tallies were counted
    uint32_t session = 0; // TutorState::sessionNumber at the answer
    // The learner's fields before the answer (unused for a skip).
    int32_t totalBefore = 0, correctBefore = 0;
    int32_t totalAfter = 0, correctAfter = 0;      // and after: how the record is known again
    uint32_t sessionTotal = 0, sessionCorrect = 0; // session counts before
    uint32_t reportLength = 0;                     // the report's length before its line
    uint64_t historyTicket = 0; // the answer's row in the history (AnswerHistory); 0: none
};

// Steps kept for Undo; the oldest go first beyond this.
inline constexpr size_t kUndoStepLimit = 10'000;

struct TutorState {
    int32_t currentRecord = -1;
    char currentWord[300] = {};
    char currentUserName[100] = {};
    uint32_t wordTotal = 0;
    uint32_t wordCorrect = 0;
    uint32_t userTotal = 0;
    uint32_t userCorrect = 0;
    uint32_t sessionTotal = 0;
    uint32_t sessionCorrect = 0;
    uint32_t randomState = 0;
    WordOrder wordOrder;

    std::atomic<int32_t> workerRequest{0};
    std::atomic<int32_t> quitFlag{0};
    std::atomic<int32_t> detailsTarget{0};
    platform::Event wakeEvent{false};
    platform::Event idleEvent{true};

    // Zero-terminated text of this run's answers; allocated once, zero-filled.
    std::unique_ptr<char[]> reportBuffer{new char[kReportBufferSize]()};
    uint32_t reportLength = 0; // cached length of the text in reportBuffer
    // Counts the times Undo cut the report, so that a reader of it can tell a
    // cut followed by new lines from lines merely added.
    uint32_t reportCuts = 0;

    std::deque<AnswerStep> undoSteps; // newest last
    uint32_t sessionNumber = 0;       // a new session (SetUpUser) counts up

    // Where every answer and undo is also written, or null (no history).
    // Owned by the program; set and cleared through WordStore::SetHistory.
    AnswerHistory* history = nullptr;
};

// What the core asks of the main window. The Qt layer implements it; tests use a recorder.
class WindowPort {
public:
    virtual ~WindowPort() = default;
    virtual void Invalidate() = 0;            // repaint without erasing
    virtual void PostCommand(int command) = 0; // queued WM_COMMAND equivalent
    virtual void PostClose() = 0;              // queued WM_CLOSE equivalent
};

// Everything a tutoring operation works on, owned elsewhere; WordStore makes
// the one Tutor of a word database, around its own lock.
struct Tutor {
    RecordFile& db;
    SettingsBlock& settings;
    TutorState& state;
    RandomSource& random;
    WindowPort& window;
    std::recursive_mutex& lock; // WordStore's; see WordStore.h for what it covers
};

} // namespace lexipond
