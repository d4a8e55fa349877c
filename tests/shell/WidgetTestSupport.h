#pragma once
// Driving modal dialogs and menus from the test: a timer waits for the modal
// widget (or popup) to open, acts on it, and the test fails when none opens.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace lexipond::testing {

enum class Opens { Modal, Popup };

// Watches for the first modal dialog (or popup menu) to open within 5 s and
// acts on it; stops watching when destroyed.
class OpenWatch {
  public:
    OpenWatch(Opens kind, std::function<void(QWidget*)> act) : kind_(kind), act_(std::move(act)) {
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(10);
    }
    bool Ran() const { return ran_; }

  private:
    void Poll() {
        QWidget* widget = kind_ == Opens::Modal ? QApplication::activeModalWidget()
                                                : QApplication::activePopupWidget();
        if (widget && widget->isVisible()) {
            timer_.stop();
            ran_ = true;
            act_(widget);
        } else if (clock_.elapsed() > 5000) {
            timer_.stop(); // the test sees !Ran()
        }
    }
    Opens kind_;
    std::function<void(QWidget*)> act_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool ran_ = false;
};

[[nodiscard]] inline std::unique_ptr<OpenWatch> WhenOpens(Opens kind,
                                                          std::function<void(QWidget*)> act) {
    return std::make_unique<OpenWatch>(kind, std::move(act));
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
