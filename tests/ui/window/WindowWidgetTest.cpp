// The whole program object and its main window on Qt's offscreen platform.
#include "TestSupport.h"
#include "ui/common/AppContext.h"
#include "ui/window/MainWindow.h"
#include "ui/window/Program.h"
#include "core/settings/SettingsFile.h"
#include "core/tutor/Commands.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/WordStore.h"

#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

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
    uint32_t Sum(uint32_t field) { return SumUserField(p->Store().Core(), field); }

    TempFolder program, home, runtime;
    ScopedEnv dataEnv{"XDG_DATA_HOME", home.Path()}, runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path()};
    SettingsBlock stored{};
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
                 "[x] On Top|-|Options...|About|Help|Exit");
    EXPECT_EQ(state().userTotal, 4u);
    for (int command : {CMD_USER_5, CMD_LEVEL_HARDEST, CMD_TRANSPARENT, CMD_ON_TOP})
        window->OnCommand(command);
    window->OnCommand(CMD_REPORT); // open at the end: the window takes it along
    const std::string laterMenu = "User (Zov|Quen|Pelty|Rondel|[x] Vimsa)|Level (Easiest|Easier|"
                                  "Easy|Normal|Hard|Harder|[x] Hardest)|-|";
    expect(false, laterMenu + "Transparent|On Top|-|Options...|About|Help|Exit");
    EXPECT_EQ(state().userTotal, 0u);
    window->OnCommand(CMD_TRANSPARENT);
    window->OnCommand(CMD_ON_TOP);
    expect(true, laterMenu + "[x] Transparent|[x] On Top|-|Options...|About|Help|Exit");
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

TEST_F(ProgramTest, DefSetKeepsTheDataInTheUsersFolder) {
    WriteBytes(program / "DefSet.txt", "");
    StartLater(); // reads the settings from the program folder
    p->EndOfSession();
    const std::string data = home / "Hollet/Lexipond/";
    EXPECT_GE(LiveWords(data + "LPDB.lbf Bak"), 10u);
    EXPECT_EQ(ReadBytes(data + kSettingsFileName).size(), 1008u);
    EXPECT_FALSE(fs::exists(program / "LPDB.lbf"));
}

} // namespace
} // namespace lexipond
