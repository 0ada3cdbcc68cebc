// A delivery that fails leaves the source for a later pass, says so once and
// sends nothing to the bad-files folder; a step that fails still does. Modes,
// undeletable sources and a temp folder without room.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "tests/engine/PassFixture.h"

using namespace testing_support;

namespace {

unsigned ModeOf(const std::string& path) {
  platform::FileStat st;
  return platform::StatPath(path, st) == 0 ? st.mode : 07777;
}

void ChangeMode(const std::string& path, unsigned mode) {
  ASSERT_EQ(::chmod(platform::Cp1251ToUtf8(path).c_str(), mode), 0);
}

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }

 private:
  mode_t old_;
};

// A fault the test switches on and off: copies into a folder, and probes of
// it, fail with the error while it is set.
struct FolderFault {
  std::string folder;
  int error = 0;
  ScopedFault hook{[this](std::string_view op, const std::string& path) {
    const bool inFolder = path.rfind(folder, 0) == 0 || path + "/" == folder;
    return error != 0 && inFolder && (op == "copy" || op == "probe") ? error : 0;
  }};
};

TEST_F(PassTest, BothFoldersMissingKeepTheSourceAndTheNextPassesDeliverOnceTheyAreBack) {
  const std::string gone = dir.Path() + "gone-out", goneBad = dir.Path() + "gone-bad";
  group->DestFolder = gone;
  group->BadFolder = goneBad;
  WriteFile(in + "ok.txt", "fine");
  WriteFile(in + "fails.txt", "input");
  AddStep("s")->FailOn = {"fails.txt"};
  registry.RunAllGroups();

  // Nothing of either file is kept in the temp folder: the sources are the copies.
  EXPECT_EQ(ReadFile(in + "ok.txt"), "fine");
  EXPECT_EQ(ReadFile(in + "fails.txt"), "input");
  EXPECT_TRUE(ListNames(tmp).empty());
  const auto first = log.Fields();
  EXPECT_NE(std::find(first.begin(), first.end(),
                      "Ошибка переноса в\t" + gone + "/ok.txt\tNo such file or directory"),
            first.end());
  EXPECT_NE(
      std::find(first.begin(), first.end(), "Файл оставлен до следующего прохода\t\"ok.txt\""),
      first.end());
  EXPECT_EQ(group->Run().LastPass.Left, 2);
  EXPECT_EQ(group->Run().LastPass.Bad, 0);

  // While the folders stay away, passes leave no line at all.
  registry.RunAllGroups();
  registry.RunAllGroups();
  EXPECT_EQ(log.Fields(), first);
  EXPECT_EQ(group->Run().LastPass.Left, 2);

  dir.Sub("gone-out/");
  dir.Sub("gone-bad/");
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(gone + "/ok.txt"), "fine+s");
  EXPECT_EQ(ReadFile(goneBad + "/fails.txt"), "input");
  EXPECT_TRUE(ListNames(in).empty());
  const auto after = log.Fields();
  EXPECT_NE(
      std::find(after.begin(), after.end(), "Ошибка переноса устранена\t" + gone + "\t\"ok.txt\""),
      after.end());
}

TEST_F(PassTest, DestinationThatFailsForAWhileSendsNothingToTheBadFolder) {
  // Read-only (root writes anyway, so the fault stands for it), then full, then back.
  for (const int error : {EROFS, ENOSPC, EIO}) {
    SCOPED_TRACE(error);
    WriteFile(in + "pay.txt", "payment");
    FolderFault fault{out, error};
    AddStep("s");
    registry.RunAllGroups();
    EXPECT_TRUE(ListNames(bad).empty());
    EXPECT_EQ(ReadFile(in + "pay.txt"), "payment");
    EXPECT_TRUE(ListNames(tmp).empty());
    const size_t lines = log.Fields().size();
    registry.RunAllGroups();
    EXPECT_EQ(log.Fields().size(), lines);  // still refused: silent

    fault.error = 0;
    registry.RunAllGroups();
    EXPECT_EQ(ReadFile(out + "pay.txt"), "payment+s");
    EXPECT_FALSE(FileExists(in + "pay.txt"));
    EXPECT_TRUE(ListNames(bad).empty());
    group->ClearActions();
  }
}

TEST_F(PassTest, AFaultTheFolderCheckCannotSeeIsRetriedLessAndLessOften) {
  WriteFile(in + "a.txt", "x");
  // Copies fail, but the folder looks able: the probe cannot see this fault.
  int copies = 0;
  ScopedFault fault([&](std::string_view op, const std::string& path) {
    if (op == "copy" && path.rfind(out, 0) == 0) return ++copies, EIO;
    return 0;
  });
  for (int i = 0; i < 10; ++i) registry.RunAllGroups();
  // The first refusal is retried at once; the retry's failure waits.
  EXPECT_EQ(copies, 2);
  EXPECT_EQ(ReadFile(in + "a.txt"), "x");
}

TEST_F(PassTest, EmptyDestinationIsNotTheRootFolderAndLosesNothing) {
  group->DestFolder = "";
  WriteFile(in + "a.txt", "x");
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(in + "a.txt"), "x");
  EXPECT_TRUE(ListNames(bad).empty());
}

TEST_F(PassTest, TempFolderWithoutRoomLeavesTheFileUntakenUntilThereIsRoom) {
  WriteFile(in + "a.txt", "x");
  TFakeStep* step = AddStep("s");
  bool full = true;
  ScopedFault fault([&](std::string_view op, const std::string& path) {
    return full && path.rfind(tmp, 0) == 0 && (op == "space" || op == "probe") ? ENOSPC : 0;
  });
  registry.RunAllGroups();
  EXPECT_EQ(step->Runs, 0);
  EXPECT_TRUE(ListNames(bad).empty());
  EXPECT_EQ(log.Fields().at(4), "Файл не взят в обработку\t\"a.txt\"\tNo space left on device");
  const size_t lines = log.Fields().size();
  registry.RunAllGroups();
  EXPECT_EQ(log.Fields().size(), lines);
  full = false;
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "x+s");
}

// Fails as a step whose working file could not be written: the library's
// write error, not the file's content.
class TWorkingFileFailure : public TTesselAction {
 public:
  bool failing = true;
  bool Run(const TStepContext& context, const std::string& in, std::string& out) override {
    if (failing) {
      context.NoteWorkingSpaceFault();
      return false;
    }
    out = in;
    return TTesselAction::Run(context, in, out);
  }
  std::string GetCaption() const override { return "write"; }
  std::string GetParamText() const override { return ""; }
  uint8_t GetKind() const override { return 0; }
};

TEST_F(PassTest, AStepFailingOnItsWorkingSpaceLeavesTheFileAndSendsNothingToBad) {
  WriteFile(in + "a.txt", "good payment");
  WriteFile(in + "b.txt", "another");
  auto* step = new TWorkingFileFailure;
  step->Enabled = true;
  group->AddAction(step);
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(in + "a.txt"), "good payment");
  EXPECT_TRUE(ListNames(bad).empty());
  EXPECT_TRUE(ListNames(out).empty());
  EXPECT_EQ(group->Run().LastPass.Left, 2);
  const auto fields = log.Fields();
  EXPECT_EQ(
      std::count(fields.begin(), fields.end(), "Файл оставлен до следующего прохода\t\"a.txt\""),
      1);
  EXPECT_EQ(std::count(fields.begin(), fields.end(), "Перенос в ошибки"), 0);

  // A step that fails while the temp folder has no room is judged the same.
  step->failing = false;
  WriteFile(in + "c.txt", "unreadable for the step");
  AddStep("s")->FailOn = {"c.txt"};
  {
    ScopedFault full([&](std::string_view op, const std::string& path) {
      return op == "probe" && path.rfind(tmp, 0) == 0 ? ENOSPC : 0;
    });
    registry.RunAllGroups();
  }
  EXPECT_TRUE(ListNames(bad).empty());
  EXPECT_EQ(ReadFile(in + "c.txt"), "unreadable for the step");
  // With room again the files take their roads: the good ones are delivered,
  // the one the step refuses goes to the bad-files folder.
  registry.RunAllGroups();
  EXPECT_EQ(ListNames(out), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(ReadFile(out + "a.txt"), "good payment+s");
  EXPECT_EQ(ListNames(bad), std::vector<std::string>{"c.txt"});
}

TEST_F(PassTest, ResultsAreNeverMoreOpenThanTheSourceEvenUnderAnOpenUmask) {
  ScopedUmask open(0);
  const std::string arch = dir.Sub("arch/");
  WriteFile(in + "secret.txt", "s");
  WriteFile(in + "fails.txt", "f");
  WriteFile(in + "public.txt", "p");
  ChangeMode(in + "secret.txt", 0600);
  ChangeMode(in + "fails.txt", 0640);
  ChangeMode(in + "public.txt", 0644);
  TFakeStep* step = AddStep("s");
  step->CopyTo = arch;
  AddStep("t")->FailOn = {"fails.txt"};
  registry.RunAllGroups();
  EXPECT_EQ(ModeOf(out + "secret.txt"), 0600u);
  EXPECT_EQ(ModeOf(arch + "secret.txt"), 0600u);
  EXPECT_EQ(ModeOf(bad + "fails.txt"), 0640u);
  EXPECT_EQ(ModeOf(out + "public.txt"), 0644u);
}

TEST_F(PassTest, AnUndeletableSourceIsSaidWithItsError) {
  WriteFile(in + "a.txt", "x");
  ScopedFault fault([&](std::string_view op, const std::string& path) {
    return op == "delete" && path == in + "a.txt" ? EPERM : 0;
  });
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "x");
  EXPECT_EQ(log.Fields().back(),
            "Исходный файл не удалён\t" + in + "a.txt\tOperation not permitted");
}

}  // namespace
