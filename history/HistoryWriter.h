// The history's writer: a thread of its own that takes a group pass's
// finished records from the pass, makes the digests left to it (of small
// files' bytes, kept whole by the taps) and adds each record to the
// group's open transaction, so that the pass spends on its history little
// more than the handing over. The pass hands records over in batches (a
// wake of the thread costs microseconds) and waits when the thread is far
// behind, so that what waits stays bounded.
//
// EndGroup commits before it returns: a pass clears its delivery journal
// only after that, which keeps the history whole across a kill. The thread
// keeps the group's records until the commit holds: a transaction that
// fails sends them all, in their order, to a new database (Failed).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "history/DigestTap.h"
#include "history/HistoryRecord.h"
#include "history/Sha256.h"

class THistoryStore;

// A finished record on its way, with the digests still to be made of it.
struct THistoryWrite {
  std::unique_ptr<THistoryRecord> Record;  // THistoryWriter::NewRecord's
  // The bytes taken and delivered, whose digests (Record.Sha256,
  // ResultSha256) are to be made where said; their buffers go back to the
  // taps for the next files (Spare).
  TKeptBytes Taken, Result;
  bool HashTaken = false, HashResult = false;
  bool ResultIsTaken = false;  // the result's digest is that of the bytes taken
};

// A delivery of the group's pass, as the duplicate guard compares it.
struct TGroupDelivery {
  std::string Sha256, Name;
  int64_t DoneAt = 0;
};

class THistoryWriter {
 public:
  explicit THistoryWriter(THistoryStore& store);
  ~THistoryWriter();  // what was not committed is dropped
  THistoryWriter(const THistoryWriter&) = delete;
  THistoryWriter& operator=(const THistoryWriter&) = delete;

  // The pass's side: a record of the group in hand.
  void Add(THistoryWrite write);
  // The group's deliveries handed in so far, in their order, once the
  // thread has made their digests.
  std::vector<TGroupDelivery> Deliveries();
  // Begins the commit of the group's records handed in so far, and returns.
  void Commit();
  // Commits the group's records (unless Commit began it) and returns once
  // that is done (or has failed and they went to a new database).
  void EndGroup();
  // Drops the records of a group that did not end.
  void Discard();
  // Whether records of a group not ended yet were handed in.
  bool InGroup() const { return inGroup_; }
  // A buffer whose bytes the thread has hashed, for a tap to copy into
  // (TDigestTap::TakeBytes); none when no such is back yet.
  TKeptBytes Spare();
  // A record to fill, one committed before where there is one: its texts
  // keep their room, and what the pass made them of goes back to the pass.
  std::unique_ptr<THistoryRecord> NewRecord();

  static constexpr size_t kBatch = 32;  // records handed over at a time
  static constexpr size_t kMaxSpares = 4 * kBatch;
  static constexpr size_t kMaxSpareRecords = 1024;
  // Handed over and not yet taken by the thread, at most: the pass waits beyond.
  static constexpr size_t kMaxQueued = 1024;
  static constexpr size_t kMaxQueuedBytes = size_t{64} << 20;

 private:
  void Hand(bool waitForRoom);
  // Waits for the commit Commit began; a failed one sends its records to a
  // new database.
  void WaitCommitted();
  void Work();  // the thread
  // Makes the write's digests and adds its record.
  void Write(THistoryWrite& write);

  THistoryStore& store_;
  // The pass's: its batch not handed over yet.
  std::vector<THistoryWrite> batch_;
  size_t batchBytes_ = 0;
  std::vector<TKeptBytes> spares_;
  std::vector<std::unique_ptr<THistoryRecord>> spareRecords_;
  bool inGroup_ = false;
  bool committing_ = false;  // Commit began one that EndGroup has not waited for

  std::mutex lock_;
  std::condition_variable work_;  // the thread: something to do
  std::condition_variable done_;  // the pass: room in the queue, the thread idle, the group ended
  std::vector<THistoryWrite> queue_;
  size_t queuedBytes_ = 0;
  bool busy_ = false;      // the thread works on what it took
  bool ending_ = false;    // EndGroup waits for the commit
  bool dropping_ = false;  // Discard: roll back, keep nothing
  bool stopping_ = false;
  int result_ = 0;                                              // of the group's commit
  std::vector<std::unique_ptr<THistoryRecord>> failedRecords_;  // the group's, when it failed
  // Buffers hashed, for the pass's taps: reused, not freed and made again
  // (the memory each file's copy took would go back and forth to the system).
  std::vector<TKeptBytes> returned_;
  std::vector<std::unique_ptr<THistoryRecord>> returnedRecords_;  // committed, for NewRecord

  // The thread's (the pass reads kept_ only while the thread waits with
  // nothing to do): the group's records so far, its transaction, and the
  // first failure of it (0: none).
  std::vector<std::unique_ptr<THistoryRecord>> kept_;
  bool open_ = false;
  int failed_ = 0;
  TSha256 sha_;
  std::thread thread_;
};
