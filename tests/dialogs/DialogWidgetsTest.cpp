// The Word Details, Results Report and Options dialogs, driven through their controls.
#include "DialogTestSupport.h"
#include "dialogs/OptionsDialog.h"
#include "dialogs/WordDetailsDialog.h"
#include "tutor/Commands.h"
#include "tutor/Tutoring.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>

namespace lexipond::testing {
namespace {

// Replaces the text of a field by typing, as a user does.
void TypeOver(QWidget* field, const QString& text) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (const QChar ch : text) {
        if (ch == '\n') {
            QTest::keyClick(field, Qt::Key_Return);
        } else { // only the text, as from an input method: works for every letter
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(field, &press);
        }
    }
}

class DialogsTest : public DialogTest {
  protected:
    // Opens the dialog on target (a slot or kDetailsNewWord).
    void RunDetails(int32_t target, std::function<void()> script) {
        state.detailsTarget = target;
        Run(
            "wordDetails", [this] { RunWordDetailsDialog(app, nullptr); },
            [this, script] {
                box = dialog->findChild<QComboBox*>("wordBox");
                notes = dialog->findChild<QPlainTextEdit*>("notesBox");
                script();
            });
    }
    void RunOptions(std::function<void()> script) {
        Run(
            "options", [this] { RunOptionsDialog(app, nullptr); }, std::move(script));
    }
    // What the tally row of a user shows: total, correct, percentage, name.
    QStringList Row(int user) {
        QStringList cells;
        for (const char* kind : {"total", "correct", "percent", "userName"})
            cells << dialog->findChild<QLabel*>(kind + QString::number(user))->text();
        return cells;
    }

    QComboBox* box = nullptr;
    QPlainTextEdit* notes = nullptr;
};

using WordDetailsDialogTest = DialogsTest;
using OptionsDialogTest = DialogsTest;
using ResultsReportTest = DialogsTest;

TEST_F(WordDetailsDialogTest, OkStoresTheWordAndNotesCutToWholeCharacters) {
    AddWords({"apple", "bird", "cat"});
    const struct {
        std::string typedWord, storedWord, typedNotes, storedNotes;
    } rows[] = {
        {std::string(70, 'w'), std::string(59, 'w'), std::string(310, 'n'), std::string(299, 'n')},
        // é would straddle the limit; lines end in CR LF when stored
        {std::string(58, 'w') + "\xc3\xa9", std::string(58, 'w'), "caf\xc3\xa9\nok",
         "caf\xc3\xa9\r\nok"}};
    for (const auto& row : rows) {
        RunDetails(1, [&] {
            TypeOver(box->lineEdit(), QString::fromStdString(row.typedWord));
            TypeOver(notes, QString::fromStdString(row.typedNotes));
            Click("okButton");
        });
        EXPECT_EQ(Words(), (std::vector<std::string>{"apple", row.storedWord, "cat"}));
        EXPECT_EQ(Text(1, kFieldNotes), row.storedNotes);
    }
}

TEST_F(WordDetailsDialogTest, ChoosingAnotherWordKeepsTheEditsWithTheOldWord) {
    AddWords({"apple", "bird", "cat", "dog"});
    RunDetails(2, [&] {
        TypeOver(box->lineEdit(), "kitten");
        TypeOver(notes, "fluffy");
        box->showPopup();
        QAbstractItemView* view = box->view();
        ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->model()->index(3, 0)).center());
        EXPECT_EQ(box->currentText(), "dog");
        EXPECT_EQ(box->itemText(2), "kitten");
        EXPECT_EQ(notes->toPlainText(), "");
        TypeOver(notes, "not saved");
        Click("cancelButton");
    });
    EXPECT_EQ(Words(), (std::vector<std::string>{"apple", "bird", "kitten", "dog"}));
    EXPECT_EQ(Text(2, kFieldNotes), "fluffy");
    EXPECT_EQ(Text(3, kFieldNotes), "");
}

TEST_F(WordDetailsDialogTest, StepsSaveAndMoveButDoNothingAtTheEnds) {
    AddWords({"apple", "bird", "cat"});
    RunDetails(0, [&] {
        TypeOver(notes, "first");
        Click("previousButton");
        EXPECT_EQ(box->currentText(), "apple");
        EXPECT_EQ(Text(0, kFieldNotes), "");
        Click("nextButton");
        EXPECT_EQ(Text(0, kFieldNotes), "first");
        Click("nextButton");
        EXPECT_EQ(box->currentText(), "cat");
        TypeOver(notes, "last");
        Click("nextButton");
        EXPECT_EQ(box->currentText(), "cat");
        EXPECT_EQ(Text(2, kFieldNotes), "");
        Click("previousButton");
        EXPECT_EQ(box->currentText(), "bird");
        EXPECT_EQ(Text(2, kFieldNotes), "last");
        Click("cancelButton");
    });
}

TEST_F(WordDetailsDialogTest, DeleteAsksShowsTheNextWordAndNeverDeletesTheLast) {
    AddWords({"apple", "bird", "cat", "dog"});
    const struct {
        int32_t target;
        int answer; // 1 Yes, 2 No
        const char* shownAfter;
        std::vector<std::string> wordsAfter;
    } rows[] = {{1, 2, "bird", {"apple", "bird", "cat", "dog"}},
                {1, 1, "cat", {"apple", "cat", "dog"}},
                {2, 1, "cat", {"apple", "cat"}}, // the last in the list
                {0, 1, "cat", {"cat"}},
                {0, 2, "cat", {"cat"}}, // the only word: a new one is offered instead
                {0, 1, "New Word", {"cat", "New Word"}}};
    for (const auto& row : rows) {
        RunDetails(row.target, [&] {
            AnswerPrompt(row.answer);
            Click("deleteButton");
            EXPECT_EQ(box->currentText(), row.shownAfter);
            EXPECT_EQ(box->count(), static_cast<int>(row.wordsAfter.size()));
            Click("cancelButton");
        });
        EXPECT_EQ(Words(), row.wordsAfter) << row.target << row.shownAfter;
    }
}

TEST_F(WordDetailsDialogTest, TalliesShowTruncatedPercentagesAndACopyStartsAtZero) {
    AddWords({"apple"});
    AddWord("cat", "a pet", {3, 2});
    std::strcpy(settings.userNames[1], "Quinn");
    RunDetails(1, [&] {
        EXPECT_EQ(Row(1), (QStringList{"3", "2", "66", "Zov"}));
        EXPECT_EQ(Row(2), (QStringList{"0", "0", "100", "Quinn"}));
        Click("copyButton");
        EXPECT_EQ(box->currentIndex(), 2);
        EXPECT_EQ(Row(1), (QStringList{"0", "0", "100", "Zov"}));
        Click("cancelButton");
    });
    ASSERT_EQ(Words(), (std::vector<std::string>{"apple", "cat", "cat"}));
    EXPECT_EQ(Numbers(1)[TotalField(0) - kFieldReservedA], 3);
    EXPECT_EQ(Text(2, kFieldNotes), "a pet");
    EXPECT_EQ(Numbers(2), std::vector<int32_t>(12, 0));
}

TEST_F(WordDetailsDialogTest, AddWordAndNewLeaveCleanNewWordsEvenOnCancel) {
    AddWords({"apple", "bird"});
    // A deleted record with old tallies and notes: the new word reuses its slot.
    const int32_t old = AddWord("gone", "old notes", {9, 9, 9, 9});
    SetRecordTag(db, old, RecordDeleted);
    RunDetails(kDetailsNewWord, [&] {
        EXPECT_EQ(box->currentText(), "New Word");
        EXPECT_EQ(notes->toPlainText(), "");
        TypeOver(notes, "red");
        Click("newButton");
        EXPECT_EQ(box->currentText(), "New Word");
        EXPECT_EQ(box->count(), 4);
        Click("cancelButton");
    });
    ASSERT_EQ(Words(), (std::vector<std::string>{"apple", "bird", "New Word", "New Word"}));
    EXPECT_EQ(Text(old, kFieldNotes), "red");
    EXPECT_EQ(Numbers(old), std::vector<int32_t>(12, 0));
}

TEST_F(ResultsReportTest, FollowsAnswersAndKeepsTheReadersPlace) {
    AddWords({"apple", "bird", "cat"});
    state.currentRecord = 2;
    LoadCurrentWord(tutor);
    const auto answerCorrect = [this] { HandleClick(tutor, 80, 280); };
    for (int i = 0; i < 80; ++i)
        answerCorrect();

    OpenResultsReport(app);
    OpenResultsReport(app); // a second one does not open
    QWidget* report = Shown("resultsReport").value(0);
    ASSERT_NE(report, nullptr);
    QPlainTextEdit* text = report->findChild<QPlainTextEdit*>("reportText");
    EXPECT_EQ(text->document()->blockCount(), 81); // 80 lines and the empty last one
    EXPECT_TRUE(text->toPlainText().startsWith("cat, Correct\n"));
    QScrollBar* bar = text->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);

    bar->setValue(3); // reading near the top: the view stays
    answerCorrect();
    EXPECT_TRUE(QTest::qWaitFor([&] { return text->document()->blockCount() == 82; }, 5500));
    EXPECT_EQ(bar->value(), 3);

    bar->setValue(bar->maximum()); // at the end: the view follows
    answerCorrect();
    EXPECT_TRUE(QTest::qWaitFor([&] { return text->document()->blockCount() == 83; }, 5500));
    EXPECT_EQ(bar->value(), bar->maximum());

    EXPECT_EQ(Shown("resultsReport").size(), 1);
    Button(report, "okButton")->click();
    EXPECT_FALSE(app.reportOpen);
}

TEST_F(OptionsDialogTest, TransparencyShowsAPercentageAndOkStoresItsAlpha) {
    struct {
        int32_t alphaBefore;
        const char* shown;
        const char* typed; // null: leave the box alone
        int32_t alphaAfter;
    } const rows[] = {{75, "71", nullptr, 76}, {255, "0", "100", 5}, {75, "71", "0", 255}};
    for (const auto& row : rows) {
        settings.transparencyAlpha = row.alphaBefore;
        RunOptions([&] {
            auto* box = dialog->findChild<QSpinBox*>("transparency");
            EXPECT_EQ(box->text(), row.shown);
            if (row.typed)
                TypeOver(box, row.typed);
            Click("okButton");
        });
        EXPECT_EQ(settings.transparencyAlpha, row.alphaAfter) << row.alphaBefore;
    }
}

TEST_F(OptionsDialogTest, OkStoresNamesCutSafelyAndResetsTheSession) {
    state.sessionTotal = 4;
    state.sessionCorrect = 3;
    const auto name = [this](int user) {
        return dialog->findChild<QLineEdit*>(QStringLiteral("userName%1").arg(user));
    };
    RunOptions([&] {
        EXPECT_EQ(name(4)->text(), "Rondel");
        TypeOver(name(1), QString(120, 'n'));
        name(2)->setText(QString(98, 'a') + QChar(0xE9)); // 99 characters, 100 bytes
        name(3)->clear();
        dialog->findChild<QComboBox*>("levelList")->setCurrentIndex(6);
        Click("okButton");
    });
    EXPECT_EQ(std::string(settings.userNames[0]), std::string(99, 'n'));
    EXPECT_EQ(std::string(settings.userNames[1]), std::string(98, 'a'));
    EXPECT_EQ(std::string(settings.userNames[2]), "");
    EXPECT_EQ(std::string(settings.userNames[3]), "Rondel");
    EXPECT_EQ(settings.level, 6);
    EXPECT_EQ(state.sessionTotal + state.sessionCorrect, 0u);
    EXPECT_EQ(std::string(state.currentUserName), std::string(99, 'n'));
}

TEST_F(OptionsDialogTest, OnlyOkClosesAndASecondOptionsDoesNothing) {
    settings.confirmQuit = 1;
    RunOptions([&] {
        QTest::keyClick(dialog, Qt::Key_Escape);
        dialog->close();
        EXPECT_TRUE(dialog->isVisible());
        RunOptionsDialog(app, nullptr);
        EXPECT_EQ(Shown("options").size(), 1);
        QTest::mouseClick(dialog->findChild<QCheckBox*>("confirmQuit"), Qt::LeftButton);
        Click("okButton");
    });
    EXPECT_EQ(settings.confirmQuit, 0);
    EXPECT_FALSE(app.optionsOpen);
}

TEST_F(OptionsDialogTest, ImportAddsTheWordsAtOnce) {
    AddWords({"apple", "bird"});
    const std::string list = folder / "list.txt";
    WriteBytes(list, "cat\r\ndog\r\napple\r\n");
    std::vector<std::string> wordsBeforeOk;
    RunOptions([&] {
        WhenShown("chooseTextFile", [&](QWidget* chooser) {
            static_cast<QFileDialog*>(chooser)->selectFile(QString::fromStdString(list));
            QMetaObject::invokeMethod(chooser, "accept");
        });
        Click("importButton");
        wordsBeforeOk = Words();
        Click("okButton");
    });
    EXPECT_EQ(wordsBeforeOk, (std::vector<std::string>{"apple", "bird", "cat", "dog"}));
}

} // namespace
} // namespace lexipond::testing
