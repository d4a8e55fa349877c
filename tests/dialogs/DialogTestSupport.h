#pragma once
// A word database in a temporary folder with the tutor objects around it, and
// helpers that drive modal dialogs the way a user would (a timer finds the
// dialog once its modal loop runs, acts, and closes it).
#include "TestSupport.h"
#include "dialogs/WordDetails.h"
#include "shell/AppContext.h"
#include "shell/SettingsFile.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace lexipond::testing {

struct DialogWorld {
    DialogWorld() {
        db.fileName = folder / "LPDB.lbf";
        EXPECT_NE(CreateWordDatabase(db), 0);
        ApplyDefaultSettings(settings);
    }
    ~DialogWorld() { CloseRecordFile(db); }

    // tallies fill the fields from TotalField(0) on: total, correct, total, ...
    int32_t AddWord(const std::string& word, const std::string& notes = "",
                    const std::vector<int32_t>& tallies = {}) {
        const int32_t slot = AddRecord(db);
        std::strncpy(db.textValue, word.c_str(), sizeof db.textValue - 1);
        PutField(db, slot, kFieldWord);
        std::strncpy(db.textValue, notes.c_str(), sizeof db.textValue - 1);
        PutField(db, slot, kFieldNotes);
        for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
            const size_t at = field - TotalField(0);
            db.numberValue = field >= TotalField(0) && at < tallies.size() ? tallies[at] : 0;
            PutField(db, slot, field);
        }
        return slot;
    }

    TempFolder folder;
    RecordFile db;
    SettingsBlock settings{};
    TutorState state;
    ScriptedRandom random;
    RecordingWindow window;
    Tutor tutor{db, settings, state, random, window};
    AppContext app{db, settings, state, tutor, folder.Slash(), folder.Slash()};
};

// The visible top-level windows of that object name (all of them for an empty name).
inline QWidgetList Shown(const QString& name) {
    QWidgetList shown;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && (name.isEmpty() || widget->objectName() == name))
            shown << widget;
    }
    return shown;
}

// Runs action on the first visible top-level widget that fits, once there is one
// (polled from the event loop). After 8 s without one the test fails and every
// modal dialog is closed, so that a broken dialog cannot hang the run.
inline void WhenShown(std::function<bool(QWidget*)> fits, std::function<void(QWidget*)> action) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, fits, action, waited = 0]() mutable {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && fits(widget)) {
                poll->stop();
                poll->deleteLater();
                return action(widget);
            }
        }
        if ((waited += 10) < 8000)
            return;
        poll->stop();
        poll->deleteLater();
        ADD_FAILURE() << "the expected window did not appear";
        while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            modal->done(QDialog::Rejected);
    });
    poll->start(10);
}

inline void WhenShown(const QString& name, std::function<void(QWidget*)> action) {
    WhenShown([name](QWidget* widget) { return widget->objectName() == name; }, std::move(action));
}

inline QPushButton* Button(QWidget* dialog, const char* name) {
    auto* button = dialog->findChild<QPushButton*>(name);
    EXPECT_NE(button, nullptr) << name;
    return button;
}

// Answers the next prompt with its first (1) or second (2) button.
inline void AnswerPrompt(int answer) {
    WhenShown([](QWidget* widget) { return widget->findChild<QPushButton*>("firstButton"); },
              [answer](QWidget* prompt) {
                  Button(prompt, answer == 1 ? "firstButton" : "secondButton")->click();
              });
}

class DialogTest : public ::testing::Test, public DialogWorld {
  protected:
    // Runs script inside the modal dialog of that name that open() shows; the
    // script closes it.
    void Run(const char* name, std::function<void()> open, std::function<void()> script) {
        WhenShown(name, [this, script](QWidget* shown) {
            dialog = shown;
            script();
        });
        open();
    }
    void Click(const char* button) { Button(dialog, button)->click(); }
    void TearDown() override { EXPECT_EQ(Shown({}).size(), 0) << "a window was left open"; }
    void AddWords(const std::vector<std::string>& words) {
        for (const std::string& word : words)
            AddWord(word);
    }
    std::vector<std::string> Words() { return SlotWords(db, LiveSlots(db)); }
    std::string Text(int32_t slot, uint32_t field) {
        EXPECT_GE(GetField(db, slot, field), 0);
        return db.textValue;
    }
    // Fields kFieldReservedA to kFieldReservedB: the tallies and the reserved zeros.
    std::vector<int32_t> Numbers(int32_t slot) {
        std::vector<int32_t> numbers;
        for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
            EXPECT_GE(GetField(db, slot, field), 0);
            numbers.push_back(db.numberValue);
        }
        return numbers;
    }

    QWidget* dialog = nullptr;
};

} // namespace lexipond::testing
