// The window's history without its widgets: what its search box and days ask
// the database, and which event-log lines belong to a record's road.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cerrno>
#include <ctime>
#include <future>
#include <thread>

#include "history/HistoryRecorder.h"
#include "history/HistorySearch.h"
#include "history/HistorySearchJob.h"
#include "history/RoadLog.h"
#include "history/Sha256.h"
#include "platform/Clock.h"
#include "tests/engine/PassFixture.h"

namespace {

int64_t Local(const std::string& text) {
  return platform::ParseLocalTime(text).value();
}

// The log's lines as written, without CR LF.
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  return lines;
}

// Each pass at the time the test sets: the record's times and the log's.
class RoadLog : public PassTest {
 protected:
  int64_t now = Local("2026-12-07 10:15:00");
  THistoryStore store{dir.Path() + "pass.history", [this] { return now; }};
  THistoryRecorder recorder{store, "/srv/x.ini", "1.0"};

  void SetUp() override {
    PassTest::SetUp();
    SetLogClock([this] {
      const std::time_t t = static_cast<std::time_t>(now);
      std::tm local{};
      localtime_r(&t, &local);
      return local;
    });
  }
  void TearDown() override { SetLogClock(nullptr); }
  void Pass() {
    TPassContext context;
    context.Roads = &recorder;
    registry.RunAllGroups(context);
  }
  // The index of the nth line holding text (0: the first).
  size_t IndexOf(const std::vector<std::string>& lines, const std::string& text, int nth = 0) {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].find(text) != std::string::npos && nth-- == 0) return i;
    ADD_FAILURE() << text;
    return lines.size();
  }
};

TEST_F(RoadLog, ARoadHasItsFileLinesOfItsOwnTimeAndNoOther) {
  AddStep("A");
  testing_support::WriteFile(in + "pay.txt", "monday");
  testing_support::WriteFile(in + "other.txt", "other");
  Pass();
  // The same name again the next day, taken at midnight: the log writes the
  // date alone then.
  now = Local("2026-12-08 00:00:00");
  testing_support::WriteFile(in + "pay.txt", "tuesday");
  Pass();

  THistoryFilter filter;
  filter.NameMask = "pay.txt";
  const std::vector<THistoryRecord> roads = store.Find(filter);
  ASSERT_EQ(roads.size(), 2u);
  const std::vector<std::string> log = Lines(this->log.Bytes());
  const std::vector<std::string> tuesday = RoadLogLines(roads[1], this->log.Path());
  // From the second pass's start of pay.txt to its end, the step's line (which
  // does not name the file) among them; nothing of Monday's or other.txt's.
  const size_t from = IndexOf(log, Start("pay.txt"), 1), to = IndexOf(log, End("pay.txt"), 1);
  ASSERT_LT(from, to);
  EXPECT_EQ(tuesday, std::vector<std::string>(log.begin() + from, log.begin() + to + 1));
  EXPECT_NE(tuesday.at(1).find("Тест A"), std::string::npos) << tuesday.at(1);
  const std::vector<std::string> monday = RoadLogLines(roads[0], this->log.Path());
  ASSERT_FALSE(monday.empty());
  EXPECT_EQ(monday.front(), log[IndexOf(log, Start("pay.txt"))]);
  EXPECT_EQ(monday.back(), log[IndexOf(log, End("pay.txt"))]);

  // A road cut off by a kill: its block ends where the next group or file begins;
  // a line naming its source outside the block counts within its time only.
  now = Local("2026-12-09 09:00:00");
  WriteLog({"Начало обработки файла", "\"pay.txt\""});
  WriteLog({"Шаг", "подписано"});
  WriteLog({std::string(55, '*')});
  WriteLog({"Другая группа"});
  WriteLog({"Начало обработки файла", "\"next.txt\""});
  WriteLog({"Конец обработки файла", "\"next.txt\""});
  WriteLog({"Доставка восстановлена", in + "pay.txt"});
  now += 3600;
  WriteLog({"Повтор", in + "pay.txt"});
  THistoryRecord cut = roads[1];
  cut.TakenAt = cut.DoneAt = Local("2026-12-09 09:00:00");
  const std::vector<std::string> picked = RoadLogLines(cut, this->log.Path());
  ASSERT_EQ(picked.size(), 3u);
  EXPECT_NE(picked[0].find("\tНачало обработки файла\t\"pay.txt\""), std::string::npos);
  EXPECT_NE(picked[1].find("\tподписано"), std::string::npos);
  EXPECT_NE(picked[2].find("\tДоставка восстановлена\t"), std::string::npos);

  std::vector<TRoadLogFile> files;
  EXPECT_TRUE(RoadLogLines(cut, dir.Path() + "no.log", &files).empty());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].Error, ENOENT);
}

// A road whose lines logrotate cut into the log, its ".1" and its ".2.gz":
// read back whole and in order; a record of today reads no archive.
TEST_F(RoadLog, ARoadAcrossRotatedLogsComesBackWholeAndTodaysReadsNone) {
  AddStep("A");
  testing_support::WriteFile(in + "pay.txt", "monday");
  Pass();
  THistoryFilter filter;
  filter.NameMask = "pay.txt";
  const THistoryRecord monday = store.Find(filter).at(0);
  const std::vector<std::string> whole = RoadLogLines(monday, log.Path());
  ASSERT_EQ(whole.size(), 3u);  // its begin, its step and its end

  // The oldest part up to its begin line packed, its step lines plain, its end in the log.
  const std::vector<std::string> log = Lines(this->log.Bytes());
  const size_t begin = IndexOf(log, Start("pay.txt")), end = IndexOf(log, End("pay.txt"));
  auto part = [&](size_t from, size_t to) {
    std::string bytes;
    for (size_t i = from; i < to; ++i) bytes += log[i] + "\r\n";
    return bytes;
  };
  const std::string packed = dir.Path() + "pass.log.2.gz";
  gzFile gz = gzopen(packed.c_str(), "wb");
  const std::string oldest = part(0, begin + 1);
  ASSERT_EQ(gzwrite(gz, oldest.data(), static_cast<unsigned>(oldest.size())),
            static_cast<int>(oldest.size()));
  ASSERT_EQ(gzclose(gz), Z_OK);
  testing_support::WriteFile(this->log.Path() + ".1", part(begin + 1, end));
  testing_support::WriteFile(this->log.Path(), part(end, log.size()));

  std::vector<TRoadLogFile> files;
  EXPECT_EQ(RoadLogLines(monday, this->log.Path(), &files), whole);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[1].Path, this->log.Path() + ".1");
  EXPECT_EQ(files[2].Path, packed);
  for (const TRoadLogFile& file : files) EXPECT_EQ(file.Error, 0) << file.Path;

  // A damaged archive is told; the lines of the others are still there.
  const std::string bytes = testing_support::ReadFile(packed);
  testing_support::WriteFile(packed, bytes.substr(0, bytes.size() / 2));
  const std::vector<std::string> damaged = RoadLogLines(monday, this->log.Path(), &files);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[2].Error, EBADMSG);
  ASSERT_FALSE(damaged.empty());
  EXPECT_EQ(damaged.back(), whole.back());

  // A week later the road of the day is in the log alone: no archive is read.
  now = Local("2026-12-14 09:00:00");
  testing_support::WriteFile(in + "pay.txt", "next monday");
  Pass();
  const THistoryRecord today = store.Find(filter).at(1);
  const std::vector<std::string> lines = RoadLogLines(today, this->log.Path(), &files);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].Error, 0);
  const std::vector<std::string> current = Lines(this->log.Bytes());
  EXPECT_EQ(lines,
            std::vector<std::string>(current.begin() + IndexOf(current, Start("pay.txt")),
                                     current.begin() + IndexOf(current, End("pay.txt"), 1) + 1));
}

// The window's search on its own thread: what it finds reaches its owner,
// and an abandoned one stops its scan and its thread at once.
TEST(HistorySearch, AJobHandsOverWhatItFoundAndAnAbandonedOneStops) {
  testing_support::TempDir dir;
  const std::string path = dir.Path() + "s.history";
  constexpr size_t kRecords = 3000;
  {
    THistoryStore store(path);
    std::vector<THistoryRecord> records(kRecords);
    for (size_t i = 0; i < kRecords; ++i) records[i].Name = "pay" + std::to_string(i) + ".txt";
    store.Append(std::move(records));
  }
  THistoryFilter all;
  all.NameMask = "pay*.txt";
  std::promise<void> done;
  THistorySearchJob job(path, all, [&] { done.set_value(); });
  done.get_future().wait();
  const THistoryFound found = job.Take();
  EXPECT_TRUE(found.Opened);
  ASSERT_EQ(found.Records.size(), kRecords);
  EXPECT_EQ(found.Records.back().Name, "pay2999.txt");

  const std::atomic<bool> abandoned{true};
  const THistoryFound stopped = FindInHistory(path, all, abandoned);
  EXPECT_TRUE(stopped.Opened);
  EXPECT_LT(stopped.Records.size(), kRecords);

  // One that runs until abandoned ends with its job.
  std::atomic<bool> ended{false};
  {
    THistorySearchJob running(
        path, all, {},
        [&](const std::string&, const THistoryFilter&, const std::atomic<bool>& stop) {
          while (!stop) std::this_thread::yield();
          ended = true;
          return THistoryFound{};
        });
  }
  EXPECT_TRUE(ended);

  const THistoryFound missing = FindInHistory(dir.Path() + "none.history", all, abandoned);
  EXPECT_FALSE(missing.Opened);
  EXPECT_FALSE(missing.Why.empty());
}

TEST(HistorySearch, TheBoxTakesADigestOrANameAndTheDaysAreWhole) {
  testing_support::TempDir dir;
  THistoryStore store(dir.Path() + "s.history");
  auto road = [](const std::string& name, const std::string& at, const std::string& bytes) {
    THistoryRecord r;
    r.Group = "Банк";
    r.Name = name;
    r.Source = "/in/" + name;
    r.Outcome = "delivered";
    r.Sha256 = Sha256Hex(bytes);
    r.ResultSha256 = Sha256Hex(bytes + "+signed");
    r.TakenAt = r.DoneAt = Local(at);
    return r;
  };
  store.Append({road("before.txt", "2026-12-06 23:59:59", "b"),
                road("first.txt", "2026-12-07 00:00:00", "f"),
                road("last.txt", "2026-12-08 23:59:59", "l"),
                road("after.txt", "2026-12-09 00:00:00", "a")});
  auto names = [&](const THistoryFilter& filter) {
    std::string found;
    for (const THistoryRecord& r : store.Find(filter)) found += r.Name + " ";
    return found;
  };
  EXPECT_EQ(names(HistorySearch("", "2026-12-07", "2026-12-08")), "first.txt last.txt ");
  EXPECT_EQ(names(HistorySearch("", "2026-12-08", "")), "last.txt after.txt ");
  EXPECT_EQ(names(HistorySearch(" *t.txt ", "", "")), "first.txt last.txt ");

  // A digest of what was delivered, as copied from elsewhere: upper case, blanks.
  std::string digest = Sha256Hex("l+signed");
  for (char& c : digest) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(names(HistorySearch("  " + digest + " ", "", "")), "last.txt ");
  // One digit short is no digest: a name, and none is called so.
  EXPECT_EQ(names(HistorySearch(Sha256Hex("l").substr(1), "", "")), "");
  EXPECT_EQ(HistorySearch("", "", "").Limit, kHistorySearchRows);
}

}  // namespace
