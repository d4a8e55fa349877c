// The built program in a real X window (the test runner provides Xvfb): clicks
// at the buttons' coordinates, then SIGTERM, then the files it leaves behind.
#include "TestSupport.h"
#include "shell/SettingsFile.h"

#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace lexipond {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using namespace testing;

std::string Capture(const std::string& command) {
    std::string output;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    return output;
}

// The main window's id, once it shows (empty after 15 s without it).
std::string FindMainWindow() {
    std::string id = Capture("timeout 15 xdotool search --sync --onlyvisible --name "
                             "'^Lexipond 1\\.9$' 2>/dev/null | head -n 1");
    return id.substr(0, id.find('\n'));
}

// SIGTERM, then the exit status (-1 when it did not end within 15 s).
int Terminate(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 150; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(100ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

class RealWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X display (scripts/run-tests.sh provides Xvfb)";
        if (Capture("command -v xdotool").empty())
            GTEST_SKIP() << "xdotool is not installed";
        fs::permissions(runtime.Path(), fs::perms::owner_all, fs::perm_options::replace);
        fs::copy_file(LEXIPOND_PROGRAM_PATH, program / "lexipond");
        const char* source = std::getenv("LEXIPOND_TEST_SOURCE_DIR");
        ASSERT_NE(source, nullptr);
        fs::copy_file(std::string(source) + "/resources/dImport.txt", program / "dImport.txt");
    }
    TempFolder program, home, runtime;
    // The program inherits these (and the X cookie and sanitizer settings).
    ScopedEnv homeEnv{"HOME", home.Path()}, runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path()},
        dataEnv{"XDG_DATA_HOME", home / "data"}, platformEnv{"QT_QPA_PLATFORM", "xcb"},
        langEnv{"LANG", "C.UTF-8"};
};

TEST_F(RealWindowTest, ClicksAreTalliedAndSigtermSavesEverything) {
    const std::string db = program / "LPDB.lbf";
    const std::string settings = program / "dLexipond.dat";
    SettingsBlock previous{};
    ApplyDefaultSettings(previous);
    previous.level = 5;
    previous.confirmQuit = 1;                                 // SIGTERM must save without asking
    ASSERT_TRUE(SaveSettingsFile(previous, program.Slash())); // a later run: no welcome
    const std::string previousBytes = ReadBytes(settings);

    std::string path = program / "lexipond";
    char* argv[] = {path.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
    const std::string window = FindMainWindow();
    if (window.empty()) {
        Terminate(pid);
        FAIL() << "no main window";
    }
    EXPECT_NE(Capture("xdotool getwindowgeometry " + window).find("604x316"), std::string::npos);
    std::this_thread::sleep_for(1000ms); // the worker's first word
    // Correct, Incorrect, Skip, and one on the word.
    for (auto [x, y] : {std::pair{85, 285}, {305, 285}, {520, 285}, {100, 150}}) {
        Capture("xdotool mousemove --window " + window + " " + std::to_string(x) + " " +
                std::to_string(y) + " click 1");
        std::this_thread::sleep_for(150ms);
    }
    const time_t stampedAfter = time(nullptr);
    EXPECT_EQ(Terminate(pid), 0);

    EXPECT_EQ(SumField(db, TotalField(0)), 2);
    EXPECT_EQ(SumField(db, CorrectField(0)), 1);
    const std::string saved = ReadBytes(settings);
    EXPECT_EQ(saved.size(), 1008u);
    EXPECT_EQ(saved.substr(0, 8), "WORD1100");
    EXPECT_EQ(saved[8 + 20], 5); // the level as it was read
    EXPECT_EQ(ReadBytes(settings + " Bak"), previousBytes);
    EXPECT_EQ(ReadBytes(db + " Bak"), ReadBytes(db));
    struct stat info {};
    ASSERT_EQ(stat(db.c_str(), &info), 0);
    EXPECT_GE(info.st_mtime, stampedAfter);
}

} // namespace
} // namespace lexipond
