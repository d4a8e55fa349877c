// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's picture, measured in the painted image: the word always
// fits inside its panel, short words stay as they were, and the score labels
// never run into their values.
#include "ui/common/TextDisplay.h"
#include "ui/window/MainWindowPainter.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace lexipond {
namespace {

const QColor kPanel(213, 215, 183);

QImage Paint(const MainWindowPainter& painter) {
    QImage image(layout::kClientSize, QImage::Format_RGB32);
    QPainter on(&image);
    painter.DrawScene(on);
    return image;
}

QImage PaintWord(const QString& word, const QString& family = QStringLiteral("Arial")) {
    MainWindowPainter painter(family);
    PaintSnapshot snapshot;
    snapshot.word = word;
    painter.SetSnapshot(snapshot);
    return Paint(painter);
}

// The columns (left, right) where two pictures differ within the rows top..bottom.
std::pair<int, int> ChangedColumns(const QImage& a, const QImage& b, int top, int bottom) {
    int first = a.width(), last = -1;
    for (int y = top; y <= bottom; ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

TEST(Painter, ShortWordsKeepTheirSizeAndPlacePixelForPixel) {
    for (const char* word : {"a", "I", "cat", "the", "jump", "little", "because"}) {
        SCOPED_TRACE(word);
        const QString text = QString::fromLatin1(word);
        // The word as the window has always drawn it: the full-size font, centred
        // in the word panel, over the picture without a word.
        QImage expected = PaintWord(QString());
        {
            QPainter painter(&expected);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setRenderHint(QPainter::TextAntialiasing, true);
            painter.setBackgroundMode(Qt::OpaqueMode);
            painter.setBackground(kPanel);
            painter.setPen(Qt::black);
            painter.setFont(CellHeightFont(140, 1000));
            painter.setClipRect(layout::kWordPanel);
            painter.drawText(layout::kWordPanel, Qt::AlignCenter | Qt::TextSingleLine, text);
        }
        EXPECT_TRUE(PaintWord(text) == expected);
    }
}

TEST(Painter, ALongWordShrinksOrIsCutInTheMiddleButNeverCrossesTheBorder) {
    const QString alphabet = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    const struct {
        const char* name;
        QString word;
        bool whole; // drawn whole, not cut
    } rows[] = {
        {"Santa Claus", QStringLiteral("Santa Claus"), true},
        {"hippopotamus", QStringLiteral("hippopotamus"), true},
        {"30 letters", alphabet + QStringLiteral("abcd"), true},
        {"63 letters", alphabet + alphabet + alphabet.left(11), false},
        {"30 wide capitals", QString(30, QLatin1Char('W')), false},
    };
    const QImage empty = PaintWord(QString());
    const MainWindowPainter painter;
    const int least = CellHeightFont(layout::kLeastWordCell, 1000).pixelSize();
    const QRect panel = layout::kWordPanel;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QImage image = PaintWord(row.word);
        // The border and everything outside the panel as without a word.
        const auto [left, right] = ChangedColumns(image, empty, 0, image.height() - 1);
        EXPECT_GE(left, panel.left() + layout::kWordMargin - 1);
        EXPECT_LE(right, panel.right() - layout::kWordMargin + 1);
        EXPECT_EQ(ChangedColumns(image, empty, 0, panel.top() + 15).second, -1) << "top border";
        EXPECT_EQ(ChangedColumns(image, empty, panel.bottom() - 15, image.height() - 1).second, -1)
            << "bottom border";
        // As large as fits: the word fills most of the room between the margins.
        EXPECT_GT(right - left, (panel.width() - 2 * layout::kWordMargin) * 8 / 10);
        const WordFit fit = painter.FitWord(row.word);
        EXPECT_GE(fit.font.pixelSize(), least);
        EXPECT_LT(fit.font.pixelSize(), CellHeightFont(140, 1000).pixelSize());
        if (row.whole) {
            EXPECT_EQ(fit.text, row.word);
        } else {
            EXPECT_EQ(fit.font.pixelSize(), least);
            EXPECT_TRUE(fit.text.contains(QChar(0x2026))) << fit.text.toStdString();
            EXPECT_EQ(fit.text.front(), row.word.front());
            EXPECT_EQ(fit.text.back(), row.word.back());
        }
    }
}

// The last column of a bold label's ink when it is drawn alone on the panel.
int InkEnd(const QString& family, const char* label, int left, int top) {
    QImage alone(layout::kClientSize, QImage::Format_RGB32);
    alone.fill(kPanel);
    {
        QPainter painter(&alone);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setFont(CellHeightFont(20, 700, family));
        painter.setPen(Qt::black);
        painter.drawText(QRect(left, top, 60, 20),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                         QString::fromLatin1(label));
    }
    int end = -1;
    for (int y = top; y < top + 20; ++y)
        for (int x = left; x < alone.width(); ++x)
            if (QColor(alone.pixel(x, y)) != kPanel)
                end = std::max(end, x);
    return end;
}

TEST(Painter, ScoreLabelsKeepClearOfTheirValuesInEitherFont) {
    // Where each label's value starts, told apart by painting two different values.
    const struct {
        const char* label;
        int top, labelLeft;
        void (*change)(PaintSnapshot&);
    } lines[] = {
        {"User:", 220, 10, [](PaintSnapshot& s) { s.userName = QStringLiteral("Wu"); }},
        {"Total:", 220, 160, [](PaintSnapshot& s) { s.userCorrect = s.userTotal = 8; }},
        {"Session:", 220, 370, [](PaintSnapshot& s) { s.sessionCorrect = s.sessionTotal = 8; }},
        {"Word:", 240, 160, [](PaintSnapshot& s) { s.wordCorrect = s.wordTotal = 8; }},
    };
    for (const char* family : {"Liberation Sans", "DejaVu Sans"}) {
        SCOPED_TRACE(family);
        const QString name = QString::fromLatin1(family);
        if (QFontInfo(CellHeightFont(20, 700, name)).family() != name) {
            ADD_FAILURE() << family << " is not installed";
            continue;
        }
        MainWindowPainter painter(name);
        PaintSnapshot base;
        base.userName = QStringLiteral("Ada");
        painter.SetSnapshot(base);
        const QImage before = Paint(painter);
        for (const auto& line : lines) {
            SCOPED_TRACE(line.label);
            PaintSnapshot changed = base;
            line.change(changed);
            painter.SetSnapshot(changed);
            const QImage after = Paint(painter);
            const int valueStart = ChangedColumns(before, after, line.top, line.top + 19).first;
            ASSERT_LT(valueStart, before.width());
            int labelEnd = -1;
            for (int x = line.labelLeft; x < valueStart; ++x)
                for (int y = line.top; y < line.top + 20; ++y)
                    if (QColor(before.pixel(x, y)) != kPanel)
                        labelEnd = x;
            EXPECT_GE(valueStart - labelEnd - 1, 3)
                << "label ends at " << labelEnd << ", value starts at " << valueStart;
            // The whole label shows: the value's background does not cover its end.
            EXPECT_GE(labelEnd, InkEnd(name, line.label, line.labelLeft, line.top));
        }
    }
}

} // namespace
} // namespace lexipond
