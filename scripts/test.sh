#!/usr/bin/env bash
# Installs what is missing, builds and runs the test suite: a normal build
# (hardened, as released), a build under AddressSanitizer and
# UndefinedBehaviorSanitizer, liborlak's tests under ThreadSanitizer, then
# short fuzzing runs. Every build treats compiler warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
JOBS=$(nproc)
export QT_QPA_PLATFORM=offscreen
export TESSEL_WERROR=ON
start=$SECONDS

for preset in default sanitize tsan; do
  echo "=== ${preset} build ==="
  cmake --preset "$preset" -DTESSEL_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j "$JOBS"
  ctest --preset "$preset" -j "$JOBS"
done

if [ -x scripts/fuzz.sh ]; then
  echo "=== short fuzzing runs ==="
  scripts/fuzz.sh
fi
echo "=== all passed in $((SECONDS - start)) s ==="
