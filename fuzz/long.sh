#!/bin/sh
# The long fuzz runs: 10 million executions per target, no crash, no leak,
# no hang (-timeout=1). One target after another.
#   fuzz/long.sh [build-dir] [target...]
# FUZZ_RUNS changes the number of executions per target. FUZZ_JOBS=N shares
# them among N fuzzers running side by side, one per core, with seeds
# FUZZ_SEED..FUZZ_SEED+N-1 (FUZZ_SEED defaults to 1; a later run with a new
# first seed explores new inputs instead of repeating an earlier run's).
# Logs go to <build-dir>/fuzz-long/<target>[.<seed>].log, new inputs to
# <build-dir>/fuzz-long/<target>/.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/targets.sh"
runs=${FUZZ_RUNS:-10000000}
jobs=${FUZZ_JOBS:-1}
first=${FUZZ_SEED:-1}
out=$build/fuzz-long
mkdir -p "$out"

final_stat() { grep -E "^stat::$1" "$2" | awk '{print $2}'; }

status=0
for name in $targets; do
  mkdir -p "$out/$name"
  start=$(date +%s)
  pids=""
  seed=$first
  while [ "$seed" -lt $((first + jobs)) ]; do
    log=$out/$name.log
    [ "$jobs" -gt 1 ] && log=$out/$name.$seed.log
    "$build/fuzz/fuzz_$name" -seed="$seed" -runs=$(( (runs + jobs - 1) / jobs )) -timeout=1 -rss_limit_mb=2048 \
      -print_final_stats=1 -dict="$here/qdf.dict" -artifact_prefix="$out/$name-" \
      "$out/$name" "$here/corpus/$name" >"$log" 2>&1 &
    pids="$pids $!:$log"
    seed=$((seed + 1))
  done
  total=0
  failed=0
  for entry in $pids; do
    pid=${entry%%:*}
    log=${entry#*:}
    if wait "$pid"; then
      total=$((total + $(final_stat number_of_executed_units "$log")))
    else
      echo "fuzz_$name: FAILED; see $log" >&2
      tail -40 "$log" >&2
      failed=1
    fi
  done
  end=$(date +%s)
  if [ "$failed" -eq 0 ]; then
    echo "fuzz_$name: ok, $total executions in $((end - start))s with $jobs fuzzer(s)," \
         "peak rss $(final_stat peak_rss_mb "$log") MB"
  else
    status=1
  fi
done
exit $status
