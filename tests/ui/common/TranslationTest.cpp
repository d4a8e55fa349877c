// SPDX-License-Identifier: GPL-3.0-or-later
// The Spanish translation, as a user gets it with LANGUAGE=es (set for this
// program by its test definition): chosen at start, complete, and the core's
// texts shown in Spanish while their stored bytes stay English.
#include "ui/common/CoreTexts.h"
#include "ui/common/Translations.h"
#include "ui/window/MainWindowPainter.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace lexipond {
namespace {

struct Message {
    QString context, source;
};

// Every message of a .ts file.
std::vector<Message> ReadMessages(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<Message> messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            messages.push_back({context, xml.readElementText()});
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

// The %1.. markers and the tab before a menu item's keys.
std::multiset<QString> Markers(const QString& text) {
    std::multiset<QString> found;
    static const QRegularExpression marker(QStringLiteral("%\\d|\\t"));
    for (auto match = marker.globalMatch(text); match.hasNext();)
        found.insert(match.next().captured());
    return found;
}

class Spanish : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { installed = InstallTranslations(*QCoreApplication::instance()); }
    static inline bool installed = false;
};

// The template is made from the sources by the build, so a text added without
// a Spanish translation fails here, as does a translation that drops a marker.
TEST_F(Spanish, IsChosenByLanguageAndTranslatesEveryTextOfTheTemplate) {
    ASSERT_TRUE(installed) << "no translation for LANGUAGE=" << qgetenv("LANGUAGE").constData();
    QTranslator spanish;
    ASSERT_TRUE(spanish.load(QStringLiteral(":/lexipond/i18n/lexipond_es.qm")));
    const std::vector<Message> messages = ReadMessages(QStringLiteral(LEXIPOND_TS_TEMPLATE));
    ASSERT_GT(messages.size(), 100u);
    for (const Message& message : messages) {
        const QByteArray context = message.context.toUtf8(), source = message.source.toUtf8();
        const QString translated = spanish.translate(context.constData(), source.constData());
        SCOPED_TRACE(context.toStdString() + ": " + source.toStdString());
        EXPECT_FALSE(translated.isEmpty()) << "not translated";
        EXPECT_EQ(Markers(translated), Markers(message.source));
        if (message.source.contains(QLatin1Char('&'))) {
            EXPECT_TRUE(translated.contains(QLatin1Char('&'))) << "the shortcut mark was lost";
        }
    }
    EXPECT_EQ(QCoreApplication::translate("lexipond::MainWindow", "Options..."),
              QStringLiteral("Opciones..."));
}

TEST_F(Spanish, ScoresLevelsAndTheReportShowInSpanishWithTheCoreNumbers) {
    ASSERT_TRUE(installed);
    EXPECT_EQ(ScoreText(7, 9), QStringLiteral("7 de 9 (77%)")) << "rounded down";
    EXPECT_EQ(ScoreText(0, 0), QStringLiteral("0 de 0 (100%)"));
    EXPECT_EQ(ScoreText(4294967295u, 1), QStringLiteral("4294967295 de 1 (429496729500%)"))
        << "no overflow";
    EXPECT_EQ(LevelName(0), QStringLiteral("La más fácil"));
    EXPECT_TRUE(LevelName(7).isEmpty());
    EXPECT_EQ(AnswerName(AnswerKind::Skip), QStringLiteral("Saltar"));
    // Only the verdict at a line's end is a verdict; a word may hold the same letters.
    EXPECT_EQ(ReportForDisplay(QStringLiteral("dog, Correct\r\nsay, Incorrect, Correct\r\n"
                                              "red, Incorrect\r\n")),
              QStringLiteral("dog, Correcto\r\nsay, Incorrect, Correcto\r\nred, Incorrecto\r\n"));
    EXPECT_EQ(StartupReason("permission denied"), QStringLiteral("permiso denegado"));
    EXPECT_EQ(StartupReason("field 3 runs past the record"),
              QStringLiteral("field 3 runs past the record"))
        << "the format check's own words are shown as given";
}

// "Incorrecto" is wider than its button in the button font: it is drawn
// smaller, clear of the button's ends, instead of over its outline.
TEST_F(Spanish, AnswerCaptionsKeepClearOfTheirButtonsEnds) {
    ASSERT_TRUE(installed);
    const MainWindowPainter painter;
    QImage image(layout::kClientSize, QImage::Format_RGB32);
    QPainter on(&image);
    painter.DrawScene(on);
    on.end();
    const QColor button = ColoursOf(ColourScheme::Classic).button;
    for (const QRect& place :
         {layout::kCorrectButton, layout::kIncorrectButton, layout::kSkipButton}) {
        const int middle = place.center().y();
        // Eight pixels at either end hold no ink, between the outline and the caption.
        for (int step = 2; step < 8; ++step)
            for (int x : {place.left() + step, place.right() - step})
                EXPECT_EQ(image.pixelColor(x, middle), button)
                    << "ink at " << x << " in the button at " << place.left();
    }
}

} // namespace
} // namespace lexipond
