// The two-group exchange of the crash campaign once more with OpenPGP keys
// made by marvik: killed at every file operation of the pass, the partner's
// inbox gets each payment once, the receiver's folder the original bytes,
// and no plaintext stays behind.
#include "orlak.h"
#include "tests/crypto/ExchangeCampaign.h"
#include "tests/crypto/RealLibrary.h"

namespace {

// OpenPGP key pairs PA and PB in folders of their own, made once.
struct PgpKeys {
  testing_support::TempDir folder;
  std::string secret = folder.Sub("sec/"), pub = folder.Sub("pub/");
  PgpKeys() {
    for (const char* id : {"PA", "PB"})
      if (!real_library::RunMarvik(
              {"create-pgp", id, secret, pub, std::string(id) + " <" + id + "@crash.example>"}))
        ADD_FAILURE() << "marvik create-pgp " << id;
  }
};

class PgpCrash : public real_library::RealLibraryTest {
 protected:
  static void SetUpTestSuite() {
    RealLibraryTest::SetUpTestSuite();
    Shared();
  }
  static const PgpKeys& Shared() {
    static const PgpKeys keys;
    return keys;
  }
  void SetUp() override {
    RealLibraryTest::SetUp();
    ASSERT_EQ(SignInit(Shared().secret.c_str(), Shared().pub.c_str()), 0);
    ASSERT_EQ(CryptoInit(Shared().secret.c_str(), Shared().pub.c_str()), 0);
    ScriptRegistry->PubKeysPath = Shared().pub;
    ScriptRegistry->SecKeysPath = Shared().secret;
  }
};

TEST_F(PgpCrash, SignedAndEncryptedExchangeSurvivesAKillAnywhere) {
  const auto keyFolders = [] {
    ScriptRegistry->PubKeysPath = Shared().pub;
    ScriptRegistry->SecKeysPath = Shared().secret;
  };
  EXPECT_GT(crash_campaign::Run(exchange_campaign::SignedAndEncrypted("PA", "PB", keyFolders)), 40);
}

}  // namespace
