// How a library call's log line is marked: every non-zero code is a failure.
#pragma once

#include "engine/uTesselTypes.h"

inline TLogKind ResultKind(int code) {
  return code == 0 ? TLogKind::Normal : TLogKind::Failure;
}
