// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/ResultsReportDialog.h"

#include "core/tutor/WordStore.h"
#include "ui/common/AppContext.h"
#include "ui/common/CoreTexts.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/TextDisplay.h"

#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace lexipond {

namespace {

constexpr int kReportRefreshMs = 5000;
// Between the main window and the report beside it.
constexpr int kBesideGap = 8;
// Room for the window manager's frame while it is not known yet (before the
// report was first framed).
constexpr QSize kFrameAllowance(8, 40);

class ResultsReportDialog final : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(ResultsReportDialog)

  public:
    ResultsReportDialog(AppContext& app, QWidget* owner)
        : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), app_(app) {
        setObjectName(QStringLiteral("resultsReport"));
        setWindowTitle(tr("Results Report"));
        const DialogUnits du(*this);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(du.X(5), du.Y(5), du.X(5), du.Y(5));
        layout->setSpacing(du.Y(10));
        text_ = new QPlainTextEdit(this);
        text_->setObjectName(QStringLiteral("reportText"));
        text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        text_->setMinimumSize(du.Size(185, 100));
        text_->installEventFilter(this);
        text_->setAccessibleName(tr("Answers")); // it has no label
        layout->addWidget(text_, 1);
        auto* ok = new QPushButton(tr("OK"), this);
        ok->setObjectName(QStringLiteral("okButton"));
        ok->setDefault(true);
        ok->setMinimumHeight(du.Y(30));
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(&timer_, &QTimer::timeout, this, [this] { Refresh(); });
        connect(this, &QDialog::finished, this, [this] {
            timer_.stop();
            app_.report = nullptr; // closed now, although deleted only later
            deleteLater();
        });
        resize(du.Size(200, 370));
    }

    void Start() {
        app_.report = this;
        Refresh();
        timer_.start(kReportRefreshMs);
    }

  protected:
    // Enter is OK also while the focus is in the text, as in a message: the
    // report is read, not written.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == text_ && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                key->modifiers() == Qt::NoModifier) {
                accept();
                return true;
            }
        }
        return QDialog::eventFilter(watched, event);
    }

    // The owner only deletes the report: to the window manager it stays a window
    // of its own, which the main window may cover, first shown beside the main
    // window rather than over its word and buttons.
    void showEvent(QShowEvent* event) override {
        if (QWindow* handle = windowHandle())
            handle->setTransientParent(nullptr);
        if (!event->spontaneous() && !testAttribute(Qt::WA_Moved)) {
            Place();
            setAttribute(Qt::WA_Moved, false); // not a position the user chose
        }
    }

  private:
    // On the owner's screen, within its available area (a small screen would
    // otherwise hide the OK button below its edge).
    void Place() {
        QWidget* owner = parentWidget();
        QScreen* screen = owner ? owner->screen() : this->screen();
        if (!screen)
            return;
        QSize frame = frameGeometry().size() - size();
        if (frame.isEmpty())
            frame = kFrameAllowance;
        const QRect ownerFrame = owner ? owner->frameGeometry() : QRect();
        const QRect place = ReportPlace(ownerFrame, size() + frame, screen->availableGeometry());
        resize((place.size() - frame).expandedTo(minimumSizeHint()));
        move(place.topLeft());
    }

    // Adds only what was answered since the last look, so the reader's place,
    // selection and typing stay as they are; the view follows the end only when
    // the reader is at the end.
    void Refresh() {
        const ReportPiece piece = app_.store.ReportFrom(shownLength_, shownCuts_);
        if (piece.restarted)
            text_->clear();
        shownLength_ = piece.length;
        shownCuts_ = piece.cuts;
        if (piece.text.empty())
            return;
        QString added = ReportForDisplay(DisplayText(piece.text));
        added.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QScrollBar* bar = text_->verticalScrollBar();
        const bool atEnd = bar->value() >= bar->maximum();
        const int position = bar->value();
        QTextCursor end(text_->document());
        end.movePosition(QTextCursor::End);
        end.insertText(added);
        bar->setValue(atEnd ? bar->maximum() : position);
    }

    AppContext& app_;
    QPlainTextEdit* text_ = nullptr;
    QTimer timer_;
    size_t shownLength_ = 0;
    uint32_t shownCuts_ = 0;
};

} // namespace

QRect ReportPlace(const QRect& owner, QSize wanted, const QRect& available) {
    const QSize size = wanted.boundedTo(available.size());
    QRect place(QPoint(), size);
    if (owner.isNull()) {
        place.moveCenter(available.center());
        return place;
    }
    const int roomRight = available.right() - owner.right() - kBesideGap;
    const int roomLeft = owner.left() - available.left() - kBesideGap;
    if (roomRight >= size.width())
        place.moveLeft(owner.right() + 1 + kBesideGap);
    else if (roomLeft >= size.width())
        place.moveRight(owner.left() - 1 - kBesideGap);
    else if (roomRight >= roomLeft) // covers as little of the owner as it can
        place.moveRight(available.right());
    else
        place.moveLeft(available.left());
    place.moveTop(owner.top());
    // Inside the area; its size is never larger.
    place.moveLeft(
        std::clamp(place.left(), available.left(), available.right() - size.width() + 1));
    place.moveTop(std::clamp(place.top(), available.top(), available.bottom() - size.height() + 1));
    return place;
}

void OpenResultsReport(AppContext& app, QWidget* owner) {
    if (app.report)
        return;
    auto* report = new ResultsReportDialog(app, owner);
    report->Start();
    report->show();
    report->raise();
    report->activateWindow();
}

} // namespace lexipond
