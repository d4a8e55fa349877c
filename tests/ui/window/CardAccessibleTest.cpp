// SPDX-License-Identifier: GPL-3.0-or-later
// The card to a screen reader: its parts named and placed as painted, and an
// answer button's press, which must be its click.
#include "ui/window/CardAccessible.h"

#include "core/tutor/Commands.h"
#include "ui/common/TextDisplay.h"
#include "ui/dialogs/DialogTestSupport.h"
#include "ui/window/MainWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <tuple>

namespace lexipond::testing {
namespace {

class CardAccessibleTest : public ::testing::Test, public DialogWorld {
  protected:
    void SetUp() override {
        for (const char* word : {"apple", "bird", "cat", "dog"})
            AddWordRecord(db, word);
        SetUpUser(tutor);
        ChooseNextWord(tutor);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.repaint();
        card = QAccessible::queryAccessibleInterface(&window);
    }
    std::string Word() { return store.WordOnShow(); }
    QString Name(int part) { return card->child(part)->text(QAccessible::Name); }
    void Press(int part) {
        card->child(part)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    // What an answer changes: learner 0's tallies over all words, the session, the report.
    auto Tallies() {
        return std::make_tuple(SumUserField(tutor, TotalField(0)),
                               SumUserField(tutor, CorrectField(0)), state.sessionTotal,
                               state.sessionCorrect, ReportText(tutor));
    }

    MainWindow window{app};
    QAccessibleInterface* card = nullptr;
};

TEST_F(CardAccessibleTest, ThePartsAreNamedAndPlacedAsPaintedAndChangesAreToldOnce) {
    ASSERT_EQ(card->childCount(), 8);
    QStringList names;
    for (int part = 0; part < 8; ++part)
        names << Name(part);
    EXPECT_EQ(names.join('|'), DisplayText(Word()) +
                                   "|User: Zov|Total: 0 of 0 (100%)|Session: 0 of 0 (100%)|"
                                   "Word: 0 of 0 (100%)|Correct|Incorrect|Skip");
    // At the card's own size; twice as large, the card has 50 pixels spare either side.
    const QRect places[] = {{5, 5, 595, 195},    {10, 220, 140, 20},  {160, 220, 205, 20},
                            {370, 220, 220, 20}, {160, 240, 205, 20}, {15, 267, 140, 35},
                            {235, 267, 140, 35}, {450, 267, 140, 35}};
    for (const auto& [size, scale, left] :
         {std::tuple{QSize(604, 316), 1, 0}, std::tuple{QSize(1308, 632), 2, 50}}) {
        window.resize(size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.size() == size; }));
        for (int part = 0; part < 8; ++part) {
            SCOPED_TRACE(part);
            QAccessibleInterface* child = card->child(part);
            EXPECT_EQ(child->role(), part < 5 ? QAccessible::StaticText : QAccessible::Button);
            const QRect& at = places[part];
            const QPoint corner = window.mapToGlobal(QPoint(left, 0) + at.topLeft() * scale);
            EXPECT_EQ(child->rect(), QRect(corner, at.size() * scale));
            EXPECT_EQ(card->childAt(child->rect().center().x(), child->rect().center().y()), child);
        }
    }

    Press(5);
    ASSERT_TRUE(window.Painter().TakeSnapshot(store)); // as the paint begins
    EXPECT_EQ(Name(0), DisplayText(Word()));
    EXPECT_EQ(Name(2), "Total: 1 of 1 (100%)");
    EXPECT_EQ(AnnounceCardChanges(window), QList<int>({0, 2, 3}));
    EXPECT_EQ(AnnounceCardChanges(window), QList<int>());
    Press(6);
    window.repaint(); // which tells them itself
    EXPECT_EQ(Name(3), "Session: 1 of 2 (50%)");
    EXPECT_EQ(AnnounceCardChanges(window), QList<int>());
}

TEST_F(CardAccessibleTest, APressTalliesAsAClickOnItButNotUnderAModalDialog) {
    const QPoint centres[] = {{85, 284}, {305, 284}, {520, 284}};
    for (int button = 0; button < 3; ++button) {
        SCOPED_TRACE(button);
        const auto before = std::make_tuple(Tallies(), Word());
        Press(5 + button);
        const auto pressed = Tallies();
        EXPECT_NE(Word(), std::get<1>(before)) << "the next word is shown";
        window.OnCommand(CMD_UNDO);
        ASSERT_EQ(std::make_tuple(Tallies(), Word()), before);
        QTest::mouseClick(&window, Qt::LeftButton, {}, centres[button]);
        EXPECT_EQ(Tallies(), pressed);
    }

    const auto before = Tallies();
    int pressed = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* about = QApplication::activeModalWidget(); about && pressed++ == 0) {
            Press(5);
            about->close();
        }
    });
    poll.start(10);
    window.OnCommand(CMD_ABOUT);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(Tallies(), before);
}

} // namespace
} // namespace lexipond::testing
