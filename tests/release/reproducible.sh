#!/usr/bin/env bash
# Builds the release package a second time, from a fresh clone of the same
# commit in a temporary directory (nothing of the first build shared), and
# compares both zips with the first build's by SHA-256.
#
#   reproducible.sh DIST     (the package scripts/package.sh built from this checkout)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "$1" && pwd)

if [[ -n $(git -C "$root" status --porcelain --untracked-files=no) ]]; then
  echo "FAIL [checkout] state: got uncommitted changes, expected the commit that the clone builds"
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone --quiet --no-hardlinks "$root" "$work/clone"
git -C "$work/clone" checkout --quiet "$(git -C "$root" rev-parse HEAD)"
echo "second build in $work/clone"
(unset SOURCE_DATE_EPOCH; TRAMOLE_DIST_DIR=$work/dist bash "$work/clone/scripts/package.sh" >"$work/build.log" 2>&1) ||
  { tail -n 30 "$work/build.log"; echo "FAIL [second build] got a failure, expected a package"; exit 1; }

failed=0
for first in "$dist"/tramolew-*-win-x64.zip "$dist"/tramolew-*-win-x64-symbols.zip; do
  file=$(basename "$first")
  a=$(sha256sum <"$first" | cut -d' ' -f1)
  b=$(sha256sum <"$work/dist/$file" 2>/dev/null | cut -d' ' -f1 || true)
  if [[ $a == "$b" ]]; then
    echo "ok: $file is the same in both builds: $a"
  else
    echo "FAIL [$file] second build: got SHA-256 ${b:-no file}, expected $a"
    failed=1
  fi
done
exit $failed
