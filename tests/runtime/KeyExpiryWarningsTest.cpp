// The log's warnings of ending keys: once when a key comes within the days,
// again on each new day, never twice a day, and again after it left; the
// window's status line names the nearest; the window's key table is marvik's.
#include <gtest/gtest.h>

#include "platform/Cp1251.h"
#include "runtime/KeyTable.h"
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

TEST(KeyExpiryStatus, TheStatusLineNamesTheKeyThatEndsFirstWithinTheDays) {
  std::vector<TKeyGauge> keys = {Key("OLD", kNow - kDay), Key("OWN", 0),
                                 Key("YEAR", kNow + 365 * kDay), Key("BANK", kNow + 12 * kDay + 60),
                                 Key("CLIENT", kNow + 5 * kDay + 60, true)};
  EXPECT_EQ(NearestKeyExpiryText(keys, kNow, 30),
            "Секретный ключ CLIENT истекает 2027-01-20, через 5 дн. (истекают ключей: 2)");
  EXPECT_EQ(NearestKeyExpiryText(keys, kNow, 6),
            "Секретный ключ CLIENT истекает 2027-01-20, через 5 дн.");
  EXPECT_EQ(NearestKeyExpiryText(keys, kNow, 5), "");  // five whole days are not within five
  EXPECT_EQ(NearestKeyExpiryText({}, kNow, 30), "");
}

TEST(KeyTable, MarviksRowsBecomeCellsAndItsFailureItsWords) {
  const TKeyTable table = KeyTableOf(
      platform::Cp1251ToUtf8("folder\tidentifier\tstate\tused by\n"
                             "public\tBANK\texpires in 12 days\tВходящие/2 (Проверка подписи)\n"
                             "secret\tNOWHERE\tmissing: no key file provides it\n"),
      0);
  EXPECT_EQ(table.Error, "");
  EXPECT_EQ(table.Header, (std::vector<std::string>{"folder", "identifier", "state", "used by"}));
  ASSERT_EQ(table.Rows.size(), 2u);
  EXPECT_EQ(table.Rows[0][3], "Входящие/2 (Проверка подписи)");
  EXPECT_EQ(table.Rows[1], (std::vector<std::string>{"secret", "NOWHERE",
                                                     "missing: no key file provides it", ""}));

  const TKeyTable failed = KeyTableOf("marvik: cannot read the settings file /x.ini\n", 2);
  EXPECT_TRUE(failed.Rows.empty());
  EXPECT_NE(failed.Error.find("код 2"), std::string::npos) << failed.Error;
  EXPECT_NE(failed.Error.find("cannot read the settings file /x.ini"), std::string::npos);
}

}  // namespace
