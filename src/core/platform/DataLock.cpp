// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/DataLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace lexipond::platform {

DataFolderLock::~DataFolderLock() {
    Release();
}

void DataFolderLock::Release() {
    if (fd_ >= 0) {
        close(fd_); // closing drops the flock
        fd_ = -1;
    }
}

DataLockResult DataFolderLock::TryAcquire(const std::string& folder) {
    Release();
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return DataLockResult::Unavailable;
    int result;
    do
        result = flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool busy = errno == EWOULDBLOCK;
        close(fd);
        return busy ? DataLockResult::HeldByAnother : DataLockResult::Unavailable;
    }
    fd_ = fd;
    return DataLockResult::Acquired;
}

DataLockResult DataFolderLock::Acquire(const std::string& folder, std::chrono::milliseconds wait) {
    const DataLockResult first = TryAcquire(folder);
    if (first != DataLockResult::HeldByAnother)
        return first;
    std::this_thread::sleep_for(wait);
    return TryAcquire(folder);
}

} // namespace lexipond::platform
