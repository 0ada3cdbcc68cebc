// The crash campaign's two-group exchange with real keys: an outgoing group
// signs with the sender's key and encrypts to the receiver (a copy of the
// encrypted file in the archive), an incoming group decrypts, checks the
// sender's signature and removes the signatures. The same script for every
// kind of key the library reads.
#pragma once

#include <functional>
#include <string>

#include "crypto/CryptoActions.h"
#include "tests/engine/CrashCampaign.h"

namespace exchange_campaign {

template <class T>
T* Step(TTesselActionList* group, uint8_t kind) {
  auto* step = dynamic_cast<T*>(group->CreateAction(kind));
  step->Enabled = true;
  return step;
}

// prepare runs on the registry before each start, say to point it at key folders.
inline crash_campaign::Script SignedAndEncrypted(const std::string& sender,
                                                 const std::string& receiver,
                                                 std::function<void()> prepare = {}) {
  using crash_campaign::Folders;
  crash_campaign::Script script;
  script.build = [=](const Folders& f) -> TTesselGroups& {
    ScriptRegistry->ClearGroups();
    if (prepare) prepare();
    TTesselActionList* out = ScriptRegistry->AddGroup("Out");
    out->Enabled = true;
    out->SourceMask = f.in + "*";
    out->DestFolder = f.mid;
    out->BadFolder = f.bad;
    Step<TTesselAction_sign>(out, kKindSign)->KeyId = sender;
    auto* enc = Step<TTesselAction_encrypt>(out, kKindEncrypt);
    enc->SenderKey = sender;
    enc->ReceiverKeyList = receiver;
    enc->CopyTo = f.arch;
    TTesselActionList* in = ScriptRegistry->AddGroup("In");
    in->Enabled = true;
    in->SourceMask = f.mid + "*";
    in->DestFolder = f.out;
    in->BadFolder = f.bad;
    auto* dec = Step<TTesselAction_decrypt>(in, kKindDecrypt);
    dec->ReceiverKey = receiver;
    dec->SenderKey = sender;
    Step<TTesselAction_checksign>(in, kKindCheckSign)->KeyList = sender;
    Step<TTesselAction_delsign>(in, kKindDelSign)->DeleteCount = -1;
    return *ScriptRegistry;
  };
  script.putSources = [](const Folders& f) {
    testing_support::WriteFile(f.in + "pay1.txt", "Платёж 1");
    testing_support::WriteFile(f.in + "pay2.txt", std::string(100000, 'x'));
    testing_support::WriteFile(f.out + "pay2.txt", "yesterday");
  };
  script.expected = {{"pay1.txt", "Платёж 1"}, {"pay2.txt", std::string(100000, 'x')}};
  return script;
}

}  // namespace exchange_campaign
