#include "tests/engine/FakeStep.h"

#include "engine/uFileUtil.h"
#include "tests/support/TestSupport.h"

bool TFakeStep::Run(const TStepContext& context, const std::string& InputFileName,
                    std::string& OutputFileName) {
  ++Runs;
  if (!MissingKey.empty()) {
    context.Pass.Failure({GetCaption(), "Не найден ключ."});
    context.NoteEnvironmentFault(6, {"Секретный ключ не найден", MissingKey});
    return false;
  }
  if (FailOn.count(ExtractFileName(InputFileName)) || !testing_support::FileExists(InputFileName)) {
    context.Pass.Line({GetCaption(), "ошибка"});
    return false;
  }
  testing_support::WriteFile(OutputFileName,
                             testing_support::ReadFile(InputFileName) + "+" + marker_);
  context.Pass.Line({GetCaption(), "успешно"});
  return TTesselAction::Run(context, InputFileName, OutputFileName);
}
