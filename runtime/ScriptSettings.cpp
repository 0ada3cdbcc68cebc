#include "runtime/ScriptSettings.h"

#include <cerrno>

#include "config/SettingsFile.h"
#include "config/uIniUtil.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"

int32_t LoadScript(const std::string& settingsFile) {
  WriteLog({"Чтение настроек из ini-файла"});
  LoadFromIni(*ScriptRegistry, settingsFile);
  return ReadIniInteger("MAIN", "INTERVAL", kMinIntervalSeconds, settingsFile);
}

namespace {
constexpr const char* kStartInTrayKey = "START_IN_TRAY";
}

bool SaveScript(const std::string& settingsFile, int32_t interval, bool startInTray) {
  WriteLog({"Сохранение настроек в ini-файл"});
  if (!SaveToIni(*ScriptRegistry, settingsFile)) return false;
  // The script is on disk already; a lost interval is still a failed save.
  if (!WriteIniInteger("MAIN", "INTERVAL", interval, settingsFile) ||
      (startInTray && !WriteIniBool("MAIN", kStartInTrayKey, true, settingsFile))) {
    WriteFailureLog({"Сохранение настроек - ошибка", settingsFile, platform::ErrorText(errno)});
    return false;
  }
  return true;
}

bool StartInTraySetting(const std::string& settingsFile) {
  return ReadIniBool("MAIN", kStartInTrayKey, false, settingsFile);
}
