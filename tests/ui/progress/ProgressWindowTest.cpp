// SPDX-License-Identifier: GPL-3.0-or-later
// The Progress window over a history prepared by hand, against figures worked
// out by hand; the word list's CSV read back; the printed report.
#include "ui/progress/ProgressWindow.h"

#include "CsvReader.h"
#include "DialogTestSupport.h"
#include "core/history/AnswerHistory.h"
#include "core/tutor/WordStore.h"
#include "ui/progress/ProgressReport.h"

#include <QBarSet>
#include <QBuffer>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QLineSeries>
#include <QPdfWriter>
#include <QStackedBarSeries>
#include <QTreeWidget>
#include <cstring>
#include <numeric>

namespace lexipond::testing {
namespace {

using enum HistoryAnswer;

// Local noon of the day `daysAgo` before today, as the history keeps moments.
HistoryTime NoonDaysAgo(int daysAgo, int minutes = 0) {
    const QDateTime noon(QDate::currentDate().addDays(-daysAgo), QTime(12, minutes));
    return {noon.toSecsSinceEpoch(), noon.offsetFromUtc() / 60};
}

class ProgressWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::strcpy(world.settings.userNames[0], "Ann");
        std::strcpy(world.settings.userNames[1], "Bo");
        world.settings.userNames[2][0] = '\0'; // no name: "User 3"
        AnswerHistory history;
        history.Start(world.folder.Slash());
        int minute = 0;
        const auto answer = [&](int slot, int daysAgo, const char* word, HistoryAnswer kind) {
            HistoryRow row;
            row.when = NoonDaysAgo(daysAgo, minute++ % 60);
            row.learnerSlot = slot;
            row.learnerName = slot == 0 ? "Ann" : "Bo";
            row.word = word;
            row.answer = kind;
            return history.Append(row);
        };
        answer(0, 40, "sun", Incorrect); // before the four weeks
        answer(0, 20, "cat", Correct);
        answer(0, 20, "cat", Correct);
        answer(0, 20, "dog", Incorrect);
        answer(0, 10, "cat", Correct);
        answer(0, 10, "dog", Incorrect);
        answer(0, 10, "dog", Correct);
        answer(0, 10, "sun", Skip);
        answer(0, 1, "dog", Incorrect);
        HistoryRow undo;
        undo.when = NoonDaysAgo(1, 59);
        undo.word = "sun";
        history.AppendUndo(answer(0, 1, "sun", Correct), undo);
        answer(0, 0, "cat", Correct);
        answer(1, 1, "cat", Incorrect);
        history.Close();
        window = (OpenProgressWindow(world.app, nullptr), world.app.progress.data());
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { delete window; }

    template <class T> T* Find(const char* name) {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // The chart's bars: correct and incorrect per period.
    std::pair<std::vector<int>, std::vector<int>> Bars() {
        const auto* bars =
            qobject_cast<QStackedBarSeries*>(Find<QChartView>("chart")->chart()->series().value(0));
        std::pair<std::vector<int>, std::vector<int>> values;
        if (!bars || bars->count() != 2)
            return values;
        for (int i = 0; i < bars->barSets()[0]->count(); ++i) {
            values.first.push_back(static_cast<int>(bars->barSets()[0]->at(i)));
            values.second.push_back(static_cast<int>(bars->barSets()[1]->at(i)));
        }
        return values;
    }
    // A list's rows, columns joined by spaces, in the order shown.
    std::vector<std::string> Rows(const char* name) {
        std::vector<std::string> rows;
        const QTreeWidget* list = Find<QTreeWidget>(name);
        for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
            QStringList columns;
            for (int c = 0; c < list->columnCount(); ++c)
                columns << list->topLevelItem(i)->text(c);
            rows.push_back(columns.join(QLatin1Char(' ')).toStdString());
        }
        return rows;
    }

    DialogWorld world;
    QWidget* window = nullptr;
};

// Day by day over the last four weeks, then week by week, then another learner
// and a shorter range: the undone answer, the skip and the answer before the
// range count nowhere.
TEST_F(ProgressWindowTest, ShowsTheHandWorkedFiguresForEachLearnerAndRange) {
    std::vector<int> correct(28), incorrect(28);
    correct[7] = 2, incorrect[7] = 1;   // 20 days ago
    correct[17] = 2, incorrect[17] = 1; // 10 days ago
    incorrect[26] = 1;                  // yesterday: the Correct was taken back
    correct[27] = 1;                    // today
    EXPECT_EQ(Bars(), std::make_pair(correct, incorrect));
    const auto* accuracy =
        qobject_cast<QLineSeries*>(Find<QChartView>("chart")->chart()->series().value(1));
    ASSERT_NE(accuracy, nullptr);
    const QList<QPointF> points = accuracy->points();
    ASSERT_EQ(points.size(), 4) << "a point only where there were answers";
    EXPECT_EQ(points[0].x(), 7);
    EXPECT_NEAR(points[0].y(), 200.0 / 3, 1e-9);
    EXPECT_EQ(points[2], QPointF(26, 0));
    EXPECT_EQ(points[3], QPointF(27, 100));
    EXPECT_EQ(Rows("mastered"), std::vector<std::string>{"cat"});
    EXPECT_EQ(Rows("needsWork"), std::vector<std::string>{"dog 3 4"});

    Find<QComboBox>("period")->setCurrentIndex(1);
    const auto [weekCorrect, weekIncorrect] = Bars();
    EXPECT_GE(weekCorrect.size(), 4u);
    EXPECT_LE(weekCorrect.size(), 5u);
    EXPECT_EQ(std::accumulate(weekCorrect.begin(), weekCorrect.end(), 0), 5);
    EXPECT_EQ(std::accumulate(weekIncorrect.begin(), weekIncorrect.end(), 0), 3);

    Find<QComboBox>("learner")->setCurrentIndex(1);
    EXPECT_EQ(Rows("mastered"), std::vector<std::string>{});
    EXPECT_EQ(Rows("needsWork"), std::vector<std::string>{"cat 1 1"});

    Find<QComboBox>("learner")->setCurrentIndex(0);
    Find<QComboBox>("period")->setCurrentIndex(0);
    Find<QDateEdit>("fromDay")->setDate(QDate::currentDate().addDays(-5));
    EXPECT_EQ(Bars().first.size(), 6u);
    EXPECT_EQ(Rows("needsWork"), std::vector<std::string>{"dog 1 1"});
}

// The report fits one page; the word list's CSV reads back to the tallies, with
// the learners' names in its header and each word's bytes as stored.
TEST_F(ProgressWindowTest, TheReportIsOnePageAndTheWordListReadsBack) {
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        PaintProgressReport(*window, writer);
    }
    EXPECT_EQ(pdf.count("/Type /Page") - pdf.count("/Type /Pages"), 1);

    AddWordRecord(world.db, "say \"hi\", caf\xe9", "", {4, 3, 0, 0, 2, 1});
    AddWordRecord(world.db, "cat", "", {1, 0});
    const std::optional<CsvRecords> csv = ReadCsv(world.store.WordTalliesCsv());
    ASSERT_TRUE(csv.has_value());
    const CsvRecords expected = {
        {"word", "Ann answers", "Ann correct", "Bo answers", "Bo correct", "User 3 answers",
         "User 3 correct", "Rondel answers", "Rondel correct", "Vimsa answers", "Vimsa correct"},
        {"say \"hi\", caf\xe9", "4", "3", "0", "0", "2", "1", "0", "0", "0", "0"},
        {"cat", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0"}};
    EXPECT_EQ(*csv, expected);
}

} // namespace
} // namespace lexipond::testing
