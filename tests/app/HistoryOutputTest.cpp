// tessel history's output for people and for tools: a name with a comma, a
// quote and Cyrillic letters comes through the table, the road, CSV and JSON
// as UTF-8, quoted as each format quotes.
#include <gtest/gtest.h>

#include "history/HistoryStore.h"
#include "platform/Clock.h"
#include "platform/Cp1251.h"
#include "tests/app/TesselProgram.h"

namespace {

using namespace tessel_test;

class HistoryOutput : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  std::string ini = dir.Path() + "обмен.ini";
  std::string name = "платёж, \"срочный\".txt";
  int64_t at = platform::ParseLocalTime("2026-12-07 10:15:02").value();

  void SetUp() override {
    THistoryRecord r;
    r.Script = ini;
    r.Group = "Банк";
    r.Name = name;
    r.Source = "/in/" + name;
    r.Size = 5;
    r.Sha256 = std::string(64, 'a');
    r.Outcome = "delivered";
    r.Target = "/out/" + name;
    r.ResultSize = 7;
    r.ResultSha256 = std::string(64, 'b');
    r.TakenAt = r.DoneAt = at;
    r.Steps = {{4, "Подпись", "ключ BANK", true, 0, "Подписано ключом BANK", ""}};
    THistoryStore(dir.Path() + "обмен.history").Append({r});
  }
  // Standard output as UTF-8 bytes; the arguments as the system's text.
  std::string Run(std::vector<std::string> args) {
    args.insert(args.begin(), "history");
    args.push_back("--settings");
    args.push_back(ini);
    TProgram program(TesselPath(), args, dir.Sub("tmp/"), dir.Sub("output/"));
    EXPECT_EQ(program.Wait(), 0) << program.Err();
    return program.RawOut();
  }
  static std::string U(const std::string& cp1251) { return platform::Cp1251ToUtf8(cp1251); }
};

TEST_F(HistoryOutput, ANameWithACommaAQuoteAndCyrillicSurvivesEachFormat) {
  const std::string when = platform::FormatLocalTime(at);
  const std::string quoted = "\"платёж, \"\"срочный\"\".txt\"";
  EXPECT_EQ(Run({"--csv"}),
            U("id,taken_at,group,name,source,size,sha256,outcome,target,why,result_size,"
              "result_sha256\n1," + when + ",Банк," + quoted + ",\"/in/платёж, \"\"срочный\"\".txt\",5," +
              std::string(64, 'a') + ",delivered,\"/out/платёж, \"\"срочный\"\".txt\",,7," +
              std::string(64, 'b') + "\n"));

  const std::string json = Run({"--json"});
  EXPECT_NE(json.find(U("\"name\":\"платёж, \\\"срочный\\\".txt\",")), std::string::npos) << json;
  EXPECT_NE(json.find(U("\"group\":\"Банк\",")), std::string::npos) << json;
  EXPECT_NE(json.find(U("\"text\":\"Подписано ключом BANK\"")), std::string::npos) << json;
  EXPECT_EQ(platform::Utf8ToCp1251(json).value_or("not UTF-8"), platform::Utf8ToCp1251Lossy(json));

  const std::string table = Run({});
  // Columns padded in the system's bytes: one letter, one column.
  EXPECT_NE(table.find(U(when + "  Банк            " + name + "    доставлен    /out/" + name + "\n")),
            std::string::npos)
      << table;

  // The whole name asks for the road.
  const std::string road = Run({name});
  EXPECT_NE(road.find(U("  Шаг 1: Подпись (ключ BANK) - успешно\n      Подписано ключом BANK\n")),
            std::string::npos)
      << road;
  EXPECT_NE(road.find(U("  Итог: доставлен /out/" + name + "\n")), std::string::npos) << road;
}

}  // namespace
