// Whether a listed file may be taken now: nobody has it open for writing, and
// it has looked the same (size, time, identity) for the group's settle time,
// measured by the pass's own clock across scans, so that a copy keeping an
// old modification time is still caught. Where the writers cannot be told
// (no lease for us on that file), a file must also have looked the same at
// the previous scan.
#pragma once

#include <chrono>
#include <string>

#include "platform/Files.h"

class TTesselActionList;

struct TReadiness {
  bool Ready = true;
  std::string Reason;  // why it waits, for the log and the listing
  bool HasStat = false;
  platform::FileStat Stat;  // the regular file as the check saw it, when HasStat
};

// Updates the group's record of the file; the clock is the pass's.
TReadiness CheckReadiness(TTesselActionList& group, const std::string& path,
                          std::chrono::steady_clock::time_point now);

// Why a file would wait, told without any record of earlier scans (the
// listing): open for writing, or changed within the settle time.
std::string WaitReasonNow(const TTesselActionList& group, const std::string& path);

// Reasons, as the log and the listing give them.
std::string WaitReasonWriting();
std::string WaitReasonChanged();
std::string WaitReasonSettling(int seconds);
