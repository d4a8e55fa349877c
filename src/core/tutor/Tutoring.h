#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Word choice, answers and the report: the tutoring operations. Each takes the
// Tutor it works on and holds tutor.lock while it touches the word database
// or the tutoring state (the lock is recursive, so callers may hold it as well).
// WindowPort calls are made with the lock held: the port must only queue.
#include "core/history/HistoryRow.h"
#include "core/tutor/TutorState.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lexipond {

// A random number from 1 to n from the tutor's source; when the source fails, the
// fallback generator gives 0..n. n of 0 or 1 gives 1 without touching either.
uint32_t RandomBelow(Tutor& tutor, uint32_t n);
// The sum (32-bit, wrapping) of a numeric field over all live records.
uint32_t SumUserField(Tutor& tutor, uint32_t field);
// Name, running totals and zeroed session counters for settings.currentUser;
// reloads the word on show (found again if its slot moved) and repaints.
void SetUpUser(Tutor& tutor);
// Reads the word in currentRecord and the current user's tallies on it. Does
// nothing when currentRecord is -1 or not a live slot of the open database.
void LoadCurrentWord(Tutor& tutor);
// Picks, loads and shows a new word; -1 (nothing changed) when no candidate.
int32_t ChooseNextWord(Tutor& tutor);
// An answer button in client coordinates. The window draws the buttons here;
// HandleClick takes a click strictly inside one (its edge lines excluded).
struct ButtonPlace {
    uint16_t left, top, width, height;
};
inline constexpr ButtonPlace kCorrectPlace{15, 267, 140, 35};
inline constexpr ButtonPlace kIncorrectPlace{235, 267, 140, 35};
inline constexpr ButtonPlace kSkipPlace{450, 267, 140, 35};

// A left-button release at client coordinates (x, y): TakeAnswer for the button hit.
void HandleClick(Tutor& tutor, uint16_t x, uint16_t y);
// One answer, from a button or its key alike: tallies Correct or Incorrect on
// the word on show (RecordAnswer; nothing for Skip), keeps the step for Undo
// when a word was on show, writes the step to the history (when there is
// one) as judged by `judgedBy`, with what was heard when listening judged, and
// shows the next word.
void TakeAnswer(Tutor& tutor, AnswerKind kind, JudgedBy judgedBy = JudgedBy::Key,
                std::optional<std::string> heard = std::nullopt);
// A verdict of listening on `word`, the word on show when the reader was heard:
// TakeAnswer, judged by listening, while that word is still on show. false, and
// nothing tallied, once another word is on show (the adult answered meanwhile).
bool TakeListenedAnswer(Tutor& tutor, AnswerKind kind, const std::string& word,
                        const std::string& heard);
// Tallies one answer on the word on show; nothing when no word is on show.
void RecordAnswer(Tutor& tutor, bool correct);

enum class UndoOutcome {
    Undone,
    NothingToUndo,
    // The answered record is no longer there with the word and the tallies the
    // answer left (deleted or renamed since), or more than one record matches:
    // nothing was changed, and every kept step is forgotten, since the report
    // and the session counts can no longer be cut back past this one in order.
    WordGone,
};
// Takes back the newest kept step: the learner's two tally fields get their
// old values (the learner who answered, whoever is chosen now), the session
// counts and the report their old length when the session and the report are
// still the ones answered in, and the word is shown again. The history gets
// an undo row for the step's answer.
UndoOutcome UndoLastAnswer(Tutor& tutor);
// The newest kept step, for the menu; nullopt when there is none.
std::optional<AnswerStep> LastAnswerStep(Tutor& tutor);

// The whole percent of part in whole, rounded down; 100 when whole is 0.
uint64_t WholePercent(uint32_t part, uint32_t whole);

// Helpers shared with the worker and the window layer.

// The user slot to tally: settings.currentUser, or 0 when the stored value is not 0..4.
uint32_t CurrentUserSlot(const Tutor& tutor);
// True when slot lies inside the open database and holds a live record.
bool SlotIsLive(const RecordFile& db, int32_t slot);
// The live slot whose word (field 1) equals word byte for byte, the one nearest to
// near when there are several; -1 when none.
int32_t FindExactWord(Tutor& tutor, const char* word, int32_t near);
// Makes currentRecord point at the record of currentWord again after records may
// have moved (an import, a sort); -1 when the word is gone. True when a word is on show.
bool RefindCurrentWord(Tutor& tutor);
// A copy of the report text, taken under the lock.
std::string ReportText(Tutor& tutor);

} // namespace lexipond
