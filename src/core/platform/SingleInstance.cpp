// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace lexipond::platform {

namespace {

bool IsPrivateFolder(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & 0077) == 0;
}

// Opens (creating) the lock file without following a planted symlink.
int OpenLockFile(const std::string& path) {
    return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

bool TryLock(int fd) {
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

} // namespace

std::string InstanceLockPath(const char* name) {
    std::string folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        struct stat info {};
        if (stat(runtime, &info) == 0 && S_ISDIR(info.st_mode) && access(runtime, W_OK) == 0)
            folder = runtime;
    }
    if (folder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string base = (tmp && tmp[0] == '/') ? tmp : "/tmp";
        folder = base + "/lexipond-" + std::to_string(getuid());
        mkdir(folder.c_str(), 0700); // exists already on later runs
        if (!IsPrivateFolder(folder)) {
            // Someone else owns that name: fall back to the home folder.
            const char* home = std::getenv("HOME");
            folder = (home && home[0] == '/') ? home : ".";
        }
    }
    if (folder.back() != '/')
        folder += '/';
    return folder + name + ".lock";
}

SingleInstance::~SingleInstance() {
    Release();
}

void SingleInstance::Release() {
    if (fd_ >= 0) {
        close(fd_); // closing drops the flock
        fd_ = -1;
    }
}

bool SingleInstance::Acquire(const std::string& lockPath, std::chrono::milliseconds wait) {
    Release();
    int fd = OpenLockFile(lockPath);
    if (fd < 0)
        return false;
    if (!TryLock(fd)) {
        std::this_thread::sleep_for(wait);
        if (!TryLock(fd)) {
            close(fd);
            return false;
        }
    }
    fd_ = fd;
    return true;
}

} // namespace lexipond::platform
