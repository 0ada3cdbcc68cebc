// Encrypt and decrypt, with key blocks from the key cache the pass hands them.
#include <limits>

#include "crypto/CryptoActions.h"
#include "crypto/Orlak.h"
#include "crypto/ResultKind.h"
#include "crypto/StepResult.h"
#include "crypto/TKeyLoader.h"

namespace {

// Code of a call the library would misread (its receiver count is 16 bits).
constexpr uint16_t kBadParameter = 7;

}  // namespace

// ---------------------------------------------------------------------------

std::string TTesselAction_encrypt::GetCaption() const {
  return "Шифровать";
}
std::string TTesselAction_encrypt::GetParamText() const {
  return "Ключ: " + SenderKey + " для " + ReceiverKeyList;
}
std::string TTesselAction_encrypt::GetChoiceText() const {
  return "Зашифровать...";
}
void TTesselAction_encrypt::ExchangeKeys(TStepKeys& keys) {
  // The sender's secret key makes the receivers' keys to the file.
  static constexpr TStepField kSender{.Key = "SENDER_KEY",
                                      .Label = "Id ключа отправителя:",
                                      .Control = "cxTextEdit3",
                                      .Keys = TKeyUse::SecretKey};
  static constexpr TStepField kReceivers{.Key = "RECEIVER_KEY_LIST",
                                         .Label = "Id ключей получателей:",
                                         .Control = "cxTextEdit4",
                                         .Keys = TKeyUse::ReceiverList};
  keys.Text(kSender, SenderKey);
  keys.Text(kReceivers, ReceiverKeyList);
}

bool TTesselAction_encrypt::Run(const TStepContext& context, const std::string& InputFileName,
                                std::string& OutputFileName) {
  TKeyBlockList receivers;
  uint16_t code = 0;
  if (TKeyLoader* cache = context.Pass.Keys)
    receivers = cache->GetKeyList(ReceiverKeyList, &context.Pass, &code);
  else
    receivers.Blocks.assign(SplitKeyList(ReceiverKeyList).size(), nullptr);

  if (code != 0) {
    // A receiver's key the library could not give: its own code, not the
    // library's refusal of a missing block.
  } else if (receivers.Count() > std::numeric_limits<uint16_t>::max()) {
    // Cut to 16 bits the count would encrypt for the wrong receivers.
    code = kBadParameter;
  } else {
    code = EnCryptFileEx(InputFileName.c_str(), OutputFileName.c_str(), SenderKey.c_str(),
                         receivers.Blocks.data(), static_cast<uint16_t>(receivers.Count()), 0);
  }
  if (!LogStepResult(context, *this, code)) return false;
  return TTesselAction::Run(context, InputFileName, OutputFileName);
}

// ---------------------------------------------------------------------------

std::string TTesselAction_decrypt::GetCaption() const {
  return "Расшифровать";
}
std::string TTesselAction_decrypt::GetParamText() const {
  return "Ключ: " + ReceiverKey + " от " + SenderKey;
}
void TTesselAction_decrypt::ExchangeKeys(TStepKeys& keys) {
  static constexpr TStepField kReceiver{.Key = "RECEIVER_KEY",
                                        .Label = "Id ключа получателя:",
                                        .Control = "cxTextEdit_idreceiver",
                                        .Keys = TKeyUse::SecretKey};
  static constexpr TStepField kSender{.Key = "SENDER_KEY",
                                      .Label = "Id ключа отправителя:",
                                      .Control = "cxTextEdit_idsender",
                                      .Keys = TKeyUse::PublicKey};
  keys.Text(kReceiver, ReceiverKey);
  keys.Text(kSender, SenderKey);
}

bool TTesselAction_decrypt::Run(const TStepContext& context, const std::string& InputFileName,
                                std::string& OutputFileName) {
  TKeyLoader* cache = context.Pass.Keys;
  uint16_t code = 0;
  const void* sender = cache ? cache->GetKey(SenderKey, &context.Pass, &code) : nullptr;
  // A sender's key the library could not give fails with its own code.
  if (code == 0)
    code =
        DeCryptFileEx(InputFileName.c_str(), OutputFileName.c_str(), ReceiverKey.c_str(), sender);
  if (!LogStepResult(context, *this, code)) return false;
  return TTesselAction::Run(context, InputFileName, OutputFileName);
}
