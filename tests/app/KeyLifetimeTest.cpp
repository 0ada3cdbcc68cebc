// Keys over their lifetime as the operator sees them: one key the steps use
// expires in ten days, others expired, were revoked, are too weak or are
// missing. marvik's inventory, tessel check and the metrics each name them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "config/uIniUtil.h"
#include "crypto/CryptoActions.h"
#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "tests/app/TesselProgram.h"

namespace {

using namespace tessel_test;
using testing_support::ReadFile;

// YYYY-MM-DD of now plus days, UTC.
std::string DayFromNow(int days) {
  const std::time_t t = std::time(nullptr) + days * 86400;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
  return text;
}

class KeyLifetime : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = platform::Cp1251ToUtf8(ex.dir.Sub("gnupg/"));
    ASSERT_EQ(::chmod(home_.c_str(), 0700), 0);
    const std::string pub = "'" + platform::Cp1251ToUtf8(ex.pub) + "'";
    const std::string sec = "'" + platform::Cp1251ToUtf8(ex.secret) + "'";
    // Ours, signing with it: ten days left.
    ASSERT_TRUE(Sh("'" + MarvikPath() + "' create-pgp SOON " + sec + " " + pub +
                   " 'Soon <soon@corp.example>' --expires " + soonDate + " >/dev/null"));
    // Partners': one that expired years ago, one revoked, one RSA 1024.
    ASSERT_TRUE(Sh(Gpg("--faked-system-time 20200101T000000 --quick-gen-key "
                       "'Old <old@p.example>' ed25519 default 2021-01-01") +
                   " && " + Gpg("--export old@p.example") + " > " + pub + "/EXPIRED.asc"));
    ASSERT_TRUE(Sh(Gpg("--quick-gen-key 'Rev <rev@p.example>' ed25519 default never") +
                   " && sed 's/^:-----/-----/' \"$GNUPGHOME\"/openpgp-revocs.d/*.rev > rev.asc && " +
                   Gpg("--import rev.asc") + " && " + Gpg("--export rev@p.example") + " > " +
                   pub + "/REVOKED.asc"));
    ASSERT_TRUE(Sh(Gpg("--quick-gen-key 'Weak <weak@p.example>' rsa1024 default never") +
                   " && " + Gpg("--export weak@p.example") + " > " + pub + "/WEAK.asc"));
    ex.WriteScript([&] {
      ex.AddBankGroup();
      ex.AddClientGroup();
      static_cast<TTesselAction_sign*>(ScriptRegistry->GetGroup(0)->GetAction(0))->KeyId = "SOON";
      static_cast<TTesselAction_checksign*>(ScriptRegistry->GetGroup(1)->GetAction(1))->KeyList =
          "BANK;EXPIRED;REVOKED;WEAK;NOWHERE";
    });
  }
  void TearDown() override { Sh("gpgconf --kill all"); }

  bool Sh(const std::string& line) {
    const std::string command = "cd '" + home_ + "' && export GNUPGHOME='" + home_ + "' && ( " +
                                line + " ) >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
  }
  static std::string Gpg(const std::string& arguments) {
    return "gpg --batch --yes --pinentry-mode loopback --passphrase '' " + arguments;
  }

  TExchange ex;
  std::string home_;
  const std::string soonDate = DayFromNow(10);
};

TEST_F(KeyLifetime, InventoryNamesEachKeysStateItsStepsAndTheMissingOne) {
  TProgram marvik(MarvikPath(), {"list", "--script", platform::Cp1251ToUtf8(ex.ini)}, ex.tmp,
                  ex.output);
  ASSERT_EQ(marvik.Wait(), 0) << marvik.Err();
  const std::string out = marvik.Out();
  auto has = [&](const std::string& text) { return out.find(text) != std::string::npos; };
  EXPECT_TRUE(has("\t" + soonDate + "\tsign,encrypt\texpires in 10 days\tИсходящие/1 (Подписать)\n"))
      << out;
  EXPECT_TRUE(has("\t2021-01-01\tsign\texpired\tВходящие/2 (Проверить подпись)\n")) << out;
  EXPECT_TRUE(has("public\tREVOKED\topenpgp\t")) << out;
  EXPECT_TRUE(has("\trevoked\tВходящие/2 (Проверить подпись)\n")) << out;
  EXPECT_TRUE(has("\tRSA/1024\t")) << out;
  EXPECT_TRUE(has("\tweak\tВходящие/2 (Проверить подпись)\n")) << out;
  // BANK's secret key encrypts, its public key is used by two steps.
  EXPECT_TRUE(has("secret\tBANK\torlak\t")) << out;
  EXPECT_TRUE(has("\tusable\tИсходящие/2 (Шифровать)\n")) << out;
  EXPECT_TRUE(has("public\tBANK\torlak\t")) << out;
  EXPECT_TRUE(has("\tusable\tВходящие/1 (Расшифровать); Входящие/2 (Проверить подпись)\n"))
      << out;
  EXPECT_TRUE(has("public\tSOON\topenpgp\t")) << out;
  EXPECT_TRUE(has("public\tNOWHERE\t\t\t\t\t\t\tmissing: no key file provides it\tВходящие/2 "
                  "(Проверить подпись)\n"))
      << out;
  EXPECT_FALSE(has("\tmissing: no key file provides it\tИсходящие")) << out;
}

TEST_F(KeyLifetime, CheckErrsOnUnusableKeysAndWarnsWithinTheScriptsDays) {
  std::string out;
  EXPECT_EQ(ex.Run({"check"}, &out), 1);
  auto has = [&](const std::string& text) { return out.find(text) != std::string::npos; };
  EXPECT_TRUE(has("предупреждение: группа \"Исходящие\": шаг 1 (Подписать): секретный ключ "
                  "\"SOON\": срок действия ключа истекает " +
                  soonDate + ", через 10 дн.; подготовьте замену\n"))
      << out;
  const std::string step = "ошибка: группа \"Входящие\": шаг 2 (Проверить подпись): открытый ключ ";
  EXPECT_TRUE(has(step + "\"EXPIRED\": срок действия ключа истёк 2021-01-01\n")) << out;
  EXPECT_TRUE(has(step + "\"REVOKED\": ключ отозван владельцем\n")) << out;
  EXPECT_TRUE(has(step + "\"WEAK\": слабый ключ")) << out;
  EXPECT_TRUE(has(step + "\"NOWHERE\": ")) << out;
  EXPECT_FALSE(has("\"BANK\"")) << out;
  EXPECT_TRUE(has("Итого: ошибок 4, предупреждений 1.")) << out;

  // Five days ahead: the key with ten left is no warning yet.
  ASSERT_TRUE(WriteIniInteger("MAIN", "KEY_WARN_DAYS", 5, ex.ini));
  EXPECT_EQ(ex.Run({"check"}, &out), 1);
  EXPECT_TRUE(has("Итого: ошибок 4, предупреждений 0.")) << out;
}

TEST_F(KeyLifetime, MetricsGiveEachUsedKeysExpiryAndUsabilityAndTheLogWarnsOfTheEndingOne) {
  const std::string metrics = ex.dir.Path() + "tessel.prom";
  ASSERT_EQ(ex.Run({"once", "--metrics", platform::Cp1251ToUtf8(metrics)}), 0);
  const std::string text = ReadFile(metrics);
  auto value = [&](const std::string& series) -> std::string {
    const size_t at = text.find(series + " ");
    if (at == std::string::npos) return "absent";
    const size_t from = at + series.size() + 1;
    return text.substr(from, text.find('\n', from) - from);
  };
  const std::string soon = "{key=\"SOON\",folder=\"secret\",format=\"openpgp\"}";
  EXPECT_EQ(value("tessel_key_usable" + soon), "1") << text;
  std::tm end{};
  ASSERT_NE(strptime((soonDate + " 23:59:59").c_str(), "%Y-%m-%d %H:%M:%S", &end), nullptr);
  // The very second the key was made to end, however long its making took.
  EXPECT_EQ(value("tessel_key_expiry_timestamp_seconds" + soon), std::to_string(timegm(&end)))
      << text;
  for (const char* key : {"EXPIRED", "REVOKED", "WEAK"})
    EXPECT_EQ(value("tessel_key_usable{key=\"" + std::string(key) +
                    "\",folder=\"public\",format=\"openpgp\"}"),
              "0")
        << key << "\n"
        << text;
  EXPECT_EQ(value("tessel_key_usable{key=\"NOWHERE\",folder=\"public\",format=\"\"}"), "0") << text;
  // A key without an end has no expiry sample.
  EXPECT_EQ(value("tessel_key_usable{key=\"BANK\",folder=\"secret\",format=\"orlak\"}"), "1")
      << text;
  EXPECT_EQ(text.find("tessel_key_expiry_timestamp_seconds{key=\"BANK\""), std::string::npos);

  // One failure line for the key within the days; the ended ones fail their steps instead.
  int told = 0;
  for (const std::string& line : LogFields(ex.log)) {
    if (line.find("Срок действия ключа истекает") == std::string::npos) continue;
    ++told;
    EXPECT_NE(line.find("Срок действия ключа истекает " + soonDate +
                        ", через 10 дн.\tсекретный ключ SOON\tподготовьте замену ключа"),
              std::string::npos)
        << line;
  }
  EXPECT_EQ(told, 1);
}

}  // namespace
