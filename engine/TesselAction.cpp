#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"

bool TTesselAction::Run(const TStepContext& context, const std::string& InputFileName,
                        std::string& OutputFileName) {
  // A rehearsal leaves nothing outside the working folders.
  if (CopyTo.empty() || context.Rehearsal) return true;
  // The input always carries the source file's own name.
  const std::string target = IncludeTrailingDelimiter(CopyTo) + ExtractFileName(InputFileName);
  int error = 0;
  if (context.Copy(OutputFileName, target, &error))
    context.Pass.Line({"Копия - успешно", target});
  else
    context.Pass.Failure({"Копия - ошибка", platform::ErrorText(error)});
  return true;  // a failed copy does not fail the step
}

bool TTesselAction::Execute(const std::string& InputFileName, std::string& OutputFileName,
                            TKeyLoader* keys) {
  TEventLogSink log;
  TPassContext pass;
  pass.Log = &log;
  pass.Keys = keys;
  return Run(TStepContext{pass}, InputFileName, OutputFileName);
}

bool TTesselAction_none::Run(const TStepContext& context, const std::string& InputFileName,
                             std::string& OutputFileName) {
  OutputFileName = InputFileName;
  return TTesselAction::Run(context, InputFileName, OutputFileName);
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
