// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/ResultsReportDialog.h"

#include "core/tutor/WordStore.h"
#include "ui/common/AppContext.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/TextDisplay.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace lexipond {

namespace {

constexpr int kReportRefreshMs = 5000;

class ResultsReportDialog final : public QDialog {
  public:
    ResultsReportDialog(AppContext& app, QWidget* owner)
        : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), app_(app) {
        setObjectName(QStringLiteral("resultsReport"));
        setWindowTitle(QStringLiteral("Results Report"));
        const DialogUnits du(*this);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(du.X(5), du.Y(5), du.X(5), du.Y(5));
        layout->setSpacing(du.Y(10));
        text_ = new QPlainTextEdit(this);
        text_->setObjectName(QStringLiteral("reportText"));
        text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        text_->setMinimumSize(du.Size(185, 100));
        layout->addWidget(text_, 1);
        auto* ok = new QPushButton(QStringLiteral("OK"), this);
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
    // The owner only deletes the report: to the window manager it stays a window
    // of its own, which the main window may cover, first shown in the middle of
    // the screen rather than over the main window.
    void showEvent(QShowEvent* event) override {
        if (QWindow* handle = windowHandle())
            handle->setTransientParent(nullptr);
        if (!event->spontaneous() && !testAttribute(Qt::WA_Moved)) {
            adjustPosition(nullptr);
            setAttribute(Qt::WA_Moved, false); // not a position the user chose
        }
    }

  private:
    // Adds only what was answered since the last look, so the reader's place,
    // selection and typing stay as they are; the view follows the end only when
    // the reader is at the end.
    void Refresh() {
        const ReportPiece piece = app_.store.ReportFrom(shownLength_);
        if (piece.restarted)
            text_->clear();
        shownLength_ = piece.length;
        if (piece.text.empty())
            return;
        QString added = DisplayText(piece.text);
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
};

} // namespace

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
