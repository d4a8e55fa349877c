// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tutor/Worker.h"

#include "core/recordfile/RecordFile.h"
#include "core/platform/Collation.h"
#include "core/recordfile/PlaceRecords.h"
#include "core/recordfile/SortRecords.h"
#include "core/words/WordDatabase.h"
#include "core/tutor/Commands.h"
#include "core/tutor/Tutoring.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>
#include <system_error>

namespace lexipond {
namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

bool StopRequested(const TutorState& state) {
    return state.quitFlag.load() == kQuitFlagStop;
}

// Looks at the request word once; called with the lock held.
void ServeRequest(Tutor& tutor) {
    TutorState& state = tutor.state;
    const int32_t request = state.workerRequest.load();
    if (request == RequestEditWord || request == RequestAddWord || request == RequestResort) {
        state.wakeEvent.Reset();
        if (request == RequestResort) {
            ResortWords(tutor);
            state.workerRequest = RequestIdle;
            state.wakeEvent.Set(); // the next wait returns at once
        } else {
            if (request == RequestAddWord) {
                state.detailsTarget = kDetailsNewWord;
            }
            tutor.window.PostCommand(CMD_WORD_DETAILS);
        }
    }
    // Idle whenever the request word is back at 0: also after a closing dialog
    // cleared a request that was still in hand.
    if (state.workerRequest.load() == RequestIdle) {
        state.idleEvent.Set();
    }
}

} // namespace

void NoteWordChanged(Tutor& tutor, int32_t slot) {
    Guard guard(tutor.lock);
    WordOrder& order = tutor.state.wordOrder;
    if (order.known == WordOrderKnown::InOrder) {
        order.changed.push_back(slot);
        order.used = tutor.db.usedTally;
    } else if (order.known == WordOrderKnown::Unknown) {
        order.check = OrderCheck{}; // what was checked may have changed
    }
}

void NoteWordsReplaced(Tutor& tutor) {
    Guard guard(tutor.lock);
    tutor.state.wordOrder = WordOrder{};
}

void PutWordsInOrder(Tutor& tutor, int32_t* follow) {
    Guard guard(tutor.lock);
    WordOrder& order = tutor.state.wordOrder;
    RecordFile& db = tutor.db;
    const platform::Collator& collator = platform::UserCollator();
    if (order.known == WordOrderKnown::InOrder && order.used != db.usedTally)
        order.known = WordOrderKnown::Unknown; // changed by someone who did not say
    if (order.known == WordOrderKnown::InOrder) {
        if (order.changed.empty())
            return; // nothing to move: the file is not even read
        switch (PlaceChangedRecords(db, kFieldWord, collator, order.changed, follow)) {
        case PlaceOutcome::Placed:
            order.changed.clear();
            order.used = db.usedTally;
            return;
        case PlaceOutcome::Failed:
            // Nothing moved (no room for the journal). What was tracked may not
            // survive what comes next (a shrink compacts), so the next attempt
            // checks or sorts everything.
            if (follow)
                *follow = -1;
            order = WordOrder{};
            return;
        case PlaceOutcome::NeedsSort:
            break;
        }
    }
    if (follow)
        *follow = -1;
    // On a copy that replaces the file in one step, and not at all when the
    // words are in order already: a kill mid-sort loses no word.
    const bool sorted = SortRecordsAtomically(db, kFieldWord, collator) == 1;
    order = WordOrder{};
    order.known = sorted ? WordOrderKnown::InOrder : WordOrderKnown::Unknown;
    order.used = db.usedTally;
}

bool CheckWordOrderStep(Tutor& tutor) {
    // A slice keeps the lock for about half a millisecond, so clicks never wait long.
    constexpr uint32_t kSlotsPerStep = 1024;
    Guard guard(tutor.lock);
    WordOrder& order = tutor.state.wordOrder;
    if (order.known != WordOrderKnown::Unknown || tutor.db.view == nullptr)
        return false;
    switch (CheckOrderStep(tutor.db, kFieldWord, platform::UserCollator(), order.check,
                           kSlotsPerStep)) {
    case OrderCheckResult::NotYet:
        return true;
    case OrderCheckResult::InOrder:
        order = WordOrder{};
        order.known = WordOrderKnown::InOrder;
        order.used = tutor.db.usedTally;
        return false;
    case OrderCheckResult::OutOfOrder:
        order = WordOrder{};
        order.known = WordOrderKnown::OutOfOrder;
        return false;
    }
    return false;
}

namespace {

// FindExactWord's choice among the slots holding the word: the live one
// nearest to `near`, the lower of two as near.
int32_t NearestLiveSlot(RecordFile& db, const std::vector<int32_t>& slots, int32_t near) {
    int32_t best = -1;
    int64_t bestDistance = INT64_MAX;
    for (const int32_t slot : slots) {
        const int64_t distance = slot >= near ? int64_t{slot} - near : int64_t{near} - slot;
        if (SlotIsLive(db, slot) && distance < bestDistance) {
            best = slot;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace

void ResortWords(Tutor& tutor) {
    Guard guard(tutor.lock);
    TutorState& state = tutor.state;
    RecordFile& db = tutor.db;
    const int32_t old = state.currentRecord;
    int32_t followed = old;
    PutWordsInOrder(tutor, &followed);

    // The record on show, where the placement put it, when it still holds the word.
    if (followed >= 0 && state.currentWord[0] != '\0' &&
        ReadText(db, followed, kFieldWord) == state.currentWord) {
        state.currentRecord = followed;
        LoadCurrentWord(tutor);
        return;
    }
    int32_t found = -1;
    if (state.currentWord[0] != '\0') {
        found = state.wordOrder.known == WordOrderKnown::InOrder
                    ? NearestLiveSlot(db, SlotsHoldingExactly(db, kFieldWord,
                                                              platform::UserCollator(),
                                                              state.currentWord),
                                      old)
                    : FindExactWord(tutor, state.currentWord, old);
    }
    if (found == -1) {
        // The word itself is gone or was changed: the first later record that contains it.
        const std::string_view word(state.currentWord,
                                    strnlen(state.currentWord, sizeof state.currentWord - 1));
        const int32_t start = old > 10 ? old - 10 : 0;
        found = FindText(db, word, start).value_or(-1);
    }
    state.currentRecord = found;
    if (found != -1) {
        LoadCurrentWord(tutor);
    } else {
        ChooseNextWord(tutor); // keep a word on show when there is one
    }
}

void WorkerMain(Tutor& tutor, std::chrono::milliseconds wakeInterval) {
    TutorState& state = tutor.state;
    const auto checkFrom = std::chrono::steady_clock::now() + kOrderCheckDelay;
    {
        Guard guard(tutor.lock);
        state.currentRecord = -1;
        SetUpUser(tutor);
        ChooseNextWord(tutor);
    }
    for (;;) {
        {
            Guard guard(tutor.lock);
            ServeRequest(tutor);
        }
        if (StopRequested(state)) {
            break;
        }
        // While the word order is unknown, a slice of its check between naps,
        // once the first word has had time to be painted: a slice holds the
        // lock, and a paint that finds it taken tries again a little later.
        const auto now = std::chrono::steady_clock::now();
        const bool checking = now >= checkFrom && CheckWordOrderStep(tutor);
        std::chrono::milliseconds wait = wakeInterval;
        if (checking)
            wait = kOrderCheckNap;
        else if (now < checkFrom)
            wait = std::min(wakeInterval, std::chrono::ceil<std::chrono::milliseconds>(
                                              checkFrom - now));
        state.wakeEvent.Wait(wait);
        state.wakeEvent.Reset();
        if (StopRequested(state)) {
            break;
        }
    }
    tutor.window.PostClose();
    {
        Guard guard(tutor.lock);
        CloseRecordFile(tutor.db);
    }
    tutor.window.PostCommand(CMD_DESTROY);
}

bool Worker::Start() {
    if (thread_.joinable()) {
        return false;
    }
    try {
        thread_ = std::thread([this] { WorkerMain(tutor_, wakeInterval_); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Worker::Stop() {
    tutor_.state.quitFlag = kQuitFlagStop;
    tutor_.state.wakeEvent.Set();
}

void Worker::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

namespace {

bool HandOver(Tutor& tutor, int32_t request) {
    TutorState& state = tutor.state;
    Guard guard(tutor.lock);
    if (state.workerRequest.load() != RequestIdle || StopRequested(state)) {
        return false;
    }
    if (request == RequestEditWord) {
        if (!RefindCurrentWord(tutor)) {
            return false; // no word on show to edit
        }
        state.detailsTarget = state.currentRecord;
    }
    state.idleEvent.Reset();
    state.workerRequest = request;
    state.wakeEvent.Set();
    return true;
}

} // namespace

bool EditWordCommand(Tutor& tutor) {
    return HandOver(tutor, RequestEditWord);
}

bool AddWordCommand(Tutor& tutor) {
    return HandOver(tutor, RequestAddWord);
}

bool WordDetailsCommand(Tutor& tutor, const std::function<void()>& runDialog) {
    TutorState& state = tutor.state;
    {
        Guard guard(tutor.lock);
        const int32_t request = state.workerRequest.load();
        if (request != RequestEditWord && request != RequestAddWord) {
            return false;
        }
        if (request == RequestAddWord) {
            state.detailsTarget = kDetailsNewWord;
        }
        state.workerRequest = RequestDialogOpen;
    }
    if (runDialog) {
        runDialog();
    }
    {
        Guard guard(tutor.lock);
        state.idleEvent.Reset();
        state.workerRequest = RequestResort;
    }
    state.wakeEvent.Set();
    return true;
}

bool ExitCommand(Tutor& tutor) {
    TutorState& state = tutor.state;
    // The flag goes up before the wake-up, so the worker sees it at once.
    const bool already = state.quitFlag.exchange(kQuitFlagStop) == kQuitFlagStop;
    state.wakeEvent.Set();
    return already;
}

} // namespace lexipond
