#!/usr/bin/env bash
# Runs a command and checks its exit code and output.
#
#   expect.sh EXIT [PATTERN...] -- COMMAND [ARGS...]
#
# Passes when COMMAND exits with EXIT and its output (stdout and stderr
# together) matches every extended regular expression PATTERN; a PATTERN
# starting with '!' must not match.
set -uo pipefail

if [[ $# -lt 3 ]]; then
  sed -n '2,8p' "$0" >&2
  exit 2
fi
expected_exit=$1
shift
patterns=()
while [[ $# -gt 0 && $1 != -- ]]; do
  patterns+=("$1")
  shift
done
[[ ${1-} == -- ]] || { echo "expect.sh: no '--' before the command" >&2; exit 2; }
shift

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" >"$log" 2>&1
status=$?
output=$(tr -d '\r' <"$log")
printf '%s\n' "$output"

failed=0
if [[ $status != "$expected_exit" ]]; then
  echo "FAIL exit code: got $status, expected $expected_exit"
  failed=1
fi
for pattern in "${patterns[@]}"; do
  if [[ $pattern == '!'* ]]; then
    if grep -Eq -- "${pattern:1}" <<<"$output"; then
      echo "FAIL output: got a line matching /${pattern:1}/, expected none"
      failed=1
    fi
  elif ! grep -Eq -- "$pattern" <<<"$output"; then
    echo "FAIL output: got no line matching /$pattern/, expected one"
    failed=1
  fi
done
exit $failed
