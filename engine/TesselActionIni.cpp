// The settings keys every step kind shares; kinds write their own keys first.
#include "config/uIniUtil.h"
#include "engine/uTesselTypes.h"

void TTesselAction::LoadFromIni(const std::string& FileName, const std::string& Section) {
  CopyTo = ReadIniString(Section, "COPY_TO", "", FileName);
  Enabled = ReadIniBool(Section, "ENABLE", false, FileName);
}

void TTesselAction::SaveToIni(const std::string& FileName, const std::string& Section) const {
  WriteIniString(Section, "COPY_TO", CopyTo, FileName);
  WriteIniBool(Section, "ENABLE", Enabled, FileName);
}
