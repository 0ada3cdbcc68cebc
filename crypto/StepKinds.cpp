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

void RegisterCryptoSteps() {
  RegisterActionKind(kKindSign, &Make<TTesselAction_sign>);
  RegisterActionKind(kKindCheckSign, &Make<TTesselAction_checksign>);
  RegisterActionKind(kKindDelSign, &Make<TTesselAction_delsign>);
  RegisterActionKind(kKindEncrypt, &Make<TTesselAction_encrypt>);
  RegisterActionKind(kKindDecrypt, &Make<TTesselAction_decrypt>);
  SetKeyLoaderHooks({&CreateKeyLoader, &DestroyKeyLoader});
}
