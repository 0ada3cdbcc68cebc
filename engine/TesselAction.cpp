#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"

bool TTesselAction::Execute(const std::string& InputFileName, std::string& OutputFileName) {
  if (CopyTo.empty()) return true;
  // The input always carries the source file's own name.
  const std::string target = IncludeTrailingDelimiter(CopyTo) + ExtractFileName(InputFileName);
  int error = 0;
  if (TTesselActionList::CopyFileTo(OutputFileName, target, &error))
    WriteLog({"Копия - успешно", target});
  else
    WriteFailureLog({"Копия - ошибка", platform::ErrorText(error)});
  return true;  // a failed copy does not fail the step
}

bool TTesselAction_none::Execute(const std::string& InputFileName, std::string& OutputFileName) {
  OutputFileName = InputFileName;
  return TTesselAction::Execute(InputFileName, OutputFileName);
}

std::string TTesselAction_none::GetCaption() const {
  return "Ничего не делать";
}

std::string TTesselAction_none::GetParamText() const {
  return {};
}

const TStepKinds& TStepKinds::NoneOnly() {
  static const TStepKinds none;
  return none;
}

TStepKinds& TStepKinds::Add(uint8_t code, TActionFactory factory) {
  if (code != kKindNone) factories_[code] = factory;
  return *this;
}

bool TStepKinds::Has(int code) const {
  return code == kKindNone ||
         (code >= 0 && code < static_cast<int>(factories_.size()) && factories_[code]);
}

std::vector<int> TStepKinds::Codes() const {
  std::vector<int> codes;
  for (int code = 0; code < static_cast<int>(factories_.size()); ++code)
    if (code == kKindNone || factories_[code]) codes.push_back(code);
  return codes;
}

TStepKinds& TStepKinds::WithKeyCache(TKeyLoaderHooks hooks) {
  keyCache_ = hooks;
  return *this;
}

TTesselAction* TStepKinds::Make(int code) const {
  if (code == kKindNone) return new TTesselAction_none;
  if (code >= 0 && code < static_cast<int>(factories_.size()) && factories_[code])
    return factories_[code]();
  return nullptr;
}

TTesselAction* TTesselActionList::CreateAction(int code) {
  TTesselAction* action = kinds_.Make(code);
  if (action) AddAction(action);
  return action;
}
