#include "history/HistoryWriter.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>

#include "history/HistoryStore.h"
#include "history/Sha256.h"

namespace {

// A batch is handed over early when its bytes reach this: files of up to a
// megabyte each keep the queue's memory within a few of its bounds.
constexpr size_t kBatchBytes = size_t{8} << 20;

std::string DigestOf(TSha256& sha, const TKeptBytes& bytes) {
  std::string hex;
  sha.Reset();
  sha.Update(bytes.Data.get(), bytes.Size);
  if (!sha.Final(hex)) hex.clear();  // no digest rather than a wrong one
  return hex;
}

}  // namespace

THistoryWriter::THistoryWriter(THistoryStore& store) : store_(store) {}

THistoryWriter::~THistoryWriter() {
  if (!thread_.joinable()) return;
  if (committing_) WaitCommitted();  // deliveries on the disk keep their records
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  work_.notify_one();
  thread_.join();
}

std::unique_ptr<THistoryRecord> THistoryWriter::NewRecord() {
  if (spareRecords_.empty()) return std::make_unique<THistoryRecord>();
  std::unique_ptr<THistoryRecord> record = std::move(spareRecords_.back());
  spareRecords_.pop_back();
  Recycle(*record);
  return record;
}

void THistoryWriter::Add(THistoryWrite write) {
  if (!write.Record) return;
  inGroup_ = true;
  batchBytes_ += write.Taken.Size + write.Result.Size;
  batch_.push_back(std::move(write));
  if (batch_.size() >= kBatch || batchBytes_ >= kBatchBytes) Hand(true);
}

void THistoryWriter::Hand(bool waitForRoom) {
  if (!thread_.joinable()) thread_ = std::thread([this] { Work(); });
  {
    std::unique_lock<std::mutex> hold(lock_);
    if (waitForRoom)
      done_.wait(hold,
                 [&] { return queue_.size() < kMaxQueued && queuedBytes_ < kMaxQueuedBytes; });
    if (spares_.empty()) spares_.swap(returned_);
    if (spareRecords_.empty()) spareRecords_.swap(returnedRecords_);
    if (queue_.empty()) {
      queue_.swap(batch_);
    } else {
      for (THistoryWrite& write : batch_) queue_.push_back(std::move(write));
      batch_.clear();
    }
    batch_.reserve(kBatch);
    queuedBytes_ += std::exchange(batchBytes_, 0);
  }
  work_.notify_one();
}

TKeptBytes THistoryWriter::Spare() {
  if (spares_.empty()) return {};
  TKeptBytes spare = std::move(spares_.back());
  spares_.pop_back();
  spare.Size = 0;
  return spare;
}

std::vector<TGroupDelivery> THistoryWriter::Deliveries() {
  Hand(false);
  std::unique_lock<std::mutex> hold(lock_);
  done_.wait(hold, [&] { return queue_.empty() && !busy_; });
  std::vector<TGroupDelivery> deliveries;
  for (const std::unique_ptr<THistoryRecord>& r : kept_)
    if (r->Outcome == "delivered") deliveries.push_back({r->Sha256, r->Name, r->DoneAt});
  return deliveries;
}

void THistoryWriter::Commit() {
  if (!inGroup_) return;
  inGroup_ = false;
  Hand(false);
  {
    std::lock_guard<std::mutex> hold(lock_);
    ending_ = true;
  }
  work_.notify_one();
  committing_ = true;
}

void THistoryWriter::EndGroup() {
  Commit();
  if (committing_) WaitCommitted();
}

void THistoryWriter::WaitCommitted() {
  committing_ = false;
  std::vector<std::unique_ptr<THistoryRecord>> failed;
  int rc = 0;
  {
    std::unique_lock<std::mutex> hold(lock_);
    done_.wait(hold, [&] { return !ending_; });
    rc = result_;
    failed.swap(failedRecords_);
  }
  // On the pass's thread: the failure line is the event log's, like all of the pass's.
  if (rc || !failed.empty()) {
    std::vector<THistoryRecord> records;
    records.reserve(failed.size());
    for (std::unique_ptr<THistoryRecord>& record : failed) records.push_back(std::move(*record));
    store_.Failed(rc, records);
  }
}

void THistoryWriter::Discard() {
  // A commit begun is of deliveries on the disk: it is kept.
  if (committing_) WaitCommitted();
  batch_.clear();
  batchBytes_ = 0;
  if (!std::exchange(inGroup_, false) || !thread_.joinable()) return;
  std::unique_lock<std::mutex> hold(lock_);
  dropping_ = true;
  work_.notify_one();
  done_.wait(hold, [&] { return !dropping_; });
}

void THistoryWriter::Work() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    work_.wait(hold, [&] { return !queue_.empty() || ending_ || dropping_ || stopping_; });
    if (dropping_ || stopping_) {
      queue_.clear();
      queuedBytes_ = 0;
      if (open_) store_.Rollback();
      open_ = false;
      failed_ = 0;
      kept_.clear();
      if (stopping_) return;
      dropping_ = false;
      done_.notify_all();
      continue;
    }
    if (!queue_.empty()) {
      std::vector<THistoryWrite> taken;
      taken.swap(queue_);
      queuedBytes_ = 0;
      busy_ = true;
      done_.notify_all();  // room for the pass's next batch
      hold.unlock();
      std::vector<TKeptBytes> spent;
      for (THistoryWrite& write : taken) {
        Write(write);
        for (TKeptBytes* bytes : {&write.Taken, &write.Result})
          if (bytes->Data && spent.size() < kMaxSpares) spent.push_back(std::move(*bytes));
      }
      taken.clear();
      hold.lock();
      for (TKeptBytes& bytes : spent)
        if (returned_.size() < kMaxSpares) returned_.push_back(std::move(bytes));
      busy_ = false;
      done_.notify_all();
      continue;
    }
    // Ending, with all of the group added.
    int rc = failed_;
    if (!rc && open_) {
      hold.unlock();
      rc = store_.Commit();
      hold.lock();
    }
    open_ = false;
    failed_ = 0;
    result_ = rc;
    std::vector<std::unique_ptr<THistoryRecord>> committed;
    (rc ? failedRecords_ : committed).swap(kept_);
    // Back to the pass, whose memory most of them hold.
    const size_t back = std::min(committed.size(), kMaxSpareRecords - returnedRecords_.size());
    std::move(committed.begin(), committed.begin() + static_cast<std::ptrdiff_t>(back),
              std::back_inserter(returnedRecords_));
    ending_ = false;
    done_.notify_all();
    hold.unlock();
    committed.clear();  // those beyond, while the pass goes on
    if (!rc) store_.CheckpointWhenDue();
    hold.lock();
  }
}

void THistoryWriter::Write(THistoryWrite& write) {
  THistoryRecord& record = *write.Record;
  if (write.HashTaken) record.Sha256 = DigestOf(sha_, write.Taken);
  if (write.ResultIsTaken) {
    record.ResultSha256 = record.Sha256;
    record.ResultSize = record.Size;
  } else if (write.HashResult) {
    record.ResultSha256 = DigestOf(sha_, write.Result);
    record.ResultSize = write.Result.Size;
  }
  if (!failed_ && !open_) {
    failed_ = store_.Begin();
    open_ = failed_ == 0;
  }
  if (open_) {
    if (const int rc = store_.Add(record)) {
      failed_ = rc;  // rolled back: the group's records go to a new database at its end
      open_ = false;
    }
  }
  kept_.push_back(std::move(write.Record));
}
