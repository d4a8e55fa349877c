// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program object and its main window on Qt's offscreen platform.
#include "TestSupport.h"
#include "core/history/HistoryTestSupport.h"
#include "core/platform/DataLock.h"
#include "core/settings/SettingsFile.h"
#include "core/tutor/Commands.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/WordStore.h"
#include "core/words/DatabaseCheck.h"
#include "ui/common/AppContext.h"
#include "ui/common/AppIcon.h"
#include "ui/speech/WordListener.h"
#if LEXIPOND_WITH_SPEECH
#include "core/speech/Synthesizer.h"
#endif
#include "ui/speech/WordSpeaker.h"
#include "ui/window/ListeningMode.h"
#include "ui/window/MainWindow.h"
#include "ui/window/Program.h"

#include <QAudioDevice>
#include <QLabel>
#include <QLineEdit>
#include <QMediaDevices>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <map>
#include <sys/fsuid.h>
#include <sys/stat.h>

namespace lexipond {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// Acts once on the first modal dialog to open and keeps its text.
struct WhenOpens {
    explicit WhenOpens(std::function<void(QWidget*)> act) {
        QObject::connect(&timer, &QTimer::timeout, [this, act] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog && dialog->isVisible() && !std::exchange(ran, true)) {
                QObject* edit = dialog->findChild<QWidget*>(QStringLiteral("message"));
                text = (edit ? edit->property("plainText") : dialog->property("text")).toString();
                act(dialog);
            }
        });
        timer.start(10);
    }
    QTimer timer;
    bool ran = false;
    QString text;
};
const auto Unexpected = [](QWidget* dialog) {
    ADD_FAILURE() << "a dialog opened";
    dialog->close();
};
const auto PressEsc = [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); };
std::function<void(QWidget*)> Press(const char* button) {
    return [button](QWidget* dialog) { dialog->findChild<QPushButton*>(button)->click(); };
}

QString DialogText(QWidget* dialog) {
    QObject* edit = dialog->findChild<QWidget*>(QStringLiteral("message"));
    return (edit ? edit->property("plainText") : dialog->property("text")).toString();
}

// Acts on each modal dialog as it opens, in turn, and keeps their captions,
// texts and button texts. A dialog beyond the acts, or one that an act left
// open for 5 s, is a failure and is closed, so that a broken run cannot hang.
struct EachDialog {
    explicit EachDialog(std::vector<std::function<void(QWidget*)>> acts) : acts_(std::move(acts)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || !dialog->isVisible())
                return;
            if (dialog == current_.data()) {
                if (++ticksOpen_ == 500) {
                    ADD_FAILURE() << "a dialog stayed open: " << texts.back().toStdString();
                    dialog->close();
                }
                return;
            }
            current_ = dialog;
            ticksOpen_ = 0;
            captions.push_back(dialog->windowTitle());
            texts.push_back(DialogText(dialog));
            QStringList names;
            for (QPushButton* button : dialog->findChildren<QPushButton*>())
                names << button->text();
            buttons.push_back(names.join(QLatin1Char('|')));
            if (texts.size() > acts_.size()) {
                ADD_FAILURE() << "an unexpected dialog: " << texts.back().toStdString();
                dialog->close();
            } else {
                acts_[texts.size() - 1](dialog);
            }
        });
        timer_.start(10);
    }
    std::vector<QString> captions, texts, buttons;

  private:
    std::vector<std::function<void(QWidget*)>> acts_;
    QPointer<QWidget> current_;
    int ticksOpen_ = 0;
    QTimer timer_;
};
const auto PressEnter = [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); };

// The settings block of a settings file as bytes (empty when it is not whole).
std::string StoredBlock(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    return bytes.size() == 1008 ? bytes.substr(8) : "";
}
std::string BlockOf(const SettingsBlock& settings) {
    return std::string(reinterpret_cast<const char*>(&settings), sizeof settings);
}

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(fs::path(std::getenv("LEXIPOND_TEST_SOURCE_DIR")) / "resources/dImport.txt",
                      program / "dImport.txt");
        ApplyDefaultSettings(stored);
    }
    Program& Make() {
        p = std::make_unique<Program>(program.Slash());
        return *p;
    }
    // A later run (the settings file exists) once the first word is on show.
    void StartLater() {
        ASSERT_TRUE(SaveSettingsFile(stored, program.Slash()));
        WhenOpens unexpected(Unexpected); // no welcome
        ASSERT_TRUE(Make().Start());
        window = p->Window();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !p->Store().WordOnShow().empty(); }));
    }
    TutorState& state() { return p->Store().Core().state; }
    // A good database of numbered words beside its " Bak", then the database damaged.
    void DamageDatabaseBesideGoodBak() {
        MakeWordDatabase(program / "LPDB.lbf", NumberedWords(12));
        fs::copy_file(program / "LPDB.lbf", program / "LPDB.lbf Bak");
        std::string bytes = ReadBytes(program / "LPDB.lbf");
        bytes.replace(0, 4, "JUNK");
        WriteBytes(program / "LPDB.lbf", bytes);
        damaged = bytes;
    }
    // The file kept aside as "LPDB.lbf damaged-...", or "".
    std::string KeptDamaged() {
        for (const auto& entry : fs::directory_iterator(program.Path()))
            if (entry.path().filename().string().rfind("LPDB.lbf damaged-", 0) == 0)
                return ReadBytes(entry.path().string());
        return "";
    }
    bool Valid(const std::string& path) {
        words::DatabaseFacts facts;
        std::string reason;
        return words::CheckWordDatabase(path, facts, reason) == words::CheckOutcome::Valid;
    }
    uint32_t Sum(uint32_t field) { return SumUserField(p->Store().Core(), field); }

    TempFolder program, home, runtime, config;
    ScopedEnv dataEnv{"XDG_DATA_HOME", home.Path()}, runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path()},
        configEnv{"XDG_CONFIG_HOME", config.Path()};
    SettingsBlock stored{};
    std::string damaged;
    std::unique_ptr<Program> p;
    MainWindow* window = nullptr;
};

// Items joined by '|', "[x] " before a checked one, a submenu's items in brackets.
std::string Describe(const QMenu& menu) {
    std::string items;
    for (QAction* action : menu.actions())
        items += (items.empty() ? "" : "|") + std::string(action->isChecked() ? "[x] " : "") +
                 (action->isSeparator() ? "-" : action->text().toStdString()) +
                 (action->menu() ? " (" + Describe(*action->menu()) + ")" : "");
    return items;
}

TEST_F(ProgramTest, ClicksAndCommandsChangeTalliesAndSettingsAndTheMenuShowsThem) {
    stored.transparent = stored.onTop = 1; // applied at start
    stored.transparencyAlpha = 128;
    StartLater();
    const struct {
        const char* name;
        int x, y, addTotal, addCorrect;
    } clicks[] = {{"Correct, top left", 16, 268, 1, 1},
                  {"Correct, bottom right", 154, 301, 1, 1},
                  {"Incorrect, left", 236, 280, 1, 0},
                  {"Incorrect, right", 374, 290, 1, 0},
                  {"Skip", 451, 268, 0, 0},
                  {"Correct's left edge", 15, 280, 0, 0},
                  {"Correct's right edge", 155, 280, 0, 0},
                  {"Correct's top edge", 100, 267, 0, 0},
                  {"Correct's bottom edge", 100, 302, 0, 0}};
    for (const auto& [name, x, y, addTotal, addCorrect] : clicks) {
        SCOPED_TRACE(name);
        const uint32_t total = Sum(TotalField(0)), correct = Sum(CorrectField(0));
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(x, y));
        EXPECT_EQ(Sum(TotalField(0)), total + addTotal);
        EXPECT_EQ(Sum(CorrectField(0)), correct + addCorrect);
    }
    std::strcpy(state().currentWord, "cats & dogs");
    // The answer keys come last, so every item a mouse user knows keeps its place.
    const std::string keys = "|-|Correct\tRight, Enter, C|Incorrect\tLeft, X|Skip\tSpace, Down|";
    const std::string clicked = p->Store().LastAnswer().value_or(AnswerStep{}).word;
    const auto expect = [&](bool on, const std::string& items) {
        QMenu menu;
        window->BuildContextMenu(menu);
        EXPECT_EQ(Describe(menu), items);
        EXPECT_NEAR(window->windowOpacity(), on ? 128 / 255.0 : 1.0, 0.01);
        EXPECT_EQ(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint), on);
        EXPECT_TRUE(window->isVisible()); // changing the flag must not hide the window
    };
    expect(true, "Edit cats && dogs|Add Word|Report|-|User ([x] Zov|Quen|Pelty|Rondel|Vimsa)|"
                 "Level (Easiest|Easier|Easy|[x] Normal|Hard|Harder|Hardest)|-|[x] Transparent|"
                 "[x] On Top|Full Screen|-|Options...|About|Help|Exit" +
                     keys + "Undo: " + clicked + ", Skip\tCtrl+Z|Say the word\tS|Listen\tL|-|Progress...");
    EXPECT_EQ(state().userTotal, 4u);
    for (int command : {CMD_USER_5, CMD_LEVEL_HARDEST, CMD_TRANSPARENT, CMD_ON_TOP})
        window->OnCommand(command);
    window->OnCommand(CMD_REPORT); // open at the end: the window takes it along
    const std::string laterMenu = "User (Zov|Quen|Pelty|Rondel|[x] Vimsa)|Level (Easiest|Easier|"
                                  "Easy|Normal|Hard|Harder|[x] Hardest)|-|";
    expect(false, laterMenu + "Transparent|On Top|Full Screen|-|Options...|About|Help|Exit" + keys +
                      "Undo: " + clicked + ", Skip\tCtrl+Z|Say the word\tS|Listen\tL|-|Progress...");
    EXPECT_EQ(state().userTotal, 0u);
    window->OnCommand(CMD_TRANSPARENT);
    window->OnCommand(CMD_ON_TOP);
    expect(true, laterMenu + "[x] Transparent|[x] On Top|Full Screen|-|Options...|About|Help|Exit" +
                     keys + "Undo: " + clicked + ", Skip\tCtrl+Z|Say the word\tS|Listen\tL|-|Progress...");
}

TEST_F(ProgramTest, AnswerKeysTallyAsTheirButtonsAndCtrlZTakesThemBack) {
    StartLater();
    const auto& core = p->Store().Core();
    // Learner 0's field sums, the session counts and the report.
    const auto look = [&] {
        return std::make_tuple(Sum(TotalField(0)), Sum(CorrectField(0)), state().sessionTotal,
                               state().sessionCorrect, ReportText(p->Store().Core()));
    };
    const struct {
        const char* name;
        Qt::Key key;
        QPoint button;
    } rows[] = {{"Right", Qt::Key_Right, {80, 280}},  {"Return", Qt::Key_Return, {80, 280}},
                {"Enter", Qt::Key_Enter, {80, 280}},  {"C", Qt::Key_C, {80, 280}},
                {"Left", Qt::Key_Left, {300, 280}},   {"X", Qt::Key_X, {300, 280}},
                {"Space", Qt::Key_Space, {500, 280}}, {"Down", Qt::Key_Down, {500, 280}}};
    for (const auto& [name, key, button] : rows) {
        SCOPED_TRACE(name);
        const std::string word = p->Store().WordOnShow();
        const auto before = look();
        QTest::keyClick(window, key);
        const auto byKey = look();
        EXPECT_NE(p->Store().WordOnShow(), word) << "the next word is shown";
        // Ctrl+Z takes it back and shows the word again; the button then gives the same.
        QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(look(), before);
        EXPECT_EQ(p->Store().WordOnShow(), word);
        QTest::mouseClick(window, Qt::LeftButton, {}, button);
        EXPECT_EQ(look(), byKey);
        EXPECT_EQ(std::get<4>(byKey) == std::get<4>(before), button.x() == 500)
            << "an answer adds its line, a skip none";
    }
    EXPECT_EQ(state().sessionTotal, 6u); // six answers by button stayed, two skips
    EXPECT_EQ(state().undoSteps.size(), 8u);

    // Other keys, modifiers and a held key's repeats answer nothing.
    const auto steps = core.state.undoSteps.size();
    for (const auto& [key, modifiers] : std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>{
             {Qt::Key_A, {}},
             {Qt::Key_Up, {}},
             {Qt::Key_C, Qt::ControlModifier},
             {Qt::Key_Right, Qt::AltModifier},
             {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier}}) {
        QTest::keyClick(window, key, modifiers);
    }
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(window, &repeat);
    EXPECT_EQ(core.state.undoSteps.size(), steps);
}

TEST_F(ProgramTest, UndoOfADeletedWordIsRefusedWithAPromptAndChangesNothing) {
    StartLater();
    QTest::keyClick(window, Qt::Key_X);
    const std::string word = p->Store().WordOnShow();
    QTest::keyClick(window, Qt::Key_C);
    const auto step = p->Store().LastAnswer();
    ASSERT_TRUE(step && step->word == word);
    ASSERT_TRUE(p->Store().DeleteWord(FindExactWord(p->Store().Core(), word.c_str(), 0)));
    const auto totals = std::make_pair(Sum(TotalField(0)), Sum(CorrectField(0)));
    const std::string report = ReportText(p->Store().Core());
    WhenOpens prompt(Press("firstButton"));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(prompt.text.startsWith(
        QStringLiteral("\"%1\" was deleted or renamed").arg(QString::fromStdString(word))))
        << prompt.text.toStdString();
    EXPECT_EQ(std::make_pair(Sum(TotalField(0)), Sum(CorrectField(0))), totals);
    EXPECT_EQ(ReportText(p->Store().Core()), report);
    QMenu menu;
    window->BuildContextMenu(menu);
    const QAction* undo = menu.actions().at(menu.actions().size() - 5);
    EXPECT_EQ(undo->text(), QStringLiteral("Undo\tCtrl+Z"));
    EXPECT_FALSE(undo->isEnabled()) << "nothing is left to take back";
}

TEST_F(ProgramTest, MenuKeyAndShiftF10OpenTheMenuAtTheCard) {
    StartLater();
    for (const auto& [key, modifiers] : std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>{
             {Qt::Key_Menu, {}}, {Qt::Key_F10, Qt::ShiftModifier}}) {
        QString opened;
        QRect at;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                opened = popup->objectName();
                at = popup->geometry();
                popup->close();
            }
        });
        poll.start(10);
        QTimer::singleShot(5000, [&] { // a broken test must not hang
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
        QTest::keyClick(window, key, modifiers);
        EXPECT_EQ(opened, QStringLiteral("contextMenu")) << key;
        EXPECT_TRUE(at.intersects(window->geometry())) << key;
    }
}

TEST_F(ProgramTest, AGrownWindowTakesClicksOnTheButtonsWhereTheyArePainted) {
    StartLater();
    window->resize(1208, 632); // the card at twice its size
    QTest::qWait(0);
    ASSERT_EQ(window->size(), QSize(1208, 632));
    const struct {
        const char* name;
        int x, y, addTotal, addCorrect;
    } clicks[] = {{"Correct, top left", 31, 535, 1, 1},
                  {"Correct, bottom right", 309, 603, 1, 1},
                  {"Incorrect", 749, 560, 1, 0},
                  {"Skip", 1000, 560, 0, 0},
                  {"Correct's left edge", 30, 560, 0, 0},
                  {"Correct's top edge", 100, 534, 0, 0},
                  {"where Correct was at the old size", 85, 285, 0, 0},
                  {"between the buttons", 400, 560, 0, 0}};
    for (const auto& [name, x, y, addTotal, addCorrect] : clicks) {
        SCOPED_TRACE(name);
        const uint32_t total = Sum(TotalField(0)), correct = Sum(CorrectField(0));
        const std::string word = p->Store().WordOnShow();
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(x, y));
        EXPECT_EQ(Sum(TotalField(0)), total + addTotal);
        EXPECT_EQ(Sum(CorrectField(0)), correct + addCorrect);
        if (addTotal == 0 && std::string(name) != "Skip") {
            EXPECT_EQ(p->Store().WordOnShow(), word); // no button: nothing happened
        }
    }
    window->resize(100, 100); // never below the card's own size
    QTest::qWait(0);
    EXPECT_EQ(window->size(), layout::kClientSize);
}

TEST_F(ProgramTest, AGrownWindowIsStoredAndComesBackAtItsSizeNeverBelowTheCard) {
    const struct {
        const char* name;
        int width, height;
        QSize expected;
    } rows[] = {{"larger", 1000, 600, QSize(1000, 600)},
                {"smaller than the card", 300, 200, layout::kClientSize},
                {"empty", 0, 0, layout::kClientSize}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WindowPlacement& placement = stored.windowPlacement;
        placement.minPositionX = placement.minPositionY = -1;
        placement.showState = 1;
        placement.normalLeft = 40;
        placement.normalTop = 30;
        placement.normalRight = 40 + row.width;
        placement.normalBottom = 30 + row.height;
        StartLater();
        EXPECT_EQ(window->size(), row.expected);
        window->resize(row.expected + QSize(10, 20));
        window->StorePlacement();
        const WindowPlacement& now = p->Context().settings.windowPlacement;
        EXPECT_EQ(now.normalRight - now.normalLeft, row.expected.width() + 10);
        EXPECT_EQ(now.normalBottom - now.normalTop, row.expected.height() + 20);
        p->EndOfSession();
        p.reset();
    }
}

TEST_F(ProgramTest, F11AndTheMenuSwitchFullScreenAndEscOnlyLeavesIt) {
    StartLater();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const auto menuShowsFullScreen = [&] {
        QMenu menu;
        window->BuildContextMenu(menu);
        for (QAction* action : menu.actions())
            if (action->text() == QStringLiteral("Full Screen"))
                return action->isChecked();
        ADD_FAILURE() << "no Full Screen item";
        return false;
    };
    const auto full = [&] { return window->windowState().testFlag(Qt::WindowFullScreen); };
    QTest::keyClick(window, Qt::Key_Escape); // not full screen: Esc does nothing
    EXPECT_FALSE(full());
    QTest::keyClick(window, Qt::Key_F11);
    EXPECT_TRUE(full());
    EXPECT_TRUE(menuShowsFullScreen());
    QTest::keyClick(window, Qt::Key_F11);
    EXPECT_FALSE(full());
    window->ToggleFullScreen(); // the menu item's way
    EXPECT_TRUE(full());
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(full());
    EXPECT_FALSE(menuShowsFullScreen());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ProgramTest, ExitQuestionNoOrEscKeepsRunningAndYesEnds) {
    stored.confirmQuit = 1;
    StartLater();
    const struct {
        const char* name;
        std::function<void(QWidget*)> act;
        bool ends;
    } answers[] = {{"No", Press("secondButton"), false},
                   {"Esc", PressEsc, false},
                   {"Yes", Press("firstButton"), true}};
    for (const auto& [name, act, ends] : answers) {
        SCOPED_TRACE(name);
        WhenOpens watch(act);
        window->OnCommand(CMD_EXIT);
        EXPECT_EQ(watch.text, QStringLiteral("Are you sure that you want to exit Lexipond?"));
        EXPECT_EQ(state().quitFlag.load(), ends ? kQuitFlagStop : 0);
    }
    // The worker's close comes back as a second exit: no second question.
    WhenOpens unexpected(Unexpected);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->IsDestroyed(); }));
}

TEST_F(ProgramTest, FirstRunWelcomesAndExitWithoutTheQuestionEndsOnce) {
    WhenOpens welcome(Press("firstButton"));
    ASSERT_TRUE(Make().Start());
    EXPECT_EQ(welcome.text, QStringLiteral("Thanks for trying Lexipond. We hope you like it."));
    WhenOpens unexpected(Unexpected);
    p->Window()->close(); // the close box takes the exit path
    EXPECT_TRUE(QTest::qWaitFor([&] { return p->Window()->IsDestroyed(); }));
}

TEST_F(ProgramTest, EndOfSessionSavesWithoutAskingAndKeepsBackups) {
    stored.confirmQuit = 1;
    StartLater();
    WhenOpens unexpected(Unexpected);
    const std::string before = ReadBytes(program / kSettingsFileName);
    p->EndOfSession(); // as on a logout or a termination signal
    EXPECT_TRUE(p->Saved() && window->IsDestroyed());
    EXPECT_TRUE(ReadBytes(program / "dLexipond.dat Bak") == before);
    EXPECT_TRUE(ReadBytes(program / "LPDB.lbf Bak") == ReadBytes(program / "LPDB.lbf"));
}

TEST_F(ProgramTest, SecondInstanceEndsAfterItsWaitTouchingNothing) {
    platform::SingleInstance running;
    ASSERT_TRUE(running.Acquire(platform::InstanceLockPath(platform::kInstanceName), {}));
    WhenOpens unexpected(Unexpected);
    Make().instanceWait = std::chrono::milliseconds(200);
    EXPECT_FALSE(p->Start());
    EXPECT_FALSE(fs::exists(program / "LPDB.lbf") || fs::exists(program / kSettingsFileName));
}

TEST_F(ProgramTest, MissingWordListTellsAndEnds) {
    fs::remove(program / "dImport.txt");
    WriteBytes(program / kSettingsFileName, "WORD1100"); // not a first run
    WhenOpens told(PressEsc);
    EXPECT_FALSE(Make().Start());
    EXPECT_EQ(told.text, QStringLiteral("Cannot find dImport.txt"));
}

// A history file that is not a database is kept aside and a new one started;
// the user is told once the window is up, and the tutor goes on.
TEST_F(ProgramTest, ADamagedHistoryIsKeptAsideWithAWordAndTheTutorGoesOn) {
    ASSERT_TRUE(SaveSettingsFile(stored, program.Slash()));
    const std::string garbage(9000, 'x');
    WriteBytes(program / "history.sqlite", garbage);
    WhenOpens told(PressEsc);
    ASSERT_TRUE(Make().Start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.ran; }, 10000));
    EXPECT_TRUE(told.text.startsWith(QStringLiteral("The answer history could not be used")))
        << told.text.toStdString();
    std::string kept;
    for (const auto& entry : fs::directory_iterator(program.Path()))
        if (entry.path().filename().string().rfind("history.sqlite damaged-", 0) == 0)
            kept = ReadBytes(entry.path().string());
    EXPECT_TRUE(kept == garbage) << "not kept aside byte for byte";
    EXPECT_TRUE(told.text.contains(QStringLiteral("history.sqlite damaged-")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p->Store().WordOnShow().empty(); }));
    const uint32_t total = Sum(TotalField(0));
    QTest::keyClick(p->Window(), Qt::Key_Right);
    EXPECT_EQ(Sum(TotalField(0)), total + 1);
}

// S says the word on show and tallies nothing. Without an audio output (as
// here, usually) the user is told once; with one, the sound starts.
TEST_F(ProgramTest, TheKeySSaysTheWordOnShowAndTalliesNothing) {
    StartLater();
    const uint32_t total = Sum(TotalField(0));
    const QString word = QString::fromStdString(p->Store().WordOnShow());
    const bool output = !QMediaDevices::defaultAudioOutput().isNull();
    WhenOpens told(PressEsc);
    QTest::keyClick(window, Qt::Key_S);
    ASSERT_NE(window->Speaker(), nullptr);
    QSignalSpy asked(window->Speaker(), &WordSpeaker::asked);
    QSignalSpy playing(window->Speaker(), &WordSpeaker::playing);
    QTest::keyClick(window, Qt::Key_S);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0][0].toString(), word);
    if (!WordSpeaker::Available()) {
        GTEST_SKIP() << "built without speech (flite1-dev, libpocketsphinx-dev)";
    } else if (output) {
        EXPECT_TRUE(playing.wait(5000)) << "the word was not played";
    } else {
        ASSERT_TRUE(QTest::qWaitFor([&] { return told.ran; }, 5000));
        EXPECT_TRUE(told.text.startsWith(QStringLiteral("No sound output")))
            << told.text.toStdString();
        told.ran = false;
        QTest::keyClick(window, Qt::Key_S);
        QTest::qWait(200);
        EXPECT_FALSE(told.ran) << "told more than once";
    }
    EXPECT_EQ(Sum(TotalField(0)), total);

    // With "Say the word after Incorrect", the word just missed is said, by key
    // and by click alike; a Correct says nothing.
    p->Context().look.sayAfterIncorrect = true;
    asked.clear();
    std::vector<QString> answered;
    for (int i = 0; i < 3; ++i) {
        answered.push_back(QString::fromStdString(p->Store().WordOnShow()));
        const uint32_t before = Sum(TotalField(0));
        if (i == 0)
            QTest::keyClick(window, Qt::Key_X);
        else if (i == 1)
            QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(300, 280)); // Incorrect
        else
            QTest::keyClick(window, Qt::Key_C);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Sum(TotalField(0)) == before + 1; }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !p->Store().WordOnShow().empty(); }));
    }
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0][0].toString(), answered[0]);
    EXPECT_EQ(asked[1][0].toString(), answered[1]);
}

// Listening tallies a word read aloud through the answer path, marked in the
// history as judged by listening with what was heard, shows it, and listens
// for the next word; silence tallies nothing; Ctrl+Z takes a heard answer back
// and L stops. Recordings stand in for the microphone: Flite's kal16 voice,
// which speaks a word the same way every time.
#if LEXIPOND_WITH_SPEECH
TEST_F(ProgramTest, ListeningTalliesAWordReadAloudAsAClickWouldAndSilenceTalliesNothing) {
    if (!WordListener::Available())
        GTEST_SKIP() << "no speech: built without flite1-dev and libpocketsphinx-dev, or "
                        "pocketsphinx-en-us is not installed";
    StartLater();
    const auto show = [&](const char* word) {
        std::lock_guard guard(p->Store().Core().lock);
        state().currentRecord = FindExactWord(p->Store().Core(), word, 0);
        LoadCurrentWord(p->Store().Core());
        window->update();
    };
    const auto spoken = [](const char* word) {
        speech::PcmAudio audio = speech::Synthesize(word, speech::Voice::Kal16).audio;
        // Some quiet before and after, as a reader leaves around a word.
        audio.samples.insert(audio.samples.begin(), audio.sampleRate / 2, int16_t(0));
        audio.samples.insert(audio.samples.end(), audio.sampleRate, int16_t(0));
        return audio;
    };
    ListeningMode& listening = window->Listening();
    QSignalSpy banner(&listening, &ListeningMode::bannerChanged);
    listening.Toggle(WordListener::Source::Recordings);
    WordListener& listener = *listening.Listener();
    QSignalSpy ready(&listener, &WordListener::ready);
    QSignalSpy judged(&listener, &WordListener::judged);
    ASSERT_TRUE(ready.wait(60000)) << "the judge was not ready";
    {
        QMenu menu;
        window->BuildContextMenu(menu);
        EXPECT_NE(Describe(menu).find("|[x] Listen\tL|"), std::string::npos) << Describe(menu);
    }

    const uint32_t total = Sum(TotalField(0)), correct = Sum(CorrectField(0));
    const size_t rowsBefore = ReadHistoryRows(program / "history.sqlite").size();
    const auto hear = [&](const char* shown, const char* said) {
        show(shown);
        QTest::qWait(50); // painted: the listener is told the word
        judged.clear();
        listener.Feed(spoken(said));
        EXPECT_TRUE(judged.wait(30000)) << said;
    };
    // While the program says a word itself, what the microphone hears is not the reader.
    show("said");
    QTest::qWait(50);
    listening.HoldFor(200);
    judged.clear();
    listener.Feed(spoken("said"));
    EXPECT_FALSE(judged.wait(1500)) << "heard the program's own voice";
    EXPECT_EQ(Sum(TotalField(0)), total);

    hear("said", "said");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sum(TotalField(0)) == total + 1; }));
    EXPECT_EQ(Sum(CorrectField(0)), correct + 1);
    EXPECT_EQ(banner.last()[0].toString(), QStringLiteral("Heard \"said\": Correct"));
    // After showing the verdict it listens for the next word.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return banner.last()[0].toString().startsWith(QStringLiteral("Listening")); },
        ListeningMode::kShowVerdictMs + 2000));

    hear("look", "said");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sum(TotalField(0)) == total + 2; }));
    EXPECT_EQ(Sum(CorrectField(0)), correct + 1);
    EXPECT_EQ(banner.last()[0].toString(), QStringLiteral("Heard \"said\": Incorrect"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return banner.last()[0].toString().startsWith(QStringLiteral("Listening")); },
        ListeningMode::kShowVerdictMs + 2000));

    // Ten seconds of silence: no verdict, still listening.
    judged.clear();
    listener.Feed(speech::PcmAudio{std::vector<int16_t>(16000 * 11, 0), 16000});
    ASSERT_TRUE(judged.wait(10000));
    EXPECT_EQ(judged[0][0].value<ListenOutcome>().kind, ListenOutcome::Kind::TimedOut);
    EXPECT_EQ(banner.last()[0].toString(), QStringLiteral("Nothing heard yet: read the word aloud."));
    EXPECT_EQ(Sum(TotalField(0)), total + 2);

    // The history has both, judged by listening, with what was heard.
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        rows = ReadHistoryRows(program / "history.sqlite");
        return rows.size() == rowsBefore + 2;
    }));
    EXPECT_EQ(rows[rowsBefore].word, "said");
    EXPECT_EQ(rows[rowsBefore].answer, HistoryAnswer::Correct);
    EXPECT_EQ(rows[rowsBefore + 1].word, "look");
    EXPECT_EQ(rows[rowsBefore + 1].answer, HistoryAnswer::Incorrect);
    for (size_t i : {rowsBefore, rowsBefore + 1}) {
        EXPECT_EQ(rows[i].judgedBy, JudgedBy::Listening);
        EXPECT_EQ(rows[i].heard, std::optional<std::string>("said"));
    }

    // The adult's Undo takes the heard answer back; L stops listening.
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sum(TotalField(0)) == total + 1; }));
    QTest::keyClick(window, Qt::Key_L);
    EXPECT_FALSE(listening.IsOn());
    EXPECT_FALSE(listening.Banner()->isVisible());
}

#else
TEST_F(ProgramTest, ListeningTalliesAWordReadAloudAsAClickWouldAndSilenceTalliesNothing) {
    GTEST_SKIP() << "no speech: built without flite1-dev and libpocketsphinx-dev";
}
#endif

// Without the speech model, listening says which package to install and stays off.
TEST_F(ProgramTest, ListeningWithoutTheSpeechModelSaysWhatToInstallAndStaysOff) {
    StartLater();
    WhenOpens told(PressEsc);
    window->Listening().modelFolder = program / "no-model";
    window->Listening().Toggle(WordListener::Source::Recordings);
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.ran; }, 10000));
    EXPECT_TRUE(told.text.contains(WordListener::Available() ? "pocketsphinx-en-us" : "flite1-dev"))
        << told.text.toStdString();
    EXPECT_FALSE(window->Listening().IsOn());
    EXPECT_FALSE(window->Listening().Banner()->isVisible());
}

// Without a microphone, listening from it says so and stays off; nothing crashes.
TEST_F(ProgramTest, ListeningWithoutAMicrophoneSaysSoAndStaysOff) {
    if (!WordListener::Available())
        GTEST_SKIP() << "no speech: built without flite1-dev and libpocketsphinx-dev, or "
                        "pocketsphinx-en-us is not installed";
    if (!QMediaDevices::defaultAudioInput().isNull())
        GTEST_SKIP() << "this machine has a microphone";
    StartLater();
    WhenOpens told(PressEsc);
    QTest::keyClick(window, Qt::Key_L);
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.ran; }, 60000));
    EXPECT_TRUE(told.text.startsWith(QStringLiteral("No microphone was found"))) << told.text.toStdString();
    EXPECT_FALSE(window->Listening().IsOn());
    const uint32_t total = Sum(TotalField(0));
    QTest::keyClick(window, Qt::Key_Right); // the keys still answer
    EXPECT_EQ(Sum(TotalField(0)), total + 1);
}

TEST_F(ProgramTest, DefSetKeepsTheDataInTheUsersFolder) {
    WriteBytes(program / "DefSet.txt", "");
    StartLater(); // reads the settings from the program folder
    p->EndOfSession();
    const std::string data = home / "Hollet/Lexipond/";
    EXPECT_GE(LiveWords(data + "LPDB.lbf Bak"), 10u);
    EXPECT_EQ(ReadBytes(data + kSettingsFileName).size(), 1008u);
    EXPECT_FALSE(fs::exists(program / "LPDB.lbf"));
}

TEST_F(ProgramTest, TheDataFolderIsLockedForTheRunAndAnotherHolderEndsTheStartTouchingNothing) {
    ASSERT_TRUE(SaveSettingsFile(stored, program.Slash()));
    WriteBytes(program / "LPDB.lbf.part4242", "half"); // what a killed write left
    {
        // Another copy, whatever its runtime folder, holds the data.
        platform::DataFolderLock other;
        ASSERT_EQ(other.TryAcquire(program.Path()), platform::DataLockResult::Acquired);
        const auto before = Contents(program.Path());
        WhenOpens unexpected(Unexpected);
        Make().instanceWait = std::chrono::milliseconds(200);
        EXPECT_FALSE(p->Start());
        EXPECT_EQ(Contents(program.Path()), before);
        p.reset();
    }
    StartLater();
    EXPECT_FALSE(fs::exists(program / "LPDB.lbf.part4242")) << "leftovers are swept under the lock";
    platform::DataFolderLock probe;
    EXPECT_EQ(probe.TryAcquire(program.Path()), platform::DataLockResult::HeldByAnother);
    p->EndOfSession();
    p.reset();
    EXPECT_EQ(probe.TryAcquire(program.Path()), platform::DataLockResult::Acquired);
}

TEST_F(ProgramTest, ADamagedDatabaseIsOfferedItsBackupEnterRestoresAndEscKeepsItAside) {
    const struct {
        const char* name;
        std::function<void(QWidget*)> answer;
        bool restored;
    } rows[] = {{"Enter restores", PressEnter, true}, {"Esc keeps it as it is", PressEsc, false}};
    for (const auto& [name, answer, restored] : rows) {
        SCOPED_TRACE(name);
        for (const auto& entry : fs::directory_iterator(program.Path()))
            if (entry.path().filename() != "dImport.txt")
                fs::remove_all(entry.path());
        ASSERT_TRUE(SaveSettingsFile(stored, program.Slash()));
        DamageDatabaseBesideGoodBak();
        std::vector<std::function<void(QWidget*)>> acts{answer};
        if (!restored)
            acts.push_back(PressEnter); // the notice that a new list starts
        EachDialog dialogs(acts);
        ASSERT_TRUE(Make().Start());
        ASSERT_EQ(dialogs.texts.size(), acts.size());
        EXPECT_EQ(dialogs.texts[0].toStdString(),
                  "LPDB.lbf is damaged (the file does not begin with the magic \"DATA\"). Restore "
                  "the backup \"LPDB.lbf Bak\"? The damaged file is kept beside it either way.");
        EXPECT_EQ(dialogs.buttons[0], QStringLiteral("Restore|Keep as it is"));
        EXPECT_EQ(dialogs.captions[0], QString::fromLatin1(kWindowTitle));
        const WordList words = p->Store().ListWords();
        // The backup's numbered words, or a new list from dImport.txt.
        EXPECT_EQ(std::count(words.words.begin(), words.words.end(), "word1000"), restored ? 1 : 0);
        EXPECT_EQ(words.words.size() == 12, restored);
        if (!restored) {
            EXPECT_TRUE(dialogs.texts[1].startsWith(
                QStringLiteral("LPDB.lbf was damaged (the file does not begin with the magic "
                               "\"DATA\"). It is kept as \"LPDB.lbf damaged-")));
            EXPECT_EQ(dialogs.buttons[1], QStringLiteral("OK"));
        }
        EXPECT_TRUE(KeptDamaged() == damaged) << "the damaged file is kept either way";
        p->EndOfSession();
        p.reset();
    }
}

TEST_F(ProgramTest, AReadOnlyDatabaseEndsTheStartWithTheReasonAndIsLeftAlone) {
    ASSERT_TRUE(SaveSettingsFile(stored, program.Slash()));
    MakeWordDatabase(program / "LPDB.lbf", NumberedWords(12));
    ASSERT_EQ(chmod((program / "LPDB.lbf").c_str(), 0444), 0);
    // Root writes whatever the mode says: check as a user without rights.
    // The file system user is the calling thread's own, and the worker never starts.
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(chmod(program.Path().c_str(), 0755), 0);
        ASSERT_EQ(chown(runtime.Path().c_str(), 65534, 65534), 0);
        setfsuid(65534);
        ASSERT_EQ(setfsuid(static_cast<uid_t>(-1)), 65534u);
    }
    const auto before = Contents(program.Path());
    EachDialog dialogs({PressEnter});
    const bool started = Make().Start();
    if (asRoot)
        setfsuid(0);
    EXPECT_FALSE(started);
    ASSERT_EQ(dialogs.texts.size(), 1u);
    EXPECT_EQ(dialogs.texts[0].toStdString(),
              program / "LPDB.lbf" +
                  " cannot be written (permission denied). Lexipond will close so that nothing "
                  "is lost.");
    EXPECT_EQ(dialogs.buttons[0], QStringLiteral("Close"));
    EXPECT_EQ(Contents(program.Path()), before) << "not renamed, not written, nothing made";
}

TEST_F(ProgramTest, AnEndAskedForInAStartPromptClosesItAndSavesOnceStarted) {
    const struct {
        const char* name;
        bool firstRun;
    } rows[] = {{"first-run welcome", true}, {"restore question", false}};
    for (const auto& [name, firstRun] : rows) {
        SCOPED_TRACE(name);
        for (const auto& entry : fs::directory_iterator(program.Path()))
            if (entry.path().filename() != "dImport.txt")
                fs::remove_all(entry.path());
        if (!firstRun) {
            ASSERT_TRUE(SaveSettingsFile(stored, program.Slash()));
            DamageDatabaseBesideGoodBak();
        }
        // The signal arrives while the prompt waits; nothing else may be asked.
        EachDialog dialogs({[this](QWidget*) { p->RequestEnd(); }});
        ASSERT_TRUE(Make().Start());
        EXPECT_EQ(dialogs.texts.size(), 1u);
        EXPECT_TRUE(p->EndPending());
        EXPECT_EQ(p->Window(), nullptr) << "nothing to show for an ending run";
        EXPECT_FALSE(p->Saved()) << "no save in the middle of the start";
        p->EndOfSession();
        EXPECT_TRUE(p->Saved());
        EXPECT_TRUE(Valid(program / "LPDB.lbf"));
        EXPECT_TRUE(ReadBytes(program / "LPDB.lbf Bak") == ReadBytes(program / "LPDB.lbf"));
        EXPECT_EQ(ReadBytes(program / kSettingsFileName).size(), 1008u);
        if (!firstRun) { // the question's default: the backup is back
            EXPECT_EQ(LiveWords(program / "LPDB.lbf"), 12u);
        }
        p.reset();
    }
}

TEST_F(ProgramTest, SettingsAreWrittenWhenTheyChangeAndTheBakKeepsTheFileOfTheStart) {
    StartLater();
    const std::string path = program / kSettingsFileName;
    const std::string atStart = ReadBytes(path);
    const SettingsBlock& settings = p->Context().settings;
    const struct {
        const char* name;
        std::function<void()> change;
    } rows[] = {
        {"User", [&] { window->OnCommand(CMD_USER_1 + 2); }},
        {"Level", [&] { window->OnCommand(CMD_LEVEL_EASIEST + 5); }},
        {"Transparent", [&] { window->OnCommand(CMD_TRANSPARENT); }},
        {"On Top", [&] { window->OnCommand(CMD_ON_TOP); }},
        {"Options OK",
         [&] {
             EachDialog dialogs({[](QWidget* dialog) {
                 dialog->findChild<QLineEdit*>(QStringLiteral("userName2"))->setText("Ada");
                 dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
             }});
             window->OnCommand(CMD_OPTIONS);
         }},
    };
    for (const auto& [name, change] : rows) {
        SCOPED_TRACE(name);
        const std::string before = BlockOf(settings);
        change();
        EXPECT_NE(BlockOf(settings), before);
        EXPECT_TRUE(StoredBlock(path) == BlockOf(settings));
        EXPECT_TRUE(ReadBytes(path + " Bak") == atStart);
    }
    EXPECT_EQ(settings.currentUser, 2);
    EXPECT_EQ(std::string(settings.userNames[1]), "Ada");

    // A move is written once it has settled.
    window->move(window->x() + 37, window->y() + 11);
    const int32_t left = window->geometry().left();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            SettingsBlock onDisk{};
            const std::string block = StoredBlock(path);
            if (block.size() == sizeof onDisk)
                std::memcpy(&onDisk, block.data(), sizeof onDisk);
            return onDisk.windowPlacement.normalLeft == left;
        },
        5000));

    p->EndOfSession();
    EXPECT_TRUE(StoredBlock(path) == BlockOf(settings));
    EXPECT_TRUE(ReadBytes(path + " Bak") == atStart) << "the end keeps the first save's backup";
}

TEST_F(ProgramTest, TheSessionManagersSaveWritesAndTheRunGoesOn) {
    StartLater();
    const std::string path = program / kSettingsFileName;
    const std::string atStart = ReadBytes(path);
    window->move(window->x() + 20, window->y()); // not settled yet
    p->SaveDuringSession();
    const SettingsBlock& settings = p->Context().settings;
    EXPECT_EQ(settings.windowPlacement.normalLeft, window->geometry().left());
    EXPECT_TRUE(StoredBlock(path) == BlockOf(settings));
    EXPECT_TRUE(ReadBytes(path + " Bak") == atStart);

    EXPECT_FALSE(p->Saved() || window->IsDestroyed());
    const uint32_t total = Sum(TotalField(0));
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(85, 285)); // Correct
    EXPECT_EQ(Sum(TotalField(0)), total + 1);
    p->EndOfSession();
    EXPECT_TRUE(ReadBytes(path + " Bak") == atStart);
    EXPECT_EQ(SumField(program / "LPDB.lbf", TotalField(0)), total + 1);
}

TEST_F(ProgramTest, SaveBeforeExitStopsTheWorkerSavesOnceAndLeavesTheWindowAlone) {
    Make().SaveBeforeExit(); // before a start there is nothing to save
    EXPECT_FALSE(fs::exists(program / kSettingsFileName));
    p.reset();
    StartLater();
    p->Store().ChooseLevel(5); // changed without a command: only the exit save writes it
    p->SaveBeforeExit();
    EXPECT_TRUE(p->Saved());
    EXPECT_TRUE(p->Store().StopRequested());
    EXPECT_EQ(StoredBlock(program / kSettingsFileName).substr(20, 4), std::string("\5\0\0\0", 4));
    EXPECT_TRUE(ReadBytes(program / "LPDB.lbf Bak") == ReadBytes(program / "LPDB.lbf"));
    EXPECT_TRUE(window->isVisible() && !window->IsDestroyed());

    for (const char* name : {"LPDB.lbf Bak", "dLexipond.dat Bak"})
        fs::remove(program / name);
    p->SaveBeforeExit();
    p->EndOfSession();
    p->Finish();
    EXPECT_FALSE(fs::exists(program / "LPDB.lbf Bak") || fs::exists(program / "dLexipond.dat Bak"))
        << "saved twice";
}

} // namespace
} // namespace lexipond
