// Files still being written are neither taken nor deleted; the settle time
// counts on the pass's own clock; names without a Windows-1251 form are said once.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

#include "engine/MaskListing.h"
#include "engine/Readiness.h"
#include "platform/Clock.h"
#include "platform/Cp1251.h"
#include "tests/engine/PassFixture.h"

using namespace testing_support;
using std::chrono::seconds;

namespace {

void SetMtime(const std::string& path, time_t when) {
  const timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, platform::Cp1251ToUtf8(path).c_str(), times, 0), 0);
}

// A child process that writes a file in chunks, holding it open, and closes
// it when told to through a pipe.
class ChunkWriter {
 public:
  explicit ChunkWriter(const std::string& path) {
    int go[2], ready[2];
    EXPECT_EQ(::pipe(go), 0);
    EXPECT_EQ(::pipe(ready), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(go[1]);
      ::close(ready[0]);
      const int fd =
          ::open(platform::Cp1251ToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      char command = 0;
      // Each byte read asks for one more chunk; end of the pipe closes the file.
      for (;;) {
        [[maybe_unused]] auto n = ::write(ready[1], "r", 1);
        if (::read(go[0], &command, 1) != 1) break;
        [[maybe_unused]] auto w = ::write(fd, "chunk;", 6);
      }
      ::close(fd);
      ::_exit(0);
    }
    ::close(go[0]);
    ::close(ready[1]);
    go_ = go[1];
    ready_ = ready[0];
    WaitReady();
  }
  void Chunk() {
    [[maybe_unused]] auto n = ::write(go_, "c", 1);
    WaitReady();
  }
  void Close() {
    ::close(go_);
    ::waitpid(pid_, nullptr, 0);
    ::close(ready_);
  }

 private:
  void WaitReady() {
    char c;
    [[maybe_unused]] auto n = ::read(ready_, &c, 1);
  }
  pid_t pid_ = -1;
  int go_ = -1, ready_ = -1;
};

TEST_F(PassTest, AFileOpenForWritingIsTakenOnlyOnceItsWriterClosesIt) {
  ChunkWriter writer(in + "big.txt");
  writer.Chunk();
  for (int i = 0; i < 3; ++i) {
    registry.RunAllGroups();
    writer.Chunk();
  }
  EXPECT_TRUE(ListNames(out).empty());
  EXPECT_EQ(group->Run().LastPass.Left, 1);
  // One line when it starts to wait, not one per pass.
  EXPECT_EQ(log.Fields(), (std::vector<std::string>{kStars, "Out",
                                                    "Файл ожидает окончания записи\t\"big.txt\"\t"
                                                    "открыт для записи"}));
  EXPECT_EQ(ListMaskSelection(*group).Waiting.at(0).Reason, "открыт для записи");
  writer.Close();
  SetMtime(in + "big.txt", std::time(nullptr) - 60);  // closed a while ago
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "big.txt"), "chunk;chunk;chunk;chunk;");
  EXPECT_FALSE(FileExists(in + "big.txt"));
}

TEST_F(PassTest, ASourceReopenedForWritingDuringItsPassIsNotDeleted) {
  WriteFile(in + "a.txt", "first");
  int fd = -1;
  auto* step = new THookStep([&](const std::string&) {
    fd = ::open(platform::Cp1251ToUtf8(in + "a.txt").c_str(), O_WRONLY | O_APPEND);
  });
  step->Enabled = true;
  group->AddAction(step);
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "first");
  EXPECT_EQ(ReadFile(in + "a.txt"), "first");  // its writer has it: it stays
  EXPECT_EQ(log.Fields().back(),
            "Исходный файл открыт для записи, оставлен до следующего прохода\t" + in + "a.txt");
  ::close(fd);
}

TEST_F(PassTest, WithoutALeaseAFileMustLookTheSameAtTwoScans) {
  WriteFile(in + "a.txt", "x");
  // As for a file of another owner, or on a network file system.
  ScopedFault noLease(
      [](std::string_view op, const std::string&) { return op == "lease" ? EACCES : 0; });
  registry.RunAllGroups();
  EXPECT_FALSE(FileExists(out + "a.txt"));
  EXPECT_EQ(log.Fields().back(),
            "Файл ожидает окончания записи\t\"a.txt\"\tизменился с прошлого прохода");
  WriteFile(in + "a.txt", "xy");  // still growing
  registry.RunAllGroups();
  EXPECT_FALSE(FileExists(out + "a.txt"));
  registry.RunAllGroups();  // unchanged since the last scan
  EXPECT_EQ(ReadFile(out + "a.txt"), "xy");
}

class Settling : public PassTest {
 protected:
  std::chrono::steady_clock::time_point t0 = std::chrono::steady_clock::now();
  std::string file = in + "a.txt";
  bool ReadyAt(int second) {
    return CheckReadiness(*group, file, t0 + seconds(second), platform::WallClockNs()).Ready;
  }
};

TEST_F(Settling, AFileIsTakenOnlyAfterLookingTheSameForTheWholeTime) {
  group->SettleSeconds = 10;
  WriteFile(file, "a");
  EXPECT_FALSE(ReadyAt(0));
  WriteFile(file, "ab");  // keeps changing
  EXPECT_FALSE(ReadyAt(8));
  EXPECT_FALSE(ReadyAt(17));
  EXPECT_TRUE(ReadyAt(18));  // ten seconds since the last change
}

TEST_F(Settling, AnotherFileOfTheSameSizeAndTimeStartsTheWaitAgain) {
  group->SettleSeconds = 10;
  WriteFile(file, "one");
  SetMtime(file, 1000000);
  EXPECT_FALSE(ReadyAt(0));
  const std::string other = dir.Path() + "other";
  WriteFile(other, "two");
  SetMtime(other, 1000000);
  ASSERT_EQ(::rename(platform::Cp1251ToUtf8(other).c_str(), platform::Cp1251ToUtf8(file).c_str()),
            0);
  EXPECT_FALSE(ReadyAt(9));
  EXPECT_FALSE(ReadyAt(18));  // a new identity at 9
  EXPECT_TRUE(ReadyAt(19));
}

TEST_F(Settling, AnOldModificationTimeDoesNotShortenTheWait) {
  group->SettleSeconds = 10;
  WriteFile(file, "copied");
  SetMtime(file, 86400);  // a copy that kept the time of its original
  EXPECT_FALSE(ReadyAt(0));
  EXPECT_FALSE(ReadyAt(9));
  EXPECT_TRUE(ReadyAt(10));
}

TEST_F(Settling, ThroughThePassAWaitingFileIsSaidOnceAndTheRestGoOn) {
  group->SettleSeconds = 3600;
  WriteFile(file, "new");
  registry.RunAllGroups();
  registry.RunAllGroups();
  EXPECT_TRUE(ListNames(out).empty());
  EXPECT_EQ(log.Fields(), (std::vector<std::string>{kStars, "Out",
                                                    "Файл ожидает окончания записи\t\"a.txt\"\t"
                                                    "изменялся менее 3600 с назад"}));
  EXPECT_EQ(ListMaskSelection(*group).Waiting.at(0).Name, "a.txt");
  group->SettleSeconds = 0;
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "new");
}

TEST_F(PassTest, AWriterThatClosesBetweenAppendsLosesNoPiece) {
  // As a shell's ">>" in a loop: every piece is a closed file, just changed.
  std::string written;
  for (int piece = 0; piece < 3; ++piece) {
    written += "piece" + std::to_string(piece) + ";";
    WriteFreshFile(in + "log.txt", written);
    registry.RunAllGroups();
    EXPECT_TRUE(ListNames(out).empty());
    EXPECT_EQ(group->Run().LastPass.Fresh, 1);
  }
  EXPECT_TRUE(log.Fields().empty());                 // a moment's wait is not worth a line
  SetMtime(in + "log.txt", std::time(nullptr) - 3);  // the writer is done
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "log.txt"), written);
  EXPECT_FALSE(FileExists(in + "log.txt"));
}

TEST_F(Settling, AChangeDatedAheadOfTheClockWaitsOnThePassClockInstead) {
  WriteFile(file, "from a machine whose clock is ahead");
  SetMtime(file, std::time(nullptr) + 3600);
  EXPECT_FALSE(ReadyAt(0));
  EXPECT_FALSE(ReadyAt(1));
  EXPECT_TRUE(ReadyAt(2));
}

TEST_F(PassTest, AResultThisPassDeliveredIsTakenAtOnceByTheNextGroup) {
  const std::string mid = dir.Sub("mid/");
  AddNextGroup(mid);
  WriteFile(in + "a.txt", "chained");
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "chained");
  // Another writer's fresh file in the same folder still waits.
  WriteFreshFile(mid + "b.txt", "fresh");
  registry.RunAllGroups();
  EXPECT_FALSE(FileExists(out + "b.txt"));
}

TEST_F(PassTest, ANameWithoutAWindows1251FormIsSaidOnceAndLeftAlone) {
  const std::string native = platform::Cp1251ToUtf8(in) + "\xE2\x98\x83.txt";  // a snowman
  ASSERT_EQ(::close(::open(native.c_str(), O_WRONLY | O_CREAT, 0600)), 0);
  registry.RunAllGroups();
  registry.RunAllGroups();
  EXPECT_EQ(log.Fields(),
            (std::vector<std::string>{kStars, "Out",
                                      "Имя файла не имеет формы в кодировке Windows-1251, файл не "
                                      "обрабатывается\t" +
                                          in + "?.txt"}));
  EXPECT_EQ(::access(native.c_str(), F_OK), 0);
  EXPECT_EQ(ListMaskSelection(*group).Unnamed, std::vector<std::string>{"?.txt"});
}

}  // namespace
