// SPDX-License-Identifier: GPL-3.0-or-later
// A writer killed at any moment: a child process writes answers as fast as
// the file takes them and reports each commit through a pipe; it is killed
// after a varied number of commits, at varied moments inside the next one.
// The file must then open as the program opens it, pass integrity_check and
// hold every answer reported, with no gap before the last one written.
#include "HistoryTestSupport.h"
#include "TestSupport.h"

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace lexipond {
namespace {

using namespace testing;

constexpr int kRounds = 24;

// The child's life: answers numbered from 0 until it is killed. Never returns.
[[noreturn]] void WriteUntilKilled(const std::string& folder, int round, int pipe) {
    AnswerHistory history;
    history.Start(folder, {[pipe](uint64_t committed) {
                      if (write(pipe, &committed, sizeof committed) != sizeof committed)
                          _exit(4);
                  }});
    const HistoryOpen outcome = history.OpenReport().outcome;
    if (outcome != HistoryOpen::Opened && outcome != HistoryOpen::Created)
        _exit(3); // the file a kill left could not be used as it was
    for (uint64_t i = 0;; ++i) {
        history.Append(MakeRow(static_cast<int64_t>(i), 0, round % kHistoryLearnerSlots, "Zov",
                               "round " + std::to_string(round), HistoryAnswer::Correct));
        while (i > history.Committed() + 8) // a short queue: the kill finds it writing
            std::this_thread::yield();
    }
}

TEST(HistoryKillTest, AKilledWriterLeavesAWholeFileWithEveryAnswerItReported) {
    TempFolder folder;
    const std::string path = folder / kHistoryFileName;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            WriteUntilKilled(folder.Slash(), round, fds[1]);
        }
        close(fds[1]);
        const uint64_t killAfter = 1 + static_cast<uint64_t>(round * 37 % 150);
        uint64_t reported = 0, value = 0;
        while (reported < killAfter && read(fds[0], &value, sizeof value) == sizeof value)
            reported = value;
        // Into the middle of the next commits, by a different amount each round.
        std::this_thread::sleep_for(std::chrono::microseconds(round * 97 % 1000));
        kill(child, SIGKILL);
        while (read(fds[0], &value, sizeof value) == sizeof value)
            reported = value; // what came before the kill
        close(fds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the child ended by itself with " << WEXITSTATUS(status);
        ASSERT_GE(reported, killAfter);

        EXPECT_EQ(RunSql(path, "PRAGMA integrity_check"), "ok");
        const std::string where =
            " FROM answers WHERE word = CAST('round " + std::to_string(round) + "' AS BLOB)";
        const uint64_t rows = std::stoull(RunSql(path, "SELECT count(*)" + where));
        EXPECT_GE(rows, reported) << "an answer reported committed is missing";
        EXPECT_EQ(RunSql(path, "SELECT max(at_utc) + 1" + where), std::to_string(rows))
            << "a gap among the answers written";
    }
    AnswerHistory history; // as the program opens it next
    history.Start(folder.Slash());
    EXPECT_EQ(history.OpenReport().outcome, HistoryOpen::Opened) << history.OpenReport().reason;
}

} // namespace
} // namespace lexipond
