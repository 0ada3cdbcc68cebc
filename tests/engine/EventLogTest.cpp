#include <gtest/gtest.h>

#include "engine/uTesselTypes.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

class CollectingTarget : public TLogTarget {
 public:
  std::vector<std::string> lines;
  void AddLine(const std::string& line, TLogKind) override { lines.push_back(line); }
};

class EventLogTest : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedLogFile log{dir.Path() + "program.log"};
};

// The C locale's short date of 2025-12-08 ("%x").
const std::string kDate = "12/08/25";

TEST_F(EventLogTest, LineIsTimestampTabSeparatedFieldsAndCrLf) {
  FixedClock clock(2025, 12, 8, 9, 3, 7);
  WriteLog({"Копия - успешно", "/out/a.txt"});
  EXPECT_EQ(log.Bytes(), kDate +
                             " 09:03:07\t\xCA\xEE\xEF\xE8\xFF - \xF3\xF1\xEF\xE5\xF8\xED\xEE"
                             "\t/out/a.txt\r\n");
}

TEST_F(EventLogTest, SingleEmptyFieldLeavesTimestampAndOneTab) {
  FixedClock clock(2025, 12, 8, 9, 3, 7);
  WriteLog({""});
  EXPECT_EQ(log.Bytes(), kDate + " 09:03:07\t\r\n");
}

TEST_F(EventLogTest, EmptyMiddleFieldLeavesTwoTabsAndNoTrailingTab) {
  FixedClock clock(2025, 12, 8, 9, 3, 7);
  WriteLog({"SignInit:", "", "Нет ошибки."});
  EXPECT_EQ(log.Bytes(),
            kDate + " 09:03:07\tSignInit:\t\t\xCD\xE5\xF2 \xEE\xF8\xE8\xE1\xEA\xE8.\r\n");
}

TEST_F(EventLogTest, MidnightShowsTheDateAlone) {
  FixedClock clock(2025, 12, 8, 0, 0, 0);
  WriteLog({"x"});
  EXPECT_EQ(log.Bytes(), kDate + "\tx\r\n");
}

TEST_F(EventLogTest, LinesAreAppendedNeverTruncated) {
  WriteFile(log.Path(), "old line\r\n");
  FixedClock clock(2025, 12, 8, 0, 0, 1);
  WriteLog({"a"});
  WriteLog({"b"});
  EXPECT_EQ(log.Bytes(), "old line\r\n" + kDate + " 00:00:01\ta\r\n" + kDate + " 00:00:01\tb\r\n");
}

TEST_F(EventLogTest, TargetGetsTheSameLinesOnceAttached) {
  FixedClock clock(2025, 12, 8, 10, 0, 0);
  CollectingTarget target;
  WriteLog({"before"});
  LogTarget = &target;
  WriteLog({"after", "x"});
  LogTarget = nullptr;
  ASSERT_EQ(target.lines.size(), 1u);
  EXPECT_EQ(target.lines[0], kDate + " 10:00:00\tafter\tx");
  EXPECT_EQ(log.Bytes(), kDate + " 10:00:00\tbefore\r\n" + target.lines[0] + "\r\n");
}

TEST_F(EventLogTest, UnopenableLogLosesTheLineEverywhere) {
  CollectingTarget target;
  LogTarget = &target;
  SetLogFilePath(dir.Path() + "missing-folder/x.log");
  WriteLog({"lost"});
  LogTarget = nullptr;
  EXPECT_TRUE(target.lines.empty());
  EXPECT_FALSE(FileExists(dir.Path() + "missing-folder/x.log"));
}

TEST(EventLogPath, IsTheProgramPathWithLogExtension) {
  const std::string path = LogFilePath();
  ASSERT_GE(path.size(), 4u);
  EXPECT_EQ(path.substr(path.size() - 4), ".log");
  EXPECT_NE(path.find("engine_tests"), std::string::npos);
}

}  // namespace
