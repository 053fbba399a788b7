# Sourced by smoke.sh and long.sh: sets `build` from the first argument
# (default build/fuzz) and `targets` from the rest (default: every fuzz
# target built there), and shifts the build directory off.
build=${1:-$here/../build/fuzz}
[ $# -gt 0 ] && shift
targets=$*
if [ -z "$targets" ]; then
  for exe in "$build"/fuzz/fuzz_*; do
    [ -x "$exe" ] || continue
    name=${exe##*/fuzz_}
    [ "$name" = make_seeds ] && continue
    targets="$targets $name"
  done
fi
[ -n "$targets" ] || { echo "no fuzz targets in $build/fuzz (configure with clang: preset fuzz)" >&2; exit 1; }
