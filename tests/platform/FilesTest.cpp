#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>

#include "platform/Clock.h"
#include "platform/Cp1251.h"
#include "platform/Durable.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Writers.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

TEST(CopyFile, ReplacesTheTargetAndLeavesNoSideFiles) {
  TempDir dir;
  WriteFile(dir.Path() + "src", "new content");
  WriteFile(dir.Path() + "dst", "old");
  for (auto durability : {platform::Durability::Buffered, platform::Durability::Synced}) {
    EXPECT_EQ(platform::CopyFile(dir.Path() + "src", dir.Path() + "dst", durability), 0);
    EXPECT_EQ(ReadFile(dir.Path() + "dst"), "new content");
    EXPECT_EQ(ListNames(dir.Path()), (std::vector<std::string>{"dst", "src"}));
  }
}

TEST(CopyFile, FailuresLeaveTheTargetAsItWas) {
  TempDir dir;
  WriteFile(dir.Path() + "src", "new");
  WriteFile(dir.Path() + "dst", "old");
  EXPECT_EQ(
      platform::CopyFile(dir.Path() + "missing", dir.Path() + "dst", platform::Durability::Synced),
      ENOENT);
  EXPECT_EQ(
      platform::CopyFile(dir.Path() + "src", dir.Path() + "no/dst", platform::Durability::Synced),
      ENOENT);
  {
    // Failing after the data was read must not publish anything.
    ScopedFault fault(
        [](std::string_view op, const std::string&) { return op == "copy-data" ? EIO : 0; });
    EXPECT_EQ(
        platform::CopyFile(dir.Path() + "src", dir.Path() + "dst", platform::Durability::Synced),
        EIO);
  }
  EXPECT_EQ(ReadFile(dir.Path() + "dst"), "old");
  EXPECT_EQ(ListNames(dir.Path()), (std::vector<std::string>{"dst", "src"}));
  dir.Sub("folder/");
  EXPECT_EQ(
      platform::CopyFile(dir.Path() + "folder", dir.Path() + "x", platform::Durability::Buffered),
      EISDIR);
}

TEST(CopyFile, CyrillicNamesReachTheFileSystemAsUtf8) {
  TempDir dir;
  const std::string name = "\xCF\xEB\xE0\xF2\xB8\xE6.txt";  // Платёж.txt
  WriteFile(dir.Path() + "a", "x");
  ASSERT_EQ(platform::CopyFile(dir.Path() + "a", dir.Path() + name, platform::Durability::Buffered),
            0);
  struct stat st {};
  EXPECT_EQ(::stat((platform::Cp1251ToUtf8(dir.Path()) + "\xD0\x9F\xD0\xBB\xD0\xB0\xD1\x82\xD1\x91"
                                                         "\xD0\xB6.txt")
                       .c_str(),
                   &st),
            0);
}

TEST(CopyFile, OnlyRegularFilesAndLinksOnlyWhenFollowed) {
  TempDir dir;
  const std::string native = platform::Cp1251ToUtf8(dir.Path());
  WriteFile(dir.Path() + "src", "data");
  ASSERT_EQ(::symlink("src", (native + "link").c_str()), 0);
  ASSERT_EQ(::mkfifo((native + "pipe").c_str(), 0600), 0);
  const auto buffered = platform::Durability::Buffered;

  EXPECT_EQ(platform::CopyFile(dir.Path() + "link", dir.Path() + "a", buffered), 0);
  EXPECT_EQ(ReadFile(dir.Path() + "a"), "data");
  EXPECT_EQ(platform::CopyFile(dir.Path() + "link", dir.Path() + "b", buffered,
                               platform::SourceLink::Refuse),
            ELOOP);
  EXPECT_EQ(platform::CopyFile(dir.Path() + "src", dir.Path() + "b", buffered,
                               platform::SourceLink::Refuse),
            0);
  // A pipe with no writer would block a plain open for ever.
  ::alarm(30);
  EXPECT_EQ(platform::CopyFile(dir.Path() + "pipe", dir.Path() + "c", buffered), EINVAL);
  ::alarm(0);
  EXPECT_FALSE(FileExists(dir.Path() + "c"));
}

// Where the kernel will not link a descriptor itself (before 6.10, without
// CAP_DAC_READ_SEARCH) the copy is named through /proc, then and after.
TEST(CopyFile, IsNamedWhereItsDescriptorCannotBeLinked) {
  TempDir dir;
  WriteFile(dir.Path() + "src", "payment");
  platform::AtomicFile::RefuseDescriptorLinksForTests(true);
  for (const char* name : {"first", "second"}) {
    EXPECT_EQ(platform::CopyFile(dir.Path() + "src", dir.Path() + name,
                                 platform::Durability::Buffered),
              0);
    EXPECT_EQ(ReadFile(dir.Path() + name), "payment");
  }
  platform::AtomicFile::RefuseDescriptorLinksForTests(false);
  EXPECT_EQ(ListNames(dir.Path()), (std::vector<std::string>{"first", "second", "src"}));
}

// Only a copy read wholly under a read lease can skip looking at its source
// again: a writer may have gone on during any other.
TEST(CopyFile, OnlyASourceLeasedThroughoutIsToldSteady) {
  TempDir dir;
  const std::string src = dir.Path() + "src";
  WriteFile(src, "payment");
  auto copyTold = [&](platform::OpenedFile* opened, bool lend) {
    bool steady = true;
    platform::CopyOptions options;
    options.opened = opened;
    options.lendOpened = lend;
    options.sourceSteady = &steady;
    EXPECT_EQ(platform::CopyFile(src, dir.Path() + "dst", options), 0);
    EXPECT_EQ(ReadFile(dir.Path() + "dst"), "payment");
    return steady;
  };
  platform::TakeCheck leased = platform::OpenToTake(src, 1 << 20);
  ASSERT_EQ(leased.writers, platform::WriterState::None);
  EXPECT_TRUE(copyTold(leased.opened.get(), /*lend=*/true));
  leased.opened->DropLease();  // lent: still open, but no longer leased
  EXPECT_TRUE(leased.opened->IsOpen());
  EXPECT_FALSE(copyTold(leased.opened.get(), /*lend=*/false));
  EXPECT_FALSE(leased.opened->IsOpen());
  // Over the size whose lease is kept: dropped at once.
  platform::TakeCheck unleased = platform::OpenToTake(src, 3);
  EXPECT_FALSE(copyTold(unleased.opened.get(), /*lend=*/false));
  EXPECT_FALSE(copyTold(nullptr, /*lend=*/false));  // opened by its name
}

TEST(ListFolder, ReportsKindsWithoutFollowingLinks) {
  TempDir dir;
  WriteFile(dir.Path() + "file", "");
  dir.Sub("sub/");
  ASSERT_EQ(::symlink("sub", (platform::Cp1251ToUtf8(dir.Path()) + "link").c_str()), 0);
  std::vector<platform::DirEntry> entries;
  ASSERT_EQ(platform::ListFolder(dir.Path(), entries), 0);
  std::map<std::string, platform::EntryKind> kinds;
  for (auto& e : entries) kinds[e.name] = e.kind;
  EXPECT_EQ(kinds.size(), 3u);
  EXPECT_EQ(kinds["file"], platform::EntryKind::Regular);
  EXPECT_EQ(kinds["sub"], platform::EntryKind::Folder);
  EXPECT_EQ(kinds["link"], platform::EntryKind::Other);
  EXPECT_EQ(platform::ListFolder(dir.Path() + "nowhere", entries), ENOENT);
}

TEST(ErrorText, IsTheSystemMessageWithoutTrailingStopsOrBlanks) {
  EXPECT_EQ(platform::ErrorText(ENOENT), "No such file or directory");
  const std::string text = platform::ErrorText(123456);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '.');
  EXPECT_NE(text.back(), ' ');
}

TEST(ReplaceExtension, ReplacesOnlyTheFileNamesExtension) {
  struct Case {
    const char *path, *out;
  } cases[] = {
      {"/d/scripts.exe", "/d/scripts.log"},
      {"/d/TesselScripts", "/d/TesselScripts.log"},
      {"/d.x/prog", "/d.x/prog.log"},
      {"/d/a.b.c", "/d/a.b.log"},
      {"prog.bin", "prog.log"},
      {"/d/.hidden", "/d/.log"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::ReplaceExtension(c.path, ".log"), c.out) << c.path;
}

TEST(TempPath, FollowsTmpdirOnlyWhenItIsAFolder) {
  TempDir dir;
  {
    ScopedTempPath scoped(dir.Path() + "missing");
    EXPECT_EQ(platform::TempPath(), "/tmp/");
  }
  ScopedTempPath scoped(dir.Path().substr(0, dir.Path().size() - 1));
  EXPECT_EQ(platform::TempPath(), dir.Path());
}

TEST(Timestamp, DateAloneAtMidnight) {
  EXPECT_EQ(platform::FormatTimestamp(FixedClock::Make(2025, 12, 8, 0, 0, 0)), "12/08/25");
  EXPECT_EQ(platform::FormatTimestamp(FixedClock::Make(2025, 12, 8, 0, 0, 1)), "12/08/25 00:00:01");
  // The same time of the next day is a stamp of its own.
  EXPECT_EQ(platform::FormatTimestamp(FixedClock::Make(2025, 12, 9, 0, 0, 1)), "12/09/25 00:00:01");
}

// The log's timestamps read back, the date alone as midnight.
TEST(Timestamp, ReadsBackWhatItWrote) {
  for (const std::string at : {"2025-12-08 00:00:00", "2025-12-08 00:00:01", "2026-07-31 23:59:59"}) {
    const int64_t seconds = platform::ParseLocalTime(at).value();
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    EXPECT_EQ(platform::ParseTimestamp(platform::FormatTimestamp(local)), seconds) << at;
  }
  EXPECT_EQ(platform::ParseTimestamp("12/08/25 00:00:01 x"), std::nullopt);
  EXPECT_EQ(platform::ParseTimestamp(""), std::nullopt);
}

// A log line's stamp and the history's time of the same moment come from one
// clock: just after a second begins, the local time is already in it.
TEST(Timestamp, TheLocalTimeNeverLagsTheWallClock) {
  const int64_t before = platform::WallClockSeconds();
  int64_t second = before;
  while (second == before) second = platform::WallClockSeconds();
  std::tm local = platform::LocalNow();
  EXPECT_GE(static_cast<int64_t>(std::mktime(&local)), second);
}

TEST(RunAndWait, WaitsForTheProgramAndReportsAFailedStart) {
  TempDir dir;
  const std::string marker = dir.Path() + "ran";
  EXPECT_EQ(platform::RunAndWait("/bin/touch", marker), 0);
  EXPECT_TRUE(FileExists(marker));  // it has ended by now
  EXPECT_EQ(platform::RunAndWait(dir.Path() + "no-such-program", "u"), ENOENT);
}

TEST(RunAndRead, CollectsOutputAndErrorsAndTheExitStatus) {
  std::string output;
  int status = -1;
  // More than a pipe holds, so it must be read while the program runs.
  ASSERT_EQ(platform::RunAndRead("/bin/sh",
                                 {"-c", "head -c 200000 /dev/zero | tr '\\0' x; echo; "
                                        "echo \"$1\" >&2; exit 3", "sh", "имя"},
                                 output, status),
            0);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(output, std::string(200000, 'x') + "\n" + platform::Cp1251ToUtf8("имя") + "\n");
  TempDir dir;
  EXPECT_EQ(platform::RunAndRead(dir.Path() + "no-such-program", {}, output, status), ENOENT);
}

}  // namespace
