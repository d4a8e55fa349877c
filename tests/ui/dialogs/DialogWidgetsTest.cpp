// SPDX-License-Identifier: GPL-3.0-or-later
// The Word Details and Options dialogs, driven through their controls.
#include "DialogTestSupport.h"
#include "ui/dialogs/OptionsDialog.h"
#include "core/words/WordDetails.h"
#include "ui/dialogs/WordDetailsDialog.h"
#include "core/tutor/Commands.h"
#include "core/tutor/Tutoring.h"

#include <QTest>
#include <QtWidgets>
#include <gmock/gmock.h>

namespace lexipond::testing {
namespace {

// Replaces a field's text by typing, as a user does.
void TypeOver(QWidget* field, const QString& text) {
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    for (const QChar ch : text) { // text-only key events, as from an input method
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(field, &press);
    }
}

class DialogsTest : public ::testing::Test, public DialogWorld {
  protected:
    void TearDown() override { EXPECT_EQ(Shown({}).size(), 0) << "a window was left open"; }

    // Runs script inside the Options dialog, or Word Details opened on target;
    // the script closes it.
    void Run(const char* name, int32_t target, std::function<void()> script) {
        WhenShown(name, [this, script](QWidget* shown) {
            dialog = shown;
            box = shown->findChild<QComboBox*>("wordBox");
            notes = shown->findChild<QPlainTextEdit*>("notesBox");
            script();
        });
        state.detailsTarget = target;
        std::strcmp(name, "options") ? RunWordDetailsDialog(app, nullptr)
                                     : RunOptionsDialog(app, nullptr);
    }
    void Click(const char* button) { dialog->findChild<QPushButton*>(button)->click(); }
    void AddWords(const char* words) {
        for (const QString& word : QString(words).split(' '))
            AddWordRecord(db, word.toStdString());
    }
    // The stored words in slot order, joined by spaces.
    std::string Stored() {
        std::string joined;
        for (const std::string& word : SlotWords(db, LiveSlots(db)))
            joined += (joined.empty() ? "" : " ") + word;
        return joined;
    }
    std::string Notes(int32_t slot) {
        return GetField(db, slot, kFieldNotes) < 0 ? "(unreadable)" : db.textValue;
    }

    QWidget* dialog = nullptr;
    QComboBox* box = nullptr;
    QPlainTextEdit* notes = nullptr;
};

TEST_F(DialogsTest, MovingToAnotherWordSavesTheEditsCutTo59BytesButNotPastTheEnds) {
    AddWords("apple bird cat");
    const std::string w58(58, 'w');
    Run("wordDetails", 0, [&] {
        TypeOver(box->lineEdit(), QString(70, 'w'));
        Click("previousButton");
        EXPECT_EQ(Stored(), "apple bird cat");
        Click("nextButton");
        TypeOver(box->lineEdit(), QString::fromStdString(w58 + "\xc3\xa9"));
        TypeOver(notes, "fluffy");
        box->showPopup(); // choose cat from the list
        QAbstractItemView* view = box->view();
        ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->model()->index(2, 0)).center());
        EXPECT_EQ(notes->toPlainText(), "");
        TypeOver(notes, "last");
        Click("nextButton");
        EXPECT_EQ(box->currentText(), "cat");
        EXPECT_EQ(Notes(2), "");
        Click("okButton");
    });
    EXPECT_EQ(Stored(), w58 + "w " + w58 + " cat");
    EXPECT_EQ(Notes(1), "fluffy");
    EXPECT_EQ(Notes(2), "last");
}

TEST_F(DialogsTest, DeleteAsksShowsTheNextWordAndNeverDeletesTheLast) {
    AddWords("apple bird cat dog");
    const struct {
        const char* name;
        int32_t target;
        const char *answer, *shownAfter, *wordsAfter;
    } rows[] = {{"No keeps the word", 1, "secondButton", "bird", "apple bird cat dog"},
                {"Yes shows the next word", 1, "firstButton", "cat", "apple cat dog"},
                {"the last in the list", 2, "firstButton", "cat", "apple cat"},
                {"the first in the list", 0, "firstButton", "cat", "cat"},
                {"the only word, no new one", 0, "secondButton", "cat", "cat"},
                {"the only word, a new one", 0, "firstButton", "New Word", "cat New Word"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Run("wordDetails", row.target, [&] {
            WhenShown("firstButton", [&](QWidget* prompt) {
                prompt->findChild<QPushButton*>(row.answer)->click();
            });
            Click("deleteButton");
            EXPECT_EQ(box->currentText(), row.shownAfter);
            Click("cancelButton");
        });
        EXPECT_EQ(Stored(), row.wordsAfter);
    }
}

TEST_F(DialogsTest, TalliesShowTruncatedPercentagesAndACopyStartsAtZero) {
    AddWordRecord(db, "cat", "a pet", {3, 2});
    const auto percent = [this](int user) {
        return dialog->findChild<QLabel*>(QStringLiteral("percent%1").arg(user))->text();
    };
    Run("wordDetails", 0, [&] {
        EXPECT_EQ(percent(1), "66");
        EXPECT_EQ(percent(2), "100");
        Click("copyButton");
        EXPECT_EQ(box->currentIndex(), 1);
        Click("cancelButton");
    });
    ASSERT_EQ(Stored(), "cat cat");
    EXPECT_EQ(Notes(1), "a pet");
    WordDetails copy;
    ASSERT_TRUE(ReadWordDetails(db, 1, copy));
    EXPECT_THAT(copy.total, ::testing::Each(0u));
}

TEST_F(DialogsTest, AddWordLeavesANewWordEvenOnCancel) {
    AddWords("apple");
    Run("wordDetails", kDetailsNewWord, [&] { Click("cancelButton"); });
    EXPECT_EQ(Stored(), "apple New Word");
}

TEST_F(DialogsTest, OptionsShowTransparencyAsPercentCutNamesAndIgnoreEsc) {
    settings.transparencyAlpha = 75;
    Run("options", 0, [&] {
        EXPECT_EQ(dialog->findChild<QSpinBox*>("transparency")->text(), "71");
        TypeOver(dialog->findChild<QLineEdit*>("userName1"), QString(120, 'n'));
        QTest::keyClick(dialog, Qt::Key_Escape);
        dialog->close();
        EXPECT_TRUE(dialog->isVisible());
        Click("okButton");
    });
    EXPECT_EQ(settings.transparencyAlpha, 76);
    EXPECT_EQ(std::string(settings.userNames[0]), std::string(99, 'n'));
}

TEST_F(DialogsTest, ImportAddsTheWordsAtOnce) {
    AddWords("apple bird");
    const std::string list = folder / "list.txt";
    WriteBytes(list, "cat\r\ndog\r\napple\r\n");
    Run("options", 0, [&] {
        WhenShown("chooseTextFile", [&](QWidget* chooser) {
            static_cast<QFileDialog*>(chooser)->selectFile(QString::fromStdString(list));
            QMetaObject::invokeMethod(chooser, "accept");
        });
        Click("importButton");
        EXPECT_EQ(Stored(), "apple bird cat dog");
        Click("okButton");
    });
}

} // namespace
} // namespace lexipond::testing
