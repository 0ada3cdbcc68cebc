// Whose fault a failed library call is, by its result code. The table is
// in FailureClass.cpp and in the README ("Whose fault a failure is").
#pragma once

#include <cstdint>

#include "engine/PassContext.h"

// What the step does with the file: makes something of it (sign, encrypt),
// where the file's bytes are never at fault, or reads what a partner made
// (check signatures, delete signatures, decrypt).
enum class TStepRole { Makes, Reads };

// File: the file is forged, tampered, not signed, not encrypted, not
// addressed to us or malformed; it goes to the bad-files folder.
// Environment: a key, a key folder, the library or the working space
// failed; the file waits in its source folder until that is mended.
// A code the table does not know is the file's, as every failure was.
TFailureClass ClassifyResult(uint16_t code, TStepRole role);
