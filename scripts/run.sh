#!/usr/bin/env bash
# Installs what is missing, builds the program, prepares the first-run
# demonstration next to it (only when it has no settings file yet) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "TesselScripts needs a display: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
  exit 1
fi

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
scripts/demo-setup.sh build/default/bin
exec build/default/bin/TesselScripts
