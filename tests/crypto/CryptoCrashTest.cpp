// The exchange of signed and encrypted files killed at every file operation
// of the pass: the partner's inbox gets each payment once, the receiver's
// folder the original bytes, and no plaintext stays behind.
#include "crypto/CryptoActions.h"
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

class CryptoCrash : public real_library::RealLibraryTest {};

TEST_F(CryptoCrash, SignedAndEncryptedExchangeSurvivesAKillAnywhere) {
  crash_campaign::Script script;
  script.build = [](const Folders& f) -> TTesselGroups& {
    ScriptRegistry->ClearGroups();
    TTesselActionList* out = ScriptRegistry->AddGroup("Out");
    out->Enabled = true;
    out->SourceMask = f.in + "*";
    out->DestFolder = f.mid;
    out->BadFolder = f.bad;
    Step<TTesselAction_sign>(out, kKindSign)->KeyId = "A";
    auto* enc = Step<TTesselAction_encrypt>(out, kKindEncrypt);
    enc->SenderKey = "A";
    enc->ReceiverKeyList = "B";
    enc->CopyTo = f.arch;
    TTesselActionList* in = ScriptRegistry->AddGroup("In");
    in->Enabled = true;
    in->SourceMask = f.mid + "*";
    in->DestFolder = f.out;
    in->BadFolder = f.bad;
    auto* dec = Step<TTesselAction_decrypt>(in, kKindDecrypt);
    dec->ReceiverKey = "B";
    dec->SenderKey = "A";
    Step<TTesselAction_checksign>(in, kKindCheckSign)->KeyList = "A";
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
