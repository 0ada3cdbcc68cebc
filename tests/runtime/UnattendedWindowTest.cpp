// What the window tells an operator who is away, without widgets: the tray's
// state and its notifications, the settings file's watch, and the start in
// the tray kept with the script.
#include <gtest/gtest.h>

#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "runtime/ScriptSettings.h"
#include "runtime/SettingsWatch.h"
#include "runtime/TrayState.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TFailureEvent Failure(const std::string& group, const std::string& file, bool starts,
                      bool cleared = false) {
  TFailureEvent event;
  event.Group = group;
  event.File = file;
  event.Reason = "reason of " + file;
  event.Code = 7;
  event.Class = TFailureClass::Environment;
  event.Starts = starts;
  event.Cleared = cleared;
  return event;
}

TEST(TrayState, RunningIdleAndFailuresUntilLookedAtNotifyingOncePerEpisode) {
  TTrayState tray;
  EXPECT_EQ(tray.Look(), TTrayLook::Idle);
  tray.SetRunning(true);
  EXPECT_EQ(tray.Look(), TTrayLook::Running);

  // An episode: told at its start, counted for each event, told no more.
  EXPECT_TRUE(tray.Note(Failure("G", "a.txt", true)));
  EXPECT_FALSE(tray.Note(Failure("G", "a.txt", false)));
  EXPECT_FALSE(tray.Note(Failure("G", "b.txt", false)));
  EXPECT_EQ(tray.Look(), TTrayLook::Failures);
  EXPECT_EQ(tray.Unseen(), 3);
  ASSERT_TRUE(tray.LastFailure());
  EXPECT_EQ(tray.LastFailure()->File, "b.txt");

  // Stopping does not hide failures nobody has seen.
  tray.SetRunning(false);
  EXPECT_EQ(tray.Look(), TTrayLook::Failures);
  tray.Looked();
  EXPECT_EQ(tray.Look(), TTrayLook::Idle);
  EXPECT_EQ(tray.Unseen(), 0);
  EXPECT_TRUE(tray.LastFailure()) << "looking does not mend it";

  // A clearing is no failure and is not told; it ends the last failure's
  // word only when it is that failure's.
  EXPECT_FALSE(tray.Note(Failure("G", "a.txt", false, true)));
  EXPECT_EQ(tray.Unseen(), 0);
  ASSERT_TRUE(tray.LastFailure());
  EXPECT_FALSE(tray.Note(Failure("G", "b.txt", false, true)));
  EXPECT_FALSE(tray.LastFailure());

  // The next episode is told again.
  EXPECT_TRUE(tray.Note(Failure("H", "", true)));
  EXPECT_EQ(tray.Unseen(), 1);
}

class SettingsWatchTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string ini = dir.Path() + "t.ini";
};

TEST_F(SettingsWatchTest, ChangedOnlyWhenTheBytesOrTheFilesPresenceDiffer) {
  TSettingsWatch watch;
  WriteFile(ini, "[MAIN]\r\nINTERVAL=3\r\n");
  EXPECT_FALSE(watch.ChangedOnDisk(ini)) << "nothing noted, nothing to compare";
  watch.Note(ini);
  EXPECT_FALSE(watch.ChangedOnDisk(ini));

  // The same bytes written again (a new file, a new time) lose nothing.
  ASSERT_EQ(platform::DeleteFile(ini), 0);
  WriteFile(ini, "[MAIN]\r\nINTERVAL=3\r\n");
  EXPECT_FALSE(watch.ChangedOnDisk(ini));

  // The same size, other bytes.
  WriteFile(ini, "[MAIN]\r\nINTERVAL=4\r\n");
  EXPECT_TRUE(watch.ChangedOnDisk(ini));
  watch.Note(ini);
  EXPECT_FALSE(watch.ChangedOnDisk(ini));

  ASSERT_EQ(platform::DeleteFile(ini), 0);
  EXPECT_TRUE(watch.ChangedOnDisk(ini)) << "deleted";
  watch.Note(ini);
  EXPECT_FALSE(watch.ChangedOnDisk(ini));
  WriteFile(ini, "");
  EXPECT_TRUE(watch.ChangedOnDisk(ini)) << "made where there was none, even empty";
}

TEST_F(SettingsWatchTest, StartInTrayIsWrittenOnlyWhenSet) {
  testing_support::ScopedLogFile log{dir.Path() + "t.log"};
  ScriptRegistry->ClearGroups();
  ScriptRegistry->AddGroup("G");
  ASSERT_TRUE(SaveScript(ini, 5));
  const std::string plain = ReadFile(ini);
  EXPECT_EQ(plain.find("START_IN_TRAY"), std::string::npos);
  EXPECT_FALSE(StartInTraySetting(ini));

  ASSERT_TRUE(SaveScript(ini, 5, true));
  EXPECT_TRUE(StartInTraySetting(ini));
  EXPECT_EQ(LoadScript(ini), 5);
  ASSERT_TRUE(SaveScript(ini, 5, false));
  EXPECT_EQ(ReadFile(ini), plain) << "turned off, the file is as without it";
  ScriptRegistry->ClearGroups();
}

}  // namespace
