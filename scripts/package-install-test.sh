#!/usr/bin/env bash
# package-install-test.sh OUT VERSION ARCH (run by scripts/package.sh --install-test)
# Installs the tessel package built in OUT into a fresh Debian 12 root made by
# debootstrap, as an administrator would with apt, and checks what the package
# promises: the user tessel exists, no unit is enabled, tessel once carries
# the demonstration's files as that user, and removing and purging the
# package leave the operator's /var/lib/tessel and the user in place.
# Needs root (chroot) and the network; the root is kept in build/ as a
# tarball, so only the first run downloads it.
set -euo pipefail
out=$1 version=$2 arch=$3
cd "$(dirname "$0")/.."
command -v debootstrap >/dev/null ||
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
cache=$PWD/build/bookworm-minbase.tar
root=$out/bookworm
if [ ! -f "$cache" ]; then
  rm -rf "$root.new"
  debootstrap --variant=minbase bookworm "$root.new" http://deb.debian.org/debian >"$out/debootstrap.log"
  tar -C "$root.new" -cf "$cache.new" . && mv "$cache.new" "$cache"
  rm -rf "$root.new"
fi
rm -rf "$root"
mkdir -p "$root"
tar -C "$root" -xf "$cache"
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"; }

cp "$out/tessel_${version}_${arch}.deb" scripts/demo-setup.sh "$root/tmp/"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/tessel_${version}_${arch}.deb" >"$out/apt.log"
in_root id tessel
if in_root sh -c 'ls /etc/systemd/system/*.wants/tessel* 2>/dev/null' | grep -q .; then
  echo "a tessel unit is enabled by the install" >&2
  exit 1
fi

# The demonstration beside a link to marvik, run as the service user.
in_root install -d -o tessel -g tessel -m 0700 /var/lib/tessel /var/lib/tessel/demo-bin
in_root ln -s /usr/bin/marvik /var/lib/tessel/demo-bin/marvik
in_root runuser -u tessel -- bash /tmp/demo-setup.sh /var/lib/tessel/demo-bin >/dev/null
status=0
in_root runuser -u tessel -- tessel once --settings /var/lib/tessel/demo-bin/TesselScripts.ini \
  >"$out/once.log" 2>&1 || status=$?
received=$(in_root ls /var/lib/tessel/demo-bin/demo/client/received | wc -l)
echo "tessel once in the fresh root: status $status, $received files received"
if [ "$status" -ne 0 ] || [ "$received" -ne 4 ]; then
  cat "$out/once.log" >&2
  exit 1
fi

in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tessel >>"$out/apt.log"
in_root test -f /var/lib/tessel/demo-bin/TesselScripts.ini || { echo "purge removed the script" >&2; exit 1; }
in_root id tessel >/dev/null || { echo "purge removed the user" >&2; exit 1; }
in_root test ! -e /usr/bin/tessel
echo "purge kept /var/lib/tessel and the user tessel"
