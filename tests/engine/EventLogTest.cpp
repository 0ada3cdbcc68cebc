#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/LogEscape.h"
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

TEST_F(EventLogTest, AFieldWithLineBreaksCannotForgeALineOrAField) {
  FixedClock clock(2025, 12, 8, 10, 0, 0);
  CollectingTarget target;
  LogTarget = &target;
  const std::string name =
      "x\r\n12.10.26 09:00:00\tПроверить подпись\tКлюч BANK : ЭЦП Верна\r\n.txt";
  WriteLog({"Начало обработки файла", name});
  LogTarget = nullptr;
  const std::string bytes = log.Bytes();
  // One line of two fields, the same in the file and on screen.
  EXPECT_EQ(bytes.find("\r\n"), bytes.size() - 2);
  ASSERT_EQ(target.lines.size(), 1u);
  EXPECT_EQ(target.lines[0] + "\r\n", bytes);
  const std::string field =
      bytes.substr(bytes.rfind('\t') + 1, bytes.size() - 2 - bytes.rfind('\t') - 1);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\t'), 2);
  EXPECT_EQ(UnescapeLogField(field), name);
}

TEST(LogEscape, EveryFieldComesBackAndPlainTextStaysAsItIs) {
  // Backslashes as they stand in settings section names and Windows paths.
  EXPECT_EQ(EscapeLogField("G\\ACTION_0"), "G\\ACTION_0");
  EXPECT_EQ(EscapeLogField("C:\\in\\"), "C:\\in\\");
  EXPECT_EQ(EscapeLogField("a\tb"), "a\\x09b");
  // Backslashes that would read as an escape are doubled.
  EXPECT_EQ(EscapeLogField("\\x41"), "\\\\x41");
  EXPECT_EQ(EscapeLogField("\\\n"), "\\\\\\x0A");
  std::mt19937 random(7);
  const std::string alphabet = std::string("\\x0AF\t\r\n\x7f\x01 \xC0", 12);
  for (int round = 0; round < 5000; ++round) {
    std::string field(random() % 12, ' ');
    for (char& c : field) c = alphabet[random() % alphabet.size()];
    const std::string escaped = EscapeLogField(field);
    ASSERT_EQ(UnescapeLogField(escaped), field) << escaped;
    for (unsigned char c : escaped) ASSERT_TRUE(c >= 0x20 && c != 0x7F) << escaped;
  }
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
