#include <gtest/gtest.h>

#include "platform/Cp1251.h"

namespace {

TEST(Cp1251, EveryByteSurvivesARoundTripThroughUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = platform::Cp1251ToUtf8(all);
  auto back = platform::Utf8ToCp1251(utf8);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, all);
}

TEST(Cp1251, KnownLettersAndSigns) {
  // "Ёж №1 — €": Windows-1251 bytes and their UTF-8 form.
  const std::string cp = "\xA8\xE6 \xB9\x31 \x97 \x88";
  const std::string utf8 = "\xD0\x81\xD0\xB6 \xE2\x84\x96\x31 \xE2\x80\x94 \xE2\x82\xAC";
  EXPECT_EQ(platform::Cp1251ToUtf8(cp), utf8);
  EXPECT_EQ(platform::Utf8ToCp1251(utf8), cp);
}

TEST(Cp1251, TextWithoutAWindows1251FormIsRefused) {
  EXPECT_FALSE(platform::Utf8ToCp1251("\xE4\xB8\xAD").has_value());  // a Chinese character
  EXPECT_FALSE(platform::Utf8ToCp1251("\xC3\x28").has_value());      // broken sequence
  EXPECT_FALSE(platform::Utf8ToCp1251("\xC0\xAF").has_value());      // overlong "/"
  EXPECT_FALSE(platform::Utf8ToCp1251("\xD0").has_value());          // cut short
  EXPECT_EQ(platform::Utf8ToCp1251Lossy("a\xE4\xB8\xAD"
                                        "b"),
            "a?b");
}

TEST(Cp1251, UpperCaseMapsLatinAndCyrillicOnly) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"abc xyz", "ABC XYZ"},
      {"\xE0\xFF", "\xC0\xDF"},                  // а я
      {"\xB8", "\xA8"},                          // ё
      {"\xB3\xBF\xBA\xA2", "\xB2\xAF\xAA\xA1"},  // і ї є ў
      {"\x9A\x9C\x9D\x9E\x9F\x83\x90\xBC\xBE\xB4",
       "\x8A\x8C\x8D\x8E\x8F\x81\x80\xA3\xBD\xA5"},  // the other Cyrillic pairs
      {"1#?*[]\xB5\xB9\x97", "1#?*[]\xB5\xB9\x97"},  // digits, signs, µ, №, — unchanged
      {"\xC0\xDF", "\xC0\xDF"},                      // already upper
  };
  for (const Case& c : cases) EXPECT_EQ(platform::UpperCase(c.in), c.out) << c.in;
}

}  // namespace
