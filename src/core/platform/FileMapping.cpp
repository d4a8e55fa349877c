// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/FileMapping.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lexipond::platform {

namespace {

int SystemOpen(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}
int SystemFstat(int fd, struct stat* info) {
    return ::fstat(fd, info);
}
int SystemExchange(const char* a, const char* b) {
    return ::renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE);
}

FileOperations DefaultOperations() {
    return FileOperations{&SystemOpen, &::close,     &SystemFstat, &::lseek, &::read,
                          &::write,    &::ftruncate, &::mmap,      &::munmap, &::fsync,
                          &std::rename,   &::unlink,     &SystemExchange};
}

FileOperations& Table() {
    static FileOperations table = DefaultOperations();
    return table;
}

// off_t is signed; an offset beyond its range cannot be reached.
bool FitsOffset(uint64_t value) {
    return value <= static_cast<uint64_t>(std::numeric_limits<off_t>::max());
}

OpenFailure OpenFailureOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return OpenFailure::Missing;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return OpenFailure::NotPermitted;
    case EISDIR:
    case ENXIO:
        return OpenFailure::NotAFile;
    default:
        return OpenFailure::Other;
    }
}

} // namespace

FileOperations& FileOperationsTable() {
    return Table();
}

void ResetFileOperations() {
    Table() = DefaultOperations();
}

FileHandle OpenExistingFile(const char* path, bool writable, OpenFailure* failure) {
    FileHandle handle;
    OpenFailure ignored = OpenFailure::Other;
    OpenFailure& why = failure ? *failure : ignored;
    if (path == nullptr || *path == '\0') {
        why = OpenFailure::Missing;
        return handle;
    }
    int fd;
    do {
        fd = Table().open(path, (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        why = OpenFailureOf(errno);
        return handle;
    }
    // Only regular files hold a database; a folder or device is no file here.
    struct stat info {};
    const bool known = Table().fstat(fd, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
        why = known ? OpenFailure::NotAFile : OpenFailure::Other;
        Table().close(fd);
        return handle;
    }
    handle.fd = fd;
    return handle;
}

FileHandle CreateFileAlways(const char* path) {
    FileHandle handle;
    if (path == nullptr || *path == '\0')
        return handle;
    int fd;
    do {
        fd = Table().open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0)
        handle.fd = fd;
    return handle;
}

void CloseFile(FileHandle& file) {
    if (file.fd >= 0)
        Table().close(file.fd);
    file.fd = -1;
}

bool GetFileSize(FileHandle file, uint64_t& size) {
    if (!file)
        return false;
    struct stat info {};
    if (Table().fstat(file.fd, &info) != 0 || info.st_size < 0)
        return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

MappingHandle MapWholeFile(FileHandle file, bool writable) {
    MappingHandle mapping;
    uint64_t size = 0;
    if (!GetFileSize(file, size) || size == 0 || size > std::numeric_limits<size_t>::max())
        return mapping;
    const int protection = writable ? (PROT_READ | PROT_WRITE) : PROT_READ;
    // Every open reads every slot's tag at once: fault the pages in one go.
    void* address = Table().mmap(nullptr, static_cast<size_t>(size), protection,
                                 MAP_SHARED | MAP_POPULATE, file.fd, 0);
    if (address == MAP_FAILED || address == nullptr)
        return mapping;
    mapping.address = address;
    mapping.length = size;
    mapping.writable = writable;
    return mapping;
}

void UnmapFile(MappingHandle& mapping) {
    if (mapping.address != nullptr)
        Table().munmap(mapping.address, static_cast<size_t>(mapping.length));
    mapping = MappingHandle{};
}

bool SeekFile(FileHandle file, uint64_t offset) {
    if (!file || !FitsOffset(offset))
        return false;
    return Table().lseek(file.fd, static_cast<off_t>(offset), SEEK_SET) ==
           static_cast<off_t>(offset);
}

bool SeekFileEnd(FileHandle file, uint64_t& position) {
    if (!file)
        return false;
    const off_t end = Table().lseek(file.fd, 0, SEEK_END);
    if (end < 0)
        return false;
    position = static_cast<uint64_t>(end);
    return true;
}

bool ReadFileBytes(FileHandle file, void* buffer, uint64_t count) {
    if (!file)
        return false;
    auto* out = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count, 1u << 30));
        const ssize_t got = Table().read(file.fd, out, chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        count -= static_cast<uint64_t>(got);
    }
    return true;
}

bool WriteFileBytes(FileHandle file, const void* data, uint64_t count) {
    if (!file)
        return false;
    const auto* in = static_cast<const unsigned char*>(data);
    while (count > 0) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count, 1u << 30));
        const ssize_t put = Table().write(file.fd, in, chunk);
        if (put < 0 && errno == EINTR)
            continue;
        // A write that makes no progress means the disk is full.
        if (put <= 0)
            return false;
        in += put;
        count -= static_cast<uint64_t>(put);
    }
    return true;
}

bool WriteZeroBytes(FileHandle file, uint64_t count) {
    // Real zeros are written rather than a hole made by extending the length: the
    // blocks are then allocated now, so a full disk shows here as a failed write and
    // never later as a fault while writing through a mapping.
    static const unsigned char zeros[65536] = {};
    while (count > 0) {
        const uint64_t chunk = std::min<uint64_t>(count, sizeof zeros);
        if (!WriteFileBytes(file, zeros, chunk))
            return false;
        count -= chunk;
    }
    return true;
}

bool TruncateFile(FileHandle file, uint64_t length) {
    if (!file || !FitsOffset(length))
        return false;
    int result;
    do {
        result = Table().ftruncate(file.fd, static_cast<off_t>(length));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool SyncFile(FileHandle file) {
    if (!file)
        return false;
    int result;
    do
        result = Table().fsync(file.fd);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

bool RenameReplacing(const char* from, const char* to) {
    return Table().rename(from, to) == 0;
}

bool ExchangeFiles(const char* a, const char* b) {
    return Table().exchange(a, b) == 0;
}

bool RemoveFile(const char* path) {
    return Table().unlink(path) == 0;
}

bool CopyFileRange(FileHandle from, uint64_t offset, FileHandle to, uint64_t count) {
    if (!from || !to || !FitsOffset(offset) || !FitsOffset(offset + count))
        return false;
    auto position = static_cast<off64_t>(offset);
    while (count > 0) {
        const ssize_t n = copy_file_range(from.fd, &position, to.fd, nullptr, count, 0);
        if (n > 0) {
            count -= static_cast<uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // not supported here, or the end: go on with plain reads and writes
    }
    char buffer[1 << 16];
    while (count > 0) {
        const ssize_t n = pread(from.fd, buffer, std::min<uint64_t>(count, sizeof buffer), position);
        if (n <= 0 && !(n < 0 && errno == EINTR))
            return false;
        if (n > 0) {
            // Through the table, so that tests can make the disk fill up here too.
            if (!WriteFileBytes(to, buffer, static_cast<uint64_t>(n)))
                return false;
            position += n;
            count -= static_cast<uint64_t>(n);
        }
    }
    return true;
}

} // namespace lexipond::platform
