#include "platform/FileCopy.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lexipond::platform {

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool CopyContents(int in, int out) {
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!WriteAll(out, buffer, static_cast<size_t>(n)))
            return false;
    }
}

} // namespace

bool CopyFileReplacing(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    std::string temporary = to + ".part" + std::to_string(getpid());
    int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        close(in);
        return false;
    }
    bool done = CopyContents(in, out) && fsync(out) == 0;
    done = (close(out) == 0) && done;
    close(in);
    if (done)
        done = std::rename(temporary.c_str(), to.c_str()) == 0;
    if (!done)
        unlink(temporary.c_str());
    return done;
}

bool StampLastWriteTime(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    bool done = futimens(fd, times) == 0;
    close(fd);
    return done;
}

bool RenameFileNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without RENAME_NOREPLACE: check first (one user, one copy running).
    struct stat info {};
    if (lstat(to.c_str(), &info) == 0)
        return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace lexipond::platform
