#include "shell/SettingsFile.h"

#include "TestSupport.h"

#include <cstdio>

namespace lexipond {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::string Bytes(const SettingsBlock& block) {
    return std::string(reinterpret_cast<const char*>(&block), sizeof block);
}

// Every byte set, unused ones included; the fields hold valid values.
SettingsBlock PatternBlock() {
    SettingsBlock block;
    for (size_t i = 0; i < sizeof block; ++i)
        reinterpret_cast<unsigned char*>(&block)[i] = static_cast<unsigned char>(i * 7 + 1);
    block.transparencyAlpha = 200;
    block.level = 5;
    block.currentUser = 2;
    for (int i = 0; i < kUserCount; ++i)
        std::snprintf(block.userNames[i], kUserNameSize, "Learner %d", i);
    return block;
}

void ExpectDefaults(const SettingsBlock& block) {
    EXPECT_EQ(block.level, 3);
    EXPECT_EQ(block.transparencyAlpha, 75);
    EXPECT_EQ(block.windowPlacement.minPositionX, kNeverPlaced);
    EXPECT_STREQ(block.userNames[4], "Vimsa");
}

class SettingsFileTest : public ::testing::Test {
  protected:
    std::string DataFile() const { return data / kSettingsFileName; }
    SettingsLoadResult Load(SettingsBlock& block) {
        return LoadSettingsFile(block, data.Slash(), program.Slash());
    }
    SettingsBlock LoadFrom(const std::string& fileBytes) {
        WriteBytes(DataFile(), fileBytes);
        SettingsBlock block{};
        EXPECT_EQ(Load(block), SettingsLoaded);
        return block;
    }
    TempFolder data, program;
};

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndTheWelcomeAndTheDataFolderWins) {
    SettingsBlock block{};
    EXPECT_EQ(Load(block), SettingsNotFound);
    ExpectDefaults(block);

    const SettingsBlock stored = PatternBlock();
    WriteBytes(program / kSettingsFileName, "WORD1100" + Bytes(stored));
    SettingsBlock fromProgram{};
    EXPECT_EQ(Load(fromProgram), SettingsLoaded);
    EXPECT_EQ(Bytes(fromProgram), Bytes(stored));

    WriteBytes(DataFile(), "not settings");
    EXPECT_EQ(Load(block), SettingsBadMagic);
}

TEST_F(SettingsFileTest, BadHeaderGivesDefaultsWithoutWelcomeAndReadsNothing) {
    const std::string full = Bytes(PatternBlock());
    for (const std::string& bytes : {std::string(), std::string("WOR"), "word1100" + full,
                                     "WORD2100" + full, std::string(1008, '\0')}) {
        WriteBytes(DataFile(), bytes);
        SettingsBlock block{};
        block.unused592[10] = 0x5A;
        EXPECT_EQ(Load(block), SettingsBadMagic) << bytes.size();
        ExpectDefaults(block);
        EXPECT_EQ(block.unused592[10], 0x5A) << "defaults touched an unused byte";
        EXPECT_EQ(block.unused28[0], 0) << "a bad file's bytes were read";
    }
}

// Every byte comes back as stored, only an old file's level is renumbered.
TEST_F(SettingsFileTest, OldLevelsAreMigratedAndEveryOtherByteIsKept) {
    struct Row {
        const char* version;
        int32_t stored, expected;
    };
    for (const Row& row :
         {Row{"099", 1, 2}, Row{"099", 3, 4}, Row{"050", 4, 6}, Row{"099", 2, 2}, Row{"099", 6, 6},
          Row{"100", 1, 1}, Row{"100", 4, 4}, Row{"101", 3, 3}, Row{"900", 1, 1}}) {
        SettingsBlock stored = PatternBlock();
        stored.level = row.stored;
        const SettingsBlock loaded =
            LoadFrom(std::string("WORD1") + row.version + Bytes(stored) + "trailing bytes");
        EXPECT_EQ(loaded.level, row.expected) << row.version << " level " << row.stored;
        stored.level = loaded.level;
        EXPECT_TRUE(Bytes(loaded) == Bytes(stored)) << row.version << ": another byte changed";
    }
}

TEST_F(SettingsFileTest, ShortOrDamagedBlockKeepsOnlyWholeValidFields) {
    SettingsBlock stored = PatternBlock();
    stored.level = 1;
    SettingsBlock loaded = LoadFrom("WORD1100" + Bytes(stored).substr(0, 30));
    EXPECT_EQ(loaded.level, 1);
    EXPECT_EQ(loaded.currentUser, 2);
    EXPECT_EQ(loaded.windowPlacement.minPositionX, kNeverPlaced); // cut inside it
    EXPECT_STREQ(loaded.userNames[0], "Zov");
    // An old file without a level: the default level is not renumbered.
    ExpectDefaults(LoadFrom("WORD1099"));
    EXPECT_EQ(LoadFrom("WORD1099" + Bytes(stored).substr(0, 24)).level, 2);

    for (int32_t bad : {-1, 300}) {
        stored.level = stored.currentUser = stored.transparencyAlpha = bad;
        std::memset(stored.userNames[3], 'n', kUserNameSize); // no terminator
        loaded = LoadFrom("WORD1100" + Bytes(stored));
        EXPECT_EQ(loaded.level, 3);
        EXPECT_EQ(loaded.currentUser, 0);
        EXPECT_EQ(loaded.transparencyAlpha, 75);
        EXPECT_EQ(strnlen(loaded.userNames[3], kUserNameSize), 99u);
    }
}

TEST_F(SettingsFileTest, SaveWritesTheBlockAndKeepsThePreviousFileAsBackup) {
    WriteBytes(DataFile(), "not a settings file");
    const SettingsBlock stored = PatternBlock();
    ASSERT_TRUE(SaveSettingsFile(stored, data.Slash()));
    const std::string bytes = ReadBytes(DataFile());
    EXPECT_EQ(bytes, "WORD1100" + Bytes(stored));
    EXPECT_EQ(bytes.size(), 1008u);
    EXPECT_EQ(ReadBytes(DataFile() + " Bak"), "not a settings file");
    EXPECT_EQ(Bytes(LoadFrom(bytes)), Bytes(stored));

    ASSERT_TRUE(SaveSettingsFile(stored, data.Slash()));
    EXPECT_EQ(ReadBytes(DataFile() + " Bak"), bytes);
}

TEST_F(SettingsFileTest, FailedSaveLeavesTheOldFileWhole) {
    const SettingsBlock old = PatternBlock();
    ASSERT_TRUE(SaveSettingsFile(old, data.Slash()));
    const std::string before = ReadBytes(DataFile());
    // A folder where the new file is first written makes the write fail.
    std::filesystem::create_directory(DataFile() + ".part" + std::to_string(getpid()));
    SettingsBlock changed = old;
    changed.level = 0;
    EXPECT_FALSE(SaveSettingsFile(changed, data.Slash()));
    EXPECT_EQ(ReadBytes(DataFile()), before);

    EXPECT_FALSE(SaveSettingsFile(old, data / "missing/"));
    EXPECT_FALSE(std::filesystem::exists(data / "missing"));
}

} // namespace
} // namespace lexipond
