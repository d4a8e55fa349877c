// SPDX-License-Identifier: GPL-3.0-or-later
// The built program in a real X window (run under xvfb-run, or on an X server
// of the test's own): clicks at the buttons' coordinates, then SIGTERM, then
// the files it leaves behind; every other way a run can end; two copies on
// the same data.
#include "ProcessSupport.h"
#include "TestSupport.h"

#include "core/platform/DataLock.h"
#include "core/words/DatabaseCheck.h"

#include <csignal>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace lexipond {
namespace {

using namespace testing;
namespace fs = std::filesystem;

constexpr char kSettingsBefore[] = "WORD1100\x01"; // a later run that asks before an exit
std::string PreviousSettings() {
    return kSettingsBefore + std::string(999, '\0');
}

// A program folder as the package's would be without DefSet.txt: the data beside it.
struct ProgramFolder {
    ProgramFolder() {
        fs::copy_file(LEXIPOND_PROGRAM_PATH, program);
        fs::copy_file(fs::path(std::getenv("LEXIPOND_TEST_SOURCE_DIR")) / "resources/dImport.txt",
                      folder / "dImport.txt");
    }
    TempFolder folder;
    std::string program = folder / "lexipond";
    std::string db = folder / "LPDB.lbf";
    std::string settings = folder / "dLexipond.dat";
};


// Polls (at most 10 s) until the condition holds.
bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

bool HaveTools() {
    return std::system("command -v Xvfb >/dev/null && command -v xdotool >/dev/null") == 0;
}

// A virtual X server of the test's own, so that tests running side by side
// never see or click each other's windows, and one can be killed.
struct PrivateDisplay {
    PrivateDisplay() {
        int ends[2];
        if (pipe(ends) != 0)
            return;
        std::string fd = std::to_string(ends[1]);
        std::string program = "Xvfb";
        std::string args[] = {"-displayfd", fd, "-screen", "0", "1024x768x24", "-nolisten", "tcp"};
        std::vector<char*> argv{program.data()};
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        // Its output would only be noise in the test's.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ) != 0)
            pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        // The server writes its display number once it takes connections.
        pollfd ready{ends[0], POLLIN, 0};
        char number[16] = {};
        if (pid && poll(&ready, 1, 10000) == 1 && read(ends[0], number, sizeof number - 1) > 0)
            name = ":" + std::to_string(std::atoi(number));
        close(ends[0]);
    }
    ~PrivateDisplay() { Kill(); }
    void Kill() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = 0;
        }
    }
    // Runs an xdotool command line (with "%p" for the program's pid) on this display.
    bool XdoTool(const std::string& command, pid_t program = 0) const {
        std::string line = command;
        for (size_t at; (at = line.find("%p")) != std::string::npos;)
            line.replace(at, 2, std::to_string(program));
        const std::string shell = "DISPLAY=" + name + " timeout 15 xdotool " + line + " >/dev/null";
        return std::system(shell.c_str()) == 0;
    }
    pid_t pid = 0;
    std::string name;
};

// xdotool's way to the program's main window or prompt (they share the caption).
constexpr char kFindWindow[] =
    "search --sync --all --onlyvisible --pid %p --name '^Lexipond 1\\.9$'";

// The settings block's int32 at a block offset, as the file holds it (0 when not whole).
int32_t StoredNumber(const std::string& path, size_t offset) {
    const std::string bytes = ReadBytes(path);
    int32_t value = 0;
    if (bytes.size() == 1008)
        std::memcpy(&value, bytes.data() + 8 + offset, sizeof value);
    return value;
}
constexpr size_t kOnTopOffset = 4, kLevelOffset = 20, kNormalLeftOffset = 76;
// Opens the context menu and picks an item by its place from the top (Level
// is the fifth, On Top the seventh), then by its place in the submenu. The
// keys go by the keyboard, not to the window: the item may destroy it.
bool ChooseFromMenu(const PrivateDisplay& display, pid_t pid, int item, int subItem = 0) {
    std::string keys = "sleep 0.5 key";
    for (int i = 0; i < item; ++i)
        keys += " Down";
    if (subItem > 0) {
        keys += " Right sleep 0.3 key"; // the submenu opens on its first item
        for (int i = 1; i < subItem; ++i)
            keys += " Down";
    }
    return display.XdoTool(std::string(kFindWindow) + " mousemove --window %1 300 150 click 3",
                           pid) &&
           display.XdoTool(keys + " Return");
}

// Starts the program of `data` on the display of the test's own.
pid_t StartOn(const PrivateDisplay& display, const ProgramFolder& data, const TempFolder& runtime) {
    return Spawn({data.program}, {{"XDG_RUNTIME_DIR", runtime.Path()},
                                  {"QT_QPA_PLATFORM", "xcb"},
                                  {"DISPLAY", display.name}});
}

bool ValidDatabase(const std::string& path) {
    words::DatabaseFacts facts;
    std::string reason;
    return words::CheckWordDatabase(path, facts, reason) == words::CheckOutcome::Valid;
}



TEST(RealWindow, ClicksAreTalliedAndSigtermSavesEverythingWithoutAsking) {
    if (!std::getenv("DISPLAY") || std::system("command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "needs an X display (xvfb-run) and xdotool";
    TempFolder program, runtime;
    ScopedEnv runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path()}, platformEnv{"QT_QPA_PLATFORM", "xcb"};
    std::string path = program / "lexipond";
    std::filesystem::copy_file(LEXIPOND_PROGRAM_PATH, path);
    std::filesystem::copy_file(std::filesystem::path(std::getenv("LEXIPOND_TEST_SOURCE_DIR")) /
                                   "resources/dImport.txt",
                               program / "dImport.txt");
    const std::string db = program / "LPDB.lbf", settings = program / "dLexipond.dat";
    // A later run (no welcome) that asks before an exit: SIGTERM must save without asking.
    const std::string previous = "WORD1100\x01" + std::string(999, '\0');
    WriteBytes(settings, previous);

    const pid_t pid = Spawn({path});
    ASSERT_NE(pid, 0);
    // Once the first word shows: Correct, Incorrect, Skip, and one on the word.
    std::string clicks =
        "timeout 15 xdotool search --sync --onlyvisible --name '^Lexipond 1\\.9$' sleep 1";
    for (const char* at : {"85 285", "305 285", "520 285", "100 150"})
        clicks += std::string(" sleep 0.3 mousemove --window %1 ") + at + " click 1";
    EXPECT_EQ(std::system(clicks.c_str()), 0) << "no main window";
    const time_t stampedAfter = time(nullptr);
    kill(pid, SIGTERM);
    const int status = WaitEnd(pid, std::chrono::seconds(15));
    EXPECT_TRUE(ExitedWith(status, 0)) << status;

    EXPECT_EQ(SumField(db, TotalField(0)), 2);
    EXPECT_EQ(SumField(db, CorrectField(0)), 1);
    const std::string saved = ReadBytes(settings);
    EXPECT_EQ(saved.size(), 1008u);
    EXPECT_EQ(saved.substr(0, 9), previous.substr(0, 9)); // confirmQuit as read
    EXPECT_TRUE(ReadBytes(settings + " Bak") == previous);
    EXPECT_TRUE(ReadBytes(db + " Bak") == ReadBytes(db));
    struct stat info {};
    ASSERT_EQ(stat(db.c_str(), &info), 0);
    EXPECT_GE(info.st_mtime, stampedAfter);
}

TEST(RunEnds, ASecondCopyWithItsOwnRuntimeFolderEndsTouchingNothingAndLexipondDbIsRefused) {
    ProgramFolder data;
    TempFolder runtimeA, runtimeB, lists;
    WriteBytes(data.settings, PreviousSettings());
    const pid_t first = Spawn(
        {data.program}, {{"XDG_RUNTIME_DIR", runtimeA.Path()}, {"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_NE(first, 0);
    platform::DataFolderLock probe;
    EXPECT_TRUE(Eventually([&] {
        return fs::exists(data.db) &&
               probe.TryAcquire(data.folder.Path()) == platform::DataLockResult::HeldByAnother;
    })) << "the first copy never took the data";
    // Frozen, the first copy holds its lock and changes nothing itself.
    kill(first, SIGSTOP);
    const auto before = Contents(data.folder.Path());

    const pid_t second = Spawn(
        {data.program}, {{"XDG_RUNTIME_DIR", runtimeB.Path()}, {"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_NE(second, 0);
    WriteWordList(lists / "words.txt", 5, "extra");
    std::string output;
    FILE* pipe = popen(
        ("'" LEXIPOND_DB_EXE "' import '" + data.db + "' '" + (lists / "words.txt") + "' 2>&1")
            .c_str(),
        "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[512];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int dbStatus = pclose(pipe);
    EXPECT_TRUE(ExitedWith(dbStatus, 1)) << output;
    EXPECT_NE(output.find("Lexipond is using this database; close it first."), std::string::npos)
        << output;

    // Its wait (5 s) and one more try, then it ends as a second instance does.
    EXPECT_TRUE(ExitedWith(WaitEnd(second, std::chrono::seconds(20)), 0));
    EXPECT_EQ(Contents(data.folder.Path()), before);

    kill(first, SIGCONT);
    kill(first, SIGTERM);
    EXPECT_TRUE(ExitedWith(WaitEnd(first, std::chrono::seconds(15)), 0));
}

// A run of the real program on an X server of its own, for the tests that need
// no more than a data folder and a display.
class OwnDisplayRun : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveTools())
            GTEST_SKIP() << "needs Xvfb and xdotool";
        display.emplace();
        ASSERT_FALSE(display->name.empty()) << "Xvfb did not start";
    }
    pid_t Start() { return StartOn(*display, data, runtime); }

    ProgramFolder data;
    TempFolder runtime;
    std::optional<PrivateDisplay> display;
};

TEST_F(OwnDisplayRun, ChangesFromTheMenuAndAMoveAreOnDiskBeforeAKill) {
    WriteBytes(data.settings, PreviousSettings());
    const pid_t pid = Start();
    ASSERT_NE(pid, 0);
    EXPECT_TRUE(ChooseFromMenu(*display, pid, 5, 7)); // Level, Hardest
    EXPECT_TRUE(Eventually([&] { return StoredNumber(data.settings, kLevelOffset) == 6; }));
    // On Top makes a new native window, and Qt destroys the old one: the run goes on.
    EXPECT_TRUE(ChooseFromMenu(*display, pid, 7));
    EXPECT_TRUE(Eventually([&] { return StoredNumber(data.settings, kOnTopOffset) == 1; }));
    EXPECT_TRUE(display->XdoTool(std::string(kFindWindow) + " sleep 0.5 windowmove %1 40 50", pid));
    EXPECT_TRUE(Eventually([&] { return StoredNumber(data.settings, kNormalLeftOffset) == 40; }));
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the run ended by itself";

    kill(pid, SIGKILL);
    WaitEnd(pid, std::chrono::seconds(5));
    EXPECT_EQ(ReadBytes(data.settings).size(), 1008u);
    EXPECT_EQ(StoredNumber(data.settings, kLevelOffset), 6);
    EXPECT_TRUE(ReadBytes(data.settings + " Bak") == PreviousSettings());
}

TEST_F(OwnDisplayRun, SigtermDuringTheFirstRunWelcomeEndsWithStatusZeroAndAWholeDatabase) {
    // No settings file: a first run.
    const pid_t pid = Start();
    ASSERT_NE(pid, 0);
    EXPECT_TRUE(display->XdoTool(kFindWindow, pid)) << "no welcome";
    EXPECT_FALSE(fs::exists(data.db)) << "the welcome comes before the database";
    kill(pid, SIGTERM);
    EXPECT_TRUE(ExitedWith(WaitEnd(pid, std::chrono::seconds(15)), 0));
    // The start went on to its end and the end saved: whole files only.
    EXPECT_TRUE(ValidDatabase(data.db));
    EXPECT_GE(LiveWords(data.db), 10u);
    EXPECT_EQ(ReadBytes(data.settings).size(), 1008u);
    for (const auto& entry : fs::directory_iterator(data.folder.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos)
            << entry.path();
}

TEST_F(OwnDisplayRun, TheXServersKeysAnswerAndCtrlZTakesTheAnswerBack) {
    WriteBytes(data.settings, PreviousSettings());
    const pid_t pid = Start();
    ASSERT_NE(pid, 0);
    // The window takes no focus of its own: keys reach it all the same.
    ASSERT_TRUE(display->XdoTool(
        std::string(kFindWindow) + " sleep 0.5 mousemove --window %1 300 150", pid));
    const auto answered = [&] { return SumField(data.db, TotalField(0)); };
    const int64_t before = answered();
    EXPECT_TRUE(display->XdoTool("key Right"));
    EXPECT_TRUE(Eventually([&] { return answered() == before + 1; }));
    EXPECT_TRUE(display->XdoTool("key ctrl+z"));
    EXPECT_TRUE(Eventually([&] { return answered() == before; }));
    kill(pid, SIGTERM);
    EXPECT_TRUE(ExitedWith(WaitEnd(pid, std::chrono::seconds(15)), 0));
}

TEST(RunEnds, ALostDisplayOrAWindowDestroyedFromOutsideEndsTheRunSaved) {
    if (!HaveTools())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    const struct {
        const char* name;
        std::function<void(PrivateDisplay&, pid_t)> act;
        int exitCode; // Qt's exit() on a broken connection says 1
    } rows[] = {
        {"X server killed", [](PrivateDisplay& display, pid_t) { display.Kill(); }, 1},
        {"window destroyed",
         [](PrivateDisplay& display, pid_t pid) {
             EXPECT_TRUE(display.XdoTool(std::string(kFindWindow) + " windowclose %1", pid));
         },
         0},
        {"window destroyed after On Top made it anew",
         [](PrivateDisplay& display, pid_t pid) {
             EXPECT_TRUE(ChooseFromMenu(display, pid, 7)); // On Top
             EXPECT_TRUE(
                 display.XdoTool(std::string(kFindWindow) + " sleep 0.5 windowclose %1", pid));
         },
         0},
    };
    for (const auto& [name, act, exitCode] : rows) {
        SCOPED_TRACE(name);
        ProgramFolder data;
        TempFolder runtime;
        PrivateDisplay display;
        ASSERT_FALSE(display.name.empty()) << "Xvfb did not start";
        WriteBytes(data.settings, PreviousSettings());
        const pid_t pid = StartOn(display, data, runtime);
        ASSERT_NE(pid, 0);
        // Up to its first word, which the window paints once the worker runs.
        EXPECT_TRUE(display.XdoTool(std::string(kFindWindow) + " sleep 0.5", pid));
        const time_t stampedAfter = time(nullptr);
        act(display, pid);
        EXPECT_TRUE(ExitedWith(WaitEnd(pid, std::chrono::seconds(10)), exitCode));
        EXPECT_EQ(ReadBytes(data.settings).size(), 1008u);
        EXPECT_TRUE(ReadBytes(data.settings + " Bak") == PreviousSettings());
        EXPECT_TRUE(ValidDatabase(data.db));
        EXPECT_TRUE(ReadBytes(data.db + " Bak") == ReadBytes(data.db));
        struct stat info {};
        ASSERT_EQ(stat(data.db.c_str(), &info), 0);
        EXPECT_GE(info.st_mtime, stampedAfter) << "the end stamps the database";
    }
}

} // namespace
} // namespace lexipond
