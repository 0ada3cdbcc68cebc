// What the window's status line and group list tell of the passes: the
// files delivered, sent to bad and left since "Пуск", the time of the last
// pass, the pass under way, and each group's last pass.
#pragma once

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/uTesselTypes.h"
#include "runtime/BackgroundPass.h"

// Files, not events: a file delivered by one group into another's source
// folder is delivered once, when it leaves the script; a file that waits
// through many passes waits once.
struct TRunTotals {
  int Delivered = 0;         // since "Пуск"
  int Bad = 0;               // since "Пуск"
  int Left = 0;              // waiting in source folders now, as the last passes left them
  std::string LastPassTime;  // log timestamp text; empty: no pass yet
  // Of Left, why: a key or library fault, a folder that refuses, still
  // being written, not reached before a stop.
  int Held = 0, Refused = 0, Writing = 0, Stopped = 0;
};

// Tells the groups a pass ran from those it did not reach (a stop ends the
// pass early) by their run states' pass numbers, and writes none: Before
// notes each enabled group's number, After adds the counts of those whose
// number moved to the totals. Both run while no pass is in flight.
class TPassTally {
 public:
  void Before(const TTesselGroups& groups);
  void After(const TTesselGroups& groups, TRunTotals& totals, const std::string& timeText);

 private:
  std::vector<std::pair<const TTesselActionList*, uint64_t>> before_;
  // Each group's last pass as this tally saw it: what waits now.
  std::map<const TTesselActionList*, TPassCounts> last_;
};

// How far the work on the file in hand has come: the size of the working
// file it writes, into progress.Done.
void MeasureProgress(TBackgroundPass::TProgress& progress);

// The status line: the last pass and the totals since "Пуск", then the pass
// under way (its group's name, file i of n, the step and, for a large file,
// the bytes done; or what it does between files) or a stop that waits for
// the file in hand.
std::string StatusLineText(const TRunTotals& totals,
                           const std::optional<TBackgroundPass::TProgress>& progress,
                           const std::string& groupName, bool stopping);

// A group's line tip: its last pass's counts and whether its source folder
// could be read.
std::string GroupPassText(const TPassCounts& counts);
