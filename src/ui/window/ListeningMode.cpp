// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/ListeningMode.h"

#include "core/tutor/WordStore.h"
#include "ui/common/AppContext.h"
#include "ui/common/CoreTexts.h"
#include "ui/common/TextDisplay.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

namespace lexipond {

ListeningMode::ListeningMode(AppContext& app, QWidget* card)
    : app_(app), card_(card), banner_(new QLabel(card)) {
    banner_->setObjectName(QStringLiteral("listenBanner"));
    banner_->setAlignment(Qt::AlignCenter);
    banner_->setWordWrap(true);
    banner_->setAttribute(Qt::WA_TransparentForMouseEvents); // clicks reach the card
    banner_->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(20, 40, 90, 215); color: white; border-radius: 6px; "
        "padding: 4px 10px; font-size: 13pt; }"));
    banner_->hide();
    showing_.setSingleShot(true);
    connect(&showing_, &QTimer::timeout, this, &ListeningMode::ListenAgain);
}

ListeningMode::~ListeningMode() = default;

bool ListeningMode::IsOn() const {
    return listener_ && listener_->IsOn();
}

void ListeningMode::Toggle(WordListener::Source source) {
    if (IsOn()) {
        Stop();
        return;
    }
    if (!listener_) {
        listener_ = std::make_unique<WordListener>(modelFolder);
        connect(listener_.get(), &WordListener::ready, this,
                [this] { Show(tr("Listening: read the word aloud.")); });
        connect(listener_.get(), &WordListener::hearing, this, [this] { Show(tr("Hearing...")); });
        connect(listener_.get(), &WordListener::judged, this, &ListeningMode::OnJudged);
        connect(listener_.get(), &WordListener::failed, this, &ListeningMode::OnFailed);
    }
    toldWord_ = app_.store.WordOnShow();
    showing_.stop();
    Show(tr("Getting ready to listen..."));
    listener_->Start(app_.store.ListWords().words, toldWord_, source);
}

void ListeningMode::Stop() {
    showing_.stop();
    if (listener_)
        listener_->Stop();
    banner_->hide();
    emit bannerChanged(QString());
}

void ListeningMode::WordShown(const std::string& word) {
    if (IsOn() && !showing_.isActive() && word != toldWord_)
        ListenFor(word);
}

void ListeningMode::ListenFor(const std::string& word) {
    toldWord_ = word;
    listener_->Listen(word);
    Show(tr("Listening: read the word aloud."));
}

void ListeningMode::HoldFor(int ms) {
    if (!IsOn())
        return;
    listener_->Hold();
    // A word that rings in the room a little after the sound ends.
    const int left = showing_.isActive() ? showing_.remainingTime() : 0;
    showing_.start(std::max(left, ms + 300));
}

void ListeningMode::ListenAgain() {
    if (IsOn())
        ListenFor(app_.store.WordOnShow());
}

void ListeningMode::OnJudged(const ListenOutcome& outcome) {
    using Kind = ListenOutcome::Kind;
    const QString heard = DisplayText(outcome.heard);
    switch (outcome.kind) {
    case Kind::Correct:
    case Kind::Incorrect: {
        const AnswerKind kind = outcome.kind == Kind::Correct ? AnswerKind::Correct
                                                              : AnswerKind::Incorrect;
        // Not under a dialog (the adult is busy there), and only on the word
        // still on show: the adult may have answered it meanwhile.
        if (QApplication::activeModalWidget() ||
            !app_.store.AnswerListened(kind, outcome.word, outcome.heard)) {
            ListenAgain();
            return;
        }
        Show(tr("Heard \"%1\": %2").arg(heard, AnswerName(kind)));
        showing_.start(kShowVerdictMs);
        if (kind == AnswerKind::Incorrect && afterIncorrect)
            afterIncorrect(outcome.word);
        card_->update();
        return;
    }
    case Kind::NoVerdict:
        Show(heard.isEmpty() ? tr("Not clear: read the word again.")
                             : tr("Not clear (heard %1): read the word again.").arg(heard));
        showing_.start(kShowVerdictMs);
        return;
    case Kind::CannotJudge:
        Show(tr("Listening cannot judge \"%1\": answer it with the buttons or keys.")
                 .arg(DisplayText(outcome.word)));
        return;
    case Kind::TimedOut:
        Show(tr("Nothing heard yet: read the word aloud."));
        return;
    }
}

void ListeningMode::OnFailed(ListenProblem problem) {
    Stop();
    Tell(card_, WordListener::ProblemText(problem));
}

void ListeningMode::Show(const QString& text) {
    banner_->setText(text);
    banner_->setAccessibleName(text);
    Place();
    banner_->show();
    banner_->raise();
    emit bannerChanged(text);
}

void ListeningMode::Place() {
    const int width = std::min(card_->width() - 20, std::max(300, banner_->sizeHint().width()));
    banner_->setFixedWidth(width);
    banner_->adjustSize();
    banner_->move((card_->width() - width) / 2, 8);
}

} // namespace lexipond
