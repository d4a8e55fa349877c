// The whole program object and its main window on Qt's offscreen platform.
#include "TestSupport.h"
#include "dialogs/PromptDialog.h"
#include "shell/AppContext.h"
#include "shell/MainWindow.h"
#include "shell/Program.h"
#include "shell/SettingsFile.h"
#include "tutor/Commands.h"
#include "tutor/Tutoring.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace lexipond {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using namespace testing;

// Acts once on the first modal dialog to open and keeps its caption and text.
struct WhenOpens {
    explicit WhenOpens(std::function<void(QWidget*)> act) {
        QObject::connect(&timer, &QTimer::timeout, [this, act] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog && dialog->isVisible() && !std::exchange(ran, true)) {
                QWidget* message = dialog->findChild<QWidget*>(QStringLiteral("message"));
                text = dialog->windowTitle() + ": " +
                       (message ? message->property("plainText") : dialog->property("text"))
                           .toString();
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

TEST(Prompt, EachButtonAndEscGiveTheirResult) {
    for (const auto& [act, result] :
         {std::pair{Press("firstButton"), 1}, {Press("secondButton"), 2}, {PressEsc, 2}}) {
        PromptRequest request{11, "Delete this word?", "Yes, delete word", "No, do not delete"};
        WhenOpens watch(act);
        EXPECT_EQ(RunPrompt(nullptr, request), result);
        EXPECT_EQ(watch.text, QStringLiteral("Lexipond 1.9: Delete this word?"));
    }
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
        ASSERT_TRUE(Make().Start());
        window = p->Window();
        ASSERT_TRUE(QTest::qWaitFor([&] {
            std::lock_guard<std::recursive_mutex> guard(state().lock);
            return state().currentWord[0] != '\0';
        }));
    }
    TutorState& state() { return p->Context().state; }
    SettingsBlock& settings() { return p->Context().settings; }
    uint32_t Sum(uint32_t field) { return SumUserField(p->Context().tutor, field); }

    TempFolder program, home, runtime;
    ScopedEnv homeEnv{"HOME", home.Path()}, dataEnv{"XDG_DATA_HOME", home / "data"},
        runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path()};
    SettingsBlock stored{};
    std::unique_ptr<Program> p;
    MainWindow* window = nullptr;
};

TEST_F(ProgramTest, ClicksInsideTheButtonBandsAreRecordedInTheDatabase) {
    StartLater();
    const int rows[][4] = {{16, 268, 1, 1},  {154, 301, 1, 1}, {236, 280, 1, 0},
                           {374, 290, 1, 0}, {451, 268, 0, 0}, {15, 280, 0, 0},
                           {155, 280, 0, 0}, {100, 267, 0, 0}, {100, 302, 0, 0}};
    for (const auto& [x, y, addTotal, addCorrect] : rows) {
        SCOPED_TRACE(::testing::Message() << "click at " << x << "," << y);
        const uint32_t total = Sum(TotalField(0)), correct = Sum(CorrectField(0));
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(x, y));
        EXPECT_EQ(Sum(TotalField(0)), total + addTotal);
        EXPECT_EQ(Sum(CorrectField(0)), correct + addCorrect);
    }
}

// Items joined by '|', "[x] " before a checked one, a submenu's items in brackets.
std::string Describe(const QMenu& menu) {
    std::string items;
    for (QAction* action : menu.actions())
        items += (items.empty() ? "" : "|") + std::string(action->isChecked() ? "[x] " : "") +
                 (action->isSeparator() ? "-" : action->text().toStdString()) +
                 (action->menu() ? " (" + Describe(*action->menu()) + ")" : "");
    return items;
}

TEST_F(ProgramTest, MenuItemsAndCheckMarksFollowTheWordTheReportAndTheSettings) {
    StartLater();
    std::strcpy(state().currentWord, "cats & dogs");
    const std::tuple<bool, int, int, int, std::string> rows[] = {
        {false, 0, 3, 0,
         "Edit cats && dogs|Add Word|Report|-|User ([x] Zov|Quen|Pelty|Rondel|Vimsa)|Level "
         "(Easiest|Easier|Easy|[x] Normal|Hard|Harder|Hardest)|-|Transparent|On Top|-|"
         "Options...|About|Help|Exit"},
        {true, 4, 6, 1,
         "User (Zov|Quen|Pelty|Rondel|[x] Vimsa)|Level (Easiest|Easier|Easy|Normal|Hard|Harder|"
         "[x] Hardest)|-|[x] Transparent|[x] On Top|-|Options...|About|Help|Exit"}};
    for (const auto& [reportOpen, user, level, transparentAndOnTop, items] : rows) {
        p->Context().reportOpen = reportOpen;
        settings().currentUser = user;
        settings().level = level;
        settings().transparent = settings().onTop = transparentAndOnTop;
        QMenu menu;
        window->BuildContextMenu(menu);
        EXPECT_EQ(Describe(menu), items);
    }
}

TEST_F(ProgramTest, UserAndLevelCommandsChangeOnlyTheirSetting) {
    StartLater();
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(85, 285)); // one for Zov
    for (int user = kUserCount - 1; user >= 0; --user) {
        window->OnCommand(CMD_USER_1 + user);
        EXPECT_EQ(settings().currentUser, user);
        EXPECT_EQ(state().userTotal, user == 0 ? 1u : 0u);
    }
    for (int level = 0; level < 7; ++level) {
        window->OnCommand(CMD_LEVEL_EASIEST + level);
        EXPECT_EQ(settings().level, level);
    }
    EXPECT_EQ(settings().currentUser, 0);
}

TEST_F(ProgramTest, TransparentAndOnTopAreAppliedAtStartAndSwitched) {
    stored.transparent = stored.onTop = 1;
    stored.transparencyAlpha = 128;
    StartLater();
    for (int on : {1, 0, 1}) {
        EXPECT_EQ(settings().transparent + settings().onTop, 2 * on);
        EXPECT_NEAR(window->windowOpacity(), on ? 128 / 255.0 : 1.0, 0.01);
        EXPECT_EQ(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint), on == 1);
        EXPECT_TRUE(window->isVisible()); // changing the flag must not hide the window
        window->OnCommand(CMD_TRANSPARENT);
        window->OnCommand(CMD_ON_TOP);
    }
}

TEST_F(ProgramTest, ExitQuestionNoOrEscKeepsRunningAndYesEnds) {
    stored.confirmQuit = 1;
    StartLater();
    QSignalSpy destroyed(window, &MainWindow::windowDestroyed);
    for (const auto& [act, ends] : {std::pair{Press("secondButton"), false},
                                    {PressEsc, false},
                                    {Press("firstButton"), true}}) {
        WhenOpens watch(act);
        window->OnCommand(CMD_EXIT);
        EXPECT_EQ(watch.text, QStringLiteral("Lexipond 1.9: Are you sure that you want to exit "
                                             "Lexipond?"));
        EXPECT_EQ(state().quitFlag.load(), ends ? kQuitFlagStop : 0);
        EXPECT_TRUE(ends || window->isVisible());
    }
    // The worker's close comes back as a second exit: no second question.
    WhenOpens unexpected(Unexpected);
    ASSERT_TRUE(QTest::qWaitFor([&] { return destroyed.count() > 0; }));
}

TEST_F(ProgramTest, FirstRunWelcomesAndExitAndTheEndOfASessionAskNothing) {
    {
        WhenOpens welcome(Press("firstButton"));
        ASSERT_TRUE(Make().Start());
        EXPECT_EQ(welcome.text,
                  QStringLiteral("Lexipond 1.9: Thanks for trying Lexipond. We hope you like it."));
        EXPECT_GE(p->Context().db.liveCount, 10u);
    }
    WhenOpens unexpected(Unexpected);
    QSignalSpy destroyed(p->Window(), &MainWindow::windowDestroyed);
    p->Window()->close(); // the close box takes the exit path
    ASSERT_TRUE(QTest::qWaitFor([&] { return destroyed.count() > 0; }));
    p->Window()->OnCommand(CMD_EXIT); // a late exit changes nothing
    QApplication::processEvents();
    EXPECT_EQ(destroyed.count(), 1);
    settings().confirmQuit = 1;
    p->Finish();
    const std::string settingsAfterFirst = ReadBytes(program / kSettingsFileName);
    ASSERT_EQ(settingsAfterFirst.size(), 1008u);

    ASSERT_TRUE(Make().Start());
    p->EndOfSession(); // as on a logout or a termination signal
    EXPECT_TRUE(p->Saved() && p->Window()->IsDestroyed());
    EXPECT_EQ(ReadBytes(program / "dLexipond.dat Bak"), settingsAfterFirst);
    EXPECT_EQ(ReadBytes(program / "LPDB.lbf Bak"), ReadBytes(program / "LPDB.lbf"));
}

TEST_F(ProgramTest, SecondInstanceEndsAfterItsWaitTouchingNothing) {
    platform::SingleInstance running;
    ASSERT_TRUE(running.Acquire(platform::InstanceLockPath(platform::kInstanceName), 0ms));
    WhenOpens unexpected(Unexpected);
    Make().instanceWait = 200ms;
    EXPECT_FALSE(p->Start());
    EXPECT_FALSE(fs::exists(program / "LPDB.lbf") || fs::exists(program / kSettingsFileName));
}

TEST_F(ProgramTest, MissingWordListTellsAndEnds) {
    fs::remove(program / "dImport.txt");
    WriteBytes(program / kSettingsFileName, "WORD1100"); // not a first run
    WhenOpens told(PressEsc);
    EXPECT_FALSE(Make().Start());
    EXPECT_EQ(told.text, QStringLiteral("Lexipond.exe: Cannot find dImport.txt"));
}

TEST_F(ProgramTest, DefSetKeepsTheDataInTheUsersFolder) {
    WriteBytes(program / "DefSet.txt", "");
    const std::string oldSettings = "WORD1100" + std::string(1000, '\0');
    WriteBytes(program / kSettingsFileName, oldSettings);
    ASSERT_TRUE(Make().Start());
    p->EndOfSession();
    const std::string data = home / "data/Hollet/Lexipond/";
    EXPECT_EQ(p->GetFolders().dataFolder, data);
    EXPECT_GE(LiveWords(data + "LPDB.lbf Bak"), 10u);
    EXPECT_FALSE(fs::exists(program / "LPDB.lbf"));
    // Read from the program folder, written to the data folder.
    EXPECT_EQ(ReadBytes(program / kSettingsFileName), oldSettings);
    EXPECT_EQ(ReadBytes(data + kSettingsFileName).size(), 1008u);
}

} // namespace
} // namespace lexipond
