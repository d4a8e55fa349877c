#pragma once
// A word database in a temporary folder with the tutor objects around it, and
// helpers that drive modal dialogs the way a user would (a timer finds the
// dialog once its modal loop runs, acts, and closes it).
#include "dialogs/WordDetails.h"
#include "recordfile/RecordFile.h"
#include "recordfile/WordDatabase.h"
#include "shell/AppContext.h"
#include "shell/Settings.h"
#include "shell/SettingsFile.h"
#include "tutor/TutorState.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace lexipond::testing {

class CountingRandom final : public RandomSource {
  public:
    bool Fill(uint32_t& value) override {
        value = next++;
        return true;
    }
    uint32_t TickCount() override { return 0; }
    uint32_t next = 1;
};

class QuietWindow final : public WindowPort {
  public:
    void Invalidate() override {}
    void PostCommand(int) override {}
    void PostClose() override {}
};

struct WordRow {
    std::string word;
    std::string notes;
    uint32_t total0 = 0;
    uint32_t correct0 = 0;
};

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        db.fileName = folder_.filePath(QStringLiteral("LPDB.lbf")).toStdString();
        ASSERT_NE(CreateWordDatabase(db), 0);
        std::memset(&settings, 0, sizeof settings);
        ApplyDefaultSettings(settings);
        const std::string path = folder_.path().toStdString() + "/";
        app = std::make_unique<AppContext>(AppContext{db, settings, state, tutor, path, path});
    }
    void TearDown() override {
        // Nothing may be left open for the next test.
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible())
                ADD_FAILURE() << "left open: " << widget->objectName().toStdString();
        }
        CloseRecordFile(db);
    }

    std::string Folder() const { return folder_.path().toStdString(); }

    int32_t AddWord(const WordRow& row) {
        const int32_t slot = AddRecord(db);
        EXPECT_GE(slot, 0);
        std::strcpy(db.textValue, row.word.c_str());
        PutField(db, slot, kFieldWord);
        std::strcpy(db.textValue, row.notes.c_str());
        PutField(db, slot, kFieldNotes);
        for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
            db.numberValue = 0;
            PutField(db, slot, field);
        }
        db.numberValue = static_cast<int32_t>(row.total0);
        PutField(db, slot, TotalField(0));
        db.numberValue = static_cast<int32_t>(row.correct0);
        PutField(db, slot, CorrectField(0));
        return slot;
    }
    void AddWords(const std::vector<std::string>& words) {
        for (const std::string& word : words)
            AddWord({word, "", 0, 0});
    }

    std::string Text(int32_t slot, uint32_t field) {
        EXPECT_GE(GetField(db, slot, field), 0);
        return db.textValue;
    }
    int32_t Number(int32_t slot, uint32_t field) {
        EXPECT_GE(GetField(db, slot, field), 0);
        return db.numberValue;
    }
    std::vector<std::string> Words() { return SlotWords(db, LiveSlots(db)); }
    int32_t SlotOf(const std::string& word) {
        for (const int32_t slot : LiveSlots(db)) {
            if (Text(slot, kFieldWord) == word)
                return slot;
        }
        return -1;
    }

    RecordFile db;
    SettingsBlock settings{};
    TutorState state;
    CountingRandom random;
    QuietWindow window;
    Tutor tutor{db, settings, state, random, window};
    std::unique_ptr<AppContext> app;

  private:
    QTemporaryDir folder_;
};

// The visible top-level widget of that object name, or null.
inline QWidget* FindWindow(const QString& name) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->objectName() == name)
            return widget;
    }
    return nullptr;
}

// The visible prompt (the dialog that holds a "firstButton"), or null.
inline QWidget* FindPrompt() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->findChild<QPushButton*>(QStringLiteral("firstButton")))
            return widget;
    }
    return nullptr;
}

// Runs action once find() yields a widget (polled from the event loop). When it
// never appears within timeoutMs, the test fails and every modal dialog is closed
// so that the test cannot hang.
inline void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> action,
                      int timeoutMs = 8000) {
    auto* poll = new QTimer;
    auto started = std::make_shared<int>(0);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, started, find, action, timeoutMs] {
        *started += 10;
        if (QWidget* widget = find()) {
            poll->stop();
            poll->deleteLater();
            action(widget);
            return;
        }
        if (*started > timeoutMs) {
            poll->stop();
            poll->deleteLater();
            ADD_FAILURE() << "the expected window did not appear";
            while (QWidget* modal = QApplication::activeModalWidget()) {
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->done(QDialog::Rejected);
                else
                    modal->close();
            }
        }
    });
    poll->start();
}

// Answers the next prompt with its first (1) or second (2) button.
inline void AnswerPrompt(int answer) {
    WhenShown(FindPrompt, [answer](QWidget* prompt) {
        const char* name = answer == 1 ? "firstButton" : "secondButton";
        prompt->findChild<QPushButton*>(QString::fromLatin1(name))->click();
    });
}

inline QPushButton* Button(QWidget* dialog, const char* name) {
    auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
}

} // namespace lexipond::testing
