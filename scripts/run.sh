#!/usr/bin/env bash
# Installs what is missing, builds the programs and prepares the first-run
# demonstration next to them (only when there is no settings file yet). With
# a display it starts the window; without one it runs a single pass of the
# demonstration with tessel once and shows where each file went.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# Only the programs: the test command builds the rest in the same tree.
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target TesselScripts tessel marvik
bin=build/default/bin

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  scripts/demo-setup.sh "$bin"
  exec "$bin/TesselScripts"
fi

scripts/demo-setup.sh "$bin" >/dev/null
demo="$(cd "$bin" && pwd)/demo"
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set), so no window."
if ! grep -q "$demo" "$bin/TesselScripts.ini"; then
  # The settings file is the operator's own: look, do not run it.
  echo "$bin/TesselScripts.ini is not the demonstration's; what its groups would take now:"
  exec "$bin/tessel" list
fi

echo "One pass over the demonstration with tessel once; the event log's lines:"
echo
status=0
"$bin/tessel" once || status=$?
echo
echo "tessel once ended with status $status (0: every file delivered). Where the files are now:"
for folder in bank/outbox bank/archive bank/bad client/inbox client/received client/bad; do
  files=$(ls -A "$demo/$folder" 2>/dev/null | tr '\n' ' ')
  printf '  %-16s %s\n' "$folder" "${files:-(empty)}"
done
echo
echo "The log is in $bin/TesselScripts.log (Windows-1251). On a machine with a display,"
echo "scripts/run.sh (or $bin/TesselScripts) starts the window on the same script;"
echo "delete $bin/TesselScripts.ini to prepare the demonstration again."
exit "$status"
