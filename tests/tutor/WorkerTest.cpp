// The worker thread and its request protocol, driven the way the window does.
#include "tutor/Worker.h"

#include "TutorTestSupport.h"
#include "recordfile/RecordFile.h"
#include "tutor/Commands.h"
#include "tutor/Tutoring.h"

#include <chrono>
#include <cstring>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace lexipond {
namespace {

using namespace std::chrono_literals;
using testing::RecordingWindow;
using testing::TutorFixture;

// Long enough that a protocol relying on the time-out instead of a wake-up fails.
constexpr std::chrono::milliseconds kNeverWakesBySelf = std::chrono::hours(1);

class WorkerTest : public TutorFixture {
  protected:
    void SetUp() override {
        MakeDatabase({{"a"},
                      {"ah", 0, 0, 0, 0, "say an ah"},
                      {"an", 3, 1, 0, 0, "the word on show"},
                      {"ant"},
                      {"can"},
                      {"cat"}});
        settings.level = 3;
    }
    // Waits, bounded, until the worker has chosen its first word.
    bool WaitStarted() {
        const auto until = std::chrono::steady_clock::now() + 60s;
        while (OnShow() == -1) {
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    // Waits, bounded, until the worker is idle again.
    bool WaitIdle() {
        if (!state.idleEvent.Wait(60s)) {
            return false;
        }
        return state.workerRequest.load() == RequestIdle;
    }
    void PutOnShow(const std::string& word) {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        ShowSlot(SlotOf(word));
        ASSERT_STREQ(state.currentWord, word.c_str());
    }
    int32_t OnShow() {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        return state.currentRecord;
    }
    std::string WordOnShow() {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        return state.currentWord;
    }
    // Runs one Word Details round trip as the window thread would.
    void RoundTrip(bool edit, const std::function<void()>& dialog) {
        const int posted = window.CountCommand(CMD_WORD_DETAILS);
        ASSERT_TRUE(edit ? EditWordCommand(tutor) : AddWordCommand(tutor));
        ASSERT_TRUE(window.WaitForCommand(CMD_WORD_DETAILS, posted + 1));
        ASSERT_TRUE(WordDetailsCommand(tutor, dialog));
        ASSERT_TRUE(WaitIdle());
    }
};

TEST_F(WorkerTest, StartsWithAWordAndStopsWithCloseThenDestroy) {
    Worker worker(tutor, kNeverWakesBySelf);
    random.counter = 0;
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start()) << "one worker at a time";
    ASSERT_TRUE(WaitStarted());
    EXPECT_FALSE(ExitCommand(tutor));
    auto joined = std::async(std::launch::async, [&] { worker.Join(); });
    ASSERT_EQ(joined.wait_for(60s), std::future_status::ready)
        << "the stop must not wait for the worker's own wake-up";
    EXPECT_TRUE(ExitCommand(tutor)) << "a second exit destroys the window at once";

    EXPECT_EQ(db.view, nullptr) << "the worker closes the database";
    EXPECT_NE(state.currentRecord, -1) << "the first word was chosen";
    const auto entries = window.Entries();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[entries.size() - 2].kind, RecordingWindow::Close);
    EXPECT_EQ(entries.back().kind, RecordingWindow::Command);
    EXPECT_EQ(entries.back().command, CMD_DESTROY);
    EXPECT_EQ(state.sessionTotal, 0u);
}

TEST_F(WorkerTest, EditHandsTheDialogTheWordOnShowAndFindsTheWordAgain) {
    Worker worker(tutor, kNeverWakesBySelf);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitStarted());
    PutOnShow("an");

    int32_t dialogTarget = -100;
    int32_t requestDuringDialog = -100;
    RoundTrip(true, [&] {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        dialogTarget = state.detailsTarget;
        requestDuringDialog = state.workerRequest;
        // The dialog edits the notes and adds words that sort before "an".
        std::strcpy(db.textValue, "an article");
        PutField(db, dialogTarget, kFieldNotes);
        AddWord({"ab"});
        AddWord({"aa"});
    });
    EXPECT_EQ(dialogTarget, 2);
    EXPECT_EQ(requestDuringDialog, RequestDialogOpen);
    EXPECT_EQ(WordOnShow(), "an") << "not a word that merely contains it";
    EXPECT_EQ(OnShow(), SlotOf("an"));
    EXPECT_EQ(OnShow(), 4) << "the database was sorted: a aa ab ah an";
    EXPECT_EQ(state.wordTotal, 3u);

    // The word in slot 0 is found again too.
    PutOnShow("a");
    RoundTrip(true, [] {});
    EXPECT_EQ(OnShow(), 0);
    EXPECT_EQ(WordOnShow(), "a");
}

TEST_F(WorkerTest, AddOpensTheDialogForANewWord) {
    Worker worker(tutor, kNeverWakesBySelf);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitStarted());
    PutOnShow("cat");
    int32_t dialogTarget = -100;
    RoundTrip(false, [&] {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        dialogTarget = state.detailsTarget;
        AddWord({"bat"});
    });
    EXPECT_EQ(dialogTarget, kDetailsNewWord);
    EXPECT_EQ(WordOnShow(), "cat");
    EXPECT_EQ(OnShow(), SlotOf("cat"));
    EXPECT_EQ(SlotOf("bat"), 4);
}

TEST_F(WorkerTest, ChangedWordFallsBackToTheFirstLaterRecordContainingIt) {
    Worker worker(tutor, kNeverWakesBySelf);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitStarted());
    PutOnShow("an");
    RoundTrip(true, [&] {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        std::strcpy(db.textValue, "and");
        PutField(db, state.detailsTarget, kFieldWord);
    });
    // After the sort: a ah and ant can cat; the search starts after slot 0 and
    // takes the first record containing the old text, here in its notes.
    EXPECT_EQ(WordOnShow(), "ah");

    PutOnShow("cat");
    RoundTrip(true, [&] {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        SetRecordTag(db, state.detailsTarget, RecordDeleted);
    });
    // Nothing contains "cat" any more: another word is shown rather than a deleted one.
    ASSERT_NE(OnShow(), -1);
    EXPECT_NE(WordOnShow(), "cat");
    EXPECT_EQ(WordAt(OnShow()), WordOnShow());
    EXPECT_TRUE(SlotLive(OnShow()));
}

TEST_F(WorkerTest, ResortWithoutAWordOnShowSearchesFromTheStart) {
    state.currentRecord = -1;
    state.currentWord[0] = '\0';
    random.counter = 0;
    ResortWords(tutor);
    ASSERT_NE(state.currentRecord, -1);
    EXPECT_TRUE(SlotLive(state.currentRecord));
    EXPECT_EQ(WordAt(state.currentRecord), state.currentWord);
}

TEST_F(WorkerTest, CommandsRefuseInsteadOfBlockingWhileARequestIsInHand) {
    Worker worker(tutor, kNeverWakesBySelf);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitStarted());
    ASSERT_TRUE(EditWordCommand(tutor));
    EXPECT_FALSE(EditWordCommand(tutor));
    EXPECT_FALSE(AddWordCommand(tutor));
    ASSERT_TRUE(window.WaitForCommand(CMD_WORD_DETAILS));

    // A closing Results Report clears the request before the dialog ran: the worker
    // counts as idle again at its next look and new commands are accepted.
    state.workerRequest = RequestIdle;
    state.wakeEvent.Set();
    ASSERT_TRUE(WaitIdle());
    int runs = 0;
    EXPECT_FALSE(WordDetailsCommand(tutor, [&] { ++runs; })) << "the stale post is ignored";
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(AddWordCommand(tutor));
}

TEST_F(WorkerTest, RepeatedPostsOpenTheDialogOnce) {
    Worker worker(tutor, 5ms); // the worker repeats its post at every wake-up
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitStarted());
    ASSERT_TRUE(EditWordCommand(tutor));
    ASSERT_TRUE(window.WaitForCommand(CMD_WORD_DETAILS, 3));
    int runs = 0;
    EXPECT_TRUE(WordDetailsCommand(tutor, [&] { ++runs; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(WordDetailsCommand(tutor, [&] { ++runs; }));
    EXPECT_FALSE(WordDetailsCommand(tutor, [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
}

TEST_F(WorkerTest, NothingIsHandedOverOnceAStopIsUnderWayOrWithoutAWord) {
    state.currentRecord = -1;
    EXPECT_FALSE(EditWordCommand(tutor)) << "no word on show";
    EXPECT_EQ(state.workerRequest.load(), RequestIdle);
    EXPECT_TRUE(state.idleEvent.IsSet());

    EXPECT_FALSE(ExitCommand(tutor));
    EXPECT_EQ(state.quitFlag.load(), kQuitFlagStop);
    EXPECT_TRUE(state.wakeEvent.IsSet());
    EXPECT_FALSE(AddWordCommand(tutor));
    EXPECT_EQ(state.workerRequest.load(), RequestIdle);
}

TEST_F(WorkerTest, DestroyingTheWorkerStopsAndJoinsIt) {
    {
        Worker worker(tutor, kNeverWakesBySelf);
        ASSERT_TRUE(worker.Start());
        ASSERT_TRUE(WaitIdle());
    }
    EXPECT_EQ(db.view, nullptr);
    EXPECT_EQ(window.CountCommand(CMD_DESTROY), 1);
}

} // namespace
} // namespace lexipond
