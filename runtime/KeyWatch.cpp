#include "runtime/KeyWatch.h"

#include <algorithm>

#include "crypto/Orlak.h"
#include "crypto/ScriptKeys.h"
#include "engine/Readiness.h"
#include "engine/uTesselTypes.h"
#include "platform/Clock.h"

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

int64_t WarnedDaysLeft(const TKeyGauge& key, int64_t now, int warnDays) {
  if (key.Expires == 0 || key.Expires <= now) return -1;  // an ended key fails its steps itself
  const int64_t days = (key.Expires - now) / 86400;
  return days < warnDays ? days : -1;
}

std::string NearestKeyExpiryText(const std::vector<TKeyGauge>& keys, int64_t now, int warnDays) {
  const TKeyGauge* nearest = nullptr;
  int warned = 0;
  for (const TKeyGauge& key : keys) {
    if (WarnedDaysLeft(key, now, warnDays) < 0) continue;
    ++warned;
    if (!nearest || key.Expires < nearest->Expires) nearest = &key;
  }
  if (!nearest) return {};
  std::string text = std::string(nearest->Secret ? "Секретный" : "Открытый") + " ключ " +
                     nearest->Id + " истекает " + platform::FormatUtcDate(nearest->Expires) +
                     ", через " + std::to_string(WarnedDaysLeft(*nearest, now, warnDays)) + " дн.";
  if (warned > 1) text += " (истекают ключей: " + std::to_string(warned) + ")";
  return text;
}

std::vector<std::vector<std::string>> TKeyExpiryWarnings::Due(const std::vector<TKeyGauge>& keys,
                                                              int64_t now, int warnDays,
                                                              const std::string& today) {
  std::vector<std::vector<std::string>> lines;
  std::map<std::pair<std::string, bool>, std::string> told;
  for (const TKeyGauge& key : keys) {
    const int64_t days = WarnedDaysLeft(key, now, warnDays);
    if (days < 0) continue;
    const std::pair<std::string, bool> id{key.Id, key.Secret};
    const auto before = toldOn_.find(id);
    told[id] = today;
    if (before != toldOn_.end() && before->second == today) continue;
    lines.push_back({std::string("Срок действия ключа истекает ") +
                         platform::FormatUtcDate(key.Expires) + ", через " +
                         std::to_string(days) + " дн.",
                     (key.Secret ? "секретный ключ " : "открытый ключ ") + key.Id,
                     "подготовьте замену ключа"});
  }
  toldOn_ = std::move(told);
  return lines;
}

namespace {
int64_t WallSeconds() {
  return PassWallClockNs() / 1'000'000'000;
}
}  // namespace

bool TKeyWatch::Due() const {
  // A key's state changes by the day, not by the pass.
  const int64_t now = WallSeconds();
  return !lookedAt_ || now < *lookedAt_ || now - *lookedAt_ >= 60;
}

TKeyWatch::TLook TKeyWatch::Look(const TTesselGroups& registry, int warnDays) {
  TLook look;
  look.At = WallSeconds();
  lookedAt_ = look.At;
  look.Keys = ScriptKeyGauges(registry, look.At);
  const std::string today = platform::FormatLocalTime(look.At).substr(0, 10);
  for (const std::vector<std::string>& fields : warnings_.Due(look.Keys, look.At, warnDays, today))
    WriteLog(TLogKind::Failure, fields);
  return look;
}
