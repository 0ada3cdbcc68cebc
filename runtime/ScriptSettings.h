// Loading and saving the whole script together with the timer interval, as
// the main window's "Восстановить" and "Сохранить" do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The interval field's minimum, also the interval of a file that has none.
inline constexpr int32_t kMinIntervalSeconds = 3;

// Logs the start, replaces ScriptRegistry's script by the file's and returns
// the stored interval (kMinIntervalSeconds when there is none).
int32_t LoadScript(const std::string& settingsFile);

// Logs the start, writes the script, then the interval at the end of "MAIN"
// and after it the command run when a failure starts (ON_FAILURE), when
// there is one, and the window's start in the tray (START_IN_TRAY), only
// when set, so that a script without them keeps its bytes. Without
// onFailure the file's own command is kept; so is the history's retention
// (HISTORY_DAYS), which nothing here edits. False when the script could not
// be written (the old file stays, the reason is in the log) or the interval
// or a setting could not be added to it (logged the same way).
bool SaveScript(const std::string& settingsFile, int32_t interval, bool startInTray = false,
                const std::optional<std::string>& onFailure = std::nullopt);
inline bool SaveScript(const std::string& settingsFile, int32_t interval,
                       const std::string& onFailure) {
  return SaveScript(settingsFile, interval, false, onFailure);
}

// The command run when a failure starts ("MAIN", "ON_FAILURE"); empty: none.
std::string ReadFailureCommand(const std::string& settingsFile);

// How many days the history keeps its records ("MAIN", "HISTORY_DAYS"):
// kDefaultHistoryDays when the file names none or a negative number; 0 keeps
// them all. Audits usually look back a year.
inline constexpr int kDefaultHistoryDays = 400;
int ReadHistoryDays(const std::string& settingsFile);

// Whether the window starts hidden in the tray (MAIN, START_IN_TRAY).
bool StartInTraySetting(const std::string& settingsFile);

// Days ahead a key's expiry is warned of (MAIN, KEY_WARN_DAYS), by tessel
// check. Written by hand; a save carries it over as it stands.
inline constexpr int32_t kDefaultKeyWarningDays = 30;
int32_t KeyWarningDays(const std::string& settingsFile);
