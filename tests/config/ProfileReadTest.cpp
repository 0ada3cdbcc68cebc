// Reading profile files: hand-edited and Windows-written files, buffer
// contracts, damaged files.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "config/uIniUtil.h"
#include "platform/Profile.h"
#include "tests/config/ProfileLookup.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;
using namespace std::string_literals;

namespace {

using profile_lookup::Get;
using profile_lookup::kMissing;

std::vector<std::string> Names(const std::string& file) {
  std::vector<std::string> names;
  ReadSectionNames(names, file);
  return names;
}

std::vector<std::string> Lines(const std::string& file, const std::string& section) {
  std::vector<std::string> lines;
  ReadSectionLines(section, lines, file);
  return lines;
}

class ProfileRead : public ::testing::Test {
 protected:
  TempDir dir;
  std::string file = dir.Path() + "s.ini";
};

TEST_F(ProfileRead, HandEditedFileWithWindowsHabits) {
  WriteFile(file,
            "\xEF\xBB\xBF; written by hand\n"
            "\n"
            "[Main]\n"
            "  PubKeys =  D:\\Keys\\Public  \n"
            "SecKeys=\"  spaced  \"\n"
            "Single='quoted'\n"
            "Half=\"open\n"
            "Inner=a \"b\" c\n"
            "Empty=\n"
            "; Hidden=comment\n"
            "Bare line\n"
            "\t\n"
            "[Входящие\\MAIN]\r\n"
            "SOUR_FILE_MASK = C:\\in\\*.txt\r"
            "Twice=first\r\n"
            "TWICE=second\r\n"
            "ENABLE = -1");
  struct Case {
    const char* section;
    const char* key;
    std::string expected;
  } cases[] = {
      {"MAIN", "PUBKEYS", "D:\\Keys\\Public"},
      {"main", " seckeys ", "  spaced  "},
      {"Main", "Single", "quoted"},
      {"Main", "Half", "\"open"},
      {"Main", "Inner", "a \"b\" c"},
      {"Main", "Empty", ""},
      {"Main", "Hidden", kMissing},
      {"Main", "; Hidden", kMissing},
      {"Main", "Bare line", kMissing},
      {"Main", "written by hand", kMissing},
      {"входящие\\main", "sour_file_mask", "C:\\in\\*.txt"},
      {"ВХОДЯЩИЕ\\MAIN", "twice", "first"},
      {"Входящие\\MAIN", "ENABLE", "-1"},
      {"Входящие", "ENABLE", kMissing},
      {"Nowhere", "ENABLE", kMissing},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Get(file, c.section, c.key), c.expected) << c.section << " / " << c.key;

  EXPECT_EQ(Names(file), (std::vector<std::string>{"Main", "Входящие\\MAIN"}));
  EXPECT_EQ(
      Lines(file, "MAIN"),
      (std::vector<std::string>{"PubKeys=D:\\Keys\\Public", "SecKeys=  spaced  ", "Single=quoted",
                                "Half=\"open", "Inner=a \"b\" c", "Empty=", "Bare line"}));
  EXPECT_EQ(Get(dir.Path() + "none.ini", "Main", "Single"), kMissing);
}

TEST_F(ProfileRead, SectionsInFileOrderAndTheFirstOfANameCounts) {
  WriteFile(file,
            "[One]\r\nk=1\r\n[Two\\x]\r\n0=first\r\n 1 = second \r\n[Three]\r\n"
            "[one]\r\nk=2\r\n[]\r\nk=empty\r\n");
  // The empty name is there, but as an empty item it ends the list.
  EXPECT_EQ(Names(file), (std::vector<std::string>{"One", "Two\\x", "Three", "one"}));
  char buffer[64];
  EXPECT_EQ(platform::GetPrivateProfileSectionNamesA(buffer, sizeof buffer, file), 21u);
  EXPECT_EQ(std::string(buffer, 22), "One\0Two\\x\0Three\0one\0\0\0"s);
  EXPECT_EQ(Lines(file, "two\\X"), (std::vector<std::string>{"0=first", "1=second"}));
  EXPECT_EQ(Get(file, "ONE", "k"), "1");
  EXPECT_EQ(Lines(file, "one"), std::vector<std::string>{"k=1"});
  EXPECT_EQ(Get(file, "", "k"), "empty");
  EXPECT_TRUE(Lines(file, "Three").empty());
}

TEST_F(ProfileRead, DamagedHeadersAndStrayBytes) {
  WriteFile(file, "[A]\r\na=1\r\n[Broken\r\nb=2\r\n[x]y] tail\r\nk=v\r\nz=\0\x01\xFF\r\n"s +
                      "\xEF\xBB\xBF[NotFirst]\r\n");
  // A header without "]" is no header: the keys below it stay in the section above.
  EXPECT_EQ(Names(file), (std::vector<std::string>{"A", "x]y"}));
  EXPECT_EQ(Get(file, "A", "b"), "2");
  EXPECT_EQ(Lines(file, "A"), (std::vector<std::string>{"a=1", "b=2"}));
  EXPECT_EQ(Get(file, "x]y", "k"), "v");
  EXPECT_EQ(Get(file, "x]y", "z"), "\0\x01\xFF"s);
}

TEST_F(ProfileRead, StringIsCutToTheBufferAndAlwaysTerminated) {
  WriteFile(file, "[S]\r\nk=abcdef\r\n");
  struct Case {
    size_t size;
    size_t count;
  } cases[] = {{0, 0}, {1, 0}, {2, 1}, {6, 5}, {7, 6}, {100, 6}};
  for (const Case& c : cases) {
    for (const char* key : {"k", "missing"}) {  // the default "abcdef" is cut the same way
      auto buffer = std::make_unique<char[]>(c.size + 4);
      std::fill(buffer.get(), buffer.get() + c.size + 4, 'Z');
      size_t n = platform::GetPrivateProfileStringA("S", key, "abcdef", buffer.get(), c.size, file);
      EXPECT_EQ(n, c.count) << c.size;
      if (c.size > 0) {
        EXPECT_EQ(buffer[n], 0);
        EXPECT_EQ(std::string(buffer.get(), n), std::string("abcdef").substr(0, n));
      }
      EXPECT_EQ(std::string(buffer.get() + c.size, 4), "ZZZZ") << "written past the buffer";
    }
  }
}

TEST_F(ProfileRead, ListsAreCutAndEndInTwoZeroBytesInsideTheBuffer) {
  WriteFile(file, "[One]\r\n[Two]\r\n[Three]\r\n");
  const std::string full("One\0Two\0Three\0\0", 15);
  for (size_t size = 0; size <= 20; ++size) {
    auto buffer = std::make_unique<char[]>(size + 4);
    std::fill(buffer.get(), buffer.get() + size + 4, 'Z');
    size_t n = platform::GetPrivateProfileSectionNamesA(buffer.get(), size, file);
    EXPECT_EQ(std::string(buffer.get() + size, 4), "ZZZZ") << "written past " << size;
    if (size >= full.size()) {
      EXPECT_EQ(n, full.size() - 1);
      EXPECT_EQ(std::string(buffer.get(), full.size()), full);
    } else if (size >= 2) {
      EXPECT_EQ(n, size - 2) << size;
      EXPECT_EQ(buffer[size - 2], 0);
      EXPECT_EQ(buffer[size - 1], 0);
      EXPECT_EQ(std::string(buffer.get(), n), full.substr(0, n));
    } else {
      EXPECT_EQ(n, 0u);
    }
  }
}

TEST_F(ProfileRead, ListsFitInABufferOfTheFileSize) {
  // Files whose lists are as long as they can get against the file's size.
  struct Case {
    std::string bytes;
    std::string section;
    std::vector<std::string> names;
    std::vector<std::string> lines;
  } cases[] = {
      {"[A]", "A", {"A"}, {}},
      {"[]", "", {""}, {}},
      {"[S]\nk=v", "S", {"S"}, {"k=v"}},
      {"[S]\r\n=\r\n", "S", {"S"}, {"="}},
      {"[S]\nx", "S", {"S"}, {"x"}},
      {"[A]\r[B]\n[C]", "C", {"A", "B", "C"}, {}},
      {"[S]\n'a'=\"\"", "S", {"S"}, {"'a'="}},
  };
  for (const Case& c : cases) {
    WriteFile(file, c.bytes);
    const size_t size = static_cast<size_t>(FileSizeByName(file));
    ASSERT_EQ(size, c.bytes.size());
    std::vector<std::string> list;
    auto buffer = std::make_unique<char[]>(size);  // exactly the file's size
    size_t n = platform::GetPrivateProfileSectionNamesA(buffer.get(), size, file);
    SplitMultiString(buffer.get(), n, '\0', list);
    EXPECT_EQ(list, c.names) << c.bytes;
    n = platform::GetPrivateProfileSectionA(c.section, buffer.get(), size, file);
    SplitMultiString(buffer.get(), n, '\0', list);
    EXPECT_EQ(list, c.lines) << c.bytes;
  }
}

TEST_F(ProfileRead, GarbageAndHugeLinesReadWithoutHarm) {
  std::mt19937 random(20251208);
  std::string garbage(1 << 20, '\0');
  // No zero bytes: a name holding one would end the section list early.
  for (char& c : garbage) c = static_cast<char>(random() % 255 + 1);
  // Garbage first, then a readable tail: what is readable is found.
  WriteFile(file, garbage + "\r\n[Tail]\r\nk=v\r\n");
  std::vector<std::string> names = Names(file);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), "Tail");
  EXPECT_EQ(Get(file, "Tail", "k"), "v");
  for (const std::string& name : names) Lines(file, name);

  const std::string huge(10 << 20, 'x');
  WriteFile(file, "[S]\r\nk=" + huge + "\r\nnext=1\r\n[" + huge);
  EXPECT_EQ(ReadIniString("S", "k", "", file), huge.substr(0, 65534));
  EXPECT_EQ(Get(file, "S", "next"), "1");
  EXPECT_EQ(Names(file), std::vector<std::string>{"S"});
  std::vector<std::string> lines = Lines(file, "S");
  ASSERT_EQ(lines.size(), 2u);  // the unclosed header is no line of the section
  EXPECT_EQ(lines[0].size(), huge.size() + 2);
}

TEST_F(ProfileRead, FileSizeAsTheProfileSeesIt) {
  EXPECT_EQ(platform::ProfileFileSize(file), -1);
  WriteFile(file, "[S]\r\n");
  EXPECT_EQ(platform::ProfileFileSize(file), 5);
  {
    platform::ProfileBatch batch(file, platform::ProfileBatch::Mode::Rewrite);
    EXPECT_EQ(platform::ProfileFileSize(file), 0);  // the new contents start empty
    std::string v = "1";
    EXPECT_TRUE(platform::WritePrivateProfileStringA("Ab", "k", &v, file));
    EXPECT_EQ(platform::ProfileFileSize(file), 11);
  }
  EXPECT_EQ(platform::ProfileFileSize(file), 5);  // never committed
}

}  // namespace
