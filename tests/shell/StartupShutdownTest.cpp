// The single instance, loading the settings and words at start-up,
// and the shutdown save.
#include "TestSupport.h"
#include "platform/SingleInstance.h"
#include "shell/Lifecycle.h"
#include "shell/Settings.h"
#include "shell/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

namespace lexipond {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using namespace testing;

TEST(SingleInstance, SecondCopyGivesUpWhileTheFirstRunsAndStartsWhenItEndsInTheWait) {
    TempFolder folder;
    const std::string lock = folder / "Lexipond.exe.lock";
    platform::SingleInstance first, second, third;
    ASSERT_TRUE(first.Acquire(lock, 0ms));
    EXPECT_FALSE(second.Acquire(lock, 50ms));
    EXPECT_FALSE(second.Held());

    std::thread ending([&first] {
        std::this_thread::sleep_for(100ms);
        first.Release();
    });
    EXPECT_TRUE(second.Acquire(lock, 3000ms));
    ending.join();
    EXPECT_FALSE(third.Acquire(lock, 0ms));
}

TEST(SingleInstance, LockFallsBackToAPrivateFolderAndNeverFollowsALink) {
    for (const char* bad : {static_cast<const char*>(nullptr), "", "relative", "/no/such/dir"}) {
        ScopedEnv env("XDG_RUNTIME_DIR", bad ? std::optional<std::string>(bad) : std::nullopt);
        platform::SingleInstance instance;
        EXPECT_TRUE(instance.Acquire(platform::InstanceLockPath("Lexipond.exe"), 0ms))
            << (bad ? bad : "(unset)");
    }
    TempFolder folder;
    WriteBytes(folder / "victim", "keep me");
    ASSERT_EQ(symlink((folder / "victim").c_str(), (folder / "Lexipond.exe.lock").c_str()), 0);
    platform::SingleInstance instance;
    EXPECT_FALSE(instance.Acquire(folder / "Lexipond.exe.lock", 0ms));
    EXPECT_EQ(ReadBytes(folder / "victim"), "keep me");
}

class LoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folders = {program.Slash(), program.Slash()};
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
    std::string Word(int32_t slot) {
        GetField(db, slot, kFieldWord);
        return db.textValue;
    }

    TempFolder program;
    Folders folders;
    StartupDialogs dialogs;
    RecordFile db;
    SettingsBlock settings{};
    int welcomeAnswer = 1;
    int welcomes = 0, readMes = 0, missingImports = 0;
};

TEST_F(LoadTest, FirstRunWelcomesAndFillsANewDatabaseSorted) {
    std::string list = "zebra\r\napple\r\nmoon\r\n";
    for (int i = 0; i < 9; ++i)
        list += "k" + std::to_string(i) + "\r\n";
    WriteBytes(program / "dImport.txt", list);
    welcomeAnswer = 2; // "View ReadMe", then start-up goes on

    ASSERT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(welcomes, 1);
    EXPECT_EQ(readMes, 1);
    EXPECT_EQ(settings.level, 3);
    ASSERT_EQ(db.liveCount, 12u);
    EXPECT_EQ(Word(0), "apple");
    EXPECT_EQ(Word(11), "zebra");
}

TEST_F(LoadTest, DamagedOrEmptySettingsFileBringsNoWelcome) {
    MakeWordDatabase(program / "LPDB.lbf", NumberedWords(10));
    for (const char* bytes : {"JUNK!", ""}) {
        WriteBytes(program / "dLexipond.dat", bytes);
        EXPECT_EQ(Load(), StartupOutcome::Ready);
        EXPECT_EQ(settings.level, 3);
        CloseRecordFile(db);
    }
    EXPECT_EQ(welcomes, 0);
}

TEST_F(LoadTest, FewerThanTenWordsAreToppedUpFromTheWordListElseTheProgramEnds) {
    WriteSettingsFile();
    const std::string list = program / "dImport.txt";
    struct Row {
        int have, listed;
        const char* prefix;
        StartupOutcome outcome;
        uint32_t live;
    };
    for (const Row& row : {Row{5, 12, "word", StartupOutcome::Ready, 12}, // five listed are there
                           Row{10, 30, "new", StartupOutcome::Ready, 10}, // full: no top-up
                           Row{4, 0, "", StartupOutcome::EndAfterMessage, 4}, // no word list
                           Row{4, 5, "new", StartupOutcome::EndAfterMessage, 9}}) {
        SCOPED_TRACE(::testing::Message() << row.have << " + " << row.listed);
        fs::remove(program / "LPDB.lbf");
        fs::remove(list);
        MakeWordDatabase(program / "LPDB.lbf", NumberedWords(row.have));
        if (row.listed > 0)
            WriteWordList(list, row.listed, row.prefix);
        const int messages = missingImports;
        EXPECT_EQ(Load(), row.outcome);
        CloseRecordFile(db);
        EXPECT_EQ(LiveWords(program / "LPDB.lbf"), row.live);
        EXPECT_EQ(missingImports - messages, row.outcome == StartupOutcome::EndAfterMessage);
    }
    EXPECT_EQ(welcomes, 0);
}

TEST_F(LoadTest, DamagedDatabaseIsKeptUnderADistinctNameBeforeANewOneIsMade) {
    WriteSettingsFile();
    WriteWordList(program / "dImport.txt", 15);
    const time_t now = time(nullptr);
    for (time_t when : {now, now + 1}) // taken names are not overwritten
        WriteBytes(DamagedFileName(program / "LPDB.lbf", when), "earlier");
    WriteBytes(program / "LPDB.lbf", std::string(5000, '\x7f'));
    EXPECT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(db.liveCount, 15u);
    int earlier = 0, damaged = 0;
    for (const auto& entry : fs::directory_iterator(program.Path())) {
        const std::string bytes = ReadBytes(entry.path().string());
        earlier += bytes == "earlier";
        damaged += bytes == std::string(5000, '\x7f') &&
                   entry.path().filename().string().rfind("LPDB.lbf damaged-", 0) == 0;
    }
    EXPECT_EQ(earlier, 2);
    EXPECT_EQ(damaged, 1);
}

TEST_F(LoadTest, DataFolderThatCannotHoldADatabaseEndsSilently) {
    folders.dataFolder = program / "missing/folder/";
    WriteWordList(program / "dImport.txt", 15);
    EXPECT_EQ(Load(), StartupOutcome::EndSilently);
    EXPECT_EQ(missingImports, 0);
}

TEST(ShutdownSave, SavesSettingsWithBackupAndStampsAndCopiesTheDatabase) {
    TempFolder data;
    const std::string dbPath = data / "LPDB.lbf";
    const timespec old[2] = {{946684800, 0}, {946684800, 0}}; // 2000-01-01
    SettingsBlock settings{};
    ApplyDefaultSettings(settings);
    settings.level = 5;
    for (bool openAtSave : {true, false}) { // the worker may have closed it already
        SCOPED_TRACE(openAtSave);
        fs::remove(dbPath);
        MakeWordDatabase(dbPath, NumberedWords(12));
        WriteBytes(data / "dLexipond.dat", "the previous settings file");
        RecordFile db;
        db.fileName = dbPath;
        db.writable = 1;
        ASSERT_EQ(OpenRecordFile(db), 1);
        db.numberValue = 7;
        PutField(db, 3, TotalField(0));
        if (!openAtSave)
            CloseRecordFile(db);
        ASSERT_EQ(utimensat(AT_FDCWD, dbPath.c_str(), old, 0), 0);
        std::recursive_mutex lock;
        const time_t before = time(nullptr);
        ShutdownSave(db, settings, data.Slash(), &lock);

        EXPECT_EQ(db.view, nullptr);
        EXPECT_EQ(ReadBytes(data / "dLexipond.dat"),
                  "WORD1100" + std::string(reinterpret_cast<char*>(&settings), 1000));
        EXPECT_EQ(ReadBytes(data / "dLexipond.dat Bak"), "the previous settings file");
        EXPECT_EQ(ReadBytes(dbPath + " Bak"), ReadBytes(dbPath));
        EXPECT_EQ(SumField(dbPath + " Bak", TotalField(0)), 7);
        struct stat info {};
        ASSERT_EQ(stat(dbPath.c_str(), &info), 0);
        EXPECT_GE(info.st_mtime, before);
    }
    RecordFile none;
    none.fileName = data / "gone/LPDB.lbf";
    ShutdownSave(none, settings, data / "gone/", nullptr); // nothing to save into
    EXPECT_FALSE(fs::exists(data / "gone"));
}

} // namespace
} // namespace lexipond
