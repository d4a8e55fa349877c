#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// SIGTERM, SIGHUP and SIGINT turned into a Qt signal on the window thread (a
// pipe written by the handler and watched by a socket notifier), so that a
// kill or a closed terminal saves like a logout does. One object per process,
// made and destroyed on the window thread; it owns the pipe and the handlers
// for its lifetime and puts the default handlers back when it goes.
#include <QObject>

class QSocketNotifier;

namespace lexipond {

class TerminationSignals final : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override; // puts the default handlers back
    bool Installed() const { return notifier_ != nullptr; }

  signals:
    void terminationRequested(int signalNumber);

  private:
    void Drain();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace lexipond
