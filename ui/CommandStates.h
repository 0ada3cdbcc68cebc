// Which of the main window's commands and controls respond, from the run
// state, the selection and the unsaved state.
#pragma once

struct TWindowState {
  bool TimerOn = false;
  // A pass still finishing its file after "Стоп": the script is not the
  // window's to edit until it has ended.
  bool PassInFlight = false;
  bool GroupSelected = false;
  bool StepsSelected = false;
  bool Saved = false;
};

struct TCommandStates {
  bool Run = false;
  bool Stop = false;
  bool Save = false;
  bool Load = false;
  bool GroupAdd = false;
  bool GroupDel = false;
  bool Add = false;
  bool Del = false;
  bool Change = false;
  // The five text fields, the settle field, the group list and the step list.
  bool Editing = false;
  // Listing what the selected group's mask takes.
  bool MaskListing = false;
  // "Проверить сценарий": it opens and closes the library itself, so only
  // while the script is not running.
  bool Check = false;
};

TCommandStates CommandStates(const TWindowState& state);
