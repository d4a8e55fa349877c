// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the main window for the documentation:
//   xvfb-run -a ./window_screenshots <output folder>
#include "TestSupport.h"
#include "core/settings/SettingsFile.h"
#include "core/tutor/Tutoring.h"
#include "ui/common/AppContext.h"
#include "ui/window/MainWindow.h"

#include <QApplication>
#include <QTest>

using namespace lexipond;
using namespace lexipond::testing;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    TutorWorld world;
    world.db.fileName = world.folder / "LPDB.lbf";
    if (CreateWordDatabase(world.db) == 0)
        return 1;
    ApplyDefaultSettings(world.settings);
    AppContext app{world.store, world.settings, world.folder.Slash(), world.folder.Slash()};
    const struct {
        const char* file;
        const char* word;
    } cards[] = {{"screenshot.png", "full"},
                 {"card-santa-claus.png", "Santa Claus"},
                 {"card-30-letters.png", "hippopotomonstrosesquipedalian"}};
    for (const auto& card : cards) // 4 of 5 answers right, all on the first word
        AddWordRecord(world.db, card.word, "",
                      card.word == cards[0].word ? std::vector<int32_t>{5, 4}
                                                 : std::vector<int32_t>{});
    MainWindow window(app);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    int slot = 0;
    for (const auto& card : cards) {
        world.state.currentRecord = slot++;
        LoadCurrentWord(world.tutor);
        SetUpUser(world.tutor);
        world.state.wordTotal = world.state.wordCorrect = 0; // as on a word never asked
        world.state.sessionTotal = 5;
        world.state.sessionCorrect = 4;
        window.update();
        QTest::qWait(200);
        if (!window.grab().save(out + QLatin1Char('/') + QString::fromLatin1(card.file)))
            qWarning("cannot save %s", card.file);
    }
    window.DestroyWindow();
    CloseRecordFile(world.db);
    return 0;
}
