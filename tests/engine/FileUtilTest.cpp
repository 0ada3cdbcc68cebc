#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

TEST(NewTempFolder, SkipsNumbersOthersHoldAndClaimsPrivately) {
  TempDir dir;
  const std::string temp = dir.Sub("tmp/");
  ScopedTempPath scoped(temp);
  dir.Sub("tmp/dir0/");
  dir.Sub("tmp/dir2/");
  EXPECT_EQ(GetTempDir(), temp);
  EXPECT_EQ(NewTempFolder(), temp + "dir1/");
  EXPECT_EQ(NewTempFolder(), temp + "dir3/");
  struct stat st {};
  ASSERT_EQ(::stat(platform::Cp1251ToUtf8(temp + "dir1").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// A file's chain lives in the run's own private folder, one folder per link,
// and goes when the file's road ends; the folders go with the group's pass.
TEST(NewWorkPath, AFilesChainGoesWhenItsRoadEndsAndTheRunFolderWithThePass) {
  TempDir dir;
  const std::string temp = dir.Sub("tmp/");
  ScopedTempPath scoped(temp);
  dir.Sub("tmp/dir0/");  // somebody else's
  TTempFileList list;
  list.CurrentName = "a.txt";
  const std::string first = list.NewWorkPath(), second = list.NewWorkPath();
  const std::string run = list.RunFolder();
  ASSERT_FALSE(run.empty());
  EXPECT_EQ(first, run + "0/a.txt");
  EXPECT_EQ(second, run + "1/a.txt");
  struct stat st {};
  ASSERT_EQ(::stat(platform::Cp1251ToUtf8(run).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  WriteFile(first, "plain");
  WriteFile(second, "cipher");

  list.EndFile();
  EXPECT_FALSE(FileExists(first));
  EXPECT_FALSE(FileExists(second));
  // The next file takes the same links.
  list.CurrentName = "b.txt";
  EXPECT_EQ(list.NewWorkPath(), run + "0/b.txt");
  WriteFile(run + "0/b.txt", "left by a failed step");

  list.Cleanup();
  EXPECT_EQ(ListNames(temp), std::vector<std::string>{"dir0"});
}

TEST(NewTempFolder, AFileOfTheSameNameIsSkippedToo) {
  TempDir dir;
  const std::string temp = dir.Sub("tmp/");
  ScopedTempPath scoped(temp);
  WriteFile(temp + "dir0", "not a folder");
  EXPECT_EQ(NewTempFolder(), temp + "dir1/");
}

TEST(NewTempFolder, ReportsWhenNoFolderCanBeMade) {
  TempDir dir;
  const std::string temp = dir.Sub("tmp/");
  ScopedTempPath scoped(temp);
  ScopedFault fault(
      [](std::string_view op, const std::string&) { return op == "mkdir" ? ENOSPC : 0; });
  int error = 0;
  EXPECT_EQ(NewTempFolder(&error), "");
  EXPECT_EQ(error, ENOSPC);
}

TEST(FindFiles, ListsMatchingRegularFilesOnly) {
  TempDir dir;
  const std::string in = dir.Sub("in/");
  WriteFile(in + "a.txt", "");
  WriteFile(in + ".hidden.txt", "");
  WriteFile(in + "b.doc", "");
  WriteFile(in + "Отчёт.TXT", "");
  dir.Sub("in/sub.txt/");
  ASSERT_EQ(::symlink(platform::Cp1251ToUtf8(in + "a.txt").c_str(),
                      platform::Cp1251ToUtf8(in + "link.txt").c_str()),
            0);
  ASSERT_EQ(::mkfifo(platform::Cp1251ToUtf8(in + "pipe.txt").c_str(), 0600), 0);
  // A name with no Windows-1251 form (a Chinese character) is left alone.
  WriteFile(dir.Path() + "in/" + "x.txt", "");
  {
    std::string native = platform::Cp1251ToUtf8(in) + "\xE4\xB8\xAD.txt";
    FILE* f = std::fopen(native.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }

  std::vector<std::string> found;
  ASSERT_TRUE(FindFiles(in.substr(0, in.size() - 1), "*.txt", found));
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{in + ".hidden.txt", in + "a.txt", in + "x.txt",
                                             in + "Отчёт.TXT"}));
}

TEST(FindFiles, MissingFolderIsFalseAndLeavesTheList) {
  std::vector<std::string> found{"keep"};
  EXPECT_FALSE(FindFiles("/no/such/folder", "*", found));
  EXPECT_EQ(found, std::vector<std::string>{"keep"});
}

TEST(FindOnSearchPath, FindsAFileOnPathOrGivesTheNameBack) {
  TempDir dir;
  const std::string bin = dir.Sub("bin/");
  WriteFile(bin + "tool", "#!/bin/sh\n");
  const char* old = std::getenv("PATH");
  const std::string saved = old ? old : "";
  ::setenv("PATH", ("/nonexistent:" + platform::Cp1251ToUtf8(bin)).c_str(), 1);
  EXPECT_EQ(FindOnSearchPath("tool"), bin + "tool");
  EXPECT_EQ(FindOnSearchPath("no-such-tool"), "no-such-tool");
  ::setenv("PATH", saved.c_str(), 1);
}

TEST(PathHelpers, DelimiterAndBareName) {
  EXPECT_EQ(IncludeTrailingDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingDelimiter("/a/"), "/a/");
  EXPECT_EQ(ExtractFileName("/a/b.txt"), "b.txt");
  EXPECT_EQ(ExtractFileName("b.txt"), "b.txt");
}

}  // namespace
