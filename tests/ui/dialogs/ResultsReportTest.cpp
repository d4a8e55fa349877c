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

} // namespace
} // namespace lexipond::testing
