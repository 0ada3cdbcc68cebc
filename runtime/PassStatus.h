// What the window's status line and group list tell of the passes: the
// files delivered, sent to bad and left since "Пуск", the time of the last
// pass, the pass under way, and each group's last pass.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/uTesselTypes.h"
#include "runtime/BackgroundPass.h"

struct TRunTotals {
  int Delivered = 0;
  int Bad = 0;
  int Left = 0;
  std::string LastPassTime;  // log timestamp text; empty: no pass yet
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
};

// The status line: the last pass and the totals since "Пуск", then the pass
// under way (its group's name, file i of n) or a stop that waits for the
// file in hand.
std::string StatusLineText(const TRunTotals& totals,
                           const std::optional<TBackgroundPass::TProgress>& progress,
                           const std::string& groupName, bool stopping);

// A group's line tip: its last pass's counts and whether its source folder
// could be read.
std::string GroupPassText(const TPassCounts& counts);
