// The main window's edits of the script and the rules of its unsaved state,
// without widgets: every control that changes the script goes through here,
// so the rules hold whichever control made the change.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/uTesselTypes.h"
#include "runtime/ScriptSettings.h"
#include "runtime/SettingsWatch.h"

// What "Изменить" must know of a step before the step editor destroys it.
struct TStepPlace {
  int Position = -1;  // in its group; -1 when the group does not hold it
  bool Enabled = false;
};

class TScriptEditor {
 public:
  // True when the script on screen is the one last loaded or saved.
  bool Saved() const { return saved_; }

  // "Восстановить": replaces the script by the file's and lets show put it
  // and the stored interval on screen; the settings are saved afterwards,
  // whatever the controls reported while they were filled.
  void Load(const std::string& settingsFile, const std::function<void(int32_t interval)>& show);
  // "Сохранить": saved only when the whole save succeeded, so closing still
  // asks after a failed one. It writes whatever the file holds now: ask
  // ChangedOnDisk first.
  bool Save(const std::string& settingsFile, int32_t interval);
  // The file no longer holds what the last load or save here left in it:
  // another program wrote it, and a save would lose what it wrote.
  bool ChangedOnDisk(const std::string& settingsFile) const {
    return watch_.ChangedOnDisk(settingsFile);
  }

  // The window starts hidden in the tray; saved with the script.
  bool StartInTray() const { return startInTray_; }
  // The command run when a failure episode starts, as the script last loaded names it.
  const std::string& FailureCommand() const { return failureCommand_; }
  // How many days the history keeps its records, as the script last loaded says.
  int HistoryDays() const { return historyDays_; }
  void SetStartInTray(bool on);

  // Either key-folder field sets both folders.
  void SetKeyFolders(const std::string& pubKeysPath, const std::string& secKeysPath);
  // The group fields; without a group nothing changes.
  void SetSourceMask(TTesselActionList* group, const std::string& text);
  void SetDestFolder(TTesselActionList* group, const std::string& text);
  void SetBadFolder(TTesselActionList* group, const std::string& text);
  void SetSettleSeconds(TTesselActionList* group, int32_t seconds);
  void SetDuplicateDays(TTesselActionList* group, int32_t days);
  // The interval is not part of the script, but saved with it.
  void IntervalChanged() { saved_ = false; }
  // A group's check box alone leaves the settings as saved as they were.
  void SetGroupEnabled(TTesselActionList* group, bool enabled);
  void SetStepEnabled(TTesselAction* step, bool enabled);

  TTesselActionList* AddGroup(const std::string& name);
  void DeleteGroup(int index);
  void AddStep(TTesselActionList& group, TTesselAction* step);
  // Rows are step positions, in any order.
  void DeleteSteps(TTesselActionList& group, std::vector<int> rows);
  static TStepPlace PlaceOf(const TTesselActionList& group, const TTesselAction* step);
  // Puts the editor's new step where the old one stood. It keeps the old
  // step's enabled flag: the editor never shows the flag, and a step whose
  // key was changed must not silently stop taking part in passes.
  void ReplaceStep(TTesselActionList& group, const TStepPlace& old, TTesselAction* step);

 private:
  bool saved_ = false;
  bool startInTray_ = false;
  std::string failureCommand_;
  int historyDays_ = kDefaultHistoryDays;
  TSettingsWatch watch_;
};
