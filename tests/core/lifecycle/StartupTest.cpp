// The settings file, and loading the settings and the words at start-up.
#include "TestSupport.h"
#include "core/lifecycle/Lifecycle.h"
#include "core/settings/SettingsFile.h"

#include <set>
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

class StartupTest : public ::testing::Test {
  protected:
    void TearDown() override { CloseRecordFile(db); }
    StartupOutcome Load() {
        CloseRecordFile(db);
        return LoadSettingsAndWords(db, settings, {folder.Slash(), folder.Slash()}, dialogs);
    }

    TempFolder folder;
    const std::string file = folder / kSettingsFileName, words = folder / "LPDB.lbf",
                      list = folder / "dImport.txt";
    StartupDialogs dialogs{[this] { return ++welcomes; }, {}, [this] { ++missingImports; }};
    RecordFile db;
    SettingsBlock settings{};
    int welcomes = 0, missingImports = 0;
};

// A well-formed file keeps every byte, only an old file's level is renumbered;
// a missing, short or foreign file gives the defaults and reads nothing from it.
TEST_F(StartupTest, SettingsFileLoadsOldLevelsMigratedOrGivesDefaults) {
    const std::tuple<std::string, int32_t, SettingsLoadResult, int32_t> rows[] = {
        {"WORD1099", 1, SettingsLoaded, 2},   {"WORD1099", 3, SettingsLoaded, 4},
        {"WORD1050", 4, SettingsLoaded, 6},   {"WORD1099", 2, SettingsLoaded, 2},
        {"WORD1100", 1, SettingsLoaded, 1},   {"WORD1900", 1, SettingsLoaded, 1},
        {"(none)", 1, SettingsNotFound, 3},   {"WOR", 1, SettingsBadMagic, 3},
        {"word1100", 1, SettingsBadMagic, 3}, {"WORDx100", 1, SettingsBadMagic, 3}};
    for (const auto& [header, level, result, loadedLevel] : rows) {
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

TEST_F(StartupTest, SaveKeepsThePreviousSettingsFileAndAFailedSaveLeavesItWhole) {
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

// Fewer than ten words are topped up from the word list, else the program ends;
// a damaged database is first kept under a name of its own.
TEST_F(StartupTest, WordsAreToppedUpFromTheWordListAndADamagedDatabaseIsKept) {
    WriteBytes(file, "JUNK!");
    const std::string damaged(5000, '\x7f');
    WriteBytes(DamagedFileName(words, time(nullptr)), "earlier"); // a taken name is not reused
    using enum StartupOutcome;
    const std::tuple<int, int, const char*, StartupOutcome, uint32_t> rows[] = {
        {5, 12, "word", Ready, 12},        // five listed are there already
        {10, 30, "new", Ready, 10},        // enough: no top-up
        {4, 0, "", EndAfterMessage, 4},    // no word list
        {4, 5, "new", EndAfterMessage, 9}, // still too few
        {-1, 15, "new", Ready, 15}};       // a damaged database
    for (const auto& [have, listed, prefix, outcome, live] : rows) {
        fs::remove(words);
        fs::remove(list);
        have < 0 ? WriteBytes(words, damaged) : MakeWordDatabase(words, NumberedWords(have));
        if (listed > 0)
            WriteWordList(list, listed, prefix);
        EXPECT_EQ(Load(), outcome) << have << " + " << listed;
        CloseRecordFile(db);
        EXPECT_EQ(LiveWords(words), live) << have << " + " << listed;
    }
    EXPECT_EQ(missingImports, 2);
    EXPECT_EQ(welcomes, 0); // a damaged settings file is no first run
    std::multiset<std::string> kept;
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        if (entry.path().filename().string().rfind("LPDB.lbf damaged-", 0) == 0)
            kept.insert(ReadBytes(entry.path().string()));
    EXPECT_EQ(kept, (std::multiset<std::string>{damaged, "earlier"}));
}

} // namespace
} // namespace lexipond
