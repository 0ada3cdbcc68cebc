// What the step editor shows and collects, apart from its widgets: the kinds
// it offers with their settings, the values of its controls taken from a
// step, and a new step made of them. Every kind describes its own settings
// (engine/StepKeys.h), so nothing here names a kind.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/StepKeys.h"
#include "engine/uTesselTypes.h"

// One page of the editor: a kind, its entry in the kind list and its settings.
struct TKindPage {
  int Code = 0;
  std::string Choice;  // Windows-1251
  std::string Name;    // the page's object name
  std::vector<TStepField> Fields;
};

// Every kind the set can make, in code order.
std::vector<TKindPage> KindPages(const TStepKinds& kinds);

// One value per control; each kind's page has its own, so the pages of other
// kinds keep their contents while the operator switches kinds.
struct TStepFields {
  int Kind = kKindSign;  // chosen in the kind list
  bool WantCopy = false;
  std::string CopyTo;
  // By kind, then by settings key; numbers in decimal. A value not here is
  // the kind's own start value.
  std::map<int, std::map<std::string, std::string>> Values;
};

// The controls' values for an existing step: its kind, its copy folder and
// its kind's own settings; the other pages keep their start values.
TStepFields FieldsOfStep(const TTesselAction& step);

// A new step of the kind, disabled, built from that kind's values only; the
// copy folder is kept only while the copy box is ticked. Null for a kind the
// set cannot make.
TTesselAction* BuildStep(const TStepKinds& kinds, const TStepFields& fields);
