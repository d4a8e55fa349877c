// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/progress/ProgressReport.h"

#include <QChartView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTreeWidget>

namespace lexipond {

namespace {

// One list as a column of lines under its heading, as many as fit.
void PaintList(QPainter& painter, const QRectF& box, const QString& heading,
               const QTreeWidget* list) {
    QFont bold = painter.font();
    bold.setBold(true);
    QFont plain = painter.font();
    plain.setBold(false);
    const qreal line = QFontMetricsF(plain, painter.device()).lineSpacing();
    painter.setFont(bold);
    painter.drawText(QRectF(box.left(), box.top(), box.width(), line), heading);
    painter.setFont(plain);
    qreal y = box.top() + 1.5 * line;
    const int count = list ? list->topLevelItemCount() : 0;
    for (int i = 0; i < count && y + line <= box.bottom(); ++i, y += line) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        QString text = item->text(0);
        if (list->columnCount() > 2)
            text = QCoreApplication::translate("ProgressReport", "%1 (%2 of %3 missed)")
                       .arg(text, item->text(1), item->text(2));
        painter.drawText(QRectF(box.left(), y, box.width(), line),
                         Qt::AlignLeft | Qt::TextSingleLine, text);
    }
    if (count == 0)
        painter.drawText(QRectF(box.left(), y, box.width(), line),
                         QCoreApplication::translate("ProgressReport", "(none)"));
}

} // namespace

void PaintProgressReport(QWidget& progressWindow, QPagedPaintDevice& device) {
    const auto* learner = progressWindow.findChild<QComboBox*>(QStringLiteral("learner"));
    const auto* from = progressWindow.findChild<QDateEdit*>(QStringLiteral("fromDay"));
    const auto* to = progressWindow.findChild<QDateEdit*>(QStringLiteral("toDay"));
    auto* chart = progressWindow.findChild<QChartView*>(QStringLiteral("chart"));
    QPainter painter(&device);
    const QRectF page(0, 0, device.width(), device.height());
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11);
    painter.setFont(font);
    const qreal line = QFontMetricsF(font, &device).lineSpacing();

    QFont title = font;
    title.setPointSizeF(20);
    title.setBold(true);
    painter.setFont(title);
    const qreal titleLine = QFontMetricsF(title, &device).lineSpacing();
    painter.drawText(QRectF(page.left(), page.top(), page.width(), titleLine),
                     QCoreApplication::translate("ProgressReport", "Progress of %1")
                         .arg(learner ? learner->currentText() : QString()));
    painter.setFont(font);
    qreal y = page.top() + titleLine + 0.5 * line;
    if (from && to) {
        const QLocale locale;
        painter.drawText(QRectF(page.left(), y, page.width(), line),
                         QCoreApplication::translate("ProgressReport", "From %1 to %2")
                             .arg(locale.toString(from->date(), QLocale::LongFormat),
                                  locale.toString(to->date(), QLocale::LongFormat)));
    }
    y += 2 * line;

    // The chart over the upper half, drawn as the window draws it.
    const QRectF chartBox(page.left(), y, page.width(), page.height() * 0.45);
    if (chart)
        chart->render(&painter, chartBox, chart->viewport()->rect());
    y = chartBox.bottom() + line;

    const QRectF lists(page.left(), y, page.width(), page.bottom() - y);
    const qreal half = lists.width() / 2;
    PaintList(painter, QRectF(lists.left(), lists.top(), half - line, lists.height()),
              QCoreApplication::translate("ProgressReport", "Words mastered"),
              progressWindow.findChild<QTreeWidget*>(QStringLiteral("mastered")));
    PaintList(painter, QRectF(lists.left() + half, lists.top(), half, lists.height()),
              QCoreApplication::translate("ProgressReport", "Words that need work"),
              progressWindow.findChild<QTreeWidget*>(QStringLiteral("needsWork")));
}

} // namespace lexipond
