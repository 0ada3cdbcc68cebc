// tessel run as the service manager drives it: a stop in the middle of a
// pass of many files loses nothing and closes the library; a reload picks up
// a changed script between passes; the metrics follow the passes.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <set>

#include "crypto/CryptoActions.h"
#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "tests/app/TesselProgram.h"

namespace {

namespace fs = std::filesystem;
using namespace tessel_test;
using testing_support::FileExists;
using testing_support::ListNames;
using testing_support::ReadFile;
using testing_support::WriteFile;

class Service : public ::testing::Test {
 protected:
  TExchange ex;

  bool LogHas(const std::string& fields, int times = 1) const {
    return CountFields(ex.log, fields) >= times;
  }
};

// One group carries each file through all five kinds of step and back to
// its own bytes, so every delivered file can be compared with its source.
void RoundTripGroup(TExchange& ex) {
  TTesselActionList* g = ScriptRegistry->AddGroup("Круг");
  g->SourceMask = ex.outbox + "*.dat";
  g->DestFolder = ex.received;
  g->BadFolder = ex.bankBad;
  g->Enabled = true;
  static_cast<TTesselAction_sign*>(g->CreateAction(kKindSign))->KeyId = "BANK";
  auto* enc = static_cast<TTesselAction_encrypt*>(g->CreateAction(kKindEncrypt));
  enc->SenderKey = "BANK";
  enc->ReceiverKeyList = "CLIENT";
  auto* dec = static_cast<TTesselAction_decrypt*>(g->CreateAction(kKindDecrypt));
  dec->ReceiverKey = "CLIENT";
  dec->SenderKey = "BANK";
  static_cast<TTesselAction_checksign*>(g->CreateAction(kKindCheckSign))->KeyList = "BANK";
  static_cast<TTesselAction_delsign*>(g->CreateAction(kKindDelSign))->DeleteCount = -1;
  for (int i = 0; i < g->ActionCount(); ++i) g->GetAction(i)->Enabled = true;
}

TEST_F(Service, AStopInTheMiddleOfAPassFinishesTheFileInHandAndLosesNothing) {
  constexpr int kFiles = 300;
  ex.WriteScript([this] { RoundTripGroup(ex); });
  std::map<std::string, std::string> original;
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "f" + std::to_string(i) + ".dat";
    original[name] = std::string(64 * 1024, static_cast<char>('a' + i % 26)) + name;
    WriteFile(ex.outbox + name, original[name]);
  }
  TProgram service = ex.Start({"run"});
  ASSERT_TRUE(WaitFor([&] { return LogHas("Подписать\tНет ошибки.", 3); })) << "no pass began";
  // The second signal comes while the first is being answered.
  service.Signal(SIGTERM);
  service.Signal(SIGINT);
  EXPECT_EQ(service.Wait(), 0) << service.Err();

  const std::vector<std::string> left = ListNames(ex.outbox);
  const std::vector<std::string> delivered = ListNames(ex.received);
  EXPECT_GT(left.size(), 0u) << "the stop came too late to cut the pass";
  EXPECT_EQ(left.size() + delivered.size(), static_cast<size_t>(kFiles));
  std::set<std::string> both(left.begin(), left.end());
  for (const std::string& name : delivered) {
    EXPECT_EQ(both.count(name), 0u) << name << " delivered and still in the source";
    EXPECT_EQ(ReadFile(ex.received + name), original[name]) << name;
  }
  for (const std::string& name : left) EXPECT_EQ(ReadFile(ex.outbox + name), original[name]);
  EXPECT_EQ(ListNames(ex.bankBad), std::vector<std::string>{});
  EXPECT_EQ(ListNames(ex.tmp), std::vector<std::string>{}) << "working folders cleaned up";

  // Every file begun was ended, then the library was closed.
  int begun = 0, ended = 0;
  for (const std::string& field : LogFields(ex.log)) {
    begun += field.rfind("Начало обработки файла\t", 0) == 0;
    ended += field.rfind("Конец обработки файла\t", 0) == 0;
  }
  EXPECT_EQ(begun, static_cast<int>(delivered.size()));
  EXPECT_EQ(ended, begun);
  const std::vector<std::string> fields = LogFields(ex.log);
  ASSERT_GE(fields.size(), 2u);
  EXPECT_EQ(fields[fields.size() - 2], "CryptoDone\t\tНет ошибки.");
  EXPECT_EQ(fields.back(), "SignDone\t\tНет ошибки.");
}

TEST_F(Service, AReloadPicksUpTheChangedScriptBetweenPassesAndTheMetricsFollow) {
  ex.WriteScript([this] { ex.AddBankGroup(); });
  const std::string metrics = ex.dir.Path() + "tessel.prom";
  TProgram service = ex.Start({"run", "--metrics", metrics});
  ASSERT_TRUE(WaitFor([&] { return LogHas("CryptoInit\t\tНет ошибки."); }));
  ASSERT_TRUE(WaitFor([&] { return FileExists(metrics); }));
  EXPECT_NE(ReadFile(metrics).find("tessel_library_open 1\n"), std::string::npos);

  // A file goes the bank's way.
  WriteFile(ex.outbox + "one.txt", "first");
  ASSERT_TRUE(WaitFor([&] { return FileExists(ex.inbox + "one.txt"); }, 30));
  ASSERT_TRUE(WaitFor(
      [&] { return ReadFile(metrics).find("outcome=\"delivered\"} 1\n") != std::string::npos; }));

  // The new script adds the client's group and uses another public-keys
  // folder (a copy): the library is opened again for it.
  const std::string pub2 = ex.dir.Sub("keys/public2/");
  for (const std::string& name : ListNames(ex.pub))
    fs::copy_file(platform::Cp1251ToUtf8(ex.pub + name), platform::Cp1251ToUtf8(pub2 + name));
  ex.WriteScript([&] {
    ScriptRegistry->PubKeysPath = pub2;
    ex.AddBankGroup();
    ex.AddClientGroup();
  });
  const size_t before = LogFields(ex.log).size();
  service.Signal(SIGHUP);
  ASSERT_TRUE(WaitFor([&] { return LogHas("Чтение настроек из ini-файла", 2); }));
  ASSERT_TRUE(WaitFor([&] { return LogHas("CryptoInit\t\tНет ошибки.", 2); }));
  std::vector<std::string> fields = LogFields(ex.log);
  fields.erase(fields.begin(), fields.begin() + static_cast<long>(before));
  ASSERT_GE(fields.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(fields.begin(), fields.begin() + 5),
            (std::vector<std::string>{"Чтение настроек из ini-файла", "CryptoDone\t\tНет ошибки.",
                                      "SignDone\t\tНет ошибки.", "SignInit:\t\tНет ошибки.",
                                      "CryptoInit\t\tНет ошибки."}));

  // The next pass runs the new script: the waiting file reaches the client.
  ASSERT_TRUE(WaitFor([&] { return FileExists(ex.received + "one.txt"); }, 30));
  EXPECT_EQ(ReadFile(ex.received + "one.txt"), "first");
  const std::string client = platform::Cp1251ToUtf8("group=\"Входящие\"");
  ASSERT_TRUE(WaitFor([&] { return ReadFile(metrics).find(client) != std::string::npos; }));

  service.Signal(SIGTERM);
  EXPECT_EQ(service.Wait(), 0);
  EXPECT_NE(ReadFile(metrics).find("tessel_library_open 0\n"), std::string::npos);
  EXPECT_EQ(LogFields(ex.log).back(), "SignDone\t\tНет ошибки.");
}

TEST_F(Service, AStopWhileAsleepEndsAtOnceWithoutAPass) {
  ex.WriteScript([this] { ex.AddBankGroup(); }, 3600);
  WriteFile(ex.outbox + "waits.txt", "x");
  TProgram service = ex.Start({"run"});
  ASSERT_TRUE(WaitFor([&] { return LogHas("CryptoInit\t\tНет ошибки."); }));
  service.Signal(SIGINT);
  EXPECT_EQ(service.Wait(30), 0) << "asleep for an hour, but woken";
  EXPECT_TRUE(FileExists(ex.outbox + "waits.txt"));
  EXPECT_EQ(LogFields(ex.log),
            (std::vector<std::string>{"Чтение настроек из ini-файла", "SignInit:\t\tНет ошибки.",
                                      "CryptoInit\t\tНет ошибки.", "CryptoDone\t\tНет ошибки.",
                                      "SignDone\t\tНет ошибки."}));
}

}  // namespace
