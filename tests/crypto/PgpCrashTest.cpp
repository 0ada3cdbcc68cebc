// The two-group exchange of the crash campaign once more with OpenPGP keys
// made by marvik: killed at every file operation of the pass, the partner's
// inbox gets each payment once, the receiver's folder the original bytes,
// and no plaintext stays behind.
#include "crypto/CryptoActions.h"
#include "orlak.h"
#include "tests/crypto/RealLibrary.h"
#include "tests/engine/CrashCampaign.h"

namespace {

using crash_campaign::Folders;

template <class T>
T* Step(TTesselActionList* group, uint8_t kind) {
  auto* step = dynamic_cast<T*>(group->CreateAction(kind));
  step->Enabled = true;
  return step;
}

// OpenPGP key pairs PA and PB in folders of their own, made once.
struct PgpKeys {
  testing_support::TempDir folder;
  std::string secret = folder.Sub("sec/"), pub = folder.Sub("pub/");
  PgpKeys() {
    for (const char* id : {"PA", "PB"})
      if (!real_library::RunMarvik({"create-pgp", id, secret, pub, std::string(id) + " <" + id +
                                                                        "@crash.example>"}))
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
  crash_campaign::Script script;
  script.build = [](const Folders& f) -> TTesselGroups& {
    ScriptRegistry->ClearGroups();
    ScriptRegistry->PubKeysPath = Shared().pub;
    ScriptRegistry->SecKeysPath = Shared().secret;
    TTesselActionList* out = ScriptRegistry->AddGroup("Out");
    out->Enabled = true;
    out->SourceMask = f.in + "*";
    out->DestFolder = f.mid;
    out->BadFolder = f.bad;
    Step<TTesselAction_sign>(out, kKindSign)->KeyId = "PA";
    auto* enc = Step<TTesselAction_encrypt>(out, kKindEncrypt);
    enc->SenderKey = "PA";
    enc->ReceiverKeyList = "PB";
    enc->CopyTo = f.arch;
    TTesselActionList* in = ScriptRegistry->AddGroup("In");
    in->Enabled = true;
    in->SourceMask = f.mid + "*";
    in->DestFolder = f.out;
    in->BadFolder = f.bad;
    auto* dec = Step<TTesselAction_decrypt>(in, kKindDecrypt);
    dec->ReceiverKey = "PB";
    dec->SenderKey = "PA";
    Step<TTesselAction_checksign>(in, kKindCheckSign)->KeyList = "PA";
    Step<TTesselAction_delsign>(in, kKindDelSign)->DeleteCount = -1;
    return *ScriptRegistry;
  };
  script.putSources = [](const Folders& f) {
    testing_support::WriteFile(f.in + "pay1.txt", "Платёж 1");
    testing_support::WriteFile(f.in + "pay2.txt", std::string(100000, 'x'));
    testing_support::WriteFile(f.out + "pay2.txt", "yesterday");
  };
  script.expected = {{"pay1.txt", "Платёж 1"}, {"pay2.txt", std::string(100000, 'x')}};
  EXPECT_GT(crash_campaign::Run(script), 40);
}

}  // namespace
