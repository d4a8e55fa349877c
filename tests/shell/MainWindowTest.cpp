// The main window: answer clicks, the context menu, the commands, placement,
// painting, the prompt and the About box, on Qt's offscreen platform.
#include "shell/MainWindow.h"

#include "ShellTestSupport.h"
#include "WidgetTestSupport.h"
#include "dialogs/AboutBox.h"
#include "dialogs/PromptDialog.h"
#include "shell/AppContext.h"
#include "shell/Program.h"
#include "shell/SettingsFile.h"
#include "shell/TextDisplay.h"
#include "tutor/Commands.h"
#include "tutor/Tutoring.h"
#include "tutor/Worker.h"

#include <QDesktopServices>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace lexipond::testing {
// Takes the URLs the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void Open(const QUrl& url) { urls.push_back(url); }
};

} // namespace lexipond::testing

namespace lexipond {
namespace {

using testing::UrlCatcher;

using testing::Opens;
using testing::TempFolder;
using testing::WaitFor;
using testing::WhenOpens;

class SteppingRandom final : public RandomSource {
  public:
    bool Fill(uint32_t& value) override {
        value = next;
        next = next * 1664525u + 1013904223u;
        return true;
    }
    uint32_t TickCount() override { return 0; }
    uint32_t next = 7;
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::MakeWordDatabase(folder / "LPDB.lbf", testing::NumberedWords(20));
        db.fileName = folder / "LPDB.lbf";
        db.writable = 1;
        ASSERT_EQ(OpenRecordFile(db), 1);
        ApplyDefaultSettings(settings);
        tutor = std::make_unique<Tutor>(Tutor{db, settings, state, random, relay});
        app = std::make_unique<AppContext>(
            AppContext{db, settings, state, *tutor, folder.Slash(), folder.Slash()});
    }
    void TearDown() override {
        worker.reset();
        relay.target = nullptr;
        window.reset();
        CloseRecordFile(db);
    }

    void MakeWindow() {
        window = std::make_unique<MainWindow>(*app);
        relay.target = window.get();
    }
    // What the worker does first: the user's tallies and a word on show.
    void ShowFirstWord() {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        state.currentRecord = -1;
        SetUpUser(*tutor);
        ChooseNextWord(*tutor);
    }
    void ShowWindow() {
        MakeWindow();
        window->PlaceAndShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    uint32_t Total() { return SumUserField(*tutor, TotalField(0)); }
    uint32_t Correct() { return SumUserField(*tutor, CorrectField(0)); }

    TempFolder folder;
    RecordFile db;
    SettingsBlock settings{};
    TutorState state;
    SteppingRandom random;
    WindowRelay relay;
    std::unique_ptr<Tutor> tutor;
    std::unique_ptr<AppContext> app;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Worker> worker;
};

// --- Answer clicks ---------------------------------------------------------

TEST_F(WindowTest, ClicksInsideTheButtonBandsAreRecordedInTheDatabase) {
    ShowWindow();
    ShowFirstWord();
    struct Row {
        int x, y;
        uint32_t addTotal, addCorrect;
    };
    const Row rows[] = {
        {16, 268, 1, 1},  {154, 301, 1, 1}, {85, 285, 1, 1},  // Correct
        {236, 280, 1, 0}, {374, 290, 1, 0},                   // Incorrect
        {500, 290, 0, 0}, {451, 268, 0, 0},                   // Skip
        {15, 280, 0, 0},  {155, 280, 0, 0}, {100, 267, 0, 0}, // on the edge lines
        {100, 302, 0, 0}, {200, 280, 0, 0}, {400, 280, 0, 0}, // between and below
        {100, 310, 0, 0}, {300, 100, 0, 0}, {590, 280, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "click at " << row.x << "," << row.y);
        const uint32_t total = Total(), correct = Correct();
        QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(row.x, row.y));
        EXPECT_EQ(Total(), total + row.addTotal);
        EXPECT_EQ(Correct(), correct + row.addCorrect);
        EXPECT_EQ(state.sessionTotal, Total());
    }
}

TEST_F(WindowTest, RightAndMiddleClicksOnTheButtonsRecordNothing) {
    ShowWindow();
    ShowFirstWord();
    QTest::mouseClick(window.get(), Qt::MiddleButton, {}, QPoint(85, 285));
    EXPECT_EQ(Total(), 0u);
}

// --- Context menu ----------------------------------------------------------

std::vector<std::string> Describe(QMenu& menu) {
    std::vector<std::string> items;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            items.push_back("-");
            continue;
        }
        std::string item = action->isChecked() ? "[x] " : "";
        item += action->text().toStdString();
        if (action->menu())
            item += " >";
        if (!action->isEnabled())
            item += " (grey)";
        items.push_back(item);
    }
    return items;
}

QMenu* Submenu(QMenu& menu, const QString& title) {
    for (QAction* action : menu.actions())
        if (action->menu() && action->text() == title)
            return action->menu();
    return nullptr;
}

TEST_F(WindowTest, MenuListsItsItemsInOrderWithTheWordOnShow) {
    MakeWindow();
    ShowFirstWord();
    const std::string word = state.currentWord;
    ASSERT_FALSE(word.empty());
    QMenu menu;
    window->BuildContextMenu(menu);
    EXPECT_EQ(Describe(menu),
              (std::vector<std::string>{"Edit " + word, "Add Word", "Report", "-", "User >",
                                        "Level >", "-", "Transparent", "On Top", "-", "Options...",
                                        "About", "Help", "Exit"}));
}

TEST_F(WindowTest, MenuWhileTheReportIsOpenStartsWithUser) {
    MakeWindow();
    ShowFirstWord();
    app->reportOpen = true;
    QMenu menu;
    window->BuildContextMenu(menu);
    EXPECT_EQ(Describe(menu),
              (std::vector<std::string>{"User >", "Level >", "-", "Transparent", "On Top", "-",
                                        "Options...", "About", "Help", "Exit"}));
    app->reportOpen = false;
    QMenu again;
    window->BuildContextMenu(again);
    EXPECT_EQ(Describe(again).size(), 14u);
}

TEST_F(WindowTest, MenuCheckMarksFollowTheSettings) {
    MakeWindow();
    std::strcpy(settings.userNames[3], "Ada & Bo");
    settings.userNames[4][0] = '\0';
    struct Row {
        int user, level, transparent, onTop;
    };
    for (const Row& row : {Row{0, 3, 0, 0}, Row{3, 0, 1, 0}, Row{4, 6, 0, 1}, Row{1, 5, 1, 1}}) {
        settings.currentUser = row.user;
        settings.level = row.level;
        settings.transparent = row.transparent;
        settings.onTop = row.onTop;
        QMenu menu;
        window->BuildContextMenu(menu);
        std::vector<std::string> users = {"Zov", "Quen", "Pelty", "Ada & Bo", ""};
        users[row.user] = "[x] " + users[row.user];
        EXPECT_EQ(Describe(*Submenu(menu, "User")), users);
        std::vector<std::string> levels = {"Easiest", "Easier", "Easy",   "Normal",
                                           "Hard",    "Harder", "Hardest"};
        levels[row.level] = "[x] " + levels[row.level];
        EXPECT_EQ(Describe(*Submenu(menu, "Level")), levels);
        const auto items = Describe(menu);
        EXPECT_EQ(items[7], row.transparent ? "[x] Transparent" : "Transparent");
        EXPECT_EQ(items[8], row.onTop ? "[x] On Top" : "On Top");
    }
}

TEST_F(WindowTest, EditItemShowsWordsWithAmpersandsAndOldCodePageBytes) {
    MakeWindow();
    std::strcpy(state.currentWord, "caf\xE9 & t\xC3\xA9");
    QMenu menu;
    window->BuildContextMenu(menu);
    EXPECT_EQ(menu.actions().front()->text(), QStringLiteral("Edit café && té"));
}

TEST_F(WindowTest, RightClickOpensTheMenuAtTheCursorAndRunsTheChoice) {
    ShowWindow();
    ShowFirstWord();
    const QPoint at(400, 150);
    const QPoint global = window->mapToGlobal(at);
    int menuRight = -1;
    auto ran = WhenOpens(Opens::Popup, [&](QWidget* popup) {
        menuRight = popup->geometry().right() + 1;
        // Up from nothing selected lands on the last item, "Exit".
        QTest::keyClick(popup, Qt::Key_Up);
        QTest::keyClick(popup, Qt::Key_Return);
    });
    QTest::mouseClick(window.get(), Qt::RightButton, {}, at);
    EXPECT_TRUE(WaitFor([&] { return ran->Ran(); }));
    EXPECT_NEAR(menuRight, global.x(), 1);
    // Exit without the question: the worker is asked to stop.
    EXPECT_EQ(state.quitFlag.load(), kQuitFlagStop);
}

// --- Commands --------------------------------------------------------------

TEST_F(WindowTest, UserCommandsLoadThatUsersNameAndTallies) {
    MakeWindow();
    ShowFirstWord();
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(85, 285)); // one for Zov
    EXPECT_EQ(state.sessionTotal, 1u);
    for (int user = 0; user < kUserCount; ++user) {
        window->OnCommand(CMD_USER_1 + user);
        EXPECT_EQ(settings.currentUser, user);
        EXPECT_STREQ(state.currentUserName, settings.userNames[user]);
        EXPECT_EQ(state.sessionTotal, 0u);
        EXPECT_EQ(state.userTotal, user == 0 ? 1u : 0u);
    }
}

TEST_F(WindowTest, LevelCommandsChangeOnlyTheLevel) {
    MakeWindow();
    ShowFirstWord();
    const std::string word = state.currentWord;
    for (int level = 0; level < 7; ++level) {
        window->OnCommand(CMD_LEVEL_EASIEST + level);
        EXPECT_EQ(settings.level, level);
        EXPECT_EQ(std::string(state.currentWord), word);
        EXPECT_EQ(settings.currentUser, 0);
    }
    window->OnCommand(CMD_LEVEL_HARDEST + 1); // not a command: nothing
    EXPECT_EQ(settings.level, 6);
}

TEST_F(WindowTest, TransparentAndOnTopAreAppliedAtCreationAndSwitched) {
    settings.transparent = 1;
    settings.transparencyAlpha = 128;
    settings.onTop = 1;
    ShowWindow();
    EXPECT_NEAR(window->windowOpacity(), 128 / 255.0, 0.01);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    window->OnCommand(CMD_TRANSPARENT);
    EXPECT_EQ(settings.transparent, 0);
    EXPECT_NEAR(window->windowOpacity(), 1.0, 0.01);
    settings.transparencyAlpha = 200; // a new value from Options shows at the next switch-on
    EXPECT_NEAR(window->windowOpacity(), 1.0, 0.01);
    window->OnCommand(CMD_TRANSPARENT);
    EXPECT_EQ(settings.transparent, 1);
    EXPECT_NEAR(window->windowOpacity(), 200 / 255.0, 0.01);

    window->OnCommand(CMD_ON_TOP);
    EXPECT_EQ(settings.onTop, 0);
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window->isVisible()); // changing the flag must not hide the window
    window->OnCommand(CMD_ON_TOP);
    EXPECT_EQ(settings.onTop, 1);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(WindowTest, InvisibleOpacityFromADamagedFileIsNotApplied) {
    settings.transparent = 1;
    for (int alpha : {0, -5, 9999}) {
        settings.transparencyAlpha = alpha;
        MainWindow made(*app);
        EXPECT_GE(made.windowOpacity(), 0.1);
        EXPECT_LE(made.windowOpacity(), 1.0);
    }
}

TEST_F(WindowTest, DefaultWindowIsOpaqueAndNotOnTop) {
    MakeWindow();
    EXPECT_NEAR(window->windowOpacity(), 1.0, 0.01);
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Lexipond 1.9"));
    EXPECT_EQ(window->maximumSize(), QSize(604, 316));
}

TEST_F(WindowTest, AddAndEditAreRefusedWhileARequestIsInHand) {
    MakeWindow();
    ShowFirstWord();
    window->OnCommand(CMD_ADD_WORD);
    EXPECT_EQ(state.workerRequest.load(), RequestAddWord);
    EXPECT_FALSE(state.idleEvent.IsSet());
    window->OnCommand(CMD_EDIT_WORD); // must neither block nor replace the request
    EXPECT_EQ(state.workerRequest.load(), RequestAddWord);

    state.workerRequest = RequestIdle;
    state.idleEvent.Set();
    window->OnCommand(CMD_EDIT_WORD);
    EXPECT_EQ(state.workerRequest.load(), RequestEditWord);
    EXPECT_EQ(state.detailsTarget.load(), state.currentRecord);
}

TEST_F(WindowTest, HelpOpensTheReadMeBesideTheProgram) {
    MakeWindow();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    window->OnCommand(CMD_HELP);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile().toStdString(), folder / "ReadMe.htm");
}

// --- Exit ------------------------------------------------------------------

TEST_F(WindowTest, ExitWithoutTheQuestionStopsTheWorkerAndDestroysTheWindow) {
    ShowWindow();
    worker = std::make_unique<Worker>(*tutor);
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(WaitFor([&] { return state.currentWord[0] != '\0'; }));
    QSignalSpy destroyed(window.get(), &MainWindow::windowDestroyed);
    window->OnCommand(CMD_EXIT);
    ASSERT_TRUE(WaitFor([&] { return destroyed.count() > 0; }));
    EXPECT_FALSE(window->isVisible());
    worker->Join();
    EXPECT_EQ(db.view, nullptr); // the worker closed the database
    EXPECT_NE(settings.windowPlacement.minPositionX, kNeverPlaced);
    // The worker's close and destroy that come after change nothing.
    QApplication::processEvents();
    EXPECT_EQ(destroyed.count(), 1);
}

TEST_F(WindowTest, ExitQuestionNoOrEscKeepsRunningAndYesEnds) {
    settings.confirmQuit = 1;
    ShowWindow();
    worker = std::make_unique<Worker>(*tutor);
    ASSERT_TRUE(worker->Start());
    QSignalSpy destroyed(window.get(), &MainWindow::windowDestroyed);
    settings.windowPlacement.minPositionX = 4242; // the stored placement must not move on "No"

    QString asked;
    auto answer = [&](std::function<void(QWidget*)> act) {
        return WhenOpens(Opens::Modal, [&asked, act](QWidget* prompt) {
            asked = prompt->findChild<QPlainTextEdit*>(QStringLiteral("message"))->toPlainText();
            act(prompt);
        });
    };
    auto ran = answer([](QWidget* prompt) {
        prompt->findChild<QPushButton*>(QStringLiteral("secondButton"))->click();
    });
    window->OnCommand(CMD_EXIT);
    EXPECT_TRUE(ran->Ran());
    EXPECT_EQ(asked, QStringLiteral("Are you sure that you want to exit Lexipond?"));
    EXPECT_EQ(state.quitFlag.load(), 0);
    EXPECT_EQ(settings.windowPlacement.minPositionX, 4242);

    ran = answer([](QWidget* prompt) { QTest::keyClick(prompt, Qt::Key_Escape); });
    window->OnCommand(CMD_EXIT);
    EXPECT_TRUE(ran->Ran());
    EXPECT_EQ(state.quitFlag.load(), 0);
    EXPECT_TRUE(window->isVisible());

    ran = answer([](QWidget* prompt) {
        prompt->findChild<QPushButton*>(QStringLiteral("firstButton"))->click();
    });
    window->OnCommand(CMD_EXIT);
    EXPECT_TRUE(ran->Ran());
    EXPECT_EQ(state.quitFlag.load(), kQuitFlagStop);
    // The worker's close comes back as a second exit: no second question.
    ASSERT_TRUE(WaitFor([&] { return destroyed.count() > 0; }));
    EXPECT_EQ(settings.windowPlacement.minPositionX, -1);
}

TEST_F(WindowTest, CloseBoxTakesTheExitPath) {
    ShowWindow();
    window->close();
    EXPECT_TRUE(window->isVisible()); // not closed there
    ASSERT_TRUE(WaitFor([&] { return state.quitFlag.load() == kQuitFlagStop; }));
}

// --- Placement -------------------------------------------------------------

TEST_F(WindowTest, FirstShowIsCentredAndItsPlacementStored) {
    ShowWindow();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->size(), QSize(604, 316));
    EXPECT_NEAR(window->geometry().center().x(), screen.center().x(), 2);
    EXPECT_NEAR(window->geometry().center().y(), screen.center().y(), 2);
    const WindowPlacement& placement = settings.windowPlacement;
    EXPECT_NE(placement.minPositionX, kNeverPlaced);
    EXPECT_EQ(placement.length, 44);
    EXPECT_EQ(placement.showState, 1);
    EXPECT_EQ(placement.normalRight - placement.normalLeft, 604);
    EXPECT_EQ(placement.normalBottom - placement.normalTop, 316);
}

TEST_F(WindowTest, StoredPlacementIsRestored) {
    WindowPlacement& placement = settings.windowPlacement;
    placement = WindowPlacement{44, 0, 1, -1, -1, -1, -1, 30, 40, 30 + 500, 40 + 250};
    ShowWindow();
    EXPECT_EQ(window->geometry(), QRect(30, 40, 500, 250));
    window->move(70, 80); // moves the frame; the placement keeps the client area
    QApplication::processEvents();
    window->StorePlacement();
    const QRect client = window->geometry();
    EXPECT_GE(client.left(), 70);
    EXPECT_EQ(placement.normalLeft, client.left());
    EXPECT_EQ(placement.normalTop, client.top());
    EXPECT_EQ(placement.normalRight, client.left() + 500);
    EXPECT_EQ(placement.normalBottom, client.top() + 250);
}

TEST_F(WindowTest, MinimisedPlacementIsRestoredMinimised) {
    settings.windowPlacement = WindowPlacement{44, 0, 2, -1, -1, -1, -1, 30, 40, 634, 356};
    MakeWindow();
    window->PlaceAndShow();
    EXPECT_TRUE(window->isMinimized());
    EXPECT_EQ(window->normalGeometry().topLeft(), QPoint(30, 40));
    window->StorePlacement();
    EXPECT_EQ(settings.windowPlacement.showState, 2);
}

TEST_F(WindowTest, PlacementFromADamagedFileNeverGrowsTheWindowOrLosesIt) {
    struct Row {
        WindowPlacement placement;
    };
    const Row rows[] = {
        {{44, 0, 1, -1, -1, -1, -1, 10, 10, 5000, 4000}},          // too large
        {{44, 0, 1, -1, -1, -1, -1, 100, 100, 50, 50}},            // negative size
        {{44, 0, 1, -1, -1, -1, -1, 90000, 90000, 90604, 90316}},  // off every screen
        {{44, 0, 7, -1, -1, -1, -1, INT32_MIN, 0, INT32_MAX, 10}}, // overflowing width
    };
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const Row& row : rows) {
        settings.windowPlacement = row.placement;
        MainWindow made(*app);
        made.PlaceAndShow();
        EXPECT_LE(made.width(), 604);
        EXPECT_LE(made.height(), 316);
        EXPECT_GT(made.width(), 0);
        EXPECT_TRUE(screen.intersects(made.geometry()));
        made.DestroyWindow();
    }
}

// --- Painting --------------------------------------------------------------

const QColor kPanel(213, 215, 183);
const QColor kButton(245, 247, 215);

QImage Render(MainWindowPainter& painter, QSize size = QSize(604, 316)) {
    painter.Resize(size);
    QImage target(size, QImage::Format_RGB32);
    target.fill(Qt::red);
    QPainter on(&target);
    painter.Paint(on);
    return target;
}

TEST(Painting, PanelsButtonsAndBackgroundHaveTheirColours) {
    MainWindowPainter painter;
    const QImage image = Render(painter);
    struct Row {
        int x, y;
        QColor colour;
    };
    const Row rows[] = {
        {2, 2, Qt::white},   {602, 150, Qt::white}, {300, 205, Qt::white}, {300, 313, Qt::white},
        {3, 305, Qt::white}, // outside the score panel's rounded corner
        {40, 100, kPanel},   {590, 190, kPanel},    {300, 230, kPanel},    {200, 290, kPanel},
        {20, 285, kButton},  {240, 285, kButton},   {585, 285, kButton},   {5, 100, Qt::black},
        {300, 5, Qt::black}, {599, 100, Qt::black},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.x << "," << row.y);
        EXPECT_EQ(image.pixelColor(row.x, row.y), row.colour);
    }
}

int DarkPixels(const QImage& image, const QRect& area) {
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    return dark;
}

TEST(Painting, EmptyStateShowsAnEmptyWordPanelAndTheWordShowsInIt) {
    MainWindowPainter painter;
    const QRect inside(20, 20, 565, 165);
    EXPECT_EQ(DarkPixels(Render(painter), inside), 0);
    PaintSnapshot snapshot;
    snapshot.word = QStringLiteral("cat");
    painter.SetSnapshot(snapshot);
    const QImage image = Render(painter);
    EXPECT_GT(DarkPixels(image, inside), 1000);
    // Centred: about as much ink on the left half as on the right.
    const int left = DarkPixels(image, QRect(20, 20, 282, 165));
    const int right = DarkPixels(image, QRect(302, 20, 282, 165));
    EXPECT_NEAR(left, right, (left + right) / 5);
}

TEST(Painting, LongWordStaysOnOneLineClippedToItsPanel) {
    MainWindowPainter painter;
    PaintSnapshot snapshot;
    snapshot.word = QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWW W W W W W");
    painter.SetSnapshot(snapshot);
    const QImage image = Render(painter);
    // Nothing drawn outside (5, 5)-(600, 200); and it is one line: no ink near the top.
    EXPECT_EQ(DarkPixels(image, QRect(0, 0, 4, 316)), 0);
    EXPECT_EQ(DarkPixels(image, QRect(601, 0, 3, 316)), 0);
    EXPECT_EQ(DarkPixels(image, QRect(20, 8, 565, 20)), 0);
    EXPECT_EQ(image.pixelColor(300, 205), QColor(Qt::white));
    EXPECT_GT(DarkPixels(image, QRect(10, 60, 585, 80)), 5000);
}

TEST(Painting, ScoresAreDrawnFromTheSnapshot) {
    MainWindowPainter painter;
    const QRect values(220, 220, 145, 40);
    const int none = DarkPixels(Render(painter), values); // "0 of 0 (100%)" twice
    EXPECT_GT(none, 50);
    PaintSnapshot snapshot;
    snapshot.userCorrect = 1234567;
    snapshot.userTotal = 2345678;
    painter.SetSnapshot(snapshot);
    EXPECT_GT(DarkPixels(Render(painter), values), none);
}

TEST(Painting, BackBufferFollowsTheClientSize) {
    MainWindowPainter painter;
    Render(painter);
    EXPECT_EQ(painter.BackBuffer().size(), QSize(604, 316));
    const QImage small = Render(painter, QSize(300, 120));
    EXPECT_EQ(painter.BackBuffer().size(), QSize(300, 120));
    EXPECT_EQ(small.pixelColor(40, 100), kPanel); // drawn at the same place, cut off
    // A high-density screen gets a buffer of its own pixels, drawn at the same places.
    painter.Resize(QSize(604, 316), 2.0);
    QImage dense(1208, 632, QImage::Format_RGB32);
    dense.setDevicePixelRatio(2.0);
    {
        QPainter on(&dense);
        painter.Paint(on);
    }
    EXPECT_EQ(painter.BackBuffer().size(), QSize(1208, 632));
    EXPECT_EQ(dense.pixelColor(80, 200), kPanel);
    EXPECT_EQ(dense.pixelColor(40, 570), kButton);
    painter.Resize(QSize(0, 0));
    QImage target(10, 10, QImage::Format_RGB32);
    QPainter on(&target);
    painter.Paint(on); // nothing to draw into, no crash
    EXPECT_TRUE(painter.BackBuffer().isNull());
}

TEST(Painting, SnapshotWaitsNotForABusyWorker) {
    TutorState state;
    std::strcpy(state.currentWord, "first");
    MainWindowPainter painter;
    ASSERT_TRUE(painter.TakeSnapshot(state));
    EXPECT_EQ(painter.Snapshot().word, QStringLiteral("first"));
    std::strcpy(state.currentWord, "second");
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        held = true;
        while (!release)
            std::this_thread::yield();
    });
    while (!held)
        std::this_thread::yield();
    EXPECT_FALSE(painter.TakeSnapshot(state));
    EXPECT_EQ(painter.Snapshot().word, QStringLiteral("first"));
    release = true;
    holder.join();
    EXPECT_TRUE(painter.TakeSnapshot(state));
    EXPECT_EQ(painter.Snapshot().word, QStringLiteral("second"));
}

// --- Text shown ------------------------------------------------------------

TEST(TextDisplay, Utf8ShowsAsUtf8AndOtherBytesAsWindows1252) {
    struct Row {
        const char* bytes;
        QString shown;
    };
    const Row rows[] = {
        {"cat", QStringLiteral("cat")},
        {"caf\xC3\xA9", QStringLiteral("café")},
        {"caf\xE9", QStringLiteral("café")},
        {"\x80uro \x93quoted\x94", QStringLiteral("€uro “quoted”")},
        {"\xC3", QStringLiteral("Ã")},
        {"", QString()},
    };
    for (const Row& row : rows)
        EXPECT_EQ(DisplayText(row.bytes), row.shown) << row.bytes;
    EXPECT_EQ(DisplayText(static_cast<const char*>(nullptr)), QString());
    EXPECT_EQ(StoredText(QStringLiteral("café")), "caf\xC3\xA9");
}

TEST(TextDisplay, CellHeightFontFitsItsLineIntoTheCell) {
    for (int cell : {16, 20, 30, 140}) {
        const QFont font = CellHeightFont(cell, 400);
        const QFontMetricsF metrics(font);
        EXPECT_NEAR(metrics.ascent() + metrics.descent(), cell, cell * 0.08 + 1) << cell;
    }
    EXPECT_GE(CellHeightFont(20, 1000).weight(), QFont::Bold);
}

// --- Prompt ----------------------------------------------------------------

class PromptTest : public ::testing::Test {
  protected:
    PromptRequest Filled(int mode) {
        PromptRequest request;
        request.mode = mode;
        request.message = "Delete this word? This cannot be undone.";
        request.firstButton = "Yes, delete word";
        request.secondButton = "No, do not delete";
        return request;
    }
};

TEST_F(PromptTest, EachWayOfClosingGivesItsResultAndResetsTheRequest) {
    struct Row {
        const char* how;
        std::function<void(QWidget*)> act;
        int result;
    };
    const Row rows[] = {
        {"first button",
         [](QWidget* p) { p->findChild<QPushButton*>(QStringLiteral("firstButton"))->click(); }, 1},
        {"second button",
         [](QWidget* p) { p->findChild<QPushButton*>(QStringLiteral("secondButton"))->click(); },
         2},
        {"Enter", [](QWidget* p) { QTest::keyClick(p->focusWidget(), Qt::Key_Return); }, 1},
        {"Esc", [](QWidget* p) { QTest::keyClick(p, Qt::Key_Escape); }, 2},
        {"closed by the desktop", [](QWidget* p) { p->close(); }, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        PromptRequest request = Filled(11);
        auto ran = WhenOpens(Opens::Modal, row.act);
        EXPECT_EQ(RunPrompt(nullptr, request), row.result);
        EXPECT_TRUE(ran->Ran());
        EXPECT_EQ(request.mode, 0);
        EXPECT_TRUE(request.message.empty());
        EXPECT_TRUE(request.firstButton.empty());
        EXPECT_TRUE(request.secondButton.empty());
    }
}

TEST_F(PromptTest, ShowsItsTextsOnTopWithoutCloseBoxAndFocusOnTheFirstButton) {
    PromptRequest request = Filled(11);
    auto ran = WhenOpens(Opens::Modal, [](QWidget* prompt) {
        EXPECT_EQ(prompt->windowTitle(), QStringLiteral("Lexipond 1.9"));
        EXPECT_TRUE(prompt->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_FALSE(prompt->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        EXPECT_FALSE(prompt->windowFlags().testFlag(Qt::WindowSystemMenuHint));
        auto* first = prompt->findChild<QPushButton*>(QStringLiteral("firstButton"));
        auto* second = prompt->findChild<QPushButton*>(QStringLiteral("secondButton"));
        auto* message = prompt->findChild<QPlainTextEdit*>(QStringLiteral("message"));
        EXPECT_EQ(first->text(), QStringLiteral("Yes, delete word"));
        EXPECT_EQ(second->text(), QStringLiteral("No, do not delete"));
        EXPECT_EQ(message->toPlainText(),
                  QStringLiteral("Delete this word? This cannot be undone."));
        EXPECT_TRUE(message->isReadOnly());
        EXPECT_EQ(prompt->focusWidget(), first);
        // Centred on the screen.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_NEAR(prompt->geometry().center().x(), screen.center().x(), 2);
        second->click();
    });
    RunPrompt(nullptr, request);
    EXPECT_TRUE(ran->Ran());
}

TEST_F(PromptTest, ModeElevenUsesTheSmallMessageFontModeZeroTheLargeOne) {
    for (int mode : {0, 11}) {
        SCOPED_TRACE(mode);
        PromptRequest request = Filled(mode);
        auto ran = WhenOpens(Opens::Modal, [mode](QWidget* prompt) {
            const QFont message =
                prompt->findChild<QPlainTextEdit*>(QStringLiteral("message"))->font();
            const QFont button =
                prompt->findChild<QPushButton*>(QStringLiteral("firstButton"))->font();
            EXPECT_EQ(button,
                      prompt->findChild<QPushButton*>(QStringLiteral("secondButton"))->font());
            if (mode == 11)
                EXPECT_LT(message.pixelSize(), button.pixelSize());
            else
                EXPECT_EQ(message.pixelSize(), button.pixelSize());
            QTest::keyClick(prompt, Qt::Key_Escape);
        });
        RunPrompt(nullptr, request);
        EXPECT_TRUE(ran->Ran());
    }
}

TEST_F(PromptTest, UnfilledRequestAfterAPromptShowsNothing) {
    PromptRequest request = Filled(0);
    auto first = WhenOpens(Opens::Modal, [](QWidget* p) { QTest::keyClick(p, Qt::Key_Escape); });
    RunPrompt(nullptr, request);
    auto ran = WhenOpens(Opens::Modal, [](QWidget* prompt) {
        EXPECT_TRUE(
            prompt->findChild<QPlainTextEdit*>(QStringLiteral("message"))->toPlainText().isEmpty());
        EXPECT_TRUE(
            prompt->findChild<QPushButton*>(QStringLiteral("firstButton"))->text().isEmpty());
        QTest::keyClick(prompt, Qt::Key_Escape);
    });
    EXPECT_EQ(RunPrompt(nullptr, request), 2);
    EXPECT_TRUE(ran->Ran());
}

// --- About -----------------------------------------------------------------

TEST_F(WindowTest, AboutShowsNameAndVersionAndASecondAboutDoesNothing) {
    ShowWindow();
    int boxes = -1;
    QString text;
    auto ran = WhenOpens(Opens::Modal, [&](QWidget* box) {
        EXPECT_EQ(box->windowTitle(), QStringLiteral("About Lexipond"));
        for (QLabel* label : box->findChildren<QLabel*>())
            text += label->text();
        EXPECT_TRUE(app->aboutOpen);
        window->OnCommand(CMD_ABOUT); // returns at once: no second box
        boxes = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            boxes += widget->objectName() == QStringLiteral("aboutBox") && widget->isVisible();
        static_cast<QDialog*>(box)->accept();
    });
    window->OnCommand(CMD_ABOUT);
    EXPECT_TRUE(ran->Ran());
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(text.contains(QStringLiteral("Lexipond")));
    EXPECT_TRUE(text.contains(QStringLiteral("1.9")));
    EXPECT_FALSE(app->aboutOpen);
}

} // namespace
} // namespace lexipond

#include "MainWindowTest.moc"
