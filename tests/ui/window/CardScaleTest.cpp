// SPDX-License-Identifier: GPL-3.0-or-later
// The card painted at other window sizes: the buttons painted where the clicks
// find them, the card's own size unchanged from the stored picture, and a long
// word still fitted within its panel.
#include "core/layout/CardLayout.h"
#include "ui/window/MainWindowPainter.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

namespace lexipond {
namespace {

const QColor kButtonFill(245, 247, 215);

PaintSnapshot Scores(const QString& word) {
    PaintSnapshot snapshot;
    snapshot.word = word;
    snapshot.userName = QStringLiteral("Ann");
    snapshot.userCorrect = 7;
    snapshot.userTotal = 9;
    snapshot.sessionCorrect = 3;
    snapshot.sessionTotal = 4;
    snapshot.wordCorrect = 1;
    snapshot.wordTotal = 2;
    return snapshot;
}

QImage PaintAt(QSize size, const QString& word, const LookSettings& look = {}) {
    MainWindowPainter painter;
    painter.SetLook(look);
    painter.SetSnapshot(Scores(word));
    painter.Resize(size);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red); // anything left unpainted shows
    QPainter on(&image);
    painter.Paint(on);
    return image;
}

struct Box {
    int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
    void Add(int x, int y) {
        left = std::min(left, x), top = std::min(top, y);
        right = std::max(right, x), bottom = std::max(bottom, y);
    }
};

class CardAtSize : public testing::TestWithParam<QSize> {};

TEST_P(CardAtSize, EachButtonIsPaintedWhereItsClicksAreFound) {
    const QSize size = GetParam();
    const QImage image = PaintAt(size, QStringLiteral("because"));
    const CardScale fit = FitCard(size.width(), size.height());
    const int slack = static_cast<int>(std::ceil(fit.scale)) + 1; // the outline's width
    const ButtonPlace* places[] = {&kCorrectPlace, &kIncorrectPlace, &kSkipPlace};
    const CardButton buttons[] = {CardButton::Correct, CardButton::Incorrect, CardButton::Skip};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const CardArea area = ScaledPlace(fit, *places[i]);
        // Around the button, wider than it by more than the slack.
        const int margin = 4 * slack;
        Box painted, clicked;
        for (int y = static_cast<int>(area.top) - margin; y <= area.bottom + margin; ++y)
            for (int x = static_cast<int>(area.left) - margin; x <= area.right + margin; ++x) {
                if (x < 0 || y < 0 || x >= size.width() || y >= size.height())
                    continue;
                if (image.pixelColor(x, y) == kButtonFill)
                    painted.Add(x, y);
                if (ButtonAt(fit, x, y) == buttons[i])
                    clicked.Add(x, y);
            }
        ASSERT_GE(painted.right, 0);
        ASSERT_GE(clicked.right, 0);
        EXPECT_NEAR(painted.left, clicked.left, slack);
        EXPECT_NEAR(painted.right, clicked.right, slack);
        EXPECT_NEAR(painted.top, clicked.top, slack);
        EXPECT_NEAR(painted.bottom, clicked.bottom, slack);
        // And the button grew with the window.
        EXPECT_NEAR(clicked.right - clicked.left + 2, places[i]->width * fit.scale, 2);
    }
}

TEST_P(CardAtSize, ALongWordStaysWithinItsMarginsAtEverySize) {
    const QSize size = GetParam();
    const QString longWord = QStringLiteral("supercalifragilisticexpialidociousness");
    const QImage empty = PaintAt(size, QString());
    const QImage withWord = PaintAt(size, longWord);
    const CardScale fit = FitCard(size.width(), size.height());
    const double panelLeft = fit.left + fit.scale * layout::kWordPanel.left();
    const double panelRight = fit.left + fit.scale * (layout::kWordPanel.right() + 1);
    const double margin = fit.scale * layout::kWordMargin;
    int first = size.width(), last = -1;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (withWord.pixel(x, y) != empty.pixel(x, y))
                first = std::min(first, x), last = std::max(last, x);
    ASSERT_GE(last, 0) << "no word painted";
    // Within the margins, allowing a pixel or two for scaled glyph edges.
    EXPECT_GE(first, panelLeft + margin - 2);
    EXPECT_LE(last, panelRight - margin + 2);
    // And it uses most of the room (shrunk, not tiny).
    EXPECT_GT(last - first, (panelRight - panelLeft - 2 * margin) * 0.8);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CardAtSize,
                         testing::Values(QSize(604, 316), QSize(800, 600), QSize(906, 474),
                                         QSize(1208, 632), QSize(1920, 1080)));

TEST(CardScaleTest, AtTheCardsOwnSizeThePictureIsTheStoredOne) {
    const QString stored = QString::fromLocal8Bit(std::getenv("LEXIPOND_TEST_SOURCE_DIR")) +
                           QStringLiteral("/tests/ui/window/data/card-604x316.png");
    const QImage image = PaintAt(layout::kClientSize, QStringLiteral("because"));
    // LEXIPOND_RENEW_CARD_PICTURE=1 writes the picture instead (after a wanted change).
    if (const char* out = std::getenv("LEXIPOND_CARD_PICTURE_OUT"))
        image.save(QString::fromLocal8Bit(out));
    if (std::getenv("LEXIPOND_RENEW_CARD_PICTURE") != nullptr) {
        ASSERT_TRUE(image.save(stored));
    }
    QImage expected(stored);
    ASSERT_FALSE(expected.isNull()) << stored.toStdString();
    expected = expected.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), expected.size());
    // Font rasterisation may vary a little with what was drawn before (the
    // glyph cache keeps sub-pixel positions): each pixel may differ slightly in
    // shade, none may change from ink to paper or from one panel to another.
    int worst = 0;
    QPoint worstAt;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb a = image.pixel(x, y), b = expected.pixel(x, y);
            const int difference = std::max({std::abs(qRed(a) - qRed(b)),
                                             std::abs(qGreen(a) - qGreen(b)),
                                             std::abs(qBlue(a) - qBlue(b))});
            if (difference > worst)
                worst = difference, worstAt = QPoint(x, y);
        }
    EXPECT_LE(worst, 48) << "at " << worstAt.x() << "," << worstAt.y();
}

TEST(CardLook, EachSchemePaintsItsColoursAndClassicIsTheCardAsItWas) {
    const QImage classic = PaintAt(layout::kClientSize, QStringLiteral("because"));
    EXPECT_TRUE(PaintAt(layout::kClientSize, QStringLiteral("because"),
                        LookSettings{ColourScheme::Classic, {}, false}) == classic);
    for (ColourScheme scheme : {ColourScheme::HighContrast, ColourScheme::Dark}) {
        const CardColours colours = ColoursOf(scheme);
        const QImage image =
            PaintAt(QSize(1208, 632), QStringLiteral("because"), LookSettings{scheme, {}, false});
        EXPECT_EQ(image.pixelColor(2, 2), colours.background);      // outside the panels
        EXPECT_EQ(image.pixelColor(40, 40), colours.panel);         // word panel, no text
        EXPECT_EQ(image.pixelColor(45, 569), colours.button);       // Correct, left of its label
        EXPECT_EQ(image.pixelColor(10, 200), colours.outline);      // word panel's left edge
        // Some of the word is in the scheme's ink.
        bool ink = false;
        for (int x = 100; x < 1100 && !ink; ++x)
            ink = image.pixelColor(x, 200) == colours.ink;
        EXPECT_TRUE(ink);
    }
}

TEST(CardLook, LowerCaseShowsTheWordInLowerCaseOnly) {
    const LookSettings lower{ColourScheme::Classic, {}, true};
    EXPECT_TRUE(PaintAt(layout::kClientSize, QStringLiteral("The Cat"), lower) ==
                PaintAt(layout::kClientSize, QStringLiteral("the cat")));
    EXPECT_FALSE(PaintAt(layout::kClientSize, QStringLiteral("The Cat")) ==
                 PaintAt(layout::kClientSize, QStringLiteral("the cat")));
}

TEST(CardLook, TheChosenTypefaceDrawsTheWordAndALongWordStillFits) {
    if (!QFontDatabase::families().contains(QStringLiteral("Andika")))
        GTEST_SKIP() << "Andika is not installed (fonts-sil-andika)";
    MainWindowPainter painter;
    painter.SetLook(LookSettings{ColourScheme::Classic, QStringLiteral("Andika"), false});
    EXPECT_EQ(QFontInfo(painter.FitWord(QStringLiteral("cat")).font).family(),
              QStringLiteral("Andika"));
    // Andika is wider than the usual face: a long word shrinks in it.
    const WordFit fit = painter.FitWord(QStringLiteral("hippopotamuses"));
    EXPECT_EQ(QFontInfo(fit.font).family(), QStringLiteral("Andika"));
    EXPECT_LT(fit.font.pixelSize(), painter.FitWord(QStringLiteral("cat")).font.pixelSize());
    EXPECT_LE(QFontMetricsF(fit.font).horizontalAdvance(fit.text),
              layout::kWordPanel.width() - 2 * layout::kWordMargin);
    // And back to the usual face.
    painter.SetLook(LookSettings{});
    EXPECT_NE(QFontInfo(painter.FitWord(QStringLiteral("cat")).font).family(),
              QStringLiteral("Andika"));
}

} // namespace
} // namespace lexipond
