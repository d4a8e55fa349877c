// SPDX-License-Identifier: GPL-3.0-or-later
// The Results Report opens beside the main window and within the screen the
// main window is on (the offscreen screens of two-screens.json: 1920 x 1080,
// and 1024 x 600 to its right).
#include "DialogTestSupport.h"
#include "ui/dialogs/ResultsReportDialog.h"

#include <QScreen>
#include <QTest>

namespace lexipond::testing {
namespace {

TEST(ReportScreens, TheReportOpensBesideTheWindowAndWithinItsScreen) {
    if (QGuiApplication::screens().size() != 2)
        GTEST_SKIP() << "needs the two offscreen screens of two-screens.json";
    const struct {
        const char* name;
        QPoint at; // the main window's place
        QSize screen;
        bool beside;
    } rows[] = {
        {"a wide screen: beside, not over the word", {650, 300}, {1920, 1080}, true},
        {"a 1024 x 600 screen: the whole report on it", {1920 + 210, 140}, {1024, 600}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DialogWorld world;
        QWidget owner;
        owner.setFixedSize(604, 316);
        owner.move(row.at);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        QScreen* screen = owner.screen();
        ASSERT_EQ(screen->geometry().size(), row.screen);
        OpenResultsReport(world.app, &owner);
        const QPointer<QDialog> report = world.app.report;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(report));
        const QRect available = screen->availableGeometry();
        EXPECT_TRUE(available.contains(report->frameGeometry())) << "off the screen";
        QWidget* ok = report->findChild<QPushButton*>("okButton");
        EXPECT_TRUE(available.contains(QRect(ok->mapToGlobal(QPoint()), ok->size())));
        EXPECT_EQ(report->frameGeometry().intersects(owner.frameGeometry()), !row.beside);
        report->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace
} // namespace lexipond::testing
