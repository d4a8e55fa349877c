// SPDX-License-Identifier: GPL-3.0-or-later
// The card to a screen reader: its parts, named as painted and placed where
// they are painted, and an answer button's press, which must be its click.
#include "ui/window/CardAccessible.h"

#include "TestSupport.h"
#include "core/settings/SettingsFile.h"
#include "core/tutor/Commands.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/WordStore.h"
#include "ui/common/TextDisplay.h"
#include "ui/window/MainWindow.h"
#include "ui/window/Program.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <tuple>

namespace lexipond {
namespace {

namespace fs = std::filesystem;
using namespace testing;

class CardAccessibleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(fs::path(std::getenv("LEXIPOND_TEST_SOURCE_DIR")) / "resources/dImport.txt",
                      program / "dImport.txt");
        SettingsBlock stored{};
        ApplyDefaultSettings(stored);
        ASSERT_TRUE(SaveSettingsFile(stored, program.Slash()));
        p = std::make_unique<Program>(program.Slash());
        ASSERT_TRUE(p->Start());
        window = p->Window();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Store().WordOnShow().empty() && Painted(); }));
        card = QAccessible::queryAccessibleInterface(window);
        ASSERT_EQ(card->childCount(), 8);
    }
    WordStore& Store() { return p->Store(); }
    bool Painted() {
        return window->Painter().Snapshot().word == DisplayText(Store().WordOnShow());
    }
    QString Name(int part) { return card->child(part)->text(QAccessible::Name); }
    void Press(int part) {
        card->child(part)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    // Everything an answer changes: learner 0's tallies over all words, the
    // session counts, the report and the step Undo would take back.
    auto Tallies() {
        Tutor& core = Store().Core();
        const AnswerStep step = Store().LastAnswer().value_or(AnswerStep{});
        return std::make_tuple(SumUserField(core, TotalField(0)),
                               SumUserField(core, CorrectField(0)), core.state.sessionTotal,
                               core.state.sessionCorrect, ReportText(core), step.word, step.kind);
    }

    TempFolder program, home, runtime, config;
    ScopedEnv dataEnv{"XDG_DATA_HOME", home.Path()}, runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path()},
        configEnv{"XDG_CONFIG_HOME", config.Path()};
    std::unique_ptr<Program> p;
    MainWindow* window = nullptr;
    QAccessibleInterface* card = nullptr;
};

TEST_F(CardAccessibleTest, ThePartsAreNamedAsPaintedAndPlacedWherePainted) {
    const QAccessible::Role roles[] = {QAccessible::StaticText, QAccessible::StaticText,
                                       QAccessible::StaticText, QAccessible::StaticText,
                                       QAccessible::StaticText, QAccessible::Button,
                                       QAccessible::Button,     QAccessible::Button};
    for (int part = 0; part < 8; ++part)
        EXPECT_EQ(card->child(part)->role(), roles[part]) << part;
    EXPECT_EQ(Name(0), DisplayText(Store().WordOnShow()));
    EXPECT_EQ(Name(5), "Correct");
    EXPECT_EQ(Name(6), "Incorrect");
    EXPECT_EQ(Name(7), "Skip");

    // At the card's own size, and at twice it with room to spare on the left
    // and right; window coordinates.
    const struct {
        QSize size;
        QRect parts[8];
    } sizes[] = {{{604, 316},
                  {{5, 5, 595, 195},
                   {10, 220, 140, 20},
                   {160, 220, 205, 20},
                   {370, 220, 220, 20},
                   {160, 240, 205, 20},
                   {15, 267, 140, 35},
                   {235, 267, 140, 35},
                   {450, 267, 140, 35}}},
                 {{1308, 632},
                  {{60, 10, 1190, 390},
                   {70, 440, 280, 40},
                   {370, 440, 410, 40},
                   {790, 440, 440, 40},
                   {370, 480, 410, 40},
                   {80, 534, 280, 70},
                   {520, 534, 280, 70},
                   {950, 534, 280, 70}}}};
    for (const auto& [size, parts] : sizes) {
        window->resize(size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->size() == size; }));
        for (int part = 0; part < 8; ++part) {
            const QRect global = card->child(part)->rect();
            EXPECT_EQ(QRect(window->mapFromGlobal(global.topLeft()), global.size()), parts[part])
                << part << " at " << size.width();
            EXPECT_EQ(card->childAt(global.center().x(), global.center().y()), card->child(part));
        }
    }

    // An answer: what its paint takes in names the new word and the scores,
    // and what changed is told once.
    Press(5);
    ASSERT_TRUE(window->Painter().TakeSnapshot(Store())); // as the paint begins
    EXPECT_EQ(Name(0), DisplayText(Store().WordOnShow()));
    EXPECT_EQ(Name(1), "User: Zov");
    EXPECT_EQ(Name(2), "Total: 1 of 1 (100%)");
    EXPECT_EQ(Name(3), "Session: 1 of 1 (100%)");
    EXPECT_EQ(Name(4), "Word: 0 of 0 (100%)");
    EXPECT_EQ(AnnounceCardChanges(*window), QList<int>({0, 2, 3}));
    EXPECT_EQ(AnnounceCardChanges(*window), QList<int>());
    // And a paint tells them itself.
    Press(6);
    window->repaint();
    EXPECT_EQ(Name(3), "Session: 1 of 2 (50%)");
    EXPECT_EQ(AnnounceCardChanges(*window), QList<int>());
}

TEST_F(CardAccessibleTest, PressingAButtonTalliesAsClickingItAndNotUnderADialog) {
    const QPoint centres[] = {{85, 284}, {305, 284}, {520, 284}};
    for (int button = 0; button < 3; ++button) {
        SCOPED_TRACE(button);
        const auto before = Tallies();
        const std::string word = Store().WordOnShow();
        Press(5 + button);
        const auto pressed = Tallies();
        EXPECT_NE(pressed, before);
        EXPECT_NE(Store().WordOnShow(), word);
        window->OnCommand(CMD_UNDO);
        ASSERT_EQ(Tallies(), before);
        ASSERT_EQ(Store().WordOnShow(), word);
        QTest::mouseClick(window, Qt::LeftButton, {}, centres[button]);
        EXPECT_EQ(Tallies(), pressed);
    }

    // A modal dialog keeps clicks off the window, and so presses.
    const auto before = Tallies();
    bool pressed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget(); box && !pressed) {
            pressed = true;
            Press(5);
            box->close();
        }
    });
    poll.start(10);
    window->OnCommand(CMD_ABOUT);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(Tallies(), before);
}

} // namespace
} // namespace lexipond
