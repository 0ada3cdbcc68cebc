// A step's own settings as values of its kind's description (StepKeys.h):
// what the step editor shows and the script check looks at, without knowing
// the kind.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/StepKeys.h"

class TTesselAction;

// One setting and its value; numbers in decimal.
struct TStepSetting {
  TStepField Field;
  std::string Value;
};

// The step's settings in its kind's order.
std::vector<TStepSetting> StepSettings(const TTesselAction& step);

// Sets each of the step's settings to what value gives for it; a setting it
// has none for gets the kind's value of a missing key. A number that does not
// read as one is taken as far as it does, as the settings file reads it.
void ApplyStepSettings(TTesselAction& step,
                       const std::function<std::optional<std::string>(const TStepField&)>& value);
