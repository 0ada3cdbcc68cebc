// A fault of a group's keys or library holds its files in the source folder
// instead of sending them to the bad-files folder: said once, silent while it
// lasts, said again when mended. Failures reach the pass's listener once per
// episode, and a refused file is retried at once when its group is changed.
#include <unistd.h>

#include <algorithm>

#include "platform/Cp1251.h"

#include "tests/engine/PassFixture.h"

using namespace testing_support;

namespace {

class HoldTest : public PassTest {
 protected:
  std::vector<TFailureEvent> events;
  void SetUp() override {
    PassTest::SetUp();
    registry.OnFailure = [this](const TFailureEvent& event) { events.push_back(event); };
  }
  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

TEST_F(HoldTest, AMissingKeyHoldsEveryFileSilentlyUntilMendedThenDeliversThemAll) {
  TFakeStep* step = AddStep("s");
  step->MissingKey = "PAY";
  WriteFile(in + "a.txt", "a");
  WriteFile(in + "b.txt", "b");
  registry.RunAllGroups();

  // The folder's order decides which file meets the fault; the other
  // waits without a road of its own.
  ASSERT_EQ(events.size(), 1u);
  const std::string met = events[0].File, other = met == "a.txt" ? "b.txt" : "a.txt";
  const auto first = log.Fields();
  EXPECT_TRUE(Has(first, "Секретный ключ не найден\tPAY"));
  EXPECT_TRUE(Has(first, "Файл оставлен до устранения ошибки\t\"" + met + "\""));
  EXPECT_FALSE(Has(first, Start(other)));
  EXPECT_TRUE(ListNames(bad).empty());
  EXPECT_EQ(ListNames(in), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_TRUE(ListNames(tmp).empty());
  const TPassCounts& counts = group->Run().LastPass;
  EXPECT_EQ(counts.Held, 2);
  EXPECT_EQ(counts.Left, 2);
  EXPECT_EQ(counts.Taken, 0);
  EXPECT_TRUE(events[0].Starts);
  EXPECT_EQ(events[0].Class, TFailureClass::Environment);
  EXPECT_EQ(events[0].Code, 6);

  // While it lasts, passes (and a new file) add no line and no event, and
  // the step is tried on one file a pass.
  const int runs = step->Runs;
  WriteFile(in + "c.txt", "c");
  registry.RunAllGroups();
  registry.RunAllGroups();
  EXPECT_EQ(log.Fields(), first);
  EXPECT_EQ(events.size(), 1u);
  EXPECT_EQ(step->Runs, runs + 2);
  EXPECT_EQ(group->Run().LastPass.Held, 3);

  step->MissingKey.clear();
  registry.RunAllGroups();
  EXPECT_EQ(ListNames(out), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(ReadFile(out + "a.txt"), "a+s");
  EXPECT_TRUE(ListNames(in).empty());
  // The file that finds the mend is whichever the folder lists first now.
  const auto after = log.Fields();
  EXPECT_TRUE(std::any_of(after.begin(), after.end(), [](const std::string& line) {
    return line.rfind("Ошибка устранена\tСекретный ключ не найден\tPAY\t", 0) == 0;
  }));
  EXPECT_TRUE(Has(after, Start("c.txt"))) << "the mended road is logged in full";
  ASSERT_EQ(events.size(), 2u);
  EXPECT_TRUE(events[1].Cleared);
  EXPECT_EQ(group->Run().LastPass.Delivered, 3);
}

TEST_F(HoldTest, AHeldFilesCopiesAreMadeOnlyOnTheRoadThatDeliversIt) {
  const std::string copies = dir.Sub("copies/");
  AddStep("a")->CopyTo = copies;
  TFakeStep* keyed = AddStep("b");
  keyed->MissingKey = "PAY";
  WriteFile(in + "a.txt", "a");
  registry.RunAllGroups();
  // The first road made its copy, as a failing step's earlier steps always did.
  EXPECT_EQ(ListNames(copies), (std::vector<std::string>{"a.txt"}));
  ASSERT_EQ(::unlink(platform::Cp1251ToUtf8(copies + "a.txt").c_str()), 0);  // taken by its reader

  // Passes that find the fault still there leave the copy folder alone.
  registry.RunAllGroups();
  registry.RunAllGroups();
  EXPECT_TRUE(ListNames(copies).empty());

  keyed->MissingKey.clear();
  registry.RunAllGroups();
  EXPECT_EQ(ListNames(copies), (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(ReadFile(out + "a.txt"), "a+a+b");
  const auto lines = log.Fields();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Копия - успешно\t" + copies + "a.txt"), 2)
      << "the held road and the delivering one";
}

TEST_F(HoldTest, BadFilesStartOneEpisodeUntilAPassSendsNone) {
  AddStep("s")->FailOn = {"x.txt", "y.txt"};
  WriteFile(in + "x.txt", "x");
  WriteFile(in + "y.txt", "y");
  registry.RunAllGroups();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_TRUE(events[0].Starts);
  EXPECT_FALSE(events[1].Starts);
  EXPECT_EQ(events[1].Class, TFailureClass::File);
  EXPECT_EQ(ListNames(bad), (std::vector<std::string>{"x.txt", "y.txt"}));

  registry.RunAllGroups();  // sends nothing: the episode ends
  WriteFile(in + "x.txt", "again");
  registry.RunAllGroups();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_TRUE(events[2].Starts);
}

TEST_F(HoldTest, ARefusedFileIsRetriedAtOnceWhenItsGroupIsPointedAtAWorkingFolder) {
  group->DestFolder = dir.Path() + "missing";
  AddStep("s");
  WriteFile(in + "a.txt", "a");
  registry.RunAllGroups();
  registry.RunAllGroups();
  EXPECT_EQ(group->Run().LastPass.Refused, 1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Class, TFailureClass::Delivery);
  EXPECT_TRUE(events[0].Starts);

  // The old folder is still missing; the group now names one that works.
  group->DestFolder = out;
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "a+s");
  ASSERT_EQ(events.size(), 2u);
  EXPECT_TRUE(events[1].Cleared);
}

TEST_F(HoldTest, AResultDeliveredIntoAnotherGroupsSourceIsCountedAsPassedOn) {
  TTesselActionList* next = AddNextGroup(dir.Sub("mid/"));
  WriteFile(in + "a.txt", "a");
  WriteFile(in + "b.dat", "b");
  group->SourceMask = in + "*.*";
  registry.RunAllGroups();
  EXPECT_EQ(group->Run().LastPass.Delivered, 2);
  EXPECT_EQ(group->Run().LastPass.PassedOn, 1) << "b.dat is not the next group's";
  EXPECT_EQ(next->Run().LastPass.Delivered, 1);
  EXPECT_EQ(next->Run().LastPass.PassedOn, 0);
}

}  // namespace
