#include "history/HistorySearchJob.h"

THistoryFound FindInHistory(const std::string& path, const THistoryFilter& filter,
                            const std::atomic<bool>& abandoned) {
  THistoryFound found;
  const std::unique_ptr<THistoryStore> store = THistoryStore::OpenToRead(path, &found.Why);
  if (!store) return found;
  found.Opened = true;
  found.Records = store->Find(filter, &abandoned);
  return found;
}

THistorySearchJob::THistorySearchJob(std::string path, THistoryFilter filter,
                                     std::function<void()> done, Query query)
    : thread_([this, path = std::move(path), filter = std::move(filter), done = std::move(done),
               query = std::move(query)] {
        found_ = query ? query(path, filter, abandoned_) : FindInHistory(path, filter, abandoned_);
        if (done) done();
      }) {}

THistorySearchJob::~THistorySearchJob() {
  Abandon();
  if (thread_.joinable()) thread_.join();
}

THistoryFound THistorySearchJob::Take() {
  if (thread_.joinable()) thread_.join();
  return std::move(found_);
}
