#!/bin/sh
# The long fuzz runs: 10 million executions per target, no crash, no leak,
# no hang (-timeout=1). One target after another, on one core.
#   fuzz/long.sh [build-dir] [target...]
# FUZZ_RUNS changes the number of executions. Logs go to
# <build-dir>/fuzz-long/<target>.log, new inputs to <build-dir>/fuzz-long/<target>/.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/targets.sh"
runs=${FUZZ_RUNS:-10000000}
out=$build/fuzz-long
mkdir -p "$out"
status=0
for name in $targets; do
  mkdir -p "$out/$name"
  start=$(date +%s)
  if "$build/fuzz/fuzz_$name" -seed=1 -runs="$runs" -timeout=1 -rss_limit_mb=2048 -print_final_stats=1 \
       -dict="$here/qdf.dict" -artifact_prefix="$out/$name-" "$out/$name" "$here/corpus/$name" \
       >"$out/$name.log" 2>&1; then
    end=$(date +%s)
    echo "fuzz_$name: ok, $(grep -E '^stat::number_of_executed_units' "$out/$name.log" | awk '{print $2}') executions" \
         "($(grep -E '^stat::average_exec_per_sec' "$out/$name.log" | awk '{print $2}')/s) in $((end - start))s," \
         "peak rss $(grep -E '^stat::peak_rss_mb' "$out/$name.log" | awk '{print $2}') MB"
  else
    echo "fuzz_$name: FAILED; see $out/$name.log" >&2
    tail -40 "$out/$name.log" >&2
    status=1
  fi
done
exit $status
