#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Sizes in dialog units (a quarter of the average letter width, an eighth of the
// line height) so that the dialogs keep their proportions with any font. A
// value measured once from a widget's font on the window thread; it owns
// nothing and keeps no reference to the widget.
#include <QFontMetrics>
#include <QSize>
#include <QWidget>

namespace lexipond {

class DialogUnits {
  public:
    explicit DialogUnits(const QWidget& widget) {
        const QFontMetrics metrics(widget.font());
        const QString letters =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        unitX_ = metrics.horizontalAdvance(letters) / 52.0 / 4.0;
        unitY_ = metrics.height() / 8.0;
    }
    int X(int units) const { return static_cast<int>(units * unitX_ + 0.5); }
    int Y(int units) const { return static_cast<int>(units * unitY_ + 0.5); }
    QSize Size(int width, int height) const { return {X(width), Y(height)}; }

  private:
    double unitX_ = 1.5;
    double unitY_ = 1.625;
};

} // namespace lexipond
