// Asking what may be done with a path, replacing a small file in one step,
// and naming a running process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Access.h"
#include "platform/Cp1251.h"
#include "platform/Process.h"
#include "platform/ReplaceFile.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::ListNames;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(platform::Cp1251ToUtf8(path).c_str(), &st);
  return st.st_mode & 07777;
}

TEST(Access, MissingPathsAndFilesInPlaceOfFoldersAreTold) {
  TempDir dir;
  const std::string file = dir.Path() + "файл.txt";
  WriteFile(file, "x");
  EXPECT_EQ(platform::MayListFolder(dir.Path()), 0);
  EXPECT_EQ(platform::MayChangeFolder(dir.Path()), 0);
  EXPECT_EQ(platform::MayReadFile(file), 0);
  EXPECT_EQ(platform::MayListFolder(dir.Path() + "нет/"), ENOENT);
  EXPECT_EQ(platform::MayChangeFolder(file + "/"), ENOTDIR);
  EXPECT_EQ(platform::MayReadFile(dir.Path() + "нет.txt"), ENOENT);
  // A file to append to may be missing while its folder can take it.
  EXPECT_EQ(platform::MayAppendToFile(dir.Path() + "новый.log"), 0);
  EXPECT_EQ(platform::MayAppendToFile(dir.Path() + "нет/новый.log"), ENOENT);
  EXPECT_EQ(platform::MayAppendToFile(dir.Path()), EISDIR);
  EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"файл.txt"}) << "nothing created";
}

TEST(Access, ReadOnlyFilesAreRefusedForAppending) {
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser may write anything";
  TempDir dir;
  const std::string file = dir.Path() + "ro.log";
  WriteFile(file, "x");
  ::chmod(platform::Cp1251ToUtf8(file).c_str(), 0444);
  EXPECT_EQ(platform::MayAppendToFile(file), EACCES);
}

TEST(ReplaceFile, TheNewContentsReplaceTheOldWithTheModeAndNoSideFileStays) {
  TempDir dir;
  const std::string path = dir.Path() + "tessel.prom";
  const mode_t oldMask = ::umask(077);
  EXPECT_EQ(platform::ReplaceFileContents(path, "first\n", 0644), 0);
  EXPECT_EQ(ReadFile(path), "first\n");
  EXPECT_EQ(ModeOf(path), 0644u) << "the umask does not narrow it";
  // A side file left by an earlier process with this id is not in the way.
  WriteFile(path + ".tmp" + std::to_string(::getpid()), "stale");
  EXPECT_EQ(platform::ReplaceFileContents(path, "second\n", 0644), 0);
  ::umask(oldMask);
  EXPECT_EQ(ReadFile(path), "second\n");
  EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"tessel.prom"});
}

TEST(ReplaceFile, AFailureLeavesTheOldFileAsItWas) {
  TempDir dir;
  const std::string path = dir.Path() + "m.prom";
  WriteFile(path, "old");
  // The target's name is taken by a folder: the rename fails.
  EXPECT_EQ(platform::ReplaceFileContents(dir.Path() + "нет/m.prom", "new", 0644), ENOENT);
  ::mkdir(platform::Cp1251ToUtf8(dir.Path() + "folder.prom").c_str(), 0700);
  EXPECT_NE(platform::ReplaceFileContents(dir.Path() + "folder.prom", "new", 0644), 0);
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(ListNames(dir.Path()), (std::vector<std::string>{"folder.prom", "m.prom"}));
}

TEST(ProcessName, ARunningProcessIsNamedAndAMissingOneIsNot) {
  const std::string own = platform::ProcessName(::getpid());
  EXPECT_FALSE(own.empty());
  EXPECT_EQ(own, std::string("platform_tests").substr(0, 15));
  EXPECT_EQ(platform::ProcessName(0), "");
  EXPECT_EQ(platform::ProcessName(-5), "");
}

}  // namespace
