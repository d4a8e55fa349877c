#pragma once
// File and mapping service in place of the Win32 file calls: open an existing file
// read-only or read/write (others may read), create, size, map the whole file,
// unmap, and seek/read/write/append/truncate in direct mode.
#include <cstdint>

namespace lexipond::platform {

struct FileHandle {
    int fd = -1;
    explicit operator bool() const { return fd >= 0; }
};

struct MappingHandle {
    void* address = nullptr;
    uint64_t length = 0;
    explicit operator bool() const { return address != nullptr; }
};

} // namespace lexipond::platform
