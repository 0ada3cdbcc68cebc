#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "masks/FileNameTemplate.h"
#include "masks/Template.h"

namespace {

std::vector<int> SegmentCounts(const TTemplate& t) {
  std::vector<int> counts;
  for (const TByteSeq& s : t.Segments()) counts.push_back(s.Count());
  return counts;
}

TEST(Template, CompileFlagsAndSegments) {
  struct Case {
    std::string text;
    bool matchAll, leading, trailing;
    std::vector<int> counts;
  };
  const Case cases[] = {
      {"*", true, false, false, {}},
      {"*.*", true, false, false, {}},
      {" \t*.* \r\n", true, false, false, {}},
      {"***", true, false, false, {}},
      {"", true, false, false, {}},
      {"   ", true, false, false, {}},
      {"*.txt", false, true, false, {4}},
      {"**.txt", false, true, false, {4}},
      {"report*", false, false, true, {6}},
      {"*a*", false, true, true, {1}},
      // Adjacent stars leave an empty segment between them.
      {"a**b", false, false, false, {1, 0, 1}},
      {"*.**.*", false, true, true, {1, 0, 1}},
      {"*.*.*", false, true, true, {1, 1}},
      {"a?#[xy]b", false, false, false, {5}},
      {"a[b", false, false, false, {3}},
      {"x[]", false, false, false, {2}},
      {"[*]", false, false, false, {1}},
      {"[a]]", false, false, false, {2}},
      {"a[*]b*c", false, false, false, {3, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("template \"" + c.text + "\"");
    const TTemplate t(c.text, false);
    EXPECT_EQ(t.MatchAll(), c.matchAll);
    EXPECT_EQ(t.LeadingStar(), c.leading);
    EXPECT_EQ(t.TrailingStar(), c.trailing);
    EXPECT_EQ(SegmentCounts(t), c.counts);
    EXPECT_TRUE(t.Fits());
  }
}

TEST(Template, BracketItemsHoldSets) {
  const TTemplate star("[*]", false);
  const TCharSet& set = star.Segments()[0].Sets()[0];
  EXPECT_EQ(set, TCharSet::Of('*'));

  const TTemplate empty("x[]", false);
  EXPECT_TRUE(empty.Segments()[0].Sets()[1].Empty());

  // Lower-case letters of the text are upper-cased before the set is built.
  const TTemplate range("[a-c]", false);
  TCharSet upper;
  upper.AddRange('A', 'C');
  EXPECT_EQ(range.Segments()[0].Sets()[0], upper);
}

struct MatchCase {
  std::string text;
  std::string name;
  bool expected;
};

void ExpectMatches(const std::vector<MatchCase>& cases, bool caseSensitive) {
  for (const MatchCase& c : cases) {
    SCOPED_TRACE("template \"" + c.text + "\", name \"" + c.name + "\"");
    EXPECT_EQ(TTemplate(c.text, caseSensitive).Match(c.name), c.expected);
  }
}

TEST(Template, Match) {
  ExpectMatches(
      {
          {"*.txt", "Report.TXT", true},
          {"*.txt", "a.b.txt", true},
          {"*.txt", ".txt", true},
          {"*.txt", "a.txt.bak", false},
          // ".TXT" takes its first place and characters remain after it.
          {"*.txt", "a.txt.txt", false},
          {"*.*", "README", true},
          {"*.*", "", true},
          {"*", "", true},
          {"a?", "a", true},
          {"a?", "ab", true},
          {"a?", "abc", false},
          {"a?", "", false},
          {"?", "x", true},
          {"?", "xy", false},
          {"*.???", "x.ab", true},
          {"*.???", "x.abc", true},
          {"*.???", "x.abcd", false},
          {"*.???", "x.", true},
          {"file##.dat", "FILE07.DAT", true},
          {"file##.dat", "file7.dat", false},
          {"file##.dat", "fileab.dat", false},
          {"file##.dat", "file123.dat", false},
          {"[a-e]*", "Beta.txt", true},
          {"[a-e]*", "kappa.txt", false},
          {"x[]", "x", false},
          {"x[]", "xa", false},
          {"a[b", "a[b", true},
          {"a[b", "A[B", true},
          {"a[b", "ab", false},
          {"a[-b]", "a", true},
          {"a[-b]", "ab", true},
          {"a[-b]", "ac", false},
          {"a**b", "ab", true},
          {"a**b", "axb", true},
          {"a**b", "a", false},
          {"*.", "a.", true},
          {"*.", "a.b.", false},
          {"a*", "a", true},
          {"a*b", "a", false},
          {"*ab", "aab", true},
          {"*a*b", "xaxb", true},
          // No backtracking: each segment takes its leftmost place.
          {"a*bc", "axbc", true},
          {"a*bc", "abcbc", false},
          {"*?", "a", true},
          {"*?", "ab", false},
          // A search never starts at the end of the name.
          {"a*?", "a", false},
          {"a*?", "ab", true},
          {"a*[-z]", "a", false},
          // Blanks around the template are not part of it.
          {"  abc\t", "ABC", true},
          {"a b", "A B", true},
          {"a b", "AB", false},
          {"|", "|", true},
          {"a\\b", "A\\B", true},
      },
      false);
}

TEST(Template, MatchIgnoresCyrillicLetterCase) {
  ExpectMatches(
      {
          {"*.тхт", "ФАЙЛ.ТХТ", true},
          {"отчёт*", "ОТЧЁТ_01", true},
          {"ОТЧЁТ*", "отчёт_01", true},
          {"[а-я]*", "Привет", true},
          // Ё lies outside the contiguous range of the alphabet.
          {"[а-я]*", "Ёж", false},
          {"[ёа-я]*", "ёж", true},
          {"ў?", "Ўx", true},
          {"#", "я", false},
      },
      false);
}

TEST(Template, CaseSensitiveTemplateComparesBytes) {
  ExpectMatches(
      {
          {"a*", "abc", true},
          {"a*", "Abc", false},
          {"[a-e]", "b", true},
          {"[a-e]", "B", false},
          {"*.TXT", "x.txt", false},
          {"я", "Я", false},
      },
      true);
}

TEST(Template, CompileReplacesThePreviousTemplate) {
  TTemplate t("*", false);
  ASSERT_TRUE(t.MatchAll());
  EXPECT_TRUE(t.Compile("*.doc"));
  EXPECT_FALSE(t.MatchAll());
  EXPECT_TRUE(t.LeadingStar());
  EXPECT_EQ(SegmentCounts(t), std::vector<int>{4});
  EXPECT_TRUE(t.Match("a.doc"));
  EXPECT_FALSE(t.Match("a.txt"));

  EXPECT_TRUE(t.Compile("a*"));
  EXPECT_FALSE(t.LeadingStar());
  EXPECT_TRUE(t.TrailingStar());
  EXPECT_FALSE(t.Match("b.doc"));

  EXPECT_TRUE(t.Compile(""));
  EXPECT_TRUE(t.MatchAll());
  EXPECT_TRUE(t.Segments().empty());
}

TEST(FileNameTemplate, PathTemplates) {
  struct Case {
    std::string text;
    bool hasPath;
  };
  const Case cases[] = {
      {"*.txt", false}, {"*\\old\\*", true}, {"*/old/*", true}, {"a/", true},
      {"\\", true},     {"[/]", true},       {"*", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TFileNameTemplate(c.text).HasPath(), c.hasPath);
  }
}

TEST(FileNameTemplate, CompileThroughTheBaseSetsHasPath) {
  TFileNameTemplate t("*.txt");
  TTemplate& base = t;
  base.Compile("*/old/*");
  EXPECT_TRUE(t.HasPath());
  EXPECT_TRUE(t.Match("/data/old/a.txt"));
  base.Compile("a");
  EXPECT_FALSE(t.HasPath());
  EXPECT_FALSE(t.CaseSensitive());
}

TEST(Template, SegmentsUpToCapacityFit) {
  const int cap = TByteSeq::kCapacity;
  const TTemplate full(std::string(cap, 'a'), false);
  EXPECT_TRUE(full.Fits());
  EXPECT_TRUE(full.Match(std::string(cap, 'A')));
  EXPECT_FALSE(full.Match(std::string(cap - 1, 'A')));

  // The limit holds per segment, not per template.
  const TTemplate two(std::string(cap, 'a') + "*" + std::string(cap, 'b'), false);
  EXPECT_TRUE(two.Fits());
  EXPECT_TRUE(two.Match(std::string(cap, 'a') + "x" + std::string(cap, 'b')));
}

TEST(Template, TooLongSegmentMatchesNothing) {
  const int cap = TByteSeq::kCapacity;
  const TTemplate over(std::string(cap + 1, 'a'), false);
  EXPECT_FALSE(over.Fits());
  EXPECT_FALSE(over.Match(std::string(cap + 1, 'A')));
  // A truncated segment would accept this name.
  EXPECT_FALSE(over.Match(std::string(cap, 'A')));
  // Too long, but a match-everything template still needs no segment.
  EXPECT_TRUE(TTemplate(std::string(cap + 1, '*'), false).Match("x"));
}

}  // namespace
