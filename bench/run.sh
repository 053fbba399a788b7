#!/bin/sh
# Builds the catalogue benchmark in Release (build/bench) and prints its
# figures and the summary against the targets.
#   bench/run.sh            full run, median of 3 repetitions
#   bench/run.sh --quick    one short repetition (a rough look)
#   bench/run.sh --tsv      also the summary as "#tsv" lines (bench/table.sh)
# Other arguments go to the benchmark (e.g. --benchmark_filter=typical).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TRAMOLE_BENCH_BUILD:-$root/build/bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target catalogue_bench -j2 >/dev/null
timing="--benchmark_repetitions=3 --benchmark_report_aggregates_only=true --benchmark_min_time=0.2"
args=""
for a in "$@"; do
  case $a in
    --quick) timing="--benchmark_min_time=0.05" ;;
    *) args="$args $a" ;;
  esac
done
# shellcheck disable=SC2086
exec "$build/bench/catalogue_bench" --benchmark_color=false $timing $args
