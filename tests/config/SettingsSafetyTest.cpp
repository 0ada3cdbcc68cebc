// A save is all or nothing: failing it at any of its writes, or killing the
// process there, leaves the complete old or the complete new script on disk.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "config/SettingsFile.h"
#include "engine/uTesselTypes.h"
#include "platform/FaultInjection.h"
#include "platform/Profile.h"
#include "tests/config/ScriptDump.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

class SettingsSafety : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedLogFile log{dir.Path() + "scripts.log"};
  std::string file = dir.Path() + "scripts.ini";
  TTesselGroups script{TStepKinds::NoneOnly()};
  std::string oldBytes, oldDump, newBytes, newDump;

  void SetUp() override {
    script.PubKeysPath = "/keys/pub";
    for (const char* name : {"A", "B", "C"}) {
      TTesselActionList* group = script.AddGroup(name);
      group->SourceMask = std::string("/in/") + name;
      group->Enabled = true;
      for (int i = 0; i < 3; ++i) {
        TTesselAction* step = group->CreateAction(kKindNone);
        step->CopyTo = "/copy/" + std::to_string(i);
        step->Enabled = i != 1;
      }
    }
    EXPECT_TRUE(SaveToIni(script, file));
    oldBytes = ReadFile(file);
    oldDump = DumpScript(script);

    // The new script drops a group and a step and changes a field.
    script.DeleteGroup(1);
    script.GetGroup(0)->DeleteAction(1);
    script.GetGroup(1)->DestFolder = "/out";
    script.SecKeysPath = "/keys/sec";
    EXPECT_TRUE(SaveToIni(script, file));
    newBytes = ReadFile(file);
    newDump = DumpScript(script);
    ASSERT_NE(newBytes, oldBytes);
    WriteFile(file, oldBytes);
  }

  std::string LoadedDump() {
    TTesselGroups loaded{TStepKinds::NoneOnly()};
    LoadFromIni(loaded, file);
    return DumpScript(loaded);
  }

  // Every file operation the save performs on the settings file or beside it.
  bool Counts(const std::string& path) const { return path.rfind(file, 0) == 0; }

  int CountFaultPoints() {
    int points = 0;
    {
      ScopedFault count([&](std::string_view, const std::string& path) {
        if (Counts(path)) ++points;
        return 0;
      });
      EXPECT_TRUE(SaveToIni(script, file));
    }
    EXPECT_EQ(ReadFile(file), newBytes);
    WriteFile(file, oldBytes);
    return points;
  }

  std::vector<std::string> SideFiles() {
    std::vector<std::string> names = ListNames(dir.Path());
    std::erase(names, "scripts.ini");
    std::erase(names, "scripts.log");
    return names;
  }
};

TEST_F(SettingsSafety, AWholeScriptSaveWritesTheFileOnce) {
  const auto before = platform::GetProfileWriteStats();
  EXPECT_TRUE(SaveToIni(script, file));
  const auto after = platform::GetProfileWriteStats();
  EXPECT_EQ(after.files - before.files, 1u);
  EXPECT_EQ(after.bytes - before.bytes, newBytes.size());
}

TEST_F(SettingsSafety, FailingTheSaveAtAnyWriteKeepsTheOldScript) {
  const int points = CountFaultPoints();
  ASSERT_GT(points, 20);  // every key of the save is a point of failure
  for (int failAt = 1; failAt <= points; ++failAt) {
    SCOPED_TRACE("failing point " + std::to_string(failAt));
    WriteFile(file, oldBytes);
    {
      int seen = 0;
      ScopedFault fault([&](std::string_view, const std::string& path) {
        return Counts(path) && ++seen == failAt ? EIO : 0;
      });
      EXPECT_FALSE(SaveToIni(script, file));
    }
    EXPECT_EQ(ReadFile(file), oldBytes);
    EXPECT_EQ(LoadedDump(), oldDump);
    EXPECT_TRUE(SideFiles().empty());
  }
  // Each failure was logged.
  std::vector<std::string> lines = log.Fields();
  ASSERT_EQ(lines.size(), static_cast<size_t>(points));
  EXPECT_EQ(lines[0].rfind("Сохранение настроек - ошибка\t" + file + "\t", 0), 0u) << lines[0];

  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_EQ(ReadFile(file), newBytes);
  EXPECT_EQ(LoadedDump(), newDump);
}

TEST_F(SettingsSafety, AProcessKilledAnywhereInTheSaveLeavesOldOrNewScript) {
  const int points = CountFaultPoints();
  bool sawOld = false, sawNew = false;
  for (int dieAt = 1; dieAt <= points + 1; ++dieAt) {
    SCOPED_TRACE("dying at point " + std::to_string(dieAt));
    WriteFile(file, oldBytes);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int seen = 0;
      platform::SetFaultHook([&](std::string_view, const std::string& path) {
        if (Counts(path) && ++seen == dieAt) ::_exit(0);  // no cleanup of any kind
        return 0;
      });
      (void)SaveToIni(script, file);  // the hook ends the child inside it
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const std::string bytes = ReadFile(file);
    ASSERT_TRUE(bytes == oldBytes || bytes == newBytes);
    (bytes == oldBytes ? sawOld : sawNew) = true;
    EXPECT_EQ(LoadedDump(), bytes == oldBytes ? oldDump : newDump);

    // Whatever the dead save left beside the file, the next save is clean.
    EXPECT_TRUE(SaveToIni(script, file));
    EXPECT_EQ(ReadFile(file), newBytes);
    EXPECT_TRUE(SideFiles().empty());
  }
  EXPECT_TRUE(sawOld);
  EXPECT_TRUE(sawNew);
}

TEST_F(SettingsSafety, AFailedSaveIsLogged) {
  ScopedFault fault([&](std::string_view op, const std::string& path) {
    return op == "rename" && path == file ? ENOSPC : 0;
  });
  EXPECT_FALSE(SaveToIni(script, file));
  EXPECT_EQ(ReadFile(file), oldBytes);
  std::vector<std::string> lines = log.Fields();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("Сохранение настроек - ошибка\t" + file + "\t", 0), 0u) << lines[0];
  EXPECT_GT(lines[0].size(), ("Сохранение настроек - ошибка\t" + file + "\t").size());
}

}  // namespace
