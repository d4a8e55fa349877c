// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tutor/WordStore.h"

#include "core/platform/Collation.h"
#include "core/recordfile/AtomicUpdate.h"
#include "core/recordfile/RecordFile.h"
#include "core/tutor/Commands.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/Worker.h"
#include "core/words/ImportWordFile.h"
#include "core/words/WordTalliesCsv.h"

#include <cstring>

namespace lexipond {

namespace {

// A text member of the state or the settings, read no further than its array:
// a damaged settings block may lack the terminator.
template <size_t N> std::string BoundedText(const char (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

} // namespace

WordStore::WordStore(RecordFile& db, SettingsBlock& settings, TutorState& state,
                     RandomSource& random, WindowPort& window)
    : tutor_{db, settings, state, random, window, lock_} {}

void WordStore::SetHistory(AnswerHistory* history) {
    Guard guard(lock_);
    tutor_.state.history = history;
}

bool WordStore::TryShownScores(ShownScores& scores) {
    std::unique_lock<std::recursive_mutex> guard(lock_, std::try_to_lock);
    if (!guard.owns_lock())
        return false;
    const TutorState& state = tutor_.state;
    scores.word = BoundedText(state.currentWord);
    scores.userName = BoundedText(state.currentUserName);
    scores.userCorrect = state.userCorrect;
    scores.userTotal = state.userTotal;
    scores.sessionCorrect = state.sessionCorrect;
    scores.sessionTotal = state.sessionTotal;
    scores.wordCorrect = state.wordCorrect;
    scores.wordTotal = state.wordTotal;
    return true;
}

std::string WordStore::WordOnShow() {
    Guard guard(lock_);
    return BoundedText(tutor_.state.currentWord);
}

void WordStore::Click(uint16_t x, uint16_t y) {
    HandleClick(tutor_, x, y); // takes the lock only for a click on a button
}

void WordStore::Answer(AnswerKind kind) {
    TakeAnswer(tutor_, kind);
}

bool WordStore::AnswerListened(AnswerKind kind, const std::string& word, const std::string& heard) {
    return TakeListenedAnswer(tutor_, kind, word, heard);
}

UndoOutcome WordStore::Undo() {
    return UndoLastAnswer(tutor_);
}

std::optional<AnswerStep> WordStore::LastAnswer() {
    return LastAnswerStep(tutor_);
}

void WordStore::ChooseUser(int user) {
    Guard guard(lock_);
    tutor_.settings.currentUser = user;
    SetUpUser(tutor_);
}

void WordStore::ChooseLevel(int level) {
    Guard guard(lock_);
    tutor_.settings.level = level;
}

bool WordStore::RequestEdit() {
    return EditWordCommand(tutor_);
}

bool WordStore::RequestAdd() {
    return AddWordCommand(tutor_);
}

bool WordStore::RunWordDetails(const std::function<void()>& runDialog) {
    return WordDetailsCommand(tutor_, runDialog);
}

bool WordStore::RequestStop() {
    return ExitCommand(tutor_);
}

bool WordStore::StopRequested() const {
    return tutor_.state.quitFlag.load() == kQuitFlagStop;
}

int32_t WordStore::DetailsTarget() const {
    return tutor_.state.detailsTarget.load();
}

WordList WordStore::ListWords() {
    Guard guard(lock_);
    WordList list;
    list.wordSlots = LiveSlots(tutor_.db);
    list.words = SlotWords(tutor_.db, list.wordSlots);
    return list;
}

std::string WordStore::WordTalliesCsv() {
    Guard guard(lock_);
    std::string csv = WordTalliesCsvHeader(tutor_.settings);
    WordDetails details;
    for (const int32_t slot : LiveSlots(tutor_.db))
        if (ReadWordDetails(tutor_.db, slot, details))
            csv += WordTalliesCsvRow(details);
    return csv;
}

bool WordStore::OpenWord(int32_t slot, WordDetails& details) {
    Guard guard(lock_);
    if (!ReadWordDetails(tutor_.db, slot, details))
        return false;
    tutor_.state.detailsTarget = slot;
    return true;
}

bool WordStore::SaveWord(int32_t slot, std::optional<std::string_view> word,
                         std::optional<std::string_view> notes) {
    Guard guard(lock_);
    const bool saved = SaveWordDetails(tutor_.db, slot, word, notes);
    if (word)
        NoteWordChanged(tutor_, slot); // also after a failed write: it may have gone part-way
    return saved;
}

int32_t WordStore::AddWordRecord(const std::string_view* word, std::string_view notes) {
    Guard guard(lock_);
    const int32_t slot = AddRecord(tutor_.db);
    if (slot < 0)
        return -1;
    NoteWordChanged(tutor_, slot);
    if (word != nullptr)
        SaveWordDetails(tutor_.db, slot, *word, notes);
    InitNewWordRecord(tutor_.db, slot, word == nullptr);
    return slot;
}

int32_t WordStore::AddNewWord() {
    return AddWordRecord(nullptr, {});
}

int32_t WordStore::AddCopyOf(std::string_view word, std::string_view notes) {
    return AddWordRecord(&word, notes);
}

bool WordStore::DeleteWord(int32_t slot) {
    Guard guard(lock_);
    if (!FreeWordRecord(tutor_.db, slot))
        return false;
    NoteWordChanged(tutor_, slot);
    // The dialog lists the words again at once, in order: the gap is closed
    // and the dialog's other changes placed now, not after it closes.
    PutWordsInOrder(tutor_);
    return true;
}

uint32_t WordStore::ImportWordList(const char* path, ImportReport* report) {
    // The worker may be sorting: the import waits for the database like everyone else.
    Guard guard(lock_);
    // Into a copy that replaces the file in one step: a kill or a full disk
    // part-way leaves the list as it was, never half an import.
    uint32_t added = 0;
    UpdateAtomically(tutor_.db, [&](RecordFile& copy, bool& changed) {
        added = ImportWordFile(copy, path, platform::UserCollator(), report);
        changed = added > 0;
        return true;
    });
    if (added > 0)
        NoteWordsReplaced(tutor_);
    return added;
}

void WordStore::StoreOptions(const OptionsChoices& choices) {
    Guard guard(lock_);
    SettingsBlock& settings = tutor_.settings;
    settings.confirmQuit = choices.confirmQuit;
    for (int user = 0; user < kUserCount; ++user) {
        if (!choices.userNames[user])
            continue;
        const std::string_view name = CutText(*choices.userNames[user], kUserNameLimit);
        std::memcpy(settings.userNames[user], name.data(), name.size());
        settings.userNames[user][name.size()] = '\0';
    }
    if (choices.level >= 0)
        settings.level = choices.level;
    settings.transparencyAlpha = choices.transparencyAlpha;
    SetUpUser(tutor_);
}

ReportPiece WordStore::ReportFrom(size_t shownLength, uint32_t shownCuts) {
    Guard guard(lock_);
    const TutorState& state = tutor_.state;
    ReportPiece piece;
    piece.length = state.reportLength;
    piece.cuts = state.reportCuts;
    // Only Undo shortens the report; after a cut the reader starts over.
    if (piece.length < shownLength || piece.cuts != shownCuts) {
        piece.restarted = true;
        shownLength = 0;
    }
    piece.text.assign(state.reportBuffer.get() + shownLength, piece.length - shownLength);
    return piece;
}

} // namespace lexipond
