// The signature report against the library stand-in, which can return any
// record array with any code.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "crypto/Orlak.h"
#include "tests/crypto/OrlakDouble.h"

namespace {

using Lines = std::vector<std::string>;
namespace od = orlak_double;

struct ReportCase {
  const char* name;
  uint16_t code;
  std::vector<TSignRecord> records;
  std::optional<Lines> required;  // none: no required keys passed
  Lines report;
  uint16_t verdict;
};

TSignRecord R(const std::string& id, uint8_t status) {
  return od::Record(id, status);
}

const std::string k26 = ResultMessage(26);

class CheckSignReportCases : public ::testing::TestWithParam<ReportCase> {
 protected:
  void SetUp() override { od::Reset(); }
  void TearDown() override { od::Reset(); }
};

TEST_P(CheckSignReportCases, ReportAndVerdict) {
  const ReportCase& c = GetParam();
  od::State().CheckCode = c.code;
  od::State().Records = c.records;
  od::State().Count = static_cast<uint8_t>(c.records.size());

  Lines report = {"left over from before"};
  const uint16_t verdict =
      CheckSignReport("/f.bin", "", c.required ? &*c.required : nullptr, &report);
  EXPECT_EQ(report, c.report);
  EXPECT_EQ(verdict, c.verdict);
  // The array goes back to the library once, whatever the outcome.
  EXPECT_EQ(od::State().FreeCalls, 1);
  EXPECT_EQ(od::State().ArraysOutstanding, 0);

  // The verdict does not depend on whether a report is asked for.
  od::State().FreeCalls = 0;
  EXPECT_EQ(CheckSignReport("/f.bin", "", c.required ? &*c.required : nullptr, nullptr), c.verdict);
  EXPECT_EQ(od::State().FreeCalls, 1);
}

const std::string kLong = "ABCDEFGHIJKLMNOP";  // 16 characters, the record keeps 13

INSTANTIATE_TEST_SUITE_P(
    Answers, CheckSignReportCases,
    ::testing::Values(
        ReportCase{"NotSignedCode26",
                   26,
                   {},
                   std::nullopt,
                   {"Файл не подписан или искажен", "check_file_sign: " + k26},
                   600},
        ReportCase{"FailureWithRecordsAndRequiredKeys",
                   30,
                   {R("A", 0)},
                   Lines{"A"},
                   {"check_file_sign: " + ResultMessage(30)},
                   600},
        ReportCase{"NoSignatures", 0, {}, std::nullopt, {"Число подписей: 0"}, 0},
        ReportCase{"EmptyRequiredListCountsAsNone",
                   0,
                   {R("A", 0)},
                   Lines{},
                   {"Число подписей: 1", "ЭЦП A : ЭЦП Верна"},
                   0},
        ReportCase{"AllValid",
                   0,
                   {R("A", 0), R("B", 0)},
                   std::nullopt,
                   {"Число подписей: 2", "ЭЦП A : ЭЦП Верна", "ЭЦП B : ЭЦП Верна"},
                   0},
        ReportCase{"OneInvalid",
                   0,
                   {R("A", 0), R("B", 1)},
                   std::nullopt,
                   {"Число подписей: 2", "ЭЦП A : ЭЦП Верна", "ЭЦП B : ЭЦП Не верна"},
                   600},
        ReportCase{"KeyNotFound",
                   0,
                   {R("A", 2)},
                   std::nullopt,
                   {"Число подписей: 1", "ЭЦП A : Открытый ключ ЭЦП не найден"},
                   600},
        ReportCase{"UnknownStatusNoBlank",
                   0,
                   {R("A", 7)},
                   std::nullopt,
                   {"Число подписей: 1", "ЭЦП A : Неизвестный статус проверки ЭЦП7"},
                   600},
        ReportCase{"UnknownStatusWithBlankForRequired",
                   0,
                   {R("A", 7)},
                   Lines{"A"},
                   {"Ключ A : Неизвестный статус проверки ЭЦП 7"},
                   600},
        ReportCase{"SameSignerTwiceBothReported",
                   0,
                   {R("A", 0), R("A", 1)},
                   std::nullopt,
                   {"Число подписей: 2", "ЭЦП A : ЭЦП Верна", "ЭЦП A : ЭЦП Не верна"},
                   600},
        ReportCase{"RequiredUsesFirstRecordValid",
                   0,
                   {R("A", 0), R("A", 1)},
                   Lines{"A"},
                   {"Ключ A : ЭЦП Верна"},
                   0},
        ReportCase{"RequiredUsesFirstRecordInvalid",
                   0,
                   {R("A", 1), R("A", 0)},
                   Lines{"A"},
                   {"Ключ A : ЭЦП Не верна"},
                   600},
        ReportCase{"FurtherSignersIgnored",
                   0,
                   {R("B", 1), R("A", 0), R("C", 2)},
                   Lines{"A"},
                   {"Ключ A : ЭЦП Верна"},
                   0},
        ReportCase{"RequiredTwiceReportedTwice",
                   0,
                   {R("A", 0)},
                   Lines{"A", "A"},
                   {"Ключ A : ЭЦП Верна", "Ключ A : ЭЦП Верна"},
                   0},
        ReportCase{"RequiredMissing",
                   0,
                   {R("A", 0)},
                   Lines{"A", "B"},
                   {"Ключ A : ЭЦП Верна", "Ключ B : ЭЦП на данном ключе не найдена"},
                   600},
        ReportCase{"RequiredIsCaseSensitive",
                   0,
                   {R("A", 0)},
                   Lines{"a"},
                   {"Ключ a : ЭЦП на данном ключе не найдена"},
                   600},
        ReportCase{"LongRequiredNeverMatches",
                   0,
                   {R(kLong, 0)},
                   Lines{kLong},
                   {"Ключ " + kLong + " : ЭЦП на данном ключе не найдена"},
                   600},
        ReportCase{"ThirteenCharactersWithoutTerminator",
                   0,
                   {R(kLong, 0)},
                   Lines{kLong.substr(0, 13)},
                   {"Ключ " + kLong.substr(0, 13) + " : ЭЦП Верна"},
                   0},
        ReportCase{
            "TwoEmptyRequiredKeys",
            0,
            {R("A", 0)},
            Lines{"", ""},
            {"Ключ  : ЭЦП на данном ключе не найдена", "Ключ  : ЭЦП на данном ключе не найдена"},
            600},
        ReportCase{
            "EmptySignerMatchesEmptyKey", 0, {R("", 0)}, Lines{""}, {"Ключ  : ЭЦП Верна"}, 0}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.name); });

class CheckSignReportTest : public ::testing::Test {
 protected:
  void SetUp() override { od::Reset(); }
  void TearDown() override { od::Reset(); }
};

TEST_F(CheckSignReportTest, SeparateSignatureFileUsesTheOtherCallWithTheSamePrefix) {
  od::State().CheckCode = 24;
  Lines report;
  EXPECT_EQ(CheckSignReport("/data.bin", "/data.sig", nullptr, &report), 600);
  ASSERT_EQ(od::State().Calls.front().Function, "CheckFileSeparate");
  EXPECT_EQ(od::State().Calls.front().Args, (Lines{"/data.bin", "/data.sig"}));
  EXPECT_EQ(report, Lines{"check_file_sign: " + ResultMessage(24)});
}

// An old archive's signature refused as weak: the report says whose and why.
TEST_F(CheckSignReportTest, AWeakSignatureIsNamedWithWhatIsWeak) {
  od::State().CheckCode = 702;
  od::State().RefusalReason = "BANK\thash\tSHA1";
  Lines report;
  EXPECT_EQ(CheckSignReport("/old.sig", "", nullptr, &report), 600);
  EXPECT_EQ(report, (Lines{"ЭЦП BANK : ЭЦП не принимается: подпись сделана с хешем SHA1, нужен "
                           "SHA-256 или сильнее",
                           "check_file_sign: " + ResultMessage(702)}));
  od::State().RefusalReason = "4F2A9C01B7E3D\tkey\tRSA/1024";
  EXPECT_EQ(CheckSignReport("/old.sig", "", nullptr, &report), 600);
  EXPECT_EQ(report.front(),
            "ЭЦП 4F2A9C01B7E3D : ЭЦП не принимается: ключ подписи RSA/1024 бит слабый, нужно не "
            "менее 2048 бит");
  // Without the library's account only its code is told.
  od::State().RefusalReason.clear();
  CheckSignReport("/old.sig", "", nullptr, &report);
  EXPECT_EQ(report, Lines{"check_file_sign: " + ResultMessage(702)});
}

TEST_F(CheckSignReportTest, EmptySeparateNameChecksTheFileItself) {
  Lines report;
  CheckSignReport("/data.bin", "", nullptr, &report);
  EXPECT_EQ(od::CallNames(), (Lines{"check_file_sign", "FreeMemory"}));
}

TEST_F(CheckSignReportTest, NoArrayMeansNoRelease) {
  od::State().HandOutArray = false;
  Lines report;
  EXPECT_EQ(CheckSignReport("/f", "", nullptr, &report), 0);
  EXPECT_EQ(od::State().FreeCalls, 0);
}

TEST_F(CheckSignReportTest, CountWithoutArrayNeverPasses) {
  od::State().HandOutArray = false;
  od::State().Count = 2;
  Lines report;
  EXPECT_EQ(CheckSignReport("/f", "", nullptr, &report), 600);
  EXPECT_EQ(report, Lines{"Число подписей: 2"});
}

TEST_F(CheckSignReportTest, ArrayReleasedWhenTheCheckThrows) {
  od::State().Records = {R("A", 0)};
  od::State().Count = 1;
  od::State().DuringCheck = [] { throw std::runtime_error("inside the library"); };
  Lines report;
  EXPECT_THROW(CheckSignReport("/f", "", nullptr, &report), std::runtime_error);
  EXPECT_EQ(od::State().FreeCalls, 1);
  EXPECT_EQ(od::State().ArraysOutstanding, 0);
}

TEST_F(CheckSignReportTest, RecordsBeyondTheIdentifierAreNotRead) {
  // Bytes 13..134 and 136..139 are filled with 0xEE by the stand-in; a reader
  // that strays into them would put them into the identifier.
  TSignRecord r = R("", 0);
  for (int i = 0; i < 13; ++i) r.Bytes[i] = 'K';
  od::State().Records = {r};
  od::State().Count = 1;
  Lines report;
  CheckSignReport("/f", "", nullptr, &report);
  EXPECT_EQ(report.at(1), "ЭЦП KKKKKKKKKKKKK : ЭЦП Верна");
}

}  // namespace
