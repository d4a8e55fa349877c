// SPDX-License-Identifier: GPL-3.0-or-later
// Word choice with scripted random numbers, answers, the report, the counters and the
// worker's request protocol, over a real temporary word database.
#include "TestSupport.h"
#include "core/recordfile/SortRecords.h"
#include "core/settings/Settings.h"
#include "core/tutor/Commands.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/Worker.h"

#include <algorithm>
#include <future>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace lexipond {
namespace {

using namespace std::chrono_literals;
using Guard = std::lock_guard<std::recursive_mutex>;
using Counts = std::vector<uint32_t>;

class TutorTest : public ::testing::Test {
  protected:
    TutorTest() { db.fileName = folder / kWordDatabaseName; }
    ~TutorTest() override { CloseRecordFile(db); }

    // Words separated by spaces; for each, the total and correct answers of user slot 0,
    // then of slot 1.
    void MakeDatabase(const std::string& words, const std::vector<Counts>& tallies = {}) {
        ASSERT_NE(CreateWordDatabase(db), 0);
        std::istringstream in(words);
        for (std::string word; in >> word;)
            AddWord(word, tallies.size() > db.liveCount ? tallies[db.liveCount] : Counts{});
    }
    void AddWord(const std::string& word, const Counts& tallies = {}) {
        const int32_t slot = AddRecord(db);
        WriteText(db, slot, kFieldWord, word);
        for (uint32_t i = 0; i < tallies.size(); ++i)
            WriteNumber(db, slot, TotalField(0) + i, static_cast<int32_t>(tallies[i]));
    }
    Counts Tallies(int32_t slot, uint32_t user = 0) {
        Counts counts;
        for (const uint32_t field : {TotalField(user), CorrectField(user)})
            counts.push_back(static_cast<uint32_t>(ReadNumber(db, slot, field).value_or(-1)));
        return counts;
    }
    std::string WordAt(int32_t slot) { return ReadText(db, slot, kFieldWord).value_or("<none>"); }
    void ShowSlot(int32_t slot) { // as ChooseNextWord would
        Guard guard(tutor.lock);
        state.currentRecord = slot;
        LoadCurrentWord(tutor);
    }

    testing::TempFolder folder;
    RecordFile db;
    SettingsBlock settings{};
    TutorState state;
    testing::ScriptedRandom random;
    testing::RecordingWindow window;
    WordStore store{db, settings, state, random, window};
    Tutor& tutor = store.Core();
};

TEST_F(TutorTest, RandomBelowStaysInRangeAndReachesEveryValueFromEitherGenerator) {
    // The source gives 1..n, each value equally often over a whole cycle of its values;
    // when it fails, the fallback generator gives 0..n (0 stands for n at the callers),
    // wrapping products near 2^32 included, and keeps moving with the ticks.
    const std::pair<const char*, uint32_t> rows[] = {{"two", 2},
                                                     {"ten", 10},
                                                     {"a prime", 997},
                                                     {"past 16 bits", 100000},
                                                     {"near 2^32", 4000000000u}};
    for (const auto& [name, n] : rows) {
        SCOPED_TRACE(name);
        random.failing = false;
        random.counter = 0;
        std::map<uint32_t, int> hits;
        const uint32_t cycle = n <= 1000 ? 2 * n : 2000;
        for (uint32_t i = 0; i < cycle; ++i)
            ++hits[RandomBelow(tutor, n)];
        for (const uint32_t value : {0u, n - 1, n, UINT32_MAX}) {
            random.script = {value};
            const uint32_t r = RandomBelow(tutor, n);
            EXPECT_TRUE(r >= 1 && r <= n) << "source value " << value << " gave " << r;
        }
        EXPECT_EQ(hits.begin()->first, 1u);
        EXPECT_LE(hits.rbegin()->first, n);
        if (n <= 1000) {
            EXPECT_EQ(hits.size(), n);
            EXPECT_TRUE(std::all_of(hits.begin(), hits.end(), [](const auto& hit) {
                return hit.second == 2;
            })) << "not every value equally often";
        }

        random.failing = true;
        state.randomState = 0;
        random.ticks.clear();
        for (uint32_t t = 0; t < 2000; ++t)
            random.ticks.push_back(t * 7 + 1);
        std::set<uint32_t> seen;
        for (int i = 0; i < 2000; ++i)
            seen.insert(RandomBelow(tutor, n));
        EXPECT_LE(*seen.rbegin(), n);
        EXPECT_GE(seen.size(), std::min<size_t>(n + 1, 100)) << "the fallback got stuck";
    }
    random.failing = true;
    random.fills = random.tickReads = 0;
    for (const uint32_t n : {0u, 1u})
        EXPECT_EQ(RandomBelow(tutor, n), 1u) << n;
    EXPECT_EQ(random.fills + random.tickReads, 0) << "n of 0 or 1 needs no source";
}

enum { A, B, C, F, G, H, I }; // slots in the order the words are added

class TutoringTest : public TutorTest {
  protected:
    void SetUp() override {
        MakeDatabase("alpha bravo charlie foxtrot golf hotel india",
                     {{10, 9, 10, 1}, {10, 1, 10, 9}, {10, 7}, {10, 5}, {2, 1}, {0, 5}, {1, 1}});
    }
};

TEST_F(TutoringTest, ChoiceDrawsCandidatesByLevelKeepsTheBestScoreAndGivesUpAfter1000Draws) {
    // Rows: word on show, level, user, draws (all the first slot but the last), expected.
    const struct {
        const char* name;
        int onShow, level, user, draws, first, last, expected;
    } rows[] = {
        {"easiest keeps the best ratio of ten", -1, 0, 0, 10, A, B, A},
        {"hardest keeps the worst ratio of ten", -1, 6, 0, 10, A, B, B},
        {"the current user's tallies count", -1, 0, 1, 10, A, B, B},
        {"easier draws seven", -1, 1, 0, 7, B, A, A},
        {"harder draws seven", -1, 5, 0, 7, A, B, B},
        {"easy draws five", -1, 2, 0, 5, B, A, A},
        {"hard draws five", -1, 4, 0, 5, A, B, B},
        {"normal draws one", -1, 3, 0, 1, B, A, A},
        {"a damaged level compares as a large one", -1, -1, 0, 5, A, B, B},
        {"never asked beats every score", -1, 0, 0, 10, I, H, H},
        {"on equal scores the first drawn stays", -1, 2, 0, 5, F, G, F},
        {"the word on show is drawn again", A, 3, 0, 999, A, B, B},
        {"but the 1000th draw is thrown away", A, 3, 0, 1000, A, B, -1},
    };
    for (const auto& [name, onShow, level, user, draws, first, last, expected] : rows) {
        SCOPED_TRACE(name);
        settings.level = level;
        settings.currentUser = user;
        ShowSlot(onShow);
        random.script.assign(draws - 1, first);
        random.script.push_back(last);
        random.fills = 0;
        EXPECT_EQ(ChooseNextWord(tutor), expected);
        EXPECT_EQ(random.fills, draws);
        const int32_t shown = expected == -1 ? onShow : expected;
        EXPECT_EQ(state.currentWord, WordAt(shown));
        EXPECT_EQ((Counts{state.wordTotal, state.wordCorrect}), Tallies(shown, user));
    }
}

TEST_F(TutoringTest, EveryLiveWordIsShownEquallyOftenAndFreeSlotsNever) {
    // Free slots inside the record area as well as behind it.
    SetRecordTag(db, C, RecordDeleted);
    SetRecordTag(db, G, RecordDeleted);
    settings.level = 3; // one candidate per choice
    random.counter = 0; // draws walk through every slot in turn
    std::map<int32_t, int> shown;
    for (int i = 0; i < 5 * 5; ++i)
        ++shown[ChooseNextWord(tutor)];
    EXPECT_EQ(shown.size(), 5u);
    for (const auto& [slot, count] : shown) // slot 0 included
        EXPECT_TRUE(count == 5 && FindRecordByTag(db, RecordLive, slot) == slot) << slot;
}

TEST_F(TutoringTest, ClickBandsDecideWhatIsRecorded) {
    enum { Nothing, Skip, Correct, Incorrect };
    const std::string lines[] = {"", "", "alpha, Correct\r\n", "alpha, Incorrect\r\n"};
    const struct {
        const char* name;
        int x, y, outcome;
    } rows[] = {{"Correct's left edge", 15, 280, Nothing},
                {"Correct's right edge", 155, 280, Nothing},
                {"Correct's top left inside", 16, 268, Correct},
                {"Correct's bottom right inside", 154, 301, Correct},
                {"Correct's top edge", 16, 267, Nothing},
                {"Correct's bottom edge", 16, 302, Nothing},
                {"between Correct and Incorrect", 200, 280, Nothing},
                {"Incorrect's left edge", 235, 280, Nothing},
                {"Incorrect's left inside", 236, 280, Incorrect},
                {"Incorrect's bottom right inside", 374, 301, Incorrect},
                {"Incorrect's right edge", 375, 280, Nothing},
                {"Skip's left edge", 450, 290, Nothing},
                {"Skip's left inside", 451, 290, Skip},
                {"Skip's top right inside", 589, 268, Skip},
                {"Skip's right edge", 590, 290, Nothing}};
    for (const auto& [name, x, y, outcome] : rows) {
        SCOPED_TRACE(name);
        ShowSlot(A);
        const Counts was = Tallies(A);
        const std::string report = ReportText(tutor) + lines[outcome];
        HandleClick(tutor, static_cast<uint16_t>(x), static_cast<uint16_t>(y));
        EXPECT_EQ(Tallies(A),
                  (Counts{was[0] + (outcome >= Correct), was[1] + (outcome == Correct)}));
        EXPECT_EQ(ReportText(tutor), report);
        EXPECT_EQ(state.currentRecord != A, outcome != Nothing);
    }
}

TEST_F(TutoringTest, AnswersTallyTheCurrentUserUntilSetUpUserStartsAFreshSession) {
    std::strcpy(settings.userNames[0], "Zov");
    settings.currentUser = 1;
    SetUpUser(tutor);
    RecordAnswer(tutor, true); // no word on show: nothing to tally
    ShowSlot(A);
    RecordAnswer(tutor, true);
    ShowSlot(B);
    RecordAnswer(tutor, false);
    const std::string report = "alpha, Correct\r\nbravo, Incorrect\r\n";
    EXPECT_EQ(ReportText(tutor), report);
    EXPECT_EQ(
        (Counts{state.sessionTotal, state.sessionCorrect, state.userTotal, state.userCorrect}),
        (Counts{2, 1, 20 + 2, 10 + 1}));
    EXPECT_EQ(Tallies(A, 1), (Counts{11, 2}));
    settings.currentUser = 77; // a damaged settings file: the first user
    SetUpUser(tutor);
    EXPECT_EQ(
        (Counts{state.sessionTotal, state.sessionCorrect, state.userTotal, state.userCorrect}),
        (Counts{0, 0, 43, 29}));
    EXPECT_STREQ(state.currentUserName, "Zov");
    EXPECT_EQ(ReportText(tutor), report);
    EXPECT_EQ((Counts{state.wordTotal, state.wordCorrect}), Tallies(B)) << "the word on show";
}

TEST_F(TutoringTest, ReportStopsGrowingAtItsLimitButTalliesGoOn) {
    const struct {
        const char* name;
        uint32_t length; // of the report before the answer
        bool added;
    } rows[] = {{"one below the limit: added, crossing it", kReportTextLimit - 1, true},
                {"exactly at the limit: not added", kReportTextLimit, false},
                {"past the limit: not added", kReportTextLimit + 17, false}};
    char* buffer = state.reportBuffer.get();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ShowSlot(A);
        std::memset(buffer, 'x', row.length);
        buffer[row.length] = '\0';
        state.reportLength = row.length;
        const Counts was = Tallies(A);
        RecordAnswer(tutor, false);
        EXPECT_STREQ(buffer + row.length, row.added ? "alpha, Incorrect\r\n" : "");
        EXPECT_EQ(state.reportLength, std::strlen(buffer));
        EXPECT_EQ(Tallies(A), (Counts{was[0] + 1, was[1]})) << "tallied all the same";
    }
}

TEST_F(TutorTest, ResortFindsTheWordOnShowAgainAndStopDoesNotWaitForTheWakeUp) {
    MakeDatabase("a ah an ant can cat", {{}, {}, {3, 1}});
    Worker worker(tutor, std::chrono::hours(1)); // wakes only when told to
    ASSERT_TRUE(worker.Start());
    for (int i = 0; i < 60000 && window.CountInvalidated() < 2; ++i) // until a word is on show
        std::this_thread::sleep_for(1ms);
    // One word dialog round trip as the window thread runs it, with slot onShow on show.
    const auto roundTrip = [&](int32_t onShow, bool edit, auto dialog) {
        ShowSlot(onShow);
        const int posted = window.CountCommand(CMD_WORD_DETAILS);
        ASSERT_TRUE(edit ? EditWordCommand(tutor) : AddWordCommand(tutor));
        EXPECT_FALSE(EditWordCommand(tutor) || AddWordCommand(tutor)) << "one request at a time";
        ASSERT_TRUE(window.WaitForCommand(CMD_WORD_DETAILS, posted + 1));
        ASSERT_TRUE(WordDetailsCommand(tutor, [&] { dialog(state.detailsTarget); }));
        ASSERT_TRUE(state.idleEvent.Wait(60s) && state.workerRequest == RequestIdle);
        EXPECT_FALSE(WordDetailsCommand(tutor, {})) << "a repeated post opens no second dialog";
        EXPECT_EQ(WordAt(state.currentRecord), state.currentWord);
    };
    roundTrip(2, true, [&](int32_t target) {
        EXPECT_EQ(target, 2);
        AddWord("aan"); // sorts before "an" and contains it
        AddWord("ab");
    });
    EXPECT_EQ(state.currentRecord, 4) << "sorted: a aan ab ah an";
    roundTrip(0, false, [&](int32_t target) {
        EXPECT_EQ(target, kDetailsNewWord);
        AddWord("bat");
    });
    EXPECT_EQ(state.currentRecord, 0) << "the word in slot 0 is found too";

    EXPECT_FALSE(ExitCommand(tutor));
    auto joined = std::async(std::launch::async, [&] { worker.Join(); });
    ASSERT_EQ(joined.wait_for(60s), std::future_status::ready);
    EXPECT_EQ(db.view, nullptr) << "the worker closes the database";
    const auto entries = window.Entries();
    EXPECT_EQ(entries[entries.size() - 2].kind, testing::RecordingWindow::Close);
    EXPECT_EQ(entries.back().command, CMD_DESTROY);
}

TEST_F(TutorTest, ResortFindsTheWordOnShowOrTheFirstRecordAfterOldMinusTenHoldingIt) {
    // Slots after a sort: a0..a9 (0-9), bm (10), cm (11), d0..d7 (12-19), m (20),
    // x0..x9 (21-30). Only bm and cm hold "m" besides m itself.
    std::string words = "bm cm m";
    for (const char* prefix : {"a", "d", "x"})
        for (int i = 0; i < (*prefix == 'd' ? 8 : 10); ++i)
            words += std::string(" ") + prefix + std::to_string(i);
    MakeDatabase(words);
    const struct {
        const char* name;
        int32_t onShow;
        std::function<void()> dialog; // what the Word Details dialog did
        std::string shownAfter;       // "" for a word chosen afresh
    } rows[] = {
        {"unchanged: the word itself", 20, [] {}, "m"},
        {"renamed: the first after slot 20 - 10 that holds its text", 20,
         [&] { WriteText(db, 20, kFieldWord, "n"); }, "cm"},
        {"deleted with nothing holding its text: another word", 25,
         [&] { SetRecordTag(db, 25, RecordDeleted); }, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SortRecords(db, kFieldWord);
        ASSERT_EQ(WordAt(10) + WordAt(11) + WordAt(20), "bmcmm");
        ShowSlot(row.onShow);
        const std::string before = state.currentWord;
        row.dialog();
        ResortWords(tutor);
        ASSERT_TRUE(SlotIsLive(db, state.currentRecord)) << "no word on show";
        EXPECT_EQ(state.currentWord, WordAt(state.currentRecord));
        if (!row.shownAfter.empty())
            EXPECT_EQ(state.currentWord, row.shownAfter);
        else
            EXPECT_NE(state.currentWord, before);
        // Back to the words of the comment for the next row.
        WriteText(db, 20, kFieldWord, "m");
        if (row.onShow == 25)
            AddWord(before);
    }
}

} // namespace
} // namespace lexipond
