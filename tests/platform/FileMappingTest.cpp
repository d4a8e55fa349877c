// The file and mapping service: direct reads and writes, mapping, and injected failures.
#include "platform/FileMapping.h"

#include "TestSupport.h"

#include <cerrno>
#include <sys/mman.h>

namespace lexipond::platform {
namespace {

using lexipond::testing::ReadBytes;

class FileMapping : public ::testing::Test {
  protected:
    lexipond::testing::TempFolder folder_;
    const std::string path_ = folder_ / "data.bin";
};

TEST_F(FileMapping, DirectWritesSeeksReadsAndTruncation) {
    lexipond::testing::WriteBytes(path_, "old contents");
    FileHandle file = CreateFileAlways(path_.c_str());
    ASSERT_TRUE(file);
    ASSERT_TRUE(WriteFileBytes(file, "hello world", 11));
    ASSERT_TRUE(SeekFile(file, 6));
    ASSERT_TRUE(WriteFileBytes(file, "there", 5));
    uint64_t end = 0;
    ASSERT_TRUE(SeekFileEnd(file, end));
    EXPECT_EQ(end, 11u);
    ASSERT_TRUE(WriteZeroBytes(file, 70000));
    char buffer[12] = {};
    ASSERT_TRUE(SeekFile(file, 0));
    ASSERT_TRUE(ReadFileBytes(file, buffer, 11));
    EXPECT_STREQ(buffer, "hello there");
    ASSERT_TRUE(SeekFile(file, 70005));
    EXPECT_FALSE(ReadFileBytes(file, buffer, 7)) << "only 6 bytes left";
    ASSERT_TRUE(TruncateFile(file, 5));
    CloseFile(file);
    CloseFile(file);
    EXPECT_EQ(ReadBytes(path_), "hello");
    EXPECT_FALSE(OpenExistingFile((folder_ / "missing").c_str(), false));
    EXPECT_FALSE(OpenExistingFile(folder_.Path().c_str(), false)) << "a folder";
    EXPECT_FALSE(CreateFileAlways((folder_ / "no/such").c_str()));
}

TEST_F(FileMapping, WritableMappingReachesTheFileAndReadOnlyRefusesWrites) {
    lexipond::testing::WriteBytes(path_, "abcdef");
    FileHandle file = OpenExistingFile(path_.c_str(), true);
    MappingHandle mapping = MapWholeFile(file, true);
    ASSERT_TRUE(mapping);
    EXPECT_EQ(mapping.length, 6u);
    static_cast<char*>(mapping.address)[0] = 'X';
    UnmapFile(mapping);
    UnmapFile(mapping);
    CloseFile(file);
    EXPECT_EQ(ReadBytes(path_), "Xbcdef");

    file = OpenExistingFile(path_.c_str(), false);
    EXPECT_FALSE(MapWholeFile(file, true));
    EXPECT_FALSE(WriteFileBytes(file, "z", 1));
    mapping = MapWholeFile(file, false);
    ASSERT_TRUE(mapping);
    EXPECT_FALSE(mapping.writable);
    UnmapFile(mapping);
    CloseFile(file);
    file = CreateFileAlways(path_.c_str());
    EXPECT_FALSE(MapWholeFile(file, false)) << "an empty file";
    CloseFile(file);
}

int failuresLeft = 0;   // EINTR first, then short writes of 3 bytes
int bytesUntilFull = 0; // then ENOSPC

ssize_t Flaky(int fd, const void* data, size_t count) {
    if (failuresLeft-- > 0) {
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

TEST_F(FileMapping, InjectedFailuresAreRetriedOrReported) {
    FileHandle file = CreateFileAlways(path_.c_str());
    {
        ScopedFileOperations scope;
        scope->write = &Flaky;
        failuresLeft = 3;
        EXPECT_TRUE(WriteFileBytes(file, "0123456789", 10)) << "short and interrupted writes";
        scope->write = &Full;
        bytesUntilFull = 4;
        EXPECT_FALSE(WriteFileBytes(file, "abcdefgh", 8));
        bytesUntilFull = 100;
        EXPECT_FALSE(WriteZeroBytes(file, 1000));
        scope->mmap = [](void*, size_t, int, int, int, off_t) { return MAP_FAILED; };
        EXPECT_FALSE(MapWholeFile(file, false));
    }
    MappingHandle mapping = MapWholeFile(file, false);
    EXPECT_TRUE(mapping) << "the real calls are back";
    UnmapFile(mapping);
    CloseFile(file);
    EXPECT_EQ(ReadBytes(path_).substr(0, 14), "0123456789abcd");
    EXPECT_EQ(ReadBytes(path_).size(), 114u);
}

} // namespace
} // namespace lexipond::platform
