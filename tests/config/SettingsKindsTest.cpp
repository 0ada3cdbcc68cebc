// The settings file with every step kind: the worked example byte for byte,
// and a save followed by a load of every field of every kind.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "config/SettingsFile.h"
#include "config/uIniUtil.h"
#include "crypto/CryptoActions.h"
#include "crypto/StepKinds.h"
#include "engine/uTesselTypes.h"
#include "tests/config/ScriptDump.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

class SettingsKinds : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedLogFile log{dir.Path() + "scripts.log"};
  std::string file = dir.Path() + "scripts.ini";
  TTesselGroups script{CryptoStepKinds()};

  template <class TKind>
  TKind* Add(TTesselActionList* group, uint8_t kind, const std::string& copyTo, bool enabled) {
    auto* step = dynamic_cast<TKind*>(group->CreateAction(kind));
    EXPECT_NE(step, nullptr);
    step->CopyTo = copyTo;
    step->Enabled = enabled;
    return step;
  }

  std::string Reloaded() {
    TTesselGroups loaded{CryptoStepKinds()};
    LoadFromIni(loaded, file);
    return DumpScript(loaded);
  }
};

const char* const kExampleLines[] = {
    "[MAIN]",
    "PUBKEYS=D:\\Keys\\Public",
    "SECKEYS=D:\\Keys\\Secret",
    "INTERVAL=10",
    "[LIST]",
    "0=Outgoing",
    "1=Incoming",
    "[Outgoing\\MAIN]",
    "SOUR_FILE_MASK=D:\\Exchange\\Out\\pay####.txt",
    "DEST_FOLDER=D:\\Exchange\\Sent",
    "BAD_FOLDER=D:\\Exchange\\Bad",
    "ENABLE=-1",
    "[Outgoing\\ACTION_0]",
    "ACTION_TYPE=0",
    "KEY_ID=ID1",
    "ENABLE=-1",
    "[Outgoing\\ACTION_1]",
    "ACTION_TYPE=3",
    "SENDER_KEY=ID1",
    "RECEIVER_KEY_LIST=ID2;ID3",
    "COPY_TO=D:\\Exchange\\Archive",
    "ENABLE=-1",
    "[Incoming\\MAIN]",
    "SOUR_FILE_MASK=D:\\Exchange\\In\\pay####.txt",
    "DEST_FOLDER=D:\\Exchange\\Received",
    "BAD_FOLDER=D:\\Exchange\\Bad",
    "ENABLE=0",
    "[Incoming\\ACTION_0]",
    "ACTION_TYPE=4",
    "RECEIVER_KEY=ID1",
    "SENDER_KEY=ID2",
    "ENABLE=-1",
    "[Incoming\\ACTION_1]",
    "ACTION_TYPE=1",
    "KEY_LIST=ID2",
    "ENABLE=0",
    "[Incoming\\ACTION_2]",
    "ACTION_TYPE=2",
    "COUNT=-1",
    "ENABLE=-1",
};

std::string ExampleBytes() {
  std::string bytes;
  for (const char* line : kExampleLines) bytes += std::string(line) + "\r\n";
  return bytes;
}

TEST_F(SettingsKinds, TheExampleScriptIsSavedByteForByte) {
  ASSERT_EQ(std::size(kExampleLines), 40u);
  script.PubKeysPath = "D:\\Keys\\Public";
  script.SecKeysPath = "D:\\Keys\\Secret";

  TTesselActionList* out = script.AddGroup("Outgoing");
  out->SourceMask = "D:\\Exchange\\Out\\pay####.txt";
  out->DestFolder = "D:\\Exchange\\Sent";
  out->BadFolder = "D:\\Exchange\\Bad";
  out->Enabled = true;
  Add<TTesselAction_sign>(out, kKindSign, "", true)->KeyId = "ID1";
  auto* encrypt = Add<TTesselAction_encrypt>(out, kKindEncrypt, "D:\\Exchange\\Archive", true);
  encrypt->SenderKey = "ID1";
  encrypt->ReceiverKeyList = "ID2;ID3";

  TTesselActionList* in = script.AddGroup("Incoming");
  in->SourceMask = "D:\\Exchange\\In\\pay####.txt";
  in->DestFolder = "D:\\Exchange\\Received";
  in->BadFolder = "D:\\Exchange\\Bad";
  in->Enabled = false;
  auto* decrypt = Add<TTesselAction_decrypt>(in, kKindDecrypt, "", true);
  decrypt->ReceiverKey = "ID1";
  decrypt->SenderKey = "ID2";
  Add<TTesselAction_checksign>(in, kKindCheckSign, "", false)->KeyList = "ID2";
  Add<TTesselAction_delsign>(in, kKindDelSign, "", true)->DeleteCount = -1;

  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_TRUE(WriteIniInteger("MAIN", "INTERVAL", 10, file));  // what the window writes right after
  EXPECT_EQ(ReadFile(file), ExampleBytes());
  EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"scripts.ini"});

  // And the example file loads back into the same script.
  const std::string built = DumpScript(script);
  WriteFile(file, ExampleBytes());
  EXPECT_EQ(Reloaded(), built);
  EXPECT_EQ(ReadIniInteger("MAIN", "INTERVAL", 3, file), 10);
}

TEST_F(SettingsKinds, SaveThenLoadReproducesEveryFieldOfEveryKind) {
  script.PubKeysPath = "/keys/Открытые";
  script.SecKeysPath = "/keys/Секретные";
  TTesselActionList* g = script.AddGroup("Все виды");
  g->SourceMask = "/вход/*.txt";
  g->DestFolder = "/выход";
  g->BadFolder = "/плохие";
  g->Enabled = true;
  Add<TTesselAction_sign>(g, kKindSign, "/copy/sign", true)->KeyId = "Иванов И.И.";
  Add<TTesselAction_sign>(g, kKindSign, "", false);  // every field empty
  Add<TTesselAction_checksign>(g, kKindCheckSign, "", true)->KeyList = "\"ID 1\"";
  Add<TTesselAction_checksign>(g, kKindCheckSign, "/c", false)->KeyList = ";";
  for (int32_t count : {-1, 0, 3, 256, INT_MIN, INT_MAX})
    Add<TTesselAction_delsign>(g, kKindDelSign, "", count % 2 == 0)->DeleteCount = count;
  auto* e = Add<TTesselAction_encrypt>(g, kKindEncrypt, " /spaced copy ", true);
  e->SenderKey = "ID1";
  e->ReceiverKeyList = "\"ID 2\";\"ID 3\"";
  auto* d = Add<TTesselAction_decrypt>(g, kKindDecrypt, "", false);
  d->ReceiverKey = "'ID1'";
  d->SenderKey = "ID2 ";
  Add<TTesselAction_none>(g, kKindNone, "/none", true);
  script.AddGroup("Second")->CreateAction(kKindDecrypt);

  const std::string before = DumpScript(script);
  ASSERT_NE(before.find("KeyList=\"ID 1\""), std::string::npos);  // the dump sees kind fields
  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_EQ(Reloaded(), before);
}

TEST_F(SettingsKinds, AProgramWiredWithTheKindsLoadsAndSavesEveryStep) {
  const std::string text =
      "[LIST]\r\n0=G\r\n[G\\MAIN]\r\nENABLE=-1\r\n"
      "[G\\ACTION_0]\r\nACTION_TYPE=3\r\nSENDER_KEY=A\r\nENABLE=-1\r\n"
      "[G\\ACTION_1]\r\nACTION_TYPE=5\r\nENABLE=-1\r\n";
  WriteFile(file, text);
  LoadFromIni(script, file);
  ASSERT_EQ(script.GetGroup(0)->ActionCount(), 2);
  EXPECT_NE(script.KeyLoader, nullptr);
  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_EQ(Reloaded(), DumpScript(script));
  EXPECT_TRUE(log.Fields().empty());
}

TEST_F(SettingsKinds, KindKeysKeepTheirOrderAndDefaults) {
  WriteFile(file,
            "[LIST]\r\n0=G\r\n"
            "[G\\ACTION_0]\r\nACTION_TYPE=2\r\n"
            "[G\\ACTION_1]\r\nACTION_TYPE=4\r\nSENDER_KEY=S\r\nRECEIVER_KEY=R\r\n"
            "[G\\ACTION_2]\r\nACTION_TYPE=2\r\nCOUNT=7x\r\n");
  LoadFromIni(script, file);
  TTesselActionList* g = script.GetGroup(0);
  ASSERT_EQ(g->ActionCount(), 3);
  EXPECT_EQ(dynamic_cast<TTesselAction_delsign*>(g->GetAction(0))->DeleteCount, -1);
  EXPECT_EQ(dynamic_cast<TTesselAction_delsign*>(g->GetAction(2))->DeleteCount, -1);
  EXPECT_FALSE(g->GetAction(0)->Enabled);
  EXPECT_TRUE(SaveToIni(script, file));
  std::vector<std::string> lines;
  ReadSectionLines("G\\ACTION_1", lines, file);
  EXPECT_EQ(lines, (std::vector<std::string>{"ACTION_TYPE=4", "RECEIVER_KEY=R", "SENDER_KEY=S",
                                             "ENABLE=0"}));
}

}  // namespace
