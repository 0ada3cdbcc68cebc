// The history's writer thread, told roads as a pass tells them: a group's
// records are committed, digests and all, by the time GroupEnded returns; a
// database that refuses one of them half way sends the whole group, in its
// order, to a new one; the duplicate guard sees the pass's earlier
// deliveries while the writer still holds them; a recorder closed in the
// middle of a group keeps what was committed before.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "history/HistoryRecorder.h"
#include "history/Sha256.h"
#include "platform/Files.h"
#include "tests/support/TestSupport.h"

namespace {

// More than two of the writer's batches.
constexpr int kFiles = 2 * static_cast<int>(THistoryWriter::kBatch) + 7;

std::string Name(int i) {
  return "f" + std::to_string(100 + i) + ".txt";
}

std::string Bytes(int i) {
  return "payment " + std::to_string(i);
}

class HistoryWriterTest : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  std::string path = dir.Path() + "run.history";
  std::string in = dir.Sub("in/"), work = dir.Sub("work/"), out = dir.Sub("out/");
  std::vector<std::string> failures;
  THistoryStore store{path, {}, [this](const std::vector<std::string>& fields) {
                        failures.push_back(fields.front());
                      }};

  // One file's road: copied into its working file through the recorder's
  // tap, signed by a step (its result differs from the bytes taken) and
  // delivered through the other tap. guard: the duplicate guard asks first.
  std::optional<TRoadEarlier> Road(THistoryRecorder& recorder, const std::string& name,
                                   const std::string& bytes, bool guard = false) {
    const std::string source = in + name, taken = work + name, result = work + name + ".sig";
    testing_support::WriteFile(source, bytes);
    platform::CopyOptions taking;
    taking.privateTarget = true;
    taking.tap = recorder.Taking(taken);
    EXPECT_EQ(platform::CopyFile(source, taken, taking), 0);
    recorder.FileTaken({"Банк", source, taken, bytes.size(), 0});
    std::optional<TRoadEarlier> earlier;
    if (guard) earlier = recorder.DeliveredBefore(30);
    testing_support::WriteFile(result, bytes + "+sig");
    recorder.StepDone({4, "Подпись", "ключ 0A1B", true, 0, "", "", ""});
    platform::CopyOptions delivering;
    delivering.tap = recorder.Delivering(result);
    EXPECT_EQ(platform::CopyFile(result, out + name, delivering), 0);
    recorder.FileEnded({TRoadOutcome::Delivered, out + name, result, "", 0});
    return earlier;
  }
  // The records another connection sees: committed ones only.
  std::vector<THistoryRecord> Committed(const std::string& at) {
    auto reader = THistoryStore::OpenToRead(at, nullptr);
    return reader ? reader->Find({}) : std::vector<THistoryRecord>{};
  }
  void ExpectWholeGroup(const std::vector<THistoryRecord>& records) {
    ASSERT_EQ(records.size(), static_cast<size_t>(kFiles));
    for (int i = 0; i < kFiles; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(records[i].Name, Name(i));  // in the pass's order
      EXPECT_EQ(records[i].Sha256, Sha256Hex(Bytes(i)));
      EXPECT_EQ(records[i].ResultSha256, Sha256Hex(Bytes(i) + "+sig"));
      EXPECT_EQ(records[i].ResultSize, Bytes(i).size() + 4);
    }
  }
};

TEST_F(HistoryWriterTest, AGroupIsCommittedWhenGroupEndedReturnsAndAClosedOneKeepsOnlyThat) {
  {
    THistoryRecorder recorder(store, "x.ini", "1.0");
    recorder.GroupStarted("Банк");
    for (int i = 0; i < kFiles; ++i) Road(recorder, Name(i), Bytes(i));
    recorder.GroupEnded();
    ExpectWholeGroup(Committed(path));

    // Closed in the middle of the next group, its writer busy with it.
    recorder.GroupStarted("Банк");
    for (int i = 0; i < kFiles; ++i) Road(recorder, "next" + Name(i), Bytes(i));
  }
  ExpectWholeGroup(Committed(path));
  EXPECT_EQ(store.Verify(), 0);
  EXPECT_TRUE(failures.empty());
}

// The commit begins once the deliveries are on the disk, while the pass
// deletes the sources: a pass cut off then still keeps its records.
TEST_F(HistoryWriterTest, RecordsOfDeliveriesOnTheDiskAreKeptThoughThePassNeverEnds) {
  {
    THistoryRecorder recorder(store, "x.ini", "1.0");
    recorder.GroupStarted("Банк");
    for (int i = 0; i < kFiles; ++i) Road(recorder, Name(i), Bytes(i));
    recorder.DeliveriesOnDisk();
    recorder.GroupStarted("Банк");  // no GroupEnded
    ExpectWholeGroup(Committed(path));
    for (int i = 0; i < kFiles; ++i) Road(recorder, "next" + Name(i), Bytes(i));
    recorder.DeliveriesOnDisk();
  }  // closed before GroupEnded
  EXPECT_EQ(Committed(path).size(), 2u * kFiles);
  EXPECT_EQ(store.Verify(), 0);
  EXPECT_TRUE(failures.empty());
}

TEST_F(HistoryWriterTest, ADatabaseThatRefusesARecordHalfWaySendsTheWholeGroupToANewOne) {
  const std::string refused = Name(THistoryWriter::kBatch + 3);  // after a batch was added
  {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    const std::string trigger = "CREATE TRIGGER refuse AFTER INSERT ON roads WHEN NEW.name = '" +
                                refused + "' BEGIN SELECT RAISE(ABORT, 'refused'); END";
    EXPECT_EQ(sqlite3_exec(other, trigger.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
  }
  THistoryRecorder recorder(store, "x.ini", "1.0");
  recorder.GroupStarted("Банк");
  for (int i = 0; i < kFiles; ++i) Road(recorder, Name(i), Bytes(i));
  recorder.DeliveriesOnDisk();  // the commit fails on the writer's thread
  recorder.GroupEnded();

  EXPECT_EQ(failures.size(), 1u);
  ExpectWholeGroup(Committed(path));
  EXPECT_EQ(store.Verify(), 0);
  // The database set aside kept none of them: no record is there twice.
  std::string aside;
  for (const std::string& name : testing_support::ListNames(dir.Path()))
    if (name.rfind("run.history.aside-", 0) == 0 && name.find("-wal") == std::string::npos &&
        name.find("-shm") == std::string::npos)
      aside = dir.Path() + name;
  ASSERT_FALSE(aside.empty());
  EXPECT_TRUE(Committed(aside).empty());
}

TEST_F(HistoryWriterTest, TheGuardSeesThisPassDeliveriesTheWriterStillHolds) {
  THistoryRecorder recorder(store, "x.ini", "1.0");
  recorder.GroupStarted("Банк");
  // Told before the guard first asks: their digests are the writer's to make.
  Road(recorder, "first.txt", "pay 1000 to 40702810");
  for (int i = 0; i < kFiles; ++i) Road(recorder, Name(i), Bytes(i));
  const auto again = Road(recorder, "again.txt", "pay 1000 to 40702810", true);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->Name, "first.txt");
  EXPECT_FALSE(Road(recorder, "new.txt", "pay 2000 to 40702810", true));
  // And those told once it asks.
  const auto twice = Road(recorder, "new-again.txt", "pay 2000 to 40702810", true);
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->Name, "new.txt");
  recorder.GroupEnded();
  EXPECT_EQ(Committed(path).size(), static_cast<size_t>(kFiles) + 4);
}

// The library's own checkpoints are off (they would run inside the commit
// a pass waits for): the writer copies the log into the database after its
// commits, so that the log stays bounded however many groups pass.
TEST_F(HistoryWriterTest, TheLogIsCopiedIntoTheDatabaseAfterTheCommitsThatFillIt) {
  THistoryWriter writer(store);
  uint64_t largest = 0;
  for (int group = 0; group < 40; ++group) {
    for (int i = 0; i < 100; ++i) {
      THistoryWrite write;
      write.Record = writer.NewRecord();
      THistoryRecord& record = *write.Record;
      record.Group = "Банк";
      record.Name = Name(group * 100 + i);
      record.Source = in + record.Name;
      record.Sha256 = Sha256Hex(record.Name);
      record.Steps = {{4, "Подпись", "ключ 0A1B", true, 0, std::string(300, 'x'), "", ""}};
      writer.Add(std::move(write));
    }
    writer.EndGroup();
    // A log is written again from its start once all of it was copied.
    platform::FileStat log;
    ASSERT_EQ(platform::StatPath(path + "-wal", log), 0);
    largest = std::max(largest, log.size);
  }
  EXPECT_LT(largest, (THistoryStore::kCheckpointFrames + 300) * (4096 + 24));
  EXPECT_EQ(Committed(path).size(), 4000u);
  EXPECT_TRUE(failures.empty());
}

// The pass fills records its writer committed before: every field of the
// last road is gone, and the texts keep their room.
TEST(HistoryRecordTest, ARecordFilledAgainStartsAsANewOne) {
  THistoryRecord r;
  r.Id = 7;
  r.Script = r.Group = r.Source = r.Name = r.Sha256 = r.Outcome = r.Target = r.Why =
      r.ResultSha256 = r.Host = r.Version = r.Digest = std::string(40, 'x');
  r.PassStart = r.MtimeNs = r.TakenAt = r.DoneAt = 5;
  r.Size = r.ResultSize = 6;
  r.Steps = {{4, "Подпись", "ключ", true, 3, "строки", "/copy/f", "0A1B"}};
  r.Code = 2;
  r.Recovered = true;
  Recycle(r);
  EXPECT_TRUE(r == THistoryRecord{});
  EXPECT_GE(r.Source.capacity(), 40u);
  EXPECT_GE(r.Steps.capacity(), 1u);
}

}  // namespace
