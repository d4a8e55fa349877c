// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tutor/Tutoring.h"

#include "core/history/AnswerHistory.h"
#include "core/recordfile/RecordFile.h"
#include "core/settings/Settings.h"
#include "core/text/LittleEndian.h"
#include "core/text/TextHelpers.h"
#include "core/words/WordDatabase.h"

#include <climits>
#include <cstring>
#include <mutex>

namespace lexipond {
namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// Draws for one candidate before it is given up (all of them hit the word on show).
constexpr int kDrawsPerCandidate = 1000;
// Random slots tried before a sparse file is walked for the k-th live record.
constexpr int kRandomSlotTries = 64;

bool Inside(const ButtonPlace& place, uint16_t x, uint16_t y) {
    return x > place.left && x < place.left + place.width && y > place.top &&
           y < place.top + place.height;
}

bool DatabaseUsable(const RecordFile& db) {
    return db.view != nullptr && db.fieldCount >= kWordFieldCount;
}

int32_t SlotLimit(const RecordFile& db) {
    return db.capacity > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX
                                                          : static_cast<int32_t>(db.capacity);
}

uint32_t CandidateCount(int32_t level) {
    switch (level) {
    case 0:
    case 6:
        return 10;
    case 1:
    case 5:
        return 7;
    case 3:
        return 1;
    default:
        return 5;
    }
}

// Copies at most size - 1 bytes of a zero-terminated text and terminates it.
void CopyBounded(const char* source, char* destination, size_t size) {
    size_t n = 0;
    while (n + 1 < size && source[n] != '\0') {
        destination[n] = source[n];
        ++n;
    }
    destination[n] = '\0';
}

uint32_t FieldNumber(Tutor& tutor, int32_t slot, uint32_t field) {
    return static_cast<uint32_t>(ReadNumber(tutor.db, slot, field).value_or(0));
}

// A live slot drawn with equal chance for every live record (free slots are drawn
// and thrown back); -1 when the database holds none.
int32_t DrawLiveSlot(Tutor& tutor) {
    RecordFile& db = tutor.db;
    const int32_t limit = SlotLimit(db);
    if (db.liveCount == 0 || limit <= 0) {
        return -1;
    }
    const uint32_t slots = static_cast<uint32_t>(limit);
    for (int attempt = 0; attempt < kRandomSlotTries; ++attempt) {
        // 1..slots from the source; the fallback generator may give 0, taken as the last slot.
        const uint32_t r = RandomBelow(tutor, slots);
        const int32_t slot = static_cast<int32_t>(r == 0 ? slots - 1 : (r - 1) % slots);
        if (SlotIsLive(db, slot)) {
            return slot;
        }
    }
    // Mostly free slots: take the k-th live record by a walk.
    const uint32_t live = db.liveCount;
    const uint32_t r = RandomBelow(tutor, live);
    uint32_t wanted = r == 0 ? live - 1 : (r - 1) % live;
    int32_t lastLive = -1;
    for (int32_t slot = 0; slot < limit; ++slot) {
        if (SlotIsLive(db, slot)) {
            if (wanted == 0) {
                return slot;
            }
            --wanted;
            lastLive = slot;
        }
    }
    return lastLive; // liveCount ran ahead of the tags
}

// One candidate: a live slot other than the word on show; -1 when given up.
int32_t DrawCandidate(Tutor& tutor) {
    const int32_t onShow = tutor.state.currentRecord;
    if (tutor.db.liveCount <= 1 && SlotIsLive(tutor.db, onShow)) {
        return -1; // the only live word is on show: every draw would hit it
    }
    for (int draw = 1; draw < kDrawsPerCandidate; ++draw) {
        const int32_t slot = DrawLiveSlot(tutor);
        if (slot < 0) {
            return -1;
        }
        if (slot != onShow) {
            return slot;
        }
    }
    DrawLiveSlot(tutor); // the last draw is made and thrown away
    return -1;
}

void AppendReportLine(TutorState& state, bool correct) {
    if (state.reportLength >= kReportTextLimit) {
        return;
    }
    const char* verdict = correct ? "Correct" : "Incorrect";
    const size_t wordLength = strnlen(state.currentWord, sizeof state.currentWord - 1);
    char* end = state.reportBuffer.get() + state.reportLength;
    std::memcpy(end, state.currentWord, wordLength);
    end += wordLength;
    std::memcpy(end, ", ", 2);
    end += 2;
    const size_t verdictLength = std::strlen(verdict);
    std::memcpy(end, verdict, verdictLength);
    end += verdictLength;
    std::memcpy(end, "\r\n", 2);
    end += 2;
    *end = '\0';
    state.reportLength = static_cast<uint32_t>(end - state.reportBuffer.get());
}

// Cuts the report back to length, zero-filled behind as if never written.
void CutReport(TutorState& state, uint32_t length) {
    if (length >= state.reportLength) {
        return;
    }
    std::memset(state.reportBuffer.get() + length, 0, state.reportLength - length);
    state.reportLength = length;
    ++state.reportCuts;
}

// The record a step answered: the one holding the word's bytes and, for an
// answer, the learner's tallies as the answer left them, wherever a sort or an
// import moved it. -1 when none matches, or several do: its old slot may hold
// a twin after a sort, and a wrong guess would change another word's tallies.
int32_t FindAnsweredRecord(Tutor& tutor, const AnswerStep& step) {
    RecordFile& db = tutor.db;
    if (!DatabaseUsable(db)) {
        return -1;
    }
    if (step.kind == AnswerKind::Skip) {
        return FindExactWord(tutor, step.word.c_str(), step.slot); // nothing to write
    }
    const auto matches = [&](int32_t slot) {
        return SlotIsLive(db, slot) &&
               ReadNumber(db, slot, TotalField(step.user)) == step.totalAfter &&
               ReadNumber(db, slot, CorrectField(step.user)) == step.correctAfter &&
               ReadText(db, slot, kFieldWord) == step.word;
    };
    int32_t found = -1;
    const int32_t limit = SlotLimit(db);
    for (int32_t slot = 0; slot < limit; ++slot) {
        if (matches(slot)) {
            if (found != -1) {
                return -1;
            }
            found = slot;
        }
    }
    return found;
}

// Every kept step's answer can still be taken back in the history.
static_assert(kUndoStepLimit <= kHistoryTicketsKept);

// A history row for an answer (or its undo) given now, with the learner's
// name and the level as the settings hold them now.
HistoryRow HistoryRowOf(const Tutor& tutor, uint32_t user, const std::string& word, AnswerKind kind,
                        JudgedBy judgedBy, std::optional<std::string> heard = std::nullopt) {
    HistoryRow row;
    row.when = HistoryNow();
    row.learnerSlot = static_cast<int32_t>(user);
    const char* name = tutor.settings.userNames[user];
    row.learnerName.assign(name, strnlen(name, kUserNameSize)); // may lack its terminator
    row.word = word;
    row.answer = kind == AnswerKind::Correct     ? HistoryAnswer::Correct
                 : kind == AnswerKind::Incorrect ? HistoryAnswer::Incorrect
                                                 : HistoryAnswer::Skip;
    row.level = tutor.settings.level;
    row.judgedBy = judgedBy;
    row.heard = std::move(heard);
    return row;
}

} // namespace

uint32_t RandomBelow(Tutor& tutor, uint32_t n) {
    if (n <= 1) {
        return 1;
    }
    Guard guard(tutor.lock);
    uint32_t& state = tutor.state.randomState;
    uint32_t fresh = 0;
    if (tutor.random.Fill(fresh)) {
        state = fresh % n + 1;
        return state;
    }
    // Fallback generator; its range is 0..n and the state keeps the generator value.
    if (state != 0) {
        state = ((state * state) % 65536u) >> 1;
        state = state + (tutor.random.TickCount() & 255u);
    } else {
        const uint32_t t = tutor.random.TickCount();
        state = (t * t) % 65536u;
    }
    uint32_t r = (state * n) >> 12;
    while (r > n) {
        r -= n;
    }
    return r;
}

uint32_t CurrentUserSlot(const Tutor& tutor) {
    const int32_t user = tutor.settings.currentUser;
    return user >= 0 && user < kUserCount ? static_cast<uint32_t>(user) : 0;
}

bool SlotIsLive(const RecordFile& db, int32_t slot) {
    if (db.view == nullptr || slot < 0 || static_cast<uint32_t>(slot) >= db.capacity) {
        return false;
    }
    const uint8_t* tag = db.view + db.recordAreaOffset +
                         static_cast<uint64_t>(static_cast<uint32_t>(slot)) * db.recordSize;
    return LoadLE32(tag) == RecordLive;
}

uint32_t SumUserField(Tutor& tutor, uint32_t field) {
    Guard guard(tutor.lock);
    RecordFile& db = tutor.db;
    if (!DatabaseUsable(db) || field == 0 || field > db.fieldCount) {
        return 0;
    }
    uint32_t sum = 0;
    ForEachLiveRecord(db, [&](int32_t slot) { sum += FieldNumber(tutor, slot, field); });
    return sum;
}

void LoadCurrentWord(Tutor& tutor) {
    Guard guard(tutor.lock);
    TutorState& state = tutor.state;
    if (!DatabaseUsable(tutor.db) || !SlotIsLive(tutor.db, state.currentRecord)) {
        return;
    }
    if (const auto word = ReadText(tutor.db, state.currentRecord, kFieldWord)) {
        CopyBounded(word->c_str(), state.currentWord, sizeof state.currentWord);
    }
    const uint32_t user = CurrentUserSlot(tutor);
    state.wordTotal = FieldNumber(tutor, state.currentRecord, TotalField(user));
    state.wordCorrect = FieldNumber(tutor, state.currentRecord, CorrectField(user));
}

int32_t FindExactWord(Tutor& tutor, const char* word, int32_t near) {
    Guard guard(tutor.lock);
    RecordFile& db = tutor.db;
    if (!DatabaseUsable(db)) {
        return -1;
    }
    const int32_t limit = SlotLimit(db);
    int32_t best = -1;
    int64_t bestDistance = INT64_MAX;
    for (int32_t slot = 0; slot < limit; ++slot) {
        if (!SlotIsLive(db, slot) || ReadText(db, slot, kFieldWord) != word) {
            continue;
        }
        const int64_t distance =
            slot >= near ? int64_t{slot} - near : int64_t{near} - slot; // near may be -1
        if (distance < bestDistance) {
            best = slot;
            bestDistance = distance;
        }
        if (slot >= near) {
            break; // later matches lie further away
        }
    }
    return best;
}

bool RefindCurrentWord(Tutor& tutor) {
    Guard guard(tutor.lock);
    TutorState& state = tutor.state;
    if (state.currentRecord == -1) {
        return false;
    }
    RecordFile& db = tutor.db;
    if (SlotIsLive(db, state.currentRecord) &&
        ReadText(db, state.currentRecord, kFieldWord) == state.currentWord) {
        return true;
    }
    state.currentRecord = FindExactWord(tutor, state.currentWord, state.currentRecord);
    return state.currentRecord != -1;
}

void SetUpUser(Tutor& tutor) {
    Guard guard(tutor.lock);
    TutorState& state = tutor.state;
    const uint32_t user = CurrentUserSlot(tutor);
    CopyBounded(tutor.settings.userNames[user], state.currentUserName,
                sizeof state.currentUserName);
    state.userTotal = SumUserField(tutor, TotalField(user));
    state.userCorrect = SumUserField(tutor, CorrectField(user));
    state.sessionTotal = 0;
    state.sessionCorrect = 0;
    ++state.sessionNumber;
    if (state.currentRecord != -1 && RefindCurrentWord(tutor)) {
        LoadCurrentWord(tutor);
    }
    tutor.window.Invalidate();
}

int32_t ChooseNextWord(Tutor& tutor) {
    Guard guard(tutor.lock);
    TutorState& state = tutor.state;
    if (!DatabaseUsable(tutor.db)) {
        return -1;
    }
    const int32_t level = tutor.settings.level;
    const uint32_t candidates = CandidateCount(level);
    const uint32_t user = CurrentUserSlot(tutor);
    int32_t best = -1;
    uint32_t bestScore = 0;
    for (uint32_t candidate = 0; candidate < candidates; ++candidate) {
        const int32_t slot = DrawCandidate(tutor);
        if (slot < 0) {
            continue;
        }
        const uint32_t total = FieldNumber(tutor, slot, TotalField(user));
        uint32_t score;
        if (total == 0) {
            score = 10001; // never asked: beats every asked word
        } else {
            const uint32_t correct = FieldNumber(tutor, slot, CorrectField(user));
            score = (correct * 10000u) / total;
            if (static_cast<uint32_t>(level) > 2) {
                score = 10000u - score;
            }
        }
        if (best == -1 || score > bestScore) {
            best = slot;
            bestScore = score;
        }
    }
    if (best == -1) {
        return -1;
    }
    state.currentRecord = best;
    LoadCurrentWord(tutor);
    tutor.window.Invalidate();
    return best;
}

void RecordAnswer(Tutor& tutor, bool correct) {
    Guard guard(tutor.lock);
    TutorState& state = tutor.state;
    if (!DatabaseUsable(tutor.db) || !RefindCurrentWord(tutor)) {
        return; // no word on show: nothing to tally
    }
    RecordFile& db = tutor.db;
    const uint32_t field = TotalField(CurrentUserSlot(tutor));
    if (!WriteNumber(db, state.currentRecord, field,
                     static_cast<int32_t>(FieldNumber(tutor, state.currentRecord, field) + 1u))) {
        return; // not stored (a read-only database): count nothing either
    }
    ++state.sessionTotal;
    ++state.userTotal;
    if (correct) {
        ++state.sessionCorrect;
        ++state.userCorrect;
        WriteNumber(db, state.currentRecord, field + 1,
                    static_cast<int32_t>(FieldNumber(tutor, state.currentRecord, field + 1) + 1u));
    }
    AppendReportLine(state, correct);
}

void HandleClick(Tutor& tutor, uint16_t x, uint16_t y) {
    if (Inside(kCorrectPlace, x, y)) {
        TakeAnswer(tutor, AnswerKind::Correct, JudgedBy::Click);
    } else if (Inside(kIncorrectPlace, x, y)) {
        TakeAnswer(tutor, AnswerKind::Incorrect, JudgedBy::Click);
    } else if (Inside(kSkipPlace, x, y)) {
        TakeAnswer(tutor, AnswerKind::Skip, JudgedBy::Click);
    }
}

void TakeAnswer(Tutor& tutor, AnswerKind kind, JudgedBy judgedBy, std::optional<std::string> heard) {
    Guard guard(tutor.lock);
    TutorState& state = tutor.state;
    RecordFile& db = tutor.db;
    AnswerStep step;
    step.kind = kind;
    const bool onShow = DatabaseUsable(db) && RefindCurrentWord(tutor);
    if (onShow) {
        step.slot = state.currentRecord;
        step.word = ReadText(db, step.slot, kFieldWord).value_or(std::string());
        step.user = CurrentUserSlot(tutor);
        step.session = state.sessionNumber;
        step.sessionTotal = state.sessionTotal;
        step.sessionCorrect = state.sessionCorrect;
        step.reportLength = state.reportLength;
        step.totalBefore = ReadNumber(db, step.slot, TotalField(step.user)).value_or(0);
        step.correctBefore = ReadNumber(db, step.slot, CorrectField(step.user)).value_or(0);
    }
    if (kind != AnswerKind::Skip) {
        RecordAnswer(tutor, kind == AnswerKind::Correct);
    }
    // An answer that stored nothing (a read-only database) has nothing to take back.
    if (onShow && (kind == AnswerKind::Skip || state.sessionTotal != step.sessionTotal)) {
        step.totalAfter = ReadNumber(db, step.slot, TotalField(step.user)).value_or(0);
        step.correctAfter = ReadNumber(db, step.slot, CorrectField(step.user)).value_or(0);
        if (state.history) {
            step.historyTicket = state.history->Append(
                HistoryRowOf(tutor, step.user, step.word, step.kind, judgedBy, std::move(heard)));
        }
        if (state.undoSteps.size() >= kUndoStepLimit) {
            state.undoSteps.pop_front();
        }
        state.undoSteps.push_back(std::move(step));
    }
    ChooseNextWord(tutor);
}

bool TakeListenedAnswer(Tutor& tutor, AnswerKind kind, const std::string& word,
                        const std::string& heard) {
    Guard guard(tutor.lock);
    const TutorState& state = tutor.state;
    // The word as shown, bounded as the window reads it: the verdict was on those bytes.
    const std::string onShow(state.currentWord, strnlen(state.currentWord, sizeof state.currentWord));
    if (word.empty() || onShow != word)
        return false;
    TakeAnswer(tutor, kind, JudgedBy::Listening, heard);
    return true;
}

UndoOutcome UndoLastAnswer(Tutor& tutor) {
    Guard guard(tutor.lock);
    TutorState& state = tutor.state;
    if (state.undoSteps.empty()) {
        return UndoOutcome::NothingToUndo;
    }
    const AnswerStep step = state.undoSteps.back();
    const int32_t slot = FindAnsweredRecord(tutor, step);
    if (slot < 0) {
        state.undoSteps.clear();
        return UndoOutcome::WordGone;
    }
    RecordFile& db = tutor.db;
    if (step.kind != AnswerKind::Skip) {
        // The correct count first: a kill between the two writes leaves no more
        // correct answers than answers.
        if (!WriteNumber(db, slot, CorrectField(step.user), step.correctBefore) ||
            !WriteNumber(db, slot, TotalField(step.user), step.totalBefore)) {
            return UndoOutcome::NothingToUndo; // no longer writable: nothing was taken back
        }
        if (step.user == CurrentUserSlot(tutor)) { // as RecordAnswer counted them up
            --state.userTotal;
            state.userCorrect -= step.kind == AnswerKind::Correct ? 1u : 0u;
        }
        if (step.session == state.sessionNumber) {
            state.sessionTotal = step.sessionTotal;
            state.sessionCorrect = step.sessionCorrect;
        }
        CutReport(state, step.reportLength);
    }
    if (state.history) {
        state.history->AppendUndo(step.historyTicket, HistoryRowOf(tutor, step.user, step.word,
                                                                   step.kind, JudgedBy::Key));
    }
    state.undoSteps.pop_back();
    state.currentRecord = slot;
    LoadCurrentWord(tutor);
    tutor.window.Invalidate();
    return UndoOutcome::Undone;
}

std::optional<AnswerStep> LastAnswerStep(Tutor& tutor) {
    Guard guard(tutor.lock);
    if (tutor.state.undoSteps.empty()) {
        return std::nullopt;
    }
    return tutor.state.undoSteps.back();
}

uint64_t WholePercent(uint32_t part, uint32_t whole) {
    // 64-bit so that large tallies do not wrap; at most 12 digits.
    return whole == 0 ? 100u : uint64_t{part} * 100u / whole;
}

std::string ReportText(Tutor& tutor) {
    Guard guard(tutor.lock);
    return std::string(tutor.state.reportBuffer.get(), tutor.state.reportLength);
}

} // namespace lexipond
