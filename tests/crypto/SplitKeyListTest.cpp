#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/SplitKeyList.h"

namespace {

using Items = std::vector<std::string>;

struct Case {
  const char* name;
  std::string text;
  Items items;
};

class SplitKeyListCases : public ::testing::TestWithParam<Case> {};

TEST_P(SplitKeyListCases, Splits) {
  EXPECT_EQ(SplitKeyList(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitKeyListCases,
    ::testing::Values(
        Case{"Empty", "", {}}, Case{"OnlyBlanks", " \t\r\n ", {}}, Case{"One", "A", {"A"}},
        Case{"Semicolon", "A; B", {"A", "B"}}, Case{"Blank", "A B", {"A", "B"}},
        Case{"TabAndNewline", "A\t\r\nB", {"A", "B"}},
        Case{"LeadingAndTrailingBlanks", "  A;B  ", {"A", "B"}},
        Case{"TwoSemicolons", "A;;B", {"A", "", "B"}}, Case{"TrailingSemicolon", "A;", {"A", ""}},
        Case{"TrailingSemicolonThenBlanks", "A; ", {"A"}}, Case{"SingleSemicolon", ";", {"", ""}},
        Case{"LeadingSemicolon", ";A", {"", "A"}},
        Case{"BlanksAroundSemicolon", "A ; B", {"A", "B"}},
        Case{"QuotedWithSeparators", "\"A; B\";C", {"A; B", "C"}},
        Case{"DoubledQuote", "\"say \"\"hi\"\"\"", {"say \"hi\""}},
        Case{"EmptyQuoted", "\"\";B", {"", "B"}},
        Case{"UnclosedQuoteTakesTheRest", "A;\"B; C", {"A", "B; C"}},
        Case{"UnclosedAfterDoubledQuote", "\"B\"\"", {"B\""}},
        Case{"CaseKept", "key;KEY", {"key", "KEY"}},
        Case{"CyrillicBytes", "\xCA\xEB\xFE\xF7;x", {"\xCA\xEB\xFE\xF7", "x"}},
        Case{"QuoteInsideAnItem", "A\"B", {"A\"B"}},
        Case{"ZeroByteIsNotABlank", std::string("A\0B", 3), {std::string("A\0B", 3)}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
