#include <array>

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

namespace {
std::array<TActionFactory, kKindNone>& Factories() {
  static std::array<TActionFactory, kKindNone> factories{};
  return factories;
}
}  // namespace

void RegisterActionKind(uint8_t code, TActionFactory factory) {
  if (code < kKindNone) Factories()[code] = factory;
}

TTesselAction* TTesselActionList::CreateAction(int code) {
  TTesselAction* action = nullptr;
  if (code == kKindNone)
    action = new TTesselAction_none;
  else if (code >= 0 && code < kKindNone && Factories()[code])
    action = Factories()[code]();
  if (action) AddAction(action);
  return action;
}
