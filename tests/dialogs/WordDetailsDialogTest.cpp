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
    return dialog->findChild<QComboBox*>(QStringLiteral("wordBox"));
}
QPlainTextEdit* NotesBox(QWidget* dialog) {
    return dialog->findChild<QPlainTextEdit*>(QStringLiteral("notesBox"));
}
QString Cell(QWidget* dialog, const char* kind, int user) {
    return dialog->findChild<QLabel*>(QStringLiteral("%1%2").arg(QLatin1String(kind)).arg(user))
        ->text();
}
QString Shown(QWidget* dialog) {
    return WordBox(dialog)->currentText();
}

// Replaces the text of a field by typing, as a user does.
void TypeOver(QWidget* field, const QString& text) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\n')) {
            QTest::keyClick(field, Qt::Key_Return);
        } else if (ch.unicode() < 0x80) {
            QTest::keyClick(field, ch.toLatin1());
        } else { // a letter from an input method: no key code, only its text
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(field, &press);
        }
    }
}

// Picks a word from the drop-down list with the mouse.
void ChooseFromList(QComboBox* box, int index) {
    box->showPopup();
    QAbstractItemView* view = box->view();
    ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
    const QRect item = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
}

class WordDetailsDialogTest : public DialogTest {
  protected:
    // Opens the dialog on target (a slot or -2) and runs script inside it; the
    // script closes the dialog.
    void RunDetails(int32_t target, std::function<void(QWidget*)> script) {
        state.detailsTarget = target;
        WhenShown([] { return FindWindow(QStringLiteral("wordDetails")); }, script);
        RunWordDetailsDialog(*app, nullptr);
    }
};

struct RenameRow {
    const char* name;
    std::string typedWord;
    std::string storedWord;
    std::string typedNotes;
    std::string storedNotes;
};
void PrintTo(const RenameRow& row, std::ostream* out) {
    *out << row.name;
}

class RenameTest : public WordDetailsDialogTest, public ::testing::WithParamInterface<RenameRow> {};

TEST_P(RenameTest, OkStoresTheWordAndNotesCutToTheirLimits) {
    AddWords({"apple", "bird", "cat"});
    const RenameRow& row = GetParam();
    RunDetails(SlotOf("bird"), [&](QWidget* dialog) {
        TypeOver(WordBox(dialog)->lineEdit(), QString::fromStdString(row.typedWord));
        TypeOver(NotesBox(dialog), QString::fromStdString(row.typedNotes));
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(Text(1, kFieldWord), row.storedWord);
    EXPECT_EQ(Text(1, kFieldNotes), row.storedNotes);
    EXPECT_EQ(Text(0, kFieldWord), "apple");
    EXPECT_EQ(Text(2, kFieldWord), "cat");
}

const std::string k70(70, 'w');
const std::string k58(58, 'w');
INSTANTIATE_TEST_SUITE_P(
    Rows, RenameTest,
    ::testing::Values(RenameRow{"plain", "birds", "birds", "sings", "sings"},
                      RenameRow{"long", k70, k70.substr(0, 59), std::string(310, 'n'),
                                std::string(299, 'n')},
                      // a two-byte letter that would straddle the limit stays out whole
                      RenameRow{"utf8", k58 + "\xc3\xa9", k58, "caf\xc3\xa9", "caf\xc3\xa9"},
                      RenameRow{"lines", "bird", "bird", "one\ntwo", "one\r\ntwo"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WordDetailsDialogTest, ChoosingAnotherWordKeepsTheEditsWithTheOldWord) {
    AddWords({"apple", "bird", "cat", "dog"});
    RunDetails(SlotOf("cat"), [&](QWidget* dialog) {
        EXPECT_EQ(Shown(dialog), "cat");
        TypeOver(WordBox(dialog)->lineEdit(), "kitten");
        TypeOver(NotesBox(dialog), "fluffy");
        ChooseFromList(WordBox(dialog), 3);
        EXPECT_EQ(Shown(dialog), "dog");
        EXPECT_EQ(NotesBox(dialog)->toPlainText(), "");
        TypeOver(NotesBox(dialog), "not saved");
        Button(dialog, "cancelButton")->click();
    });
    EXPECT_EQ(Text(2, kFieldWord), "kitten");
    EXPECT_EQ(Text(2, kFieldNotes), "fluffy");
    EXPECT_EQ(Text(3, kFieldWord), "dog");
    EXPECT_EQ(Text(3, kFieldNotes), "");
}

TEST_F(WordDetailsDialogTest, StepsMoveAndSaveButStopAtBothEnds) {
    AddWords({"apple", "bird", "cat"});
    RunDetails(SlotOf("apple"), [&](QWidget* dialog) {
        TypeOver(NotesBox(dialog), "first");
        Button(dialog, "previousButton")->click(); // at the first word: nothing at all
        EXPECT_EQ(Shown(dialog), "apple");
        EXPECT_EQ(Text(0, kFieldNotes), "");
        Button(dialog, "nextButton")->click();
        EXPECT_EQ(Shown(dialog), "bird");
        EXPECT_EQ(Text(0, kFieldNotes), "first");
        Button(dialog, "nextButton")->click();
        EXPECT_EQ(Shown(dialog), "cat");
        TypeOver(NotesBox(dialog), "last");
        Button(dialog, "nextButton")->click(); // at the last word: nothing at all
        EXPECT_EQ(Shown(dialog), "cat");
        EXPECT_EQ(Text(2, kFieldNotes), "");
        Button(dialog, "previousButton")->click();
        EXPECT_EQ(Shown(dialog), "bird");
        EXPECT_EQ(Text(2, kFieldNotes), "last");
        Button(dialog, "cancelButton")->click();
    });
}

TEST_F(WordDetailsDialogTest, RenamedWordIsShownAsStoredWhenSteppedBackTo) {
    AddWords({"apple", "bird"});
    RunDetails(SlotOf("apple"), [&](QWidget* dialog) {
        TypeOver(WordBox(dialog)->lineEdit(), "apricot");
        Button(dialog, "nextButton")->click();
        Button(dialog, "previousButton")->click();
        EXPECT_EQ(Shown(dialog), "apricot");
        EXPECT_EQ(WordBox(dialog)->itemText(0), "apricot");
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(Text(0, kFieldWord), "apricot");
}

TEST_F(WordDetailsDialogTest, EnterSavesLikeOkAndEscDiscardsLikeCancel) {
    AddWords({"apple", "bird"});
    RunDetails(SlotOf("apple"), [&](QWidget* dialog) {
        TypeOver(WordBox(dialog)->lineEdit(), "bird");
        QTest::keyClick(WordBox(dialog)->lineEdit(), Qt::Key_Return);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "Enter did not close the dialog";
            Button(dialog, "cancelButton")->click();
        }
    });
    EXPECT_EQ(Words(), (std::vector<std::string>{"bird", "bird"}));

    RunDetails(SlotOf("bird"), [&](QWidget* dialog) {
        TypeOver(NotesBox(dialog), "typed");
        QTest::keyClick(NotesBox(dialog), Qt::Key_Escape);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "Esc did not close the dialog";
            Button(dialog, "cancelButton")->click();
        }
    });
    EXPECT_EQ(Text(0, kFieldNotes), "");
}

struct DeleteRow {
    const char* name;
    std::string target;
    int answer;
    std::vector<std::string> wordsAfter;
    std::string shownAfter;
};
void PrintTo(const DeleteRow& row, std::ostream* out) {
    *out << row.name;
}

class DeleteTest : public WordDetailsDialogTest, public ::testing::WithParamInterface<DeleteRow> {};

TEST_P(DeleteTest, DeleteAsksAndShowsTheWordAtThatPlaceAfterwards) {
    AddWords({"apple", "bird", "cat", "dog"});
    const DeleteRow& row = GetParam();
    RunDetails(SlotOf(row.target), [&](QWidget* dialog) {
        TypeOver(NotesBox(dialog), "edited");
        AnswerPrompt(row.answer);
        Button(dialog, "deleteButton")->click();
        EXPECT_EQ(Shown(dialog), QString::fromStdString(row.shownAfter));
        EXPECT_EQ(WordBox(dialog)->count(), static_cast<int>(row.wordsAfter.size()));
        Button(dialog, "cancelButton")->click();
    });
    EXPECT_EQ(Words(), row.wordsAfter);
    EXPECT_EQ(db.liveCount, row.wordsAfter.size());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DeleteTest,
    ::testing::Values(DeleteRow{"No", "bird", 2, {"apple", "bird", "cat", "dog"}, "bird"},
                      DeleteRow{"YesMiddle", "bird", 1, {"apple", "cat", "dog"}, "cat"},
                      DeleteRow{"YesFirst", "apple", 1, {"bird", "cat", "dog"}, "bird"},
                      DeleteRow{"YesLast", "dog", 1, {"apple", "bird", "cat"}, "cat"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WordDetailsDialogTest, LastRemainingWordIsNotDeleted) {
    AddWords({"only"});
    RunDetails(0, [&](QWidget* dialog) {
        AnswerPrompt(2);
        Button(dialog, "deleteButton")->click();
        EXPECT_EQ(Shown(dialog), "only");
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(Words(), std::vector<std::string>{"only"});

    // The refusal offers a new word instead.
    RunDetails(0, [&](QWidget* dialog) {
        AnswerPrompt(1);
        Button(dialog, "deleteButton")->click();
        EXPECT_EQ(Shown(dialog), "New Word");
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(Words(), (std::vector<std::string>{"only", "New Word"}));
}

TEST_F(WordDetailsDialogTest, CopyAddsTheSameWordAndNotesWithNoTallies) {
    AddWords({"apple"});
    AddWord({"cat", "a pet", 7, 5});
    RunDetails(SlotOf("cat"), [&](QWidget* dialog) {
        Button(dialog, "copyButton")->click();
        EXPECT_EQ(Shown(dialog), "cat");
        EXPECT_EQ(WordBox(dialog)->currentIndex(), 2);
        EXPECT_EQ(Cell(dialog, "total", 1), "0");
        Button(dialog, "cancelButton")->click();
    });
    ASSERT_EQ(Words(), (std::vector<std::string>{"apple", "cat", "cat"}));
    EXPECT_EQ(Number(1, TotalField(0)), 7);
    EXPECT_EQ(Number(1, CorrectField(0)), 5);
    EXPECT_EQ(Text(2, kFieldNotes), "a pet");
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
        EXPECT_EQ(Number(2, field), 0) << field;
}

TEST_F(WordDetailsDialogTest, AddWordThenCancelLeavesACleanNewWord) {
    AddWords({"apple", "bird"});
    // A deleted record with old tallies and notes: the new word reuses its slot.
    const int32_t old = AddWord({"gone", "old notes", 9, 9});
    SetRecordTag(db, old, RecordDeleted);
    RunDetails(kDetailsNewWord, [&](QWidget* dialog) {
        EXPECT_EQ(Shown(dialog), "New Word");
        EXPECT_EQ(Cell(dialog, "total", 1), "0");
        EXPECT_EQ(Cell(dialog, "percent", 1), "100");
        Button(dialog, "cancelButton")->click();
    });
    ASSERT_EQ(Words(), (std::vector<std::string>{"apple", "bird", "New Word"}));
    EXPECT_EQ(Text(old, kFieldNotes), "");
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
        EXPECT_EQ(Number(old, field), 0) << field;
}

TEST_F(WordDetailsDialogTest, NewSavesTheWordShownAndAddsAnother) {
    AddWords({"apple", "bird"});
    RunDetails(SlotOf("apple"), [&](QWidget* dialog) {
        TypeOver(NotesBox(dialog), "red");
        Button(dialog, "newButton")->click();
        EXPECT_EQ(Shown(dialog), "New Word");
        EXPECT_EQ(WordBox(dialog)->count(), 3);
        TypeOver(WordBox(dialog)->lineEdit(), "cat");
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(Words(), (std::vector<std::string>{"apple", "bird", "cat"}));
    EXPECT_EQ(Text(0, kFieldNotes), "red");
}

TEST_F(WordDetailsDialogTest, TalliesShowTruncatedPercentagesAndUserNames) {
    AddWord({"cat", "", 3, 2});
    std::strcpy(settings.userNames[1], "Quinn");
    db.numberValue = 7;
    PutField(db, 0, TotalField(4));
    db.numberValue = 7;
    PutField(db, 0, CorrectField(4));
    RunDetails(0, [&](QWidget* dialog) {
        EXPECT_EQ(Cell(dialog, "total", 1), "3");
        EXPECT_EQ(Cell(dialog, "correct", 1), "2");
        EXPECT_EQ(Cell(dialog, "percent", 1), "66");
        EXPECT_EQ(Cell(dialog, "total", 2), "0");
        EXPECT_EQ(Cell(dialog, "correct", 2), "0");
        EXPECT_EQ(Cell(dialog, "percent", 2), "100");
        EXPECT_EQ(Cell(dialog, "percent", 5), "100");
        EXPECT_EQ(Cell(dialog, "userName", 1), "Zov");
        EXPECT_EQ(Cell(dialog, "userName", 2), "Quinn");
        Button(dialog, "cancelButton")->click();
    });
}

class ResultsReportTest : public DialogTest {
  protected:
    QPlainTextEdit* ReportText() {
        QWidget* report = FindWindow(QStringLiteral("resultsReport"));
        return report ? report->findChild<QPlainTextEdit*>(QStringLiteral("reportText")) : nullptr;
    }
    // A click on Correct, as the learner's adult gives it on the main window.
    void AnswerCorrect() { HandleClick(tutor, 80, 280); }
};

TEST_F(ResultsReportTest, ReportFollowsAnswersAndKeepsTheReadersPlace) {
    AddWords({"apple", "bird", "cat"});
    state.currentRecord = 2;
    LoadCurrentWord(tutor);
    for (int i = 0; i < 80; ++i)
        AnswerCorrect();

    OpenResultsReport(*app);
    OpenResultsReport(*app); // a second one does not open
    ASSERT_TRUE(app->reportOpen);
    QPlainTextEdit* text = ReportText();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->document()->blockCount(), 81); // 80 lines and the empty last one
    EXPECT_TRUE(text->toPlainText().startsWith("cat, Correct\n"));
    QScrollBar* bar = text->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);

    // Reading near the top: new answers arrive without moving the view.
    bar->setValue(3);
    AnswerCorrect();
    EXPECT_TRUE(QTest::qWaitFor([&] { return text->document()->blockCount() == 82; }, 5500));
    EXPECT_EQ(bar->value(), 3);

    // At the end: the view follows the new lines.
    bar->setValue(bar->maximum());
    AnswerCorrect();
    AnswerCorrect();
    EXPECT_TRUE(QTest::qWaitFor([&] { return text->document()->blockCount() == 84; }, 5500));
    EXPECT_EQ(bar->value(), bar->maximum());

    std::string report(state.reportBuffer.get());
    std::string shown = text->toPlainText().toStdString();
    for (size_t at = report.find('\r'); at != std::string::npos; at = report.find('\r'))
        report.erase(at, 1);
    EXPECT_EQ(shown, report);

    Button(FindWindow(QStringLiteral("resultsReport")), "okButton")->click();
    EXPECT_FALSE(app->reportOpen);
    EXPECT_EQ(FindWindow(QStringLiteral("resultsReport")), nullptr);
}

} // namespace
} // namespace lexipond::testing
