// The first-run demonstration that scripts/run.sh prepares next to the
// program: its settings load, and one pass carries every sample file along the
// whole road with the real library and keys.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "runtime/CryptoSession.h"
#include "runtime/ScriptSettings.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::FileExists;
using testing_support::ListNames;
using testing_support::ReadFile;
using testing_support::TempDir;

class DemoSetup : public ::testing::Test {
 protected:
  TempDir bin;
  testing_support::ScopedLogFile log{bin.Path() + "TesselScripts.log"};
  testing_support::ScopedTempPath temp{bin.Sub("tmp/")};
  std::string ini = bin.Path() + "TesselScripts.ini";
  std::string demo = bin.Path() + "demo/";

  void SetUp() override {
    std::filesystem::copy_file(TESSEL_MARVIK, platform::Cp1251ToUtf8(bin.Path() + "marvik"));
  }
  int Prepare() {
    const std::string command =
        "bash '" TESSEL_DEMO_SETUP "' '" + platform::Cp1251ToUtf8(bin.Path()) + "' >/dev/null";
    return std::system(command.c_str());
  }
};

TEST_F(DemoSetup, PreparesTheExchangeOnceAndLeavesAnExistingSettingsFileAlone) {
  ASSERT_EQ(Prepare(), 0);
  ASSERT_TRUE(FileExists(ini));
  const std::string settings = ReadFile(ini);
  EXPECT_EQ(ListNames(demo + "bank/outbox").size(), 4u);
  EXPECT_TRUE(FileExists(demo + "keys/public/BANK.pub"));
  EXPECT_TRUE(FileExists(demo + "keys/secret/CLIENT.sec"));

  // Not a second time: the operator's own script and folders stay.
  std::filesystem::remove_all(platform::Cp1251ToUtf8(demo + "bank/outbox"));
  ASSERT_EQ(Prepare(), 0);
  EXPECT_EQ(ReadFile(ini), settings);
  EXPECT_FALSE(FileExists(demo + "bank/outbox"));
}

TEST_F(DemoSetup, OnePassCarriesEverySampleFileToTheClient) {
  ASSERT_EQ(Prepare(), 0);
  std::vector<std::string> samples = ListNames(demo + "bank/outbox");
  std::map<std::string, std::string> original;
  for (const std::string& name : samples) original[name] = ReadFile(demo + "bank/outbox/" + name);

  EXPECT_EQ(LoadScript(ini), 3);
  ASSERT_EQ(ScriptRegistry->GroupCount(), 2);
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->Name, "Исходящие банка");
  EXPECT_EQ(ScriptRegistry->GetGroup(1)->Name, "Входящие клиента");
  EXPECT_EQ(ScriptRegistry->GetGroup(1)->ActionCount(), 3);

  // "Пуск": the key utility next to the program, then the library.
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  ::setenv("PATH", platform::Cp1251ToUtf8(bin.Path()).c_str(), 1);
  TCryptoSession session;
  bool utilityFailed = false;
  session.OnKeyUtilityError = [&](const std::string&) { utilityFailed = true; };
  session.InitCrypto(ScriptRegistry->SecKeysPath, ScriptRegistry->PubKeysPath);
  ::setenv("PATH", savedPath.c_str(), 1);
  EXPECT_FALSE(utilityFailed);

  ScriptRegistry->RunAllGroups();
  session.DoneCrypto();

  EXPECT_EQ(ListNames(demo + "bank/outbox"), std::vector<std::string>{});
  EXPECT_EQ(ListNames(demo + "client/inbox"), std::vector<std::string>{});
  EXPECT_EQ(ListNames(demo + "bank/bad"), std::vector<std::string>{});
  EXPECT_EQ(ListNames(demo + "client/bad"), std::vector<std::string>{});
  EXPECT_EQ(ListNames(demo + "bank/archive"), samples);
  EXPECT_EQ(ListNames(demo + "client/received"), samples);
  for (const std::string& name : samples) {
    EXPECT_EQ(ReadFile(demo + "client/received/" + name), original[name]) << name;
    EXPECT_NE(ReadFile(demo + "bank/archive/" + name), original[name]) << name;
  }
  int verified = 0;
  for (const std::string& line : log.Fields())
    if (line == "Проверить подпись\tКлюч BANK : ЭЦП Верна") ++verified;
  EXPECT_EQ(verified, static_cast<int>(samples.size()));
  ScriptRegistry->ClearGroups();
}

}  // namespace
