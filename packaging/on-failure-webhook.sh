#!/bin/sh
# Posts a failure of tessel as JSON to a webhook (a chat's incoming webhook,
# an alerting gateway). Usage:
#   tessel run --on-failure '/usr/share/tessel/on-failure-webhook.sh https://hooks.example.com/T0/B0/xyz'
# or in the script's [MAIN] section:
#   ON_FAILURE=/usr/share/tessel/on-failure-webhook.sh https://hooks.example.com/T0/B0/xyz
# Posts {"host", "group", "file", "reason", "code", "class", "episodes",
# "text"}; "text" is what chat webhooks show. Needs curl. tessel runs it
# once per failure episode, at most once a minute.
set -eu

url=${1:?usage: on-failure-webhook.sh URL}

# A JSON string: backslash, double quote and control characters escaped.
json() {
  printf '%s' "$1" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g' -e 's/\t/\\t/g' | tr -d '\000-\010\013-\037' |
    awk 'BEGIN { ORS = "" } NR > 1 { print "\\n" } { print }'
}

host=$(hostname)
group=$(json "${TESSEL_GROUP:-}")
file=$(json "${TESSEL_FILE:-}")
reason=$(json "${TESSEL_REASON:-}")
code=${TESSEL_CODE:-0}
class=$(json "${TESSEL_CLASS:-}")
episodes=${TESSEL_EPISODES:-1}

body=$(printf '{"host":"%s","group":"%s","file":"%s","reason":"%s","code":%s,"class":"%s","episodes":%s,"text":"tessel on %s: %s %s: %s"}' \
  "$(json "$host")" "$group" "$file" "$reason" "$code" "$class" "$episodes" \
  "$(json "$host")" "$group" "$file" "$reason")

curl --silent --show-error --fail --max-time 20 \
  -H 'Content-Type: application/json' --data-binary "$body" -- "$url" >/dev/null
