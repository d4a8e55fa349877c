// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the settings and the words at start-up.
#include "TestSupport.h"
#include "core/lifecycle/Lifecycle.h"
#include "core/settings/SettingsFile.h"

#include <set>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace lexipond {
namespace {

namespace fs = std::filesystem;
using namespace testing;

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
    StartupDialogs dialogs{[this] { return ++welcomes; },
                           {},
                           [this] { ++missingImports; },
                           [this](const StartupMessage& message) {
                               offers.push_back(message);
                               return acceptRestore;
                           },
                           [this](const StartupMessage& message) { cannotUse.push_back(message); },
                           [this](const StartupMessage& message) { told.push_back(message); }};
    std::vector<StartupMessage> offers, cannotUse, told;
    bool acceptRestore = true;
    RecordFile db;
    SettingsBlock settings{};
    int welcomes = 0, missingImports = 0;
};

// Fewer than ten words are topped up from the word list, else the program ends;
// a damaged database is first kept under a name of its own.
TEST_F(StartupTest, WordsAreToppedUpFromTheWordListAndADamagedDatabaseIsKept) {
    WriteBytes(file, "JUNK!");
    const std::string damaged(5000, '\x7f');
    WriteBytes(DamagedFileName(words, time(nullptr)), "earlier"); // a taken name is not reused
    using enum StartupOutcome;
    // Words in the database (-1: a damaged file), words listed, their prefix, outcome,
    // live words afterwards.
    const std::tuple<const char*, int, int, const char*, StartupOutcome, uint32_t> rows[] = {
        {"five listed are there already", 5, 12, "word", Ready, 12},
        {"enough: no top-up", 10, 30, "new", Ready, 10},
        {"no word list", 4, 0, "", EndAfterMessage, 4},
        {"still too few", 4, 5, "new", EndAfterMessage, 9},
        {"a damaged database", -1, 15, "new", Ready, 15}};
    for (const auto& [name, have, listed, prefix, outcome, live] : rows) {
        SCOPED_TRACE(name);
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

// Runs check in a process without root's rights (as "nobody" when the tests
// run as root), so that file modes mean what they mean for a user.
bool AsOrdinaryUser(const std::function<bool()>& check) {
    if (geteuid() != 0)
        return check();
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> DamagedCopies(const std::string& folder, const std::string& name) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(name + " damaged-", 0) == 0)
            found.push_back(ReadBytes(entry.path().string()));
    return found;
}

// A damaged file next to a good backup: the restore is offered, the damaged
// file is kept either way, and a refused restore starts a new list with a word.
TEST_F(StartupTest, ADamagedDatabaseOrSettingsFileIsOfferedItsGoodBackup) {
    WriteWordList(list, 15, "new");
    MakeWordDatabase(words + kBackupSuffix, NumberedWords(40, "kept"));
    const std::string goodBackup = ReadBytes(words + kBackupSuffix);
    const std::string damaged(5000, '\x7f');
    const std::string goodSettings = "WORD1100" + std::string(1000, '\x01');
    WriteBytes(file + kBackupSuffix, goodSettings);

    WriteBytes(words, damaged);
    WriteBytes(file, "WORD1100 cut short");
    ASSERT_EQ(Load(), StartupOutcome::Ready);
    ASSERT_EQ(offers.size(), 2u) << "settings and database";
    EXPECT_EQ(offers[1].notice, StartupNotice::DamagedOfferBackup);
    EXPECT_EQ(offers[1].path, "LPDB.lbf");
    EXPECT_EQ(offers[1].other, "LPDB.lbf Bak") << "the backup offered";
    EXPECT_EQ(db.liveCount, 40u) << "the backup's words";
    EXPECT_EQ(settings.confirmQuit, 0x01010101) << "the backup's settings";
    EXPECT_EQ(DamagedCopies(folder.Path(), "LPDB.lbf"), std::vector<std::string>{damaged});
    EXPECT_EQ(DamagedCopies(folder.Path(), kSettingsFileName),
              std::vector<std::string>{"WORD1100 cut short"});
    EXPECT_TRUE(ReadBytes(words + kBackupSuffix) == goodBackup) << "the backup itself changed";
    CloseRecordFile(db);

    // Refused: the damaged file is kept and a new list starts, with a word to the user.
    acceptRestore = false;
    fs::remove(words);
    WriteBytes(words, std::string(3000, '\0'));
    ASSERT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(db.liveCount, 15u);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].notice, StartupNotice::DamagedKeptAside);
    EXPECT_EQ(told[0].other.rfind("LPDB.lbf damaged-", 0), 0u) << told[0].other;
    EXPECT_EQ(DamagedCopies(folder.Path(), "LPDB.lbf").size(), 2u);
    EXPECT_TRUE(ReadBytes(words + kBackupSuffix) == goodBackup);
}

// A good database that cannot be written is never called damaged: the start
// ends with the reason and leaves every file as it was.
TEST_F(StartupTest, AnUnwritableDatabaseOrFolderEndsTheStartTouchingNothing) {
    WriteWordList(list, 15, "new");
    MakeWordDatabase(words, NumberedWords(20));
    WriteBytes(file, "WORD1100" + std::string(1000, '\0'));
    fs::permissions(folder.Path(), fs::perms::all); // "nobody" may enter
    struct Row {
        const char* name;
        fs::perms fileMode, folderMode;
        StartupNotice notice;
        const char* pathEnd;
    };
    const Row rows[] = {
        {"read-only file", fs::perms::owner_read | fs::perms::others_read, fs::perms::all,
         StartupNotice::CannotWrite, "LPDB.lbf"},
        {"read-only folder", fs::perms::all,
         fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec,
         StartupNotice::CannotWrite, "/"},
        {"unreadable file", fs::perms::none, fs::perms::all, StartupNotice::CannotRead, "LPDB.lbf"},
    };
    const std::string before = ReadBytes(words);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::permissions(words, row.fileMode);
        fs::permissions(folder.Path(), row.folderMode);
        EXPECT_TRUE(AsOrdinaryUser([&] {
            cannotUse.clear();
            const bool ended = Load() == StartupOutcome::EndAfterMessage;
            CloseRecordFile(db);
            return ended && cannotUse.size() == 1 && cannotUse[0].notice == row.notice &&
                   cannotUse[0].path.ends_with(row.pathEnd) &&
                   cannotUse[0].reason == "permission denied";
        }));
        fs::permissions(folder.Path(), fs::perms::all);
        fs::permissions(words, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_TRUE(ReadBytes(words) == before);
        EXPECT_TRUE(DamagedCopies(folder.Path(), "LPDB.lbf").empty());
        EXPECT_FALSE(fs::exists(words + kBackupSuffix));
    }
}

// The first filling makes the database whole or not at all; with too few
// words there is no database afterwards, so the next start tries again.
TEST_F(StartupTest, TheFirstFillingLeavesAWholeDatabaseOrNone) {
    WriteWordList(list, 5, "few");
    EXPECT_EQ(Load(), StartupOutcome::EndAfterMessage);
    EXPECT_FALSE(fs::exists(words));
    WriteWordList(list, 12, "enough");
    EXPECT_EQ(Load(), StartupOutcome::Ready);
    EXPECT_EQ(db.liveCount, 12u);
    EXPECT_EQ(GetField(db, 0, kFieldWord), int32_t(12));
    EXPECT_STREQ(db.textValue, "enough1000") << "sorted";
}

// A read-only program folder that holds the learners' database keeps it in
// use; one without a database sends the data to the user's folder.
TEST(FindFoldersTest, AReadOnlyProgramFolderWithADatabaseIsNotHidden) {
    TempFolder program, home;
    ScopedEnv data{"XDG_DATA_HOME", home.Path()};
    // Read-only for the user who runs the program.
    fs::permissions(program.Path(),
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(home.Path(), fs::perms::all);
    EXPECT_TRUE(AsOrdinaryUser([&] {
        return FindFolders(program.Slash()).dataFolder != program.Slash();
    })) << "an empty read-only program folder keeps the data in the user's folder";
    MakeWordDatabase(program / "LPDB.lbf", NumberedWords(10));
    fs::permissions(program / "LPDB.lbf", fs::perms::all);
    EXPECT_TRUE(AsOrdinaryUser([&] {
        return FindFolders(program.Slash()).dataFolder == program.Slash();
    })) << "the database in the program folder was hidden by a new one elsewhere";
}

TEST(RemoveLeftoversTest, PartialFilesOfInterruptedWritesGoAndNothingElse) {
    TempFolder data;
    for (const char* name : {"LPDB.lbf", "LPDB.lbf.part77", "LPDB.lbf Bak.part8",
                             "dLexipond.dat.part9", "dLexipond.dat Bak.part1", "notes.part3"})
        WriteBytes(data / name, "x");
    RemoveLeftovers(data.Slash());
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(data.Path()))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"LPDB.lbf", "notes.part3"}));
}

// What the format check refuses, start-up refuses too: such a file is kept
// aside (or restored), never opened, and the exit never copies it over a
// good " Bak".
TEST_F(StartupTest, FilesTheCheckRefusesAreDamagedAtStartAndNeverBecomeTheBackup) {
    WriteWordList(list, 12, "new");
    MakeWordDatabase(words, NumberedWords(20));
    const std::string good = ReadBytes(words);
    std::string unterminated = good, oddType = good, noSlots = good;
    unterminated[1556 + 4 + 63] = 'x';              // the first word runs through its field
    oddType[1444 + 8] = '\xff';                     // field 2's type: 255
    noSlots.replace(1360, 4, std::string(4, '\0')); // capacity 0
    const std::pair<const char*, std::string> rows[] = {
        {"a word without its terminator", unterminated},
        {"a field of type 255", oddType},
        {"capacity 0", noSlots}};
    for (const auto& [name, bytes] : rows) {
        SCOPED_TRACE(name);
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            if (entry.path().filename().string().rfind("LPDB.lbf damaged-", 0) == 0)
                fs::remove(entry.path());
        WriteBytes(words + kBackupSuffix, good);
        WriteBytes(words, bytes);
        acceptRestore = false;
        offers.clear();
        ASSERT_EQ(Load(), StartupOutcome::Ready);
        EXPECT_EQ(offers.size(), 1u) << "the good backup was not offered";
        EXPECT_EQ(db.liveCount, 12u) << "a new list from the word list";
        CloseRecordFile(db);

        // The end of a run with a damaged file in place keeps the good backup.
        WriteBytes(words, bytes);
        db.fileName = words;
        ShutdownSave(db, settings, folder.Slash(), true);
        EXPECT_TRUE(ReadBytes(words + kBackupSuffix) == good) << "a damaged file became the backup";
    }
}

} // namespace
} // namespace lexipond
