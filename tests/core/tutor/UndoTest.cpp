// SPDX-License-Identifier: GPL-3.0-or-later
// Undo over a real word database file: every step back must leave the file's
// bytes, the report and the counts exactly as they were before that answer,
// for the learner who answered, and must never touch a word other than the
// one answered, even after it was sorted away, renamed or deleted.
#include "TestSupport.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/WordStore.h"
#include "core/tutor/Worker.h"

namespace lexipond {
namespace {

using Guard = std::lock_guard<std::recursive_mutex>;
using Counts = std::vector<uint32_t>;

class UndoTest : public ::testing::Test, public testing::TutorWorld {
  protected:
    UndoTest() {
        db.fileName = folder / kWordDatabaseName;
        EXPECT_NE(CreateWordDatabase(db), 0);
        // Total and correct of learner 0, then of learner 1.
        testing::AddWordRecord(db, "bed", "", {4, 3, 2, 0});
        testing::AddWordRecord(db, "cat", "a pet", {7, 1, 1, 1});
        testing::AddWordRecord(db, "dig", "", {0, 0, 5, 5});
        testing::AddWordRecord(db, "fox", "", {2, 2, 0, 0});
        SetUpUser(tutor);
    }
    ~UndoTest() override { CloseRecordFile(db); }

    std::string WordAt(int32_t slot) { return ReadText(db, slot, kFieldWord).value_or(""); }
    int32_t SlotOf(const std::string& word) { return FindExactWord(tutor, word.c_str(), 0); }
    void Show(const std::string& word) { // as the word choice would
        Guard guard(tutor.lock);
        state.currentRecord = SlotOf(word);
        LoadCurrentWord(tutor);
    }
    Counts Tallies(const std::string& word, uint32_t user = 0) {
        const int32_t slot = SlotOf(word);
        return {uint32_t(ReadNumber(db, slot, TotalField(user)).value_or(-1)),
                uint32_t(ReadNumber(db, slot, CorrectField(user)).value_or(-1))};
    }
    std::string FileBytes() { return testing::ReadBytes(db.fileName); }
    Counts Counted() {
        return {state.sessionTotal, state.sessionCorrect, state.userTotal, state.userCorrect};
    }
    std::string MenuName() {
        const auto step = store.LastAnswer();
        if (!step)
            return "";
        const char* kinds[] = {"Correct", "Incorrect", "Skip"};
        return step->word + ", " + kinds[int(step->kind)];
    }
};

TEST_F(UndoTest, SeveralStepsBackRestoreTheBytesTheReportTheCountsAndTheWord) {
    struct Before {
        std::string bytes, report;
        Counts counted;
        std::string menu;
    };
    const std::pair<const char*, AnswerKind> answers[] = {
        {"cat", AnswerKind::Correct}, {"bed", AnswerKind::Incorrect},
        {"fox", AnswerKind::Skip},    {"cat", AnswerKind::Incorrect}, // a second tally on top
        {"dig", AnswerKind::Correct},
    };
    std::vector<Before> before;
    for (const auto& [word, kind] : answers) {
        Show(word);
        before.push_back({FileBytes(), ReportText(tutor), Counted(), MenuName()});
        store.Answer(kind);
        EXPECT_EQ(MenuName(), word + std::string(", ") +
                                  (kind == AnswerKind::Correct     ? "Correct"
                                   : kind == AnswerKind::Incorrect ? "Incorrect"
                                                                   : "Skip"));
    }
    ASSERT_EQ(ReportText(tutor), "cat, Correct\r\nbed, Incorrect\r\ncat, Incorrect\r\n"
                                 "dig, Correct\r\n");
    ASSERT_EQ(Counted(), (Counts{4, 2, 17, 8}));
    for (size_t i = std::size(answers); i-- > 0;) {
        SCOPED_TRACE(answers[i].first);
        Show("bed"); // whatever is on show, Undo brings the answered word back
        EXPECT_EQ(store.Undo(), UndoOutcome::Undone);
        EXPECT_TRUE(FileBytes() == before[i].bytes) << "the record's bytes differ";
        EXPECT_EQ(ReportText(tutor), before[i].report);
        EXPECT_EQ(std::strlen(state.reportBuffer.get()), state.reportLength)
            << "the cut part must be zeros";
        EXPECT_EQ(Counted(), before[i].counted);
        EXPECT_STREQ(state.currentWord, answers[i].first);
        EXPECT_EQ((Counts{state.wordTotal, state.wordCorrect}), Tallies(answers[i].first));
        EXPECT_EQ(MenuName(), before[i].menu);
    }
    EXPECT_EQ(store.Undo(), UndoOutcome::NothingToUndo);
}

TEST_F(UndoTest, AcrossALearnerSwitchTheLearnerWhoAnsweredGetsTheTallyBack) {
    const std::string start = FileBytes();
    Show("cat");
    store.Answer(AnswerKind::Correct); // learner 0
    store.ChooseUser(1);
    Show("dig");
    store.Answer(AnswerKind::Incorrect); // learner 1
    const Counts learner1 = Counted();
    ASSERT_EQ(learner1, (Counts{1, 0, 9, 6}));

    EXPECT_EQ(store.Undo(), UndoOutcome::Undone);
    EXPECT_EQ(Tallies("dig", 1), (Counts{5, 5}));
    EXPECT_EQ(Counted(), (Counts{0, 0, 8, 6}));
    // Learner 0's answer: their tally, not the learner chosen now; learner 1's
    // session and sums stay, as that answer was never in them.
    EXPECT_EQ(store.Undo(), UndoOutcome::Undone);
    EXPECT_EQ(Tallies("cat", 0), (Counts{7, 1}));
    EXPECT_EQ(Tallies("cat", 1), (Counts{1, 1}));
    EXPECT_EQ(Counted(), (Counts{0, 0, 8, 6}));
    EXPECT_TRUE(FileBytes() == start);
    EXPECT_EQ(ReportText(tutor), "");
    store.ChooseUser(0); // the sums agree with the file again
    EXPECT_EQ(Counted(), (Counts{0, 0, 13, 6}));
}

TEST_F(UndoTest, AMovedWordIsFoundByItsBytesAndTalliesAndAGoneOneIsRefused) {
    enum Change { Sorted, Renamed, RenamedBack, Deleted, DuplicateElsewhere, TwinTallies };
    const struct {
        const char* name;
        Change change;
        UndoOutcome outcome;
    } rows[] = {
        {"a sort moved it", Sorted, UndoOutcome::Undone},
        {"renamed", Renamed, UndoOutcome::WordGone},
        {"renamed and back again", RenamedBack, UndoOutcome::Undone},
        {"deleted", Deleted, UndoOutcome::WordGone},
        {"renamed, another record holds the word", DuplicateElsewhere, UndoOutcome::WordGone},
        {"two records match word and tallies", TwinTallies, UndoOutcome::WordGone},
    };
    for (const auto& [name, change, outcome] : rows) {
        SCOPED_TRACE(name);
        Show("bed");
        store.Answer(AnswerKind::Incorrect); // an older step, forgotten on a refusal
        Show("fox");
        store.Answer(AnswerKind::Correct);
        const int32_t answered = SlotOf("fox");
        switch (change) {
        case Sorted:
            store.AddCopyOf("ant", "");
            state.wordOrder = WordOrder{}; // nothing known: a full sort
            PutWordsInOrder(tutor);
            ASSERT_NE(SlotOf("fox"), answered) << "the sort should have moved it";
            break;
        case Renamed:
            store.SaveWord(answered, "fax", std::nullopt);
            break;
        case RenamedBack:
            store.SaveWord(answered, "fax", std::nullopt);
            store.SaveWord(answered, "fox", std::nullopt);
            break;
        case Deleted:
            store.DeleteWord(answered);
            break;
        case DuplicateElsewhere:
            store.SaveWord(answered, "fax", std::nullopt);
            store.AddCopyOf("fox", "");
            break;
        case TwinTallies: {
            const int32_t twin = store.AddCopyOf("fox", "");
            WriteNumber(db, twin, TotalField(0), 3);
            WriteNumber(db, twin, CorrectField(0), 3);
            break;
        }
        }
        const std::string bytes = FileBytes(), report = ReportText(tutor);
        const Counts counted = Counted();
        ASSERT_EQ(store.Undo(), outcome);
        if (outcome == UndoOutcome::Undone) {
            EXPECT_EQ(Tallies("fox"), (Counts{2, 2}));
            EXPECT_STREQ(state.currentWord, "fox");
            EXPECT_EQ(ReportText(tutor), report.substr(0, report.size() - 14));
            EXPECT_EQ(store.Undo(), UndoOutcome::Undone) << "the older step stays";
        } else {
            EXPECT_TRUE(FileBytes() == bytes) << "a refused undo changed the file";
            EXPECT_EQ(ReportText(tutor), report);
            EXPECT_EQ(Counted(), counted);
            EXPECT_EQ(store.Undo(), UndoOutcome::NothingToUndo);
        }
        // Back to the four words for the next row.
        for (const int32_t slot : store.ListWords().wordSlots)
            if (WordAt(slot) != "bed" && WordAt(slot) != "cat" && WordAt(slot) != "dig" &&
                WordAt(slot) != "fox")
                store.DeleteWord(slot);
        if (SlotOf("fox") < 0)
            testing::AddWordRecord(db, "fox", "", {2, 2, 0, 0});
        WriteNumber(db, SlotOf("fox"), TotalField(0), 2);
        WriteNumber(db, SlotOf("fox"), CorrectField(0), 2);
        WriteNumber(db, SlotOf("bed"), TotalField(0), 4);
        SetUpUser(tutor);
    }
}

TEST_F(UndoTest, AReportReaderStartsOverAfterACutEvenWhenTheLengthComesBack) {
    Show("cat");
    store.Answer(AnswerKind::Correct);
    ReportPiece shown = store.ReportFrom(0, 0);
    ASSERT_EQ(shown.text, "cat, Correct\r\n");
    ASSERT_FALSE(shown.restarted);
    store.Undo();
    Show("fox"); // as long a line as the one taken back
    store.Answer(AnswerKind::Correct);
    const ReportPiece next = store.ReportFrom(shown.length, shown.cuts);
    EXPECT_TRUE(next.restarted);
    EXPECT_EQ(next.text, "fox, Correct\r\n");
    const ReportPiece after = store.ReportFrom(next.length, next.cuts);
    EXPECT_FALSE(after.restarted);
    EXPECT_EQ(after.text, "");
}

} // namespace
} // namespace lexipond
