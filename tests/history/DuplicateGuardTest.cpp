// The duplicate guard: a group that turned it on sends a file whose bytes it
// delivered within its days to the bad-files folder, as taken, with one line
// naming the earlier delivery; other groups' deliveries and older ones do
// not count, nor does anything while the guard is off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history/HistoryRecorder.h"
#include "platform/Clock.h"
#include "tests/engine/PassFixture.h"

namespace {

using testing_support::kSecondsPerDay;

class DuplicateGuard : public PassTest {
 protected:
  int64_t now = 1'800'000'000;
  THistoryStore store{dir.Path() + "pass.history", [this] { return now; }};
  THistoryRecorder recorder{store, "/srv/x.ini", "1.0"};

  void SetUp() override {
    PassTest::SetUp();
    AddStep("A");
    group->DuplicateDays = 30;
  }
  void Pass() {
    TPassContext context;
    context.Roads = &recorder;
    registry.RunAllGroups(context);
  }
  THistoryRecord Last(const std::string& name) {
    THistoryFilter filter;
    filter.NameMask = name;
    const auto found = store.Find(filter);
    return found.empty() ? THistoryRecord{} : found.back();
  }
  std::vector<std::string> LinesWith(const std::string& text) const {
    std::vector<std::string> found;
    for (const std::string& line : log.Fields())
      if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
  }
};

TEST_F(DuplicateGuard, AResentPaymentGoesToTheBadFilesFolderNamingTheFirst) {
  testing_support::WriteFile(in + "pay-0412.txt", "pay 1000 to 40702810");
  Pass();
  ASSERT_EQ(testing_support::ReadFile(out + "pay-0412.txt"), "pay 1000 to 40702810+A");
  const int64_t first = now;

  now += 3 * kSecondsPerDay;  // the same payment sent again under another name
  testing_support::WriteFile(in + "pay-0415.txt", "pay 1000 to 40702810");
  Pass();
  EXPECT_FALSE(testing_support::FileExists(out + "pay-0415.txt"));
  // As taken: no step ran on it.
  EXPECT_EQ(testing_support::ReadFile(bad + "pay-0415.txt"), "pay 1000 to 40702810");
  EXPECT_FALSE(testing_support::FileExists(in + "pay-0415.txt"));
  const std::string earlier = platform::FormatLocalTime(first);
  // One line, naming the earlier delivery's time and name.
  const std::vector<std::string> guard = LinesWith("уже доставлен");
  ASSERT_EQ(guard.size(), 1u);
  EXPECT_NE(guard[0].find("\"pay-0412.txt\""), std::string::npos) << guard[0];
  EXPECT_NE(guard[0].find(earlier), std::string::npos) << guard[0];

  const THistoryRecord resent = Last("pay-0415.txt");
  EXPECT_EQ(resent.Outcome, "bad");
  EXPECT_EQ(resent.Target, bad + "pay-0415.txt");
  EXPECT_TRUE(resent.Steps.empty());
  EXPECT_NE(resent.Why.find("pay-0412.txt"), std::string::npos);
  EXPECT_NE(resent.Why.find(earlier), std::string::npos);

  // A different payment still goes out.
  testing_support::WriteFile(in + "pay-0416.txt", "pay 2000 to 40702810");
  Pass();
  EXPECT_TRUE(testing_support::FileExists(out + "pay-0416.txt"));
}

TEST_F(DuplicateGuard, TwoCopiesInOnePassDeliverOnlyOne) {
  testing_support::WriteFile(in + "a.txt", "same");
  testing_support::WriteFile(in + "b.txt", "same");
  Pass();
  const bool aOut = testing_support::FileExists(out + "a.txt");
  const bool bOut = testing_support::FileExists(out + "b.txt");
  EXPECT_NE(aOut, bOut);
  EXPECT_TRUE(testing_support::FileExists(bad + (aOut ? "b.txt" : "a.txt")));
}

TEST_F(DuplicateGuard, OlderDeliveriesOtherGroupsAndRefusalsDoNotCount) {
  testing_support::WriteFile(in + "old.txt", "old payment");
  Pass();
  now += 31 * kSecondsPerDay;  // beyond the group's 30 days
  testing_support::WriteFile(in + "old-again.txt", "old payment");
  Pass();
  EXPECT_TRUE(testing_support::FileExists(out + "old-again.txt"));

  // A file the guard refused is no delivery: the bytes it refused stay
  // refused for what was delivered, not for what was refused.
  testing_support::WriteFile(in + "x1.txt", "old payment");
  Pass();
  EXPECT_TRUE(testing_support::FileExists(bad + "x1.txt"));
  EXPECT_NE(Last("x1.txt").Why.find("old-again.txt"), std::string::npos);

  // Another group with its own guard has delivered nothing yet.
  const std::string other = dir.Sub("other/");
  TTesselActionList* second = registry.AddGroup("Other");
  second->Enabled = true;
  second->SourceMask = other + "*.txt";
  second->DestFolder = out;
  second->BadFolder = bad;
  second->DuplicateDays = 30;
  second->AddAction(new TFakeStep("B"));
  second->GetAction(0)->Enabled = true;
  testing_support::WriteFile(other + "copy.txt", "old payment");
  Pass();
  EXPECT_EQ(testing_support::ReadFile(out + "copy.txt"), "old payment+B");
}

TEST_F(DuplicateGuard, OffItDeliversEveryCopy) {
  group->DuplicateDays = 0;
  testing_support::WriteFile(in + "a.txt", "same");
  Pass();
  testing_support::WriteFile(in + "b.txt", "same");
  Pass();
  EXPECT_TRUE(testing_support::FileExists(out + "a.txt"));
  EXPECT_TRUE(testing_support::FileExists(out + "b.txt"));
}

// The retention a script sets, on the pass's clock: a shorter one set by a
// reload removes the records it no longer keeps at the next pass's end; 0
// keeps them all.
using HistoryRetention = DuplicateGuard;

TEST_F(HistoryRetention, AShorterRetentionPrunesAtTheNextPassAndZeroKeepsAll) {
  testing_support::WriteFile(in + "old.txt", "old");
  Pass();
  now += 20 * kSecondsPerDay;
  recorder.SetRetentionDays(0);
  testing_support::WriteFile(in + "mid.txt", "mid");
  Pass();
  EXPECT_EQ(store.Find({}).size(), 2u);

  now += 5 * kSecondsPerDay;
  recorder.SetRetentionDays(10);  // old is 25 days old, mid 5
  testing_support::WriteFile(in + "new.txt", "new");
  Pass();
  std::vector<std::string> names;
  for (const THistoryRecord& r : store.Find({})) names.push_back(r.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"mid.txt", "new.txt"}));
  EXPECT_EQ(store.Verify(), 0);
}

}  // namespace
