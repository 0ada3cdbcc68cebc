// How a library call's log line is marked: every non-zero code is a failure.
#pragma once

#include <cstdint>
#include <string>

#include "engine/PassContext.h"
#include "engine/uTesselTypes.h"

inline TLogKind ResultKind(int code) {
  return code == 0 ? TLogKind::Normal : TLogKind::Failure;
}

// Codes 21 to 25: a working file could not be opened, written, read or
// renamed. Every file a step reads or writes is a working file, so the fault
// lies with the working space (full, failing), not with the file's content.
inline bool IsWorkingFileError(int code) {
  return code >= 21 && code <= 25;
}
