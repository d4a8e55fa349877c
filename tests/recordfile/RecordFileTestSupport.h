#pragma once
// A private folder per test and helpers to build word databases and read raw bytes.
#include "recordfile/RecordFile.h"
#include "recordfile/WordDatabase.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace lexipond::testing {

class TempFolder {
  public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "lexipond-";
        name += info != nullptr ? std::string(info->test_suite_name()) + "-" + info->name() : "x";
        for (char& c : name)
            if (c == '/')
                c = '_';
        path_ = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint32_t>(bytes.at(offset)) |
           (static_cast<uint32_t>(bytes.at(offset + 1)) << 8) |
           (static_cast<uint32_t>(bytes.at(offset + 2)) << 16) |
           (static_cast<uint32_t>(bytes.at(offset + 3)) << 24);
}

inline void PutWordAt(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

inline uint64_t FileLength(const std::string& path) {
    return std::filesystem::file_size(path);
}

// Writes text into field 1 (the word) of a slot.
inline int32_t PutWord(RecordFile& file, int32_t slot, const std::string& word) {
    std::memset(file.textValue, 0, sizeof file.textValue);
    std::memcpy(file.textValue, word.data(),
                std::min<size_t>(word.size(), sizeof file.textValue - 1));
    return PutField(file, slot, kFieldWord);
}

inline std::string GetWord(RecordFile& file, int32_t slot) {
    if (GetField(file, slot, kFieldWord) < 0)
        return "<failed>";
    return file.textValue;
}

// Adds a word and returns its slot.
inline int32_t AddWord(RecordFile& file, const std::string& word) {
    const int32_t slot = AddRecord(file);
    if (slot >= 0)
        PutWord(file, slot, word);
    return slot;
}

inline void SetKey(RecordFile& file, const std::string& key) {
    std::memset(file.searchKey, 0, sizeof file.searchKey);
    std::memcpy(file.searchKey, key.data(),
                std::min<size_t>(key.size(), sizeof file.searchKey - 1));
}

// A new word database in the folder, open read/write.
inline void CreateDatabase(RecordFile& file, const TempFolder& folder,
                           const std::string& name = "LPDB.lbf") {
    file.fileName = folder.File(name);
    ASSERT_NE(CreateWordDatabase(file), 0);
    ASSERT_NE(file.view, nullptr);
}

inline int Reopen(RecordFile& file, bool writable = true) {
    file.writable = writable ? 1 : 0;
    return OpenRecordFile(file);
}

} // namespace lexipond::testing
