#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the main window: the word panel, the score panel and the three answer
// buttons, into a back buffer that lives until the next size change and is
// copied to the window in one step. Window thread only. The painter owns its
// back buffer, its fonts and a copy of what it shows; it reads the tutor only
// through WordStore::TryShownScores, which never waits for the worker.
#include "core/tutor/Tutoring.h"
#include "ui/common/LookSettings.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <string>
#include <array>
#include <cstdint>

class QPainter;

namespace lexipond {

class WordStore;

// What one paint shows, copied from the tutoring state.
struct PaintSnapshot {
    QString word;
    std::string wordBytes; // the word as stored
    QString userName;
    uint32_t userCorrect = 0, userTotal = 0;
    uint32_t sessionCorrect = 0, sessionTotal = 0;
    uint32_t wordCorrect = 0, wordTotal = 0;
};

// The layout at the card's own size, in client coordinates (left, top, width,
// height); a larger window shows it scaled (core/layout/CardLayout.h).
namespace layout {
inline constexpr QRect kWordPanel(5, 5, 595, 195);
inline constexpr QRect kScorePanel(5, 210, 595, 100);
constexpr QRect ButtonRect(const ButtonPlace& place) {
    return QRect(place.left, place.top, place.width, place.height);
}
inline constexpr QRect kCorrectButton = ButtonRect(kCorrectPlace);
inline constexpr QRect kIncorrectButton = ButtonRect(kIncorrectPlace);
inline constexpr QRect kSkipButton = ButtonRect(kSkipPlace);
inline constexpr int kCornerDiameter = 30;
inline constexpr QSize kClientSize(604, 316);
// The word keeps this far from the word panel's border on either side.
inline constexpr int kWordMargin = 12;
// The smallest cell height (pixels) a word shrinks to; a word that needs less is
// drawn at this size and cut in the middle.
inline constexpr int kLeastWordCell = 36;
// At least this much room between a score label and its value.
inline constexpr int kLabelGap = 4;
} // namespace layout

// One line of the score panel as painted: its label, its value's text, and
// the label's and value's boxes together at the card's own size.
struct ScoreLineText {
    QString label, value;
    QRect box;
};
inline constexpr int kScoreLineCount = 4;

// How the word on show is drawn: the font and the text (the word, or the word
// cut in the middle when it does not fit even at the smallest size).
struct WordFit {
    QFont font;
    QString text;
};

class MainWindowPainter {
  public:
    // family: the fonts' family; the system may put another in its place.
    explicit MainWindowPainter(const QString& family = QStringLiteral("Arial"));

    // Copies what is shown from the store. When the worker holds the store (a
    // re-sort), the last snapshot stays and false says that a repaint is worth
    // asking for shortly.
    bool TakeSnapshot(WordStore& store);
    void SetSnapshot(const PaintSnapshot& snapshot) { snapshot_ = snapshot; }
    const PaintSnapshot& Snapshot() const { return snapshot_; }
    // The word as the snapshot shows it (in the look's case), before any cut
    // to fit; and the score lines, in the order they are painted.
    QString ShownWordText() const { return ShownWord(look_, snapshot_.word); }
    std::array<ScoreLineText, kScoreLineCount> ScoreTexts() const;
    // A button's caption as painted: 0 Correct, 1 Incorrect, 2 Skip.
    const QString& Caption(int button) const { return captions_[button]; }

    // The colours, the word's family and its case; the next paint shows them.
    void SetLook(const LookSettings& look);
    const LookSettings& Look() const { return look_; }

    // The client size (and the screen's pixels per unit); drops the back buffer,
    // which the next paint makes anew.
    void Resize(QSize clientSize, qreal pixelRatio = 1.0);
    // Draws into the back buffer (made when missing) and copies it to target at (0, 0).
    void Paint(QPainter& target);
    const QImage& BackBuffer() const { return backBuffer_; }

    // The drawing itself, on any painter.
    void DrawScene(QPainter& painter) const;

    // The word at the full size when it fits the word panel within its margins;
    // else at the largest smaller size that fits, down to the smallest size.
    WordFit FitWord(const QString& word) const;

  private:
    QString family_; // of every text but the word when the look names another
    LookSettings look_;
    CardColours colours_ = ColoursOf(ColourScheme::Classic);
    QSize clientSize_;
    qreal pixelRatio_ = 1.0;
    QImage backBuffer_;
    PaintSnapshot snapshot_;
    QFont wordFont_, leastWordFont_, labelFont_, valueFont_, buttonFont_;
    QRect valueBoxes_[4]; // of the score lines, moved right of their labels
    // The buttons' captions (Correct, Incorrect, Skip) and their fonts: the
    // button font, smaller where a translation would not fit its button.
    QString captions_[3];
    QFont captionFonts_[3];
    // The last word fitted, kept between paints (a paint follows every answer).
    mutable QString fittedWord_;
    mutable WordFit fit_;
};

} // namespace lexipond
