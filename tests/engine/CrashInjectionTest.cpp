// A two-group exchange of do-nothing steps killed at every file operation.
#include <memory>

#include "platform/Durable.h"
#include "tests/engine/CrashCampaign.h"

namespace {

using crash_campaign::Folders;

class CrashInjection : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { platform::AtomicFile::ForceSideNamesForTests(GetParam()); }
  void TearDown() override { platform::AtomicFile::ForceSideNamesForTests(false); }
};

TEST_P(CrashInjection, NothingLostNothingTwiceNothingLeftBehind) {
  std::unique_ptr<TTesselGroups> registry;
  crash_campaign::Script script;
  script.build = [&](const Folders& f) -> TTesselGroups& {
    registry = std::make_unique<TTesselGroups>(TStepKinds::NoneOnly());
    TTesselActionList* out = registry->AddGroup("Out");
    out->Enabled = true;
    out->SourceMask = f.in + "*";
    out->DestFolder = f.mid;
    out->BadFolder = f.bad;
    TTesselAction* step = out->CreateAction(kKindNone);
    step->Enabled = true;
    step->CopyTo = f.arch;
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
    // An older file of the same name in the final folder is replaced.
    testing_support::WriteFile(f.out + "pay2.txt", "yesterday");
    testing_support::WriteFile(f.arch + "pay1.txt", "yesterday");
  };
  script.expected = {{"pay1.txt", "payment one"}, {"pay2.txt", "payment two"}};
  const int points = crash_campaign::Run(script);
  EXPECT_GT(points, 40);  // the campaign went through the whole exchange
  RecordProperty("kill_points", points);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutUnnamedFiles, CrashInjection, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "SideNames" : "Unnamed"; });

}  // namespace
