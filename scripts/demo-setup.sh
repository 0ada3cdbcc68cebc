#!/usr/bin/env bash
# Prepares the first-run demonstration next to the built program, only when
# no settings file is there yet: keys for two parties (made with marvik),
# their folders, a settings file with the bank's outgoing group and the
# client's incoming group, and sample files waiting in the outbox.
#
# Usage: scripts/demo-setup.sh BIN_FOLDER   (the folder of TesselScripts and marvik)
set -euo pipefail

bin="$(cd "${1:?usage: demo-setup.sh BIN_FOLDER}" && pwd)"
ini="$bin/TesselScripts.ini"
[ -e "$ini" ] && exit 0

demo="$bin/demo"
keys_sec="$demo/keys/secret"
keys_pub="$demo/keys/public"
bank="$demo/bank"
client="$demo/client"
mkdir -p "$keys_sec" "$keys_pub" \
  "$bank/outbox" "$bank/archive" "$bank/bad" \
  "$client/inbox" "$client/received" "$client/bad"

for id in BANK CLIENT; do
  if [ ! -e "$keys_pub/$id.pub" ]; then
    "$bin/marvik" create "$id" "$keys_sec" "$keys_pub" >/dev/null
  fi
done

# The bank signs and encrypts each outgoing file to the client, keeping a copy
# of the encrypted file in its archive, and delivers it to the client's inbox.
# In the same pass the client decrypts it, checks the bank's signature and
# removes the signatures. The settings file is Windows-1251 with CR LF lines.
{
  printf '[MAIN]\r\n'
  printf 'PUBKEYS=%s\r\n' "$keys_pub"
  printf 'SECKEYS=%s\r\n' "$keys_sec"
  printf 'INTERVAL=3\r\n'
  printf '[LIST]\r\n'
  printf '0=Исходящие банка\r\n'
  printf '1=Входящие клиента\r\n'
  printf '[Исходящие банка\\MAIN]\r\n'
  printf 'SOUR_FILE_MASK=%s/*.txt\r\n' "$bank/outbox"
  printf 'DEST_FOLDER=%s\r\n' "$client/inbox"
  printf 'BAD_FOLDER=%s\r\n' "$bank/bad"
  printf 'ENABLE=-1\r\n'
  printf '[Исходящие банка\\ACTION_0]\r\n'
  printf 'ACTION_TYPE=0\r\nKEY_ID=BANK\r\nENABLE=-1\r\n'
  printf '[Исходящие банка\\ACTION_1]\r\n'
  printf 'ACTION_TYPE=3\r\nSENDER_KEY=BANK\r\nRECEIVER_KEY_LIST=CLIENT\r\n'
  printf 'COPY_TO=%s\r\nENABLE=-1\r\n' "$bank/archive"
  printf '[Входящие клиента\\MAIN]\r\n'
  printf 'SOUR_FILE_MASK=%s/*\r\n' "$client/inbox"
  printf 'DEST_FOLDER=%s\r\n' "$client/received"
  printf 'BAD_FOLDER=%s\r\n' "$client/bad"
  printf 'ENABLE=-1\r\n'
  printf '[Входящие клиента\\ACTION_0]\r\n'
  printf 'ACTION_TYPE=4\r\nRECEIVER_KEY=CLIENT\r\nSENDER_KEY=BANK\r\nENABLE=-1\r\n'
  printf '[Входящие клиента\\ACTION_1]\r\n'
  printf 'ACTION_TYPE=1\r\nKEY_LIST=BANK\r\nENABLE=-1\r\n'
  printf '[Входящие клиента\\ACTION_2]\r\n'
  printf 'ACTION_TYPE=2\r\nCOUNT=-1\r\nENABLE=-1\r\n'
} | iconv -f UTF-8 -t CP1251 > "$ini.new"

for n in 1 2 3; do
  printf 'Платёжное поручение № %s\r\nСумма: %s00,00 руб.\r\n' "$n" "$n" \
    | iconv -f UTF-8 -t CP1251 > "$bank/outbox/pay000$n.txt"
done
printf 'Письмо клиенту.\n' > "$bank/outbox/письмо.txt"
# The samples stand for files their writers finished long ago: the first pass
# takes them at once instead of letting them settle for a tick.
touch -d '1 minute ago' "$bank/outbox/"*.txt

mv "$ini.new" "$ini"
echo "Demonstration prepared in $demo: press \"Пуск\" to send the files in $bank/outbox."
