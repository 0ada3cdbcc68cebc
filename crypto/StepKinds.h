// The step kinds of a program with cryptography.
#pragma once

#include "engine/StepKindSet.h"

// The do-nothing kind, the five cryptographic kinds and a key cache for each
// registry made with them.
const TStepKinds& CryptoStepKinds();
