#include "runtime/ScriptSettings.h"

#include <cerrno>
#include <utility>
#include <vector>

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

constexpr const char* kOnFailureKey = "ON_FAILURE";
constexpr const char* kStartInTrayKey = "START_IN_TRAY";
constexpr const char* kHistoryDaysKey = "HISTORY_DAYS";
constexpr const char* kKeyWarningDaysKey = "KEY_WARN_DAYS";

// Script settings no editor of the window changes: a save carries them over
// as they stand, and writes none the script did not hold.
constexpr const char* kCarriedKeys[] = {kHistoryDaysKey, kKeyWarningDaysKey};

}  // namespace

bool SaveScript(const std::string& settingsFile, int32_t interval, bool startInTray,
                const std::optional<std::string>& onFailure) {
  WriteLog({"Сохранение настроек в ini-файл"});
  // The script is written from nothing: a command it holds and the saver
  // does not know of is carried over.
  const std::string command = onFailure ? *onFailure : ReadFailureCommand(settingsFile);
  std::vector<std::pair<const char*, std::string>> carried;
  for (const char* key : kCarriedKeys) carried.emplace_back(key, ReadIniString("MAIN", key, "", settingsFile));
  if (!SaveToIni(*ScriptRegistry, settingsFile)) return false;
  // The script is on disk already; a lost interval or setting is still a failed save.
  bool written = WriteIniInteger("MAIN", "INTERVAL", interval, settingsFile);
  // Each written only when set, so a script without them keeps its old bytes.
  if (written && !command.empty())
    written = WriteIniString("MAIN", kOnFailureKey, command, settingsFile);
  if (written && startInTray) written = WriteIniBool("MAIN", kStartInTrayKey, true, settingsFile);
  for (const auto& [key, value] : carried)
    if (written && !value.empty()) written = WriteIniString("MAIN", key, value, settingsFile);
  if (!written) {
    WriteFailureLog({"Сохранение настроек - ошибка", settingsFile, platform::ErrorText(errno)});
    return false;
  }
  return true;
}

std::string ReadFailureCommand(const std::string& settingsFile) {
  return ReadIniString("MAIN", kOnFailureKey, "", settingsFile);
}

int ReadHistoryDays(const std::string& settingsFile) {
  const int32_t days = ReadIniInteger("MAIN", kHistoryDaysKey, kDefaultHistoryDays, settingsFile);
  return days < 0 ? kDefaultHistoryDays : days;
}

bool StartInTraySetting(const std::string& settingsFile) {
  return ReadIniBool("MAIN", kStartInTrayKey, false, settingsFile);
}

int32_t KeyWarningDays(const std::string& settingsFile) {
  const int32_t days =
      ReadIniInteger("MAIN", kKeyWarningDaysKey, kDefaultKeyWarningDays, settingsFile);
  return days >= 0 ? days : kDefaultKeyWarningDays;
}
