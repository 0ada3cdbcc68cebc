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

# Many tests wait on timers and child processes, so the tests run twice as
# many at a time as there are processors.
for preset in default sanitize tsan; do
  echo "=== ${preset} build ($((SECONDS - start)) s) ==="
  cmake --preset "$preset" -DTESSEL_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j "$JOBS"
  echo "=== ${preset} tests ($((SECONDS - start)) s) ==="
  ctest --preset "$preset" -j "$((JOBS * 2))"
done

if [ -x scripts/fuzz.sh ]; then
  echo "=== short fuzzing runs ($((SECONDS - start)) s) ==="
  scripts/fuzz.sh
fi
echo "=== all passed in $((SECONDS - start)) s ==="
