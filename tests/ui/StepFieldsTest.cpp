// The step editor's values: taken from a step, turned into a new step, for
// every kind by what the kind describes of itself.
#include <gtest/gtest.h>

#include <memory>

#include "crypto/CryptoActions.h"
#include "crypto/StepKinds.h"
#include "ui/StepFields.h"

namespace {

std::unique_ptr<TTesselAction> Build(const TStepFields& f) {
  return std::unique_ptr<TTesselAction>(BuildStep(CryptoStepKinds(), f));
}

TEST(BuildStep, UntouchedValuesGiveADisabledSignStepWithoutKeyOrCopy) {
  auto step = Build(TStepFields{});
  auto* sign = dynamic_cast<TTesselAction_sign*>(step.get());
  ASSERT_NE(sign, nullptr);
  EXPECT_EQ(sign->KeyId, "");
  EXPECT_EQ(sign->CopyTo, "");
  EXPECT_FALSE(sign->Enabled);
  // A number nobody touched is the kind's start value.
  TStepFields f;
  f.Kind = kKindDelSign;
  EXPECT_EQ(dynamic_cast<TTesselAction_delsign&>(*Build(f)).DeleteCount, -1);
}

TEST(BuildStep, TakesOnlyTheChosenKindsValues) {
  TStepFields f;
  f.Values[kKindSign]["KEY_ID"] = "S";
  f.Values[kKindCheckSign]["KEY_LIST"] = "C1;C2";
  f.Values[kKindDelSign]["COUNT"] = "7";
  f.Values[kKindEncrypt]["SENDER_KEY"] = "ES";
  f.Values[kKindEncrypt]["RECEIVER_KEY_LIST"] = "R1 R2";
  f.Values[kKindDecrypt]["RECEIVER_KEY"] = "DR";
  f.Values[kKindDecrypt]["SENDER_KEY"] = "DS";

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
  EXPECT_EQ(BuildStep(CryptoStepKinds(), f), nullptr);
}

TEST(BuildStep, KeepsTextsAsTypedAndTheCopyFolderOnlyWhileTicked) {
  TStepFields f;
  f.Kind = kKindSign;
  f.Values[kKindSign]["KEY_ID"] = "  id  ";
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
  EXPECT_EQ(f.Values.at(kKindEncrypt).at("SENDER_KEY"), "A");
  EXPECT_EQ(f.Values.at(kKindEncrypt).at("RECEIVER_KEY_LIST"), "B;C");
  // The other pages keep their start values.
  EXPECT_EQ(f.Values.size(), 1u);

  TTesselAction_delsign del;
  del.DeleteCount = 3;
  EXPECT_EQ(FieldsOfStep(del).Values.at(kKindDelSign).at("COUNT"), "3");
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

// A kind the editor has never heard of: its page, its fields and its values
// come from its own description alone.
class TStampStep : public TTesselAction {
 public:
  std::string Stamp;
  int32_t Copies = 0;
  std::string GetCaption() const override { return "Штамп"; }
  std::string GetParamText() const override { return Stamp; }
  std::string GetPageName() const override { return "Stamp"; }
  uint8_t GetKind() const override { return 9; }
  void ExchangeKeys(TStepKeys& keys) override {
    static constexpr TStepField kStamp{.Key = "STAMP", .Label = "Штамп:", .Control = "stamp"};
    static constexpr TStepField kCopies{.Key = "COPIES",
                                        .Label = "Копий:",
                                        .Control = "copies",
                                        .Look = TFieldLook::Number,
                                        .Missing = 2,
                                        .Min = 0,
                                        .Max = 9};
    keys.Text(kStamp, Stamp);
    keys.Integer(kCopies, Copies);
  }
};

TEST(KindPages, OfferEveryKindOfTheSetWithTheSettingsItDescribes) {
  static const TStepKinds kinds =
      TStepKinds().Add(9, [] { return static_cast<TTesselAction*>(new TStampStep); });
  const std::vector<TKindPage> pages = KindPages(kinds);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].Code, kKindNone);
  EXPECT_EQ(pages[0].Name, "None");
  EXPECT_TRUE(pages[0].Fields.empty());
  EXPECT_EQ(pages[1].Code, 9);
  EXPECT_EQ(pages[1].Choice, "Штамп...");
  EXPECT_EQ(pages[1].Name, "Stamp");
  ASSERT_EQ(pages[1].Fields.size(), 2u);
  EXPECT_STREQ(pages[1].Fields[0].Control, "stamp");
  EXPECT_EQ(pages[1].Fields[1].Look, TFieldLook::Number);

  TStepFields f;
  f.Kind = 9;
  f.Values[9]["STAMP"] = "Принято";
  std::unique_ptr<TTesselAction> step(BuildStep(kinds, f));
  auto& stamp = dynamic_cast<TStampStep&>(*step);
  EXPECT_EQ(stamp.Stamp, "Принято");
  EXPECT_EQ(stamp.Copies, 2) << "an untouched number is the kind's start value";
  EXPECT_EQ(FieldsOfStep(stamp).Values.at(9).at("COPIES"), "2");

  // The editor's list is the crypto program's six kinds in code order.
  std::vector<std::string> names;
  for (const TKindPage& page : KindPages(CryptoStepKinds())) names.push_back(page.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Sign", "CheckSign", "DelSign", "EnCrypt", "DeCrypt",
                                             "None"}));
}

}  // namespace
