// The worker thread and its request protocol, driven the way the window does, and
// answers given while the worker re-sorts.
#include "tutor/Worker.h"

#include "TutorTestSupport.h"
#include "tutor/Commands.h"

#include <atomic>
#include <cstring>
#include <future>
#include <map>
#include <sstream>
#include <thread>

namespace lexipond {
namespace {

using namespace std::chrono_literals;
using testing::RecordingWindow;

// Long enough that a protocol relying on the time-out instead of a wake-up fails.
constexpr std::chrono::milliseconds kNeverWakesBySelf = std::chrono::hours(1);

class WorkerTest : public testing::TutorFixture {
  protected:
    void SetUp() override {
        MakeDatabase(
            {{"a"}, {"ah", 0, 0, 0, 0, "say an ah"}, {"an", 3, 1}, {"ant"}, {"can"}, {"cat"}});
    }
    // Starts the worker and waits, bounded, until it has chosen its first word.
    void Start(Worker& worker) {
        ASSERT_TRUE(worker.Start());
        for (int i = 0; i < 60000 && OnShow() == -1; ++i)
            std::this_thread::sleep_for(1ms);
        ASSERT_NE(OnShow(), -1);
    }
    bool WaitIdle() {
        return state.idleEvent.Wait(60s) && state.workerRequest.load() == RequestIdle;
    }
    void PutOnShow(const std::string& word) {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        ShowSlot(SlotOf(word));
    }
    int32_t OnShow() {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        return state.currentRecord;
    }
    std::string WordOnShow() {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        return state.currentWord;
    }
    // One Word Details round trip as the window thread runs it; the dialog gets
    // its target and holds the lock.
    void RoundTrip(bool edit, const std::function<void(int32_t)>& dialog) {
        const int posted = window.CountCommand(CMD_WORD_DETAILS);
        ASSERT_TRUE(edit ? EditWordCommand(tutor) : AddWordCommand(tutor));
        ASSERT_TRUE(window.WaitForCommand(CMD_WORD_DETAILS, posted + 1));
        ASSERT_TRUE(WordDetailsCommand(tutor, [&] {
            std::lock_guard<std::recursive_mutex> guard(state.lock);
            EXPECT_EQ(state.workerRequest.load(), RequestDialogOpen);
            dialog(state.detailsTarget);
        }));
        ASSERT_TRUE(WaitIdle());
    }
};

TEST_F(WorkerTest, StartsWithAWordAndStopsWithCloseThenDestroy) {
    Worker worker(tutor, kNeverWakesBySelf);
    Start(worker);
    EXPECT_FALSE(worker.Start()) << "one worker at a time";
    EXPECT_FALSE(ExitCommand(tutor));
    auto joined = std::async(std::launch::async, [&] { worker.Join(); });
    ASSERT_EQ(joined.wait_for(60s), std::future_status::ready)
        << "the stop must not wait for the worker's own wake-up";
    EXPECT_TRUE(ExitCommand(tutor)) << "a second exit destroys the window at once";
    EXPECT_EQ(db.view, nullptr) << "the worker closes the database";
    const auto entries = window.Entries();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[entries.size() - 2].kind, RecordingWindow::Close);
    EXPECT_EQ(entries.back().kind, RecordingWindow::Command);
    EXPECT_EQ(entries.back().command, CMD_DESTROY);
}

TEST_F(WorkerTest, DialogGetsItsTargetAndTheResortFindsTheWordOnShowAgain) {
    Worker worker(tutor, kNeverWakesBySelf);
    Start(worker);
    PutOnShow("an");
    RoundTrip(true, [&](int32_t target) {
        EXPECT_EQ(target, 2);
        AddWord({"ab"}); // sort before "an"
        AddWord({"aa"});
    });
    EXPECT_EQ(WordOnShow(), "an") << "not a word or note that merely contains it";
    EXPECT_EQ(OnShow(), 4) << "sorted: a aa ab ah an";
    EXPECT_EQ(state.wordTotal, 3u);

    PutOnShow("a");
    RoundTrip(false, [&](int32_t target) {
        EXPECT_EQ(target, kDetailsNewWord);
        AddWord({"bat"});
    });
    EXPECT_EQ(OnShow(), 0) << "the word in slot 0 is found too";
    EXPECT_EQ(SlotOf("bat"), 6);
}

TEST_F(WorkerTest, ChangedWordFallsBackToARecordContainingItAndADeletedOneIsReplaced) {
    Worker worker(tutor, kNeverWakesBySelf);
    Start(worker);
    PutOnShow("an");
    RoundTrip(true, [&](int32_t target) {
        std::strcpy(db.textValue, "and");
        PutField(db, target, kFieldWord);
    });
    // Sorted: a ah and ant can cat; the first record after slot 0 containing "an",
    // here in its notes.
    EXPECT_EQ(WordOnShow(), "ah");

    PutOnShow("cat");
    RoundTrip(true, [&](int32_t target) { SetRecordTag(db, target, RecordDeleted); });
    ASSERT_TRUE(SlotLive(OnShow())) << "another word is shown, never the deleted one";
    EXPECT_EQ(WordAt(OnShow()), WordOnShow());
    EXPECT_NE(WordOnShow(), "cat");
}

TEST_F(WorkerTest, CommandsRefuseInsteadOfBlockingWhileARequestIsInHand) {
    Worker worker(tutor, kNeverWakesBySelf);
    Start(worker);
    ASSERT_TRUE(EditWordCommand(tutor));
    EXPECT_FALSE(EditWordCommand(tutor));
    EXPECT_FALSE(AddWordCommand(tutor));
    ASSERT_TRUE(window.WaitForCommand(CMD_WORD_DETAILS));

    // A closing Results Report clears the request before the dialog ran: the worker
    // counts as idle again at its next look, and the stale post is ignored.
    state.workerRequest = RequestIdle;
    state.wakeEvent.Set();
    ASSERT_TRUE(WaitIdle());
    int runs = 0;
    EXPECT_FALSE(WordDetailsCommand(tutor, [&] { ++runs; }));
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(AddWordCommand(tutor));
}

TEST_F(WorkerTest, RepeatedPostsOpenTheDialogOnce) {
    Worker worker(tutor, 5ms); // the worker repeats its post at every wake-up
    Start(worker);
    ASSERT_TRUE(EditWordCommand(tutor));
    ASSERT_TRUE(window.WaitForCommand(CMD_WORD_DETAILS, 3));
    int runs = 0;
    EXPECT_TRUE(WordDetailsCommand(tutor, [&] { ++runs; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(WordDetailsCommand(tutor, [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
}

TEST_F(WorkerTest, NothingIsHandedOverWithoutAWordOrOnceAStopIsUnderWay) {
    state.currentRecord = -1;
    EXPECT_FALSE(EditWordCommand(tutor));
    EXPECT_EQ(state.workerRequest.load(), RequestIdle);
    EXPECT_TRUE(state.idleEvent.IsSet());

    ResortWords(tutor); // with no word on show: another is chosen
    EXPECT_TRUE(SlotLive(state.currentRecord));
    EXPECT_EQ(WordAt(state.currentRecord), state.currentWord);

    EXPECT_FALSE(ExitCommand(tutor));
    EXPECT_TRUE(state.wakeEvent.IsSet());
    EXPECT_FALSE(AddWordCommand(tutor));
    EXPECT_FALSE(EditWordCommand(tutor));
    EXPECT_EQ(state.workerRequest.load(), RequestIdle);
}

using StressTest = testing::TutorFixture;

TEST_F(StressTest, ClicksDuringResortsLoseAndMisplaceNoTally) {
    std::vector<testing::WordSpec> words;
    for (int i = 0; i < 120; ++i) // spread so that added words land between them
        words.push_back({std::to_string(i * 7919 % 1000) + "-" + std::to_string(i)});
    MakeDatabase(words);
    settings.level = 6;
    random.counter = 12345;
    ShowSlot(0);

    // Tallies of the words the sorter deleted, taken just before each deletion.
    std::map<std::string, std::pair<uint32_t, uint32_t>> deleted;
    std::atomic<bool> clicking{true};
    std::atomic<int> resorts{0};
    std::thread sorter([&] {
        for (uint32_t pick = 1, added = 0; clicking.load(); ++resorts) {
            std::lock_guard<std::recursive_mutex> guard(state.lock);
            // Delete any word (the one on show included) and add one: the sort then
            // shifts the records in between.
            pick = pick * 1103515245u + 12345u;
            const int32_t victim = static_cast<int32_t>((pick >> 8) % db.liveCount);
            deleted[WordAt(victim)] = {NumberAt(victim, TotalField(0)),
                                       NumberAt(victim, CorrectField(0))};
            SetRecordTag(db, victim, RecordDeleted);
            AddWord({std::to_string(pick % 1000) + "+" + std::to_string(added++)});
            ResortWords(tutor);
        }
    });
    uint32_t answers = 0;
    for (int i = 0; i < 3000 || resorts.load() < 100; ++i) {
        answers += i % 3 != 2;
        HandleClick(tutor, i % 3 == 0 ? 50 : i % 3 == 1 ? 300 : 500, 280); // right, wrong, skip
    }
    clicking = false;
    sorter.join();

    // Per word: the answers the report says were given on it.
    std::map<std::string, std::pair<uint32_t, uint32_t>> reported;
    std::istringstream lines(ReportText(tutor));
    uint32_t lineCount = 0;
    for (std::string line; std::getline(lines, line); ++lineCount) {
        const size_t comma = line.rfind(", ");
        ASSERT_NE(comma, std::string::npos);
        auto& [total, correct] = reported[line.substr(0, comma)];
        ++total;
        correct += line.substr(comma + 2) == "Correct\r";
    }
    EXPECT_EQ(lineCount, answers);
    EXPECT_EQ(state.sessionTotal, answers);
    EXPECT_EQ(state.userTotal, answers);

    uint32_t stored = 0;
    const auto check = [&](const std::string& word, uint32_t total, uint32_t correct) {
        EXPECT_EQ(total, reported[word].first) << word;
        EXPECT_EQ(correct, reported[word].second) << word;
        stored += total;
    };
    for (int32_t slot = 0; static_cast<uint32_t>(slot) < db.capacity; ++slot) {
        if (SlotLive(slot)) {
            ASSERT_EQ(deleted.count(WordAt(slot)), 0u) << WordAt(slot);
            check(WordAt(slot), NumberAt(slot, TotalField(0)), NumberAt(slot, CorrectField(0)));
        }
    }
    for (const auto& [word, tallies] : deleted)
        check(word, tallies.first, tallies.second);
    EXPECT_EQ(stored, answers);
}

} // namespace
} // namespace lexipond
