// SPDX-License-Identifier: GPL-3.0-or-later
// The built executables as a user starts them: the informational options, and
// the program started straight from the build tree keeping its data in the
// per-user folder (so that deleting the build tree deletes no learner's work).
#include "ProcessSupport.h"
#include "TestSupport.h"

#include "LexipondVersion.h"

#include <csignal>
#include <set>
#include <spawn.h>
#include <sys/wait.h>

namespace lexipond {
namespace {

using namespace testing;

struct Output {
    int status = -1;
    std::string text;
};

Output RunCapturing(const std::string& command) {
    Output out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.text.append(buffer, n);
    out.status = pclose(pipe);
    return out;
}

struct OptionRow {
    const char* name;
    const char* program;
    const char* option;
    const char* expectedStart;
};

TEST(Executables, VersionAndHelpExitZeroAndNameTheProjectVersion) {
    // No display at all: the options must be answered before any window is made.
    ScopedEnv display{"DISPLAY", std::nullopt}, platform{"QT_QPA_PLATFORM", std::nullopt};
    const std::string version = LEXIPOND_VERSION;
    const OptionRow rows[] = {
        {"program --version", LEXIPOND_PROGRAM_PATH, "--version", "lexipond "},
        {"program --help", LEXIPOND_PROGRAM_PATH, "--help", "Usage: lexipond"},
        {"companion --version", LEXIPOND_DB_EXE, "--version", "lexipond-db "},
        {"companion --help", LEXIPOND_DB_EXE, "--help", "Usage: lexipond-db"},
    };
    for (const OptionRow& row : rows) {
        SCOPED_TRACE(row.name);
        const Output out = RunCapturing(std::string("'") + row.program + "' " + row.option);
        EXPECT_TRUE(WIFEXITED(out.status) && WEXITSTATUS(out.status) == 0) << out.text;
        EXPECT_EQ(out.text.rfind(row.expectedStart, 0), 0u) << out.text;
        if (std::string(row.option) == "--version") {
            EXPECT_EQ(out.text, row.expectedStart + version + "\n");
        }
    }
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

TEST(Executables, ProgramStartedFromTheBuildTreeKeepsItsDataInThePerUserFolder) {
    TempFolder home, runtime;
    ScopedEnv homeEnv{"HOME", home.Path()}, dataEnv{"XDG_DATA_HOME", home / "data"},
        runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path()},
        platformEnv{"QT_QPA_PLATFORM", std::string("offscreen")};
    const fs::path dataFolder = home / "data/Hollet/Lexipond";
    fs::create_directories(dataFolder);
    // A settings file already there: no first-run welcome to wait on.
    WriteBytes(dataFolder / "dLexipond.dat", "WORD1100" + std::string(1000, '\0'));

    const fs::path programFolder = fs::path(LEXIPOND_PROGRAM_PATH).parent_path();
    const std::set<std::string> before = Listing(programFolder);

    const pid_t pid = Spawn({LEXIPOND_PROGRAM_PATH});
    ASSERT_NE(pid, 0);
    const fs::path db = dataFolder / "LPDB.lbf";
    for (int i = 0; i < 300 && !fs::exists(db); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // let it reach its window
    kill(pid, SIGTERM);
    const int status = WaitEnd(pid, std::chrono::seconds(15));
    EXPECT_TRUE(ExitedWith(status, 0)) << status;

    EXPECT_GE(LiveWords(db), 10u) << "the word list was not imported into the per-user folder";
    EXPECT_TRUE(fs::exists(dataFolder / "LPDB.lbf Bak"));
    EXPECT_TRUE(fs::exists(dataFolder / "dLexipond.dat Bak"));
    EXPECT_EQ(Listing(programFolder), before) << "the program wrote beside itself";
}

} // namespace
} // namespace lexipond
