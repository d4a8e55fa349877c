#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A first-in, first-out queue of tasks that any thread may fill and one thread
// empties. The hand-over goes through a mutex of its own, so a task built on
// one thread is complete when another takes it out (and ThreadSanitizer sees
// why, which it cannot when the hand-over happens inside an uninstrumented
// library's event queue).
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace lexipond::platform {

class TaskQueue {
  public:
    void Push(std::function<void()> task) {
        std::lock_guard<std::mutex> guard(mutex_);
        tasks_.push_back(std::move(task));
    }
    // The oldest task, or nothing when the queue is empty.
    std::optional<std::function<void()>> Take() {
        std::lock_guard<std::mutex> guard(mutex_);
        if (tasks_.empty())
            return std::nullopt;
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        return task;
    }

  private:
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

} // namespace lexipond::platform
