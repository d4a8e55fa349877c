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

TEST_F(DialogsTest, TheListHoldsEveryWordFindsOneByTypingAndFollowsARename) {
    AddWords("apple bird cat dog");
    Run("wordDetails", 0, [&] {
        ASSERT_EQ(box->count(), 4);
        EXPECT_EQ(box->itemText(3), "dog");
        TypeOver(box->lineEdit(), "apricot");
        Click("nextButton");
        EXPECT_EQ(box->itemText(0), "apricot") << "the list keeps the old text of a saved rename";
        box->showPopup();
        QAbstractItemView* view = box->view();
        ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
        QTest::keyClicks(view, "ca");
        QTest::keyClick(view, Qt::Key_Return);
        EXPECT_EQ(box->currentText(), "cat");
        EXPECT_EQ(box->currentIndex(), 2);
        Click("cancelButton");
    });
    EXPECT_EQ(Stored(), "apricot bird cat dog");
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

TEST_F(DialogsTest, TypingIntoANewWordReplacesItAndEnterKeepsIt) {
    const struct {
        const char* name;
        int32_t target;
        const char* button; // pressed first, if any
        const char* wordsAfter;
    } rows[] = {{"Add Word", kDetailsNewWord, nullptr, "apple zebra"},
                {"New", 0, "newButton", "apple zebra"},
                {"Copy", 0, "copyButton", "apple zebra"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const int32_t slot : LiveSlots(db))
            SetRecordTag(db, slot, RecordDeleted);
        AddWords("apple");
        Run("wordDetails", row.target, [&] {
            if (row.button)
                Click(row.button);
            QWidget* field = dialog->focusWidget();
            EXPECT_EQ(field, box) << "the focus is not in the word field";
            field = box;
            QTest::keyClicks(field, "zebra");
            QTest::keyClick(field, Qt::Key_Return);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "Enter did not close the dialog";
                Click("cancelButton");
            }
        });
        EXPECT_EQ(Stored(), row.wordsAfter);
    }
}

TEST_F(DialogsTest, OldTextInAnyEncodingSurvivesBrowsingAndOk) {
    // Windows-1252 bytes, a word longer than the 59 bytes the dialog saves, and
    // notes with a lone CR: none of them is what the dialog would write.
    AddWordRecord(db, "caf\xE9", "na\xEFve\rnotes");
    AddWordRecord(db, std::string(63, 'l'), "\x93quoted\x94");
    AddWordRecord(db, "\xC3\xA9t\xC3\xA9");
    const std::string before = ReadBytes(db.fileName);
    Run("wordDetails", 0, [&] {
        EXPECT_EQ(box->currentText(), QString::fromUtf8("caf\xC3\xA9"));
        Click("nextButton");
        Click("nextButton");
        Click("previousButton");
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_TRUE(ReadBytes(db.fileName) == before) << "the dialog wrote what nobody edited";
    // An edit is stored as typed, and only the field that was edited.
    Run("wordDetails", 0, [&] {
        TypeOver(notes, "fresh");
        Click("okButton");
    });
    EXPECT_EQ(Stored(), "caf\xE9 " + std::string(63, 'l') + " \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(Notes(0), "fresh");
}

TEST_F(DialogsTest, NotesAreNeverCutBetweenCrAndLf) {
    AddWords("apple");
    const struct {
        const char* name;
        QString typed;
        std::string stored;
    } rows[] = {
        {"line end across the cut", QString(298, 'n') + "\nx", std::string(298, 'n')},
        {"line end before the cut", QString(297, 'n') + "\nx", std::string(297, 'n') + "\r\n"},
        {"short", "a\nb", "a\r\nb"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Run("wordDetails", 0, [&] {
            notes->setPlainText(row.typed);
            Click("okButton");
        });
        EXPECT_EQ(Notes(0), row.stored);
    }
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

TEST_F(DialogsTest, OptionsOkStoresEveryChoiceAndStartsAFreshSession) {
    AddWordRecord(db, "apple", "", {4, 3});
    // A Windows-1252 name with old bytes behind its end: left alone, it keeps them all.
    const char oldName[12] = "Ren\xE9\0stale";
    std::memcpy(settings.userNames[1], oldName, sizeof oldName);
    const std::string namesBefore(settings.userNames[1], kUserNameSize * (kUserCount - 1));
    state.sessionTotal = state.sessionCorrect = 7;
    settings.confirmQuit = 1;
    Run("options", 0, [&] {
        QWidget* field = dialog->findChild<QLineEdit*>("userName1");
        EXPECT_EQ(dialog->focusWidget(), field);
        QTest::keyClicks(field, "Ada"); // replaces the name: it opens selected
        dialog->findChild<QComboBox*>("levelList")->setCurrentIndex(5);
        dialog->findChild<QCheckBox*>("confirmQuit")->click();
        Click("okButton");
    });
    EXPECT_EQ(std::string(settings.userNames[0]), "Ada");
    EXPECT_TRUE(std::string(settings.userNames[1], namesBefore.size()) == namesBefore);
    EXPECT_EQ(settings.level, 5);
    EXPECT_EQ(settings.confirmQuit, 0);
    EXPECT_STREQ(state.currentUserName, "Ada");
    EXPECT_EQ(std::vector<uint32_t>(
                  {state.sessionTotal, state.sessionCorrect, state.userTotal, state.userCorrect}),
              std::vector<uint32_t>({0, 0, 4, 3}));
}

TEST_F(DialogsTest, AppearanceIsShownAtOnceStoredInItsOwnFileAndReaderFontsComeFirst) {
    TempFolder config;
    app.lookFile = QString::fromStdString(config.Path()) + QStringLiteral("/Lexipond/lexipond.conf");
    std::vector<LookSettings> shown;
    app.lookChanged = [&] { shown.push_back(app.look); };
    Run("options", 0, [&] {
        auto* scheme = dialog->findChild<QComboBox*>("colourScheme");
        auto* typeface = dialog->findChild<QComboBox*>("wordTypeface");
        auto* lower = dialog->findChild<QCheckBox*>("lowerCase");
        ASSERT_TRUE(scheme && typeface && lower);
        EXPECT_EQ(scheme->currentIndex(), 0); // classic
        EXPECT_EQ(typeface->currentData().toString(), QString()); // the usual family
        // The families made for early readers, when installed, right after "Standard".
        QStringList readers;
        for (const QString& family : QFontDatabase::families())
            if (family == "Andika" || family == "OpenDyslexic")
                readers << family;
        for (int i = 0; i < readers.size(); ++i)
            EXPECT_EQ(typeface->itemData(1 + i).toString(), readers[i]);
        scheme->setCurrentIndex(scheme->findText("Dark"));
        EXPECT_EQ(shown.size(), 1u); // before OK: at once
        typeface->setCurrentIndex(1);
        lower->click();
        Click("okButton");
    });
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(app.look.scheme, ColourScheme::Dark);
    EXPECT_EQ(app.look.wordFamily, QFontDatabase::families().isEmpty() ? QString() : WordFamilies()[0]);
    EXPECT_TRUE(app.look.lowerCase);
    EXPECT_TRUE(LoadLook(app.lookFile) == app.look);
}

TEST_F(DialogsTest, TransparencyTakesWhatTheFormulaTakes) {
    const struct {
        const char* name;
        int alphaBefore;
        std::function<void(QLineEdit*)> edit;
        int alphaAfter;
    } rows[] = {
        {"unchanged", 75, [](QLineEdit*) {}, 76},
        {"150 is typed whole", 75, [](QLineEdit* f) { QTest::keyClicks(f, "150"); }, 5},
        {"a long number", 75, [](QLineEdit* f) { QTest::keyClicks(f, "99999999999999"); }, 5},
        {"empty reads as 0", 5, [](QLineEdit* f) { QTest::keyClick(f, Qt::Key_Delete); }, 255},
        {"1", 5, [](QLineEdit* f) { QTest::keyClicks(f, "1"); }, 255},
        {"50", 5, [](QLineEdit* f) { QTest::keyClicks(f, "50"); }, 130},
        {"99", 255, [](QLineEdit* f) { QTest::keyClicks(f, "99"); }, 5},
        {"letters are refused", 255, [](QLineEdit* f) { QTest::keyClicks(f, "5x0"); }, 130},
        {"the arrow stops at 100", 5,
         [](QLineEdit* f) {
             QTest::keyClicks(f, "99");
             for (int i = 0; i < 3; ++i)
                 QTest::keyClick(f, Qt::Key_Up);
             EXPECT_EQ(f->text(), "100");
         },
         5},
        {"the arrow comes down from a typed 150", 5,
         [](QLineEdit* f) {
             QTest::keyClicks(f, "150");
             QTest::keyClick(f, Qt::Key_Down);
             EXPECT_EQ(f->text(), "99");
         },
         5},
        {"the arrow stops at 0", 5,
         [](QLineEdit* f) {
             QTest::keyClicks(f, "1");
             for (int i = 0; i < 3; ++i)
                 QTest::keyClick(f, Qt::Key_Down);
             EXPECT_EQ(f->text(), "0");
         },
         255},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        settings.transparencyAlpha = row.alphaBefore;
        Run("options", 0, [&] {
            QLineEdit* field =
                dialog->findChild<QSpinBox*>("transparency")->findChild<QLineEdit*>();
            field->selectAll();
            row.edit(field);
            Click("okButton");
        });
        EXPECT_EQ(settings.transparencyAlpha, row.alphaAfter);
    }
}

TEST_F(DialogsTest, ImportAddsTheWordsAtOnceAndTellsWhatBecameOfTheLines) {
    AddWords("apple bird");
    const struct {
        const char* name;
        std::string content, told, wordsAfter;
    } rows[] = {
        {"an LF list", "cat\ndog\n\napple\n",
         "2 words added; 1 already in the list; 1 empty line skipped", "apple bird cat dog"},
        {"one new word without a line end", "emu", "1 word added", "apple bird cat dog emu"},
        {"nothing new", "emu\r\n\r\n\r\n",
         "0 words added; 1 already in the list; 2 empty lines skipped", "apple bird cat dog emu"},
    };
    const std::string list = folder / "list.txt";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(list, row.content);
        Run("options", 0, [&] {
            WhenShown("chooseTextFile", [&](QWidget* chooser) {
                // Typed, as the chooser's list of the folder fills in the background.
                chooser->findChild<QLineEdit*>("fileNameEdit")
                    ->setText(QString::fromStdString(list));
                WhenShown("tell", [&](QWidget* told) {
                    EXPECT_EQ(static_cast<QMessageBox*>(told)->text().toStdString(), row.told);
                    EXPECT_EQ(Stored(), row.wordsAfter) << "in the list before OK";
                    static_cast<QMessageBox*>(told)->accept();
                });
                QMetaObject::invokeMethod(chooser, "accept");
            });
            Click("importButton");
            Click("okButton");
        });
    }
}

} // namespace
} // namespace lexipond::testing
