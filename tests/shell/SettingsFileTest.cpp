#include "shell/SettingsFile.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>

using namespace lexipond;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string BlockBytes(const SettingsBlock& block) {
    return std::string(reinterpret_cast<const char*>(&block), sizeof block);
}

// A block whose every byte is set, unused ones included.
SettingsBlock PatternBlock() {
    SettingsBlock block;
    auto* bytes = reinterpret_cast<unsigned char*>(&block);
    for (size_t i = 0; i < sizeof block; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 1);
    block.confirmQuit = 1;
    block.onTop = 1;
    block.transparent = 0;
    block.transparencyAlpha = 200;
    block.level = 5;
    block.currentUser = 2;
    block.windowPlacement.minPositionX = 40;
    for (int i = 0; i < kUserCount; ++i)
        std::snprintf(block.userNames[i], kUserNameSize, "Learner %d", i);
    return block;
}

class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("lexipond-settings-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "data");
        fs::create_directories(root_ / "program");
        data_ = (root_ / "data").string() + "/";
        program_ = (root_ / "program").string() + "/";
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path DataFile() const { return fs::path(data_) / kSettingsFileName; }

    SettingsBlock LoadFrom(const std::string& fileBytes, SettingsLoadResult* result = nullptr) {
        WriteAll(DataFile(), fileBytes);
        SettingsBlock block{};
        const SettingsLoadResult r = LoadSettingsFile(block, data_, program_);
        if (result)
            *result = r;
        return block;
    }

    fs::path root_;
    std::string data_;
    std::string program_;
};

void ExpectDefaults(const SettingsBlock& block) {
    EXPECT_EQ(block.level, 3);
    EXPECT_EQ(block.currentUser, 0);
    EXPECT_EQ(block.transparencyAlpha, 75);
    EXPECT_EQ(block.confirmQuit, 0);
    EXPECT_EQ(block.onTop, 0);
    EXPECT_EQ(block.transparent, 0);
    EXPECT_EQ(block.windowPlacement.minPositionX, kNeverPlaced);
    EXPECT_STREQ(block.userNames[0], "Zov");
    EXPECT_STREQ(block.userNames[1], "Quen");
    EXPECT_STREQ(block.userNames[2], "Pelty");
    EXPECT_STREQ(block.userNames[3], "Rondel");
    EXPECT_STREQ(block.userNames[4], "Vimsa");
}

} // namespace

TEST_F(SettingsFileTest, PathPrefersTheDataFolderThenFallsBackToTheProgramFolder) {
    EXPECT_EQ(ResolveSettingsPath(data_, program_, kSettingsFileName),
              program_ + kSettingsFileName);
    WriteAll(fs::path(program_) / kSettingsFileName, "x");
    EXPECT_EQ(ResolveSettingsPath(data_, program_, kSettingsFileName),
              program_ + kSettingsFileName);
    WriteAll(DataFile(), "x");
    EXPECT_EQ(ResolveSettingsPath(data_, program_, kSettingsFileName), data_ + kSettingsFileName);
}

TEST_F(SettingsFileTest, NoFileGivesDefaultsAndAsksForTheWelcome) {
    SettingsBlock block{};
    EXPECT_EQ(LoadSettingsFile(block, data_, program_), SettingsNotFound);
    ExpectDefaults(block);
    EXPECT_EQ(block.windowPlacement.normalRight, 0);
    EXPECT_EQ(block.unused592[0], 0);
}

TEST_F(SettingsFileTest, ProgramFolderFileIsReadWhenTheDataFolderHasNone) {
    const SettingsBlock stored = PatternBlock();
    WriteAll(fs::path(program_) / kSettingsFileName, "WORD1100" + BlockBytes(stored));
    SettingsBlock block{};
    EXPECT_EQ(LoadSettingsFile(block, data_, program_), SettingsLoaded);
    EXPECT_EQ(BlockBytes(block), BlockBytes(stored));
}

TEST_F(SettingsFileTest, WrongMagicGivesDefaultsWithoutWelcomeAndKeepsOtherBytes) {
    const std::string full = BlockBytes(PatternBlock());
    for (const std::string& bytes :
         {std::string(), std::string("WOR"), std::string("WORD"), "word1100" + full,
          "WORD2100" + full, std::string(1008, '\0'), "XXXXXXXX" + full}) {
        WriteAll(DataFile(), bytes);
        SettingsBlock block{};
        block.unused592[10] = 0x5A;
        EXPECT_EQ(LoadSettingsFile(block, data_, program_), SettingsBadMagic) << bytes.size();
        ExpectDefaults(block);
        EXPECT_EQ(block.unused592[10], 0x5A) << "defaults touched an unused byte";
        EXPECT_EQ(block.unused28[0], 0) << "a bad file's bytes were read";
    }
}

TEST_F(SettingsFileTest, HeaderCheckReportsMagicAndVersion) {
    struct Row {
        std::string bytes;
        int expected;
    };
    const Row rows[] = {
        {"WORD1100", 1000},
        {"WORD1099", 99},
        {"WORD1000", 0},
        {"WORD1101", 101},
        {"WORD1abc", 5451},
        {"WORD2100", 1001},
        {"", 1001},
        {"WORD", 1001},
        {"WORD1", 0},
        {"WORD11", 1},
        {std::string("WORD1\0"
                     "99",
                     8),
         0},
    };
    for (const Row& row : rows) {
        WriteAll(DataFile(), row.bytes);
        std::FILE* file = std::fopen(DataFile().c_str(), "rb");
        ASSERT_NE(file, nullptr);
        std::fgetc(file); // the check reads from the start whatever the position
        EXPECT_EQ(CheckSettingsHeader(file), row.expected) << row.bytes;
        std::fclose(file);
    }
}

TEST_F(SettingsFileTest, OldVersionsHaveTheirLevelRenumbered) {
    struct Row {
        const char* version;
        int32_t stored;
        int32_t expected;
    };
    const Row rows[] = {
        {"099", 1, 2}, {"099", 3, 4}, {"050", 4, 6}, {"000", 0, 0}, {"099", 2, 2}, {"099", 5, 5},
        {"099", 6, 6}, {"100", 1, 1}, {"100", 4, 4}, {"101", 3, 3}, {"900", 1, 1},
    };
    for (const Row& row : rows) {
        SettingsBlock stored = PatternBlock();
        stored.level = row.stored;
        SettingsLoadResult result{};
        const SettingsBlock block =
            LoadFrom(std::string("WORD1") + row.version + BlockBytes(stored), &result);
        EXPECT_EQ(result, SettingsLoaded);
        EXPECT_EQ(block.level, row.expected) << row.version << " level " << row.stored;
        EXPECT_STREQ(block.userNames[1], "Learner 1");
    }
}

TEST_F(SettingsFileTest, ShortBlockKeepsWholeFieldsAndDefaultsTheRest) {
    SettingsBlock stored = PatternBlock();
    stored.level = 1;
    const std::string block = BlockBytes(stored);

    // Only the first 30 bytes: the flags, level and user came whole.
    SettingsBlock loaded = LoadFrom("WORD1100" + block.substr(0, 30));
    EXPECT_EQ(loaded.confirmQuit, 1);
    EXPECT_EQ(loaded.transparencyAlpha, 200);
    EXPECT_EQ(loaded.level, 1);
    EXPECT_EQ(loaded.currentUser, 2);
    EXPECT_EQ(loaded.windowPlacement.minPositionX, kNeverPlaced);
    EXPECT_STREQ(loaded.userNames[0], "Zov");

    // Cut inside the placement and inside the second name.
    loaded = LoadFrom("WORD1100" + block.substr(0, 70));
    EXPECT_EQ(loaded.windowPlacement.minPositionX, kNeverPlaced);
    loaded = LoadFrom("WORD1100" + block.substr(0, 92 + 150));
    EXPECT_EQ(loaded.windowPlacement.minPositionX, 40);
    EXPECT_STREQ(loaded.userNames[0], "Learner 0");
    EXPECT_STREQ(loaded.userNames[1], "Quen");

    // Magic and an empty version, nothing else: defaults, and the default level
    // is not mistaken for an old one.
    loaded = LoadFrom("WORD1");
    ExpectDefaults(loaded);
    loaded = LoadFrom("WORD1099");
    ExpectDefaults(loaded);
    // An old file whose level arrived is still migrated.
    loaded = LoadFrom("WORD1099" + block.substr(0, 24));
    EXPECT_EQ(loaded.level, 2);
}

TEST_F(SettingsFileTest, DamagedValuesAreBroughtIntoRange) {
    SettingsBlock stored = PatternBlock();
    stored.level = 9;
    stored.currentUser = 7;
    stored.transparencyAlpha = 300;
    std::memset(stored.userNames[3], 'n', kUserNameSize); // no terminator
    SettingsBlock loaded = LoadFrom("WORD1100" + BlockBytes(stored));
    EXPECT_EQ(loaded.level, 3);
    EXPECT_EQ(loaded.currentUser, 0);
    EXPECT_EQ(loaded.transparencyAlpha, 75);
    EXPECT_EQ(std::strlen(loaded.userNames[3]), 99u);

    stored.level = -1;
    stored.currentUser = -1;
    stored.transparencyAlpha = -5;
    loaded = LoadFrom("WORD1100" + BlockBytes(stored));
    EXPECT_EQ(loaded.level, 3);
    EXPECT_EQ(loaded.currentUser, 0);
    EXPECT_EQ(loaded.transparencyAlpha, 75);

    // In-range values from a future version come through untouched.
    stored = PatternBlock();
    loaded = LoadFrom("WORD1200" + BlockBytes(stored) + "trailing bytes are ignored");
    EXPECT_EQ(BlockBytes(loaded), BlockBytes(stored));
}

TEST_F(SettingsFileTest, SaveWritesTheBlockAndLoadReturnsEveryByte) {
    const SettingsBlock stored = PatternBlock();
    ASSERT_TRUE(SaveSettingsFile(stored, data_));
    const std::string bytes = ReadAll(DataFile());
    ASSERT_EQ(bytes.size(), 1008u);
    EXPECT_EQ(bytes.substr(0, 8), "WORD1100");
    EXPECT_EQ(bytes.substr(8), BlockBytes(stored));

    SettingsBlock loaded{};
    EXPECT_EQ(LoadSettingsFile(loaded, data_, program_), SettingsLoaded);
    EXPECT_EQ(BlockBytes(loaded), BlockBytes(stored));
    EXPECT_FALSE(fs::exists(DataFile().string() + ".tmp"));
}

TEST_F(SettingsFileTest, SaveBacksUpThePreviousFileAndReplacesABadOne) {
    WriteAll(DataFile(), "not a settings file");
    SettingsBlock block{};
    EXPECT_EQ(LoadSettingsFile(block, data_, program_), SettingsBadMagic);
    ASSERT_TRUE(SaveSettingsFile(block, data_));
    EXPECT_EQ(ReadAll(DataFile().string() + " Bak"), "not a settings file");
    const std::string first = ReadAll(DataFile());
    EXPECT_EQ(first.substr(0, 8), "WORD1100");

    block.level = 6;
    ASSERT_TRUE(SaveSettingsFile(block, data_));
    EXPECT_EQ(ReadAll(DataFile().string() + " Bak"), first);
}

TEST_F(SettingsFileTest, FailedSaveLeavesTheOldFileWhole) {
    const SettingsBlock old = PatternBlock();
    ASSERT_TRUE(SaveSettingsFile(old, data_));
    const std::string before = ReadAll(DataFile());
    // Block the file beside it that the new settings are written to first.
    fs::create_directory(DataFile().string() + ".part" + std::to_string(::getpid()));
    SettingsBlock changed = old;
    changed.level = 0;
    EXPECT_FALSE(SaveSettingsFile(changed, data_));
    EXPECT_EQ(ReadAll(DataFile()), before);
    // The backup step still ran.
    EXPECT_EQ(ReadAll(DataFile().string() + " Bak"), before);

    // A data folder that does not exist: nothing is written anywhere.
    EXPECT_FALSE(SaveSettingsFile(old, (root_ / "missing").string() + "/"));
    EXPECT_FALSE(fs::exists(root_ / "missing"));
}
