#!/usr/bin/env bash
# One table of the benchmark figures, as ratios: the catalogue benchmark
# (bench/run.sh, native) and the forwarding benchmark (bench/wine/run.sh,
# under Wine) when that script is present.
#   bench/table.sh [--quick]
# bench/run.sh --tsv prints its figures as lines
#   #tsv <name>\t<ratio>\t<unit>\t<target>\t<verdict>
# which the table gathers.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
quick=()
if [[ ${1:-} == --quick ]]; then quick=(--quick); fi
out=$(mktemp "${TMPDIR:-/tmp}/tramole-table.XXXXXX")
trap 'rm -f "$out" "$out.wine" "$out.qdf"' EXIT

"$here/run.sh" --tsv "${quick[@]}" >"$out" 2>/dev/null || { echo "bench/run.sh failed" >&2; exit 1; }
printf '%-11s %-32s %10s  %-10s %s\n' benchmark figure ratio target verdict
print_rows() {
  { grep '^#tsv ' "$2" || true; } | sed 's/^#tsv //' | { grep -v '^name	' || true; } |
    awk -F '\t' -v bench="$1" '{ printf "%-11s %-32s %9.4g%s  %-10s %s\n", bench, $1, $2, $3, $4, $5 }'
}
print_rows catalogue "$out"

# qdf build of a generated 50 MB source: peak memory against the source, and time.
if bash "$here/qdf_build.sh" >"$out.qdf" 2>&1; then
  print_rows qdf "$out.qdf"
else
  echo "qdf: bench/qdf_build.sh failed:" >&2
  tail -5 "$out.qdf" >&2
fi

# The forwarding benchmark prints "ratio library/direct  R median of the
# rounds, ..." (and "#tsv" lines if it ever gets them). Its first argument is
# its build directory: TRAMOLE_WINE_BENCH_BUILD, else its own default.
if [[ -f $here/wine/run.sh ]]; then
  if bash "$here/wine/run.sh" ${TRAMOLE_WINE_BENCH_BUILD:+"$TRAMOLE_WINE_BENCH_BUILD"} >"$out.wine" 2>&1; then
    if grep -q '^#tsv ' "$out.wine"; then
      print_rows forwarding "$out.wine"
    elif grep -q 'ratio library/direct' "$out.wine"; then
      grep 'ratio library/direct' "$out.wine" | head -1 |
        awk '{ printf "%-11s %-32s %9.4gx  %-10s %s\n", "forwarding", "forwarded_call_over_direct", $3, "-", "median of rounds" }'
    else
      echo "forwarding  (bench/wine/run.sh printed no ratio; its output follows)"
      sed 's/^/  /' "$out.wine"
    fi
  else
    echo "forwarding: bench/wine/run.sh failed:" >&2
    tail -20 "$out.wine" >&2
  fi
else
  echo "forwarding  (bench/wine/run.sh not present: no figures)"
fi
