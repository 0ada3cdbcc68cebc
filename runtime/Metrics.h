// The runner's figures in the Prometheus text format, as node_exporter's
// textfile collector reads them: per group the files of the last pass and
// since the start, the last pass's duration and end time; and whether the
// library is open.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

class TTesselGroups;

class TMetrics {
 public:
  // Takes the figures of the groups that ran in the pass just ended: those
  // whose LastPass has an end time (the runner clears it before each pass).
  // Groups of one name (the settings file keeps them as one) are added up.
  void NotePass(const TTesselGroups& registry);
  // Forgets the groups the script no longer has (after a reload).
  void KeepOnly(const TTesselGroups& registry);
  void SetLibraryOpen(bool open) { libraryOpen_ = open; }

  // The exposition text, UTF-8, ending in a line feed.
  std::string Text() const;

 private:
  struct TCounts {
    int64_t Taken = 0, Delivered = 0, Bad = 0, Left = 0;
  };
  struct TGroup {
    std::string Name;  // Windows-1251
    TCounts Last, Total;
    int64_t DurationMs = 0;
    std::time_t EndTime = 0;
  };
  TGroup& Find(const std::string& name);

  std::vector<TGroup> groups_;  // in the order they first ran
  bool libraryOpen_ = false;
};

// The label value as the text format wants it: UTF-8 with backslash, double
// quote and line feed escaped.
std::string MetricLabelValue(const std::string& cp1251);
