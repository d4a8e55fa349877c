// The file and mapping service: direct reads and writes, mapping, and failures.
#include "platform/FileMapping.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace lexipond::platform {
namespace {

class FileMapping : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("lexipond-filemapping-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                   "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / "data.bin").string();
    }
    void TearDown() override {
        ResetFileOperations();
        std::filesystem::remove_all(folder_);
    }
    std::string Contents() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::filesystem::path folder_;
    std::string path_;
};

TEST_F(FileMapping, DirectWritesSeeksAndReads) {
    FileHandle file = CreateFileAlways(path_.c_str());
    ASSERT_TRUE(file);
    ASSERT_TRUE(WriteFileBytes(file, "hello world", 11));
    ASSERT_TRUE(SeekFile(file, 6));
    ASSERT_TRUE(WriteFileBytes(file, "there", 5));
    uint64_t end = 0;
    ASSERT_TRUE(SeekFileEnd(file, end));
    EXPECT_EQ(end, 11u);
    ASSERT_TRUE(WriteZeroBytes(file, 70000)); // more than one internal chunk
    uint64_t size = 0;
    ASSERT_TRUE(GetFileSize(file, size));
    EXPECT_EQ(size, 70011u);
    char buffer[12] = {};
    ASSERT_TRUE(SeekFile(file, 0));
    ASSERT_TRUE(ReadFileBytes(file, buffer, 11));
    EXPECT_STREQ(buffer, "hello there");
    ASSERT_TRUE(SeekFile(file, 70005));
    EXPECT_FALSE(ReadFileBytes(file, buffer, 7)); // only 6 bytes left
    ASSERT_TRUE(TruncateFile(file, 5));
    ASSERT_TRUE(GetFileSize(file, size));
    EXPECT_EQ(size, 5u);
    CloseFile(file);
    EXPECT_FALSE(file);
    CloseFile(file); // harmless
    EXPECT_EQ(Contents(), "hello");
}

TEST_F(FileMapping, CreateReplacesAndOpenNeedsAnExistingRegularFile) {
    std::ofstream(path_) << "old contents";
    FileHandle file = CreateFileAlways(path_.c_str());
    ASSERT_TRUE(file);
    CloseFile(file);
    EXPECT_EQ(Contents(), "");

    EXPECT_FALSE(OpenExistingFile((folder_ / "missing").c_str(), false));
    EXPECT_FALSE(OpenExistingFile(folder_.c_str(), false)); // a folder
    EXPECT_FALSE(OpenExistingFile("", true));
    EXPECT_FALSE(CreateFileAlways((folder_ / "no" / "such").c_str()));
}

TEST_F(FileMapping, WritableMappingReachesTheFileAndReadOnlyDoesNot) {
    std::ofstream(path_) << "abcdef";
    FileHandle file = OpenExistingFile(path_.c_str(), true);
    ASSERT_TRUE(file);
    MappingHandle mapping = MapWholeFile(file, true);
    ASSERT_TRUE(mapping);
    EXPECT_EQ(mapping.length, 6u);
    EXPECT_TRUE(mapping.writable);
    static_cast<char*>(mapping.address)[0] = 'X';
    UnmapFile(mapping);
    EXPECT_FALSE(mapping);
    UnmapFile(mapping); // harmless
    CloseFile(file);
    EXPECT_EQ(Contents(), "Xbcdef");

    file = OpenExistingFile(path_.c_str(), false);
    ASSERT_TRUE(file);
    mapping = MapWholeFile(file, false);
    ASSERT_TRUE(mapping);
    EXPECT_FALSE(mapping.writable);
    EXPECT_EQ(std::string(static_cast<const char*>(mapping.address), 6), "Xbcdef");
    EXPECT_FALSE(MapWholeFile(file, true)) << "a read-only file cannot be mapped for writing";
    UnmapFile(mapping);
    EXPECT_FALSE(WriteFileBytes(file, "z", 1)) << "a read-only file refuses writes";
    CloseFile(file);
}

TEST_F(FileMapping, EmptyFileCannotBeMapped) {
    FileHandle file = CreateFileAlways(path_.c_str());
    ASSERT_TRUE(file);
    EXPECT_FALSE(MapWholeFile(file, true));
    CloseFile(file);
    EXPECT_FALSE(MapWholeFile(file, false)); // closed handle
}

ssize_t ShortWrite(int fd, const void* data, size_t count) {
    return ::write(fd, data, count > 3 ? 3 : count);
}

int fullAfterBytes = 0;
ssize_t FullDisk(int fd, const void* data, size_t count) {
    if (fullAfterBytes <= 0) {
        errno = ENOSPC;
        return -1;
    }
    const size_t part = std::min<size_t>(count, static_cast<size_t>(fullAfterBytes));
    fullAfterBytes -= static_cast<int>(part);
    return ::write(fd, data, part);
}

int interruptions = 0;
ssize_t InterruptedWrite(int fd, const void* data, size_t count) {
    if (interruptions > 0) {
        --interruptions;
        errno = EINTR;
        return -1;
    }
    return ::write(fd, data, count);
}

void* NoMap(void*, size_t, int, int, int, off_t) {
    return MAP_FAILED;
}

TEST_F(FileMapping, ShortAndInterruptedWritesAreCompleted) {
    ScopedFileOperations scope;
    scope->write = &ShortWrite;
    FileHandle file = CreateFileAlways(path_.c_str());
    EXPECT_TRUE(WriteFileBytes(file, "0123456789", 10));
    scope->write = &InterruptedWrite;
    interruptions = 3;
    EXPECT_TRUE(WriteFileBytes(file, "ab", 2));
    CloseFile(file);
    EXPECT_EQ(Contents(), "0123456789ab");
}

TEST_F(FileMapping, FullDiskFailsTheWrite) {
    ScopedFileOperations scope;
    scope->write = &FullDisk;
    fullAfterBytes = 4;
    FileHandle file = CreateFileAlways(path_.c_str());
    EXPECT_FALSE(WriteFileBytes(file, "0123456789", 10));
    fullAfterBytes = 100;
    EXPECT_FALSE(WriteZeroBytes(file, 1000));
    CloseFile(file);
    EXPECT_EQ(Contents().size(), 104u);
}

TEST_F(FileMapping, InjectedMapFailureAndResetRestoresRealCalls) {
    std::ofstream(path_) << "abc";
    FileHandle file = OpenExistingFile(path_.c_str(), false);
    {
        ScopedFileOperations scope;
        scope->mmap = &NoMap;
        EXPECT_FALSE(MapWholeFile(file, false));
    }
    MappingHandle mapping = MapWholeFile(file, false);
    EXPECT_TRUE(mapping);
    UnmapFile(mapping);
    CloseFile(file);
}

} // namespace
} // namespace lexipond::platform
