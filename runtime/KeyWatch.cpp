#include "runtime/KeyWatch.h"

#include <algorithm>

#include "crypto/Orlak.h"
#include "crypto/ScriptKeys.h"
#include "engine/uTesselTypes.h"

std::vector<TKeyGauge> ScriptKeyGauges(const TTesselGroups& registry, int64_t now) {
  std::vector<TKeyGauge> gauges;
  for (const TKeyUseSite& use : ScriptKeyUses(registry)) {
    if (std::any_of(gauges.begin(), gauges.end(), [&](const TKeyGauge& g) {
          return g.Id == use.Id && g.Secret == use.Secret;
        }))
      continue;
    TKeyGauge gauge;
    gauge.Id = use.Id;
    gauge.Secret = use.Secret;
    OrlakKeyState state;
    const std::string& folder = use.Secret ? registry.SecKeysPath : registry.PubKeysPath;
    if (GetKeyState(folder.c_str(), use.Id.c_str(), use.Secret, &state) == 0) {
      gauge.Format = state.Format == ORLAK_KEY_FORMAT_OPENPGP ? "openpgp" : "orlak";
      gauge.Expires = state.Expires;
      gauge.Usable =
          state.Condition == ORLAK_KEY_USABLE && (state.Expires == 0 || state.Expires > now);
    }
    gauges.push_back(std::move(gauge));
  }
  return gauges;
}
