// Whether a listed file may be taken now: nobody has it open for writing, and
// it has looked the same (size, time, identity) for the group's settle time,
// measured by the pass's own clock across scans, so that a copy keeping an
// old modification time is still caught. Where the writers cannot be told
// (no lease for us on that file), a file must also have looked the same at
// the previous scan.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "engine/uTesselTypes.h"

#include "platform/Files.h"
#include "platform/Writers.h"

// How long a change must lie behind a file before it is taken.
constexpr std::chrono::seconds kFreshChangeWait{2};

struct TReadiness {
  bool Ready = true;
  bool Fresh = false;  // waits only for a change under kFreshChangeWait old
  std::string Reason;  // why it waits, for the log and the listing
  bool HasStat = false;
  platform::FileStat Stat;  // the regular file as the check saw it, when HasStat
  // The file as the writers' check opened it, for the copy that takes it.
  std::shared_ptr<platform::OpenedFile> Opened;
};

// Updates the group's record of the file; the clocks are the pass's: its
// steady clock and its wall clock in nanoseconds (file times).
// A file in `delivered` (as this pass delivered it) needs no time to settle.
TReadiness CheckReadiness(TTesselActionList& group, const std::string& path,
                          std::chrono::steady_clock::time_point now, int64_t wallNowNs,
                          const std::set<TFileIdentity>* delivered = nullptr);

// The wall clock a pass reads file times against, and the key watch between
// passes its keys' dates. Tests move it (a restart that comes some time after
// a kill, a new day); an empty function restores the real one.
int64_t PassWallClockNs();
void SetPassWallClock(std::function<int64_t()> clock);

// Why a file would wait, told without any record of earlier scans (the
// listing): open for writing, or changed within the settle time.
std::string WaitReasonNow(const TTesselActionList& group, const std::string& path);

// Reasons, as the log and the listing give them.
std::string WaitReasonWriting();
std::string WaitReasonChanged();
std::string WaitReasonSettling(int seconds);
