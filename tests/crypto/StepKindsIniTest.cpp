// The kinds' own settings keys: their order in a saved section, their
// defaults, and a save followed by a load giving the same step.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "config/SettingsFile.h"
#include "crypto/CryptoActions.h"
#include "tests/support/TestSupport.h"

namespace {

namespace ts = testing_support;

struct SaveCase {
  const char* name;
  std::function<std::unique_ptr<TTesselAction>()> make;
  std::string section;  // the saved section's lines
};

std::unique_ptr<TTesselAction> Sign() {
  auto s = std::make_unique<TTesselAction_sign>();
  s->KeyId = "ID1";
  s->Enabled = true;
  return s;
}
std::unique_ptr<TTesselAction> Check() {
  auto s = std::make_unique<TTesselAction_checksign>();
  s->KeyList = "ID2;\"ID 3\"";
  s->CopyTo = "/arch";
  return s;
}
std::unique_ptr<TTesselAction> Delete() {
  auto s = std::make_unique<TTesselAction_delsign>();
  s->DeleteCount = -1;
  s->Enabled = true;
  return s;
}
std::unique_ptr<TTesselAction> Encrypt() {
  auto s = std::make_unique<TTesselAction_encrypt>();
  s->SenderKey = "ID1";
  s->ReceiverKeyList = "ID2;ID3";
  s->CopyTo = "/arch";
  s->Enabled = true;
  return s;
}
std::unique_ptr<TTesselAction> Decrypt() {
  auto s = std::make_unique<TTesselAction_decrypt>();
  s->ReceiverKey = "ID1";
  s->SenderKey = "ID2";
  return s;
}
std::unique_ptr<TTesselAction> EmptyEncrypt() {
  return std::make_unique<TTesselAction_encrypt>();
}

class SaveCases : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveCases, KeysInOrderThenTheCommonOnes) {
  ts::TempDir dir;
  const std::string file = dir.Path() + "s.ini";
  EXPECT_TRUE(SaveToIni(*GetParam().make(), file, "G\\ACTION_0"));
  EXPECT_EQ(ts::ReadFile(file), "[G\\ACTION_0]\r\n" + GetParam().section);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SaveCases,
    ::testing::Values(
        SaveCase{"Sign", Sign, "KEY_ID=ID1\r\nENABLE=-1\r\n"},
        SaveCase{"Check", Check, "KEY_LIST=ID2;\"ID 3\"\r\nCOPY_TO=/arch\r\nENABLE=0\r\n"},
        SaveCase{"Delete", Delete, "COUNT=-1\r\nENABLE=-1\r\n"},
        SaveCase{"Encrypt", Encrypt,
                 "SENDER_KEY=ID1\r\nRECEIVER_KEY_LIST=ID2;ID3\r\nCOPY_TO=/arch\r\nENABLE=-1\r\n"},
        SaveCase{"Decrypt", Decrypt, "RECEIVER_KEY=ID1\r\nSENDER_KEY=ID2\r\nENABLE=0\r\n"},
        SaveCase{"EmptyTextsAreLeftOut", EmptyEncrypt, "ENABLE=0\r\n"}),
    [](const ::testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });

TEST(StepKindsIni, LoadReadsEveryKindsKeys) {
  ts::TempDir dir;
  const std::string file = dir.Path() + "s.ini";
  ts::WriteFile(file,
                "[S]\r\nKEY_ID=ID1\r\nKEY_LIST=L\r\nCOUNT=3\r\nSENDER_KEY=ID2\r\n"
                "RECEIVER_KEY_LIST=ID3;ID4\r\nRECEIVER_KEY=ID5\r\nCOPY_TO=/c\r\nENABLE=-1\r\n");
  TTesselAction_sign sign;
  TTesselAction_checksign check;
  TTesselAction_delsign del;
  TTesselAction_encrypt enc;
  TTesselAction_decrypt dec;
  for (TTesselAction* step :
       std::initializer_list<TTesselAction*>{&sign, &check, &del, &enc, &dec}) {
    LoadFromIni(*step, file, "S");
    EXPECT_EQ(step->CopyTo, "/c") << step->GetCaption();
    EXPECT_TRUE(step->Enabled) << step->GetCaption();
  }
  EXPECT_EQ(sign.KeyId, "ID1");
  EXPECT_EQ(check.KeyList, "L");
  EXPECT_EQ(del.DeleteCount, 3);
  EXPECT_EQ(enc.SenderKey, "ID2");
  EXPECT_EQ(enc.ReceiverKeyList, "ID3;ID4");
  EXPECT_EQ(dec.ReceiverKey, "ID5");
  EXPECT_EQ(dec.SenderKey, "ID2");
}

TEST(StepKindsIni, MissingKeysReadAsDefaults) {
  ts::TempDir dir;
  const std::string file = dir.Path() + "s.ini";
  ts::WriteFile(file, "[S]\r\nACTION_TYPE=2\r\n");
  TTesselAction_delsign del;
  del.DeleteCount = 7;
  LoadFromIni(del, file, "S");
  EXPECT_EQ(del.DeleteCount, -1);  // all signatures
  EXPECT_FALSE(del.Enabled);

  TTesselAction_decrypt dec;
  dec.SenderKey = "old";
  LoadFromIni(dec, file, "S");
  EXPECT_EQ(dec.SenderKey, "");
}

TEST(StepKindsIni, SaveThenLoadGivesTheSameStep) {
  ts::TempDir dir;
  const std::string file = dir.Path() + "s.ini";
  auto saved = Encrypt();
  EXPECT_TRUE(SaveToIni(*saved, file, "X"));
  TTesselAction_encrypt loaded;
  LoadFromIni(loaded, file, "X");
  EXPECT_EQ(loaded.SenderKey, "ID1");
  EXPECT_EQ(loaded.ReceiverKeyList, "ID2;ID3");
  EXPECT_EQ(loaded.CopyTo, "/arch");
  EXPECT_TRUE(loaded.Enabled);
}

}  // namespace
