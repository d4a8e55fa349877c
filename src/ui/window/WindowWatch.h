#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// What happens to the main window without any command: a move, resize or state
// change that has settled (its placement is worth saving), and its native window
// destroyed from outside (xdotool windowclose, a misbehaving window manager),
// after which the window could never be closed and the run would hold the data
// folder for good. Qt itself only reports the latter as "no longer exposed",
// the same as a minimise, so the X server's DestroyNotify is watched directly.
// Window thread only; made after the window and destroyed before it.
#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>
#include <chrono>

class QWidget;

namespace lexipond {

// How long the placement must rest before it is saved: one save per drag.
inline constexpr std::chrono::milliseconds kPlacementSettle{1000};

class WindowWatch final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
  public:
    explicit WindowWatch(QWidget& window, std::chrono::milliseconds settle = kPlacementSettle);
    ~WindowWatch() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  signals:
    // The window has not moved, resized or changed state for the settle time.
    void placementSettled();
    // The native window is gone; sent once, queued after the event that told.
    void nativeWindowLost();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    QTimer settle_;
    bool lost_ = false;
};

} // namespace lexipond
