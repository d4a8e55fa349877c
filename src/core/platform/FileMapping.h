#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// File and mapping service in place of the Win32 file calls: open an existing file
// read-only or read/write (others may read), create, size, map the whole file,
// unmap, and seek/read/write/append/truncate in direct mode. The handles belong to
// the caller (the record file engine keeps them in its RecordFile) and are guarded
// by whatever guards their owner; the functions themselves keep no state.
//
// Every function reports failure by its result (an empty handle or false) and never
// throws. Sizes and offsets are 64-bit throughout.
//
// Fault injection: every system call goes through the table returned by
// FileOperationsTable(). A test replaces single entries (for instance `write` with a
// function that fails with ENOSPC after some bytes) and puts the defaults back with
// ResetFileOperations(); ScopedFileOperations does both around a test body.
#include <cstdint>
#include <sys/stat.h>
#include <sys/types.h>

namespace lexipond::platform {

struct FileHandle {
    int fd = -1;
    explicit operator bool() const { return fd >= 0; }
};

struct MappingHandle {
    void* address = nullptr;
    uint64_t length = 0;
    bool writable = false; // true when the pages may be written
    explicit operator bool() const { return address != nullptr; }
};

// The system calls below the service. Entries have the POSIX signatures.
struct FileOperations {
    int (*open)(const char* path, int flags, mode_t mode);
    int (*close)(int fd);
    int (*fstat)(int fd, struct stat* info);
    off_t (*lseek)(int fd, off_t offset, int whence);
    ssize_t (*read)(int fd, void* buffer, size_t count);
    ssize_t (*write)(int fd, const void* buffer, size_t count);
    int (*ftruncate)(int fd, off_t length);
    void* (*mmap)(void* address, size_t length, int protection, int flags, int fd, off_t offset);
    int (*munmap)(void* address, size_t length);
    int (*fsync)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*unlink)(const char* path);
    int (*exchange)(const char* a, const char* b); // renameat2 with RENAME_EXCHANGE
};

// The table in use (mutable: tests swap entries). Not thread-safe to change while
// files are being used on another thread.
FileOperations& FileOperationsTable();
// Restores the real system calls.
void ResetFileOperations();

// Swaps the table for the lifetime of the object; restores the defaults afterwards.
class ScopedFileOperations {
  public:
    ScopedFileOperations() = default;
    ScopedFileOperations(const ScopedFileOperations&) = delete;
    ScopedFileOperations& operator=(const ScopedFileOperations&) = delete;
    ~ScopedFileOperations() { ResetFileOperations(); }
    FileOperations& operator*() const { return FileOperationsTable(); }
    FileOperations* operator->() const { return &FileOperationsTable(); }
};

// Why OpenExistingFile gave an empty handle.
enum class OpenFailure {
    Missing,      // no such file (or a folder on the way is missing)
    NotPermitted, // the file is there but may not be opened as asked
    NotAFile,     // a folder, a device or a pipe
    Other,        // any other error of the system
};

// Opens an existing file for reading, or for reading and writing. POSIX has no share
// modes: other processes may always open the file for reading, as the database needs.
// On failure, *failure (when given) says why.
FileHandle OpenExistingFile(const char* path, bool writable, OpenFailure* failure = nullptr);
// Creates the file for reading and writing, replacing any file of that name.
FileHandle CreateFileAlways(const char* path);
// Closes the file; safe on an empty handle. The handle is empty afterwards.
void CloseFile(FileHandle& file);
// The current length of the file.
bool GetFileSize(FileHandle file, uint64_t& size);

// Maps the whole file (shared, so writes reach the file). An empty file cannot be
// mapped. The handle records the length mapped and whether it may be written.
MappingHandle MapWholeFile(FileHandle file, bool writable);
// Unmaps; safe on an empty handle. The handle is empty afterwards.
void UnmapFile(MappingHandle& mapping);

// Direct mode. Reads and writes move the file position.
bool SeekFile(FileHandle file, uint64_t offset);
// Moves to the end of the file and reports the position (the file's length).
bool SeekFileEnd(FileHandle file, uint64_t& position);
// Reads exactly count bytes; false on error or end of file before count bytes.
bool ReadFileBytes(FileHandle file, void* buffer, uint64_t count);
// Writes all count bytes (retrying short writes); false when the disk is full or on error.
bool WriteFileBytes(FileHandle file, const void* data, uint64_t count);
// Writes count zero bytes at the current position.
bool WriteZeroBytes(FileHandle file, uint64_t count);
// Sets the file's length (cuts or extends with zeros).
bool TruncateFile(FileHandle file, uint64_t length);
// Flushes the file's data to the disk.
bool SyncFile(FileHandle file);
// Renames over an existing `to` in one step; false when it failed (nothing moved).
bool RenameReplacing(const char* from, const char* to);
// Swaps the names of two existing files in one step; false when either is
// missing or the file system cannot (nothing moved).
bool ExchangeFiles(const char* a, const char* b);
// Copies count bytes from `from` at `offset` to the current position of `to`,
// in the kernel where it can (a plain read and write where it cannot).
bool CopyFileRange(FileHandle from, uint64_t offset, FileHandle to, uint64_t count);
// Removes the file; false when it could not be removed.
bool RemoveFile(const char* path);

} // namespace lexipond::platform
