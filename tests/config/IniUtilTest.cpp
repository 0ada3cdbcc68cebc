// The INI helpers: value forms, the integer and boolean reading rules, the
// section lists, the read limit and the settings file's path.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "config/uIniUtil.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;
using namespace std::string_literals;

namespace {

class IniUtil : public ::testing::Test {
 protected:
  TempDir dir;
  std::string file = dir.Path() + "s.ini";
};

TEST_F(IniUtil, IntegerReadingRules) {
  struct Case {
    std::string stored;
    int32_t expected;  // 99: the default
  } cases[] = {
      {"7", 7},
      {" 7", 7},
      {"+5", 5},
      {"-12", -12},
      {"$10", 16},
      {"x1F", 31},
      {"X1f", 31},
      {"0x10", 16},
      {"-$10", -16},
      {"$7FFFFFFF", INT_MAX},
      {"-2147483648", INT_MIN},
      {"2147483647", INT_MAX},
      {"007", 7},
      {"2147483648", 99},
      {"-2147483649", 99},
      {"12345678901", 99},
      {"$FFFFFFFF", 99},
      {"7x", 99},
      {"7 ", 99},
      {"7.0", 99},
      {"1e3", 99},
      {"0X10", 99},
      {"$", 99},
      {"0x", 99},
      {"-", 99},
      {"--5", 99},
      {"+-5", 99},
      {"- 5", 99},
      {"$G", 99},
      {"\t7", 99},
      {"seven", 99},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_TRUE(WriteIniString("N", std::to_string(i), cases[i].stored, file));
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(ReadIniInteger("N", std::to_string(i), 99, file), cases[i].expected)
        << "\"" << cases[i].stored << "\"";
  WriteFile(file, "[N]\r\nempty=\r\n");
  EXPECT_EQ(ReadIniInteger("N", "empty", 99, file), 99);
  EXPECT_EQ(ReadIniInteger("N", "missing", -7, file), -7);
  EXPECT_EQ(ReadIniInteger("N", "missing", INT_MIN, dir.Path() + "none.ini"), INT_MIN);
}

TEST_F(IniUtil, BooleanReadingRules) {
  const std::string sep(1, std::localeconv()->decimal_point[0]);
  struct Case {
    std::string stored;
    int expected;  // -1: the default
  } cases[] = {
      {"-1", 1},
      {"1", 1},
      {"5", 1},
      {"TRUE", 1},
      {"true", 1},
      {"True", 1},
      {" 1", 1},
      {"1e5", 1},
      {"0" + sep + "5", 1},
      {sep + "5", 1},
      {"0", 0},
      {"00", 0},
      {"-0", 0},
      {"false", 0},
      {"FALSE", 0},
      {"0e5", 0},
      {"0" + sep + "0", 0},
      {"yes", -1},
      {"no", -1},
      {"1e", -1},
      {"e5", -1},
      {"truex", -1},
      {"1x", -1},
      {sep, -1},
      {"-", -1},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_TRUE(WriteIniString("B", std::to_string(i), cases[i].stored, file));
  for (bool def : {false, true}) {
    for (size_t i = 0; i < std::size(cases); ++i) {
      const bool expected = cases[i].expected < 0 ? def : cases[i].expected == 1;
      EXPECT_EQ(ReadIniBool("B", std::to_string(i), def, file), expected)
          << "\"" << cases[i].stored << "\" default " << def;
    }
    EXPECT_EQ(ReadIniBool("B", "missing", def, file), def);
  }
  WriteFile(file, "[B]\r\nempty=\r\n");
  EXPECT_TRUE(ReadIniBool("B", "empty", true, file));
  EXPECT_FALSE(ReadIniBool("B", "empty", false, file));
}

TEST_F(IniUtil, ValueFormsOnDisk) {
  EXPECT_TRUE(WriteIniBool("S", "t", true, file));
  EXPECT_TRUE(WriteIniBool("S", "f", false, file));
  EXPECT_TRUE(WriteIniInteger("S", "min", INT_MIN, file));
  EXPECT_TRUE(WriteIniInteger("S", "max", INT_MAX, file));
  EXPECT_TRUE(WriteIniString("S", "s", "Текст", file));
  EXPECT_TRUE(WriteIniString("S", "gone", "x", file));
  EXPECT_TRUE(WriteIniString("S", "gone", "", file));  // an empty value removes the key
  EXPECT_EQ(ReadFile(file),
            "[S]\r\nt=-1\r\nf=0\r\nmin=-2147483648\r\nmax=2147483647\r\ns=Текст\r\n");
  EXPECT_EQ(ReadIniString("S", "gone", "default", file), "default");
  EXPECT_EQ(ReadIniString("S", "s", "", file), "Текст");
  // Empty names are passed on as names.
  EXPECT_TRUE(WriteIniString("", "", "v", file));
  EXPECT_EQ(ReadIniString("", "", "", file), "v");
}

TEST_F(IniUtil, ALongValueComesBackCut) {
  const std::string longValue(70000, 'v');
  EXPECT_TRUE(WriteIniString("S", "k", longValue, file));
  EXPECT_EQ(ReadIniString("S", "k", "", file), longValue.substr(0, 65534));
  EXPECT_EQ(ReadIniString("S", "missing", longValue, file), longValue.substr(0, 65534));
  EXPECT_EQ(ReadIniString("S", "k", "", file).size(), 65534u);
  // The section lines are not limited.
  std::vector<std::string> lines;
  ReadSectionLines("S", lines, file);
  EXPECT_EQ(lines, std::vector<std::string>{"k=" + longValue});
}

TEST_F(IniUtil, SectionListsInFileOrder) {
  std::vector<std::string> list{"stale"};
  WriteFile(file, "");
  EXPECT_TRUE(ReadSectionNames(list, file));
  EXPECT_TRUE(list.empty());

  WriteFile(file, "[One]\r\n[Two\\x]\r\n1=second\r\n0=first\r\n[Three]\r\n");
  EXPECT_TRUE(ReadSectionNames(list, file));
  EXPECT_EQ(list, (std::vector<std::string>{"One", "Two\\x", "Three"}));
  list = {"stale"};
  EXPECT_TRUE(ReadSectionLines("Two\\x", list, file));
  EXPECT_EQ(list, (std::vector<std::string>{"1=second", "0=first"}));
  EXPECT_TRUE(ReadSectionLines("Three", list, file));
  EXPECT_TRUE(list.empty());

  EXPECT_TRUE(WriteIniString("L", "0", "first", file));
  EXPECT_TRUE(WriteIniString("L", "1", "second", file));
  EXPECT_TRUE(ReadSectionLines("L", list, file));
  EXPECT_EQ(list, (std::vector<std::string>{"0=first", "1=second"}));
}

TEST(IniSettingsFile, HelpersUseTheProgramsFileAndMissingFilesFallBackToIt) {
  const std::string settings = SettingsFilePath();
  ASSERT_EQ(settings, platform::ProgramPath() + ".ini");  // the test program has no extension
  ::unlink(platform::Cp1251ToUtf8(settings).c_str());
  std::vector<std::string> list{"stale"};
  EXPECT_TRUE(ReadSectionNames(list, "/no/such/file.ini"));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(ReadSettingsInteger("MAIN", "INTERVAL", 3), 3);

  EXPECT_TRUE(WriteSettingsInteger("MAIN", "INTERVAL", 10));
  EXPECT_EQ(ReadSettingsInteger("MAIN", "INTERVAL", 3), 10);
  EXPECT_EQ(ReadFile(settings), "[MAIN]\r\nINTERVAL=10\r\n");
  EXPECT_TRUE(ReadSectionNames(list, "/no/such/file.ini"));
  EXPECT_EQ(list, std::vector<std::string>{"MAIN"});
  EXPECT_TRUE(ReadSectionLines("main", list, "/no/such/file.ini"));
  EXPECT_EQ(list, std::vector<std::string>{"INTERVAL=10"});
  // A missing file is not replaced for single values.
  EXPECT_EQ(ReadIniInteger("MAIN", "INTERVAL", 3, "/no/such/file.ini"), 3);

  // A folder is no file either, with or without the snapshot a load reads through.
  TempDir dir;
  std::string folder = dir.Sub("folder.ini/");
  folder.pop_back();
  EXPECT_TRUE(ReadSectionNames(list, folder));
  EXPECT_EQ(list, std::vector<std::string>{"MAIN"});
  {
    platform::ProfileBatch snapshot(folder, platform::ProfileBatch::Mode::Snapshot);
    EXPECT_EQ(platform::ProfileFileSize(folder), -1);
    EXPECT_TRUE(ReadSectionLines("MAIN", list, folder));
    EXPECT_EQ(list, std::vector<std::string>{"INTERVAL=10"});
  }
  // Something that is there but cannot be read as a file lists nothing,
  // in a snapshot as well, rather than another file's sections.
  const std::string pipe = dir.Path() + "pipe.ini";
  ASSERT_EQ(::mkfifo(platform::Cp1251ToUtf8(pipe).c_str(), 0600), 0);
  EXPECT_TRUE(ReadSectionNames(list, pipe));
  EXPECT_TRUE(list.empty());
  {
    platform::ProfileBatch snapshot(pipe, platform::ProfileBatch::Mode::Snapshot);
    EXPECT_EQ(platform::ProfileFileSize(pipe), 0);
    EXPECT_TRUE(ReadSectionNames(list, pipe));
    EXPECT_TRUE(list.empty());
  }
  ::unlink(platform::Cp1251ToUtf8(settings).c_str());
}

TEST(IniSettingsFile, PathRule) {
  struct Case {
    const char* program;
    const char* settings;
  } cases[] = {
      {"D:\\Tools\\scripts.exe", "D:\\Tools\\scripts.ini"},
      {"/opt/tessel/TesselScripts", "/opt/tessel/TesselScripts.ini"},
      {"/opt/tessel/TesselScripts.EXE", "/opt/tessel/TesselScripts.ini"},
      {"/opt/t.v2/prog", "/opt/t.v2/prog.ini"},
      {"/opt/prog.tar.gz", "/opt/prog.tar.ini"},
      {"prog.", "prog.ini"},
      {"/a/.hidden", "/a/.ini"},
      {"/opt/Программа.exe", "/opt/Программа.ini"},
      {"", ".ini"},
  };
  for (const Case& c : cases) EXPECT_EQ(SettingsFilePathFor(c.program), c.settings) << c.program;
}

TEST(IniSplitMultiString, SplitsUpToTheEmptyItemAndNeverReadsPastTheLength) {
  struct Case {
    std::string block;
    char separator;
    std::vector<std::string> items;
  } cases[] = {
      {"a\0b\0\0"s, '\0', {"a", "b"}},
      {"a\0b\0"s, '\0', {"a", "b"}},
      {"a\0\0b\0"s, '\0', {"a"}},
      {"\0"s, '\0', {""}},
      {"", '\0', {}},
      {"abc", '\0', {"abc"}},
      {"a\0b"s, '\0', {"a", "b"}},
      {"x;y;;z", ';', {"x", "y"}},
      {"x;y;", ';', {"x", "y"}},
  };
  for (const Case& c : cases) {
    // Exactly as large as the length, so any look past it is caught.
    auto buffer = std::make_unique<char[]>(c.block.size());
    std::copy(c.block.begin(), c.block.end(), buffer.get());
    std::vector<std::string> list{"stale"};
    EXPECT_TRUE(SplitMultiString(buffer.get(), c.block.size(), c.separator, list));
    EXPECT_EQ(list, c.items);
  }
}

TEST_F(IniUtil, FileSizeByName) {
  WriteFile(file, "12345");
  EXPECT_EQ(FileSizeByName(file), 5);
  EXPECT_EQ(FileSizeByName(dir.Path() + "none"), 0);
  EXPECT_EQ(FileSizeByName(dir.Sub("folder/")), 0);
}

}  // namespace
