#!/usr/bin/env bash
# tessel's OpenPGP pass beside a loop of gpg processes on the same files and
# keys: 1,000 files of 4 KiB signed and encrypted (outgoing) and decrypted,
# checked and stripped of their signatures (incoming), then one large file
# encrypted and decrypted. Prints wall times, the ratios and tessel's peak
# memory. Needs gnupg, GNU time, and a default build.
#
#   bench/crypto/pgp_gpg_bench.sh [folder] [files] [MiB]
set -euo pipefail
cd "$(dirname "$0")/../.."
bin="$PWD/build/default/bin"
work="${1:-/tmp/tessel-pgp-bench}"
count="${2:-1000}"
mib="${3:-256}"
rm -rf "$work"
mkdir -p "$work"/{sec,pub,out,in,recv,bad,gpgout,gpgrecv,big}
chmod 700 "$work/sec"
# tessel's working folders on the file system of the files, where the gpg
# loop does all its work too (not /tmp, which may be another disk).
mkdir -m 700 "$work/tmp"
export TMPDIR="$work/tmp"
export GNUPGHOME="$work/gnupg"
mkdir -m 700 "$GNUPGHOME"
trap 'gpgconf --kill all' EXIT

"$bin/marvik" create-pgp BANK "$work/sec" "$work/pub" 'Bank <bank@bench.example>' >/dev/null
"$bin/marvik" create-pgp CLIENT "$work/sec" "$work/pub" 'Client <client@bench.example>' >/dev/null
gpg="gpg --batch --yes --quiet --trust-model always"
$gpg --import "$work/sec/BANK.asc" "$work/sec/CLIENT.asc" 2>/dev/null

for i in $(seq 1 "$count"); do head -c 4096 /dev/urandom > "$work/out/f$i.txt"; done
# Written a while ago: files changed within two seconds wait for a later pass.
touch -d '1 minute ago' "$work/out/"*.txt
cp "$work/out"/* "$work/in/"  # the gpg loop's copy

settings() {  # group name, mask, destination, then step sections
  local name="$1" mask="$2" dest="$3"
  shift 3
  {
    printf '[MAIN]\r\nPUBKEYS=%s\r\nSECKEYS=%s\r\nINTERVAL=3\r\n' "$work/pub" "$work/sec"
    printf '[LIST]\r\n0=%s\r\n[%s\\MAIN]\r\n' "$name" "$name"
    printf 'SOUR_FILE_MASK=%s\r\nDEST_FOLDER=%s\r\nBAD_FOLDER=%s\r\nENABLE=-1\r\n' "$mask" "$dest" "$work/bad"
    local n=0
    for step in "$@"; do
      printf '[%s\\ACTION_%d]\r\n%sENABLE=-1\r\n' "$name" "$n" "$step"
      n=$((n + 1))
    done
  } > "$work/settings.ini"
}
seconds() { local s e; s=$(date +%s.%N); "$@" > /dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc; }
ratio() { echo "scale=1; $1 / $2" | bc; }

settings out "$work/out/*" "$work/recv" \
  'ACTION_TYPE=0\r\nKEY_ID=BANK\r\n' 'ACTION_TYPE=3\r\nSENDER_KEY=BANK\r\nRECEIVER_KEY_LIST=CLIENT\r\n'
sed -i 's/\\r\\n/\r\n/g' "$work/settings.ini"
t_out=$(seconds "$bin/tessel" once --settings "$work/settings.ini")
g_out=$(seconds bash -c "for f in $work/in/*; do $gpg -u BANK -r CLIENT --sign --encrypt -o $work/gpgout/\$(basename \$f).gpg \$f; done")

mkdir -p "$work/plain"
touch -d '1 minute ago' "$work/recv/"*
settings in "$work/recv/*" "$work/plain" \
  'ACTION_TYPE=4\r\nRECEIVER_KEY=CLIENT\r\nSENDER_KEY=BANK\r\n' 'ACTION_TYPE=1\r\nKEY_LIST=BANK\r\n' \
  'ACTION_TYPE=2\r\nCOUNT=-1\r\n'
sed -i 's/\\r\\n/\r\n/g' "$work/settings.ini"
t_in=$(seconds "$bin/tessel" once --settings "$work/settings.ini")
g_in=$(seconds bash -c "for f in $work/gpgout/*; do $gpg -o $work/gpgrecv/\$(basename \$f .gpg) --decrypt \$f; done")
delivered=$(ls "$work/plain" | wc -l)

head -c "$((mib * 1048576))" /dev/urandom > "$work/big/large.bin"
touch -d '1 minute ago' "$work/big/large.bin"
cp "$work/big/large.bin" "$work/large.gpg-in"
mkdir -p "$work/bigenc" "$work/bigdec"
settings big "$work/big/*" "$work/bigenc" 'ACTION_TYPE=3\r\nSENDER_KEY=BANK\r\nRECEIVER_KEY_LIST=CLIENT\r\n'
sed -i 's/\\r\\n/\r\n/g' "$work/settings.ini"
t_enc=$( { /usr/bin/time -f '%e %M' "$bin/tessel" once --settings "$work/settings.ini" >/dev/null; } 2>&1 | tail -1)
g_enc=$(seconds $gpg -r CLIENT --compress-algo none -o "$work/large.gpg" --encrypt "$work/large.gpg-in")
# Just written: aged like the other inputs, or the pass waits two seconds for it.
touch -d '1 minute ago' "$work/bigenc/"*
settings bigd "$work/bigenc/*" "$work/bigdec" 'ACTION_TYPE=4\r\nRECEIVER_KEY=CLIENT\r\nSENDER_KEY=BANK\r\n'
sed -i 's/\\r\\n/\r\n/g' "$work/settings.ini"
t_dec=$( { /usr/bin/time -f '%e %M' "$bin/tessel" once --settings "$work/settings.ini" >/dev/null; } 2>&1 | tail -1)
g_dec=$(seconds $gpg -o "$work/large.gpg-out" --decrypt "$work/large.gpg")
cmp -s "$work/bigdec/large.bin" "$work/large.gpg-in" && same=yes || same=NO

echo "outgoing, $count files of 4 KiB: tessel ${t_out}s, gpg loop ${g_out}s, gpg/tessel $(ratio "$g_out" "$t_out")"
echo "incoming, $count files: tessel ${t_in}s ($delivered delivered), gpg loop ${g_in}s, gpg/tessel $(ratio "$g_in" "$t_in")"
echo "encrypt $mib MiB: tessel ${t_enc%% *}s (peak ${t_enc##* } KiB), gpg ${g_enc}s, gpg/tessel $(ratio "$g_enc" "${t_enc%% *}")"
echo "decrypt $mib MiB: tessel ${t_dec%% *}s (peak ${t_dec##* } KiB), gpg ${g_dec}s, gpg/tessel $(ratio "$g_dec" "${t_dec%% *}"), same bytes: $same"
