#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite twice: a
# normal build, then a build under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
JOBS=$(nproc)
export QT_QPA_PLATFORM=offscreen

for preset in default sanitize; do
  echo "=== ${preset} build ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$JOBS"
  ctest --preset "$preset" -j "$JOBS"
done

if [ -x scripts/fuzz.sh ]; then
  echo "=== short fuzzing runs ==="
  scripts/fuzz.sh
fi
