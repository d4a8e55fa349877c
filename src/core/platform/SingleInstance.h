#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// One running copy per user: an advisory lock (flock) on a file named after the
// program in the user's runtime folder. The lock dies with the process, so a
// crashed copy never blocks the next start. A SingleInstance owns the lock file's
// descriptor; the program makes one at start-up on the window thread and holds it
// for its run. Not thread-safe.
#include <chrono>
#include <string>

namespace lexipond::platform {

inline constexpr char kInstanceName[] = "Lexipond.exe";
inline constexpr std::chrono::milliseconds kInstanceWait{5000};

// $XDG_RUNTIME_DIR/<name>.lock, or a private per-user folder under the system's
// temporary folder when XDG_RUNTIME_DIR is unset or unusable.
std::string InstanceLockPath(const char* name);

class SingleInstance {
  public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock. When another copy holds it, waits `wait` and tries once
    // more. false: another copy still runs (or the lock file cannot be made).
    bool Acquire(const std::string& lockPath, std::chrono::milliseconds wait = kInstanceWait);
    bool Held() const { return fd_ >= 0; }
    void Release();

  private:
    int fd_ = -1;
};

} // namespace lexipond::platform
