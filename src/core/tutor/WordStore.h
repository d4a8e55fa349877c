#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The one owner of the lock that keeps the window thread and the worker apart,
// and the window layer's only way to the word database and the tutoring state.
//
// What the lock covers:
// - the word database (the RecordFile: its mapping, bookkeeping and value
//   registers), so every engine call on it;
// - TutorState's plain members: the word on show and its tallies, the user's
//   name and tallies, the session's tallies, randomState, the report text;
// - the settings the worker reads: currentUser, level and userNames. Only the
//   window thread writes them, and only here (ChooseUser, ChooseLevel,
//   StoreOptions); it may read them without the lock.
// Not covered: the request word, quitFlag and detailsTarget (atomics), the two
// events (they synchronise themselves), and every other settings field (the
// window thread's alone: placement, Transparent, On Top and the like).
//
// Who calls what:
// - The worker thread runs WorkerMain on Core(); the core's operations
//   (Tutoring.h, Worker.h) take the lock themselves, and the lock is recursive
//   so that one may call another.
// - The window thread calls everything below. Each call takes the lock for its
//   own length only; none waits for the worker except for the lock itself,
//   which the worker holds for a re-sort at most, and TryShownScores does not
//   even wait for that. The lock is never held across a modal loop:
//   RunWordDetails runs the dialog without it.
// - WindowPort calls happen with the lock held: the port must only queue.
// - Slot numbers from ListWords stay valid until the next sort. The worker sorts
//   only after the Word Details dialog has closed (the request protocol in
//   Worker.h); DeleteWord puts the words in order at once, so the dialog lists
//   them again. Every change of a word goes through here, so that the re-sort
//   knows which records to place (Worker.h, PutWordsInOrder).
#include "core/settings/Settings.h"
#include "core/tutor/TutorState.h"
#include "core/tutor/Tutoring.h"
#include "core/words/WordDetails.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexipond {

struct ImportReport;

// What the main window paints, copied in one go.
struct ShownScores {
    std::string word;
    std::string userName;
    uint32_t userCorrect = 0, userTotal = 0;
    uint32_t sessionCorrect = 0, sessionTotal = 0;
    uint32_t wordCorrect = 0, wordTotal = 0;
};

// The live words in slot order (after a sort, the order of the words).
struct WordList {
    std::vector<int32_t> wordSlots;
    std::vector<std::string> words; // words[i] is the word in wordSlots[i]
};

// The report text from a given length on.
struct ReportPiece {
    // The report was cut (Undo) since what was shown: text is all of it.
    bool restarted = false;
    std::string text;
    size_t length = 0; // the report's whole length now
    uint32_t cuts = 0; // its cut count now, for the next call
};

// What the Options dialog stores when it closes with OK.
struct OptionsChoices {
    int32_t confirmQuit = 0;
    // Cut to kUserNameLimit bytes when stored; a name not given keeps its bytes.
    std::optional<std::string> userNames[kUserCount];
    int32_t level = -1;                // -1 keeps the stored level
    int32_t transparencyAlpha = 255;
};

class WordStore {
  public:
    WordStore(RecordFile& db, SettingsBlock& settings, TutorState& state, RandomSource& random,
              WindowPort& window);
    WordStore(const WordStore&) = delete;
    WordStore& operator=(const WordStore&) = delete;

    // The core's view, for the worker and the core's own tests.
    Tutor& Core() { return tutor_; }

    // Where answers and undos are written from now on (null: nowhere). The
    // program sets it after the start and clears it before it closes the history.
    void SetHistory(AnswerHistory* history);

    // The main window.

    // false, and scores untouched, while the lock is held elsewhere (a re-sort):
    // the window paints what it has and asks again shortly.
    bool TryShownScores(ShownScores& scores);
    std::string WordOnShow();
    // A left-button release at client coordinates (x, y): an answer or a skip.
    void Click(uint16_t x, uint16_t y);
    // The same answer from the keyboard.
    void Answer(AnswerKind kind);
    // A verdict of listening on `word` (TakeListenedAnswer): false, nothing
    // tallied, when that word is no longer on show.
    bool AnswerListened(AnswerKind kind, const std::string& word, const std::string& heard);
    // Undo (Tutoring.h, UndoLastAnswer) and the step it would take back.
    UndoOutcome Undo();
    std::optional<AnswerStep> LastAnswer();
    // A user slot from the menu: that user's tallies and a fresh session.
    void ChooseUser(int user);
    void ChooseLevel(int level);

    // The request protocol of Worker.h, for the window's commands.
    bool RequestEdit();
    bool RequestAdd();
    bool RunWordDetails(const std::function<void()>& runDialog);
    bool RequestStop();
    bool StopRequested() const;
    // The slot (or kDetailsNewWord) the Word Details dialog is to open on.
    int32_t DetailsTarget() const;

    // The Word Details dialog.

    WordList ListWords();
    // Every live word with each learner's tallies as CSV (core/words/WordTalliesCsv.h),
    // made under the lock and returned whole, so no file is written while it is held.
    std::string WordTalliesCsv();
    // Reads one record and makes it the dialog's target. false when unreadable.
    bool OpenWord(int32_t slot, WordDetails& details);
    // Writes a record's word and notes (cut as SaveWordDetails cuts them); a
    // field not given keeps its bytes.
    bool SaveWord(int32_t slot, std::optional<std::string_view> word,
                  std::optional<std::string_view> notes);
    // A new record: "New Word" with empty notes, or a copy of the given word and
    // notes; every tally 0. Its slot, or -1 when no record could be added.
    int32_t AddNewWord();
    int32_t AddCopyOf(std::string_view word, std::string_view notes);
    // Deletes a record and puts the rest in order; refuses the last live word.
    bool DeleteWord(int32_t slot);

    // The Options dialog.

    // Imports a word list file; the number of words added. report, when given,
    // receives what happened to every line.
    uint32_t ImportWordList(const char* path, ImportReport* report = nullptr);
    // Stores the choices and starts the current user's session afresh.
    void StoreOptions(const OptionsChoices& choices);

    // The Results Report: what was answered since shownLength, when the
    // report was cut shownCuts times as it was shown.
    ReportPiece ReportFrom(size_t shownLength, uint32_t shownCuts = 0);

  private:
    using Guard = std::lock_guard<std::recursive_mutex>;

    int32_t AddWordRecord(const std::string_view* word, std::string_view notes);

    std::recursive_mutex lock_;
    Tutor tutor_;
};

} // namespace lexipond
