// Writing profile files: where keys and sections land, values that must read
// back unchanged, refused writes, the one-step replacement and batches.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Cp1251.h"
#include "platform/Profile.h"
#include "tests/config/ProfileLookup.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;
using namespace std::string_literals;

namespace {

using profile_lookup::Get;
using profile_lookup::kMissing;

bool Put(const std::string& file, const std::string& section, const std::string& key,
         const std::optional<std::string>& value) {
  return platform::WritePrivateProfileStringA(section, key, value ? &*value : nullptr, file);
}

std::string Native(const std::string& path) {
  return platform::Cp1251ToUtf8(path);
}

class ProfileWrite : public ::testing::Test {
 protected:
  TempDir dir;
  std::string file = dir.Path() + "s.ini";
};

TEST_F(ProfileWrite, KeysAndSectionsLandWhereWindowsPutsThem) {
  struct Case {
    const char* what;
    std::optional<std::string> before;  // none: no file
    std::string section, key;
    std::optional<std::string> value;  // none: remove
    std::optional<std::string> after;  // none: still no file
  } cases[] = {
      {"creates file and section", {}, "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"replaces in place, keeps the stored spelling", "[S]\r\nKey=old\r\n[T]\r\nx=1\r\n", "s",
       "KEY", "new", "[S]\r\nKey=new\r\n[T]\r\nx=1\r\n"},
      {"new key after the last value line", "[S]\r\na=1\r\n\r\n; tail\r\n[T]\r\n", "S", "b", "2",
       "[S]\r\na=1\r\nb=2\r\n\r\n; tail\r\n[T]\r\n"},
      {"new key in a section of comments only", "[S]\n; note\n", "S", "b", "2",
       "[S]\r\nb=2\r\n; note\r\n"},
      {"new section at the end, LF lines become CR LF", "[A]\nk=1", "B", "k", "2",
       "[A]\r\nk=1\r\n[B]\r\nk=2\r\n"},
      {"removal keeps the header", "[S]\r\na=1\r\nb=2\r\n", "S", "A", {}, "[S]\r\nb=2\r\n"},
      {"removal takes every line of a key named twice",
       "[S]\r\nk=1\r\nb=2\r\nK=3\r\n",
       "S",
       "k",
       {},
       "[S]\r\nb=2\r\n"},
      {"removing a missing key changes nothing", "[S]\nb=2\n", "S", "a", {}, "[S]\nb=2\n"},
      {"removing from a missing section changes nothing", "[S]\nb=2\n", "T", "b", {}, "[S]\nb=2\n"},
      {"removing from no file creates none", {}, "S", "k", {}, {}},
      {"the first of two equal sections is written", "[S]\r\n[s]\r\n", "S", "k", "v",
       "[S]\r\nk=v\r\n[s]\r\n"},
      {"Cyrillic names match without regard to case", "[Группа]\r\nКлюч=1\r\n", "ГРУППА", "ключ",
       "2", "[Группа]\r\nКлюч=2\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.before) WriteFile(file, *c.before);
    EXPECT_TRUE(Put(file, c.section, c.key, c.value));
    EXPECT_EQ(FileExists(file), c.after.has_value());
    if (c.after) {
      EXPECT_EQ(ReadFile(file), *c.after);
    }
    ::unlink(Native(file).c_str());
  }
}

TEST_F(ProfileWrite, ValuesReadBackAsTheyWereWritten) {
  const std::string values[] = {
      "plain",
      " leading",
      "trailing\t",
      "\"quoted\"",
      "'single'",
      "\"",
      "a \"b\" c",
      "\"ID 1\";\"ID 2\"",
      "x=y",
      "; not a comment",
      "[not a section]",
      "Входящие\\Архив",
      "\xFF\x98\x80",
      "\"'",
      " ",
      "''",
  };
  for (size_t i = 0; i < std::size(values); ++i) {
    const std::string key = "k" + std::to_string(i);
    ASSERT_TRUE(Put(file, "S", key, values[i]));
    EXPECT_EQ(Get(file, "S", key), values[i]) << key;
  }
  // Values that need no protection are stored as they are.
  EXPECT_NE(ReadFile(file).find("\r\nk0=plain\r\n"), std::string::npos);
  EXPECT_NE(ReadFile(file).find("\r\nk6=a \"b\" c\r\n"), std::string::npos);
}

TEST_F(ProfileWrite, RefusesWhatALineCannotHold) {
  WriteFile(file, "[S]\r\nk=v\r\n");
  struct Case {
    std::string section, key, value;
  } cases[] = {
      {"S\r\n[X]", "k", "v"}, {"S", "k\n", "v"},  {"S", "k", "v\r\n[LIST]\r\n0=x"},
      {"S", "k", "a\rb"},     {"S\0"s, "k", "v"}, {"S", "k", "v\0w"s},
      {"S", "a=b", "v"},      {"S", " [X]", "v"}, {"S", ";k", "v"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(Put(file, c.section, c.key, c.value)) << c.section << "/" << c.key;
    EXPECT_EQ(ReadFile(file), "[S]\r\nk=v\r\n");
  }
}

TEST_F(ProfileWrite, ReplacesTheFileWithoutLeavingOrReadingASideFile) {
  // A side file of an interrupted earlier write holds stale keys.
  WriteFile(file + "_tmp", "[Old]\r\nx=1\r\n");
  ASSERT_TRUE(Put(file, "S", "k", "v"));
  EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"s.ini"});
  EXPECT_EQ(Get(file, "Old", "x"), kMissing);

  // A link in the side file's place is not written through.
  WriteFile(dir.Path() + "victim", "keep");
  ASSERT_EQ(::symlink(Native(dir.Path() + "victim").c_str(), Native(file + "_tmp").c_str()), 0);
  ASSERT_TRUE(Put(file, "S", "k", "w"));
  EXPECT_EQ(ReadFile(dir.Path() + "victim"), "keep");
  EXPECT_EQ(ReadFile(file), "[S]\r\nk=w\r\n");
  EXPECT_FALSE(FileExists(file + "_tmp"));
}

TEST_F(ProfileWrite, KeepsTheFileModeAndRespectsReadOnlyFiles) {
  WriteFile(file, "[S]\r\n");
  ASSERT_EQ(::chmod(Native(file).c_str(), 0640), 0);
  ASSERT_TRUE(Put(file, "S", "k", "v"));
  struct stat st {};
  ASSERT_EQ(::stat(Native(file).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  ASSERT_EQ(::chmod(Native(file).c_str(), 0444), 0);
  EXPECT_FALSE(Put(file, "S", "k", "w"));
  EXPECT_EQ(Get(file, "S", "k"), "v");
}

TEST_F(ProfileWrite, AFileThatCannotBeReadIsNotOverwritten) {
  dir.Sub("s.ini/");  // a folder where the file should be
  EXPECT_FALSE(Put(file, "S", "k", "v"));
  EXPECT_TRUE(DirExists(file));
  // A pipe neither blocks the reader nor gets replaced.
  const std::string pipe = dir.Path() + "pipe.ini";
  ASSERT_EQ(::mkfifo(Native(pipe).c_str(), 0600), 0);
  EXPECT_EQ(Get(pipe, "S", "k"), kMissing);
  EXPECT_FALSE(Put(pipe, "S", "k", "v"));
  struct stat st {};
  ASSERT_EQ(::stat(Native(pipe).c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ProfileWrite, FailedReplacementLeavesTheOldFileAndNoSideFile) {
  for (const char* failing : {"write", "rename"}) {
    WriteFile(file, "[S]\r\nk=old\r\n");
    ScopedFault fault([&](std::string_view op, const std::string& path) {
      return op == failing && path == file ? ENOSPC : 0;
    });
    EXPECT_FALSE(Put(file, "S", "k", "new")) << failing;
    EXPECT_EQ(ReadFile(file), "[S]\r\nk=old\r\n") << failing;
    EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"s.ini"}) << failing;
  }
}

TEST_F(ProfileWrite, RewriteBatchStartsEmptyAndReplacesTheFileOnce) {
  WriteFile(file, "[Old]\r\nx=1\r\n");
  const auto before = platform::GetProfileWriteStats();
  {
    platform::ProfileBatch batch(file, platform::ProfileBatch::Mode::Rewrite);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(Put(file, "S", std::to_string(i), "v"));
    EXPECT_EQ(Get(file, "Old", "x"), kMissing);
    EXPECT_EQ(Get(file, "S", "99"), "v");
    EXPECT_EQ(ReadFile(file), "[Old]\r\nx=1\r\n");  // nothing on disk yet
    EXPECT_EQ(batch.Commit(), 0);
    EXPECT_FALSE(batch.Active());
  }
  const auto after = platform::GetProfileWriteStats();
  EXPECT_EQ(after.files - before.files, 1u);
  EXPECT_EQ(after.bytes - before.bytes, ReadFile(file).size());
  EXPECT_EQ(Get(file, "S", "0"), "v");
  EXPECT_EQ(Get(file, "Old", "x"), kMissing);
}

TEST_F(ProfileWrite, UncommittedOrSpoiledRewriteLeavesTheFile) {
  WriteFile(file, "[Old]\r\nx=1\r\n");
  {
    platform::ProfileBatch batch(file, platform::ProfileBatch::Mode::Rewrite);
    Put(file, "S", "k", "v");
  }
  EXPECT_EQ(ReadFile(file), "[Old]\r\nx=1\r\n");

  int writes = 0;
  ScopedFault fault([&](std::string_view op, const std::string&) {
    return op == "write" && ++writes == 2 ? EIO : 0;
  });
  platform::ProfileBatch batch(file, platform::ProfileBatch::Mode::Rewrite);
  EXPECT_TRUE(Put(file, "S", "a", "1"));
  EXPECT_FALSE(Put(file, "S", "b", "2"));
  EXPECT_TRUE(Put(file, "S", "c", "3"));
  EXPECT_EQ(batch.Commit(), EIO);
  EXPECT_EQ(ReadFile(file), "[Old]\r\nx=1\r\n");
  EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"s.ini"});
}

TEST_F(ProfileWrite, SnapshotAnswersFromOneStateAndSeesItsOwnWrites) {
  WriteFile(file, "[S]\r\nk=1\r\n");
  const std::string other = dir.Path() + "other.ini";
  platform::ProfileBatch snapshot(file, platform::ProfileBatch::Mode::Snapshot);
  WriteFile(file, "[S]\r\nk=2\r\n");  // changed behind the snapshot's back
  EXPECT_EQ(Get(file, "S", "k"), "1");
  ASSERT_TRUE(Put(file, "S", "j", "3"));  // goes to the disk at once
  EXPECT_EQ(ReadFile(file), "[S]\r\nk=2\r\nj=3\r\n");
  EXPECT_EQ(Get(file, "S", "k"), "2");
  EXPECT_EQ(Get(file, "S", "j"), "3");
  {
    // A batch of another file inside: each answers for its own file.
    platform::ProfileBatch rewrite(other, platform::ProfileBatch::Mode::Rewrite);
    Put(other, "O", "k", "v");
    EXPECT_FALSE(FileExists(other));
    EXPECT_EQ(Get(file, "S", "j"), "3");
    EXPECT_EQ(rewrite.Commit(), 0);
  }
  EXPECT_EQ(ReadFile(other), "[O]\r\nk=v\r\n");
  EXPECT_EQ(snapshot.Commit(), 0);
  WriteFile(file, "[S]\r\nk=4\r\n");
  EXPECT_EQ(Get(file, "S", "k"), "4");  // ended: reads go to the disk again
}

TEST_F(ProfileWrite, BatchesMayEndInAnyOrder) {
  const std::string other = dir.Path() + "other.ini";
  auto outer =
      std::make_unique<platform::ProfileBatch>(file, platform::ProfileBatch::Mode::Rewrite);
  auto inner =
      std::make_unique<platform::ProfileBatch>(other, platform::ProfileBatch::Mode::Rewrite);
  Put(file, "S", "k", "outer");
  outer.reset();  // ends first, uncommitted
  Put(other, "S", "k", "inner");
  Put(file, "S", "k", "disk");  // no batch for this file any more
  EXPECT_EQ(ReadFile(file), "[S]\r\nk=disk\r\n");
  EXPECT_FALSE(FileExists(other));
  EXPECT_EQ(inner->Commit(), 0);
  EXPECT_EQ(ReadFile(other), "[S]\r\nk=inner\r\n");
}

}  // namespace
