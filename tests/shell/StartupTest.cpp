// The settings file, and loading the settings and the words at start-up.
#include "TestSupport.h"
#include "shell/Lifecycle.h"
#include "shell/SettingsFile.h"

#include <optional>
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
    for (size_t i = 0; i < sizeof block; ++i)
        reinterpret_cast<unsigned char*>(&block)[i] = static_cast<unsigned char>(i * 7 + 1);
    block.transparencyAlpha = 200;
    block.currentUser = 2;
    for (auto& name : block.userNames)
        name[5] = '\0';
    return block;
}

class StartupTest : public ::testing::Test {
  protected:
    void TearDown() override { CloseRecordFile(db); }
    SettingsLoadResult LoadSettings(SettingsBlock& block) {
        return LoadSettingsFile(block, folder.Slash(), folder.Slash());
    }
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

TEST_F(StartupTest, MissingOrBadSettingsFileGivesDefaultsAndOnlyAMissingOneWelcomes) {
    const std::string full = Bytes(PatternBlock());
    const std::pair<std::optional<std::string>, SettingsLoadResult> rows[] = {
        {std::nullopt, SettingsNotFound},
        {"WOR", SettingsBadMagic},
        {"word1100" + full, SettingsBadMagic},
        {std::string(1008, '\0'), SettingsBadMagic}};
    for (const auto& [bytes, result] : rows) {
        if (bytes)
            WriteBytes(file, *bytes);
        SettingsBlock block{};
        block.unused592[10] = 0x5A;
        EXPECT_EQ(LoadSettings(block), result) << bytes.value_or("(none)").size();
        EXPECT_EQ(block.level, 3);
        EXPECT_EQ(block.transparencyAlpha, 75);
        EXPECT_EQ(block.unused592[10], 0x5A) << "defaults touched an unused byte";
        EXPECT_EQ(block.unused28[0], 0) << "a bad file's bytes were read";
    }
}

// Every byte comes back as stored; only an old file's level is renumbered.
TEST_F(StartupTest, OldLevelsAreMigratedAndEveryOtherByteIsKept) {
    const std::tuple<const char*, int32_t, int32_t> rows[] = {
        {"099", 1, 2}, {"099", 3, 4}, {"050", 4, 6}, {"099", 2, 2}, {"100", 1, 1}, {"900", 1, 1}};
    for (const auto& [version, level, migrated] : rows) {
        SettingsBlock stored = PatternBlock(), loaded{};
        stored.level = level;
        WriteBytes(file, std::string("WORD1") + version + Bytes(stored));
        ASSERT_EQ(LoadSettings(loaded), SettingsLoaded);
        EXPECT_EQ(loaded.level, migrated) << version << " level " << level;
        stored.level = loaded.level;
        EXPECT_TRUE(Bytes(loaded) == Bytes(stored)) << version << ": another byte changed";
    }
}

TEST_F(StartupTest, SaveKeepsThePreviousSettingsFileAndAFailedSaveLeavesItWhole) {
    WriteBytes(file, "not a settings file");
    SettingsBlock stored = PatternBlock();
    ASSERT_TRUE(SaveSettingsFile(stored, folder.Slash()));
    const std::string saved = ReadBytes(file);
    EXPECT_EQ(saved.size(), 1008u);
    EXPECT_EQ(saved, "WORD1100" + Bytes(stored));
    EXPECT_EQ(ReadBytes(file + kBackupSuffix), "not a settings file");

    // A folder where the new file is first written makes the write fail.
    fs::create_directory(file + ".part" + std::to_string(getpid()));
    stored.level = 0;
    EXPECT_FALSE(SaveSettingsFile(stored, folder.Slash()));
    EXPECT_EQ(ReadBytes(file), saved);
}

TEST_F(StartupTest, FewerThanTenWordsAreToppedUpFromTheWordListElseTheProgramEnds) {
    WriteBytes(file, "JUNK!");
    using enum StartupOutcome;
    const std::tuple<int, int, const char*, StartupOutcome, uint32_t> rows[] = {
        {5, 12, "word", Ready, 12},         // five listed are there already
        {10, 30, "new", Ready, 10},         // enough: no top-up
        {4, 0, "", EndAfterMessage, 4},     // no word list
        {4, 5, "new", EndAfterMessage, 9}}; // still too few
    for (const auto& [have, listed, prefix, outcome, live] : rows) {
        SCOPED_TRACE(::testing::Message() << have << " + " << listed);
        fs::remove(words);
        fs::remove(list);
        MakeWordDatabase(words, NumberedWords(have));
        if (listed > 0)
            WriteWordList(list, listed, prefix);
        const int messages = missingImports;
        EXPECT_EQ(Load(), outcome);
        CloseRecordFile(db);
        EXPECT_EQ(LiveWords(words), live);
        EXPECT_EQ(missingImports - messages, outcome == EndAfterMessage);
    }
    EXPECT_EQ(welcomes, 0); // a damaged settings file is no first run
}

TEST_F(StartupTest, DamagedDatabaseIsKeptUnderADistinctNameBeforeANewOneIsMade) {
    WriteWordList(list, 15);
    const std::string damaged(5000, '\x7f');
    for (time_t when : {time(nullptr), time(nullptr) + 1}) // taken names are not overwritten
        WriteBytes(DamagedFileName(words, when), "earlier");
    WriteBytes(words, damaged);
    EXPECT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(db.liveCount, 15u);
    std::multiset<std::string> kept;
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        if (entry.path().filename().string().rfind("LPDB.lbf damaged-", 0) == 0)
            kept.insert(ReadBytes(entry.path().string()));
    EXPECT_EQ(kept, (std::multiset<std::string>{damaged, "earlier", "earlier"}));
}

} // namespace
} // namespace lexipond
