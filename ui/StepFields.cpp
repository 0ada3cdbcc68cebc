#include "ui/StepFields.h"

#include "crypto/CryptoActions.h"

TStepFields FieldsOfStep(const TTesselAction& step) {
  TStepFields f;
  f.Kind = step.GetKind();
  f.WantCopy = !step.CopyTo.empty();
  f.CopyTo = step.CopyTo;
  if (auto* s = dynamic_cast<const TTesselAction_sign*>(&step)) {
    f.SignKeyId = s->KeyId;
  } else if (auto* c = dynamic_cast<const TTesselAction_checksign*>(&step)) {
    f.CheckKeyList = c->KeyList;
  } else if (auto* d = dynamic_cast<const TTesselAction_delsign*>(&step)) {
    f.DeleteCount = d->DeleteCount;
  } else if (auto* e = dynamic_cast<const TTesselAction_encrypt*>(&step)) {
    f.EncryptSenderKey = e->SenderKey;
    f.EncryptReceivers = e->ReceiverKeyList;
  } else if (auto* r = dynamic_cast<const TTesselAction_decrypt*>(&step)) {
    f.DecryptReceiverKey = r->ReceiverKey;
    f.DecryptSenderKey = r->SenderKey;
  }
  return f;
}

TTesselAction* BuildStep(const TStepFields& f) {
  TTesselAction* step = nullptr;
  switch (f.Kind) {
    case kKindSign: {
      auto* s = new TTesselAction_sign;
      s->KeyId = f.SignKeyId;
      step = s;
      break;
    }
    case kKindCheckSign: {
      auto* c = new TTesselAction_checksign;
      c->KeyList = f.CheckKeyList;
      step = c;
      break;
    }
    case kKindDelSign: {
      auto* d = new TTesselAction_delsign;
      d->DeleteCount = f.DeleteCount;
      step = d;
      break;
    }
    case kKindEncrypt: {
      auto* e = new TTesselAction_encrypt;
      e->SenderKey = f.EncryptSenderKey;
      e->ReceiverKeyList = f.EncryptReceivers;
      step = e;
      break;
    }
    case kKindDecrypt: {
      auto* r = new TTesselAction_decrypt;
      r->ReceiverKey = f.DecryptReceiverKey;
      r->SenderKey = f.DecryptSenderKey;
      step = r;
      break;
    }
    case kKindNone:
      step = new TTesselAction_none;
      break;
    default:
      return nullptr;
  }
  if (f.WantCopy) step->CopyTo = f.CopyTo;
  return step;
}
