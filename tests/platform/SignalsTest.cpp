// Stop and reload signals become flags and cut a sleep short; held-back
// signals arrive afterwards; a closed pipe ends nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

#include "platform/Signals.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> hookCalls{0};
void Hook() {
  hookCalls.fetch_add(1);
}

class Signals : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(platform::InstallSignalHandlers(&Hook), 0);
    platform::TakeReloadSignal();
    platform::WaitForSignal(0);  // drops a wake-up left by an earlier test
  }
  // Seconds a wait of timeoutMs lasted.
  static double Wait(int64_t timeoutMs) {
    const auto start = Clock::now();
    platform::WaitForSignal(timeoutMs);
    return std::chrono::duration<double>(Clock::now() - start).count();
  }
};

TEST_F(Signals, StopSignalsAreCountedAndRunTheHookReloadIsTakenOnce) {
  const int stops = platform::StopSignals(), hooks = hookCalls.load();
  ::raise(SIGHUP);
  ::raise(SIGHUP);
  EXPECT_EQ(platform::StopSignals(), stops);
  EXPECT_TRUE(platform::TakeReloadSignal());
  EXPECT_FALSE(platform::TakeReloadSignal()) << "two before a call count as one";

  ::raise(SIGTERM);
  ::raise(SIGINT);
  EXPECT_EQ(platform::StopSignals(), stops + 2);
  EXPECT_EQ(hookCalls.load(), hooks + 2);
  EXPECT_FALSE(platform::TakeReloadSignal());
}

TEST_F(Signals, ASignalBeforeTheWaitEndsItAtOnceAndOneDuringItEndsItEarly) {
  // Without a signal the wait lasts its time.
  EXPECT_GE(Wait(50), 0.045);

  // Arrived between two waits: the next one does not sleep.
  ::raise(SIGHUP);
  EXPECT_LT(Wait(30000), 5.0);
  // Consumed: the one after sleeps again.
  EXPECT_GE(Wait(50), 0.045);

  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child == 0) {
    ::usleep(100 * 1000);
    ::kill(parent, SIGTERM);
    ::_exit(0);
  }
  ASSERT_GT(child, 0);
  const int stops = platform::StopSignals();
  EXPECT_LT(Wait(30000), 10.0);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(platform::StopSignals(), stops + 1);
}

TEST_F(Signals, DeferredSignalsArriveWhenTheHoldEnds) {
  const int stops = platform::StopSignals();
  {
    platform::DeferredSignals hold;
    ::raise(SIGTERM);
    ::raise(SIGHUP);
    EXPECT_EQ(platform::StopSignals(), stops);
    EXPECT_FALSE(platform::TakeReloadSignal());
  }
  EXPECT_EQ(platform::StopSignals(), stops + 1);
  EXPECT_TRUE(platform::TakeReloadSignal());
}

TEST_F(Signals, WritingToAClosedPipeFailsWithoutEndingTheProcess) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[0]);
  EXPECT_EQ(::write(fds[1], "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  ::close(fds[1]);
}

}  // namespace
