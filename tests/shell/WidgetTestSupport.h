#pragma once
// Driving modal dialogs and menus: a timer waits for a modal widget or popup to
// open and acts on it; Ran() stays false when none opened within 5 s.
#include "TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace lexipond::testing {

class OpenWatch {
  public:
    explicit OpenWatch(std::function<void(QWidget*)> act) : act_(std::move(act)) {
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* widget = QApplication::activePopupWidget();
            if (!widget)
                widget = QApplication::activeModalWidget();
            if (widget && widget->isVisible()) {
                timer_.stop();
                ran_ = true;
                act_(widget);
            } else if (clock_.elapsed() > 5000) {
                timer_.stop();
            }
        });
        timer_.start(10);
    }
    bool Ran() const { return ran_; }

  private:
    std::function<void(QWidget*)> act_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool ran_ = false;
};

[[nodiscard]] inline std::unique_ptr<OpenWatch> WhenOpens(std::function<void(QWidget*)> act) {
    return std::make_unique<OpenWatch>(std::move(act));
}

// Processes events until done() or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int milliseconds = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

} // namespace lexipond::testing
