// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/WindowWatch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <xcb/xcb.h>

namespace lexipond {

WindowWatch::WindowWatch(QWidget& window, std::chrono::milliseconds settle) : window_(window) {
    settle_.setSingleShot(true);
    settle_.setInterval(settle);
    connect(&settle_, &QTimer::timeout, this, &WindowWatch::placementSettled);
    window_.installEventFilter(this);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowWatch::~WindowWatch() {
    QCoreApplication::instance()->removeNativeEventFilter(this);
    window_.removeEventFilter(this);
}

bool WindowWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
            settle_.start();
            break;
        default:
            break;
        }
    }
    return false;
}

bool WindowWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (lost_ || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY)
        return false;
    // Qt destroys a native window of its own when it makes a new one (a change
    // of window flags, On Top): only the live one counts. The widget's own id
    // lags behind such a change (Qt 6.4), its QWindow's does not.
    const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
    const QWindow* live = window_.windowHandle();
    if (!live || !live->handle() || destroyed->window != live->winId())
        return false;
    lost_ = true;
    // Not from inside Qt's own event handling: the end hides and saves.
    QMetaObject::invokeMethod(this, &WindowWatch::nativeWindowLost, Qt::QueuedConnection);
    return false;
}

} // namespace lexipond
