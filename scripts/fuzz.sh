#!/usr/bin/env bash
# Short fuzzing runs: builds every libFuzzer target (a target named fuzz_*)
# with clang in build/fuzz and runs each for a bounded time on a seed corpus
# made now. A target seed_<name>, when the build has one, writes the corpus of
# <name> into the folder it is given; other targets start from two generic
# seeds (nothing, and the 256 byte values). Inputs that once broke a target,
# kept in tests/fuzz-regressions/<name>, join its corpus and so run on every
# run. Exits non-zero when any target crashes, leaks or times out.
#
#   FUZZ_SECONDS  time per target (default 5, which keeps the test command within its budget)
#   FUZZ_SEED     the fuzzer's random seed (default 1, so that a run repeats;
#                 0 lets libFuzzer pick one, for longer runs by hand)
#   TESSEL_WERROR ON makes compiler warnings errors (the test command sets it)
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=build/fuzz
SECONDS_EACH=${FUZZ_SECONDS:-5}
JOBS=${FUZZ_JOBS:-2}
SEED=${FUZZ_SEED:-1}

cmake -S . -B "$BUILD" -G "Unix Makefiles" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSEL_FUZZ=ON -DTESSEL_BUILD_UI=OFF -DTESSEL_BUILD_BENCH=OFF \
  -DTESSEL_WERROR="${TESSEL_WERROR:-OFF}" >/dev/null

# Every fuzz_* and seed_fuzz_* target the configured tree knows.
mapfile -t targets < <(cmake --build "$BUILD" --target help |
  sed -n 's/^\.\.\. \(\(seed_\)\{0,1\}fuzz_[A-Za-z0-9_]*\).*/\1/p' | sort -u)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets"
  exit 0
fi
cmake --build "$BUILD" -j "$JOBS" --target "${targets[@]}"

find_program() {
  find "$BUILD" -path '*/CMakeFiles' -prune -o -type f -executable -name "$1" -print | head -n 1
}

status=0
for target in "${targets[@]}"; do
  case "$target" in seed_*) continue ;; esac
  exe=$(find_program "$target")
  if [ -z "$exe" ]; then
    echo "fuzz: $target was built but not found" >&2
    status=1
    continue
  fi
  corpus="$BUILD/corpus/$target"
  artifacts="$BUILD/artifacts/$target"
  rm -rf "$corpus"
  mkdir -p "$corpus" "$artifacts"
  seeder=$(find_program "seed_$target")
  if [ -n "$seeder" ]; then
    "$seeder" "$corpus"
  else
    : >"$corpus/empty"
    for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done >"$corpus/bytes"
  fi
  if [ -d "tests/fuzz-regressions/$target" ]; then
    cp tests/fuzz-regressions/"$target"/* "$corpus"/
  fi
  log="$BUILD/$target.log"
  echo "=== $target (${SECONDS_EACH}s)"
  if "$exe" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -seed="$SEED" \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" || true
  else
    echo "fuzz: $target failed; the input is in $artifacts, the log in $log" >&2
    tail -n 40 "$log" >&2
    status=1
  fi
done
exit $status
