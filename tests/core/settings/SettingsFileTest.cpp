// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: loading with the old levels migrated or the defaults, and the
// save that keeps a backup and never leaves half a file.
#include "core/settings/SettingsFile.h"

#include "TestSupport.h"

#include <tuple>

namespace lexipond {
namespace {

namespace fs = std::filesystem;
using namespace testing;

std::string Bytes(const SettingsBlock& block) {
    return std::string(reinterpret_cast<const char*>(&block), sizeof block);
}

// Every byte set, unused ones included; the fields hold valid values.
SettingsBlock PatternBlock() {
    SettingsBlock block;
    for (size_t i = 0; i < sizeof block; ++i) // a 0 in every name
        reinterpret_cast<unsigned char*>(&block)[i] = static_cast<unsigned char>(i % 97);
    block.transparencyAlpha = 200;
    block.currentUser = 2;
    return block;
}

class SettingsFileTest : public ::testing::Test {
  protected:
    TempFolder folder;
    const std::string file = folder / kSettingsFileName;
};

// A well-formed file keeps every byte, only an old file's level is renumbered;
// a missing, short or foreign file gives the defaults and reads nothing from it.
TEST_F(SettingsFileTest, LoadsOldLevelsMigratedOrGivesDefaults) {
    const std::tuple<std::string, int32_t, SettingsLoadResult, int32_t> rows[] = {
        {"WORD1099", 1, SettingsLoaded, 2},   {"WORD1099", 3, SettingsLoaded, 4},
        {"WORD1050", 4, SettingsLoaded, 6},   {"WORD1099", 2, SettingsLoaded, 2},
        {"WORD1100", 1, SettingsLoaded, 1},   {"WORD1900", 1, SettingsLoaded, 1},
        {"(none)", 1, SettingsNotFound, 3},   {"WOR", 1, SettingsBadMagic, 3},
        {"word1100", 1, SettingsBadMagic, 3}, {"WORDx100", 1, SettingsBadMagic, 3}};
    for (const auto& [header, level, result, loadedLevel] : rows) {
        SCOPED_TRACE(header + ", level " + std::to_string(level));
        SettingsBlock stored = PatternBlock(), loaded{}, defaults{};
        ApplyDefaultSettings(defaults);
        stored.level = level;
        fs::remove(file);
        if (header != "(none)")
            WriteBytes(file, header + (header.size() == 8 ? Bytes(stored) : ""));
        EXPECT_EQ(LoadSettingsFile(loaded, folder.Slash(), folder.Slash()), result) << header;
        stored.level = loadedLevel;
        EXPECT_TRUE(Bytes(loaded) == Bytes(result == SettingsLoaded ? stored : defaults))
            << header << " level " << level << " came back as " << loaded.level;
    }
}

TEST_F(SettingsFileTest, SaveKeepsThePreviousFileAndAFailedSaveLeavesItWhole) {
    // A damaged file never replaces a good backup; a whole one becomes the backup.
    const std::string goodBackup = "WORD1100" + std::string(1000, 'g');
    WriteBytes(file + kBackupSuffix, goodBackup);
    WriteBytes(file, "not a settings file");
    SettingsBlock stored = PatternBlock();
    ASSERT_TRUE(SaveSettingsFile(stored, folder.Slash()));
    const std::string saved = ReadBytes(file);
    EXPECT_EQ(saved.size(), 1008u);
    EXPECT_TRUE(saved == "WORD1100" + Bytes(stored));
    EXPECT_TRUE(ReadBytes(file + kBackupSuffix) == goodBackup) << "a damaged file became the backup";
    ASSERT_TRUE(SaveSettingsFile(stored, folder.Slash()));
    EXPECT_TRUE(ReadBytes(file + kBackupSuffix) == saved);

    // A folder where the new file is first written makes the write fail.
    fs::create_directory(file + ".part" + std::to_string(getpid()));
    stored.level = 0;
    EXPECT_FALSE(SaveSettingsFile(stored, folder.Slash()));
    EXPECT_TRUE(ReadBytes(file) == saved);
}

} // namespace
} // namespace lexipond
