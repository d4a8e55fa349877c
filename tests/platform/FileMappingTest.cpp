// The file and mapping service, and the seam that injects system-call failures.
#include "platform/FileMapping.h"

#include "TestSupport.h"

#include <cerrno>
#include <sys/mman.h>

namespace lexipond::platform {
namespace {

using namespace lexipond::testing;

int interruptions = 0;  // EINTR first, then writes of 3 bytes at most
int bytesUntilFull = 0; // then ENOSPC

ssize_t Flaky(int fd, const void* data, size_t count) {
    if (interruptions-- > 0) {
        errno = EINTR;
        return -1;
    }
    return ::write(fd, data, std::min<size_t>(count, 3));
}

ssize_t Full(int fd, const void* data, size_t count) {
    const size_t part = std::min<size_t>(count, static_cast<size_t>(bytesUntilFull));
    bytesUntilFull -= static_cast<int>(part);
    if (part > 0)
        return ::write(fd, data, part);
    errno = ENOSPC;
    return -1;
}

TEST(FileMapping, WritesAreRetriedOrReportedAndMapFailuresInjected) {
    TempFolder folder;
    const std::string path = folder / "data.bin";
    WriteBytes(path, std::string(200, 'o'));
    FileHandle file = CreateFileAlways(path.c_str());
    {
        ScopedFileOperations scope;
        scope->write = &Flaky;
        interruptions = 3;
        EXPECT_TRUE(WriteFileBytes(file, "0123456789", 10)) << "short and interrupted writes";
        scope->write = &Full;
        bytesUntilFull = 4;
        EXPECT_FALSE(WriteFileBytes(file, "abcdefgh", 8));
        bytesUntilFull = 100;
        EXPECT_FALSE(WriteZeroBytes(file, 1000));
        scope->mmap = [](void*, size_t, int, int, int, off_t) { return MAP_FAILED; };
        EXPECT_FALSE(MapWholeFile(file, true));
    }
    MappingHandle mapping = MapWholeFile(file, true);
    ASSERT_TRUE(mapping) << "the real calls are back";
    ASSERT_EQ(mapping.length, 114u);
    static_cast<char*>(mapping.address)[0] = 'X';
    UnmapFile(mapping);
    UnmapFile(mapping);
    CloseFile(file);
    CloseFile(file);
    EXPECT_EQ(ReadBytes(path).substr(0, 15), std::string("X123456789abcd\0", 15));
}

TEST(FileMapping, ReadOnlyFilesEmptyFilesAndFoldersAreRefused) {
    TempFolder folder;
    const std::string path = folder / "data.bin";
    WriteBytes(path, "abcdef");
    FileHandle file = OpenExistingFile(path.c_str(), false);
    EXPECT_FALSE(MapWholeFile(file, true));
    EXPECT_FALSE(WriteFileBytes(file, "z", 1));
    CloseFile(file);
    file = CreateFileAlways(path.c_str());
    EXPECT_FALSE(MapWholeFile(file, false)) << "an empty file";
    CloseFile(file);
    EXPECT_FALSE(OpenExistingFile(folder.Path().c_str(), false));
}

} // namespace
} // namespace lexipond::platform
