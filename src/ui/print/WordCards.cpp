// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/print/WordCards.h"

#include "ui/common/TextDisplay.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <memory>

namespace lexipond {

namespace {

// Rows and columns of cards for each choice, on an upright page.
struct Grid {
    int rows, columns;
};
Grid GridFor(int perPage) {
    switch (perPage) {
    case 1:
        return {1, 1};
    case 2:
        return {2, 1};
    case 4:
        return {2, 2};
    default:
        return {4, 2};
    }
}

// The word as large as fits its card: four fifths of the card's width and
// half its height, never smaller than a readable 10 points' worth.
QFont CardFont(const QString& word, const QRectF& card) {
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(std::max(1, static_cast<int>(card.height() * 0.5)));
    const qreal room = card.width() * 0.8;
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(word);
    if (width > room) {
        const int least = std::max(1, static_cast<int>(card.height() * 0.06));
        font.setPixelSize(std::max(least, static_cast<int>(font.pixelSize() * room / width)));
    }
    return font;
}

} // namespace

bool IsCardsPerPage(int perPage) {
    return std::find(std::begin(kCardsPerPageChoices), std::end(kCardsPerPageChoices), perPage) !=
           std::end(kCardsPerPageChoices);
}

int PaintWordCards(QPagedPaintDevice& device, const std::vector<std::string>& words, int perPage) {
    if (words.empty() || !IsCardsPerPage(perPage))
        return 0;
    const Grid grid = GridFor(perPage);
    QPainter painter(&device);
    const QRectF page(0, 0, device.width(), device.height());
    const qreal cardWidth = page.width() / grid.columns, cardHeight = page.height() / grid.rows;
    QPen cutLine(Qt::gray);
    cutLine.setStyle(Qt::DashLine);
    cutLine.setWidthF(std::max(1.0, device.logicalDpiX() / 150.0));
    int pages = 1;
    for (size_t i = 0; i < words.size(); ++i) {
        const int place = static_cast<int>(i % static_cast<size_t>(perPage));
        if (place == 0 && i > 0) {
            device.newPage();
            ++pages;
        }
        const QRectF card(page.left() + (place % grid.columns) * cardWidth,
                          page.top() + (place / grid.columns) * cardHeight, cardWidth, cardHeight);
        painter.setPen(cutLine);
        painter.drawRect(card);
        const QString word = DisplayText(words[i]);
        painter.setFont(CardFont(word, card));
        painter.setPen(Qt::black);
        painter.drawText(card, Qt::AlignCenter | Qt::TextSingleLine, word);
    }
    return pages;
}

CardsOutcome WriteWordCardsPdf(const std::vector<std::string>& words, int perPage,
                               const std::string& pdfPath, int& pages) {
    pages = 0;
    if (!IsCardsPerPage(perPage))
        return CardsOutcome::BadPerPage;
    if (words.empty())
        return CardsOutcome::NoWords;
    // Fonts need an application; the command line has none and no display.
    std::unique_ptr<QGuiApplication> made;
    if (!QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "lexipond-db";
        static char* argv[] = {name, nullptr};
        // Qt's own notes about the missing desktop (no runtime folder, no
        // screen) mean nothing to a command-line user; the outcome says what matters.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        made = std::make_unique<QGuiApplication>(argc, argv);
    }
    QSaveFile file(QString::fromStdString(pdfPath));
    if (!file.open(QIODevice::WriteOnly))
        return CardsOutcome::CannotWrite;
    {
        QPdfWriter pdf(&file);
        pdf.setCreator(QStringLiteral("Lexipond"));
        pdf.setTitle(QStringLiteral("Word cards"));
        // Letter where it is the paper in use, A4 elsewhere.
        const QLocale::Territory territory = QLocale().territory();
        const bool letter = territory == QLocale::UnitedStates || territory == QLocale::Canada ||
                            territory == QLocale::Mexico;
        pdf.setPageSize(QPageSize(letter ? QPageSize::Letter : QPageSize::A4));
        pdf.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        pdf.setResolution(300);
        pages = PaintWordCards(pdf, words, perPage);
    } // the writer finishes the PDF when it goes
    if (pages == 0 || !file.commit()) {
        pages = 0;
        return CardsOutcome::CannotWrite;
    }
    return CardsOutcome::Written;
}

} // namespace lexipond
