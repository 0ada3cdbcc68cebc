#!/usr/bin/env bash
# tessel once as an operator runs it, under /usr/bin/time -v: a sending pass
# (sign, encrypt) and a receiving pass (decrypt, check the signature, delete
# signatures) over many small files and over one large file; then the CPU
# time tessel run uses in a minute with nothing to do. Compare with
# bench/engine/pass_bench and bench/crypto/crypto_pass_bench.
#
#   bench/app/tessel_bench.sh [work-folder] [small-count] [large-MiB] [idle-seconds]
#
# Defaults: a folder under $TMPDIR, 1000 files of 4 KiB, one file of 256 MiB,
# 60 seconds. Needs about three times the large file's size free.
set -euo pipefail
cd "$(dirname "$0")/../.."
bin="$(pwd)/build/default/bin"
base="${1:-${TMPDIR:-/tmp}/tessel-bench}"
small="${2:-1000}"
mib="${3:-256}"
idle="${4:-60}"
[ -x "$bin/tessel" ] || { echo "build first: cmake --build --preset default" >&2; exit 1; }

rm -rf "$base"
mkdir -p "$base"/{keys/sec,keys/pub,in,mid,out,bad,tmp,orig}
base="$(cd "$base" && pwd)"
export TMPDIR="$base/tmp"
for id in A B; do "$bin/marvik" create "$id" "$base/keys/sec" "$base/keys/pub" >/dev/null; done

# send, receive: whether each group is enabled ("-1" or "0").
settings() {
  {
    printf '[MAIN]\r\nPUBKEYS=%s\r\nSECKEYS=%s\r\nINTERVAL=3\r\n' "$base/keys/pub" "$base/keys/sec"
    printf '[LIST]\r\n0=Send\r\n1=Receive\r\n'
    printf '[Send\\MAIN]\r\nSOUR_FILE_MASK=%s/*\r\nDEST_FOLDER=%s\r\nBAD_FOLDER=%s\r\nENABLE=%s\r\n' \
      "$base/in" "$base/mid" "$base/bad" "$1"
    printf '[Send\\ACTION_0]\r\nACTION_TYPE=0\r\nKEY_ID=A\r\nENABLE=-1\r\n'
    printf '[Send\\ACTION_1]\r\nACTION_TYPE=3\r\nSENDER_KEY=A\r\nRECEIVER_KEY_LIST=B\r\nENABLE=-1\r\n'
    printf '[Receive\\MAIN]\r\nSOUR_FILE_MASK=%s/*\r\nDEST_FOLDER=%s\r\nBAD_FOLDER=%s\r\nENABLE=%s\r\n' \
      "$base/mid" "$base/out" "$base/bad" "$2"
    printf '[Receive\\ACTION_0]\r\nACTION_TYPE=4\r\nRECEIVER_KEY=B\r\nSENDER_KEY=A\r\nENABLE=-1\r\n'
    printf '[Receive\\ACTION_1]\r\nACTION_TYPE=1\r\nKEY_LIST=A\r\nENABLE=-1\r\n'
    printf '[Receive\\ACTION_2]\r\nACTION_TYPE=2\r\nCOUNT=-1\r\nENABLE=-1\r\n'
  } > "$base/bench.ini"
}

# label: one tessel once under /usr/bin/time -v.
timed_once() {
  /usr/bin/time -v -o "$base/time.txt" "$bin/tessel" once --settings "$base/bench.ini" >/dev/null \
    || echo "  !! tessel once ended with status $?"
  local wall rss cpu_user cpu_sys
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$base/time.txt")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$base/time.txt")
  cpu_user=$(sed -n 's/.*User time (seconds): //p' "$base/time.txt")
  cpu_sys=$(sed -n 's/.*System time (seconds): //p' "$base/time.txt")
  printf '  %-34s wall %9s   user %6s s   sys %6s s   peak RSS %7s KiB\n' \
    "$1" "$wall" "$cpu_user" "$cpu_sys" "$rss"
}

run_set() {
  local label="$1" count="$2" bytes="$3"
  rm -rf "$base"/{in,mid,out,bad,orig}/*
  echo "$label: $count file(s) of $bytes bytes"
  if [ "$bytes" -le 1048576 ]; then
    head -c $((count * bytes)) /dev/urandom > "$base/all.bin"
    split -a 5 -d -b "$bytes" "$base/all.bin" "$base/orig/f"
    rm "$base/all.bin"
  else
    head -c "$bytes" /dev/urandom > "$base/orig/f00000"
  fi
  cp -p "$base"/orig/* "$base/in/"
  sync  # as the engine benchmarks do: only the passes' own writes are timed
  settings -1 0
  timed_once "once: sign + encrypt"
  settings 0 -1
  timed_once "once: decrypt + check + delete"
  local good=0
  for f in "$base"/orig/*; do cmp -s "$f" "$base/out/${f##*/}" && good=$((good + 1)); done
  echo "  $good of $count delivered byte for byte; bad files: $(ls -A "$base/bad" | wc -l)"
}

run_set small "$small" 4096
run_set large 1 $((mib << 20))
rm -rf "$base"/{in,mid,out,bad,orig}/*

echo "idle: tessel run for $idle s with nothing to take"
settings -1 -1
lines_before=$(grep -c . "$base/bench.log" || true)
"$bin/tessel" run --settings "$base/bench.ini" >/dev/null &
pid=$!
sleep 2  # past the start: load, key utility, library
# Nanoseconds on a CPU, from the scheduler's statistics.
on_cpu() { cut -d' ' -f1 "/proc/$pid/schedstat"; }
before=$(on_cpu)
sleep "$idle"
after=$(on_cpu)
kill -TERM "$pid"
wait "$pid" || true
lines=$(( $(grep -c . "$base/bench.log" || true) - lines_before ))
awk -v ns="$((after - before))" -v s="$idle" \
  'BEGIN { printf "  CPU time used while idle: %.1f ms in %d s (%.4f %%)\n", ns / 1e6, s, 100 * ns / 1e9 / s }'
echo "  log lines of the run: $lines (start and stop; a pass without files writes none)"
rm -rf "$base"
