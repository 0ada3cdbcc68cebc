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
      delivering_(std::make_unique<TDigestTap>()),
      writer_(store) {
  PruneWhenDue();
}

THistoryRecorder::~THistoryRecorder() = default;

std::unique_ptr<THistoryRecord> THistoryRecorder::NewRecord(std::string_view group,
                                                            std::string_view source) {
  std::unique_ptr<THistoryRecord> record = writer_.NewRecord();
  record->Script = script_;
  record->Group = group;
  record->PassStart = passStart_;
  record->Source = source;
  record->Name = FileNameOf(source);
  record->Host = host_;
  record->Version = version_;
  record->TakenAt = store_.Now();
  return record;
}

void THistoryRecorder::GroupStarted(const std::string& group) {
  group_ = group;
  passStart_ = store_.Now();
  current_.reset();
  waiting_.reset();
  writer_.Discard();  // a group pass that never ended: its records were not kept
  delivered_.clear();
  guarding_ = untracked_ = false;
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

void THistoryRecorder::TakenDigestOrBytes(THistoryWrite& write) {
  if (takenDigestDue_ && takingTapped_) {
    write.Taken = writer_.Spare();
    if (taking_->TakeBytes(write.Taken)) {
      takingTapped_ = false;
      if (write.Taken.Size == current_->Size) {
        takenDigestDue_ = false;
        write.HashTaken = true;
        return;
      }
    }
  }
  TakenDigest();  // made already, of a large file, or not as the size said: read again
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

bool THistoryRecorder::ResultIsTaken(std::string_view result) const {
  return result == takenWork_ ||
         (current_ && (result == current_->Source || current_->Steps.empty()));
}

std::optional<TRoadEarlier> THistoryRecorder::DeliveredBefore(int days) {
  if (!current_ || TakenDigest().empty()) return std::nullopt;
  const int64_t since = store_.Now() - static_cast<int64_t>(days) * kDay;
  // This pass's deliveries are not committed yet: a file sent twice in one pass counts.
  if (!std::exchange(guarding_, true) && std::exchange(untracked_, false)) {
    AddWaiting();
    delivered_ = writer_.Deliveries();
  }
  for (auto d = delivered_.rbegin(); d != delivered_.rend(); ++d)
    if (d->Sha256 == current_->Sha256 && d->DoneAt >= since)
      return TRoadEarlier{d->Name, d->DoneAt};
  return store_.LastDelivery(current_->Group, current_->Sha256, since);
}

void THistoryRecorder::StepDone(TRoadStep step) {
  if (!current_) return;
  current_->Steps.push_back({step.Kind, std::move(step.Caption), std::move(step.Params), step.Ok,
                             step.Code, std::move(step.Text), std::move(step.CopiedTo),
                             std::move(step.Fingerprints)});
}

void THistoryRecorder::FileEnded(const TRoadEnd& end) {
  if (!current_) return;
  AddWaiting();
  TWaitingWrite waiting;
  THistoryWrite& write = waiting.Write;
  if (guarding_) {
    TakenDigest();  // the guard compares the next files with it
  } else if (takenDigestDue_ && takingTapped_ && taking_->Hashing()) {
    taking_->CopyEnded();
    waiting.Taken = std::exchange(taking_, NextTap());
    takenDigestDue_ = takingTapped_ = false;
  } else {
    TakenDigestOrBytes(write);
  }
  THistoryRecord& record = *current_;
  record.Outcome = OutcomeName(end.Outcome);
  record.Target = end.Target;
  record.Why = end.Why;
  record.Code = end.Code;
  if (!end.Result.empty()) {
    const bool tapped = end.Result == deliveringWork_;
    deliveringWork_.clear();
    // A result no step changed is the bytes taken: hashed once.
    if (ResultIsTaken(end.Result)) {
      // The writer copies the digest once it is made (by it, or by the tap waited for).
      write.ResultIsTaken = write.HashTaken || waiting.Taken;
      record.ResultSha256 = record.Sha256;
      record.ResultSize = record.Size;
    } else if (tapped && delivering_->TakeBytes(write.Result = writer_.Spare())) {
      write.HashResult = true;
    } else if (tapped && delivering_->Hashing()) {
      delivering_->CopyEnded();
      waiting.Result = std::exchange(delivering_, NextTap());
    } else if (!tapped || !delivering_->Finish(record.ResultSha256, record.ResultSize)) {
      record.ResultSha256.clear();  // delivered without the tap: read again
      (void)Sha256OfFile(std::string(end.Result), record.ResultSha256, record.ResultSize);
    }
  }
  record.DoneAt = store_.Now();
  if (record.Outcome == "delivered") {
    if (guarding_)
      delivered_.push_back({record.Sha256, record.Name, record.DoneAt});
    else
      untracked_ = true;
  }
  write.Record = std::move(current_);
  if (waiting.Taken || waiting.Result)
    waiting_ = std::move(waiting);
  else
    writer_.Add(std::move(write));
}

void THistoryRecorder::AddWaiting() {
  if (!waiting_) return;
  THistoryRecord& record = *waiting_->Write.Record;
  for (std::unique_ptr<TDigestTap>* tap : {&waiting_->Taken, &waiting_->Result}) {
    if (!*tap) continue;
    const bool taken = tap == &waiting_->Taken;
    std::string& digest = taken ? record.Sha256 : record.ResultSha256;
    uint64_t size = 0;
    // The working file is gone by now: a digest the tap could not make stays unknown.
    if (!(*tap)->Finish(digest, size) || (taken && size != record.Size)) digest.clear();
    if (!taken) record.ResultSize = size;
    if (spareTaps_.size() < 2) spareTaps_.push_back(std::move(*tap));
  }
  writer_.Add(std::move(waiting_->Write));
  waiting_.reset();
}

std::unique_ptr<TDigestTap> THistoryRecorder::NextTap() {
  if (spareTaps_.empty()) return std::make_unique<TDigestTap>();
  std::unique_ptr<TDigestTap> tap = std::move(spareTaps_.back());
  spareTaps_.pop_back();
  return tap;
}

void THistoryRecorder::FileForgotten() {
  current_.reset();
}

void THistoryRecorder::Flushing() {
  AddWaiting();  // the hash lets go of the working files it reads
}

void THistoryRecorder::DeliveriesOnDisk() {
  AddWaiting();
  writer_.Commit();  // while the pass deletes the sources
}

void THistoryRecorder::GroupEnded() {
  AddWaiting();
  writer_.EndGroup();  // committed when it returns
  current_.reset();
  delivered_.clear();
  guarding_ = untracked_ = false;
  PruneWhenDue();
}

void THistoryRecorder::DeliveryRecovered(const std::string& source, uint64_t size, int64_t mtimeNs,
                                         const std::string& target, bool bad) {
  if (store_.HasDelivery(source, size, mtimeNs, target)) return;  // its pass kept it
  std::unique_ptr<THistoryRecord> made = NewRecord({}, source);
  THistoryRecord& record = *made;
  record.Size = size;
  record.MtimeNs = mtimeNs;
  record.Outcome = bad ? "bad" : "delivered";
  record.Target = target;
  record.Recovered = true;
  record.Why = "Доставка завершена по журналу доставки после сбоя";
  (void)Sha256OfFile(target, record.ResultSha256, record.ResultSize);
  record.DoneAt = record.TakenAt;
  // Told between a group's start and end, it goes into the group's transaction.
  if (writer_.InGroup() || waiting_) {
    AddWaiting();
    THistoryWrite write;
    write.Record = std::move(made);
    writer_.Add(std::move(write));
  } else {
    store_.Append({std::move(record)});
  }
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
