#include <algorithm>
#include <filesystem>

#include "platform/Files.h"
#include "tests/engine/PassFixture.h"

using namespace testing_support;

namespace {

// The two file names in the order the file system lists them.
std::pair<std::string, std::string> ListedOrder(const std::string& folder) {
  std::vector<platform::DirEntry> entries;
  EXPECT_EQ(platform::ListFolder(folder, entries), 0);
  std::vector<std::string> names;
  for (auto& e : entries) names.push_back(e.name);
  return {names.at(0), names.at(1)};
}

TEST_F(PassTest, WorkedExampleTwoFilesDisabledStepCopyFolderAndOneFailure) {
  const std::string arch = dir.Sub("arch/");
  WriteFile(in + "a.txt", "a");
  WriteFile(in + "b.txt", "b");
  const auto [first, second] = ListedOrder(in);
  TFakeStep* sign = AddStep("sign");
  sign->FailOn = {second};
  AddStep("nothing", /*enabled=*/false);
  TFakeStep* encrypt = AddStep("enc");
  encrypt->CopyTo = arch;

  {
    auto recording = RecordOps();
    EXPECT_TRUE(registry.RunAllGroups());
  }

  EXPECT_EQ(log.Fields(),
            (std::vector<std::string>{kStars, "Out", kEquals, Start(first), "Тест sign\tуспешно",
                                      "Тест enc\tуспешно", "Копия - успешно\t" + arch + first,
                                      End(first), kEquals, Start(second), "Тест sign\tошибка",
                                      "Перенос в ошибки", End(second)}));
  const std::string body1 = first.substr(0, 1), body2 = second.substr(0, 1);
  EXPECT_EQ(ReadFile(out + first), body1 + "+sign+enc");
  EXPECT_EQ(ReadFile(arch + first), body1 + "+sign+enc");
  EXPECT_EQ(ReadFile(bad + second), body2);
  EXPECT_EQ(ListNames(out), std::vector<std::string>{first});
  EXPECT_EQ(ListNames(bad), std::vector<std::string>{second});
  EXPECT_TRUE(ListNames(in).empty());
  EXPECT_TRUE(ListNames(tmp).empty());

  // One run folder for the group's pass, a folder per link of the chain;
  // each file's chain goes when its road ends, before any source goes.
  ASSERT_FALSE(ops.empty());
  const std::string run = ops.front().second;
  EXPECT_EQ(run.rfind(tmp + "tessel-run_", 0), 0u) << run;
  auto d = [&](int n) { return run + "/" + std::to_string(n) + "/"; };
  using Op = std::pair<std::string, std::string>;
  EXPECT_EQ(ops, (std::vector<Op>{{"mkdir", run},
                                  {"mkdir", run + "/0"},
                                  {"mkdir", run + "/1"},
                                  {"mkdir", run + "/2"},
                                  {"delete", d(0) + first},
                                  {"delete", d(1) + first},
                                  {"delete", d(2) + first},
                                  {"delete", d(0) + second},
                                  {"delete", d(1) + second},
                                  // sources go once their results are on the disk
                                  {"delete", in + first},
                                  {"delete", in + second},
                                  {"rmdir", run + "/"}}));
}

TEST_F(PassTest, QuietWhenNothingMatchesAndDisabledGroupsAreNotScanned) {
  WriteFile(in + "a.doc", "x");
  registry.RunAllGroups();
  EXPECT_TRUE(log.Fields().empty());

  WriteFile(in + "a.txt", "x");
  group->Enabled = false;
  registry.RunAllGroups();
  EXPECT_TRUE(log.Fields().empty());
  EXPECT_TRUE(FileExists(in + "a.txt"));
}

TEST_F(PassTest, GroupHeaderOncePerPassAndSeparatorPerFile) {
  for (const char* name : {"1.txt", "2.txt", "3.txt"}) WriteFile(in + name, name);
  registry.RunAllGroups();
  const auto fields = log.Fields();
  EXPECT_EQ(std::count(fields.begin(), fields.end(), kStars), 1);
  EXPECT_EQ(std::count(fields.begin(), fields.end(), kEquals), 3);
  EXPECT_EQ(fields.size(), 2u + 3 * 3);
}

TEST_F(PassTest, WithoutEnabledStepsTheFileArrivesUnchangedThroughOneWorkingFolder) {
  WriteFile(in + "a.txt", "payload");
  AddStep("off", false);
  auto recording = RecordOps();
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "payload");
  // The run folder and the one folder of its copy.
  EXPECT_EQ(std::count_if(ops.begin(), ops.end(), [](auto& op) { return op.first == "mkdir"; }), 2);
}

// Steps that do nothing read no file by its name: a small file's working
// copy has none, yet its copy and its delivery carry the source's name.
TEST_F(PassTest, DoNothingStepsDeliverTheSourceUnchanged) {
  WriteFile(in + "a.txt", "payload");
  const std::string arch = dir.Sub("arch/");
  group->CreateAction(kKindNone)->Enabled = true;
  TTesselAction* copying = group->CreateAction(kKindNone);
  copying->Enabled = true;
  copying->CopyTo = arch;
  int namedWorkingFiles = -1;
  {
    ScopedFault whileCopied([&](std::string_view op, const std::string& path) {
      if (op != "copy" || path != arch + "a.txt") return 0;
      namedWorkingFiles = 0;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(tmp))
        namedWorkingFiles += entry.is_regular_file();
      return 0;
    });
    registry.RunAllGroups();
  }
  EXPECT_EQ(namedWorkingFiles, 0);
  EXPECT_EQ(ReadFile(arch + "a.txt"), "payload");
  EXPECT_EQ(ReadFile(out + "a.txt"), "payload");
  EXPECT_TRUE(ListNames(tmp).empty());
}

TEST_F(PassTest, BadFolderGetsTheFailingStepsInput) {
  WriteFile(in + "a.txt", "x");
  AddStep("one");
  AddStep("two")->FailOn = {"a.txt"};
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(bad + "a.txt"), "x+one");
  EXPECT_FALSE(FileExists(out + "a.txt"));

  WriteFile(in + "a.txt", "y");
  group->GetAction(0)->Enabled = false;  // now the failing step comes first
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(bad + "a.txt"), "y");
}

TEST_F(PassTest, ExistingTargetIsReplaced) {
  WriteFile(out + "a.txt", "old");
  WriteFile(in + "a.txt", "new");
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "new");
}

TEST_F(PassTest, HiddenAndCyrillicFilesAreTakenSubFoldersAreNot) {
  group->SourceMask = in + "*";
  WriteFile(in + ".скрытый", "h");
  WriteFile(in + "Платёж №1.txt", "p");
  dir.Sub("in/папка.txt/");
  WriteFile(in + "папка.txt/inner.txt", "i");
  registry.RunAllGroups();
  EXPECT_EQ(ListNames(out), (std::vector<std::string>{".скрытый", "Платёж №1.txt"}));
  EXPECT_TRUE(FileExists(in + "папка.txt/inner.txt"));
}

TEST_F(PassTest, MaskEndingInDelimiterSelectsNothing) {
  group->SourceMask = in;
  WriteFile(in + "a.txt", "x");
  registry.RunAllGroups();
  EXPECT_TRUE(FileExists(in + "a.txt"));
  EXPECT_TRUE(log.Fields().empty());
}

TEST_F(PassTest, MissingSourceFolderGivesNoFilesAndNoLines) {
  group->SourceMask = dir.Path() + "nowhere/*.txt";
  registry.RunAllGroups();
  EXPECT_TRUE(log.Fields().empty());
}

TEST_F(PassTest, SourceThatCannotBeDeletedIsTakenAgainNextPass) {
  WriteFile(in + "a.txt", "x");
  {
    ScopedFault fault([&](std::string_view op, const std::string& path) {
      return op == "delete" && path == in + "a.txt" ? EACCES : 0;
    });
    registry.RunAllGroups();
  }
  EXPECT_TRUE(FileExists(in + "a.txt"));
  EXPECT_EQ(ReadFile(out + "a.txt"), "x");
  WriteFile(in + "a.txt", "x2");
  registry.RunAllGroups();
  EXPECT_FALSE(FileExists(in + "a.txt"));
  EXPECT_EQ(ReadFile(out + "a.txt"), "x2");
}

TEST_F(PassTest, PassStartedDuringAPassDoesNothing) {
  WriteFile(in + "a.txt", "x");
  WriteFile(in + "b.txt", "y");
  // The step starts a pass of its own, as a message loop run inside a pass could.
  auto* step = new THookStep([&](const std::string&) { registry.RunAllGroups(); });
  step->Enabled = true;
  group->AddAction(step);
  registry.RunAllGroups();
  EXPECT_EQ(ListNames(out), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(log.Fields().size(), 2u + 2 * 3);
  EXPECT_TRUE(ListNames(tmp).empty());
}

}  // namespace
