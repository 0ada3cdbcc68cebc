// The history's database: queries, the chain against an edited record,
// retention by a clock the test sets, and a damaged database set aside.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <algorithm>

#include "history/HistoryStore.h"
#include "history/RecordCodec.h"
#include "history/RoadText.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::kSecondsPerDay;
constexpr int64_t kMonday = 1'800'000'000;

THistoryRecord Road(const std::string& group, const std::string& name, const std::string& outcome,
                    int64_t at, const std::string& sha = "aa") {
  THistoryRecord r;
  r.Script = "/srv/x.ini";
  r.Group = group;
  r.Source = "/in/" + name;
  r.Name = name;
  r.Size = 10;
  r.Sha256 = sha;
  r.Outcome = outcome;
  r.Target = outcome == "delivered" ? "/out/" + name : "";
  r.TakenAt = r.DoneAt = at;
  r.Steps = {{4, "Подпись", "ключ 0A1B", true, 0, "Подписано\nключом 0A1B", "/arch/" + name, ""}};
  return r;
}

std::vector<std::string> Names(const std::vector<THistoryRecord>& records) {
  std::vector<std::string> names;
  for (const auto& r : records) names.push_back(r.Name);
  return names;
}

void ExecSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
}

class HistoryStoreTest : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  std::string path = dir.Path() + "run.history";
  int64_t now = kMonday;
  std::vector<std::string> failures;
  THistoryStore::Seconds clock = [this] { return now; };
  THistoryStore::FailureLine failure = [this](const std::vector<std::string>& fields) {
    failures.push_back(fields.front());
  };
};

TEST_F(HistoryStoreTest, QueriesFilterByNameGroupDigestOutcomeAndTime) {
  THistoryStore store(path, clock, failure);
  store.Append({Road("Банк", "pay1.txt", "delivered", kMonday, "d1"),
                Road("Банк", "pay2.txt", "bad", kMonday + 60, "d2"),
                Road("Выписки", "stat1.xml", "delivered", kMonday + kSecondsPerDay, "d3")});
  store.Append({Road("Банк", "pay1.txt", "delivered", kMonday + 2 * kSecondsPerDay, "d4")});

  EXPECT_EQ(Names(store.Find({})),
            (std::vector<std::string>{"pay1.txt", "pay2.txt", "stat1.xml", "pay1.txt"}));
  THistoryFilter f;
  f.NameMask = "pay*.txt";
  EXPECT_EQ(Names(store.Find(f)), (std::vector<std::string>{"pay1.txt", "pay2.txt", "pay1.txt"}));
  f.NameMask = "pay1.txt";  // a whole name: the index, both roads of it
  EXPECT_EQ(store.Find(f).size(), 2u);
  f = {};
  f.Group = "Выписки";
  EXPECT_EQ(Names(store.Find(f)), (std::vector<std::string>{"stat1.xml"}));
  f = {};
  f.Outcome = "bad";
  EXPECT_EQ(Names(store.Find(f)), (std::vector<std::string>{"pay2.txt"}));
  f = {};
  f.Sha256 = "d4";
  ASSERT_EQ(store.Find(f).size(), 1u);
  EXPECT_EQ(store.Find(f)[0].TakenAt, kMonday + 2 * kSecondsPerDay);
  f = {};
  f.From = kMonday + 30;
  f.To = kMonday + kSecondsPerDay;
  EXPECT_EQ(Names(store.Find(f)), (std::vector<std::string>{"pay2.txt", "stat1.xml"}));
  f = {};
  f.Limit = 1;  // the newest
  EXPECT_EQ(store.Find(f).at(0).Sha256, "d4");

  // The whole road comes back as kept, Russian texts and steps included.
  f = {};
  f.Sha256 = "d1";
  const THistoryRecord r = store.Find(f).at(0);
  EXPECT_EQ(r.Group, "Банк");
  ASSERT_EQ(r.Steps.size(), 1u);
  EXPECT_EQ(r.Steps[0].Text, "Подписано\nключом 0A1B");
  EXPECT_EQ(r.Steps[0].CopiedTo, "/arch/pay1.txt");
  EXPECT_EQ(CopiesOf(r), (std::vector<std::string>{"/arch/pay1.txt"}));
}

// A digest finds a road by the bytes taken or by those delivered, once, and
// so it does in a database made before the result's index was narrowed to
// the roads whose steps changed the bytes.
TEST_F(HistoryStoreTest, ADigestFindsARoadByItsBytesTakenOrDeliveredAlsoAfterAnUpgrade) {
  THistoryRecord signedRoad = Road("Банк", "pay.txt", "delivered", kMonday, "t1");
  signedRoad.ResultSha256 = "r1";
  THistoryRecord relayed = Road("Банк", "stat.xml", "delivered", kMonday, "t2");
  relayed.ResultSha256 = "t2";
  THistoryRecord unhashed = Road("Банк", "list.txt", "delivered", kMonday, "");
  unhashed.ResultSha256 = "r3";
  auto check = [&](THistoryStore& store) {
    for (const auto& [digest, name] : std::vector<std::pair<std::string, std::string>>{
             {"t1", "pay.txt"}, {"r1", "pay.txt"}, {"t2", "stat.xml"}, {"r3", "list.txt"}}) {
      THistoryFilter f;
      f.Sha256 = digest;
      EXPECT_EQ(Names(store.Find(f)), std::vector<std::string>{name}) << digest;
    }
    // The recovery's question, asked by the source's whole path.
    EXPECT_TRUE(store.HasDelivery("/in/pay.txt", 10, 0, "/out/pay.txt"));
    EXPECT_FALSE(store.HasDelivery("/other/pay.txt", 10, 0, "/out/pay.txt"));
  };
  {
    THistoryStore store(path, clock, failure);
    store.Append({signedRoad, relayed, unhashed});
    check(store);
  }
  ExecSql(path,
          "DROP INDEX roads_result_sha256;"
          "CREATE INDEX roads_result_sha256 ON roads(result_sha256);"
          "CREATE INDEX roads_source ON roads(source);"
          "UPDATE schema_version SET version = 1");
  THistoryStore store(path, clock, failure);
  check(store);
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(store.Verify(), 0);
}

TEST_F(HistoryStoreTest, StepsKeepTheFingerprintsOfTheirKeysAndStepsWithoutKeepTheirOldForm) {
  THistoryRecord r = Road("Банк", "pay.txt", "delivered", kMonday, "f1");
  r.Steps.push_back(
      {9, "Шифровать", "Ключ: CLIENT для BANK", true, 0, "", "",
       "AAAA0000AAAA0000AAAA0000AAAA0000AAAA0000 BBBB1111BBBB1111BBBB1111BBBB1111BBBB1111"});
  const std::string encoded = EncodeSteps(r.Steps);
  // The step without keys is encoded as it always was: seven fields.
  const std::string first = encoded.substr(0, encoded.find('\x1e'));
  EXPECT_EQ(std::count(first.begin(), first.end(), '\x1f'), 7);
  THistoryStore store(path, clock, failure);
  store.Append({r});
  THistoryFilter f;
  f.Sha256 = "f1";
  const THistoryRecord back = store.Find(f).at(0);
  ASSERT_EQ(back.Steps.size(), 2u);
  EXPECT_EQ(back.Steps[0].Fingerprints, "");
  EXPECT_EQ(back.Steps[0].CopiedTo, "/arch/pay.txt");
  EXPECT_EQ(back.Steps[1].Fingerprints, r.Steps[1].Fingerprints);
  EXPECT_EQ(back.Steps[1].Params, "Ключ: CLIENT для BANK");
  EXPECT_EQ(store.Verify(), 0);
  // The road tessel history and the window show names them under the step.
  const std::vector<std::string> road = RoadLines(back);
  EXPECT_NE(
      std::find(road.begin(), road.end(), "      отпечатки ключей: " + r.Steps[1].Fingerprints),
      road.end());
}

TEST_F(HistoryStoreTest, VerifyNamesTheFirstRecordWhoseChainBreaks) {
  {
    THistoryStore store(path, clock, failure);
    store.Append({Road("Банк", "a", "delivered", now), Road("Банк", "b", "delivered", now)});
    store.Append({Road("Банк", "c", "delivered", now), Road("Банк", "d", "delivered", now)});
    EXPECT_EQ(store.Verify(), 0);
  }
  // Someone moves a delivery elsewhere behind the program's back.
  ExecSql(path, "UPDATE roads SET target = '/elsewhere/b' WHERE name = 'b'");
  {
    auto store = THistoryStore::OpenToRead(path, nullptr);
    ASSERT_TRUE(store);
    std::string why;
    EXPECT_EQ(store->Verify(&why), 2);
    EXPECT_FALSE(why.empty());
  }
  // Recomputing its digest does not help: the next link breaks instead.
  ExecSql(path, "UPDATE roads SET target = '/out/b' WHERE name = 'b'");
  ExecSql(path, "DELETE FROM roads WHERE name = 'c'");
  EXPECT_EQ(THistoryStore::OpenToRead(path, nullptr)->Verify(), 4);
}

TEST_F(HistoryStoreTest, RetentionRemovesOnlyRecordsOlderThanItsDaysAndKeepsTheChain) {
  THistoryStore store(path, clock, failure);
  store.Append({Road("Банк", "old", "delivered", kMonday)});
  store.Append({Road("Банк", "recent", "delivered", kMonday + 30 * kSecondsPerDay)});
  now = kMonday + 400 * kSecondsPerDay;  // "old" is exactly 400 days old: kept
  EXPECT_EQ(store.Prune(400), 0);
  now += 1;
  EXPECT_EQ(store.Prune(400), 1);
  EXPECT_EQ(Names(store.Find({})), (std::vector<std::string>{"recent"}));
  EXPECT_EQ(store.Verify(), 0);  // the chain now starts at the removed record's digest
  store.Append({Road("Банк", "new", "delivered", now)});
  EXPECT_EQ(store.Verify(), 0);
}

TEST_F(HistoryStoreTest, DamagedDatabaseIsSetAsideAndANewOneTakesTheRecords) {
  testing_support::WriteFile(path, std::string(8192, 'x'));  // not a database
  THistoryStore store(path, clock, failure);
  ASSERT_EQ(failures.size(), 1u);
  store.Append({Road("Банк", "pay1.txt", "delivered", now)});
  EXPECT_EQ(store.Find({}).size(), 1u);
  EXPECT_EQ(failures.size(), 1u);  // one line for the episode
  int aside = 0;
  for (const std::string& name : testing_support::ListNames(dir.Path()))
    if (name.rfind("run.history.aside-", 0) == 0) ++aside;
  EXPECT_EQ(aside, 1);

  // Damaged under a running program: the write fails, the records survive.
  ExecSql(path, "DROP TABLE roads");
  store.Append({Road("Банк", "pay2.txt", "delivered", now)});
  EXPECT_EQ(failures.size(), 2u);
  EXPECT_EQ(Names(store.Find({})), (std::vector<std::string>{"pay2.txt"}));
  EXPECT_EQ(store.Verify(), 0);
}

TEST_F(HistoryStoreTest, ReadingNeedsAnExistingDatabase) {
  std::string why;
  EXPECT_FALSE(THistoryStore::OpenToRead(path, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(testing_support::FileExists(path));  // reading makes nothing
}

}  // namespace
