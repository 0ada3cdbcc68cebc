#include <gtest/gtest.h>

#include <string>

#include "masks/BracketSet.h"
#include "masks/ByteSeq.h"

namespace {

TByteSeq Chars(const std::string& text) {
  TByteSeq seq;
  for (char c : text) seq.AddChar(static_cast<unsigned char>(c));
  return seq;
}

TEST(ByteSeq, MatchAtPositionsCountFromOne) {
  const TByteSeq seq = Chars("BC");
  EXPECT_FALSE(seq.MatchAt("ABCD", 1));
  EXPECT_TRUE(seq.MatchAt("ABCD", 2));
  EXPECT_FALSE(seq.MatchAt("ABCD", 3));
  EXPECT_FALSE(seq.MatchAt("ABCD", 4));  // "D" then the end of the name
  EXPECT_FALSE(seq.MatchAt("ABCD", 5));
  EXPECT_FALSE(seq.MatchAt("ABCD", 0));
}

TEST(ByteSeq, EndOfNameReadsAsCodeZero) {
  TByteSeq any;
  any.AddChar('A');
  any.AddAny();
  EXPECT_TRUE(any.MatchAt("A", 1));
  EXPECT_TRUE(any.MatchAt("AB", 1));

  TByteSeq digit;
  digit.AddChar('A');
  digit.AddDigit();
  EXPECT_FALSE(digit.MatchAt("A", 1));
  EXPECT_TRUE(digit.MatchAt("A7", 1));

  TByteSeq fromZero;
  fromZero.AddChar('A');
  fromZero.AddSet(masks::BracketSet("-B"));
  EXPECT_TRUE(fromZero.MatchAt("A", 1));
  EXPECT_TRUE(fromZero.MatchAt("AB", 1));
  EXPECT_FALSE(fromZero.MatchAt("AC", 1));

  // Code 1 is not code 0: a set of control characters does not end a name.
  TByteSeq control;
  control.AddChar('A');
  control.AddSet(masks::BracketSet("\x01-\x1F"));
  EXPECT_FALSE(control.MatchAt("A", 1));
  EXPECT_TRUE(control.MatchAt("A\x01", 1));

  TByteSeq empty;
  empty.AddChar('A');
  empty.AddSet(TCharSet());
  EXPECT_FALSE(empty.MatchAt("A", 1));
}

TEST(ByteSeq, PositionsPastTheEndReadAsCodeZeroWithoutReadingOutside) {
  TByteSeq seq;
  seq.AddChar('X');
  for (int i = 0; i < 5; ++i) seq.AddAny();
  const std::string buffer = "XYZ";
  // Only the first character is handed over; the rest of the buffer must not be seen.
  const std::string_view name(buffer.data(), 1);
  EXPECT_TRUE(seq.MatchAt(name, 1));

  TByteSeq strict;
  strict.AddChar('X');
  strict.AddAny();
  strict.AddChar('Z');
  EXPECT_FALSE(strict.MatchAt(name, 1));
  EXPECT_TRUE(strict.MatchAt(buffer, 1));
}

TEST(ByteSeq, EmptySegmentMatchesEverywhere) {
  const TByteSeq seq;
  EXPECT_EQ(seq.Count(), 0);
  for (size_t p = 0; p <= 4; ++p) EXPECT_TRUE(seq.MatchAt("AB", p)) << p;
  EXPECT_TRUE(seq.MatchAt("", 1));
}

TEST(ByteSeq, HighBytesCompareAsUnsignedCodes) {
  const TByteSeq seq = Chars("\xFF\xC0");
  EXPECT_TRUE(seq.MatchAt("\xFF\xC0", 1));
  EXPECT_FALSE(seq.MatchAt("\xDF\xC0", 1));
  TByteSeq range;
  range.AddSet(masks::BracketSet("\xC0-\xFF"));
  EXPECT_TRUE(range.MatchAt("\xE0", 1));
  EXPECT_FALSE(range.MatchAt("z", 1));
}

TEST(ByteSeq, CapacityIsEnforced) {
  TByteSeq seq;
  for (int i = 0; i < TByteSeq::kCapacity; ++i) ASSERT_TRUE(seq.AddChar('A'));
  EXPECT_EQ(seq.Count(), TByteSeq::kCapacity);
  EXPECT_FALSE(seq.AddChar('B'));
  EXPECT_FALSE(seq.AddAny());
  EXPECT_FALSE(seq.AddDigit());
  EXPECT_FALSE(seq.AddSet(TCharSet::Of('C')));
  EXPECT_EQ(seq.Count(), TByteSeq::kCapacity);
  EXPECT_TRUE(seq.MatchAt(std::string(TByteSeq::kCapacity, 'A'), 1));
}

}  // namespace
