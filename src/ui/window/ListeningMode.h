#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of listening: switches it on and off, tells the listener
// each new word on show, tallies its verdicts through the word store (the
// same answer path as a click, marked as judged by listening) and shows on a
// banner over the card what it is doing and what it heard. The adult's keys,
// clicks and Undo keep working throughout: a verdict on a word no longer on
// show is dropped. Window thread only.
#include "ui/speech/WordListener.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QWidget;

namespace lexipond {

struct AppContext;

class ListeningMode final : public QObject {
    Q_OBJECT
  public:
    // `card` is the main window; the banner is its child.
    ListeningMode(AppContext& app, QWidget* card);
    ~ListeningMode() override;

    bool IsOn() const;
    // Starts listening for the word on show (from the microphone, or from
    // recordings fed to Listener() in tests), or stops.
    void Toggle(WordListener::Source source = WordListener::Source::Microphone);
    void Stop();
    // The word on show as just painted: listening moves on to it.
    void WordShown(const std::string& word);
    // The program speaks for `ms`: its own voice is not the reader's, so
    // nothing is heard until it has finished.
    void HoldFor(int ms);
    // Places the banner over the card's top edge.
    void Place();

    // How long a verdict stays on the banner before listening goes on.
    static constexpr int kShowVerdictMs = 1500;

    WordListener* Listener() { return listener_.get(); }
    // Where the listener made at the first Toggle finds its speech model (empty: Debian's).
    std::string modelFolder;
    QLabel* Banner() { return banner_; }
    // After an answer Incorrect by listening (the window says the word when asked).
    std::function<void(const std::string& word)> afterIncorrect;

  signals:
    // The banner changed (tests and screen readers follow it).
    void bannerChanged(const QString& text);

  private:
    void Show(const QString& text);
    void OnJudged(const ListenOutcome& outcome);
    void OnFailed(ListenProblem problem);
    void ListenAgain();                     // the word on show now
    void ListenFor(const std::string& word); // tells the listener and the banner

    AppContext& app_;
    QWidget* card_;
    QLabel* banner_;
    std::unique_ptr<WordListener> listener_;
    QTimer showing_;        // a verdict on show: no word is listened for
    std::string toldWord_;  // the word the listener is listening for
};

} // namespace lexipond
