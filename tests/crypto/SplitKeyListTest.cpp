#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/SplitKeyList.h"

namespace {

using Items = std::vector<std::string>;

struct SplitCase {
  const char* name;
  std::string text;
  Items items;
};

class SplitKeyListCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitKeyListCases, Splits) {
  EXPECT_EQ(SplitKeyList(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitKeyListCases,
    ::testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"OnlyBlanks", " \t\r\n ", {}},
        SplitCase{"One", "A", {"A"}}, SplitCase{"Semicolon", "A; B", {"A", "B"}},
        SplitCase{"Blank", "A B", {"A", "B"}}, SplitCase{"TabAndNewline", "A\t\r\nB", {"A", "B"}},
        SplitCase{"LeadingAndTrailingBlanks", "  A;B  ", {"A", "B"}},
        SplitCase{"TwoSemicolons", "A;;B", {"A", "", "B"}},
        SplitCase{"TrailingSemicolon", "A;", {"A", ""}},
        SplitCase{"TrailingSemicolonThenBlanks", "A; ", {"A"}},
        SplitCase{"SingleSemicolon", ";", {"", ""}}, SplitCase{"LeadingSemicolon", ";A", {"", "A"}},
        SplitCase{"BlanksAroundSemicolon", "A ; B", {"A", "B"}},
        SplitCase{"QuotedWithSeparators", "\"A; B\";C", {"A; B", "C"}},
        SplitCase{"DoubledQuote", "\"say \"\"hi\"\"\"", {"say \"hi\""}},
        SplitCase{"EmptyQuoted", "\"\";B", {"", "B"}},
        SplitCase{"UnclosedQuoteTakesTheRest", "A;\"B; C", {"A", "B; C"}},
        SplitCase{"UnclosedAfterDoubledQuote", "\"B\"\"", {"B\""}},
        SplitCase{"CaseKept", "key;KEY", {"key", "KEY"}},
        SplitCase{"CyrillicBytes", "\xCA\xEB\xFE\xF7;x", {"\xCA\xEB\xFE\xF7", "x"}},
        SplitCase{"QuoteInsideAnItem", "A\"B", {"A\"B"}},
        SplitCase{"ZeroByteIsNotABlank", std::string("A\0B", 3), {std::string("A\0B", 3)}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

}  // namespace
