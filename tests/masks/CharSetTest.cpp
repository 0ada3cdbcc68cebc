#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "masks/BracketSet.h"
#include "masks/CharSet.h"

namespace {

TCharSet Ranges(std::initializer_list<std::pair<int, int>> ranges) {
  TCharSet set;
  for (auto [first, last] : ranges)
    set.AddRange(static_cast<unsigned char>(first), static_cast<unsigned char>(last));
  return set;
}

TEST(CharSet, FixedSets) {
  EXPECT_EQ(TCharSet::Any().Size(), 256);
  EXPECT_TRUE(TCharSet::Any().Contains(0));
  EXPECT_TRUE(TCharSet::Any().Contains(255));

  EXPECT_EQ(TCharSet::Digits(), Ranges({{'0', '9'}}));
  EXPECT_FALSE(TCharSet::Digits().Contains('/'));
  EXPECT_FALSE(TCharSet::Digits().Contains(':'));

  // Codes in every 64-bit word, including the edges of the words.
  for (int c : {0, 63, 64, 127, 128, 191, 192, 255}) {
    SCOPED_TRACE(c);
    const TCharSet one = TCharSet::Of(static_cast<unsigned char>(c));
    EXPECT_EQ(one.Size(), 1);
    EXPECT_TRUE(one.Contains(static_cast<unsigned char>(c)));
  }
  EXPECT_TRUE(TCharSet().Empty());
}

TEST(CharSet, ReversedRangeAddsNothing) {
  TCharSet set;
  set.AddRange('z', 'a');
  EXPECT_TRUE(set.Empty());
  set.AddRange(200, 200);
  EXPECT_EQ(set, TCharSet::Of(200));
}

TEST(BracketSet, SetTexts) {
  struct Case {
    std::string text;
    TCharSet expected;
  };
  const Case cases[] = {
      {"", TCharSet()},
      {"abc", Ranges({{'a', 'c'}})},
      {"xa", Ranges({{'a', 'a'}, {'x', 'x'}})},
      {"a-e", Ranges({{'a', 'e'}})},
      {"a-cx", Ranges({{'a', 'c'}, {'x', 'x'}})},
      // The character before a reversed range is still a member on its own.
      {"e-a", Ranges({{'e', 'e'}})},
      // A leading "-" starts at code 0, so the set accepts the end of a name.
      {"-c", Ranges({{0, 'c'}})},
      {"a-", Ranges({{'a', 'a'}, {'-', '-'}})},
      {"-", Ranges({{'-', '-'}})},
      // The second range starts at the end of the first one.
      {"a-c-e", Ranges({{'a', 'e'}})},
      {"a-c-b", Ranges({{'a', 'c'}})},
      {"--/", Ranges({{0, '-'}, {'/', '/'}})},
      {"*?#[", Ranges({{'*', '*'}, {'?', '?'}, {'#', '#'}, {'[', '['}})},
      {"\xC0-\xDF", Ranges({{0xC0, 0xDF}})},
      {"\xFF", Ranges({{0xFF, 0xFF}})},
      {"\x80-\xFF", Ranges({{0x80, 0xFF}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("set text \"" + c.text + "\"");
    EXPECT_EQ(masks::BracketSet(c.text), c.expected);
  }
}

}  // namespace
