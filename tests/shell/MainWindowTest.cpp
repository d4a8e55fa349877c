// The main window on Qt's offscreen platform: answer clicks, the context menu,
// the commands, exit, placement, painting and the prompt.
#include "shell/MainWindow.h"

#include "WidgetTestSupport.h"
#include "dialogs/PromptDialog.h"
#include "shell/AppContext.h"
#include "shell/Program.h"
#include "shell/SettingsFile.h"
#include "tutor/Commands.h"
#include "tutor/Tutoring.h"
#include "tutor/Worker.h"

#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace lexipond {
namespace {

using namespace testing;

// What a test does to a dialog once it opens.
std::function<void(QWidget*)> Press(const char* button) {
    return [button](QWidget* dialog) { dialog->findChild<QPushButton*>(button)->click(); };
}
void PressEsc(QWidget* dialog) {
    QTest::keyClick(dialog, Qt::Key_Escape);
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeWordDatabase(folder / "LPDB.lbf", NumberedWords(20));
        db.fileName = folder / "LPDB.lbf";
        db.writable = 1;
        ASSERT_EQ(OpenRecordFile(db), 1);
        ApplyDefaultSettings(settings);
        tutor = std::make_unique<Tutor>(Tutor{db, settings, state, random, relay});
        app = std::make_unique<AppContext>(
            AppContext{db, settings, state, *tutor, folder.Slash(), folder.Slash()});
        window = std::make_unique<MainWindow>(*app);
        relay.target = window.get();
    }
    void TearDown() override {
        worker.reset();
        relay.target = nullptr;
        window.reset();
        CloseRecordFile(db);
    }
    // What the worker does first: the user's tallies and a word on show.
    void ShowFirstWord() {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        state.currentRecord = -1;
        SetUpUser(*tutor);
        ChooseNextWord(*tutor);
    }
    void ShowWindow() {
        window->PlaceAndShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void StartWorker() {
        worker = std::make_unique<Worker>(*tutor);
        ASSERT_TRUE(worker->Start());
        ASSERT_TRUE(WaitFor([&] { return state.currentWord[0] != '\0'; }));
    }
    uint32_t Total() { return SumUserField(*tutor, TotalField(0)); }
    uint32_t Correct() { return SumUserField(*tutor, CorrectField(0)); }

    TempFolder folder;
    RecordFile db;
    SettingsBlock settings{};
    TutorState state;
    ScriptedRandom random;
    WindowRelay relay;
    std::unique_ptr<Tutor> tutor;
    std::unique_ptr<AppContext> app;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Worker> worker;
};

TEST_F(WindowTest, ClicksInsideTheButtonBandsAreRecordedInTheDatabase) {
    ShowWindow();
    ShowFirstWord();
    struct Row {
        int x, y;
        uint32_t addTotal, addCorrect;
    };
    for (const Row& row : {Row{16, 268, 1, 1}, Row{154, 301, 1, 1},  // Correct
                           Row{236, 280, 1, 0}, Row{374, 290, 1, 0}, // Incorrect
                           Row{451, 268, 0, 0}, Row{15, 280, 0, 0},  // Skip, edge
                           Row{155, 280, 0, 0}, Row{100, 267, 0, 0}, Row{100, 302, 0, 0},
                           Row{200, 280, 0, 0}, Row{300, 100, 0, 0}}) {
        SCOPED_TRACE(::testing::Message() << "click at " << row.x << "," << row.y);
        const uint32_t total = Total(), correct = Correct();
        QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(row.x, row.y));
        EXPECT_EQ(Total(), total + row.addTotal);
        EXPECT_EQ(Correct(), correct + row.addCorrect);
        EXPECT_EQ(state.sessionTotal, Total());
    }
}

// Items joined by '|', "[x] " before a checked one, a submenu's items in brackets.
std::string Describe(const QMenu& menu) {
    std::string items;
    for (QAction* action : menu.actions()) {
        items += items.empty() ? "" : "|";
        items += action->isSeparator()
                     ? "-"
                     : (action->isChecked() ? "[x] " : "") + action->text().toStdString();
        if (action->menu())
            items += " (" + Describe(*action->menu()) + ")";
    }
    return items;
}

TEST_F(WindowTest, MenuItemsAndCheckMarksFollowTheWordTheReportAndTheSettings) {
    std::strcpy(state.currentWord, "caf\xE9 & t\xC3\xA9"); // old code page, then UTF-8
    std::strcpy(settings.userNames[3], "Ada & Bo");
    settings.userNames[4][0] = '\0';
    struct Row {
        bool reportOpen;
        int user, level, transparent, onTop;
        std::string items;
    };
    const Row rows[] = {
        {false, 0, 3, 0, 0,
         "Edit caf\xC3\xA9 && t\xC3\xA9|Add Word|Report|-|User ([x] Zov|Quen|Pelty|Ada & Bo|)|"
         "Level (Easiest|Easier|Easy|[x] Normal|Hard|Harder|Hardest)|-|Transparent|On Top|-|"
         "Options...|About|Help|Exit"},
        {true, 3, 0, 1, 0,
         "User (Zov|Quen|Pelty|[x] Ada & Bo|)|Level ([x] Easiest|Easier|Easy|Normal|Hard|"
         "Harder|Hardest)|-|[x] Transparent|On Top|-|Options...|About|Help|Exit"},
        {true, 4, 6, 0, 1,
         "User (Zov|Quen|Pelty|Ada & Bo|[x] )|Level (Easiest|Easier|Easy|Normal|Hard|Harder|"
         "[x] Hardest)|-|Transparent|[x] On Top|-|Options...|About|Help|Exit"},
    };
    for (const Row& row : rows) {
        app->reportOpen = row.reportOpen;
        settings.currentUser = row.user;
        settings.level = row.level;
        settings.transparent = row.transparent;
        settings.onTop = row.onTop;
        QMenu menu;
        window->BuildContextMenu(menu);
        EXPECT_EQ(Describe(menu), row.items);
    }
}

TEST_F(WindowTest, RightClickOpensTheMenuAtTheCursorAndRunsTheChoice) {
    ShowWindow();
    ShowFirstWord();
    const QPoint at(400, 150);
    const int cursorX = window->mapToGlobal(at).x();
    int menuRight = -1;
    auto ran = WhenOpens([&](QWidget* popup) {
        menuRight = popup->geometry().right() + 1;
        QTest::keyClick(popup, Qt::Key_Up); // from nothing selected to the last item, "Exit"
        QTest::keyClick(popup, Qt::Key_Return);
    });
    QTest::mouseClick(window.get(), Qt::RightButton, {}, at);
    EXPECT_TRUE(WaitFor([&] { return ran->Ran(); }));
    EXPECT_NEAR(menuRight, cursorX, 1);
    EXPECT_EQ(state.quitFlag.load(), kQuitFlagStop);
}

TEST_F(WindowTest, UserAndLevelCommandsChangeOnlyTheirSetting) {
    ShowFirstWord();
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(85, 285)); // one for Zov
    const std::string word = state.currentWord;
    for (int user = kUserCount - 1; user >= 0; --user) {
        window->OnCommand(CMD_USER_1 + user);
        EXPECT_EQ(settings.currentUser, user);
        EXPECT_STREQ(state.currentUserName, settings.userNames[user]);
        EXPECT_EQ(state.sessionTotal, 0u);
        EXPECT_EQ(state.userTotal, user == 0 ? 1u : 0u);
    }
    for (int level = 0; level < 7; ++level) {
        window->OnCommand(CMD_LEVEL_EASIEST + level);
        EXPECT_EQ(settings.level, level);
        EXPECT_EQ(settings.currentUser, 0);
    }
    EXPECT_EQ(std::string(state.currentWord), word);
    window->OnCommand(CMD_LEVEL_HARDEST + 1); // not a command
    EXPECT_EQ(settings.level, 6);
}

TEST_F(WindowTest, TransparentAndOnTopAreAppliedAtCreationAndSwitched) {
    settings.transparent = settings.onTop = 1;
    settings.transparencyAlpha = 128;
    window = std::make_unique<MainWindow>(*app);
    relay.target = window.get();
    ShowWindow();
    const auto onTop = [&] { return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint); };
    EXPECT_NEAR(window->windowOpacity(), 128 / 255.0, 0.01);
    EXPECT_TRUE(onTop());

    window->OnCommand(CMD_TRANSPARENT);
    window->OnCommand(CMD_ON_TOP);
    EXPECT_EQ(settings.transparent + settings.onTop, 0);
    EXPECT_NEAR(window->windowOpacity(), 1.0, 0.01);
    EXPECT_FALSE(onTop());
    EXPECT_TRUE(window->isVisible()); // changing the flag must not hide the window

    settings.transparencyAlpha = 200; // a value from Options shows at the next switch-on
    window->OnCommand(CMD_TRANSPARENT);
    window->OnCommand(CMD_ON_TOP);
    EXPECT_EQ(settings.transparent + settings.onTop, 2);
    EXPECT_NEAR(window->windowOpacity(), 200 / 255.0, 0.01);
    EXPECT_TRUE(onTop());

    for (int alpha : {0, -5, 9999}) { // from a damaged file: never invisible
        settings.transparencyAlpha = alpha;
        EXPECT_GE(MainWindow(*app).windowOpacity(), 0.1);
    }
}

TEST_F(WindowTest, ExitWithoutTheQuestionStopsTheWorkerAndDestroysTheWindowOnce) {
    ShowWindow();
    StartWorker();
    QSignalSpy destroyed(window.get(), &MainWindow::windowDestroyed);
    window->close(); // the close box takes the exit path
    ASSERT_TRUE(WaitFor([&] { return destroyed.count() > 0; }));
    EXPECT_FALSE(window->isVisible());
    worker->Join();
    EXPECT_EQ(db.view, nullptr); // the worker closed the database
    EXPECT_NE(settings.windowPlacement.minPositionX, kNeverPlaced);
    window->OnCommand(CMD_EXIT); // a late exit changes nothing
    QApplication::processEvents();
    EXPECT_EQ(destroyed.count(), 1);
}

TEST_F(WindowTest, ExitQuestionNoOrEscKeepsRunningAndYesEnds) {
    settings.confirmQuit = 1;
    ShowWindow();
    StartWorker();
    QSignalSpy destroyed(window.get(), &MainWindow::windowDestroyed);
    settings.windowPlacement.minPositionX = 4242; // must not be stored on "No"
    struct Row {
        std::function<void(QWidget*)> act;
        bool ends;
    };
    for (const Row& row : {Row{Press("secondButton"), false}, Row{PressEsc, false},
                           Row{Press("firstButton"), true}}) {
        QString asked;
        auto ran = WhenOpens([&](QWidget* prompt) {
            asked = prompt->findChild<QPlainTextEdit*>(QStringLiteral("message"))->toPlainText();
            row.act(prompt);
        });
        window->OnCommand(CMD_EXIT);
        EXPECT_TRUE(ran->Ran());
        EXPECT_EQ(asked, QStringLiteral("Are you sure that you want to exit Lexipond?"));
        EXPECT_EQ(state.quitFlag.load(), row.ends ? kQuitFlagStop : 0);
        if (!row.ends) {
            EXPECT_TRUE(window->isVisible());
            EXPECT_EQ(settings.windowPlacement.minPositionX, 4242);
        }
    }
    // The worker's close comes back as a second exit: no second question.
    ASSERT_TRUE(WaitFor([&] { return destroyed.count() > 0; }));
    EXPECT_NE(settings.windowPlacement.minPositionX, 4242);
}

TEST_F(WindowTest, FirstShowIsCentredAndAStoredPlacementIsRestoredWithinTheScreen) {
    ShowWindow();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window->geometry().center() - screen.center()).manhattanLength(), 2);
    WindowPlacement& placement = settings.windowPlacement;
    EXPECT_EQ(placement.showState, 1);
    EXPECT_EQ(QRect(QPoint(placement.normalLeft, placement.normalTop),
                    QPoint(placement.normalRight - 1, placement.normalBottom - 1)),
              window->geometry());

    placement = WindowPlacement{44, 0, 1, -1, -1, -1, -1, 30, 40, 30 + 500, 40 + 250};
    MainWindow restored(*app);
    restored.PlaceAndShow();
    EXPECT_EQ(restored.geometry(), QRect(30, 40, 500, 250));
    restored.move(70, 80); // moves the frame; the placement keeps the client area
    QApplication::processEvents();
    restored.StorePlacement();
    EXPECT_GE(restored.geometry().left(), 70);
    EXPECT_EQ(QRect(QPoint(placement.normalLeft, placement.normalTop),
                    QPoint(placement.normalRight - 1, placement.normalBottom - 1)),
              restored.geometry());
    restored.DestroyWindow();

    // From a damaged file: never larger than the window, never off every screen.
    for (const WindowPlacement& damaged :
         {WindowPlacement{44, 0, 1, -1, -1, -1, -1, 10, 10, 5000, 4000},
          WindowPlacement{44, 0, 1, -1, -1, -1, -1, 100, 100, 50, 50},
          WindowPlacement{44, 0, 1, -1, -1, -1, -1, 90000, 90000, 90604, 90316},
          WindowPlacement{44, 0, 7, -1, -1, -1, -1, INT32_MIN, 0, INT32_MAX, 10}}) {
        placement = damaged;
        MainWindow made(*app);
        made.PlaceAndShow();
        EXPECT_TRUE(made.width() > 0 && made.width() <= 604 && made.height() <= 316);
        EXPECT_TRUE(screen.intersects(made.geometry()));
        made.DestroyWindow();
    }
}

QImage Render(MainWindowPainter& painter) {
    painter.Resize(QSize(604, 316));
    QImage target(QSize(604, 316), QImage::Format_RGB32);
    target.fill(Qt::red);
    QPainter on(&target);
    painter.Paint(on);
    return target;
}

int DarkPixels(const QImage& image, const QRect& area) {
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    return dark;
}

TEST(Painting, WordIsCentredOnOneLineClippedToItsPanelAndScoresAreDrawn) {
    MainWindowPainter painter;
    const QRect inside(20, 20, 565, 165), scores(220, 220, 145, 40);
    QImage image = Render(painter);
    EXPECT_EQ(DarkPixels(image, inside), 0);
    const int noScores = DarkPixels(image, scores); // "0 of 0 (100%)" twice
    EXPECT_GT(noScores, 50);

    PaintSnapshot snapshot;
    snapshot.word = QStringLiteral("cat");
    snapshot.userCorrect = 1234567;
    snapshot.userTotal = 2345678;
    painter.SetSnapshot(snapshot);
    image = Render(painter);
    const int left = DarkPixels(image, QRect(20, 20, 282, 165));
    const int right = DarkPixels(image, QRect(302, 20, 282, 165));
    EXPECT_GT(left + right, 1000);
    EXPECT_NEAR(left, right, (left + right) / 5);
    EXPECT_GT(DarkPixels(image, scores), noScores);

    snapshot.word = QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWW W W W W W");
    painter.SetSnapshot(snapshot);
    image = Render(painter);
    EXPECT_EQ(DarkPixels(image, QRect(0, 0, 4, 316)), 0);
    EXPECT_EQ(DarkPixels(image, QRect(601, 0, 3, 316)), 0);
    EXPECT_EQ(DarkPixels(image, QRect(20, 8, 565, 20)), 0); // not wrapped to two lines
    EXPECT_EQ(image.pixelColor(300, 205), QColor(Qt::white));
    EXPECT_GT(DarkPixels(image, QRect(10, 60, 585, 80)), 5000);
}

TEST(Prompt, EachWayOfClosingGivesItsResultAndResetsTheRequest) {
    struct Row {
        const char* how;
        std::function<void(QWidget*)> act;
        int result;
    };
    const Row rows[] = {
        {"first button", Press("firstButton"), 1},
        {"second button", Press("secondButton"), 2},
        {"Enter", [](QWidget* p) { QTest::keyClick(p->focusWidget(), Qt::Key_Return); }, 1},
        {"Esc", PressEsc, 2},
        {"closed by the desktop", [](QWidget* p) { p->close(); }, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        PromptRequest request{11, "Delete this word?", "Yes, delete word", "No, do not delete"};
        auto ran = WhenOpens([&row](QWidget* prompt) {
            EXPECT_EQ(prompt->findChild<QPlainTextEdit*>(QStringLiteral("message"))->toPlainText(),
                      QStringLiteral("Delete this word?"));
            EXPECT_EQ(prompt->findChild<QPushButton*>(QStringLiteral("secondButton"))->text(),
                      QStringLiteral("No, do not delete"));
            EXPECT_TRUE(prompt->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            row.act(prompt);
        });
        EXPECT_EQ(RunPrompt(nullptr, request), row.result);
        EXPECT_TRUE(ran->Ran());
        EXPECT_EQ(request.mode, 0);
        EXPECT_TRUE(request.message.empty() && request.firstButton.empty());
    }
}

} // namespace
} // namespace lexipond
