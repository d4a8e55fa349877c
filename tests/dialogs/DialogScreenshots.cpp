// Saves a picture of each dialog with sample words, for the documentation:
//   xvfb-run -a ./dialog_screenshots <output folder>
#include "dialogs/OptionsDialog.h"
#include "dialogs/WordDetailsDialog.h"
#include "recordfile/RecordFile.h"
#include "recordfile/WordDatabase.h"
#include "shell/AppContext.h"
#include "shell/Settings.h"
#include "shell/SettingsFile.h"
#include "tutor/TutorState.h"
#include "tutor/Tutoring.h"

#include <QApplication>
#include <QDialog>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace {

using namespace lexipond;

class StepRandom final : public RandomSource {
  public:
    bool Fill(uint32_t& value) override {
        value = next++;
        return true;
    }
    uint32_t TickCount() override { return 0; }
    uint32_t next = 1;
};

class NoWindow final : public WindowPort {
  public:
    void Invalidate() override {}
    void PostCommand(int) override {}
    void PostClose() override {}
};

void AddWord(RecordFile& db, const char* word, const char* notes, const int32_t tallies[10]) {
    const int32_t slot = AddRecord(db);
    std::strcpy(db.textValue, word);
    PutField(db, slot, kFieldWord);
    std::strcpy(db.textValue, notes);
    PutField(db, slot, kFieldNotes);
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
        db.numberValue =
            field == kFieldReservedA || field == kFieldReservedB ? 0 : tallies[field - 3];
        PutField(db, slot, field);
    }
}

// Saves the named window once it is shown, then closes it with done().
void GrabWhenShown(const QString& name, const QString& file) {
    auto* poll = new QTimer;
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, [poll, name, file] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible() || widget->objectName() != name)
                continue;
            poll->stop();
            poll->deleteLater();
            QTimer::singleShot(300, widget, [widget, file] {
                if (!widget->grab().save(file))
                    std::fprintf(stderr, "cannot save %s\n", file.toLocal8Bit().constData());
                static_cast<QDialog*>(widget)->done(QDialog::Accepted);
            });
            return;
        }
    });
    poll->start();
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir folder;
    RecordFile db;
    db.fileName = folder.filePath(QStringLiteral("LPDB.lbf")).toStdString();
    if (CreateWordDatabase(db) == 0) {
        std::fprintf(stderr, "cannot create the word database\n");
        return 1;
    }
    const int32_t none[10] = {};
    const int32_t cat[10] = {3, 2, 5, 5, 0, 0, 12, 7, 1, 0};
    AddWord(db, "and", "", none);
    AddWord(db, "cat", "Say it slowly: c-a-t.", cat);
    AddWord(db, "dog", "", none);
    AddWord(db, "the", "", none);

    SettingsBlock settings{};
    ApplyDefaultSettings(settings);
    TutorState state;
    StepRandom random;
    NoWindow window;
    Tutor tutor{db, settings, state, random, window};
    AppContext app{db, settings, state, tutor, "/nonexistent/", "/nonexistent/"};

    state.detailsTarget = 1;
    GrabWhenShown(QStringLiteral("wordDetails"), out + QStringLiteral("/word-details.png"));
    RunWordDetailsDialog(app, nullptr);

    state.currentRecord = 1;
    LoadCurrentWord(tutor);
    for (int i = 0; i < 6; ++i)
        HandleClick(tutor, i % 3 == 2 ? 300 : 80, 280);
    GrabWhenShown(QStringLiteral("resultsReport"), out + QStringLiteral("/results-report.png"));
    OpenResultsReport(app);
    QTimer::singleShot(2000, &application, &QApplication::quit);
    application.exec();

    GrabWhenShown(QStringLiteral("options"), out + QStringLiteral("/options.png"));
    RunOptionsDialog(app, nullptr);
    CloseRecordFile(db);
    return 0;
}
