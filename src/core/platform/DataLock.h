#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// One writer per data folder. The program holds an advisory lock (flock) on
// the folder itself for its whole run; lexipond-db takes it for every command
// that writes. The folder is what every copy shares whatever its runtime
// folder or user (su, sudo -u, a second login), and a folder can be locked
// even when it is read-only. The lock dies with the process that holds it.
// Not thread-safe: one owner object per process.
#include <chrono>
#include <string>

namespace lexipond::platform {

enum class DataLockResult {
    Acquired,      // this object holds the lock now
    HeldByAnother, // another process (or another lock object) holds it
    Unavailable,   // the folder cannot be opened or locked at all (missing, no locks on this file system)
};

class DataFolderLock {
  public:
    DataFolderLock() = default;
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    // Takes the lock on `folder` without waiting.
    DataLockResult TryAcquire(const std::string& folder);
    // As TryAcquire; when another holds it, waits `wait` and tries once more.
    DataLockResult Acquire(const std::string& folder, std::chrono::milliseconds wait);
    bool Held() const { return fd_ >= 0; }
    void Release();

  private:
    int fd_ = -1;
};

} // namespace lexipond::platform
