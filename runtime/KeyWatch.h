// The keys a script's steps use, as the library sees them now: for the
// metrics (expiry and usability per key) and whoever warns ahead of an
// expiry.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TTesselGroups;

struct TKeyGauge {
  std::string Id;      // as the steps name it, Windows-1251
  bool Secret = false;  // from the secret-keys folder
  std::string Format;  // "orlak", "openpgp"; empty when no file holds it
  int64_t Expires = 0;  // seconds since 1970; 0 never (or not found)
  bool Usable = false;  // found, not expired, revoked, weak or refused
};

// Each key the enabled steps use, once, in the order the script first names it.
std::vector<TKeyGauge> ScriptKeyGauges(const TTesselGroups& registry, int64_t now);

// Whole days left to a key that ends within the warning days (0: it ends
// today); -1 for a key that never ends, has ended or ends later.
int64_t WarnedDaysLeft(const TKeyGauge& key, int64_t now, int warnDays);

// The status line's word on the key that ends first within the warning
// days; empty when none does.
std::string NearestKeyExpiryText(const std::vector<TKeyGauge>& keys, int64_t now, int warnDays);

// Lines of the log for keys that end within the warning days: one when a key
// enters the window, then one each day at the first look of the day, so an
// operator who reads the log sees it every day until the key is replaced.
class TKeyExpiryWarnings {
 public:
  // The fields of each line due now; today: the local date that makes a new
  // day. A key that left the window (replaced, or the days changed) is told
  // again when it comes back.
  std::vector<std::vector<std::string>> Due(const std::vector<TKeyGauge>& keys, int64_t now,
                                            int warnDays, const std::string& today);

 private:
  std::map<std::pair<std::string, bool>, std::string> toldOn_;  // key: the day last told
};

// What a running script does about its keys between passes, the window and
// tessel run alike: looks at them at most once a minute of the passes' wall
// clock (engine/Readiness.h, which tests move) and writes the warnings due
// to the log as failure lines.
class TKeyWatch {
 public:
  struct TLook {
    std::vector<TKeyGauge> Keys;
    int64_t At = 0;  // seconds since 1970
  };

  // A minute has passed since the last look (or none was made, or the clock
  // was set back).
  bool Due() const;
  // Never while a pass runs: the keys are read through the library.
  TLook Look(const TTesselGroups& registry, int warnDays);
  // The next look is due at once (the script was read again).
  void LookSoon() { lookedAt_.reset(); }

 private:
  std::optional<int64_t> lookedAt_;
  TKeyExpiryWarnings warnings_;
};
