#include "tests/engine/FakeStep.h"

#include "engine/uFileUtil.h"
#include "tests/support/TestSupport.h"

bool TFakeStep::Execute(const std::string& InputFileName, std::string& OutputFileName) {
  ++Runs;
  if (FailOn.count(ExtractFileName(InputFileName)) || !testing_support::FileExists(InputFileName)) {
    WriteLog({GetCaption(), "ошибка"});
    return false;
  }
  testing_support::WriteFile(OutputFileName,
                             testing_support::ReadFile(InputFileName) + "+" + marker_);
  WriteLog({GetCaption(), "успешно"});
  return TTesselAction::Execute(InputFileName, OutputFileName);
}
