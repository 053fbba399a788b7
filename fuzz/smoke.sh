#!/bin/sh
# Short bounded fuzz runs with a fixed seed: about 30 s per target.
#   fuzz/smoke.sh [build-dir] [target...]
# build-dir defaults to build/fuzz; targets default to every fuzz_* built
# there. FUZZ_SECONDS changes the length of each run.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/targets.sh"
seconds=${FUZZ_SECONDS:-30}
status=0
for name in $targets; do
  exe=$build/fuzz/fuzz_$name
  work=$(mktemp -d "${TMPDIR:-/tmp}/tramole-fuzz-$name.XXXXXX")
  # New inputs go to the scratch directory; the committed seeds stay as they are.
  if "$exe" -seed=1 -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -print_final_stats=1 \
       -dict="$here/qdf.dict" -artifact_prefix="$work/" "$work" "$here/corpus/$name" \
       >"$work/log" 2>&1; then
    echo "fuzz_$name: ok, $(grep -E '^stat::number_of_executed_units' "$work/log" | awk '{print $2}') executions" \
         "($(grep -E '^stat::average_exec_per_sec' "$work/log" | awk '{print $2}')/s) in ${seconds}s"
    rm -rf "$work"
  else
    echo "fuzz_$name: FAILED; log and crashing input in $work" >&2
    tail -40 "$work/log" >&2
    status=1
  fi
done
exit $status
