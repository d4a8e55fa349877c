// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/FileCopy.h"

#include "core/platform/FileMapping.h"
#include "core/platform/Folders.h"

#include <cerrno>
#include <dirent.h>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lexipond::platform {

void SyncFolderOf(const std::string& path) {
    FileHandle folder{open(FolderOfFile(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder) {
        SyncFile(folder);
        CloseFile(folder);
    }
}

bool RenameIntoPlace(const std::string& partial, const std::string& target, Durability durability) {
    if (durability == Durability::Synced) {
        FileHandle file{open(partial.c_str(), O_RDWR | O_CLOEXEC)};
        const bool synced = SyncFile(file);
        CloseFile(file);
        if (!synced)
            return false;
    }
    if (durability == Durability::Fast && ExchangeFiles(partial.c_str(), target.c_str())) {
        // `partial` is the old file now; one left by a kill here is removed
        // with the other leftovers at the next start.
        RemoveFile(partial.c_str());
        return true;
    }
    // No target yet, or a file system that cannot swap names.
    if (!RenameReplacing(partial.c_str(), target.c_str()))
        return false;
    if (durability == Durability::Synced)
        SyncFolderOf(target);
    return true;
}

std::string PartialFileName(const std::string& path) {
    return path + ".part" + std::to_string(getpid());
}

int RemoveLeftoverPartialFiles(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".part";
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string full = (slash == std::string::npos ? "" : folder) + name;
        struct stat info {};
        if (lstat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode) && unlink(full.c_str()) == 0)
            ++removed;
    }
    closedir(dir);
    return removed;
}

bool ReplaceFileWith(const std::string& target, const std::function<bool(int fd)>& fill,
                     Durability durability) {
    const std::string temporary = PartialFileName(target);
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool filled = fill(fd);
    if (close(fd) != 0 || !filled || !RenameIntoPlace(temporary, target, durability)) {
        RemoveFile(temporary.c_str());
        return false;
    }
    return true;
}

bool CopyFileReplacing(const std::string& from, const std::string& to, Durability durability) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat info {};
    if (fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(in);
        return false;
    }
    const bool done = ReplaceFileWith(
        to,
        [in, &info](int out) {
            // In the kernel first (no copy through our memory); a plain loop
            // where the file systems cannot.
            off_t left = info.st_size;
            while (left > 0) {
                const ssize_t n = copy_file_range(in, nullptr, out, nullptr, size_t(left), 0);
                if (n <= 0)
                    break;
                left -= n;
            }
            if (left == 0)
                return true;
            if (lseek(in, info.st_size - left, SEEK_SET) < 0)
                return false;
            char buffer[1 << 16];
            for (;;) {
                const ssize_t n = read(in, buffer, sizeof buffer);
                if (n == 0)
                    return true;
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    return false;
                }
                if (!WriteFileBytes(FileHandle{out}, buffer, static_cast<uint64_t>(n)))
                    return false;
            }
        },
        durability);
    close(in);
    return done;
}

bool CopyLastWriteTime(const std::string& from, const std::string& to) {
    struct stat info {};
    if (stat(from.c_str(), &info) != 0)
        return false;
    const timespec times[2] = {{0, UTIME_OMIT}, info.st_mtim};
    return utimensat(AT_FDCWD, to.c_str(), times, 0) == 0;
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
