// SPDX-License-Identifier: GPL-3.0-or-later
// Saves a picture of each dialog with sample words, for the documentation:
//   xvfb-run -a ./dialog_screenshots <output folder>
#include "DialogTestSupport.h"
#include "ui/dialogs/OptionsDialog.h"
#include "ui/dialogs/ResultsReportDialog.h"
#include "ui/dialogs/WordDetailsDialog.h"
#include "core/tutor/Tutoring.h"

#include <QPixmap>

using namespace lexipond;
using namespace lexipond::testing;

// Saves the named window once it has painted, then closes it.
static void GrabWhenShown(const char* name, const QString& file) {
    WhenShown(QString::fromLatin1(name), [file](QWidget* widget) {
        QTimer::singleShot(300, widget, [widget, file] {
            if (!widget->grab().save(file))
                qWarning("cannot save %s", qPrintable(file));
            static_cast<QDialog*>(widget)->done(QDialog::Accepted);
        });
    });
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    DialogWorld world;
    AddWordRecord(world.db, "and");
    AddWordRecord(world.db, "cat", "Say it slowly: c-a-t.", {3, 2, 5, 5, 0, 0, 12, 7, 1, 0});
    AddWordRecord(world.db, "dog");
    AddWordRecord(world.db, "the");

    world.state.detailsTarget = 1;
    GrabWhenShown("wordDetails", out + "/word-details.png");
    RunWordDetailsDialog(world.app, nullptr);

    world.state.currentRecord = 1;
    LoadCurrentWord(world.tutor);
    for (int i = 0; i < 6; ++i)
        HandleClick(world.tutor, i % 3 == 2 ? 300 : 80, 280);
    GrabWhenShown("resultsReport", out + "/results-report.png");
    OpenResultsReport(world.app, nullptr);
    QTimer::singleShot(2000, &application, &QApplication::quit);
    application.exec();

    GrabWhenShown("options", out + "/options.png");
    RunOptionsDialog(world.app, nullptr);
    return 0;
}
