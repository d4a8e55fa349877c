// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/MainWindowPainter.h"

#include "ui/common/TextDisplay.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/WordStore.h"

#include <QPainter>

namespace lexipond {

namespace {

const QColor kPanelColour(213, 215, 183);
const QColor kButtonColour(245, 247, 215);

QString Percent(uint32_t part, uint32_t whole) {
    char text[48];
    uint32_t length = PercentText(part, whole, text);
    return QString::fromLatin1(text, static_cast<qsizetype>(length));
}

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

} // namespace

MainWindowPainter::MainWindowPainter()
    : wordFont_(CellHeightFont(140, 1000)), labelFont_(CellHeightFont(20, 700)),
      valueFont_(CellHeightFont(20, 400)), buttonFont_(CellHeightFont(30, 700)) {}

bool MainWindowPainter::TakeSnapshot(WordStore& store) {
    ShownScores shown;
    if (!store.TryShownScores(shown))
        return false;
    snapshot_.word = DisplayText(shown.word);
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
    painter.fillRect(QRect(QPoint(0, 0), clientSize_.isEmpty() ? layout::kClientSize : clientSize_),
                     Qt::white);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(QPen(Qt::black, 1));

    painter.setBrush(kPanelColour);
    RoundPanel(painter, layout::kWordPanel);
    RoundPanel(painter, layout::kScorePanel);
    painter.setBrush(kButtonColour);
    RoundPanel(painter, layout::kCorrectButton);
    RoundPanel(painter, layout::kIncorrectButton);
    RoundPanel(painter, layout::kSkipButton);
    painter.setBrush(Qt::NoBrush);

    // Text is drawn opaque on the colour of what lies under it.
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(kPanelColour);
    painter.setPen(Qt::black);

    painter.setFont(wordFont_);
    DrawClipped(painter, layout::kWordPanel, Qt::AlignCenter, snapshot_.word);

    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    // The labels are fixed texts: not clipped, so the bold "Session:" keeps its
    // colon although it is a few pixels wider than its 70-pixel box.
    painter.setFont(labelFont_);
    const int oneLine = left | Qt::TextSingleLine | Qt::TextDontClip;
    painter.drawText(QRect(10, 220, 60, 20), oneLine, QStringLiteral("User:"));
    painter.drawText(QRect(160, 220, 60, 20), oneLine, QStringLiteral("Total:"));
    painter.drawText(QRect(370, 220, 70, 20), oneLine, QStringLiteral("Session:"));
    painter.drawText(QRect(160, 240, 60, 20), oneLine, QStringLiteral("Word:"));

    painter.setFont(valueFont_);
    DrawClipped(painter, QRect(75, 220, 75, 20), left, snapshot_.userName);
    DrawClipped(painter, QRect(220, 220, 145, 20), left,
                Percent(snapshot_.userCorrect, snapshot_.userTotal));
    DrawClipped(painter, QRect(445, 220, 145, 20), left,
                Percent(snapshot_.sessionCorrect, snapshot_.sessionTotal));
    DrawClipped(painter, QRect(220, 240, 145, 20), left,
                Percent(snapshot_.wordCorrect, snapshot_.wordTotal));

    painter.setFont(buttonFont_);
    painter.setBackground(kButtonColour);
    DrawClipped(painter, layout::kCorrectButton, Qt::AlignCenter, QStringLiteral("Correct"));
    DrawClipped(painter, layout::kIncorrectButton, Qt::AlignCenter, QStringLiteral("Incorrect"));
    DrawClipped(painter, layout::kSkipButton, Qt::AlignCenter, QStringLiteral("Skip"));
    painter.setBackgroundMode(Qt::TransparentMode);
}

} // namespace lexipond
