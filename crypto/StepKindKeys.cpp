// Settings keys of the cryptographic kinds, in the order they are stored.
#include "crypto/CryptoActions.h"

void TTesselAction_sign::ExchangeKeys(TStepKeys& keys) {
  keys.Text("KEY_ID", KeyId);
}

void TTesselAction_checksign::ExchangeKeys(TStepKeys& keys) {
  keys.Text("KEY_LIST", KeyList);
}

void TTesselAction_delsign::ExchangeKeys(TStepKeys& keys) {
  keys.Integer("COUNT", DeleteCount, -1);
}

void TTesselAction_encrypt::ExchangeKeys(TStepKeys& keys) {
  keys.Text("SENDER_KEY", SenderKey);
  keys.Text("RECEIVER_KEY_LIST", ReceiverKeyList);
}

void TTesselAction_decrypt::ExchangeKeys(TStepKeys& keys) {
  keys.Text("RECEIVER_KEY", ReceiverKey);
  keys.Text("SENDER_KEY", SenderKey);
}
