// The five cryptographic kinds against the library stand-in: what reaches
// the library, what is logged, and when a step succeeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "crypto/CryptoActions.h"
#include "crypto/Orlak.h"
#include "crypto/StepKinds.h"
#include "crypto/TKeyLoader.h"
#include "engine/FileRoad.h"
#include "engine/uTesselTypes.h"
#include "tests/crypto/OrlakDouble.h"
#include "tests/support/TestSupport.h"

namespace {

namespace od = orlak_double;
namespace ts = testing_support;
using Lines = std::vector<std::string>;

class StepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    od::Reset();
    InitEngine(CryptoStepKinds());
    ScriptRegistry->PubKeysPath = "/pub";
    in = dir.Sub("in/a.txt");
    out = dir.Sub("out/a.txt");
    copies = dir.Sub("copies/");
    ts::WriteFile(in, "payload");
  }
  void TearDown() override {
    DoneEngine();
    od::Reset();
  }

  // Runs the step and checks the input was left alone.
  bool Run(TTesselAction& step) {
    std::string output = out;
    const bool ok = step.Execute(in, output, ScriptRegistry->KeyLoader);
    EXPECT_EQ(output, out) << "no kind moves its output";
    EXPECT_EQ(ts::ReadFile(in), "payload");
    return ok;
  }

  TKeyLoader& Cache() { return *ScriptRegistry->KeyLoader; }

  ts::TempDir dir;
  ts::ScopedLogFile log{dir.Path() + "test.log"};
  std::string in, out, copies;
};

// --- Texts and kinds --------------------------------------------------------

TEST_F(StepTest, CaptionsParametersAndKinds) {
  TTesselAction_sign sign;
  sign.KeyId = "ID1";
  TTesselAction_checksign check;
  check.KeyList = "ID1; ID2";
  TTesselAction_delsign del;
  del.DeleteCount = -1;
  TTesselAction_encrypt enc;
  enc.SenderKey = "ID1";
  enc.ReceiverKeyList = "ID2;ID3";
  TTesselAction_decrypt dec;
  dec.ReceiverKey = "ID1";
  dec.SenderKey = "ID2";

  struct Row {
    const TTesselAction& step;
    const char* caption;
    const char* params;
    uint8_t kind;
  };
  const Row rows[] = {
      {sign, "Подписать", "Ключ: ID1", 0},
      {check, "Проверить подпись", "Ключ(и): ID1; ID2", 1},
      {del, "Удалить подпись", "Кол-во: -1", 2},
      {enc, "Шифровать", "Ключ: ID1 для ID2;ID3", 3},
      {dec, "Расшифровать", "Ключ: ID1 от ID2", 4},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.step.GetCaption(), r.caption);
    EXPECT_EQ(r.step.GetParamText(), r.params);
    EXPECT_EQ(r.step.GetKind(), r.kind);
  }
  del.DeleteCount = 300;
  EXPECT_EQ(del.GetParamText(), "Кол-во: 300");
}

TEST_F(StepTest, CreateActionMakesEveryKindEmptyAndDisabled) {
  TTesselActionList* group = ScriptRegistry->AddGroup("G");
  for (int code = 0; code <= 5; ++code) {
    TTesselAction* step = group->CreateAction(code);
    ASSERT_NE(step, nullptr) << code;
    EXPECT_EQ(step->GetKind(), code);
    EXPECT_FALSE(step->Enabled);
    EXPECT_TRUE(step->CopyTo.empty());
  }
  EXPECT_EQ(group->CreateAction(6), nullptr);
  EXPECT_EQ(group->ActionCount(), 6);
  EXPECT_TRUE(dynamic_cast<TTesselAction_sign*>(group->GetAction(0))->KeyId.empty());
  EXPECT_TRUE(dynamic_cast<TTesselAction_checksign*>(group->GetAction(1))->KeyList.empty());
  EXPECT_EQ(dynamic_cast<TTesselAction_delsign*>(group->GetAction(2))->DeleteCount, 0);
  auto* enc = dynamic_cast<TTesselAction_encrypt*>(group->GetAction(3));
  EXPECT_TRUE(enc->SenderKey.empty() && enc->ReceiverKeyList.empty());
  auto* dec = dynamic_cast<TTesselAction_decrypt*>(group->GetAction(4));
  EXPECT_TRUE(dec->SenderKey.empty() && dec->ReceiverKey.empty());
}

// --- Sign --------------------------------------------------------------------

TEST_F(StepTest, SignSucceedsAndCopies) {
  TTesselAction_sign step;
  step.KeyId = "ID1";
  step.CopyTo = copies;
  EXPECT_TRUE(Run(step));
  EXPECT_EQ(od::State().Calls.at(0).Args, (Lines{in, out, "ID1"}));
  EXPECT_EQ(log.Fields(),
            (Lines{"Подписать\t" + ResultMessage(0), "Копия - успешно\t" + copies + "a.txt"}));
  EXPECT_EQ(ts::ReadFile(copies + "a.txt"), "payload");
}

// A failing library call fails the step, logs its text and makes no copy; the
// same for every kind.
TEST_F(StepTest, FailingCallFailsTheStepWithoutCopy) {
  struct Row {
    std::unique_ptr<TTesselAction> step;
    uint16_t od::TState::*code;
    uint16_t value;
  };
  std::vector<Row> rows;
  rows.push_back({std::make_unique<TTesselAction_sign>(), &od::TState::SignCode, 6});
  rows.push_back({std::make_unique<TTesselAction_checksign>(), &od::TState::CheckCode, 30});
  rows.push_back({std::make_unique<TTesselAction_delsign>(), &od::TState::DelSignCode, 23});
  rows.push_back({std::make_unique<TTesselAction_encrypt>(), &od::TState::EncryptCode, 22});
  rows.push_back({std::make_unique<TTesselAction_decrypt>(), &od::TState::DecryptCode, 4});
  for (Row& r : rows) {
    od::Reset();
    od::State().*r.code = r.value;
    r.step->CopyTo = copies;
    ts::ScopedLogFile stepLog(dir.Path() + "step" + std::to_string(r.value) + ".log");
    EXPECT_FALSE(Run(*r.step)) << r.step->GetCaption();
    const Lines lines = stepLog.Fields();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), r.step->GetCaption() + "\t" +
                                (r.value == 30 ? "check_file_sign: " : "") +
                                ResultMessage(r.value));
    for (const std::string& line : lines) EXPECT_EQ(line.find("Копия"), std::string::npos);
    EXPECT_TRUE(ts::ListNames(copies).empty());
  }
}

// --- Check signatures ----------------------------------------------------------

TEST_F(StepTest, CheckWorksOnACopyAndLogsTheReport) {
  od::State().Records = {od::Record("ID1", 0), od::Record("ID2", 1)};
  od::State().Count = 2;
  TTesselAction_checksign step;
  step.KeyList = " \t ";  // blank: every signature must be valid
  EXPECT_FALSE(Run(step));
  EXPECT_EQ(od::State().Calls.at(0).Args, Lines{out});
  EXPECT_EQ(ts::ReadFile(out), "payload");
  EXPECT_EQ(log.Fields(),
            (Lines{"Проверить подпись\tЧисло подписей: 2", "Проверить подпись\tЭЦП ID1 : ЭЦП Верна",
                   "Проверить подпись\tЭЦП ID2 : ЭЦП Не верна"}));
}

TEST_F(StepTest, CheckWithRequiredKeysIgnoresOtherSigners) {
  od::State().Records = {od::Record("ID2", 1), od::Record("ID1", 0)};
  od::State().Count = 2;
  TTesselAction_checksign step;
  step.KeyList = "ID1";
  step.CopyTo = copies;
  EXPECT_TRUE(Run(step));
  EXPECT_EQ(log.Fields(), (Lines{"Проверить подпись\tКлюч ID1 : ЭЦП Верна",
                                 "Копия - успешно\t" + copies + "a.txt"}));
}

TEST_F(StepTest, CheckWithASingleSemicolonRequiresTwoEmptyKeys) {
  od::State().Records = {od::Record("ID1", 0)};
  od::State().Count = 1;
  TTesselAction_checksign step;
  step.KeyList = ";";
  EXPECT_FALSE(Run(step));
  const std::string notFound = "Проверить подпись\tКлюч  : ЭЦП на данном ключе не найдена";
  EXPECT_EQ(log.Fields(), (Lines{notFound, notFound}));
}

// --- Delete signatures ----------------------------------------------------------

TEST_F(StepTest, DeleteCountPassesOnlyItsLowByte) {
  const std::pair<int32_t, uint8_t> rows[] = {{-1, 255},  {3, 3},       {0, 0},
                                              {255, 255}, {256, 0},     {257, 1},
                                              {-256, 0},  {INT_MIN, 0}, {INT_MAX, 255}};
  for (auto [count, expected] : rows) {
    od::Reset();
    TTesselAction_delsign step;
    step.DeleteCount = count;
    EXPECT_TRUE(Run(step));
    EXPECT_EQ(od::State().DelSignCount, expected) << count;
    EXPECT_EQ(od::State().Calls.at(0).Args, Lines{out}) << "works on the copy";
  }
  EXPECT_EQ(ts::ReadFile(out), "payload");
}

// --- Encrypt --------------------------------------------------------------------

TEST_F(StepTest, EncryptPassesTheReceiversBlocksAfterTheirExtraction) {
  TTesselAction_encrypt step;
  step.SenderKey = "ID1";
  step.ReceiverKeyList = "ID2; ID3;ID2";
  EXPECT_TRUE(Run(step));
  const void* id2 = Cache().GetKey("ID2");
  const void* id3 = Cache().GetKey("ID3");
  EXPECT_EQ(od::State().Receivers, (std::vector<const void*>{id2, id3, id2}));
  EXPECT_EQ(od::State().ReceiverCount, 3);
  EXPECT_EQ(od::State().Reserved, 0u);
  EXPECT_EQ(od::State().ExtractCalls, 2);
  EXPECT_EQ(od::CallNames(), (Lines{"ExtractKey", "ExtractKey", "EnCryptFileEx"}));
  EXPECT_EQ(od::State().Calls.at(2).Args, (Lines{in, out, "ID1"}));
  EXPECT_EQ(log.Fields(),
            (Lines{"ExtractKey:\tID2\t" + ResultMessage(0), "ExtractKey:\tID3\t" + ResultMessage(0),
                   "Шифровать\t" + ResultMessage(0)}));

  // A second file extracts nothing more.
  EXPECT_TRUE(Run(step));
  EXPECT_EQ(od::State().ExtractCalls, 2);
}

TEST_F(StepTest, EncryptWithNoReceivers) {
  TTesselAction_encrypt step;
  Run(step);
  EXPECT_EQ(od::State().ReceiverCount, 0);
  EXPECT_TRUE(od::State().Receivers.empty());
  EXPECT_EQ(od::CallNames(), Lines{"EnCryptFileEx"});
}

TEST_F(StepTest, EncryptWithAFullCachePassesNull) {
  for (int i = 0; i < TKeyLoader::MaxKeys; ++i) Cache().GetKey("K" + std::to_string(i));
  TTesselAction_encrypt step;
  step.ReceiverKeyList = "K1;ID9";
  Run(step);
  EXPECT_EQ(od::State().Receivers, (std::vector<const void*>{Cache().GetKey("K1"), nullptr}));
}

TEST_F(StepTest, EncryptRefusesMoreReceiversThanTheCallCanCount) {
  TTesselAction_encrypt step;
  std::string list;
  for (int i = 0; i < 65535; ++i) list += "R ";
  step.ReceiverKeyList = list;
  EXPECT_TRUE(Run(step));
  EXPECT_EQ(od::State().ReceiverCount, 65535);

  od::Reset();
  step.ReceiverKeyList = list + "R";  // 65536 would reach the library as 0
  ts::ScopedLogFile stepLog(dir.Path() + "refused.log");
  EXPECT_FALSE(Run(step));
  for (const std::string& name : od::CallNames()) EXPECT_NE(name, "EnCryptFileEx");
  EXPECT_EQ(stepLog.Fields().back(), "Шифровать\t" + ResultMessage(7));
}

// --- Decrypt --------------------------------------------------------------------

TEST_F(StepTest, DecryptPassesTheSendersBlock) {
  TTesselAction_decrypt step;
  step.ReceiverKey = "ID1";
  step.SenderKey = "ID2";
  step.CopyTo = copies;
  EXPECT_TRUE(Run(step));
  EXPECT_EQ(od::State().SenderBlock, Cache().GetKey("ID2"));
  EXPECT_EQ(od::State().Calls.at(1).Args, (Lines{in, out, "ID1"}));
  EXPECT_EQ(log.Fields(),
            (Lines{"ExtractKey:\tID2\t" + ResultMessage(0), "Расшифровать\t" + ResultMessage(0),
                   "Копия - успешно\t" + copies + "a.txt"}));
}

TEST_F(StepTest, DecryptFailsWithTheSendersExtractionCodeAndPassesNullFromAFullCache) {
  od::State().ExtractCode = 6;
  TTesselAction_decrypt step;
  step.SenderKey = "Nobody";
  EXPECT_FALSE(Run(step));
  // The library is not asked to decrypt with a block it did not give.
  EXPECT_EQ(od::CallNames(), Lines{"ExtractKey"});
  EXPECT_EQ(log.Fields().back(), "Расшифровать\t" + ResultMessage(6));

  od::State().ExtractCode = 0;
  for (int i = 0; i < TKeyLoader::MaxKeys; ++i) Cache().GetKey("K" + std::to_string(i));
  step.SenderKey = "Late";
  Run(step);
  EXPECT_EQ(od::State().SenderBlock, nullptr);
}

}  // namespace

namespace {

// Lines a pass hands to it, kept.
class TKeptLines : public TLogSink {
 public:
  std::vector<std::string> Fields;
  void Write(TLogKind, const std::vector<std::string>& fields) override {
    for (const std::string& field : fields) Fields.push_back(field);
  }
};

// A pass reaches nothing its context does not hand it: its steps use the
// key cache of the registry that runs, whatever the program's registry is,
// and its lines go to the sink it is given, not to the event log.
TEST_F(StepTest, APassUsesWhatItIsHandedAndNoGlobal) {
  TTesselGroups own(CryptoStepKinds());
  own.PubKeysPath = "/pub";
  TTesselActionList* group = own.AddGroup("Own");
  group->Enabled = true;
  group->SourceMask = dir.Path() + "in/*.txt";
  group->DestFolder = dir.Sub("sent/");
  group->BadFolder = dir.Sub("bad/");
  auto* step = dynamic_cast<TTesselAction_encrypt*>(group->CreateAction(kKindEncrypt));
  step->Enabled = true;
  step->SenderKey = "ID1";
  step->ReceiverKeyList = "ID2";
  ts::ScopedTempPath temp(dir.Sub("tmp/"));

  TKeptLines lines;
  TPassContext context;
  context.Log = &lines;
  ASSERT_TRUE(own.RunAllGroups(context));

  EXPECT_GE(own.KeyLoader->FindKey("ID2"), 0) << "the running registry's cache";
  EXPECT_EQ(ScriptRegistry->KeyLoader->FindKey("ID2"), -1) << "the program's is not touched";
  EXPECT_EQ(od::State().Receivers, (std::vector<const void*>{own.KeyLoader->GetKey("ID2")}));
  EXPECT_TRUE(ts::FileExists(dir.Path() + "sent/a.txt"));
  EXPECT_NE(std::find(lines.Fields.begin(), lines.Fields.end(), "Шифровать"), lines.Fields.end());
  for (const std::string& field : log.Fields())
    EXPECT_EQ(field.find("Шифровать"), std::string::npos) << "a pass line in the event log";
}

}  // namespace

namespace {

// The steps of each road, kept.
class TKeptRoads : public TFileRoadSink {
 public:
  std::vector<TRoadStep> Steps;
  void GroupStarted(const std::string&) override {}
  void FileTaken(const TRoadTaken&) override {}
  std::optional<TRoadEarlier> DeliveredBefore(int) override { return std::nullopt; }
  void StepDone(TRoadStep step) override { Steps.push_back(std::move(step)); }
  void FileEnded(const TRoadEnd&) override {}
  void FileForgotten() override {}
  void GroupEnded() override {}
  void DeliveryRecovered(const std::string&, uint64_t, int64_t, const std::string&, bool) override {
  }
};

// A step names the key it used where its identifier has several, and the
// file's road keeps the fingerprints of all its keys.
TEST_F(StepTest, AStepNamesTheKeyOfAnIdentifierWithSeveralAndItsRoadKeepsEveryFingerprint) {
  TTesselGroups own(CryptoStepKinds());
  own.PubKeysPath = "/pub";
  TTesselActionList* group = own.AddGroup("Out");
  group->Enabled = true;
  group->SourceMask = dir.Path() + "in/*.txt";
  group->DestFolder = dir.Sub("sent/");
  group->BadFolder = dir.Sub("bad/");
  auto* sign = dynamic_cast<TTesselAction_sign*>(group->CreateAction(kKindSign));
  sign->Enabled = true;
  sign->KeyId = "CLIENT";
  auto* del = dynamic_cast<TTesselAction_delsign*>(group->CreateAction(kKindDelSign));
  del->Enabled = true;
  del->DeleteCount = -1;
  ts::ScopedTempPath temp(dir.Sub("tmp/"));
  od::State().KeysUsed = "CLIENT\tAAAA\t2\nBANK\tBBBB\t1\n";
  od::State().DelSignCode = 5;  // fails: no keys are taken from a failed call

  TKeptLines lines;
  TKeptRoads roads;
  TPassContext context;
  context.Log = &lines;
  context.Roads = &roads;
  own.RunAllGroups(context);

  const auto named = [&](const std::string& text) {
    return std::count(lines.Fields.begin(), lines.Fields.end(), text);
  };
  EXPECT_EQ(named("ключ CLIENT: отпечаток AAAA"), 1);
  EXPECT_EQ(named("ключ BANK: отпечаток BBBB"), 0) << "its only key needs no naming";
  ASSERT_EQ(roads.Steps.size(), 2u);
  EXPECT_EQ(roads.Steps[0].Fingerprints, "AAAA BBBB");
  EXPECT_EQ(roads.Steps[1].Fingerprints, "") << "a failed step used no key";
}

}  // namespace
