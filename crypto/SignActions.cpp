// Sign, check signatures, delete signatures.
#include "crypto/CryptoActions.h"
#include "crypto/Orlak.h"
#include "crypto/ResultKind.h"
#include "crypto/SplitKeyList.h"
#include "crypto/StepResult.h"

namespace {

// Trims characters of codes 0 to 32 from both ends.
std::string TrimControls(const std::string& text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  size_t begin = 0, end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

// ---------------------------------------------------------------------------

std::string TTesselAction_sign::GetCaption() const {
  return "Подписать";
}
std::string TTesselAction_sign::GetParamText() const {
  return "Ключ: " + KeyId;
}
void TTesselAction_sign::ExchangeKeys(TStepKeys& keys) {
  static constexpr TStepField kKeyId{.Key = "KEY_ID",
                                     .Label = "Id ключа подписи:",
                                     .Control = "cxTextEdit7",
                                     .Keys = TKeyUse::SecretKey};
  keys.Text(kKeyId, KeyId);
}

bool TTesselAction_sign::Run(const TStepContext& context, const std::string& InputFileName,
                             std::string& OutputFileName) {
  const uint16_t code = SignFile(InputFileName.c_str(), OutputFileName.c_str(), KeyId.c_str());
  if (!LogStepResult(context, *this, code)) return false;
  return TTesselAction::Run(context, InputFileName, OutputFileName);
}

// ---------------------------------------------------------------------------

std::string TTesselAction_checksign::GetCaption() const {
  return "Проверить подпись";
}
std::string TTesselAction_checksign::GetParamText() const {
  return "Ключ(и): " + KeyList;
}
void TTesselAction_checksign::ExchangeKeys(TStepKeys& keys) {
  static constexpr TStepField kKeyList{
      .Key = "KEY_LIST",
      .Label = "Список Id открытых ключей (через точку с запятой)",
      .Control = "cxTextEdit2",
      .Look = TFieldLook::Below,
      .Keys = TKeyUse::PublicKeyList};  // blank: every signature, whoever made it
  keys.Text(kKeyList, KeyList);
}

bool TTesselAction_checksign::Run(const TStepContext& context, const std::string& InputFileName,
                                  std::string& OutputFileName) {
  // The check works on a copy, so the input stays as it came for the bad-files
  // folder. A failed copy shows up as the library's failure to read it.
  context.Copy(InputFileName, OutputFileName);

  std::vector<std::string> required;
  const bool anyRequired = !TrimControls(KeyList).empty();
  if (anyRequired) required = SplitKeyList(KeyList);

  std::vector<std::string> report;
  std::vector<bool> negative;
  uint16_t call = 0;
  const uint16_t verdict = CheckSignReport(OutputFileName, "", anyRequired ? &required : nullptr,
                                           &report, &negative, &call);
  const std::string caption = GetCaption();
  for (size_t i = 0; i < report.size(); ++i)
    context.Pass.Write(negative[i] ? TLogKind::Failure : TLogKind::Normal, {caption, report[i]});
  if (verdict != 0) {
    NoteStepFault(context, *this, call ? call : verdict);
    return false;
  }
  NoteKeysUsed(context, *this);
  return TTesselAction::Run(context, InputFileName, OutputFileName);
}

// ---------------------------------------------------------------------------

std::string TTesselAction_delsign::GetCaption() const {
  return "Удалить подпись";
}
std::string TTesselAction_delsign::GetParamText() const {
  return "Кол-во: " + std::to_string(DeleteCount);
}
void TTesselAction_delsign::ExchangeKeys(TStepKeys& keys) {
  static constexpr TStepField kCount{
      .Key = "COUNT",
      .Label = "Количество удаляемых подписей; если -1, то удаляются все подписи",
      .Control = "cxSpinEdit1",
      .Look = TFieldLook::Number,
      .Missing = -1,
      .Min = -1,
      .Max = 100};
  keys.Integer(kCount, DeleteCount);
}

bool TTesselAction_delsign::Run(const TStepContext& context, const std::string& InputFileName,
                                std::string& OutputFileName) {
  context.Copy(InputFileName, OutputFileName);
  // Only the low 8 bits reach the library: -1 arrives as 255, "all".
  const auto count = static_cast<uint8_t>(DeleteCount & 0xFF);
  const uint16_t code = DelSign(OutputFileName.c_str(), count);
  if (!LogStepResult(context, *this, code)) return false;
  return TTesselAction::Run(context, InputFileName, OutputFileName);
}
