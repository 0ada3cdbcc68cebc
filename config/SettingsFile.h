// The whole script in the settings file: load and save of the registry, of
// one group and of one step.
#pragma once

#include <string>

#include "engine/uTesselTypes.h"

// A step of a kind the registry cannot make is logged and sets LostStepsFile.
void LoadFromIni(TTesselGroups& script, const std::string& FileName);
// False when the file could not be replaced (the old file stays, the reason
// is logged), and when it would lose what a load could not make.
[[nodiscard]] bool SaveToIni(const TTesselGroups& script, const std::string& FileName);

// The group's fields and its steps, from the sections named after it.
void LoadFromIni(TTesselActionList& group, const std::string& FileName);
// False when a key was refused (errno says why); the others are written.
[[nodiscard]] bool SaveToIni(const TTesselActionList& group, const std::string& FileName);

// The step's own keys first, then the common ones (COPY_TO, ENABLE). The save
// does not change the step: its keys are described once for both directions.
void LoadFromIni(TTesselAction& step, const std::string& FileName, const std::string& Section);
// False when a key was refused, as for the group.
[[nodiscard]] bool SaveToIni(TTesselAction& step, const std::string& FileName,
                             const std::string& Section);
