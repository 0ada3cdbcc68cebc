#!/usr/bin/env bash
# Installs what is missing, builds and runs the test suite: a normal build
# (hardened, as released), a build under AddressSanitizer and
# UndefinedBehaviorSanitizer, liborlak's tests under ThreadSanitizer, the
# Debian packages with their checks, then short fuzzing runs. The presets'
# builds and the fuzzing build treat compiler warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
JOBS=$(nproc)
export QT_QPA_PLATFORM=offscreen
# The presets make warnings errors; this does the same for the fuzzing build.
export TESSEL_WERROR=ON
start=$SECONDS

# Many tests wait on timers and child processes, so the tests run twice as
# many at a time as there are processors (a build with one job more than
# processors measured slower here). The sanitizer build leaves out the tests
# of the build's own structure (layers, packaging), which the normal build
# has run.
for preset in default sanitize tsan; do
  echo "=== ${preset} build ($((SECONDS - start)) s) ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$JOBS"
  echo "=== ${preset} tests ($((SECONDS - start)) s) ==="
  ctest --preset "$preset" -j "$((JOBS * 2))"
done

# The packages as Debian builds them, checked as Debian would (lintian, file
# lists, units, manual pages); built without optimisation to keep within time.
echo "=== Debian packages ($((SECONDS - start)) s) ==="
scripts/package.sh --quick

if [ -x scripts/fuzz.sh ]; then
  echo "=== short fuzzing runs ($((SECONDS - start)) s) ==="
  scripts/fuzz.sh
fi
echo "=== all passed in $((SECONDS - start)) s ==="
