#!/bin/sh
# Mails a failure of tessel to a person. Usage:
#   tessel run --on-failure '/usr/share/tessel/on-failure-mail.sh ops@example.com'
# or in the script's [MAIN] section:
#   ON_FAILURE=/usr/share/tessel/on-failure-mail.sh ops@example.com
# Needs a working sendmail (any MTA's, e.g. msmtp-mta or postfix). tessel runs
# it once per failure episode, at most once a minute; episodes in between
# come together in the next mail (TESSEL_EPISODES).
set -eu

to=${1:?usage: on-failure-mail.sh ADDRESS [FROM]}
from=${2:-tessel@$(hostname -f 2>/dev/null || hostname)}
host=$(hostname)

{
  printf 'From: %s\n' "$from"
  printf 'To: %s\n' "$to"
  printf 'Subject: tessel on %s: %s %s\n' "$host" "${TESSEL_GROUP:-}" "${TESSEL_FILE:-}"
  printf 'Content-Type: text/plain; charset=UTF-8\n'
  printf 'MIME-Version: 1.0\n'
  printf '\n'
  printf 'Group:    %s\n' "${TESSEL_GROUP:-}"
  printf 'File:     %s\n' "${TESSEL_FILE:-}"
  printf 'Reason:   %s\n' "${TESSEL_REASON:-}"
  printf 'Code:     %s\n' "${TESSEL_CODE:-0}"
  printf 'Class:    %s\n' "${TESSEL_CLASS:-}"
  printf 'Episodes: %s\n' "${TESSEL_EPISODES:-1}"
  printf '\nThe lines of the file: journalctl -u tessel TESSEL_FILE=%s\n' "${TESSEL_FILE:-}"
} | /usr/sbin/sendmail -i -- "$to"
