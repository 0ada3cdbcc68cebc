#include "crypto/StepKinds.h"

#include "crypto/CryptoActions.h"
#include "crypto/TKeyLoader.h"

namespace {

template <class TKind>
TTesselAction* Make() {
  return new TKind;
}

TKeyLoader* CreateKeyLoader(TTesselGroups& owner) {
  return new TKeyLoader(&owner);
}
void DestroyKeyLoader(TKeyLoader* loader) {
  delete loader;
}

}  // namespace

const TStepKinds& CryptoStepKinds() {
  static const TStepKinds kinds = TStepKinds()
                                      .Add(kKindSign, &Make<TTesselAction_sign>)
                                      .Add(kKindCheckSign, &Make<TTesselAction_checksign>)
                                      .Add(kKindDelSign, &Make<TTesselAction_delsign>)
                                      .Add(kKindEncrypt, &Make<TTesselAction_encrypt>)
                                      .Add(kKindDecrypt, &Make<TTesselAction_decrypt>)
                                      .WithKeyCache({&CreateKeyLoader, &DestroyKeyLoader});
  return kinds;
}
