// One runner per script: a second service, a window (the shared lock taken
// by this test as the window's "Пуск" takes it) and once are refused and
// told who runs; a killed holder leaves nothing in the way; list and check
// take no lock.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Cp1251.h"
#include "platform/RunLock.h"
#include "tests/app/TesselProgram.h"

namespace {

using namespace tessel_test;
using testing_support::FileExists;
using testing_support::WriteFile;

class Lock : public ::testing::Test {
 protected:
  TExchange ex;
  void SetUp() override {
    ex.WriteScript([this] { ex.AddBankGroup(); });
  }
};

TEST_F(Lock, AServiceRefusesASecondServiceOnceAndTheWindowUntilItIsKilled) {
  TProgram service = ex.Start({"run"});
  ASSERT_TRUE(WaitFor([&] { return CountFields(ex.log, "CryptoInit\t\tНет ошибки.") == 1; }));
  const std::string holder = "процесс " + std::to_string(service.Pid()) + " (tessel)";

  for (const char* command : {"run", "once"}) {
    std::string err;
    EXPECT_EQ(ex.Run({command}, nullptr, &err), 2) << command;
    EXPECT_NE(err.find(holder), std::string::npos) << err;
    EXPECT_NE(err.find("exchange.ini.lock"), std::string::npos) << err;
  }
  // The window's "Пуск" asks the same lock.
  platform::RunLock window;
  long who = 0;
  EXPECT_EQ(window.Acquire(ex.ini, &who), EWOULDBLOCK);
  EXPECT_EQ(who, service.Pid());
  // Only the first service logged anything.
  EXPECT_EQ(CountFields(ex.log, "Чтение настроек из ini-файла"), 1);

  // Looking needs no lock.
  EXPECT_EQ(ex.Run({"list"}), 0);
  EXPECT_EQ(ex.Run({"check"}), 0);

  // Killed outright: no clean end, and still nothing stale to remove.
  service.Signal(SIGKILL);
  EXPECT_EQ(service.Wait(), 128 + SIGKILL);
  EXPECT_TRUE(FileExists(ex.ini + ".lock"));
  WriteFile(ex.outbox + "after.txt", "x");
  EXPECT_EQ(ex.Run({"once"}), 0);
  EXPECT_TRUE(FileExists(ex.inbox + "after.txt"));
  EXPECT_EQ(window.Acquire(ex.ini), 0) << "once let go when it ended";
}

TEST_F(Lock, ARunningWindowKeepsTheServiceAndOnceOut) {
  platform::RunLock window;
  ASSERT_EQ(window.Acquire(ex.ini), 0);
  WriteFile(ex.outbox + "a.txt", "x");
  for (const char* command : {"run", "once"}) {
    std::string err;
    EXPECT_EQ(ex.Run({command}, nullptr, &err), 2) << command;
    EXPECT_NE(err.find("процесс " + std::to_string(::getpid())), std::string::npos) << err;
  }
  EXPECT_TRUE(FileExists(ex.outbox + "a.txt"));
  EXPECT_FALSE(FileExists(ex.log));
  window.Release();
  TProgram service = ex.Start({"run"});
  ASSERT_TRUE(WaitFor([&] { return FileExists(ex.inbox + "a.txt"); }, 30));
  service.Signal(SIGTERM);
  EXPECT_EQ(service.Wait(), 0);
}

}  // namespace
