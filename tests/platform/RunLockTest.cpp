// The run lock: a second holder is refused and told who holds it, and the
// lock goes with its holder, however that ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/RunLock.h"
#include "tests/support/TestSupport.h"

using platform::RunLock;

namespace {

TEST(RunLock, AnotherProcessIsRefusedAndNamedUntilTheHolderIsKilled) {
  testing_support::TempDir dir;
  const std::string settings = dir.Path() + "TesselScripts.ini";
  const pid_t child = testing_support::HoldRunLockInChild(settings);
  ASSERT_GT(child, 0);

  RunLock lock;
  EXPECT_EQ(lock.OtherHolder(settings), child);
  long holder = 0;
  EXPECT_EQ(lock.Acquire(settings, &holder), EWOULDBLOCK);
  EXPECT_EQ(holder, child);
  EXPECT_FALSE(lock.Held());

  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  // The lock file stays behind and does not matter.
  EXPECT_TRUE(testing_support::FileExists(RunLock::LockPath(settings)));
  EXPECT_EQ(lock.OtherHolder(settings), 0);
  EXPECT_EQ(lock.Acquire(settings, &holder), 0);
  EXPECT_TRUE(lock.Held());
  EXPECT_EQ(lock.Acquire(settings), 0);  // again: still held, nothing changes
  // Asking while holding keeps the lock: another runner is still refused.
  EXPECT_EQ(lock.OtherHolder(settings), 0);
  const pid_t other = ::fork();
  if (other == 0) ::_exit(RunLock().Acquire(settings) == EWOULDBLOCK ? 0 : 1);
  int status = -1;
  ASSERT_EQ(::waitpid(other, &status, 0), other);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the lock was dropped";
}

TEST(RunLock, ReleaseLetsTheNextRunnerInAndLocksAreNotShared) {
  testing_support::TempDir dir;
  const std::string one = dir.Path() + "one.ini", two = dir.Path() + "two.ini";
  {
    RunLock first;
    ASSERT_EQ(first.Acquire(one), 0);
    const pid_t child =
        testing_support::HoldRunLockInChild(two);  // another script's lock is another lock
    ASSERT_GT(child, 0);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    first.Release();
    EXPECT_FALSE(first.Held());
  }
  const pid_t child = testing_support::HoldRunLockInChild(one);
  EXPECT_GT(child, 0);
  if (child > 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
}

TEST(RunLock, AFolderThatCannotHoldTheLockFileGivesItsError) {
  RunLock lock;
  EXPECT_EQ(lock.Acquire("/nonexistent-folder-of-tests/TesselScripts.ini"), ENOENT);
  EXPECT_FALSE(lock.Held());
}

}  // namespace
