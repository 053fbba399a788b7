#!/usr/bin/env bash
# Benchmark of a forwarded call under Wine: TRAMOLEW.dll against a host doing
# the same spooler and loader sequence itself. Prints the mean time per call
# of each and their ratio.
#
#   bash bench/wine/run.sh [BUILD_DIR] [ROUNDS [CALLS]]
#
# BUILD_DIR defaults to build/windows (configured with the windows preset
# when it is not yet). The benchmark builds what it needs there, boots a
# prefix of its own below it and stops its wineserver at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/windows}
shift || true

if [[ ! -f $build/CMakeCache.txt ]]; then
  (cd "$root" && cmake --preset windows -B "$build")
fi
cmake --build "$build" -j2 --target tramole_wine_bench

# shellcheck source=/dev/null
source "$build/bench/wine/bench-files.env"
wine_sh=(bash "$root/scripts/wine.sh" --wine "$wine64" "$prefix")
"${wine_sh[@]}" up
trap '"${wine_sh[@]}" down' EXIT
"${wine_sh[@]}" run "$bench" "$dll" "$companion" "$@" | tr -d '\r'
