#!/usr/bin/env bash
# check_packaging.sh SOURCE_DIR PAGES_DIR TESSEL MARVIK
# Fails with the findings on standard error; silent when all is well.
set -uo pipefail
src=$1 pages=$2 tessel=$3 marvik=$4
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Manual pages: no warning from man's formatter, and every command and
# option of the program's help is in its page.
for page in tessel marvik; do
  [ -f "$pages/$page.1" ] || { fail "$page.1 was not built"; continue; }
  if ! LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$pages/$page.1" >"$work/$page.txt" 2>"$work/$page.err" ||
     [ -s "$work/$page.err" ]; then
    fail "$page.1 renders with warnings: $(cat "$work/$page.err")"
  fi
done
if [ -f "$pages/TesselScripts.1" ]; then
  LC_ALL=C.UTF-8 man --warnings -l "$pages/TesselScripts.1" >/dev/null 2>"$work/ui.err"
  [ -s "$work/ui.err" ] && fail "TesselScripts.1 renders with warnings: $(cat "$work/ui.err")"
fi
# The help texts are the programs' own: what they name is what exists.
tessel_words=$(LC_ALL=C.UTF-8 "$tessel" --help | grep -oE -- '--[a-z-]+|^  [a-z]+' | tr -d ' ' | sort -u)
marvik_words=$("$marvik" --help | grep -oE -- '^  (--)?[a-z-]+' | tr -d ' ' | sort -u)
[ -n "$tessel_words" ] && [ -n "$marvik_words" ] || fail "no commands read from the help texts"
for word in $tessel_words; do
  grep -qE -- "(^|[^a-z-])$word([^a-z-]|$)" "$work/tessel.txt" || fail "tessel.1 does not mention $word"
done
for word in $marvik_words; do
  grep -qE -- "(^|[^a-z-])$word([^a-z-]|$)" "$work/marvik.txt" || fail "marvik.1 does not mention $word"
done

# Completion: the scripts parse, and complete what the programs take.
for script in tessel marvik; do
  bash -n "$src/packaging/completion/$script" || fail "completion/$script does not parse"
done
completes() {  # completes COMMAND_LINE EXPECTED...: the words offered for the last word
  local line=$1; shift
  local got
  got=$(bash --norc --noprofile -c '
    source /usr/share/bash-completion/bash_completion 2>/dev/null || exit 3
    source "$1"; source "$2"
    read -ra COMP_WORDS <<<"$3"; [[ $3 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_LINE=$3; COMP_POINT=${#3}
    fn=$(complete -p "${COMP_WORDS[0]}" | sed -E "s/.*-F ([^ ]+).*/\1/")
    "$fn" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
    _ "$src/packaging/completion/tessel" "$src/packaging/completion/marvik" "$line")
  local want
  want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
  [ "$got" = "$want" ] || fail "completing '$line': got '$got', want '$want'"
}
if [ -f /usr/share/bash-completion/bash_completion ]; then
  completes "tessel " run once list check history help
  completes "tessel --settings x.ini ch" check
  completes "tessel run --s" --settings --strict
  completes "tessel check --" --settings --metrics
  completes "tessel list --" --settings
  completes "tessel history --outcome b" bad
  completes "marvik import-" import-public import-secret
  completes "marvik create-pgp K s p uid --r" --rsa3072 --rsa4096
else
  fail "bash-completion is not installed (scripts/setup.sh installs it)"
fi

# The desktop entry.
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$src/packaging/TesselScripts.desktop" 2>&1) || fail "desktop entry: $out"
  [ -n "$out" ] && fail "desktop entry: $out"
else
  fail "desktop-file-validate is not installed (scripts/setup.sh installs it)"
fi

# The units, filled in as an install fills them in; systemd-analyze verify
# says what it ignores on standard error and still exits 0. The pages are
# checked above, not installed here: --man=no.
mkdir "$work/units"
for unit in tessel.service tessel@.service; do
  sed "s|@TESSEL_BIN_DIR@|$(dirname "$tessel")|" "$src/packaging/$unit.in" >"$work/units/$unit"
done
mv "$work/units/tessel@.service" "$work/units/tessel@check.service"
for unit in tessel.service tessel@check.service; do
  out=$(cd "$work/units" && systemd-analyze verify --man=no "./$unit" 2>&1)
  [ $? -eq 0 ] && [ -z "$out" ] || fail "$unit: $out"
done
grep -q '^ExecStart=.*--settings /var/lib/tessel/%i.ini' "$work/units/tessel@check.service" ||
  fail "tessel@.service does not run /var/lib/tessel/%i.ini"

exit $failed
