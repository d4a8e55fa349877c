// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the main window for the documentation:
//   xvfb-run -a ./window_screenshots <output folder>
#include "TestSupport.h"
#include "core/settings/SettingsFile.h"
#include "core/tutor/Tutoring.h"
#include "ui/common/AppContext.h"
#include "ui/speech/WordListener.h"
#include "ui/window/ListeningMode.h"
#include "ui/window/MainWindow.h"
#if LEXIPOND_WITH_SPEECH
#include "core/speech/Synthesizer.h"
#endif

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
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
    // The first card again, filling a screen, then in the dark colours with Andika.
    world.state.currentRecord = 0;
    LoadCurrentWord(world.tutor);
    const auto save = [&](const char* file) {
        window.update();
        QTest::qWait(300);
        if (!window.grab().save(out + QLatin1Char('/') + QString::fromLatin1(file)))
            qWarning("cannot save %s", file);
    };
    window.ToggleFullScreen();
    // Without a window manager (Xvfb) nothing makes a full-screen window fill the screen.
    window.setGeometry(window.screen()->geometry());
    save("card-full-screen.png");
    window.ToggleFullScreen();
    QTest::qWait(300);
    ChangeLook(app, LookSettings{ColourScheme::Dark, QStringLiteral("Andika"), false});
    save("card-dark-andika.png");
#if LEXIPOND_WITH_SPEECH
    // Listening, just after Flite's kal16 voice read "said" when it was on show.
    if (WordListener::Available()) {
        ChangeLook(app, LookSettings{});
        window.resize(layout::kClientSize);
        for (const char* word : {"said", "look", "play"})
            AddWordRecord(world.db, word, "", {});
        world.state.currentRecord = FindExactWord(world.tutor, "said", 0);
        LoadCurrentWord(world.tutor);
        window.update();
        QTest::qWait(200);
        ListeningMode& listening = window.Listening();
        listening.Toggle(WordListener::Source::Recordings);
        QSignalSpy ready(listening.Listener(), &WordListener::ready);
        QSignalSpy judged(listening.Listener(), &WordListener::judged);
        if (ready.wait(60000)) {
            speech::PcmAudio said = speech::Synthesize("said", speech::Voice::Kal16).audio;
            said.samples.insert(said.samples.begin(), said.sampleRate / 2, int16_t(0));
            said.samples.insert(said.samples.end(), said.sampleRate, int16_t(0));
            listening.Listener()->Feed(said);
            if (judged.wait(30000))
                save("card-listening.png");
        }
        listening.Stop();
    }
#endif
    window.DestroyWindow();
    CloseRecordFile(world.db);
    return 0;
}
