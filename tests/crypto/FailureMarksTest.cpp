// Which log lines of the crypto steps, the key cache and the step copies are
// marked as failures: every non-zero library result, every negative finding
// of a signature check, a failed copy; nothing else.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "crypto/CryptoActions.h"
#include "crypto/Orlak.h"
#include "crypto/StepKinds.h"
#include "crypto/TKeyLoader.h"
#include "engine/uTesselTypes.h"
#include "tests/crypto/OrlakDouble.h"
#include "tests/support/TestSupport.h"

namespace {

namespace od = orlak_double;
namespace ts = testing_support;

// The lines as the window would get them: the fields after the timestamp,
// and whether each is a failure.
class MarkedLines : public TLogTarget {
 public:
  std::vector<std::pair<std::string, bool>> lines;
  void AddLine(const std::string& line, TLogKind kind) override {
    lines.emplace_back(line.substr(line.find('\t') + 1), kind == TLogKind::Failure);
  }
};

class FailureMarks : public ::testing::Test {
 protected:
  void SetUp() override {
    od::Reset();
    InitEngine(CryptoStepKinds());
    ScriptRegistry->PubKeysPath = "/pub";
    in = dir.Sub("in/a.txt");
    out = dir.Sub("out/a.txt");
    ts::WriteFile(in, "payload");
    old = LogTarget;
    LogTarget = &marked;
  }
  void TearDown() override {
    LogTarget = old;
    DoneEngine();
    od::Reset();
  }
  // Runs the step and gives the lines it wrote.
  std::vector<std::pair<std::string, bool>> Run(TTesselAction& step) {
    marked.lines.clear();
    std::string output = out;
    step.Execute(in, output, ScriptRegistry->KeyLoader);
    return marked.lines;
  }

  ts::TempDir dir;
  ts::ScopedLogFile log{dir.Path() + "test.log"};
  MarkedLines marked;
  TLogTarget* old = nullptr;
  std::string in, out;
};

using Marked = std::vector<std::pair<std::string, bool>>;

TEST_F(FailureMarks, ANonZeroResultOfEveryKindIsAFailureAndSuccessIsNot) {
  struct Row {
    std::unique_ptr<TTesselAction> step;
    uint16_t od::TState::*code;
  };
  std::vector<Row> rows;
  rows.push_back({std::make_unique<TTesselAction_sign>(), &od::TState::SignCode});
  rows.push_back({std::make_unique<TTesselAction_delsign>(), &od::TState::DelSignCode});
  rows.push_back({std::make_unique<TTesselAction_encrypt>(), &od::TState::EncryptCode});
  rows.push_back({std::make_unique<TTesselAction_decrypt>(), &od::TState::DecryptCode});
  for (Row& r : rows) {
    const std::string caption = r.step->GetCaption();
    od::Reset();
    Marked lines = Run(*r.step);
    ASSERT_FALSE(lines.empty()) << caption;
    EXPECT_EQ(lines.back(), std::make_pair(caption + "\t" + ResultMessage(0), false));
    od::Reset();
    od::State().*r.code = 6;
    lines = Run(*r.step);
    ASSERT_FALSE(lines.empty()) << caption;
    EXPECT_EQ(lines.back(), std::make_pair(caption + "\t" + ResultMessage(6), true));
  }
}

TEST_F(FailureMarks, OnlyTheNegativeLinesOfASignatureCheck) {
  od::State().Records = {od::Record("ID1", 0), od::Record("ID2", 1)};
  od::State().Count = 2;
  TTesselAction_checksign check;
  EXPECT_EQ(Run(check), (Marked{{"Проверить подпись\tЧисло подписей: 2", false},
                                {"Проверить подпись\tЭЦП ID1 : ЭЦП Верна", false},
                                {"Проверить подпись\tЭЦП ID2 : ЭЦП Не верна", true}}));
  check.KeyList = "ID1 ID3";
  EXPECT_EQ(Run(check),
            (Marked{{"Проверить подпись\tКлюч ID1 : ЭЦП Верна", false},
                    {"Проверить подпись\tКлюч ID3 : ЭЦП на данном ключе не найдена", true}}));
  od::State().CheckCode = 26;
  EXPECT_EQ(Run(check),
            (Marked{{"Проверить подпись\tФайл не подписан или искажен", true},
                    {"Проверить подпись\tcheck_file_sign: " + ResultMessage(26), true}}));
}

TEST(CheckSignReportNegative, ACountWithoutRecordsIsTheFailingLine) {
  od::Reset();
  od::State().HandOutArray = false;
  od::State().Count = 2;
  std::vector<std::string> report;
  std::vector<bool> negative = {true, true, true};
  EXPECT_EQ(CheckSignReport("/f", "", nullptr, &report, &negative), SignCheckFailed);
  EXPECT_EQ(report, std::vector<std::string>{"Число подписей: 2"});
  EXPECT_EQ(negative, std::vector<bool>{true});
  // With records, the count line itself is no failure; an unknown status is.
  od::Reset();
  od::State().Records = {od::Record("A", 7)};
  od::State().Count = 1;
  EXPECT_EQ(CheckSignReport("/f", "", nullptr, &report, &negative), SignCheckFailed);
  EXPECT_EQ(negative, (std::vector<bool>{false, true}));
  od::Reset();
}

TEST_F(FailureMarks, AFailedExtractionAndAFullKeyCacheAreFailures) {
  TKeyLoader& cache = *ScriptRegistry->KeyLoader;
  cache.GetKey("GOOD");
  od::State().ExtractCode = 6;
  cache.GetKey("BAD");
  EXPECT_EQ(marked.lines, (Marked{{"ExtractKey:\tGOOD\t" + ResultMessage(0), false},
                                  {"ExtractKey:\tBAD\t" + ResultMessage(6), true}}));
  od::State().ExtractCode = 0;
  while (cache.KeyCount < TKeyLoader::MaxKeys) cache.GetKey("K" + std::to_string(cache.KeyCount));
  marked.lines.clear();
  cache.GetKey("ONE MORE");
  ASSERT_EQ(marked.lines.size(), 1u);
  EXPECT_TRUE(marked.lines[0].second) << marked.lines[0].first;
}

TEST_F(FailureMarks, AFailedCopyIsAFailureAndASuccessfulOneIsNot) {
  TTesselAction_sign sign;
  sign.CopyTo = dir.Sub("copies/");
  Marked lines = Run(sign);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], std::make_pair("Копия - успешно\t" + sign.CopyTo + "a.txt", false));
  sign.CopyTo = dir.Path() + "no such folder";
  lines = Run(sign);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].first.rfind("Копия - ошибка\t", 0), 0u) << lines[1].first;
  EXPECT_TRUE(lines[1].second);
}

}  // namespace
