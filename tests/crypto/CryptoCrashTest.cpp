// The exchange of signed and encrypted files killed at every file operation
// of the pass: the partner's inbox gets each payment once, the receiver's
// folder the original bytes, and no plaintext stays behind.
#include "tests/crypto/ExchangeCampaign.h"
#include "tests/crypto/RealLibrary.h"

namespace {

class CryptoCrash : public real_library::RealLibraryTest {};

TEST_F(CryptoCrash, SignedAndEncryptedExchangeSurvivesAKillAnywhere) {
  EXPECT_GT(crash_campaign::Run(exchange_campaign::SignedAndEncrypted("A", "B")), 40);
}

}  // namespace
