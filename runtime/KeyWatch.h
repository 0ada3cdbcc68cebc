// The keys a script's steps use, as the library sees them now: for the
// metrics (expiry and usability per key) and whoever warns ahead of an
// expiry.
#pragma once

#include <cstdint>
#include <string>
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
