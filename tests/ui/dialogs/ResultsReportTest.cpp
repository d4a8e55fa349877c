// SPDX-License-Identifier: GPL-3.0-or-later
// The Results Report: it follows the answers, opens once, goes with its owner and
// stays a window of its own.
#include "DialogTestSupport.h"
#include "core/tutor/Tutoring.h"
#include "ui/dialogs/ResultsReportDialog.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QWindow>

namespace lexipond::testing {
namespace {

class ResultsReportTest : public ::testing::Test, public DialogWorld {
  protected:
    void SetUp() override {
        for (const char* word : {"apple", "bird", "cat"})
            AddWordRecord(db, word);
        state.currentRecord = 2;
        LoadCurrentWord(tutor);
    }
    void TearDown() override { EXPECT_EQ(Shown({}).size(), 0) << "a window was left open"; }
    void AnswerCorrect() { store.Click(80, 280); }
};

TEST_F(ResultsReportTest, GrowsWithinFiveSecondsWhileAnswersAreGiven) {
    AnswerCorrect();
    OpenResultsReport(app, nullptr);
    OpenResultsReport(app, nullptr); // a second one does not open
    ASSERT_EQ(Shown("resultsReport").size(), 1);
    QWidget* dialog = Shown("resultsReport")[0];
    QPlainTextEdit* text = dialog->findChild<QPlainTextEdit*>("reportText");
    EXPECT_EQ(text->toPlainText(), "cat, Correct\n");
    AnswerCorrect();
    EXPECT_TRUE(QTest::qWaitFor([&] { return text->document()->blockCount() == 3; }, 5500));
    dialog->findChild<QPushButton*>("okButton")->click();
    EXPECT_TRUE(app.report.isNull()) << "closed: it may open again";
}

TEST_F(ResultsReportTest, AnUndoneAnswerLeavesTheOpenReportEvenWhenAnotherTakesItsLength) {
    AnswerCorrect(); // cat
    OpenResultsReport(app, nullptr);
    QWidget* dialog = Shown("resultsReport").value(0);
    ASSERT_NE(dialog, nullptr);
    QPlainTextEdit* text = dialog->findChild<QPlainTextEdit*>("reportText");
    ASSERT_EQ(text->toPlainText(), "cat, Correct\n");
    ASSERT_EQ(store.Undo(), UndoOutcome::Undone);
    state.currentRecord = AddWordRecord(db, "dog"); // a line as long as cat's
    LoadCurrentWord(tutor);
    AnswerCorrect();
    EXPECT_TRUE(QTest::qWaitFor([&] { return text->toPlainText() == "dog, Correct\n"; }, 5500))
        << text->toPlainText().toStdString();
    dialog->findChild<QPushButton*>("okButton")->click();
}

TEST_F(ResultsReportTest, EnterIsOkWhereverTheFocusIs) {
    const struct {
        const char* name;
        const char* focus;
        Qt::Key key;
    } rows[] = {{"Return in the report's text", "reportText", Qt::Key_Return},
                {"Enter in the report's text", "reportText", Qt::Key_Enter},
                {"Return on OK", "okButton", Qt::Key_Return}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        OpenResultsReport(app, nullptr);
        const QPointer<QDialog> report = app.report;
        ASSERT_FALSE(report.isNull());
        QWidget* focus = report->findChild<QWidget*>(row.focus);
        focus->setFocus();
        QTest::keyClick(focus, row.key);
        EXPECT_TRUE(app.report.isNull()) << "still open";
        if (report && report->isVisible())
            report->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(ResultsReportTest, GoesWithItsOwnerButStaysAWindowOfItsOwn) {
    auto owner = std::make_unique<QWidget>();
    owner->show();
    OpenResultsReport(app, owner.get());
    const QPointer<QDialog> report = app.report;
    ASSERT_FALSE(report.isNull());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(report));
    EXPECT_TRUE(report->isWindow());
    // Not tied above the owner: the main window must be able to come in front.
    EXPECT_EQ(report->windowHandle()->transientParent(), nullptr);
    owner.reset(); // the program's end with the report still open
    EXPECT_TRUE(report.isNull()) << "the report outlived its owner";
    EXPECT_TRUE(app.report.isNull());
}

TEST(ReportPlace, BesideTheOwnerWhenThereIsRoomAndAlwaysOnTheScreen) {
    const QRect wide(0, 0, 1920, 1040), small(0, 0, 1024, 600), second(1920, 0, 1280, 1024);
    const QSize report(360, 690), main(620, 380);
    const struct {
        const char* name;
        QRect owner, available, expected;
    } rows[] = {
        {"to the right", QRect(QPoint(100, 100), main), wide, QRect(728, 100, 360, 690)},
        {"to the left when the right has no room", QRect(QPoint(1250, 200), main), wide,
         QRect(882, 200, 360, 690)},
        {"level with the owner, but not below the screen", QRect(QPoint(100, 600), main), wide,
         QRect(728, 350, 360, 690)},
        {"nor above it", QRect(QPoint(100, -50), main), wide, QRect(728, 0, 360, 690)},
        {"no room beside: at the edge with more room, cut to the screen's height",
         QRect(QPoint(100, 110), main), small, QRect(664, 0, 360, 600)},
        {"the left edge when the left has more room", QRect(QPoint(350, 0), main), small,
         QRect(0, 0, 360, 600)},
        {"on the owner's screen", QRect(QPoint(2000, 300), main), second,
         QRect(2628, 300, 360, 690)},
        {"no owner: centred", QRect(), small, QRect(332, 0, 360, 600)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QRect place = ReportPlace(row.owner, report, row.available);
        EXPECT_EQ(place, row.expected);
        EXPECT_TRUE(row.available.contains(place));
    }
}

} // namespace
} // namespace lexipond::testing
