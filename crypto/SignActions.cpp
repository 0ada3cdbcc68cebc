// Sign, check signatures, delete signatures.
#include "crypto/CryptoActions.h"
#include "crypto/Orlak.h"
#include "crypto/ResultKind.h"
#include "crypto/SplitKeyList.h"

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

bool TTesselAction_sign::Execute(const std::string& InputFileName, std::string& OutputFileName) {
  const uint16_t code = SignFile(InputFileName.c_str(), OutputFileName.c_str(), KeyId.c_str());
  if (!LogLibraryResult(GetCaption(), code)) return false;
  return TTesselAction::Execute(InputFileName, OutputFileName);
}

// ---------------------------------------------------------------------------

std::string TTesselAction_checksign::GetCaption() const {
  return "Проверить подпись";
}
std::string TTesselAction_checksign::GetParamText() const {
  return "Ключ(и): " + KeyList;
}

bool TTesselAction_checksign::Execute(const std::string& InputFileName,
                                      std::string& OutputFileName) {
  // The check works on a copy, so the input stays as it came for the bad-files
  // folder. A failed copy shows up as the library's failure to read it.
  TTesselActionList::CopyFileTo(InputFileName, OutputFileName);

  std::vector<std::string> required;
  const bool anyRequired = !TrimControls(KeyList).empty();
  if (anyRequired) required = SplitKeyList(KeyList);

  std::vector<std::string> report;
  std::vector<bool> negative;
  const uint16_t verdict =
      CheckSignReport(OutputFileName, "", anyRequired ? &required : nullptr, &report, &negative);
  const std::string caption = GetCaption();
  for (size_t i = 0; i < report.size(); ++i)
    WriteLog(negative[i] ? TLogKind::Failure : TLogKind::Normal, {caption, report[i]});
  if (IsWorkingFileError(verdict)) NoteWorkingSpaceFault();
  if (verdict != 0) return false;
  return TTesselAction::Execute(InputFileName, OutputFileName);
}

// ---------------------------------------------------------------------------

std::string TTesselAction_delsign::GetCaption() const {
  return "Удалить подпись";
}
std::string TTesselAction_delsign::GetParamText() const {
  return "Кол-во: " + std::to_string(DeleteCount);
}

bool TTesselAction_delsign::Execute(const std::string& InputFileName, std::string& OutputFileName) {
  TTesselActionList::CopyFileTo(InputFileName, OutputFileName);
  // Only the low 8 bits reach the library: -1 arrives as 255, "all".
  const auto count = static_cast<uint8_t>(DeleteCount & 0xFF);
  const uint16_t code = DelSign(OutputFileName.c_str(), count);
  if (!LogLibraryResult(GetCaption(), code)) return false;
  return TTesselAction::Execute(InputFileName, OutputFileName);
}
