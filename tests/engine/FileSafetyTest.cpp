// A file is never lost: failed copies delete nothing, files that cannot be
// taken or delivered stay where they are, and the only copy is never removed.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>

#include "engine/uFileUtil.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "tests/engine/PassFixture.h"

using namespace testing_support;

namespace {

TEST_F(PassTest, FailedMoveDeletesNothing) {
  WriteFile(in + "a.txt", "x");
  ScopedFault fault([](std::string_view op, const std::string&) { return op == "copy" ? EIO : 0; });
  int error = 0;
  EXPECT_FALSE(TTesselActionList::MoveFileTo(in + "a.txt", out + "a.txt", &error));
  EXPECT_EQ(error, EIO);
  EXPECT_EQ(ReadFile(in + "a.txt"), "x");
  EXPECT_FALSE(FileExists(out + "a.txt"));
}

TEST_F(PassTest, FileThatCannotBeTakenStaysAndNoStepRuns) {
  WriteFile(in + "a.txt", "x");
  TFakeStep* step = AddStep("s");
  {
    ScopedFault fault([&](std::string_view op, const std::string& path) {
      return op == "copy" && path.rfind(tmp, 0) == 0 ? ENOSPC : 0;
    });
    registry.RunAllGroups();
  }
  EXPECT_EQ(step->Runs, 0);
  EXPECT_EQ(ReadFile(in + "a.txt"), "x");
  EXPECT_EQ(log.Fields(),
            (std::vector<std::string>{
                kStars, "Out", kEquals, Start("a.txt"),
                "Файл не взят в обработку\t\"a.txt\"\tNo space left on device", End("a.txt")}));
  EXPECT_TRUE(ListNames(tmp).empty());
  registry.RunAllGroups();  // the next pass takes it
  EXPECT_EQ(ReadFile(out + "a.txt"), "x+s");
  EXPECT_FALSE(FileExists(in + "a.txt"));
}

TEST_F(PassTest, FileWithoutAWorkingFolderIsNotTaken) {
  WriteFile(in + "a.txt", "x");
  ScopedFault fault(
      [](std::string_view op, const std::string&) { return op == "mkdir" ? EACCES : 0; });
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(in + "a.txt"), "x");
  EXPECT_EQ(log.Fields().at(4), "Файл не взят в обработку\t\"a.txt\"\tPermission denied");
}

// A file over a MiB keeps no lease through its copy, so its writer may go on
// meanwhile (a small one's writer would wait for the copy to end).
TEST_F(PassTest, FileChangingDuringTheCopyWaitsForALaterPass) {
  const std::string first(2 << 20, 'f'), more = first + " and more";
  WriteFile(in + "a.txt", first);
  AddStep("s");
  {
    ScopedFault fault([&](std::string_view op, const std::string& path) {
      if (op == "copy-data" && path == in + "a.txt")
        WriteFile(in + "a.txt", more);  // the writer goes on
      return 0;
    });
    registry.RunAllGroups();
  }
  EXPECT_EQ(ReadFile(in + "a.txt"), more);
  EXPECT_FALSE(FileExists(out + "a.txt"));
  EXPECT_EQ(log.Fields().at(4),
            "Файл изменился во время копирования, оставлен до следующего прохода\t\"a.txt\"");
  EXPECT_TRUE(ListNames(tmp).empty());
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), more + "+s");
}

TEST_F(PassTest, SourcesStayUntilTheirResultsAreOnTheDisk) {
  WriteFile(in + "a.txt", "x");
  std::vector<std::string> seen;
  ScopedFault fault([&](std::string_view op, const std::string& path) {
    if (op == "sync" || (op == "delete" && path == in + "a.txt"))
      seen.push_back(std::string(op) + " " + path);
    // While the result is being delivered the source is still in place.
    if (op == "copy" && path == out + "a.txt") {
      EXPECT_TRUE(FileExists(in + "a.txt"));
    }
    return 0;
  });
  registry.RunAllGroups();
  // The journal's record, then the result, then the source's deletion reach
  // the disk: a power cut between any two is recovered exactly once.
  EXPECT_EQ(seen, (std::vector<std::string>{"sync " + dir.Path() + "pass.journal",
                                            "sync " + group->DestFolder, "delete " + in + "a.txt",
                                            "sync " + in}));
  EXPECT_FALSE(FileExists(in + "a.txt"));
}

TEST_F(PassTest, FailedFlushKeepsTheSourcesForTheNextPass) {
  WriteFile(in + "a.txt", "x");
  {
    ScopedFault fault(
        [](std::string_view op, const std::string&) { return op == "sync" ? EIO : 0; });
    registry.RunAllGroups();
  }
  EXPECT_EQ(ReadFile(in + "a.txt"), "x");
  EXPECT_EQ(ReadFile(out + "a.txt"), "x");
  const auto fields = log.Fields();
  EXPECT_EQ(fields.back(),
            "Ошибка записи на диск	" + group->DestFolder + "	Input/output error");
  registry.RunAllGroups();  // delivered again, then released
  EXPECT_FALSE(FileExists(in + "a.txt"));
}

TEST_F(PassTest, SourceRewrittenWhileItsOldVersionIsProcessedIsKept) {
  WriteFile(in + "a.txt", "version 1");
  // A peer writes a new version while the old one is being processed.
  auto* step =
      new THookStep([&](const std::string&) { WriteFile(in + "a.txt", "version 2 is longer"); });
  step->Enabled = true;
  group->AddAction(step);
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "version 1");
  EXPECT_EQ(ReadFile(in + "a.txt"), "version 2 is longer");
  group->DeleteAction(0);
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "version 2 is longer");
  EXPECT_FALSE(FileExists(in + "a.txt"));
}

TEST_F(PassTest, WhatReplacesAListedFileAfterTheScanIsNotTaken) {
  const std::string secret = dir.Path() + "secret";
  WriteFile(secret, "private");
  for (bool pipe : {false, true}) {
    SCOPED_TRACE(pipe ? "pipe" : "link");
    WriteFile(in + "a.txt", "a");
    WriteFile(in + "b.txt", "b");
    // On its first run the step lets a peer put something else in place of
    // the other listed source: a link to a file the peer may not read, or a pipe.
    bool swapped = false;
    auto* step = new THookStep([&](const std::string& input) {
      if (std::exchange(swapped, true)) return;
      const std::string other = ExtractFileName(input) == "a.txt" ? "b.txt" : "a.txt";
      const std::string native = platform::Cp1251ToUtf8(in + other);
      ::unlink(native.c_str());
      if (pipe)
        ASSERT_EQ(::mkfifo(native.c_str(), 0600), 0);
      else
        ASSERT_EQ(::symlink(platform::Cp1251ToUtf8(secret).c_str(), native.c_str()), 0);
    });
    step->Enabled = true;
    group->ClearActions();
    group->AddAction(step);
    ::alarm(30);  // a pipe opened for reading would wait for a writer
    registry.RunAllGroups();
    ::alarm(0);

    EXPECT_EQ(ListNames(out).size(), 1u);
    for (const std::string& name : ListNames(out)) EXPECT_NE(ReadFile(out + name), "private");
    const auto fields = log.Fields();
    EXPECT_EQ(std::count_if(
                  fields.begin(), fields.end(),
                  [](const std::string& f) { return f.starts_with("Файл не взят в обработку\t"); }),
              1);
    EXPECT_EQ(ReadFile(secret), "private");
    EXPECT_TRUE(ListNames(tmp).empty());
    for (const std::string& name : ListNames(in))
      ASSERT_EQ(::unlink(platform::Cp1251ToUtf8(in + name).c_str()), 0);
    for (const std::string& name : ListNames(out))
      ASSERT_EQ(::unlink(platform::Cp1251ToUtf8(out + name).c_str()), 0);
    WriteFile(log.Path(), "");
  }
}

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST_F(PassTest, LargeFileMovesWithBoundedMemory) {
  constexpr off_t kSize = 300LL << 20;
  const std::string path = in + "big.txt";
  {
    int fd = ::open(platform::Cp1251ToUtf8(path).c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, kSize), 0);
    ASSERT_EQ(::pwrite(fd, "end", 3, kSize - 3), 3);
    ::close(fd);
  }
  Backdate(path);
  group->CreateAction(kKindNone)->Enabled = true;
  const long before = PeakRssKiB();
  registry.RunAllGroups();
  const long grown = PeakRssKiB() - before;
  platform::FileStat stat;
  ASSERT_EQ(platform::StatPath(out + "big.txt", stat), 0);
  EXPECT_EQ(stat.size, static_cast<uint64_t>(kSize));
  EXPECT_LT(grown, 64 * 1024) << "peak memory grew by " << grown << " KiB";
  EXPECT_FALSE(FileExists(in + "big.txt"));
}

}  // namespace

namespace {

// Every file under a folder, folders included, by its path below it.
std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> found;
  const std::filesystem::path root(platform::Cp1251ToUtf8(folder));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      found.push_back(platform::Utf8ToCp1251Lossy(entry.path().filename().string()));
  return found;
}

// The plaintext of a file does not wait for the rest of the batch: while a
// file is in hand, the temp folder holds its chain and nothing of the files
// before it, whichever way their roads ended.
TEST_F(PassTest, TheTempFolderHoldsOnlyTheChainOfTheFileInHand) {
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt"}) WriteFile(in + name, name);
  AddStep("a")->FailOn = {"2.txt"};  // one goes to the bad-files folder
  std::vector<std::vector<std::string>> seen;
  group->AddAction(new THookStep([&](const std::string&) { seen.push_back(FilesBelow(tmp)); }));
  group->GetAction(1)->Enabled = true;
  AddStep("b");
  registry.RunAllGroups();

  ASSERT_EQ(seen.size(), 3u);  // the three files that got that far
  for (const auto& files : seen) {
    ASSERT_FALSE(files.empty());
    for (const std::string& name : files) EXPECT_EQ(name, files.front()) << "another file's chain";
    EXPECT_LE(files.size(), 2u) << "its copy and the first step's result";
  }
  EXPECT_EQ(ListNames(out).size(), 3u);
  EXPECT_EQ(ListNames(bad), std::vector<std::string>{"2.txt"});
  EXPECT_TRUE(ListNames(tmp).empty());
}

}  // namespace
