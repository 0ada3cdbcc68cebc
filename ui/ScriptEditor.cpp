#include "ui/ScriptEditor.h"

#include <algorithm>

#include "runtime/ScriptSettings.h"

void TScriptEditor::Load(const std::string& settingsFile,
                         const std::function<void(int32_t interval)>& show) {
  // Noted before the load reads: a change made while it reads shows later.
  watch_.Note(settingsFile);
  const int32_t interval = LoadScript(settingsFile);
  startInTray_ = StartInTraySetting(settingsFile);
  failureCommand_ = ReadFailureCommand(settingsFile);
  historyDays_ = ReadHistoryDays(settingsFile);
  if (show) show(interval);
  saved_ = true;
}

bool TScriptEditor::Save(const std::string& settingsFile, int32_t interval) {
  saved_ = SaveScript(settingsFile, interval, startInTray_);
  // Whatever reached the file is ours now, a failed save's old file included.
  watch_.Note(settingsFile);
  return saved_;
}

void TScriptEditor::SetStartInTray(bool on) {
  if (on == startInTray_) return;
  startInTray_ = on;
  saved_ = false;
}

void TScriptEditor::SetKeyFolders(const std::string& pubKeysPath, const std::string& secKeysPath) {
  ScriptRegistry->PubKeysPath = pubKeysPath;
  ScriptRegistry->SecKeysPath = secKeysPath;
  saved_ = false;
}

void TScriptEditor::SetSourceMask(TTesselActionList* group, const std::string& text) {
  if (!group) return;
  group->SourceMask = text;
  saved_ = false;
}

void TScriptEditor::SetDestFolder(TTesselActionList* group, const std::string& text) {
  if (!group) return;
  group->DestFolder = text;
  saved_ = false;
}

void TScriptEditor::SetBadFolder(TTesselActionList* group, const std::string& text) {
  if (!group) return;
  group->BadFolder = text;
  saved_ = false;
}

void TScriptEditor::SetDuplicateDays(TTesselActionList* group, int32_t days) {
  if (!group) return;
  group->DuplicateDays = std::max<int32_t>(0, days);
  saved_ = false;
}

void TScriptEditor::SetSettleSeconds(TTesselActionList* group, int32_t seconds) {
  if (!group) return;
  group->SettleSeconds = std::max<int32_t>(0, seconds);
  saved_ = false;
}

void TScriptEditor::SetGroupEnabled(TTesselActionList* group, bool enabled) {
  if (group) group->Enabled = enabled;
}

void TScriptEditor::SetStepEnabled(TTesselAction* step, bool enabled) {
  if (!step) return;
  step->Enabled = enabled;
  saved_ = false;
}

TTesselActionList* TScriptEditor::AddGroup(const std::string& name) {
  saved_ = false;
  return ScriptRegistry->AddGroup(name);
}

void TScriptEditor::DeleteGroup(int index) {
  ScriptRegistry->DeleteGroup(index);
  saved_ = false;
}

void TScriptEditor::AddStep(TTesselActionList& group, TTesselAction* step) {
  group.AddAction(step);
  saved_ = false;
}

void TScriptEditor::DeleteSteps(TTesselActionList& group, std::vector<int> rows) {
  // From the last row up, so the positions of rows still to go stay valid.
  std::sort(rows.begin(), rows.end(), std::greater<int>());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (int row : rows) group.DeleteAction(row);
  saved_ = false;
}

TStepPlace TScriptEditor::PlaceOf(const TTesselActionList& group, const TTesselAction* step) {
  TStepPlace place;
  place.Position = group.IndexOfAction(step);
  place.Enabled = step && step->Enabled;
  return place;
}

void TScriptEditor::ReplaceStep(TTesselActionList& group, const TStepPlace& old,
                                TTesselAction* step) {
  if (!step) return;
  step->Enabled = old.Enabled;
  if (old.Position >= 0) group.Actions.Put(old.Position, step);
  saved_ = false;
}
