// The step editor's values: taken from a step, turned into a new step.
#include <gtest/gtest.h>

#include <memory>

#include "crypto/CryptoActions.h"
#include "ui/StepFields.h"

namespace {

std::unique_ptr<TTesselAction> Build(const TStepFields& f) {
  return std::unique_ptr<TTesselAction>(BuildStep(f));
}

TEST(BuildStep, UntouchedValuesGiveADisabledSignStepWithoutKeyOrCopy) {
  auto step = Build(TStepFields{});
  auto* sign = dynamic_cast<TTesselAction_sign*>(step.get());
  ASSERT_NE(sign, nullptr);
  EXPECT_EQ(sign->KeyId, "");
  EXPECT_EQ(sign->CopyTo, "");
  EXPECT_FALSE(sign->Enabled);
}

TEST(BuildStep, TakesOnlyTheChosenKindsValues) {
  TStepFields f;
  f.SignKeyId = "S";
  f.CheckKeyList = "C1;C2";
  f.DeleteCount = 7;
  f.EncryptSenderKey = "ES";
  f.EncryptReceivers = "R1 R2";
  f.DecryptReceiverKey = "DR";
  f.DecryptSenderKey = "DS";

  f.Kind = kKindSign;
  EXPECT_EQ(dynamic_cast<TTesselAction_sign&>(*Build(f)).KeyId, "S");
  f.Kind = kKindCheckSign;
  EXPECT_EQ(dynamic_cast<TTesselAction_checksign&>(*Build(f)).KeyList, "C1;C2");
  f.Kind = kKindDelSign;
  EXPECT_EQ(dynamic_cast<TTesselAction_delsign&>(*Build(f)).DeleteCount, 7);
  f.Kind = kKindEncrypt;
  auto enc = Build(f);
  EXPECT_EQ(dynamic_cast<TTesselAction_encrypt&>(*enc).SenderKey, "ES");
  EXPECT_EQ(dynamic_cast<TTesselAction_encrypt&>(*enc).ReceiverKeyList, "R1 R2");
  f.Kind = kKindDecrypt;
  auto dec = Build(f);
  EXPECT_EQ(dynamic_cast<TTesselAction_decrypt&>(*dec).ReceiverKey, "DR");
  EXPECT_EQ(dynamic_cast<TTesselAction_decrypt&>(*dec).SenderKey, "DS");
  f.Kind = kKindNone;
  EXPECT_EQ(Build(f)->GetKind(), kKindNone);
  f.Kind = 6;
  EXPECT_EQ(BuildStep(f), nullptr);
}

TEST(BuildStep, KeepsTextsAsTypedAndTheCopyFolderOnlyWhileTicked) {
  TStepFields f;
  f.Kind = kKindSign;
  f.SignKeyId = "  id  ";
  f.CopyTo = "/arch";
  auto unticked = Build(f);
  EXPECT_EQ(dynamic_cast<TTesselAction_sign&>(*unticked).KeyId, "  id  ");
  EXPECT_EQ(unticked->CopyTo, "");
  f.WantCopy = true;
  EXPECT_EQ(Build(f)->CopyTo, "/arch");
  // A ticked box with an empty folder is taken as it stands.
  f.CopyTo = "";
  EXPECT_EQ(Build(f)->CopyTo, "");
}

TEST(FieldsOfStep, ShowsTheKindItsFieldsAndItsCopyFolder) {
  TTesselAction_encrypt enc;
  enc.SenderKey = "A";
  enc.ReceiverKeyList = "B;C";
  enc.CopyTo = "/arch";
  enc.Enabled = true;
  const TStepFields f = FieldsOfStep(enc);
  EXPECT_EQ(f.Kind, kKindEncrypt);
  EXPECT_TRUE(f.WantCopy);
  EXPECT_EQ(f.CopyTo, "/arch");
  EXPECT_EQ(f.EncryptSenderKey, "A");
  EXPECT_EQ(f.EncryptReceivers, "B;C");
  // The other pages keep their start values.
  EXPECT_EQ(f.DecryptSenderKey, "");
  EXPECT_EQ(f.DecryptReceiverKey, "");
  EXPECT_EQ(f.SignKeyId, "");
  EXPECT_EQ(f.DeleteCount, -1);

  TTesselAction_delsign del;
  del.DeleteCount = 3;
  EXPECT_EQ(FieldsOfStep(del).DeleteCount, 3);
  EXPECT_FALSE(FieldsOfStep(del).WantCopy);

  TTesselAction_none none;
  EXPECT_EQ(FieldsOfStep(none).Kind, kKindNone);
}

TEST(FieldsOfStep, ChangingTheKindCarriesNoKeysOver) {
  TTesselAction_encrypt enc;
  enc.SenderKey = "A";
  enc.ReceiverKeyList = "B";
  TStepFields f = FieldsOfStep(enc);
  f.Kind = kKindDecrypt;
  auto dec = Build(f);
  EXPECT_EQ(dynamic_cast<TTesselAction_decrypt&>(*dec).SenderKey, "");
  EXPECT_EQ(dynamic_cast<TTesselAction_decrypt&>(*dec).ReceiverKey, "");
}

TEST(FieldsOfStep, RoundTripKeepsEveryKind) {
  TTesselAction_checksign check;
  check.KeyList = ";";
  check.CopyTo = "/c";
  auto copy = Build(FieldsOfStep(check));
  EXPECT_EQ(dynamic_cast<TTesselAction_checksign&>(*copy).KeyList, ";");
  EXPECT_EQ(copy->CopyTo, "/c");
  EXPECT_EQ(copy->GetParamText(), check.GetParamText());
}

}  // namespace
