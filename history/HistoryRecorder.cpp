#include "history/HistoryRecorder.h"

#include <utility>

#include "engine/uFileUtil.h"
#include "history/DigestTap.h"
#include "history/Sha256.h"
#include "platform/Clock.h"

namespace {

constexpr int64_t kDay = 86400;

const char* OutcomeName(TRoadOutcome outcome) {
  switch (outcome) {
    case TRoadOutcome::Delivered:
      return "delivered";
    case TRoadOutcome::Bad:
      return "bad";
    case TRoadOutcome::Left:
      return "left";
    case TRoadOutcome::Held:
      return "held";
  }
  return "";
}

}  // namespace

THistoryRecorder::THistoryRecorder(THistoryStore& store, std::string script, std::string version,
                                   int retentionDays)
    : store_(store),
      script_(std::move(script)),
      version_(std::move(version)),
      host_(platform::HostName()),
      retentionDays_(retentionDays),
      taking_(std::make_unique<TDigestTap>()),
      delivering_(std::make_unique<TDigestTap>()) {
  PruneWhenDue();
}

THistoryRecorder::~THistoryRecorder() = default;

THistoryRecord THistoryRecorder::NewRecord(const std::string& group,
                                           const std::string& source) const {
  THistoryRecord record;
  record.Script = script_;
  record.Group = group;
  record.PassStart = passStart_;
  record.Source = source;
  record.Name = ExtractFileName(source);
  record.Host = host_;
  record.Version = version_;
  record.TakenAt = store_.Now();
  return record;
}

void THistoryRecorder::GroupStarted(const std::string& group) {
  group_ = group;
  passStart_ = store_.Now();
  current_.reset();
  done_.clear();
}

void THistoryRecorder::FileTaken(const TRoadTaken& taken) {
  current_ = NewRecord(taken.Group, taken.Source);
  current_->Size = taken.Size;
  current_->MtimeNs = taken.MtimeNs;
  takenWork_ = taken.Work;
  deliveringWork_.clear();
  // The tap's digest is asked for when it is wanted: a large file's hash
  // goes on beside the steps and the delivery.
  takenDigestDue_ = true;
}

const std::string& THistoryRecorder::TakenDigest() {
  THistoryRecord& record = *current_;
  if (!std::exchange(takenDigestDue_, false)) return record.Sha256;
  uint64_t size = 0;
  const bool tapped = std::exchange(takingTapped_, false);
  if (tapped && taking_->Finish(record.Sha256, size) && size == record.Size) return record.Sha256;
  // Copied without the tap, or not as the size said: read again.
  record.Sha256.clear();
  (void)Sha256OfFile(takenWork_, record.Sha256, size);  // unreadable: no digest
  return record.Sha256;
}

platform::CopyTap* THistoryRecorder::Taking(const std::string& work) {
  taking_->Start(work);
  takingTapped_ = true;
  return taking_.get();
}

platform::CopyTap* THistoryRecorder::Delivering(const std::string& result) {
  if (!current_ || ResultIsTaken(result)) return nullptr;  // its digest is known
  delivering_->Start(result);
  deliveringWork_ = result;
  return delivering_.get();
}

bool THistoryRecorder::ResultIsTaken(const std::string& result) const {
  return result == takenWork_ ||
         (current_ && (result == current_->Source || current_->Steps.empty()));
}

std::optional<TRoadEarlier> THistoryRecorder::DeliveredBefore(int days) {
  if (!current_ || TakenDigest().empty()) return std::nullopt;
  const int64_t since = store_.Now() - static_cast<int64_t>(days) * kDay;
  // This pass's deliveries are not kept yet: a file sent twice in one pass counts.
  for (auto r = done_.rbegin(); r != done_.rend(); ++r)
    if (r->Outcome == "delivered" && r->Sha256 == current_->Sha256 && r->DoneAt >= since)
      return TRoadEarlier{r->Name, r->DoneAt};
  return store_.LastDelivery(current_->Group, current_->Sha256, since);
}

void THistoryRecorder::StepDone(const TRoadStep& step) {
  if (!current_) return;
  current_->Steps.push_back(
      {step.Kind, step.Caption, step.Params, step.Ok, step.Code, step.Text, step.CopiedTo,
       step.Fingerprints});
}

void THistoryRecorder::FileEnded(const TRoadEnd& end) {
  if (!current_) return;
  TakenDigest();
  THistoryRecord& record = *current_;
  record.Outcome = OutcomeName(end.Outcome);
  record.Target = end.Target;
  record.Why = end.Why;
  record.Code = end.Code;
  if (!end.Result.empty()) {
    // A result no step changed is the bytes taken: hashed once.
    if (ResultIsTaken(end.Result)) {
      record.ResultSha256 = record.Sha256;
      record.ResultSize = record.Size;
    } else if (end.Result != std::exchange(deliveringWork_, {}) ||
               !delivering_->Finish(record.ResultSha256, record.ResultSize)) {
      record.ResultSha256.clear();  // delivered without the tap: read again
      (void)Sha256OfFile(end.Result, record.ResultSha256, record.ResultSize);
    }
  }
  record.DoneAt = store_.Now();
  done_.push_back(std::move(record));
  current_.reset();
}

void THistoryRecorder::FileForgotten() {
  current_.reset();
}

void THistoryRecorder::GroupEnded() {
  store_.Append(std::move(done_));
  done_.clear();
  current_.reset();
  PruneWhenDue();
}

void THistoryRecorder::DeliveryRecovered(const std::string& source, uint64_t size,
                                         int64_t mtimeNs, const std::string& target, bool bad) {
  if (store_.HasDelivery(source, size, mtimeNs, target)) return;  // its pass kept it
  THistoryRecord record = NewRecord({}, source);
  record.Size = size;
  record.MtimeNs = mtimeNs;
  record.Outcome = bad ? "bad" : "delivered";
  record.Target = target;
  record.Recovered = true;
  record.Why = "Доставка завершена по журналу доставки после сбоя";
  (void)Sha256OfFile(target, record.ResultSha256, record.ResultSize);
  record.DoneAt = record.TakenAt;
  store_.Append({std::move(record)});
}

void THistoryRecorder::SetRetentionDays(int days) {
  if (days == retentionDays_) return;
  const bool shorter = days > 0 && (retentionDays_ <= 0 || days < retentionDays_);
  retentionDays_ = days;
  if (shorter) prunedAt_ = 0;
}

void THistoryRecorder::PruneWhenDue() {
  const int64_t now = store_.Now();
  if (prunedAt_ != 0 && now - prunedAt_ < kDay) return;
  prunedAt_ = now;
  (void)store_.Prune(retentionDays_);
}
