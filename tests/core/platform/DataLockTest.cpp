// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/DataLock.h"

#include "TestSupport.h"

#include <csignal>
#include <sys/wait.h>

namespace lexipond::platform {
namespace {

using namespace lexipond::testing;

// (One holder at a time, and a release lets the next in: the command-line tests,
// across processes.)
TEST(DataFolderLock, AnotherProcessHoldsItUntilItDies) {
    TempFolder folder;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DataFolderLock held;
        const char ok = held.TryAcquire(folder.Path()) == DataLockResult::Acquired ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        pause(); // until killed, holding the lock
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    DataFolderLock mine;
    EXPECT_EQ(mine.Acquire(folder.Path(), std::chrono::milliseconds(50)),
              DataLockResult::HeldByAnother);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(mine.TryAcquire(folder.Path()), DataLockResult::Acquired);
    close(ready[0]);
    close(ready[1]);
}

TEST(DataFolderLock, AMissingFolderIsUnavailableAndAReadOnlyOneStillLocks) {
    TempFolder folder;
    DataFolderLock lock;
    EXPECT_EQ(lock.TryAcquire(folder / "missing"), DataLockResult::Unavailable);
    fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(lock.TryAcquire(folder.Path()), DataLockResult::Acquired);
}

} // namespace
} // namespace lexipond::platform
