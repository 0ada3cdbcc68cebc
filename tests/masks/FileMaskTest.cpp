#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "masks/FileMask.h"
#include "masks/MaskText.h"
#include "masks/Template.h"
#include "platform/Cp1251.h"

namespace {

TEST(FileMask, Selection) {
  struct Case {
    std::string mask, name, folder;
    bool expected;
  };
  const Case cases[] = {
      {"*.txt", "Report.TXT", "/in/", true},
      {"*.txt", "a.txt.bak", "/in/", false},
      {"*.txt|~*", "a.txt", "/in/", true},
      {"*.txt|~*", "~a.txt", "/in/", false},
      {"|*.tmp", "a.txt", "/in/", false},
      {"|*.tmp", "a.tmp", "/in/", false},
      {"", "a.txt", "/in/", false},
      {"  \t ", "a.txt", "/in/", false},
      {"*.txt ; *.doc", "a.txt", "/in/", true},
      {"*.txt ; *.doc", "b.doc", "/in/", true},
      {"*.txt ; *.doc", "c.xls", "/in/", false},
      {"*.txt;a", "a", "/in/", true},
      {"*.txt;a", "ab", "/in/", false},
      {";;*.txt;;", "a.txt", "/in/", true},
      {"a;b;c", "c", "/in/", true},
      // Only the first "|" divides; later ones belong to the exclude part.
      {"*|b|c", "b|c", "/in/", false},
      {"*|b|c", "b", "/in/", true},
      {"*|b|c", "c", "/in/", true},
      {"*|", "a", "/in/", true},
      {"*| ; ", "a", "/in/", true},
      {"*.*|*.tmp;*.bak", "x.bak", "/in/", false},
      {"*.*|*.tmp;*.bak", "x.dat", "/in/", true},
      // The exclude side sees folder plus name for path templates.
      {"*.txt|*\\old\\*", "a.txt", "C:\\old\\", false},
      {"*.txt|*\\old\\*", "a.txt", "C:\\new\\", true},
      {"*.txt|*/old/*", "a.txt", "/data/old/", false},
      {"*.txt|*/old/*", "a.txt", "/data/OLD/", false},
      {"*.txt|*/old/*", "a.txt", "/data/older/", true},
      {"*.txt|/data/*", "a.txt", "/data/", false},
      {"*.txt|/data/*", "a.txt", "/other/data/", true},
      // Non-path exclude templates still see the bare name only.
      {"*|old*", "a.txt", "/old/", true},
      {"*|old*", "old.txt", "/in/", false},
      // Include templates always see the bare name.
      {"*\\*.txt", "a.txt", "C:\\in\\", false},
      {"*/*.txt", "a.txt", "/in/", false},
      {"*/*.txt;*.txt", "a.txt", "/in/", true},
      {"*.тхт|черн*", "ОТЧЁТ.ТХТ", "/in/", true},
      {"*.тхт|черн*", "Черновик.тхт", "/in/", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mask \"" + c.mask + "\", name \"" + c.name + "\", folder \"" + c.folder + "\"");
    EXPECT_EQ(TFileMask(c.mask).Matches(c.name, c.folder), c.expected);
  }
}

TEST(FileMask, TemplatesAreSplitTrimmedAndKeptInOrder) {
  struct Case {
    std::string mask;
    int include, exclude;
  };
  const Case cases[] = {
      {"", 0, 0},      {" \r\n", 0, 0},         {"|", 0, 0},           {"|*.tmp", 0, 1},
      {"*.txt", 1, 0}, {"*.txt ; *.doc", 2, 0}, {"a;;b; ;", 2, 0},     {";", 0, 0},
      {"a|b|c", 1, 1}, {"a;b|c;d;e", 2, 3},     {"\t*.txt\r\n", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mask \"" + c.mask + "\"");
    const TFileMask mask(c.mask);
    EXPECT_EQ(mask.Include().Count(), c.include);
    EXPECT_EQ(mask.Exclude().Count(), c.exclude);
  }

  // Order and trimming: the second include template is "b", the exclude one a path template.
  const TFileMask mask(" a ; b |  x/y ");
  ASSERT_EQ(mask.Include().Count(), 2);
  EXPECT_TRUE(mask.Include().Get(1).Match("b"));
  EXPECT_FALSE(mask.Include().Get(1).Match("a"));
  EXPECT_FALSE(mask.Include().Get(0).HasPath());
  ASSERT_EQ(mask.Exclude().Count(), 1);
  EXPECT_TRUE(mask.Exclude().Get(0).HasPath());
  EXPECT_TRUE(mask.Exclude().Get(0).Match("X/Y"));
}

TEST(TemplateList, MatchAnyAndClear) {
  TTemplateList list;
  EXPECT_FALSE(list.MatchAny("a", "/"));
  EXPECT_EQ(list.AddTemplate("*.txt"), 0);
  EXPECT_EQ(list.AddTemplate("*/keep/*"), 1);
  EXPECT_TRUE(list.MatchAny("a.TXT", "/x/"));
  EXPECT_TRUE(list.MatchAny("a.doc", "/x/keep/"));
  EXPECT_FALSE(list.MatchAny("a.doc", "/x/"));
  EXPECT_FALSE(list.Get(0).CaseSensitive());
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.MatchAny("a.txt", "/x/"));
}

TEST(FileMask, TooLongTemplates) {
  const std::string tooLong(TByteSeq::kCapacity + 1, 'x');
  // An include template that cannot be held selects nothing; the others still work.
  const TFileMask include("a.txt;" + tooLong);
  EXPECT_TRUE(include.Matches("a.txt", "/in/"));
  EXPECT_FALSE(include.Matches(tooLong, "/in/"));
  // An exclude template that cannot be held leaves the mask selecting nothing.
  const TFileMask exclude("*|" + tooLong);
  EXPECT_FALSE(exclude.Matches("a.txt", "/in/"));
}

// Properties over random masks and names drawn from the characters that mean
// something to the language, in both letter cases and both alphabets.
TEST(FileMask, RandomMasksKeepTheirProperties) {
  const std::string alphabet = "aAbBяЯёЁ.*?#[]-;|/\\ 09";
  std::mt19937 rng(20240611);
  auto pick = [&](size_t maxLen) {
    std::string s(std::uniform_int_distribution<size_t>(0, maxLen)(rng), ' ');
    for (char& c : s)
      c = alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(rng)];
    return s;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::string text = pick(8);
    const std::string name = pick(6);
    SCOPED_TRACE("text \"" + text + "\", name \"" + name + "\"");
    const TFileMask mask(text);
    const bool selected = mask.Matches(name, "/in/");
    // Letter case never changes the answer.
    ASSERT_EQ(mask.Matches(platform::UpperCase(name), "/in/"), selected);
    // Nothing is selected without an include template.
    if (mask.Include().Count() == 0) {
      ASSERT_FALSE(selected);
    }

    // A single template (no separators) agrees with the mask built from it,
    // and excluding the same template rejects exactly what it selected.
    if (text.find_first_of(";|") != std::string::npos) continue;
    if (masks::TrimBlanks(text).empty()) continue;
    const TFileNameTemplate single(text);
    ASSERT_EQ(selected, single.Match(name));
    // With an empty folder a path template sees the bare name as well.
    ASSERT_EQ(TFileMask("*|" + text).Matches(name, ""), !single.Match(name));
  }
}

}  // namespace
