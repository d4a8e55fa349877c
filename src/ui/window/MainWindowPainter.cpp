// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/MainWindowPainter.h"

#include "core/layout/CardLayout.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/WordStore.h"
#include "ui/common/CoreTexts.h"
#include "ui/common/TextDisplay.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <iterator>

namespace lexipond {

namespace {

// A rounded rectangle whose one-pixel outline runs on the rectangle's outer
// pixels, as the classic rounded-rectangle call draws it.
void RoundPanel(QPainter& painter, const QRect& rect) {
    const qreal radius = layout::kCornerDiameter / 2.0;
    painter.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// Text on one line, never wrapped, cut off at the edges of its rectangle.
void DrawClipped(QPainter& painter, const QRect& rect, int alignment, const QString& text) {
    painter.save();
    painter.setClipRect(rect);
    painter.drawText(rect, alignment | Qt::TextSingleLine, text);
    painter.restore();
}

// The width a text covers from its start: its advance, or its ink where a
// glyph reaches beyond the advance (as bold letters may).
qreal CoveredWidth(const QFont& font, const QString& text) {
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.boundingRect(text);
    return std::max(metrics.horizontalAdvance(text), ink.right()) - std::min<qreal>(0, ink.left());
}

// The labels of the score panel, each with the box of its value.
struct ScoreLine {
    const char* label;
    QRect labelBox, valueBox;
};
constexpr ScoreLine kScoreLines[4] = {
    {QT_TRANSLATE_NOOP("MainWindowPainter", "User:"), QRect(10, 220, 60, 20),
     QRect(75, 220, 75, 20)},
    {QT_TRANSLATE_NOOP("MainWindowPainter", "Total:"), QRect(160, 220, 60, 20),
     QRect(220, 220, 145, 20)},
    {QT_TRANSLATE_NOOP("MainWindowPainter", "Session:"), QRect(370, 220, 70, 20),
     QRect(445, 220, 145, 20)},
    {QT_TRANSLATE_NOOP("MainWindowPainter", "Word:"), QRect(160, 240, 60, 20),
     QRect(220, 240, 145, 20)},
};

static_assert(std::size(kScoreLines) == kScoreLineCount);

QString LabelText(const ScoreLine& line) {
    return QCoreApplication::translate("MainWindowPainter", line.label);
}

// A caption keeps this far from its button's ends, and shrinks no further.
constexpr int kCaptionMargin = 8;
constexpr int kLeastCaptionPixels = 12;

} // namespace

std::array<ScoreLineText, kScoreLineCount> MainWindowPainter::ScoreTexts() const {
    const QString values[kScoreLineCount] = {
        snapshot_.userName, ScoreText(snapshot_.userCorrect, snapshot_.userTotal),
        ScoreText(snapshot_.sessionCorrect, snapshot_.sessionTotal),
        ScoreText(snapshot_.wordCorrect, snapshot_.wordTotal)};
    std::array<ScoreLineText, kScoreLineCount> lines;
    for (int i = 0; i < kScoreLineCount; ++i)
        lines[i] = {LabelText(kScoreLines[i]), values[i],
                    kScoreLines[i].labelBox.united(valueBoxes_[i])};
    return lines;
}

MainWindowPainter::MainWindowPainter(const QString& family)
    : family_(family), wordFont_(CellHeightFont(140, 1000, family)),
      leastWordFont_(CellHeightFont(layout::kLeastWordCell, 1000, family)),
      labelFont_(CellHeightFont(20, 700, family)), valueFont_(CellHeightFont(20, 400, family)),
      buttonFont_(CellHeightFont(30, 700, family)) {
    // A label wider than its box (bold "Session:", or any label in a wider
    // fallback font) pushes its value right instead of running into it.
    for (int i = 0; i < kScoreLineCount; ++i) {
        const ScoreLine& line = kScoreLines[i];
        const int labelEnd =
            line.labelBox.left() +
            static_cast<int>(std::ceil(CoveredWidth(labelFont_, LabelText(line)))) +
            layout::kLabelGap;
        valueBoxes_[i] = line.valueBox;
        valueBoxes_[i].setLeft(std::max(line.valueBox.left(), labelEnd));
    }
    const AnswerKind kinds[3] = {AnswerKind::Correct, AnswerKind::Incorrect, AnswerKind::Skip};
    const QRect buttons[3] = {layout::kCorrectButton, layout::kIncorrectButton,
                              layout::kSkipButton};
    for (int i = 0; i < 3; ++i) {
        captions_[i] = AnswerName(kinds[i]);
        captionFonts_[i] = buttonFont_;
        // Clear of the rounded corners; the English captions fit at full size.
        const qreal room = buttons[i].width() - 2 * kCaptionMargin;
        while (CoveredWidth(captionFonts_[i], captions_[i]) > room &&
               captionFonts_[i].pixelSize() > kLeastCaptionPixels)
            captionFonts_[i].setPixelSize(captionFonts_[i].pixelSize() - 1);
    }
}

void MainWindowPainter::SetLook(const LookSettings& look) {
    look_ = look;
    colours_ = ColoursOf(look.scheme);
    const QString& family = look.wordFamily.isEmpty() ? family_ : look.wordFamily;
    wordFont_ = CellHeightFont(140, 1000, family);
    leastWordFont_ = CellHeightFont(layout::kLeastWordCell, 1000, family);
    fit_ = WordFit(); // fitted anew in the new font
}

WordFit MainWindowPainter::FitWord(const QString& word) const {
    const qreal room = layout::kWordPanel.width() - 2 * layout::kWordMargin;
    const qreal width = CoveredWidth(wordFont_, word);
    if (width <= room)
        return {wordFont_, word};
    // From the size at which the width would just fit if it scaled exactly,
    // down until it fits: hinting does not scale exactly.
    QFont font = wordFont_;
    const int least = leastWordFont_.pixelSize();
    for (int size = std::min(wordFont_.pixelSize() - 1,
                             static_cast<int>(wordFont_.pixelSize() * room / width));
         size >= least; --size) {
        font.setPixelSize(size);
        if (CoveredWidth(font, word) <= room)
            return {font, word};
    }
    // Too long to read whole at any size a child can read: the start and the
    // end stay, the middle goes.
    const QFontMetricsF metrics(leastWordFont_);
    QString cut = metrics.elidedText(word, Qt::ElideMiddle, room);
    for (qreal narrower = room - 1; CoveredWidth(leastWordFont_, cut) > room && narrower > 0;
         --narrower)
        cut = metrics.elidedText(word, Qt::ElideMiddle, narrower);
    return {leastWordFont_, cut};
}

bool MainWindowPainter::TakeSnapshot(WordStore& store) {
    ShownScores shown;
    if (!store.TryShownScores(shown))
        return false;
    snapshot_.word = DisplayText(shown.word);
    snapshot_.wordBytes = shown.word;
    snapshot_.userName = DisplayText(shown.userName);
    snapshot_.userCorrect = shown.userCorrect;
    snapshot_.userTotal = shown.userTotal;
    snapshot_.sessionCorrect = shown.sessionCorrect;
    snapshot_.sessionTotal = shown.sessionTotal;
    snapshot_.wordCorrect = shown.wordCorrect;
    snapshot_.wordTotal = shown.wordTotal;
    return true;
}

void MainWindowPainter::Resize(QSize clientSize, qreal pixelRatio) {
    clientSize_ = clientSize;
    pixelRatio_ = pixelRatio > 0 ? pixelRatio : 1.0;
    backBuffer_ = QImage();
}

void MainWindowPainter::Paint(QPainter& target) {
    if (clientSize_.isEmpty())
        return;
    if (backBuffer_.isNull()) {
        // Sharp on high-density screens: the buffer has the screen's pixels.
        backBuffer_ = QImage(clientSize_ * pixelRatio_, QImage::Format_RGB32);
        if (backBuffer_.isNull())
            return; // out of memory: nothing drawn, the next paint tries again
        backBuffer_.setDevicePixelRatio(pixelRatio_);
    }
    {
        QPainter buffer(&backBuffer_);
        DrawScene(buffer);
    }
    target.drawImage(QPoint(0, 0), backBuffer_);
}

void MainWindowPainter::DrawScene(QPainter& painter) const {
    const QSize size = clientSize_.isEmpty() ? layout::kClientSize : clientSize_;
    painter.fillRect(QRect(QPoint(0, 0), size), colours_.background);
    painter.save();
    // A larger window shows the same card, scaled: one transform scales the
    // panels, the fonts and the buttons alike, and the clicks go through the
    // same scale (core/layout). At the card's own size nothing is transformed.
    const CardScale card = FitCard(size.width(), size.height());
    if (card.scale != 1.0 || card.left != 0 || card.top != 0) {
        painter.translate(card.left, card.top);
        painter.scale(card.scale, card.scale);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(QPen(colours_.outline, 1));

    painter.setBrush(colours_.panel);
    RoundPanel(painter, layout::kWordPanel);
    RoundPanel(painter, layout::kScorePanel);
    painter.setBrush(colours_.button);
    RoundPanel(painter, layout::kCorrectButton);
    RoundPanel(painter, layout::kIncorrectButton);
    RoundPanel(painter, layout::kSkipButton);
    painter.setBrush(Qt::NoBrush);

    // Text is drawn opaque on the colour of what lies under it.
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(colours_.panel);
    painter.setPen(colours_.ink);

    const QString word = ShownWordText();
    if (fittedWord_ != word || fit_.text.isNull()) {
        fittedWord_ = word;
        fit_ = FitWord(word);
    }
    painter.setFont(fit_.font);
    DrawClipped(painter, layout::kWordPanel, Qt::AlignCenter, fit_.text);

    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    // The labels are fixed texts: not clipped, so the bold "Session:" keeps its
    // colon although it is a few pixels wider than its 70-pixel box.
    painter.setFont(labelFont_);
    const int oneLine = left | Qt::TextSingleLine | Qt::TextDontClip;
    for (const ScoreLine& line : kScoreLines)
        painter.drawText(line.labelBox, oneLine, LabelText(line));

    painter.setFont(valueFont_);
    const std::array<ScoreLineText, kScoreLineCount> scores = ScoreTexts();
    for (int i = 0; i < kScoreLineCount; ++i)
        DrawClipped(painter, valueBoxes_[i], left, scores[i].value);

    painter.setBackground(colours_.button);
    const QRect buttons[3] = {layout::kCorrectButton, layout::kIncorrectButton,
                              layout::kSkipButton};
    for (int i = 0; i < 3; ++i) {
        painter.setFont(captionFonts_[i]);
        DrawClipped(painter, buttons[i], Qt::AlignCenter, captions_[i]);
    }
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.restore();
}

} // namespace lexipond
