#!/usr/bin/env bash
# Builds the Debian packages (tessel, tessel-scripts) with dpkg-buildpackage
# from a clean copy of the source tree (what git tracks, plus new files not
# ignored; no build folder), then checks them as Debian would: lintian with no
# warning or error, the file list of each package against
# packaging/deb-files/, the units with systemd-analyze verify, the desktop
# entry, the manual pages, the completion scripts.
#
#   scripts/package.sh                 build and check; .deb files in build/deb/
#   scripts/package.sh --install-test  also install tessel into a fresh Debian 12
#                                      root (debootstrap, about 300 MB downloaded)
#                                      and run tessel once on the demonstration
#                                      there as the user tessel
#   scripts/package.sh --quick         build the programs without optimisation
#                                      and without debugging information: the
#                                      same packages for every check here, in
#                                      a third of the time (the test command)
set -euo pipefail
cd "$(dirname "$0")/.."
install_test=false
build_options="parallel=$(nproc)"
quick_flags=""
for arg in "$@"; do
  case "$arg" in
    --install-test) install_test=true ;;
    --quick)
      build_options="$build_options noopt noddebs"
      quick_flags="-g0"
      ;;
    *) echo "usage: scripts/package.sh [--quick] [--install-test]" >&2; exit 2 ;;
  esac
done

scripts/setup.sh
out=$PWD/build/deb
rm -rf "$out"
mkdir -p "$out/src"
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - --ignore-failed-read -cf - | tar -xf - -C "$out/src"
start=$SECONDS
(cd "$out/src" && DEB_BUILD_OPTIONS="$build_options" DEB_CFLAGS_APPEND="$quick_flags" \
  DEB_CXXFLAGS_APPEND="$quick_flags" dpkg-buildpackage -us -uc -b >"$out/build.log" 2>&1) || {
  tail -40 "$out/build.log" >&2
  echo "dpkg-buildpackage failed; the whole log: $out/build.log" >&2
  exit 1
}
echo "=== packages built in $((SECONDS - start)) s: $(cd "$out" && ls ./*.deb | tr '\n' ' ')"

failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
arch=$(dpkg --print-architecture)

echo "=== lintian"
lintian --fail-on error,warning --tag-display-limit 0 "$out/tessel_${version}_${arch}.changes" ||
  fail "lintian"

echo "=== file lists"
for pkg in tessel tessel-scripts; do
  deb="$out/${pkg}_${version}_${arch}.deb"
  # Files and links, without the documentation debhelper adds by itself.
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' |
    grep -v '^/usr/share/doc/' | sort >"$out/$pkg.list"
  diff -u "packaging/deb-files/$pkg.list" "$out/$pkg.list" ||
    fail "$pkg's files differ from packaging/deb-files/$pkg.list"
  rm -rf "$out/root-$pkg"
  dpkg-deb -x "$deb" "$out/root-$pkg"
done
root=$out/root-tessel

echo "=== units"
for unit in tessel.service tessel@.service; do
  path=$root/lib/systemd/system/$unit
  [ -f "$path" ] || { fail "$unit missing"; continue; }
  check=$out/units/${unit/@./@check.}
  mkdir -p "$out/units"
  # ExecStart names /usr/bin/tessel, which is in the package, not on this machine.
  sed "s|/usr/bin/tessel|$root/usr/bin/tessel|" "$path" >"$check"
  msg=$(cd "$out/units" && systemd-analyze verify --man=no "./$(basename "$check")" 2>&1) && [ -z "$msg" ] ||
    fail "$unit: $msg"
done
grep -q '^u tessel ' "$root/usr/lib/sysusers.d/tessel.conf" || fail "no sysusers.d entry for tessel"
for script in postinst prerm postrm; do
  dpkg-deb --ctrl-tarfile "$out/tessel_${version}_${arch}.deb" | tar -xOf - "./$script" >"$out/$script" 2>/dev/null || true
done
grep -q 'systemd-sysusers' "$out/postinst" || fail "postinst does not make the user"
# Enabled again only where the administrator had it enabled; started never.
[ "$(grep -c 'deb-systemd-helper enable' "$out/postinst")" -eq "$(grep -c 'was-enabled' "$out/postinst")" ] ||
  fail "postinst enables a unit"
grep -qE 'deb-systemd-invoke (start|restart)' "$out/postinst" && fail "postinst starts a unit"
grep -q "deb-systemd-invoke stop tessel.service 'tessel@\*.service'" "$out/prerm" ||
  fail "prerm does not stop the service and its instances on removal"
grep -qE 'rm .*/var/lib/tessel|deluser|userdel' "$out/postrm" && fail "postrm removes the operator's data"

echo "=== desktop entry, manual pages, completion"
desktop-file-validate "$out/root-tessel-scripts/usr/share/applications/TesselScripts.desktop" || fail "desktop entry"
for page in "$root"/usr/share/man/man1/*.1.gz "$out"/root-tessel-scripts/usr/share/man/man1/*.1.gz; do
  msg=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$msg" ] || fail "$(basename "$page"): $msg"
done
for script in "$root"/usr/share/bash-completion/completions/*; do
  bash -n "$script" || fail "$(basename "$script") does not parse"
done
readelf -d "$root/usr/bin/tessel" | grep -q 'RUNPATH.*\$ORIGIN/../lib/tessel' ||
  fail "tessel does not find liborlak through its RUNPATH"

if $install_test; then
  echo "=== install into a fresh Debian 12 root"
  scripts/package-install-test.sh "$out" "$version" "$arch" || fail "install test"
fi

if [ "$failed" -ne 0 ]; then
  echo "=== packaging checks FAILED" >&2
  exit 1
fi
echo "=== packages good: $out in $((SECONDS - start)) s"
