// tessel left alone: under a service manager it says when it is ready, what
// its passes did, a reload and the stop, and its watchdog is pinged; a
// library that does not open is a failure line and runs the failure command
// instead of ending the service (unless --strict); once waits for that
// command before it ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "platform/Cp1251.h"
#include "tests/app/NotifySocket.h"
#include "tests/app/TesselProgram.h"

namespace {

namespace fs = std::filesystem;
using namespace tessel_test;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

class Unattended : public ::testing::Test {
 protected:
  TExchange ex;

  // The secret keys' folder gone: the library does not open.
  void LoseTheSecretKeys() {
    fs::rename(platform::Cp1251ToUtf8(ex.secret), platform::Cp1251ToUtf8(ex.dir.Path() + "moved"));
  }
  // A failure command that records the failure it was told, after a while.
  std::string Recorder(const std::string& file, const char* delay = "0") const {
    return "sleep " + std::string(delay) +
           "; printf '%s|%s|%s|%s\\n' \"$TESSEL_CLASS\" \"$TESSEL_GROUP\" \"$TESSEL_REASON\" "
           "\"$TESSEL_EPISODES\" > '" +
           file + "'";
  }
};

TEST_F(Unattended, UnderAServiceManagerRunTellsReadinessEachPassAReloadAndTheStop) {
  ex.WriteScript([this] { ex.AddBankGroup(); });
  WriteFile(ex.outbox + "pay0001.txt", "payment");
  TNotifySocket manager(ex.dir.Path(), "1000000");
  ASSERT_TRUE(manager.Bound());
  TProgram service = ex.Start({"run"});
  int pings = 0;
  EXPECT_EQ(manager.NextButPings(&pings),
            "READY=1\nSTATUS=Последний проход: не было.  После пуска: доставлено 0, в ошибки 0.  "
            "Ожидают: 0.");
  // The first pass's status, then the watchdog's pings between passes.
  const std::string status = manager.NextButPings(&pings);
  EXPECT_TRUE(status.starts_with("STATUS=Последний проход: ")) << status;
  EXPECT_NE(status.find("доставлено 1,"), std::string::npos) << status;
  EXPECT_TRUE(FileExists(ex.inbox + "pay0001.txt"));
  while (pings < 2) ASSERT_EQ(manager.Next(), "WATCHDOG=1");

  service.Signal(SIGHUP);
  std::string message = manager.NextButPings();
  // A pass's status may come before the reload is taken.
  while (message.starts_with("STATUS=")) message = manager.NextButPings();
  EXPECT_EQ(message, "RELOADING=1");
  EXPECT_TRUE(manager.NextButPings().starts_with("READY=1\nSTATUS=Последний проход: "));
  service.Signal(SIGTERM);
  do message = manager.NextButPings();
  while (message.starts_with("STATUS="));
  EXPECT_EQ(message, "STOPPING=1");
  EXPECT_EQ(service.Wait(), 0) << service.Err();
}

TEST_F(Unattended, WithoutTheLibraryRunStartsLoudlyUnlessStrict) {
  ex.WriteScript([this] { ex.AddBankGroup(); }, 3600);
  LoseTheSecretKeys();
  std::string err;
  EXPECT_EQ(ex.Run({"run", "--strict"}, nullptr, &err), 2);
  EXPECT_NE(err.find("--strict"), std::string::npos) << err;

  const std::string told = ex.dir.Path() + "told.txt";
  TProgram service = ex.Start({"run", "--on-failure", Recorder(told)});
  ASSERT_TRUE(WaitFor([&] { return FileExists(told) && !ReadFile(told).empty(); }));
  EXPECT_EQ(ReadFile(told),
            platform::Cp1251ToUtf8(
                "environment||Библиотека не открылась; группы, которым нужны ключи, ждут её|1\n"));
  EXPECT_EQ(CountFields(ex.log,
                        "Библиотека не открылась; группы, которым нужны ключи, ждут её "
                        "(подробности выше)"),
            1);
  service.Signal(SIGTERM);
  EXPECT_EQ(service.Wait(), 0) << service.Err();
}

TEST_F(Unattended, OnceWaitsForTheFailureCommandAndTakesTheScriptsWhenNoneIsGiven) {
  const std::string told = ex.dir.Path() + "told.txt";
  ex.WriteScript([this] { ex.AddBankGroup(); });
  // The script's command, as the window would save it.
  {
    std::string text = ReadFile(ex.ini);
    const size_t list = text.find("[LIST]");
    ASSERT_NE(list, std::string::npos);
    text.insert(list, "ON_FAILURE=" + Recorder(told, "1") + "\r\n");
    WriteFile(ex.ini, text);
  }
  LoseTheSecretKeys();
  EXPECT_EQ(ex.Run({"once"}), 2);
  // Written a second after the failure: once waited for it.
  ASSERT_TRUE(FileExists(told));
  EXPECT_TRUE(ReadFile(told).starts_with("environment||")) << ReadFile(told);
}

}  // namespace
