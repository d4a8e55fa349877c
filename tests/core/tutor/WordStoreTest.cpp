// SPDX-License-Identifier: GPL-3.0-or-later
// The word store against a running worker: the window thread's calls go on
// while the worker re-sorts after each word dialog. An operation that forgot
// the lock shows as a data race under the tsan preset, and as tallies stored on
// the wrong word or a report that does not add up in any build.
#include "TestSupport.h"
#include "core/tutor/Commands.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/WordStore.h"
#include "core/tutor/Worker.h"

#include <map>
#include <sstream>

namespace lexipond {
namespace {

using namespace std::chrono_literals;
using Counts = std::vector<uint32_t>;

// Words in the database at the start.
constexpr size_t kWords = 120;

class WordStoreTest : public ::testing::Test, public testing::TutorWorld {
  protected:
    WordStoreTest() {
        db.fileName = folder / kWordDatabaseName;
        testing::MakeWordDatabase(db.fileName, testing::NumberedWords(kWords));
        EXPECT_EQ(OpenRecordFile(db, db.fileName, Access::ReadWrite), OpenResult::Opened);
    }
    ~WordStoreTest() override { CloseRecordFile(db); }

    // One answer, skip or miss on the window thread, and what the window would
    // read back; the session's tally must count every answer exactly once.
    void ActLikeTheWindow() {
        static constexpr uint16_t kAt[] = {50, 300, 500, 200}; // right, wrong, skip, between
        const uint16_t x = kAt[clicks++ % 4];
        store.Click(x, 280);
        answers += x == 50 || x == 300;
        ShownScores scores;
        if (store.TryShownScores(scores)) {
            EXPECT_EQ(scores.sessionTotal, answers);
        }
        const ReportPiece piece = store.ReportFrom(report.size());
        EXPECT_FALSE(piece.restarted);
        report += piece.text;
        EXPECT_EQ(report.size(), piece.length);
        store.WordOnShow();
    }

    // What the Word Details dialog does in one opening: add, copy, rename, delete
    // (which sorts), or save the word on show unchanged.
    void RunDialog(int round) {
        const int32_t target = store.DetailsTarget();
        if (target != kDetailsNewWord) {
            WordDetails shown;
            ASSERT_TRUE(store.OpenWord(target, shown));
            EXPECT_TRUE(
                store.SaveWord(target, shown.word, "seen in round " + std::to_string(round)));
            return;
        }
        const int32_t added = store.AddNewWord();
        const int32_t copy = store.AddCopyOf("copy" + std::to_string(round), "");
        ASSERT_GE(added, 0);
        ASSERT_GE(copy, 0);
        EXPECT_TRUE(store.SaveWord(added, "added" + std::to_string(round), ""));
        EXPECT_TRUE(store.DeleteWord(copy));
        ++wordsAdded;
    }

    // Total and correct answers per word, as stored.
    std::map<std::string, Counts> StoredTallies() {
        std::map<std::string, Counts> stored;
        for (const int32_t slot : store.ListWords().wordSlots) {
            WordDetails details;
            EXPECT_TRUE(store.OpenWord(slot, details));
            if (details.total[0] != 0)
                stored[details.word] = {details.total[0], details.correct[0]};
        }
        return stored;
    }

    // The same, counted from the report's lines.
    std::map<std::string, Counts> ReportedTallies() const {
        std::map<std::string, Counts> given;
        std::istringstream lines(report);
        for (std::string line; std::getline(lines, line);) {
            const size_t comma = line.rfind(", ");
            Counts& counts = given.try_emplace(line.substr(0, comma), Counts{0, 0}).first->second;
            counts = {counts[0] + 1, counts[1] + (line.substr(comma + 2) == "Correct\r")};
        }
        return given;
    }

    uint32_t clicks = 0, answers = 0;
    std::string report;
    size_t wordsAdded = 0;
};

TEST_F(WordStoreTest, WindowCallsDuringResortsLoseAndMisplaceNothing) {
    constexpr int kRounds = 40;
    Worker worker(tutor, std::chrono::hours(1)); // wakes only when told to
    ASSERT_TRUE(worker.Start());
    for (int i = 0; i < 60000 && store.WordOnShow().empty(); ++i)
        std::this_thread::sleep_for(1ms);
    ASSERT_FALSE(store.WordOnShow().empty()) << "the worker showed no word";

    size_t imported = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int posted = window.CountCommand(CMD_WORD_DETAILS);
        ASSERT_TRUE(round % 2 == 0 ? store.RequestAdd() : store.RequestEdit());
        while (window.CountCommand(CMD_WORD_DETAILS) == posted)
            ActLikeTheWindow();
        ASSERT_TRUE(store.RunWordDetails([&] { RunDialog(round); }));
        // The worker re-sorts now; the window goes on answering and importing.
        const std::string list = folder / ("list" + std::to_string(round) + ".txt");
        testing::WriteWordList(list, 3, "imp" + std::to_string(round) + "w");
        imported += store.ImportWordList(list.c_str());
        store.ChooseLevel(round % kLevelCount);
        while (!state.idleEvent.Wait(0ms))
            ActLikeTheWindow();
    }
    EXPECT_EQ(imported, 3u * kRounds);
    EXPECT_EQ(store.ListWords().words.size(), kWords + imported + wordsAdded);
    EXPECT_EQ(report, ReportText(tutor));
    EXPECT_EQ(StoredTallies(), ReportedTallies());
    EXPECT_GT(answers, 0u);

    EXPECT_FALSE(store.RequestStop());
    worker.Join();
    EXPECT_EQ(db.view, nullptr) << "the worker closes the database";
}

TEST_F(WordStoreTest, OptionsCutNamesKeepAnUnchosenLevelAndStartAFreshSession) {
    std::strcpy(settings.userNames[1], "Ren\xE9"); // Windows-1252, as an old file holds it
    std::strcpy(settings.userNames[2], "Pelty");
    SetUpUser(tutor);
    state.currentRecord = 0;
    LoadCurrentWord(tutor);
    store.Click(50, 280);
    settings.level = 6;
    const struct {
        const char* name;
        std::string typed;
        int32_t level, levelAfter;
        std::string storedName;
    } rows[] = {{"a level chosen", "Ada", 2, 2, "Ada"},
                {"no level chosen", "Bo", -1, 2, "Bo"},
                {"a cut inside a character", std::string(98, 'n') + "\xc3\xa9", 4, 4,
                 std::string(98, 'n')}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        OptionsChoices choices;
        choices.userNames[0] = row.typed;
        choices.userNames[2] = "";
        choices.level = row.level;
        choices.transparencyAlpha = 76;
        choices.confirmQuit = 1;
        store.StoreOptions(choices);
        EXPECT_EQ(settings.level, row.levelAfter);
        EXPECT_EQ(std::string(settings.userNames[0]), row.storedName);
        EXPECT_EQ(std::string(settings.userNames[1]), "Ren\xE9") << "a name not given stays";
        EXPECT_EQ(std::string(settings.userNames[2]), "") << "an empty field stores an empty name";
        EXPECT_EQ((Counts{uint32_t(settings.transparencyAlpha), uint32_t(settings.confirmQuit)}),
                  (Counts{76, 1}));
        ShownScores scores;
        ASSERT_TRUE(store.TryShownScores(scores));
        EXPECT_EQ(scores.userName, row.storedName);
        EXPECT_EQ((Counts{scores.sessionTotal, scores.userTotal}), (Counts{0, 1}))
            << "a fresh session, the user's tallies kept";
    }
}

} // namespace
} // namespace lexipond
