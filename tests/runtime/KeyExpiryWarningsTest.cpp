// The log's warnings of ending keys: once when a key comes within the days,
// again on each new day, never twice a day, and again after it left.
#include <gtest/gtest.h>

#include "runtime/KeyWatch.h"

namespace {

constexpr int64_t kNow = 1'800'000'000;
constexpr int64_t kDay = 86400;

TKeyGauge Key(const std::string& id, int64_t expires, bool secret = false) {
  TKeyGauge key;
  key.Id = id;
  key.Secret = secret;
  key.Format = "openpgp";
  key.Expires = expires;
  key.Usable = true;
  return key;
}

TEST(KeyExpiryWarnings, AKeyIsToldWhenItEntersTheDaysThenOncePerDay) {
  TKeyExpiryWarnings warnings;
  // 31 days left: not yet; another key that never ends, one already ended.
  std::vector<TKeyGauge> keys = {Key("BANK", kNow + 31 * kDay), Key("OWN", 0),
                                 Key("OLD", kNow - kDay)};
  EXPECT_TRUE(warnings.Due(keys, kNow, 30, "2027-01-15").empty());

  // A day later it has 30 days left, less some seconds: 29 whole days.
  const int64_t later = kNow + kDay + 10;
  auto lines = warnings.Due(keys, later, 30, "2027-01-16");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], (std::vector<std::string>{
                          "Срок действия ключа истекает 2027-02-15, через 29 дн.",
                          "открытый ключ BANK", "подготовьте замену ключа"}));
  EXPECT_TRUE(warnings.Due(keys, later + 3600, 30, "2027-01-16").empty()) << "once a day";
  EXPECT_EQ(warnings.Due(keys, later + kDay, 30, "2027-01-17").size(), 1u) << "the next day";

  // The secret key of the same name is another key.
  keys.push_back(Key("BANK", kNow + 5 * kDay, true));
  lines = warnings.Due(keys, later + kDay + 60, 30, "2027-01-17");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0][1], "секретный ключ BANK");
}

TEST(KeyExpiryWarnings, AKeyThatLeftTheDaysIsToldAgainWhenItComesBack) {
  TKeyExpiryWarnings warnings;
  const std::vector<TKeyGauge> soon = {Key("BANK", kNow + 3 * kDay)};
  EXPECT_EQ(warnings.Due(soon, kNow, 30, "d1").size(), 1u);
  // Replaced by a key of a year: nothing to say; the old one put back the same day is told.
  EXPECT_TRUE(warnings.Due({Key("BANK", kNow + 365 * kDay)}, kNow + 60, 30, "d1").empty());
  EXPECT_EQ(warnings.Due(soon, kNow + 120, 30, "d1").size(), 1u);
  // Fewer days asked for: out of the window.
  EXPECT_TRUE(warnings.Due(soon, kNow + 180, 2, "d2").empty());
}

}  // namespace
