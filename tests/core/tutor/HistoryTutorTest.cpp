// SPDX-License-Identifier: GPL-3.0-or-later
// The answer history as the tutor writes it: a scripted run of answers,
// clicks, skips, learner and level changes and undos leaves one row per answer
// and per undo, with the learner's name and the level of that moment, and the
// rows that were not taken back add up to exactly what the run did to the
// tallies in the word database, whose bytes the history leaves as they were.
#include "../history/HistoryTestSupport.h"
#include "TestSupport.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/WordStore.h"

#include <map>

namespace lexipond {
namespace {

using namespace testing;
using Guard = std::lock_guard<std::recursive_mutex>;

const char* const kWords[] = {"bed", "cat", "dig", "fox", "hat", "jam"};

// A tutor over a small database of its own, with or without a history.
struct World : TutorWorld {
    explicit World(bool withHistory) {
        db.fileName = folder / kWordDatabaseName;
        EXPECT_NE(CreateWordDatabase(db), 0);
        for (const char* word : kWords)
            AddWordRecord(db, word, "", {3, 2, 1, 1});
        std::strcpy(settings.userNames[0], "Zov");
        std::strcpy(settings.userNames[1], "Quen");
        settings.level = 3;
        SetUpUser(tutor);
        if (withHistory) {
            history.Start(folder.Slash());
            store.SetHistory(&history);
        }
    }
    ~World() { CloseRecordFile(db); }
    void Show(const char* word) { // as the word choice would
        Guard guard(tutor.lock);
        state.currentRecord = FindExactWord(tutor, word, 0);
        LoadCurrentWord(tutor);
    }
    // (learner, word) -> {total, correct} of every record now.
    std::map<std::pair<int, std::string>, std::pair<int, int>> Tallies() {
        std::map<std::pair<int, std::string>, std::pair<int, int>> tallies;
        ForEachLiveRecord(db, [&](int32_t slot) {
            for (uint32_t user = 0; user < 2; ++user)
                tallies[{int(user), ReadText(db, slot, kFieldWord).value_or("")}] = {
                    ReadNumber(db, slot, TotalField(user)).value_or(0),
                    ReadNumber(db, slot, CorrectField(user)).value_or(0)};
        });
        return tallies;
    }
    AnswerHistory history;
};

// The same run for every world; the click lands in the middle of a button.
void RunScript(World& w) {
    const auto click = [&](const ButtonPlace& place) {
        w.store.Click(uint16_t(place.left + place.width / 2),
                      uint16_t(place.top + place.height / 2));
    };
    OptionsChoices renamed;
    renamed.userNames[1] = "Quentin";
    w.Show("cat"), w.store.Answer(AnswerKind::Correct);   // row 1
    w.Show("bed"), click(kIncorrectPlace);                // row 2
    w.Show("fox"), w.store.Answer(AnswerKind::Skip);      // row 3
    w.store.Undo();                                       // row 4 takes back 3
    w.Show("cat"), w.store.Answer(AnswerKind::Incorrect); // row 5
    w.store.Undo();                                       // row 6 takes back 5
    w.store.ChooseLevel(6);
    w.Show("dig"), click(kCorrectPlace); // row 7
    w.store.ChooseUser(1);
    w.Show("cat"), w.store.Answer(AnswerKind::Correct);   // row 8
    w.Show("hat"), w.store.Answer(AnswerKind::Incorrect); // row 9
    w.store.StoreOptions(renamed);
    w.Show("hat"), w.store.Answer(AnswerKind::Correct); // row 10
    w.store.Undo();                                     // row 11 takes back 10
    w.store.Undo();                                     // row 12 takes back 9
    w.Show("jam"), click(kSkipPlace);                   // row 13
    w.store.ChooseUser(0);
    w.store.Undo(); // row 14 takes back 13, learner 1's, whoever is chosen now
    w.Show("cat"), w.store.Answer(AnswerKind::Correct); // row 15
    w.Show("fox");
    EXPECT_TRUE(w.store.AnswerListened(AnswerKind::Correct, "fox", "fox")); // row 16
    // A verdict arriving after the adult moved on is on a word no longer shown.
    w.Show("bed");
    EXPECT_FALSE(w.store.AnswerListened(AnswerKind::Correct, "fox", "fox"));
    EXPECT_FALSE(w.store.AnswerListened(AnswerKind::Correct, "", ""));
    EXPECT_TRUE(w.store.AnswerListened(AnswerKind::Incorrect, "bed", "bad")); // row 17
    w.store.Undo(); // row 18 takes back 17; the undo is the adult's, by key
}

TEST(HistoryTutorTest, EveryAnswerAndUndoIsARowThatMatchesTheTallies) {
    World w(true);
    const auto before = w.Tallies();
    RunScript(w);
    w.store.SetHistory(nullptr);
    w.history.Close();
    const std::vector<HistoryRow> rows = ReadHistoryRows(w.folder / kHistoryFileName);

    using enum HistoryAnswer;
    const JudgedBy key = JudgedBy::Key, click = JudgedBy::Click, heard = JudgedBy::Listening;
    const struct {
        int32_t slot;
        const char* name;
        const char* word;
        HistoryAnswer answer;
        int undoes; // the row number taken back, 0 for an answer
        int32_t level;
        JudgedBy judgedBy;
    } expected[] = {
        {0, "Zov", "cat", Correct, 0, 3, key},      {0, "Zov", "bed", Incorrect, 0, 3, click},
        {0, "Zov", "fox", Skip, 0, 3, key},         {0, "Zov", "fox", Skip, 3, 3, key},
        {0, "Zov", "cat", Incorrect, 0, 3, key},    {0, "Zov", "cat", Incorrect, 5, 3, key},
        {0, "Zov", "dig", Correct, 0, 6, click},    {1, "Quen", "cat", Correct, 0, 6, key},
        {1, "Quen", "hat", Incorrect, 0, 6, key},   {1, "Quentin", "hat", Correct, 0, 6, key},
        {1, "Quentin", "hat", Correct, 10, 6, key}, {1, "Quentin", "hat", Incorrect, 9, 6, key},
        {1, "Quentin", "jam", Skip, 0, 6, click},   {1, "Quentin", "jam", Skip, 13, 6, key},
        {0, "Zov", "cat", Correct, 0, 6, key},      {0, "Zov", "fox", Correct, 0, 6, heard},
        {0, "Zov", "bed", Incorrect, 0, 6, heard},  {0, "Zov", "bed", Incorrect, 17, 6, key},
    };
    ASSERT_EQ(rows.size(), std::size(expected));
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        const auto& e = expected[i];
        EXPECT_EQ(rows[i].learnerSlot, e.slot);
        EXPECT_EQ(rows[i].learnerName, e.name);
        EXPECT_EQ(rows[i].word, e.word);
        EXPECT_EQ(rows[i].answer, e.answer);
        EXPECT_EQ(rows[i].undoes,
                  e.undoes ? std::optional<int64_t>(rows[e.undoes - 1].id) : std::nullopt);
        EXPECT_EQ(rows[i].level, e.level);
        EXPECT_EQ(rows[i].judgedBy, e.judgedBy);
        // What was heard is kept with the listened answers only.
        EXPECT_EQ(rows[i].heard, i == 15   ? std::optional<std::string>("fox")
                                 : i == 16 ? std::optional<std::string>("bad")
                                           : std::nullopt);
    }

    // What the rows not taken back add to the tallies is what the file holds.
    std::set<int64_t> undone;
    for (const HistoryRow& row : rows)
        if (row.undoes)
            undone.insert(*row.undoes);
    auto fromHistory = before;
    for (const HistoryRow& row : rows) {
        if (row.undoes || undone.count(row.id) || row.answer == Skip)
            continue;
        auto& [total, correct] = fromHistory[{row.learnerSlot, row.word}];
        ++total;
        correct += row.answer == Correct;
    }
    EXPECT_EQ(fromHistory, w.Tallies());
}

TEST(HistoryTutorTest, TheWordDatabaseAndTheReportAreTheSameWithOrWithoutAHistory) {
    World with(true), without(false);
    RunScript(with);
    RunScript(without);
    EXPECT_TRUE(ReadBytes(with.db.fileName) == ReadBytes(without.db.fileName));
    EXPECT_EQ(ReportText(with.tutor), ReportText(without.tutor));
    EXPECT_EQ(with.state.userTotal, without.state.userTotal);
    EXPECT_EQ(with.state.sessionCorrect, without.state.sessionCorrect);
    with.history.Flush();
    EXPECT_EQ(with.history.Committed(), 18u);
}

TEST(HistoryTutorTest, AnUndoRefusedForAGoneWordWritesNothing) {
    World w(true);
    w.Show("fox"), w.store.Answer(AnswerKind::Correct);
    w.store.SaveWord(FindExactWord(w.tutor, "fox", 0), "fax", std::nullopt);
    ASSERT_EQ(w.store.Undo(), UndoOutcome::WordGone);
    w.Show("cat"), w.store.Answer(AnswerKind::Incorrect);
    w.history.Close();
    const std::vector<HistoryRow> rows = ReadHistoryRows(w.folder / kHistoryFileName);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].word, "fox");
    EXPECT_EQ(rows[1].word, "cat");
    EXPECT_FALSE(rows[0].undoes || rows[1].undoes);
}

} // namespace
} // namespace lexipond
