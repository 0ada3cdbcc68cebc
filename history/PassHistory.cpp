#include "history/PassHistory.h"

#include "engine/uTesselTypes.h"
#include "history/HistoryRecorder.h"

TPassHistory::TPassHistory(std::string version) : version_(std::move(version)) {}

TPassHistory::~TPassHistory() = default;

void TPassHistory::Close() {
  recorder_.reset();
  store_.reset();
}

TFileRoadSink* TPassHistory::For(const std::string& script, int retentionDays) {
  const std::string path = HistoryPath();
  if (!store_ || path != path_ || script != script_) {
    recorder_.reset();
    store_ = std::make_unique<THistoryStore>(
        path, THistoryStore::Seconds{},
        [](const std::vector<std::string>& fields) { WriteLog(TLogKind::Failure, fields); });
    path_ = path;
    script_ = script;
  }
  if (!recorder_)
    recorder_ = std::make_unique<THistoryRecorder>(*store_, script, version_, retentionDays);
  else
    recorder_->SetRetentionDays(retentionDays);
  return recorder_.get();
}
