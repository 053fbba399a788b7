#!/usr/bin/env bash
# Fails when FILE carries any name that HEADER declares (functions and
# enums of the stand-in's test controls): in an export table, a symbol table
# or anywhere else in its bytes.
#
#   no_test_controls.sh HEADER FILE...
set -euo pipefail

if [[ $# -lt 2 ]]; then
  sed -n '2,6p' "$0" >&2
  exit 2
fi
header=$1
shift

# Declared names: "Name(" of a declaration and "enum Name", comments left out.
names=$(sed 's://.*$::' "$header" | grep -oE '\b(Os[A-Za-z0-9_]+)[[:space:]]*\(|enum[[:space:]]+Os[A-Za-z0-9_]+' |
  sed -E 's/^enum[[:space:]]+//; s/[[:space:]]*\($//' | sort -u)
[[ -n $names ]] || { echo "FAIL $header: got no declared names, expected the test controls"; exit 1; }

failed=0
for file in "$@"; do
  [[ -f $file ]] || { echo "FAIL $file: got no file, expected one"; failed=1; continue; }
  found=()
  for name in $names; do
    if grep -aqF "$name" "$file"; then found+=("$name"); fi
  done
  if [[ ${#found[@]} -gt 0 ]]; then
    echo "FAIL [$(basename "$file")]: got ${found[*]}, expected no test control in a product binary"
    failed=1
  else
    echo "ok: $(basename "$file") carries none of $(wc -w <<<"$names") test-control names"
  fi
done
exit $failed
