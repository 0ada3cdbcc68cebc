// The history's side of the pass: it builds each file's record from what the
// pass tells (FileRoad.h), with the SHA-256 of the bytes taken and of those
// delivered, and keeps a group pass's records in one transaction once its
// deliveries are on the disk. Records older than the retention are removed
// at start and once a day.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/FileRoad.h"
#include "history/HistoryStore.h"

class THistoryRecorder : public TFileRoadSink {
 public:
  static constexpr int kDefaultRetentionDays = 400;

  // script: the settings file; version: the program's.
  THistoryRecorder(THistoryStore& store, std::string script, std::string version,
                   int retentionDays = kDefaultRetentionDays);

  void GroupStarted(const std::string& group) override;
  void FileTaken(const TRoadTaken& taken) override;
  std::optional<TRoadEarlier> DeliveredBefore(int days) override;
  void StepDone(const TRoadStep& step) override;
  void FileEnded(const TRoadEnd& end) override;
  void FileForgotten() override;
  void GroupEnded() override;
  // A retention changed by a script reloaded; a shorter one prunes at once.
  void SetRetentionDays(int days);
  void DeliveryRecovered(const std::string& source, uint64_t size, int64_t mtimeNs,
                         const std::string& target, bool bad) override;

 private:
  void PruneWhenDue();
  THistoryRecord NewRecord(const std::string& group, const std::string& source) const;

  THistoryStore& store_;
  std::string script_, version_, host_;
  int retentionDays_;
  std::string group_;
  int64_t passStart_ = 0;
  int64_t prunedAt_ = 0;
  std::optional<THistoryRecord> current_;
  std::string takenWork_;  // the working copy of the file in hand as taken
  std::vector<THistoryRecord> done_;
};
