// The history's database: an SQLite file beside the event log (its name
// with ".history" in place of ".log"), in WAL mode so that readers never
// wait for a pass, with a schema version that upgrades itself.
//
// Each record's digest is the SHA-256 of the previous record's digest and
// the record's own canonical bytes, so a record edited, removed or put in
// between without the program shows at the first link that no longer holds.
// Retention removes the oldest records and keeps the digest of the last one
// removed as the chain's new anchor.
//
// A database that cannot be written (locked, damaged, the disk full) is set
// aside under a new name, with one failure line, and a new one is started:
// a pass never stops for its history.
//
// The store may be used from two threads (the pass's and the history's
// writer, HistoryWriter.h): each call holds the store to itself. The
// writer's open transaction is the connection's, so the pass's own queries
// see the records it has added but not yet committed.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileRoad.h"
#include "history/HistoryRecord.h"

struct sqlite3;
struct sqlite3_stmt;

// Which records a query wants; an empty field does not filter.
struct THistoryFilter {
  std::string NameMask;  // the file's name: a mask (* and ?) or a whole name
  std::string Group;
  std::string Sha256;  // of the bytes taken or delivered
  std::string Outcome;
  int64_t From = 0, To = 0;  // taken within [From, To], seconds; 0: open
  size_t Limit = 0;          // the newest so many; 0: all
};

class THistoryStore {
 public:
  using Seconds = std::function<int64_t()>;
  using FailureLine = std::function<void(const std::vector<std::string>& fields)>;

  // Opens (or makes) the database for writing; clock: the wall clock in
  // seconds (tests set it); failure: where the failure line goes.
  THistoryStore(std::string path, Seconds clock = {}, FailureLine failure = {});
  ~THistoryStore();
  THistoryStore(const THistoryStore&) = delete;
  THistoryStore& operator=(const THistoryStore&) = delete;

  // Opens an existing database to read only; null (and why) when it cannot.
  static std::unique_ptr<THistoryStore> OpenToRead(const std::string& path, std::string* why);

  // Keeps the records in one transaction, each chained to the one before.
  // Whatever fails sets the database aside and the records go to a new one.
  void Append(std::vector<THistoryRecord> records);
  // The same one record at a time, as a writer has them: Begin, Add each
  // (its Digest and Id set), Commit. Each returns the library's code; one
  // that fails has rolled the transaction back, and the records it held
  // then go where Append's go after a failure: Failed.
  int Begin();
  int Add(THistoryRecord& record);
  int Commit();
  // Copies the log into the database once it holds kCheckpointFrames pages
  // (what the library would do inside a commit). Commit leaves that to its
  // caller, for after whoever waited for the commit has been told; the
  // other calls that commit do it themselves.
  void CheckpointWhenDue();
  static constexpr int kCheckpointFrames = 1000;
  // Drops the open transaction, if any.
  void Rollback();
  // The transaction of these records failed with that code: the database is
  // set aside (one failure line) and the records go to a new one.
  void Failed(int code, std::vector<THistoryRecord>& records);
  // Whether a record says the source as taken was delivered to the target.
  bool HasDelivery(const std::string& source, uint64_t size, int64_t mtimeNs,
                   const std::string& target);
  // The group's latest delivery, done since then, of bytes taken with that digest.
  std::optional<TRoadEarlier> LastDelivery(const std::string& group, const std::string& sha256,
                                           int64_t since);
  // The matching records, newest last. abandoned: once set (by another
  // thread), the query stops within a few thousand of the library's steps
  // and gives what it found so far.
  std::vector<THistoryRecord> Find(const THistoryFilter& filter,
                                   const std::atomic<bool>* abandoned = nullptr);
  // The id of the first record whose chain does not hold (why in *why); 0: all hold.
  int64_t Verify(std::string* why = nullptr);
  // Removes the records done more than days ago; the number removed.
  int Prune(int days);

  const std::string& Path() const { return path_; }
  int64_t Now() const;

 private:
  THistoryStore(std::string path, bool readOnly);
  int Open();
  int Upgrade();
  int AppendOnce(std::vector<THistoryRecord>& records);
  int BeginLocked();
  int AddLocked(THistoryRecord& record);
  int CommitLocked();
  void CheckpointLockedWhenDue();
  // Rolls back a failed transaction and hands its code on.
  int Fail(int code);
  void SetAside(int code);
  void Close();
  // The statement of that text, prepared once for the open database and
  // kept (a pass asks the same of it for each file); null, with the
  // library's code in rc, when it cannot be.
  sqlite3_stmt* Kept(const std::string& sql, int& rc);

  std::string path_;
  bool readOnly_ = false;
  Seconds clock_;
  FailureLine failure_;
  std::mutex lock_;  // held for each call: the connection is one thread's at a time
  sqlite3* db_ = nullptr;
  std::map<std::string, sqlite3_stmt*> kept_;
  bool open_ = false;     // a transaction of Begin's
  std::string previous_;  // the digest of the last record added in it
  int logFrames_ = 0;     // in the log after the last commit
};

// Beside the event log: its name with ".history" in place of ".log".
std::string HistoryPath();
