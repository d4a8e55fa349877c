#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A manual-reset event: stays set until reset, wakes every waiter. It owns its own
// mutex, so any thread may set, reset or wait on it without another lock; the
// tutor's worker and the window thread signal each other through two of them.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace lexipond::platform {

class Event {
public:
    explicit Event(bool initiallySet = false) : set_(initiallySet) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            set_ = true;
        }
        cv_.notify_all();
    }
    void Reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = false;
    }
    // Returns true when the event was set, false on time-out.
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, timeout, [this] { return set_; });
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return set_; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool set_;
};

} // namespace lexipond::platform
