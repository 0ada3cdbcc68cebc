#include "ui/ScriptSettings.h"

#include "config/uIniUtil.h"
#include "engine/uTesselTypes.h"

int32_t LoadScript(const std::string& settingsFile) {
  WriteLog({"Чтение настроек из ini-файла"});
  ScriptRegistry->LoadFromIni(settingsFile);
  return ReadIniInteger("MAIN", "INTERVAL", kMinIntervalSeconds, settingsFile);
}

bool SaveScript(const std::string& settingsFile, int32_t interval) {
  WriteLog({"Сохранение настроек в ini-файл"});
  if (!ScriptRegistry->SaveToIni(settingsFile)) return false;
  WriteIniInteger("MAIN", "INTERVAL", interval, settingsFile);
  return true;
}
