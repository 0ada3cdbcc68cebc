// "Восстановить" and "Сохранить" without the window: the script, the interval
// and their log lines.
#include <gtest/gtest.h>

#include <cerrno>

#include "config/uIniUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "runtime/ScriptSettings.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedLogFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class ScriptSettings : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedLogFile log{dir.Path() + "t.log"};
  std::string ini = dir.Path() + "t.ini";
};

TEST_F(ScriptSettings, MissingFileGivesEmptyScriptAndTheMinimumInterval) {
  ScriptRegistry->AddGroup("old");
  ScriptRegistry->PubKeysPath = "/old";
  EXPECT_EQ(LoadScript(ini), kMinIntervalSeconds);
  EXPECT_EQ(ScriptRegistry->GroupCount(), 0);
  EXPECT_EQ(ScriptRegistry->PubKeysPath, "");
  EXPECT_EQ(log.Fields(), std::vector<std::string>{"Чтение настроек из ini-файла"});
}

TEST_F(ScriptSettings, SaveWritesTheIntervalAfterTheScriptAndLoadReadsItBack) {
  ScriptRegistry->ClearGroups();
  ScriptRegistry->PubKeysPath = "/pub";
  ScriptRegistry->SecKeysPath = "";
  TTesselActionList* g = ScriptRegistry->AddGroup("Исходящие");
  g->Enabled = true;
  g->CreateAction(kKindNone)->Enabled = true;
  SaveScript(ini, 10);
  EXPECT_EQ(log.Fields(), std::vector<std::string>{"Сохранение настроек в ini-файл"});
  EXPECT_TRUE(ReadFile(ini).starts_with("[MAIN]\r\nPUBKEYS=/pub\r\nINTERVAL=10\r\n[LIST]\r\n"))
      << ReadFile(ini);

  ScriptRegistry->ClearGroups();
  EXPECT_EQ(LoadScript(ini), 10);
  ASSERT_EQ(ScriptRegistry->GroupCount(), 1);
  EXPECT_EQ(ScriptRegistry->GetGroup(0)->Name, "Исходящие");
  EXPECT_TRUE(ScriptRegistry->GetGroup(0)->GetAction(0)->Enabled);
}

TEST_F(ScriptSettings, AnEmptyScriptSavesTheIntervalAlone) {
  ScriptRegistry->ClearGroups();
  ScriptRegistry->PubKeysPath.clear();
  ScriptRegistry->SecKeysPath.clear();
  SaveScript(ini, 3);
  EXPECT_EQ(ReadFile(ini), "[MAIN]\r\nINTERVAL=3\r\n");
}

TEST_F(ScriptSettings, AnIntervalThatCannotBeWrittenFailsTheSave) {
  ScriptRegistry->ClearGroups();
  ScriptRegistry->PubKeysPath = "/pub";
  // The script's own replacement creates the file; the interval's write to it fails.
  testing_support::ScopedFault fault([&](std::string_view op, const std::string&) {
    return op == "write" && testing_support::FileExists(ini) ? ENOSPC : 0;
  });
  EXPECT_FALSE(SaveScript(ini, 7));
  EXPECT_EQ(ReadFile(ini), "[MAIN]\r\nPUBKEYS=/pub\r\n");
  EXPECT_EQ(log.Fields(),
            (std::vector<std::string>{
                "Сохранение настроек в ini-файл",
                "Сохранение настроек - ошибка\t" + ini + "\t" + platform::ErrorText(ENOSPC),
            }));
}

TEST_F(ScriptSettings, AStoredIntervalIsReturnedAsRead) {
  WriteFile(ini, "[MAIN]\r\nINTERVAL=1\r\n");
  EXPECT_EQ(LoadScript(ini), 1);
  WriteFile(ini, "[MAIN]\r\nINTERVAL=zehn\r\n");
  EXPECT_EQ(LoadScript(ini), kMinIntervalSeconds);
}

}  // namespace

namespace {

TEST_F(ScriptSettings, TheFailureCommandFollowsTheIntervalAndASaveWithoutItKeepsIt) {
  ScriptRegistry->ClearGroups();
  ScriptRegistry->PubKeysPath = "/pub";
  ScriptRegistry->SecKeysPath.clear();
  ASSERT_TRUE(SaveScript(ini, 5, std::string("/usr/local/bin/сбой.sh --группа")));
  EXPECT_EQ(ReadFile(ini),
            "[MAIN]\r\nPUBKEYS=/pub\r\nINTERVAL=5\r\nON_FAILURE=/usr/local/bin/сбой.sh --группа\r\n");
  EXPECT_EQ(ReadFailureCommand(ini), "/usr/local/bin/сбой.sh --группа");

  // A saver that knows nothing of it (a window of before) keeps it.
  const std::string before = ReadFile(ini);
  ASSERT_TRUE(SaveScript(ini, 5));
  EXPECT_EQ(ReadFile(ini), before);

  // An empty command removes it: the file is as one that never had it.
  ASSERT_TRUE(SaveScript(ini, 5, std::string()));
  EXPECT_EQ(ReadFile(ini), "[MAIN]\r\nPUBKEYS=/pub\r\nINTERVAL=5\r\n");
  EXPECT_EQ(ReadFailureCommand(ini), "");
}

TEST_F(ScriptSettings, RetentionAndKeyWarningDaysWrittenByHandSurviveASaveAndBadValuesFallBack) {
  ScriptRegistry->ClearGroups();
  ScriptRegistry->PubKeysPath = "/pub";
  ScriptRegistry->SecKeysPath.clear();
  ASSERT_TRUE(SaveScript(ini, 5));
  EXPECT_EQ(ReadHistoryDays(ini), 400);
  EXPECT_EQ(KeyWarningDays(ini), kDefaultKeyWarningDays);
  EXPECT_EQ(ReadFile(ini), "[MAIN]\r\nPUBKEYS=/pub\r\nINTERVAL=5\r\n") << "not written unless set";

  // The window has no field for either: a save keeps what was written by hand.
  ASSERT_TRUE(WriteIniInteger("MAIN", "HISTORY_DAYS", 30, ini));
  ASSERT_TRUE(WriteIniInteger("MAIN", "KEY_WARN_DAYS", 45, ini));
  ASSERT_TRUE(SaveScript(ini, 7));
  EXPECT_EQ(ReadHistoryDays(ini), 30);
  EXPECT_EQ(KeyWarningDays(ini), 45);
  EXPECT_EQ(ReadFile(ini),
            "[MAIN]\r\nPUBKEYS=/pub\r\nINTERVAL=7\r\nHISTORY_DAYS=30\r\nKEY_WARN_DAYS=45\r\n");

  ASSERT_TRUE(WriteIniInteger("MAIN", "HISTORY_DAYS", 0, ini));
  EXPECT_EQ(ReadHistoryDays(ini), 0);  // keeps every record
  ASSERT_TRUE(WriteIniInteger("MAIN", "HISTORY_DAYS", -3, ini));
  ASSERT_TRUE(WriteIniInteger("MAIN", "KEY_WARN_DAYS", -3, ini));
  EXPECT_EQ(ReadHistoryDays(ini), 400);
  EXPECT_EQ(KeyWarningDays(ini), kDefaultKeyWarningDays);
}

}  // namespace
