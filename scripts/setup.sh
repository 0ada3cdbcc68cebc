#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the application need,
# when any of them is missing. Works as root or as a user with sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libsodium-dev librnp-dev libsqlite3-dev libssl-dev libsystemd-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
  gnupg sq
  prometheus
  qt6-base-dev qt6-translations-l10n libgl-dev fonts-dejavu-core fonts-dejavu-extra
  clang libclang-rt-14-dev
  xvfb xauth
  time
  debhelper lintian scdoc desktop-file-utils bash-completion man-db groff-base
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}" >&2
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
