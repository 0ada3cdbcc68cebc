// A crypto step's result as the pass hears of it: the line with the
// library's message, and, for a failure that is not the file's, the fault
// noted on the step's context with a line that names what to mend.
#pragma once

#include <cstdint>

#include "crypto/FailureClass.h"
#include "crypto/KeyFault.h"
#include "engine/uTesselTypes.h"

// The step's key folders and identifiers, as its settings name them.
TKeyScene KeySceneOf(const TStepContext& context, TTesselAction& step);

// For a call that worked: the fingerprints of the keys it used on the
// context, and a line naming the key of each identifier that has several.
void NoteKeysUsed(const TStepContext& context, TTesselAction& step);

// One line for the library call (and NoteKeysUsed); true on success.
bool LogStepResult(const TStepContext& context, TTesselAction& step, uint16_t code);

// Notes the failure with that code as the environment's when the table
// says so, or when the step's keys are missing or refused; false when it is
// the file's.
bool NoteStepFault(const TStepContext& context, TTesselAction& step, uint16_t code);
