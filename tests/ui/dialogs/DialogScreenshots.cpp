// SPDX-License-Identifier: GPL-3.0-or-later
// Saves a picture of each dialog with sample words, for the documentation:
//   xvfb-run -a ./dialog_screenshots <output folder>
#include "DialogTestSupport.h"
#include "core/tutor/Tutoring.h"
#include "ui/dialogs/OptionsDialog.h"
#include "ui/dialogs/ResultsReportDialog.h"
#include "ui/dialogs/WordDetailsDialog.h"

#include <QLineEdit>
#include <QPixmap>
#include <algorithm>

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

    // The message after an import: the shipped list with Linux line ends and two
    // empty lines, into a list that already holds four of its words.
    std::string list = ReadBytes(LEXIPOND_SOURCE_DIR "/resources/dImport.txt");
    list.erase(std::remove(list.begin(), list.end(), '\r'), list.end());
    const std::string listFile = world.folder / "sight words.txt";
    WriteBytes(listFile, list + "\n\n");
    WhenShown("options", [&](QWidget* options) {
        WhenShown("chooseTextFile", [&](QWidget* chooser) {
            chooser->findChild<QLineEdit*>("fileNameEdit")
                ->setText(QString::fromStdString(listFile));
            GrabWhenShown("tell", out + "/import-result.png");
            QMetaObject::invokeMethod(chooser, "accept");
        });
        options->findChild<QPushButton*>("importButton")->click();
        options->findChild<QPushButton*>("okButton")->click();
    });
    RunOptionsDialog(world.app, nullptr);
    return 0;
}
