// Working folders carry their run's marker; only folders provably left by a
// run that is gone are removed, with everything in them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "platform/WorkFolders.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

// A working folder made by a child process that then dies.
void MakeInDeadRun(const std::string& folder, const std::string& file) {
  const pid_t child = ::fork();
  if (child == 0) {
    const bool made = platform::CreateWorkFolder(folder) == 0;
    if (made && !file.empty()) WriteFile(folder + "/" + file, "plaintext");
    ::_exit(made ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(WorkFolders, OnlyFoldersOfRunsThatAreGoneAreRemoved) {
  TempDir temp;
  const std::string t = temp.Path();
  MakeInDeadRun(t + "dir0", "pay.txt");
  MakeInDeadRun(t + "dir1", "");
  ASSERT_EQ(platform::CreateWorkFolder(t + "dir2"), 0);  // this run, alive
  WriteFile(t + "dir2/mine.txt", "in use");
  MakeInDeadRun(t + "dir3", "a.txt");
  ASSERT_EQ(::chmod(platform::Cp1251ToUtf8(t + "dir3").c_str(), 0755), 0);  // not as we make them
  ASSERT_EQ(::mkdir(platform::Cp1251ToUtf8(t + "dir4").c_str(), 0700), 0);  // no marker, not empty
  WriteFile(t + "dir4/other.txt", "someone's");
  MakeInDeadRun(t + "dir5", "b.txt");
  ASSERT_EQ(::mkdir(platform::Cp1251ToUtf8(t + "dir5/sub").c_str(), 0700), 0);  // unexpected
  // Empty and private, but without a marker nothing proves whose it is: made
  // a moment ago by another run about to write its marker, say.
  ASSERT_EQ(::mkdir(platform::Cp1251ToUtf8(t + "dir6").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(platform::Cp1251ToUtf8(t + "keep").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(platform::Cp1251ToUtf8(t + "dir4").c_str(),
                      platform::Cp1251ToUtf8(t + "dir7").c_str()),
            0);

  EXPECT_EQ(platform::RemoveAbandonedWorkFolders(t), 2);
  EXPECT_EQ(ListNames(t),
            (std::vector<std::string>{"dir2", "dir3", "dir4", "dir5", "dir6", "dir7", "keep"}));
  EXPECT_EQ(ReadFile(t + "dir2/mine.txt"), "in use");
  EXPECT_EQ(ReadFile(t + "dir4/other.txt"), "someone's");
  // Its files are ours and go; the folder inside keeps it (with its marker).
  EXPECT_FALSE(FileExists(t + "dir5/b.txt"));
  EXPECT_TRUE(DirExists(t + "dir5/sub"));
}

TEST(WorkFolders, TheMarkerIsInvisibleToTheSystemAndGoesWithTheFolder) {
  TempDir temp;
  const std::string folder = temp.Path() + "dir0";
  ASSERT_EQ(platform::CreateWorkFolder(folder), 0);
  EXPECT_EQ(platform::CreateWorkFolder(folder), EEXIST);
  std::vector<platform::DirEntry> entries;
  EXPECT_EQ(platform::ListFolder(folder, entries), 0);
  EXPECT_TRUE(entries.empty());  // the marker's name has no Windows-1251 form
  platform::FileStat st;
  ASSERT_EQ(platform::StatPath(folder, st), 0);
  EXPECT_EQ(st.mode, 0700u);
  EXPECT_EQ(platform::RemoveWorkFolder(folder + "/"), 0);
  EXPECT_FALSE(DirExists(folder));
}

TEST(WorkFolders, ARunIsAliveOnlyWhileItsProcessIs) {
  EXPECT_TRUE(platform::RunAlive(platform::RunIdentity()));
  std::string identity;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const std::string mine = platform::RunIdentity();
    [[maybe_unused]] auto n = ::write(ready[1], mine.data(), mine.size());
    ::_exit(0);
  }
  ::close(ready[1]);
  char buf[256];
  const ssize_t n = ::read(ready[0], buf, sizeof buf);
  ::close(ready[0]);
  ::waitpid(child, nullptr, 0);
  ASSERT_GT(n, 0);
  identity.assign(buf, static_cast<size_t>(n));
  EXPECT_NE(identity, platform::RunIdentity());
  EXPECT_FALSE(platform::RunAlive(identity));
  EXPECT_FALSE(platform::RunAlive("garbage"));
  EXPECT_FALSE(platform::RunAlive("other-boot " + std::to_string(::getpid()) + " 1"));
}

}  // namespace

namespace {

// A run folder with a chain of two links made by a child process that then
// dies; its path.
std::string RunFolderOfDeadRun(const std::string& temp, unsigned mode = 0700) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    std::string run;
    bool made = platform::CreateRunFolder(temp, run) == 0 &&
                platform::CreateChainFolder(run + "0") == 0 &&
                platform::CreateChainFolder(run + "1") == 0;
    if (made) {
      WriteFile(run + "0/pay.txt", "plaintext");
      WriteFile(run + "1/pay.txt", "signed");
      made = ::chmod(platform::Cp1251ToUtf8(run).c_str(), mode) == 0;
    }
    if (made) [[maybe_unused]] auto n = ::write(pipeFds[1], run.data(), run.size());
    ::_exit(made ? 0 : 1);
  }
  ::close(pipeFds[1]);
  char buf[512];
  const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
  ::close(pipeFds[0]);
  ::waitpid(child, nullptr, 0);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

TEST(RunFolders, ADeadRunsFolderGoesWithItsChainAndNothingElseDoes) {
  TempDir temp;
  const std::string t = temp.Path();
  const std::string dead = RunFolderOfDeadRun(t);
  const std::string open = RunFolderOfDeadRun(t, 0755);  // not as we make them
  ASSERT_FALSE(dead.empty());
  ASSERT_FALSE(open.empty());
  std::string mine;
  ASSERT_EQ(platform::CreateRunFolder(t, mine), 0);
  ASSERT_EQ(platform::CreateChainFolder(mine + "0"), 0);
  WriteFile(mine + "0/in-hand.txt", "in use");
  EXPECT_NE(mine, dead);

  EXPECT_EQ(platform::RemoveAbandonedWorkFolders(t), 1);
  EXPECT_FALSE(DirExists(dead));
  EXPECT_TRUE(DirExists(open));
  EXPECT_EQ(ReadFile(mine + "0/in-hand.txt"), "in use");

  // The run's own folder goes whole at its end.
  EXPECT_EQ(platform::RemoveRunFolder(mine), 0);
  EXPECT_FALSE(DirExists(mine));
}

}  // namespace
