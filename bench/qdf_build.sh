#!/usr/bin/env bash
# Time and peak memory of a qdf build from a generated 50 MB source.
#   bench/qdf_build.sh [QDF] [MEGABYTES]
# QDF defaults to build/native/tools/qdf/qdf. Prints a line for people and
# "#tsv" lines for bench/table.sh. Needs GNU time (/usr/bin/time).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
qdf=${1:-$here/../build/native/tools/qdf/qdf}
megabytes=${2:-50}
[[ -x $qdf ]] || { echo "qdf_build.sh: no qdf at $qdf (build the native preset)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "qdf_build.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/qdf-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Entries of realistic length with keys that fill nothing, and the fallback.
awk -v limit=$((megabytes * 1000000)) 'BEGIN {
  srand(1); text = "A message text of a realistic length, with some words in it. ";
  for (i = 0; n < limit; ++i) {
    line = sprintf("APP_%07d = ", i); r = 1 + int(rand() * 4);
    for (j = 0; j < r; ++j) line = line text;
    print line; n += length(line) + 1;
  }
  print "ERMSG_XX = other";
}' >"$work/source.txt"
size=$(stat -c %s "$work/source.txt")
status=0
/usr/bin/time -v "$qdf" build "$work/source.txt" -o "$work/TRAMOLED.QDF" -q 2>"$work/time" >/dev/null || status=$?
[[ $status -le 1 ]] || { echo "qdf_build.sh: qdf build failed ($status)" >&2; tail -5 "$work/time" >&2; exit 1; }
peak_kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time")
elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$work/time")
ratio=$(awk -v p="$peak_kib" -v s="$size" 'BEGIN { printf "%.2f", p * 1024 / s }')
echo "qdf build of a $size-byte source: $elapsed, peak $((peak_kib / 1024)) MiB = ${ratio}x the source"
printf '#tsv qdf_build_peak_over_source\t%s\tx\t<= 4x\t%s\n' "$ratio" \
  "$(awk -v r="$ratio" 'BEGIN { print (r <= 4 ? "met" : "missed") }')"
printf '#tsv qdf_build_seconds\t%s\ts\t-\t%s-byte source\n' \
  "$(echo "$elapsed" | awk -F: '{ s = 0; for (i = 1; i <= NF; ++i) s = s * 60 + $i; print s }')" "$size"
