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
using Guard = std::lock_guard<std::recursive_mutex>;

// Long enough that a protocol relying on the time-out instead of a wake-up fails.
constexpr std::chrono::milliseconds kNeverWakesBySelf = std::chrono::hours(1);

class WorkerTest : public testing::TutorFixture {
  protected:
    void SetUp() override {
        MakeDatabase({{"a"}, {"ah", {}, "say an ah"}, {"an", {3, 1}}, {"ant"}, {"can"}, {"cat"}});
    }
    // Starts the worker and waits, bounded, until it has chosen its first word.
    void Start(Worker& worker) {
        ASSERT_TRUE(worker.Start());
        for (int i = 0; i < 60000; ++i, std::this_thread::sleep_for(1ms)) {
            Guard guard(state.lock);
            if (state.currentRecord != -1)
                return;
        }
        FAIL() << "no first word";
    }
    bool WaitIdle() { return state.idleEvent.Wait(60s) && state.workerRequest == RequestIdle; }
    // One Word Details round trip as the window thread runs it, with the word on show
    // put first; the dialog gets its target and holds the lock.
    void RoundTrip(const char* onShow, bool edit, const std::function<void(int32_t)>& dialog) {
        {
            Guard guard(state.lock);
            ShowSlot(SlotOf(onShow));
        }
        const int posted = window.CountCommand(CMD_WORD_DETAILS);
        ASSERT_TRUE(edit ? EditWordCommand(tutor) : AddWordCommand(tutor));
        ASSERT_TRUE(window.WaitForCommand(CMD_WORD_DETAILS, posted + 1));
        ASSERT_TRUE(WordDetailsCommand(tutor, [&] {
            Guard guard(state.lock);
            EXPECT_EQ(state.workerRequest, RequestDialogOpen);
            dialog(state.detailsTarget);
        }));
        ASSERT_TRUE(WaitIdle()); // the worker's writes are visible from here on
        EXPECT_EQ(WordAt(state.currentRecord), state.currentWord);
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
    EXPECT_EQ(entries[entries.size() - 2].kind, testing::RecordingWindow::Close);
    EXPECT_EQ(entries.back().kind, testing::RecordingWindow::Command);
    EXPECT_EQ(entries.back().command, CMD_DESTROY);
}

TEST_F(WorkerTest, ResortAfterTheDialogFindsTheWordOnShowAgain) {
    Worker worker(tutor, kNeverWakesBySelf);
    Start(worker);
    RoundTrip("an", true, [&](int32_t target) {
        EXPECT_EQ(target, 2);
        AddWord({"ab"}); // sort before "an"
        AddWord({"aa"});
    });
    EXPECT_STREQ(state.currentWord, "an") << "not a word or a note that contains it";
    EXPECT_EQ(state.currentRecord, 4) << "sorted: a aa ab ah an";
    EXPECT_EQ(state.wordTotal, 3u);

    RoundTrip("a", false, [&](int32_t target) {
        EXPECT_EQ(target, kDetailsNewWord);
        AddWord({"bat"});
    });
    EXPECT_EQ(state.currentRecord, 0) << "the word in slot 0 is found too";

    // A changed word: the first record after slot 0 containing the old text, here in
    // its notes (sorted: a ah and ant bat can cat).
    RoundTrip("an", true, [&](int32_t target) {
        std::strcpy(db.textValue, "and");
        PutField(db, target, kFieldWord);
    });
    EXPECT_STREQ(state.currentWord, "ah");

    // A deleted word that nothing contains any more: another word is shown.
    RoundTrip("cat", true, [&](int32_t target) { SetRecordTag(db, target, RecordDeleted); });
    EXPECT_STRNE(state.currentWord, "cat");
    EXPECT_TRUE(SlotLive(state.currentRecord));
}

TEST_F(WorkerTest, CommandsRefuseWhileARequestIsInHandAndRepeatedPostsOpenOneDialog) {
    Worker worker(tutor, 5ms); // the worker repeats its post at every wake-up
    Start(worker);
    ASSERT_TRUE(EditWordCommand(tutor));
    EXPECT_FALSE(EditWordCommand(tutor));
    EXPECT_FALSE(AddWordCommand(tutor));
    ASSERT_TRUE(window.WaitForCommand(CMD_WORD_DETAILS, 3));
    int runs = 0;
    EXPECT_TRUE(WordDetailsCommand(tutor, [&] { ++runs; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(WordDetailsCommand(tutor, [&] { ++runs; })) << "a stale repeat is ignored";
    EXPECT_EQ(runs, 1);

    // A closing Results Report clears a request before its dialog ran: the worker
    // counts as idle again at its next look, and new commands are accepted.
    ASSERT_TRUE(AddWordCommand(tutor));
    state.workerRequest = RequestIdle;
    state.wakeEvent.Set();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(EditWordCommand(tutor));
}

TEST_F(WorkerTest, NothingIsHandedOverWithoutAWordOrOnceAStopIsUnderWay) {
    EXPECT_FALSE(EditWordCommand(tutor)) << "no word on show";
    EXPECT_TRUE(state.idleEvent.IsSet());
    ResortWords(tutor); // with no word on show, one is chosen
    EXPECT_TRUE(SlotLive(state.currentRecord));
    EXPECT_EQ(WordAt(state.currentRecord), state.currentWord);

    EXPECT_FALSE(ExitCommand(tutor));
    EXPECT_TRUE(state.wakeEvent.IsSet());
    EXPECT_FALSE(AddWordCommand(tutor));
    EXPECT_FALSE(EditWordCommand(tutor));
    EXPECT_EQ(state.workerRequest, RequestIdle);
}

using StressTest = testing::TutorFixture;

TEST_F(StressTest, ClicksDuringResortsLoseAndMisplaceNoTally) {
    std::vector<testing::WordEntry> words;
    for (int i = 0; i < 120; ++i) // spread so that added words land between them
        words.push_back({std::to_string(i * 7919 % 1000) + "-" + std::to_string(i)});
    MakeDatabase(words);
    settings.level = 6;
    ShowSlot(0);

    // Total and correct answers per word: stored (for a deleted word, just before its
    // deletion) and reported.
    std::map<std::string, std::pair<uint32_t, uint32_t>> stored, reported;
    const auto keep = [&](int32_t slot) {
        if (NumberAt(slot, TotalField(0)) != 0)
            stored[WordAt(slot)] = {NumberAt(slot, TotalField(0)), NumberAt(slot, CorrectField(0))};
    };
    std::atomic<bool> clicking{true};
    std::atomic<int> resorts{0};
    std::thread sorter([&] {
        for (uint32_t pick = 1; clicking; ++resorts) {
            Guard guard(state.lock);
            // Delete any word (the one on show included) and add one: the sort then
            // shifts the records in between.
            pick = pick * 1103515245u + 12345u;
            const auto victim = static_cast<int32_t>((pick >> 8) % db.liveCount);
            keep(victim);
            SetRecordTag(db, victim, RecordDeleted);
            AddWord({std::to_string(pick % 1000) + "+" + std::to_string(resorts)});
            ResortWords(tutor);
        }
    });
    uint32_t answers = 0;
    for (int i = 0; i < 3000 || resorts < 100; ++i) {
        answers += i % 3 != 2;
        HandleClick(tutor, i % 3 == 0 ? 50 : i % 3 == 1 ? 300 : 500, 280); // right, wrong, skip
    }
    clicking = false;
    sorter.join();

    std::istringstream lines(ReportText(tutor));
    uint32_t lineCount = 0;
    for (std::string line; std::getline(lines, line); ++lineCount) {
        const size_t comma = line.rfind(", ");
        auto& [total, correct] = reported[line.substr(0, comma)];
        ++total;
        correct += line.substr(comma + 2) == "Correct\r";
    }
    for (int32_t slot = 0; static_cast<uint32_t>(slot) < db.capacity; ++slot)
        if (SlotLive(slot))
            keep(slot);
    EXPECT_EQ(stored, reported);
    EXPECT_EQ(state.sessionTotal, answers);
    EXPECT_EQ(state.userTotal, answers);
    EXPECT_EQ(lineCount, answers);
}

} // namespace
} // namespace lexipond
