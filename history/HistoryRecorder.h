// The history's side of the pass: it builds each file's record from what the
// pass tells (FileRoad.h), with the SHA-256 of the bytes taken and of those
// delivered, made beside the pass's own copies of them (DigestTap.h), and
// hands it to the history's writer (HistoryWriter.h), which makes what is
// left of its digests and adds it to the group's transaction on a thread of
// its own; the transaction is committed once the group's deliveries are on
// the disk. Records older than the retention are removed at start and once
// a day.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FileRoad.h"
#include "history/HistoryStore.h"
#include "history/HistoryWriter.h"

class TDigestTap;

class THistoryRecorder : public TFileRoadSink {
 public:
  static constexpr int kDefaultRetentionDays = 400;

  // script: the settings file; version: the program's.
  THistoryRecorder(THistoryStore& store, std::string script, std::string version,
                   int retentionDays = kDefaultRetentionDays);
  ~THistoryRecorder() override;

  void GroupStarted(const std::string& group) override;
  platform::CopyTap* Taking(const std::string& work) override;
  void FileTaken(const TRoadTaken& taken) override;
  std::optional<TRoadEarlier> DeliveredBefore(int days) override;
  void StepDone(TRoadStep step) override;
  platform::CopyTap* Delivering(const std::string& result) override;
  void FileEnded(const TRoadEnd& end) override;
  void FileForgotten() override;
  void Flushing() override;
  void DeliveriesOnDisk() override;
  void GroupEnded() override;
  // A retention changed by a script reloaded; a shorter one prunes at once.
  void SetRetentionDays(int days);
  void DeliveryRecovered(const std::string& source, uint64_t size, int64_t mtimeNs,
                         const std::string& target, bool bad) override;

 private:
  void PruneWhenDue();
  // The digest of the bytes taken of the file in hand, made once it is wanted.
  const std::string& TakenDigest();
  // The same for a record done: the bytes the tap kept go with it, for the
  // writer to hash; otherwise the digest is made now.
  void TakenDigestOrBytes(THistoryWrite& write);
  // Whether the result delivered is the bytes taken (no step changed them).
  bool ResultIsTaken(std::string_view result) const;
  std::unique_ptr<THistoryRecord> NewRecord(std::string_view group, std::string_view source);
  // Completes the record that waited for its taps and hands it to the writer.
  void AddWaiting();
  // A tap for the next copy, one done with when there is one.
  std::unique_ptr<TDigestTap> NextTap();

  THistoryStore& store_;
  std::string script_, version_, host_;
  int retentionDays_;
  std::string group_;
  int64_t passStart_ = 0;
  int64_t prunedAt_ = 0;
  std::unique_ptr<THistoryRecord> current_;
  std::string takenWork_;  // the working copy of the file in hand as taken
  // The digests of the bytes taken and of a result delivered, made as the
  // pass copies them; tapped: the next file's copy was handed the tap.
  std::unique_ptr<TDigestTap> taking_, delivering_;
  bool takingTapped_ = false;
  bool takenDigestDue_ = false;  // the record's Sha256 is still the tap's to tell
  std::string deliveringWork_;   // the result the delivering tap was handed for
  // A large file's record whose digests its taps still make: it waits for
  // them when the next record comes or the group ends, so that the hash goes
  // on beside the next file's road and the group's flush instead of holding
  // up the file's end. Records reach the writer in their order all the same.
  struct TWaitingWrite {
    THistoryWrite Write;
    std::unique_ptr<TDigestTap> Taken, Result;  // null: that digest is known
  };
  std::optional<TWaitingWrite> waiting_;
  std::vector<std::unique_ptr<TDigestTap>> spareTaps_;
  // This group pass's deliveries, for the duplicate guard: kept here once
  // the guard has asked in this group (each file's digest is then made at
  // once); those before are the writer's to tell.
  std::vector<TGroupDelivery> delivered_;
  bool guarding_ = false;
  bool untracked_ = false;  // deliveries not in delivered_
  THistoryWriter writer_;   // last: its thread ends before the rest goes
};
