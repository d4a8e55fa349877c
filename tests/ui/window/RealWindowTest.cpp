// The built program in a real X window (run under xvfb-run): clicks at the
// buttons' coordinates, then SIGTERM, then the files it leaves behind.
#include "TestSupport.h"

#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace lexipond {
namespace {

using namespace testing;

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

    char* argv[] = {path.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
    // Once the first word shows: Correct, Incorrect, Skip, and one on the word.
    std::string clicks =
        "timeout 15 xdotool search --sync --onlyvisible --name '^Lexipond 1\\.9$' sleep 1";
    for (const char* at : {"85 285", "305 285", "520 285", "100 150"})
        clicks += std::string(" sleep 0.3 mousemove --window %1 ") + at + " click 1";
    EXPECT_EQ(std::system(clicks.c_str()), 0) << "no main window";
    const time_t stampedAfter = time(nullptr);
    kill(pid, SIGTERM);
    int status = -1;
    for (int i = 0; i < 150 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (kill(pid, SIGKILL) == 0) // still running after 15 s
        waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

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

} // namespace
} // namespace lexipond
