// The single instance, the folders, loading the settings and words at start-up,
// and the shutdown save.
#include "ShellTestSupport.h"
#include "platform/FileCopy.h"
#include "platform/Folders.h"
#include "platform/SingleInstance.h"
#include "shell/Lifecycle.h"
#include "shell/Settings.h"
#include "shell/SettingsFile.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace lexipond {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::LiveWords;
using testing::MakeWordDatabase;
using testing::NumberedWords;
using testing::ReadBytes;
using testing::ScopedEnv;
using testing::SumField;
using testing::TempFolder;
using testing::WriteBytes;
using testing::WriteWordList;

// --- Single instance -------------------------------------------------------

TEST(SingleInstance, SecondCopyWaitsThenGivesUpWhileTheFirstRuns) {
    TempFolder folder;
    const std::string lock = folder / "Lexipond.exe.lock";
    platform::SingleInstance first;
    ASSERT_TRUE(first.Acquire(lock, 0ms));

    platform::SingleInstance second;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(second.Acquire(lock, 300ms));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 300ms);
    EXPECT_FALSE(second.Held());
}

TEST(SingleInstance, SecondCopyStartsWhenTheFirstEndsDuringTheWait) {
    TempFolder folder;
    const std::string lock = folder / "Lexipond.exe.lock";
    platform::SingleInstance first;
    ASSERT_TRUE(first.Acquire(lock, 0ms));
    std::thread ending([&first] {
        std::this_thread::sleep_for(100ms);
        first.Release();
    });
    platform::SingleInstance second;
    EXPECT_TRUE(second.Acquire(lock, 600ms));
    ending.join();
    // And a third now waits for the second.
    platform::SingleInstance third;
    EXPECT_FALSE(third.Acquire(lock, 10ms));
}

TEST(SingleInstance, LockLivesInTheRuntimeFolderOrAPrivateFallback) {
    TempFolder runtime;
    {
        ScopedEnv env("XDG_RUNTIME_DIR", runtime.Path());
        EXPECT_EQ(platform::InstanceLockPath("Lexipond.exe"), runtime / "Lexipond.exe.lock");
    }
    for (const char* bad :
         {static_cast<const char*>(nullptr), "", "relative/dir", "/no/such/dir"}) {
        ScopedEnv env("XDG_RUNTIME_DIR",
                      bad ? std::optional<std::string>(bad) : std::optional<std::string>());
        const std::string path = platform::InstanceLockPath("Lexipond.exe");
        SCOPED_TRACE(bad ? bad : "(unset)");
        EXPECT_EQ(path.substr(path.size() - 18), "/Lexipond.exe.lock");
        EXPECT_TRUE(platform::FolderIsWritable(platform::FolderOfPath(path)));
        platform::SingleInstance instance;
        EXPECT_TRUE(instance.Acquire(path, 0ms));
    }
}

TEST(SingleInstance, PlantedSymlinkIsNotFollowed) {
    TempFolder folder;
    const std::string victim = folder / "victim";
    WriteBytes(victim, "keep me");
    const std::string lock = folder / "Lexipond.exe.lock";
    ASSERT_EQ(symlink(victim.c_str(), lock.c_str()), 0);
    platform::SingleInstance instance;
    EXPECT_FALSE(instance.Acquire(lock, 0ms));
    EXPECT_EQ(ReadBytes(victim), "keep me");
}

// --- Folders -------------------------------------------------------------

TEST(Folders, FolderOfPathKeepsEverythingUpToTheLastSlash) {
    EXPECT_EQ(platform::FolderOfPath("/usr/lib/lexipond/lexipond"), "/usr/lib/lexipond/");
    EXPECT_EQ(platform::FolderOfPath("/lexipond"), "/");
    EXPECT_EQ(platform::FolderOfPath(""), "");
    EXPECT_EQ(platform::FolderOfPath("lexipond"), "lexipond");
}

TEST(Folders, ExecutableFolderIsTheRealFolderOfThisTest) {
    const std::string folder = platform::ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(folder.front(), '/');
    EXPECT_TRUE(platform::FileExists(folder + "shell_startup_tests"));
}

TEST(Folders, UserDataFolderFollowsXdgDataHomeThenHome) {
    TempFolder home;
    ScopedEnv homeEnv("HOME", home.Path());
    {
        ScopedEnv xdg("XDG_DATA_HOME", home / "xdg");
        EXPECT_EQ(platform::UserDataFolder(), home / "xdg/Hollet/Lexipond/");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(platform::UserDataFolder(), home / ".local/share/Hollet/Lexipond/");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "relative/data"); // invalid by the XDG rules
        EXPECT_EQ(platform::UserDataFolder(), home / ".local/share/Hollet/Lexipond/");
    }
}

TEST(Folders, DefSetMovesTheDataToTheCreatedPerUserFolder) {
    TempFolder program, home;
    ScopedEnv homeEnv("HOME", home.Path());
    ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);

    Folders beside = FindFolders(program.Slash());
    EXPECT_EQ(beside.programFolder, program.Slash());
    EXPECT_EQ(beside.dataFolder, program.Slash());
    EXPECT_FALSE(fs::exists(home / ".local/share/Hollet"));

    WriteBytes(program / "DefSet.txt", "");
    Folders moved = FindFolders(program.Slash());
    EXPECT_EQ(moved.programFolder, program.Slash());
    EXPECT_EQ(moved.dataFolder, home / ".local/share/Hollet/Lexipond/");
    EXPECT_TRUE(fs::is_directory(moved.dataFolder));
}

TEST(Folders, ReadOnlyProgramFolderKeepsTheDataPerUser) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write to any folder";
    TempFolder program, data;
    ScopedEnv xdg("XDG_DATA_HOME", data.Path());
    fs::permissions(program.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(FindFolders(program.Slash()).dataFolder, data / "Hollet/Lexipond/");
}

TEST(Folders, TemporaryFilesAreNotOnRemovableMedia) {
    TempFolder folder;
    EXPECT_FALSE(platform::IsOnRemovableMedia(folder.Path()));
    EXPECT_FALSE(platform::IsOnRemovableMedia("/no/such/folder"));
}

// --- File copies and time stamps ------------------------------------------

TEST(FileCopy, CopyReplacesTheTargetWholeAndLeavesNoTemporaryFile) {
    TempFolder folder;
    std::string big(3 << 16, 'x');
    big[12345] = 'y';
    WriteBytes(folder / "source", big);
    WriteBytes(folder / "target", "old and longer than nothing");
    EXPECT_TRUE(platform::CopyFileReplacing(folder / "source", folder / "target"));
    EXPECT_EQ(ReadBytes(folder / "target"), big);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 2);
}

TEST(FileCopy, MissingSourceLeavesTheTargetAsItWas) {
    TempFolder folder;
    WriteBytes(folder / "target", "previous backup");
    EXPECT_FALSE(platform::CopyFileReplacing(folder / "missing", folder / "target"));
    EXPECT_EQ(ReadBytes(folder / "target"), "previous backup");
}

TEST(FileCopy, StampSetsLastWriteTimeToNowAndKeepsAccessTime) {
    TempFolder folder;
    const std::string file = folder / "LPDB.lbf";
    WriteBytes(file, "db");
    const timespec old[2] = {{946684800, 0}, {946684800, 0}}; // 2000-01-01
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), old, 0), 0);
    const time_t before = time(nullptr);
    EXPECT_TRUE(platform::StampLastWriteTime(file));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_GE(info.st_mtime, before);
    EXPECT_EQ(info.st_atime, 946684800);
    EXPECT_FALSE(platform::StampLastWriteTime(folder / "missing"));
}

TEST(FileCopy, RenameNeverReplacesAnExistingFile) {
    TempFolder folder;
    WriteBytes(folder / "a", "A");
    WriteBytes(folder / "b", "B");
    EXPECT_FALSE(platform::RenameFileNoReplace(folder / "a", folder / "b"));
    EXPECT_EQ(ReadBytes(folder / "b"), "B");
    EXPECT_TRUE(platform::RenameFileNoReplace(folder / "a", folder / "c"));
    EXPECT_EQ(ReadBytes(folder / "c"), "A");
    EXPECT_FALSE(fs::exists(folder / "a"));
}

// --- Loading settings and words -------------------------------------------

class LoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folders.programFolder = program.Slash();
        folders.dataFolder = program.Slash();
        dialogs.welcome = [this] {
            ++welcomes;
            return welcomeAnswer;
        };
        dialogs.openReadMe = [this] { ++readMes; };
        dialogs.cannotFindImport = [this] { ++missingImports; };
    }
    void TearDown() override { CloseRecordFile(db); }

    void WriteSettingsFile() {
        SettingsBlock block{};
        ApplyDefaultSettings(block);
        ASSERT_TRUE(SaveSettingsFile(block, folders.dataFolder));
    }
    StartupOutcome Load() { return LoadSettingsAndWords(db, settings, folders, dialogs); }

    TempFolder program;
    Folders folders;
    StartupDialogs dialogs;
    RecordFile db;
    SettingsBlock settings{};
    int welcomeAnswer = 1;
    int welcomes = 0, readMes = 0, missingImports = 0;
};

TEST_F(LoadTest, FirstRunWelcomesCreatesTheDatabaseAndFillsItSorted) {
    std::string list = "zebra\r\napple\r\nmoon\r\n";
    for (int i = 0; i < 9; ++i)
        list += "k" + std::to_string(i) + "\r\n";
    WriteBytes(program / "dImport.txt", list);

    ASSERT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(welcomes, 1);
    EXPECT_EQ(readMes, 0);
    EXPECT_EQ(missingImports, 0);
    EXPECT_EQ(settings.level, 3);
    EXPECT_EQ(settings.windowPlacement.minPositionX, kNeverPlaced);
    ASSERT_NE(db.view, nullptr);
    EXPECT_EQ(db.liveCount, 12u);
    GetField(db, 0, kFieldWord);
    const std::string first = db.textValue;
    GetField(db, 11, kFieldWord);
    EXPECT_EQ(first, "apple");
    EXPECT_EQ(std::string(db.textValue), "zebra");
}

TEST_F(LoadTest, ViewReadMeAtTheWelcomeOpensItAndStartUpGoesOn) {
    WriteWordList(program / "dImport.txt", 20);
    welcomeAnswer = 2;
    EXPECT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(readMes, 1);
}

TEST_F(LoadTest, LaterRunHasNoWelcomeAndDoesNotImportIntoAFullDatabase) {
    WriteSettingsFile();
    MakeWordDatabase(program / "LPDB.lbf", NumberedWords(10));
    WriteWordList(program / "dImport.txt", 30, "new");
    EXPECT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(welcomes, 0);
    EXPECT_EQ(db.liveCount, 10u);
}

TEST_F(LoadTest, BadSettingsMagicGivesDefaultsWithoutWelcome) {
    WriteBytes(program / "dLexipond.dat", "JUNK!");
    WriteWordList(program / "dImport.txt", 12);
    EXPECT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(welcomes, 0);
    EXPECT_EQ(settings.transparencyAlpha, 75);
}

TEST_F(LoadTest, NearlyEmptyDatabaseIsToppedUpWithoutDuplicates) {
    WriteSettingsFile();
    MakeWordDatabase(program / "LPDB.lbf", NumberedWords(5, "w"));
    WriteWordList(program / "dImport.txt", 12, "w"); // w1000..w1011: five are there already
    EXPECT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(db.liveCount, 12u);
    EXPECT_EQ(missingImports, 0);
}

TEST_F(LoadTest, TooFewWordsWithoutImportFileTellsAndEndsKeepingTheDatabase) {
    WriteSettingsFile();
    MakeWordDatabase(program / "LPDB.lbf", NumberedWords(4));
    EXPECT_EQ(Load(), StartupOutcome::EndAfterMessage);
    EXPECT_EQ(missingImports, 1);
    EXPECT_EQ(db.view, nullptr);
    EXPECT_EQ(LiveWords(program / "LPDB.lbf"), 4u);
}

TEST_F(LoadTest, ShortImportFileAlsoEndsWithTheMessage) {
    WriteWordList(program / "dImport.txt", 9);
    EXPECT_EQ(Load(), StartupOutcome::EndAfterMessage);
    EXPECT_EQ(missingImports, 1);
}

TEST_F(LoadTest, DamagedDatabaseIsKeptUnderItsOwnNameBeforeANewOneIsMade) {
    WriteSettingsFile();
    const std::string damaged(5000, '\x7f');
    WriteBytes(program / "LPDB.lbf", damaged);
    WriteWordList(program / "dImport.txt", 15);
    EXPECT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(db.liveCount, 15u);

    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(program.Path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("LPDB.lbf damaged-", 0) == 0)
            kept.push_back(entry.path().string());
    }
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadBytes(kept[0]), damaged);
}

TEST_F(LoadTest, SecondDamageInTheSameSecondGetsAnotherName) {
    WriteSettingsFile();
    WriteWordList(program / "dImport.txt", 15);
    WriteBytes(DamagedFileName(program / "LPDB.lbf", time(nullptr)), "earlier");
    WriteBytes(DamagedFileName(program / "LPDB.lbf", time(nullptr) + 1), "earlier");
    WriteBytes(program / "LPDB.lbf", "not a database");
    EXPECT_EQ(Load(), StartupOutcome::Ready);
    int withEarlier = 0, withNew = 0;
    for (const auto& entry : fs::directory_iterator(program.Path())) {
        const std::string bytes = ReadBytes(entry.path().string());
        withEarlier += bytes == "earlier";
        withNew += bytes == "not a database";
    }
    EXPECT_EQ(withEarlier, 2);
    EXPECT_EQ(withNew, 1);
}

TEST_F(LoadTest, DataFolderThatCannotHoldADatabaseEndsSilently) {
    folders.dataFolder = program / "missing/folder/";
    WriteWordList(program / "dImport.txt", 15);
    EXPECT_EQ(Load(), StartupOutcome::EndSilently);
    EXPECT_EQ(missingImports, 0);
}

TEST(DamagedFileName, CarriesDateAndTime) {
    std::tm when{};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 7;
    when.tm_hour = 8;
    when.tm_min = 9;
    when.tm_sec = 10;
    when.tm_isdst = -1;
    EXPECT_EQ(DamagedFileName("/d/LPDB.lbf", mktime(&when)), "/d/LPDB.lbf damaged-20240307-080910");
}

// --- Shutdown save ---------------------------------------------------------

TEST(ShutdownSave, WritesSettingsAndBackupsAndStampsTheClosedDatabase) {
    TempFolder data;
    const std::string dbPath = data / "LPDB.lbf";
    MakeWordDatabase(dbPath, NumberedWords(12));
    WriteBytes(data / "dLexipond.dat", "the previous settings file");
    RecordFile db;
    db.fileName = dbPath;
    db.writable = 1;
    ASSERT_EQ(OpenRecordFile(db), 1);
    GetField(db, 3, kFieldWord);
    db.numberValue = 7;
    PutField(db, 3, TotalField(0));
    const timespec old[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dbPath.c_str(), old, 0), 0);

    SettingsBlock settings{};
    ApplyDefaultSettings(settings);
    settings.level = 5;
    std::recursive_mutex lock;
    const time_t before = time(nullptr);
    ShutdownSave(db, settings, data.Slash(), &lock);

    EXPECT_EQ(db.view, nullptr);
    const std::string saved = ReadBytes(data / "dLexipond.dat");
    ASSERT_EQ(saved.size(), 1008u);
    EXPECT_EQ(saved.substr(0, 8), "WORD1100");
    EXPECT_EQ(std::memcmp(saved.data() + 8, &settings, sizeof settings), 0);
    EXPECT_EQ(ReadBytes(data / "dLexipond.dat Bak"), "the previous settings file");
    EXPECT_EQ(ReadBytes(dbPath + " Bak"), ReadBytes(dbPath));
    EXPECT_EQ(SumField(dbPath + " Bak", TotalField(0)), 7);
    struct stat info {};
    ASSERT_EQ(stat(dbPath.c_str(), &info), 0);
    EXPECT_GE(info.st_mtime, before);
}

TEST(ShutdownSave, DatabaseClosedEarlierByTheWorkerIsStillStampedAndCopied) {
    TempFolder data;
    const std::string dbPath = data / "LPDB.lbf";
    MakeWordDatabase(dbPath, NumberedWords(10));
    RecordFile db;
    db.fileName = dbPath;
    db.writable = 1;
    ASSERT_EQ(OpenRecordFile(db), 1);
    CloseRecordFile(db); // as the worker does when it stops
    SettingsBlock settings{};
    ApplyDefaultSettings(settings);
    ShutdownSave(db, settings, data.Slash(), nullptr);
    EXPECT_EQ(ReadBytes(dbPath + " Bak"), ReadBytes(dbPath));
    EXPECT_EQ(ReadBytes(data / "dLexipond.dat").size(), 1008u);
    EXPECT_FALSE(fs::exists(data / "dLexipond.dat Bak")); // there was nothing to back up
}

TEST(ShutdownSave, UnwritableDataFolderLosesNothingAlreadyStored) {
    TempFolder data;
    SettingsBlock settings{};
    ApplyDefaultSettings(settings);
    RecordFile db;
    db.fileName = data / "gone/LPDB.lbf";
    ShutdownSave(db, settings, data / "gone/", nullptr); // nothing to do, nothing to crash
    EXPECT_FALSE(fs::exists(data / "gone"));
}

} // namespace
} // namespace lexipond
