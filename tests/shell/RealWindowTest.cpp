// The built program in a real X window (the test runner provides Xvfb): clicks
// at the buttons' coordinates, then SIGTERM, then the files it leaves behind.
#include "ShellTestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace lexipond {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::SumField;
using testing::TempFolder;

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

struct XWindow {
    std::string id;
    int width = 0, height = 0;
};

// Visible windows titled "Lexipond 1.9" of the given client width.
std::optional<XWindow> FindWindow(int width, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    do {
        std::istringstream ids(
            Capture("xdotool search --onlyvisible --name '^Lexipond 1\\.9$' 2>/dev/null"));
        for (std::string id; ids >> id;) {
            std::istringstream shell(Capture("xdotool getwindowgeometry --shell " + id));
            XWindow window{id};
            for (std::string line; std::getline(shell, line);) {
                if (line.rfind("WIDTH=", 0) == 0)
                    window.width = std::stoi(line.substr(6));
                if (line.rfind("HEIGHT=", 0) == 0)
                    window.height = std::stoi(line.substr(7));
            }
            if (window.width == width)
                return window;
        }
        std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < end);
    return std::nullopt;
}

void Click(const XWindow& window, int x, int y) {
    std::system(("xdotool mousemove --window " + window.id + " " + std::to_string(x) + " " +
                 std::to_string(y) + " click 1")
                    .c_str());
    std::this_thread::sleep_for(150ms);
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

    pid_t Start() {
        const std::string path = program / "lexipond";
        std::vector<std::string> env = {"HOME=" + home.Path(),
                                        "XDG_RUNTIME_DIR=" + runtime.Path(),
                                        "XDG_DATA_HOME=" + (home / "data"),
                                        std::string("DISPLAY=") + std::getenv("DISPLAY"),
                                        "QT_QPA_PLATFORM=xcb",
                                        "LANG=C.UTF-8"};
        // The X cookie and the sanitizers' settings (their leak suppressions) pass through.
        for (const char* name : {"XAUTHORITY", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
            if (const char* value = std::getenv(name))
                env.push_back(std::string(name) + "=" + value);
        const pid_t pid = fork();
        if (pid == 0) {
            std::vector<char*> envp;
            for (std::string& entry : env)
                envp.push_back(entry.data());
            envp.push_back(nullptr);
            char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
            execve(path.c_str(), argv, envp.data());
            _exit(127);
        }
        return pid;
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

    // One run: answers (x, y) clicks on the main window, then SIGTERM.
    void Run(bool firstRun, const std::vector<std::pair<int, int>>& clicks) {
        const pid_t pid = Start();
        ASSERT_GT(pid, 0);
        if (firstRun) {
            auto prompt = FindWindow(375, 15s);
            ASSERT_TRUE(prompt) << "no welcome prompt";
            Click(*prompt, 219, 98); // "Start"
        }
        auto window = FindWindow(604, 15s);
        ASSERT_TRUE(window) << "no main window";
        EXPECT_EQ(window->height, 316);
        std::this_thread::sleep_for(1000ms); // the worker's first word
        for (auto [x, y] : clicks)
            Click(*window, x, y);
        stampedAfter = time(nullptr);
        EXPECT_EQ(Terminate(pid), 0);
    }

    TempFolder program, home, runtime;
    time_t stampedAfter = 0;
};

TEST_F(RealWindowTest, ClicksAreTalliedAndSigtermSavesEverything) {
    const std::string db = program / "LPDB.lbf";
    const std::string settings = program / "dLexipond.dat";

    Run(true, {{85, 285}, {305, 285}, {520, 285}}); // Correct, Incorrect, Skip
    EXPECT_EQ(SumField(db, TotalField(0)), 2);
    EXPECT_EQ(SumField(db, CorrectField(0)), 1);
    const std::string firstSettings = ReadBytes(settings);
    ASSERT_EQ(firstSettings.size(), 1008u);
    EXPECT_EQ(firstSettings.substr(0, 8), "WORD1100");
    EXPECT_EQ(ReadBytes(db + " Bak"), ReadBytes(db));

    Run(false, {{85, 285}, {85, 285}, {100, 150}}); // two Correct, one on the word
    EXPECT_EQ(SumField(db, TotalField(0)), 4);
    EXPECT_EQ(SumField(db, CorrectField(0)), 3);
    EXPECT_EQ(ReadBytes(settings).size(), 1008u);
    EXPECT_EQ(ReadBytes(settings + " Bak"), firstSettings);
    EXPECT_EQ(ReadBytes(db + " Bak"), ReadBytes(db));
    EXPECT_EQ(SumField(db + " Bak", TotalField(0)), 4);
    struct stat info {};
    ASSERT_EQ(stat(db.c_str(), &info), 0);
    EXPECT_GE(info.st_mtime, stampedAfter);
}

} // namespace
} // namespace lexipond
