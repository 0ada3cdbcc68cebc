// The history as a pass keeps it: one record per file road, with the digests
// of the bytes taken and delivered, and the crash campaign's claim that every
// delivery has exactly one record and no record a delivery never made.
#include <gtest/gtest.h>

#include <memory>

#include "history/HistoryRecorder.h"
#include "history/Sha256.h"
#include "platform/Durable.h"
#include "tests/engine/CrashCampaign.h"
#include "tests/engine/PassFixture.h"

namespace {

class HistoryPass : public PassTest {
 protected:
  THistoryStore store{dir.Path() + "pass.history"};
  THistoryRecorder recorder{store, "/srv/x.ini", "1.0"};

  void Pass() {
    TPassContext context;
    context.Roads = &recorder;
    registry.RunAllGroups(context);
  }
  THistoryRecord Only(const std::string& name) {
    THistoryFilter filter;
    filter.NameMask = name;
    const auto found = store.Find(filter);
    EXPECT_EQ(found.size(), 1u) << name;
    return found.empty() ? THistoryRecord{} : found.front();
  }
};

TEST_F(HistoryPass, EachRoadIsOneRecordWithItsStepsDigestsAndOutcome) {
  TFakeStep* step = AddStep("A");
  step->CopyTo = dir.Sub("arch/");
  step->FailOn = {"forged.txt"};
  testing_support::WriteFile(in + "pay.txt", "payment");
  testing_support::WriteFile(in + "forged.txt", "forged");
  Pass();

  const THistoryRecord pay = Only("pay.txt");
  EXPECT_EQ(pay.Outcome, "delivered");
  EXPECT_EQ(pay.Group, "Out");
  EXPECT_EQ(pay.Source, in + "pay.txt");
  EXPECT_EQ(pay.Target, out + "pay.txt");
  EXPECT_EQ(pay.Sha256, Sha256Hex("payment"));
  EXPECT_EQ(pay.ResultSha256, Sha256Hex("payment+A"));
  EXPECT_EQ(pay.ResultSize, 9u);
  ASSERT_EQ(pay.Steps.size(), 1u);
  EXPECT_TRUE(pay.Steps[0].Ok);
  EXPECT_EQ(pay.Steps[0].Params, "A");
  EXPECT_NE(pay.Steps[0].Text.find("успешно"), std::string::npos);
  EXPECT_EQ(CopiesOf(pay), (std::vector<std::string>{dir.Path() + "arch/pay.txt"}));
  EXPECT_EQ(pay.Version, "1.0");

  const THistoryRecord forged = Only("forged.txt");
  EXPECT_EQ(forged.Outcome, "bad");
  EXPECT_EQ(forged.Target, bad + "forged.txt");
  EXPECT_EQ(forged.ResultSha256, Sha256Hex("forged"));
  ASSERT_EQ(forged.Steps.size(), 1u);
  EXPECT_FALSE(forged.Steps[0].Ok);
  EXPECT_EQ(forged.Steps[0].CopiedTo, "");
  EXPECT_EQ(store.Verify(), 0);
}

TEST_F(HistoryPass, FilesThatWaitLeaveOneRecordWhenTheWaitStarts) {
  TFakeStep* step = AddStep("A");
  step->MissingKey = "0A1B";
  testing_support::WriteFile(in + "a.txt", "a");
  testing_support::WriteFile(in + "b.txt", "b");
  Pass();
  Pass();
  Pass();
  const auto held = store.Find({});
  ASSERT_EQ(held.size(), 1u);  // the file that met the fault; the rest wait without a road
  EXPECT_EQ(held[0].Outcome, "held");
  EXPECT_NE(held[0].Why.find("0A1B"), std::string::npos);

  step->MissingKey.clear();  // mended: both go their road
  Pass();
  THistoryFilter delivered;
  delivered.Outcome = "delivered";
  EXPECT_EQ(store.Find(delivered).size(), 2u);
}

// Files larger than the digest's buffer are hashed beside the pass's copies:
// the bytes taken while they are copied in, a result a step changed while it
// is delivered; the record tells the same digests as reading the files would.
TEST_F(HistoryPass, LargeFilesKeepTheDigestsOfTheBytesTakenAndDelivered) {
  AddStep("A")->FailOn = {"forged.txt"};
  std::string large((size_t{17} << 20) + 11, 'x');
  for (size_t i = 0; i < large.size(); i += 4093) large[i] = static_cast<char>(i >> 12);
  testing_support::WriteFile(in + "large.txt", large);
  testing_support::WriteFile(in + "forged.txt", large + "!");
  Pass();

  const THistoryRecord delivered = Only("large.txt");
  EXPECT_EQ(delivered.Sha256, Sha256Hex(large));
  EXPECT_EQ(delivered.Size, large.size());
  EXPECT_EQ(delivered.ResultSha256, Sha256Hex(large + "+A"));
  EXPECT_EQ(delivered.ResultSize, large.size() + 2);
  const THistoryRecord forged = Only("forged.txt");
  EXPECT_EQ(forged.Outcome, "bad");
  EXPECT_EQ(forged.Sha256, Sha256Hex(large + "!"));
  EXPECT_EQ(forged.ResultSha256, forged.Sha256);
}

TEST_F(HistoryPass, RefusedDeliveryIsLeftOnceNotOnEveryRetry) {
  AddStep("A");
  group->DestFolder = dir.Path() + "missing";
  testing_support::WriteFile(in + "a.txt", "a");
  Pass();
  Pass();
  const auto left = store.Find({});
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].Outcome, "left");
  EXPECT_NE(left[0].Why.find("missing"), std::string::npos);
}

class HistoryCrash : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { platform::AtomicFile::ForceSideNamesForTests(GetParam()); }
  void TearDown() override { platform::AtomicFile::ForceSideNamesForTests(false); }
};

TEST_P(HistoryCrash, EveryDeliveryHasExactlyOneRecordAfterAKillAnywhere) {
  using crash_campaign::Folders;
  std::unique_ptr<TTesselGroups> registry;
  crash_campaign::Script script;
  script.build = [&](const Folders& f) -> TTesselGroups& {
    registry = std::make_unique<TTesselGroups>(TStepKinds::NoneOnly());
    TTesselActionList* out = registry->AddGroup("Out");
    out->Enabled = true;
    out->SourceMask = f.in + "*";
    out->DestFolder = f.mid;
    out->BadFolder = f.bad;
    out->CreateAction(kKindNone)->Enabled = true;
    TTesselActionList* in = registry->AddGroup("In");
    in->Enabled = true;
    in->SourceMask = f.mid + "*";
    in->DestFolder = f.out;
    in->BadFolder = f.bad;
    in->CreateAction(kKindNone)->Enabled = true;
    return *registry;
  };
  script.putSources = [](const Folders& f) {
    testing_support::WriteFile(f.in + "pay1.txt", "payment one");
    testing_support::WriteFile(f.in + "pay2.txt", "payment two");
  };
  script.expected = {{"pay1.txt", "payment one"}, {"pay2.txt", "payment two"}};
  // Each pass as a start of the program: its own database connection.
  script.pass = [](const Folders& f, TTesselGroups& groups) {
    THistoryStore store(f.root + "run.history");
    THistoryRecorder recorder(store, "x.ini", "1.0");
    TPassContext context;
    context.Roads = &recorder;
    groups.RunAllGroups(context);
  };
  script.claims = [](const Folders& f) {
    std::vector<std::string> targets;
    auto store = THistoryStore::OpenToRead(f.root + "run.history", nullptr);
    if (!store) return targets;
    for (const THistoryRecord& r : store->Find({}))
      if (r.Outcome == "delivered" || r.Outcome == "bad") targets.push_back(r.Target);
    EXPECT_EQ(store->Verify(), 0);
    return targets;
  };
  EXPECT_GT(crash_campaign::Run(script), 30);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutUnnamedFiles, HistoryCrash, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "SideNames" : "Unnamed"; });

}  // namespace
