// A history another connection keeps locked for writing (a database tool left
// open in a transaction): the pass delivers as ever, the program says so in
// one failure line, sets the locked database aside and keeps its records in
// a new one.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "history/HistoryStore.h"
#include "history/PassHistory.h"
#include "tests/engine/PassFixture.h"

namespace {

class HistoryLock : public PassTest {
 protected:
  TPassHistory history{"1.0"};
  std::string path = dir.Path() + "pass.history";  // beside the log, as the program keeps it

  void Pass() {
    TPassContext context;
    context.Roads = history.For(dir.Path() + "x.ini", 400);
    registry.RunAllGroups(context);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const THistoryRecord& r : THistoryStore::OpenToRead(path, nullptr)->Find({}))
      names.push_back(r.Name);
    return names;
  }
  int FailureLines() {
    int n = 0;
    for (const std::string& line : log.Fields())
      if (line.rfind("Ошибка записи истории", 0) == 0) ++n;
    return n;
  }
};

TEST_F(HistoryLock, ALockedDatabaseCostsOneFailureLineAndNoDelivery) {
  AddStep("A");
  testing_support::WriteFile(in + "a.txt", "a");
  Pass();
  ASSERT_EQ(Names(), std::vector<std::string>{"a.txt"});

  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  testing_support::WriteFile(in + "b.txt", "b");
  Pass();
  EXPECT_EQ(testing_support::ReadFile(out + "b.txt"), "b+A");
  EXPECT_FALSE(testing_support::FileExists(in + "b.txt"));
  EXPECT_EQ(FailureLines(), 1);
  EXPECT_EQ(Names(), std::vector<std::string>{"b.txt"});  // the new database has its record
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);

  testing_support::WriteFile(in + "c.txt", "c");
  Pass();
  EXPECT_EQ(FailureLines(), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"b.txt", "c.txt"}));
  EXPECT_EQ(THistoryStore::OpenToRead(path, nullptr)->Verify(), 0);
}

}  // namespace
