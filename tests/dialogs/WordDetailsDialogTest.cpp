// The Word Details dialog and the Results Report, driven through their controls.
#include "dialogs/WordDetailsDialog.h"

#include "DialogTestSupport.h"
#include "tutor/Commands.h"
#include "tutor/Tutoring.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

namespace lexipond::testing {
namespace {

QComboBox* WordBox(QWidget* dialog) {
    return dialog->findChild<QComboBox*>("wordBox");
}
QPlainTextEdit* NotesBox(QWidget* dialog) {
    return dialog->findChild<QPlainTextEdit*>("notesBox");
}
QString Shown(QWidget* dialog) {
    return WordBox(dialog)->currentText();
}
QString Cell(QWidget* dialog, const char* kind, int user) {
    return dialog->findChild<QLabel*>(QString::fromLatin1(kind) + QString::number(user))->text();
}

// Replaces the text of a field by typing, as a user does.
void TypeOver(QWidget* field, const QString& text) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (const QChar ch : text) {
        if (ch == '\n') {
            QTest::keyClick(field, Qt::Key_Return);
        } else if (ch.unicode() < 0x80) {
            QTest::keyClick(field, ch.toLatin1());
        } else { // a letter from an input method: no key code, only its text
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(field, &press);
        }
    }
}

class WordDetailsDialogTest : public DialogTest {
  protected:
    // Opens the dialog on target (a slot or kDetailsNewWord); script closes it.
    void RunDetails(int32_t target, std::function<void(QWidget*)> script) {
        state.detailsTarget = target;
        WhenShown("wordDetails", std::move(script));
        RunWordDetailsDialog(app, nullptr);
    }
};

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
        RunDetails(1, [&](QWidget* dialog) {
            TypeOver(WordBox(dialog)->lineEdit(), QString::fromStdString(row.typedWord));
            TypeOver(NotesBox(dialog), QString::fromStdString(row.typedNotes));
            Button(dialog, "okButton")->click();
        });
        EXPECT_EQ(Words(), (std::vector<std::string>{"apple", row.storedWord, "cat"}));
        EXPECT_EQ(Text(1, kFieldNotes), row.storedNotes);
    }
}

TEST_F(WordDetailsDialogTest, ChoosingAnotherWordKeepsTheEditsWithTheOldWord) {
    AddWords({"apple", "bird", "cat", "dog"});
    RunDetails(2, [&](QWidget* dialog) {
        TypeOver(WordBox(dialog)->lineEdit(), "kitten");
        TypeOver(NotesBox(dialog), "fluffy");
        QComboBox* box = WordBox(dialog);
        box->showPopup();
        QAbstractItemView* view = box->view();
        ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->model()->index(3, 0)).center());
        EXPECT_EQ(Shown(dialog), "dog");
        EXPECT_EQ(box->itemText(2), "kitten");
        EXPECT_EQ(NotesBox(dialog)->toPlainText(), "");
        TypeOver(NotesBox(dialog), "not saved");
        Button(dialog, "cancelButton")->click();
    });
    EXPECT_EQ(Words(), (std::vector<std::string>{"apple", "bird", "kitten", "dog"}));
    EXPECT_EQ(Text(2, kFieldNotes), "fluffy");
    EXPECT_EQ(Text(3, kFieldNotes), "");
}

TEST_F(WordDetailsDialogTest, StepsSaveAndMoveButDoNothingAtTheEnds) {
    AddWords({"apple", "bird", "cat"});
    RunDetails(0, [&](QWidget* dialog) {
        TypeOver(NotesBox(dialog), "first");
        Button(dialog, "previousButton")->click();
        EXPECT_EQ(Shown(dialog), "apple");
        EXPECT_EQ(Text(0, kFieldNotes), "");
        Button(dialog, "nextButton")->click();
        EXPECT_EQ(Text(0, kFieldNotes), "first");
        Button(dialog, "nextButton")->click();
        EXPECT_EQ(Shown(dialog), "cat");
        TypeOver(NotesBox(dialog), "last");
        Button(dialog, "nextButton")->click();
        EXPECT_EQ(Shown(dialog), "cat");
        EXPECT_EQ(Text(2, kFieldNotes), "");
        Button(dialog, "previousButton")->click();
        EXPECT_EQ(Shown(dialog), "bird");
        EXPECT_EQ(Text(2, kFieldNotes), "last");
        Button(dialog, "cancelButton")->click();
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
        RunDetails(row.target, [&](QWidget* dialog) {
            AnswerPrompt(row.answer);
            Button(dialog, "deleteButton")->click();
            EXPECT_EQ(Shown(dialog), row.shownAfter);
            EXPECT_EQ(WordBox(dialog)->count(), static_cast<int>(row.wordsAfter.size()));
            Button(dialog, "cancelButton")->click();
        });
        EXPECT_EQ(Words(), row.wordsAfter) << row.target << row.shownAfter;
    }
}

TEST_F(WordDetailsDialogTest, CopyAddsTheSameWordAndNotesWithNoTallies) {
    AddWords({"apple"});
    AddWord("cat", "a pet", {7, 5});
    RunDetails(1, [&](QWidget* dialog) {
        Button(dialog, "copyButton")->click();
        EXPECT_EQ(WordBox(dialog)->currentIndex(), 2);
        EXPECT_EQ(Cell(dialog, "total", 1), "0");
        Button(dialog, "cancelButton")->click();
    });
    ASSERT_EQ(Words(), (std::vector<std::string>{"apple", "cat", "cat"}));
    EXPECT_EQ(Number(1, TotalField(0)), 7);
    EXPECT_EQ(Text(2, kFieldNotes), "a pet");
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
        EXPECT_EQ(Number(2, field), 0) << field;
}

TEST_F(WordDetailsDialogTest, AddWordAndNewLeaveCleanNewWordsEvenOnCancel) {
    AddWords({"apple", "bird"});
    // A deleted record with old tallies and notes: the new word reuses its slot.
    const int32_t old = AddWord("gone", "old notes", {9, 9, 9, 9});
    SetRecordTag(db, old, RecordDeleted);
    RunDetails(kDetailsNewWord, [&](QWidget* dialog) {
        EXPECT_EQ(Shown(dialog), "New Word");
        EXPECT_EQ(NotesBox(dialog)->toPlainText(), "");
        EXPECT_EQ(Cell(dialog, "percent", 1), "100");
        TypeOver(NotesBox(dialog), "red");
        Button(dialog, "newButton")->click();
        EXPECT_EQ(Shown(dialog), "New Word");
        EXPECT_EQ(WordBox(dialog)->count(), 4);
        Button(dialog, "cancelButton")->click();
    });
    ASSERT_EQ(Words(), (std::vector<std::string>{"apple", "bird", "New Word", "New Word"}));
    EXPECT_EQ(Text(old, kFieldNotes), "red");
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
        EXPECT_EQ(Number(old, field), 0) << field;
}

TEST_F(WordDetailsDialogTest, TalliesShowTruncatedPercentagesAndUserNames) {
    AddWord("cat", "", {3, 2});
    std::strcpy(settings.userNames[1], "Quinn");
    RunDetails(0, [&](QWidget* dialog) {
        EXPECT_EQ(Cell(dialog, "total", 1), "3");
        EXPECT_EQ(Cell(dialog, "correct", 1), "2");
        EXPECT_EQ(Cell(dialog, "percent", 1), "66");
        EXPECT_EQ(Cell(dialog, "percent", 2), "100");
        EXPECT_EQ(Cell(dialog, "userName", 2), "Quinn");
        Button(dialog, "cancelButton")->click();
    });
}

TEST_F(DialogTest, ResultsReportFollowsAnswersAndKeepsTheReadersPlace) {
    AddWords({"apple", "bird", "cat"});
    state.currentRecord = 2;
    LoadCurrentWord(tutor);
    const auto answerCorrect = [this] { HandleClick(tutor, 80, 280); };
    for (int i = 0; i < 80; ++i)
        answerCorrect();

    OpenResultsReport(app);
    OpenResultsReport(app); // a second one does not open
    QWidget* report = FindWindow("resultsReport");
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

    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        open += widget->isVisible() && widget->objectName() == "resultsReport";
    EXPECT_EQ(open, 1);
    Button(report, "okButton")->click();
    EXPECT_FALSE(app.reportOpen);
}

} // namespace
} // namespace lexipond::testing
