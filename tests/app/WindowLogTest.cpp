// One log for both programs: the same pass through the window ("Восстановить",
// "Пуск", a tick, "Стоп") and through tessel once writes the same bytes to the
// same log file, timestamps aside (each is a valid stamp of its run's time).
#include <QAction>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>

#include "crypto/CryptoActions.h"
#include "platform/Clock.h"
#include "platform/Cp1251.h"
#include "tests/app/TesselProgram.h"
#include "tests/ui/MainWindowFixture.h"

namespace ui_test {
namespace {

using testing_support::ListNames;
using testing_support::WriteFile;

class OneLog : public MainWindowTest {
 protected:
  std::string secret = dir.Sub("keys/secret/");
  std::string pub = dir.Sub("keys/public/");
  std::string outbox = dir.Sub(Cp("банк/исходящие/"));
  std::string archive = dir.Sub(Cp("банк/архив/"));
  std::string inbox = dir.Sub(Cp("клиент/входящие/"));
  std::string received = dir.Sub(Cp("клиент/полученные/"));
  std::string strays = dir.Sub(Cp("клиент/чужие/"));
  std::string bad = dir.Sub("bad/");
  std::string output = dir.Sub("output/");

  void SetUp() override {
    MainWindowTest::SetUp();
    for (const char* id : {"BANK", "CLIENT"}) {
      const std::string command = "'" + tessel_test::MarvikPath() + "' create " + id + " '" +
                                  platform::Cp1251ToUtf8(secret) + "' '" +
                                  platform::Cp1251ToUtf8(pub) + "' >/dev/null";
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    WriteScript([this] {
      ScriptRegistry->PubKeysPath = pub;
      ScriptRegistry->SecKeysPath = secret;
      TTesselActionList* out = ScriptRegistry->AddGroup(Cp("Исходящие"));
      out->SourceMask = outbox + "*";
      out->DestFolder = inbox;
      out->BadFolder = bad;
      static_cast<TTesselAction_sign*>(out->CreateAction(kKindSign))->KeyId = "BANK";
      auto* enc = static_cast<TTesselAction_encrypt*>(out->CreateAction(kKindEncrypt));
      enc->SenderKey = "BANK";
      enc->ReceiverKeyList = "CLIENT";
      enc->CopyTo = archive;
      TTesselActionList* in = ScriptRegistry->AddGroup(Cp("Входящие"));
      in->SourceMask = inbox + "*";
      in->DestFolder = received;
      in->BadFolder = bad;
      auto* dec = static_cast<TTesselAction_decrypt*>(in->CreateAction(kKindDecrypt));
      dec->ReceiverKey = "CLIENT";
      dec->SenderKey = "BANK";
      static_cast<TTesselAction_checksign*>(in->CreateAction(kKindCheckSign))->KeyList = "BANK";
      static_cast<TTesselAction_delsign*>(in->CreateAction(kKindDelSign))->DeleteCount = -1;
      // A file nobody encrypted: refused, to the bad-files folder.
      TTesselActionList* stray = ScriptRegistry->AddGroup(Cp("Чужие"));
      stray->SourceMask = strays + "*";
      stray->DestFolder = received;
      stray->BadFolder = bad;
      auto* dec2 = static_cast<TTesselAction_decrypt*>(stray->CreateAction(kKindDecrypt));
      dec2->ReceiverKey = "CLIENT";
      dec2->SenderKey = "BANK";
      for (TTesselActionList* g : {out, in, stray}) {
        g->Enabled = true;
        for (int i = 0; i < g->ActionCount(); ++i) g->GetAction(i)->Enabled = true;
      }
    });
  }

  // The same starting state for both runs: one file per group's source.
  void PutFiles() {
    for (const std::string& folder : {received, archive, bad})
      for (const std::string& name : ListNames(folder))
        std::filesystem::remove(platform::Cp1251ToUtf8(folder + name));
    WriteFile(outbox + Cp("платёж.txt"), Cp("Платёжное поручение № 1\r\n"));
    WriteFile(strays + "plain.txt", "plain");
  }

  // Every stamp the log clock could have written from a second before
  // start to a second after end.
  static std::set<std::string> Stamps(std::time_t start, std::time_t end) {
    std::set<std::string> stamps;
    for (std::time_t t = start - 1; t <= end + 1; ++t) {
      std::tm local{};
      localtime_r(&t, &local);
      stamps.insert(platform::FormatTimestamp(local));
    }
    return stamps;
  }

  static std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < bytes.size();) {
      const size_t end = bytes.find("\r\n", pos);
      EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
      if (end == std::string::npos) break;
      lines.push_back(bytes.substr(pos, end - pos));
      pos = end + 2;
    }
    return lines;
  }
};

TEST_F(OneLog, TheServiceWritesTheWindowsBytesForTheSamePass) {
  PutFiles();
  const std::time_t windowStart = platform::WallClockSeconds();
  Open();
  Action("actRun")->trigger();
  Tick();
  Action("actStop")->trigger();
  CloseWithoutQuestion();
  window.reset();
  const std::time_t windowEnd = platform::WallClockSeconds();
  const std::string windowBytes = log.Bytes();
  ASSERT_EQ(ListNames(received), std::vector<std::string>{Cp("платёж.txt")});
  ASSERT_EQ(ListNames(bad), std::vector<std::string>{"plain.txt"});

  PutFiles();
  const std::time_t serviceStart = platform::WallClockSeconds();
  tessel_test::TProgram once(tessel_test::TesselPath(), {"once", "--settings", ini},
                             dir.Path() + "tmp/", output);
  EXPECT_EQ(once.Wait(), 1) << "the stray file went to bad";
  const std::time_t serviceEnd = platform::WallClockSeconds();
  const std::string all = log.Bytes();
  ASSERT_EQ(all.compare(0, windowBytes.size(), windowBytes), 0) << "appended, never rewritten";
  const std::string serviceBytes = all.substr(windowBytes.size());

  const std::vector<std::string> byWindow = Lines(windowBytes), byService = Lines(serviceBytes);
  ASSERT_EQ(byService.size(), byWindow.size());
  ASSERT_GT(byWindow.size(), 20u);
  const std::set<std::string> windowStamps = Stamps(windowStart, windowEnd);
  const std::set<std::string> serviceStamps = Stamps(serviceStart, serviceEnd);
  for (size_t i = 0; i < byWindow.size(); ++i) {
    const size_t w = byWindow[i].find('\t'), s = byService[i].find('\t');
    ASSERT_NE(w, std::string::npos);
    ASSERT_NE(s, std::string::npos);
    EXPECT_EQ(byService[i].substr(s), byWindow[i].substr(w)) << i;
    EXPECT_EQ(windowStamps.count(byWindow[i].substr(0, w)), 1u) << byWindow[i].substr(0, w);
    EXPECT_EQ(serviceStamps.count(byService[i].substr(0, s)), 1u) << byService[i].substr(0, s);
  }
}

}  // namespace
}  // namespace ui_test
