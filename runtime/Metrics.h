// The runner's figures in the Prometheus text format, as node_exporter's
// textfile collector reads them: per group the files of the last pass and
// since the start, the last pass's duration and end time; and whether the
// library is open.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "runtime/KeyWatch.h"

class TTesselGroups;
struct TFailureEvent;

class TMetrics {
 public:
  // Takes the figures of the groups that ran in the pass just ended: those
  // whose LastPass has an end time (the runner clears it before each pass).
  // Groups of one name (the settings file keeps them as one) are added up.
  // now: the pass clock's time, which the run states' waiting times are on.
  void NotePass(const TTesselGroups& registry,
                std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
  // Forgets the groups the script no longer has (after a reload).
  void KeepOnly(const TTesselGroups& registry);
  void SetLibraryOpen(bool open) { libraryOpen_ = open; }
  // The keys the steps use, as last looked at.
  void SetKeys(std::vector<TKeyGauge> keys) { keys_ = std::move(keys); }
  // A failure the pass told: every event but a clearing one counts.
  void NoteFailure(const TFailureEvent& event);

  // The exposition text, UTF-8, ending in a line feed.
  std::string Text() const;

 private:
  struct TCounts {
    int64_t Taken = 0, Delivered = 0, Bad = 0, Left = 0;
  };
  // Files waiting in the source folder now, by reason.
  struct TWaiting {
    int64_t Held = 0, Refused = 0, Writing = 0, Fresh = 0, Stopped = 0;
  };
  struct TGroup {
    std::string Name;  // Windows-1251
    TCounts Last, Total;
    TWaiting Waiting;
    int64_t OldestWaitingSeconds = 0;  // 0: none waits, or none for long
    bool SourceMissing = false;
    int64_t DurationMs = 0;
    std::time_t EndTime = 0;
  };
  TGroup& Find(const std::string& name);

  std::vector<TGroup> groups_;  // in the order they first ran
  bool libraryOpen_ = false;
  // Files that left the script (delivered, not passed on to another group)
  // and files sent to a bad-files folder.
  int64_t scriptDelivered_ = 0, scriptBad_ = 0;
  // By group, class and code.
  std::map<std::tuple<std::string, std::string, int>, int64_t> failures_;
  std::vector<TKeyGauge> keys_;
};

// The label value as the text format wants it: UTF-8 with backslash, double
// quote and line feed escaped.
std::string MetricLabelValue(const std::string& cp1251);
