// A search of the history on a thread of its own, for a window that must not
// wait for it. The thread opens the database to read, finds the records and
// keeps them until its owner takes them; it touches nothing else, so the
// owner may go on, search anew or close meanwhile. An abandoned search stops
// within a few thousand of the database's steps.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "history/HistoryStore.h"

struct THistoryFound {
  bool Opened = false;
  std::string Why;                      // why the database did not open
  std::vector<THistoryRecord> Records;  // newest last, as THistoryStore::Find gives them
};

// Opens the database to read and finds what the filter wants, until abandoned.
THistoryFound FindInHistory(const std::string& path, const THistoryFilter& filter,
                            const std::atomic<bool>& abandoned);

class THistorySearchJob {
 public:
  // What the thread runs; empty: FindInHistory.
  using Query = std::function<THistoryFound(const std::string& path, const THistoryFilter& filter,
                                            const std::atomic<bool>& abandoned)>;

  // done: called on the search's thread as its last act, once Take may be called.
  THistorySearchJob(std::string path, THistoryFilter filter, std::function<void()> done,
                    Query query = {});
  // Abandons the search and waits for its thread.
  ~THistorySearchJob();
  THistorySearchJob(const THistorySearchJob&) = delete;
  THistorySearchJob& operator=(const THistorySearchJob&) = delete;

  // Its result is no longer wanted: the query stops early.
  void Abandon() { abandoned_ = true; }
  // What it found, once done was called (waits for the thread to end).
  THistoryFound Take();

 private:
  std::atomic<bool> abandoned_{false};
  THistoryFound found_;
  std::thread thread_;  // last: it starts once the rest is made
};
